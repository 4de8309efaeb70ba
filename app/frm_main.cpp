#include "app/frm_main.h"

#include <cstdlib>

#include "app/byte_size.h"
#include "app/folder_chooser.h"
#include "app/password.h"
#include "app/run_button.h"
#include "app/selection.h"
#include "app/web_pages.h"
#include "engine/file_system.h"
#include "engine/names.h"
#include "engine/platform.h"
#include "locking/file_box.h"
#include "locking/file_operations.h"
#include "locking/locked_files_list.h"

namespace vellumar {
namespace {

// A folder whose desktop.ini names this class shows its list in green.
const std::string kGreenFolderClass = "{645FF040-5081-101B-9F08-00AA002F954E}";

std::string typeText(const std::string& name) {
    return ToUpper(GetExtension(name)) + " file";
}

uint64_t sizeOf(const std::string& path) {
    // An unknown length counts as 0, as the number of an empty text.
    return std::strtoull(FileSizeText(path).c_str(), nullptr, 10);
}

}  // namespace

FrmMain::FrmMain(WindowModel& model, Desktop& desktop, SettingsStore& settings)
    : model_(model), desktop_(desktop), settings_(settings) {
    model_.fileBoxPathChanged = [this] { filFiles_PathChange(); };
    hooks.cmdEncDec_Click = [this] { vellumar::cmdEncDec_Click(model_, desktop_); };
    hooks.Folder_Encrypt = [this] { Folder_Encrypt(model_, desktop_); };
}

FrmMain::~FrmMain() {
    model_.fileBoxPathChanged = nullptr;
}

bool FrmMain::Form_Load(bool anotherInstanceRunning) {
    if (anotherInstanceRunning) {
        desktop_.message(kApplicationTitle + " Is Already Running", Icon::critical,
                         kApplicationTitle);
        TerminateProgram();
        return false;
    }
    model_.WindowsSystemDir = systemDirectory();
    model_.WindowsDir = windowsDirectory();
    model_.bringToFront(Page::fraPassword);
    model_.changed();
    return true;
}

void FrmMain::TerminateProgram() {
    call(hooks.unloadAllWindows);
}

void FrmMain::selectOption(Option option) {
    model_.selectedOption = option;
    model_.cmdNextEnabled = true;
    model_.changed();
}

void FrmMain::OptEncFiles_Click() {
    selectOption(Option::OptEncFiles);
}
void FrmMain::OptDecFiles_Click() {
    selectOption(Option::OptDecFiles);
}

void FrmMain::OptEncFolder_Click() {
    model_.EncFolderOpt = true;
    selectOption(Option::OptEncFolder);
}

void FrmMain::OptDecFolder_Click() {
    model_.EncFolderOpt = false;
    selectOption(Option::OptDecFolder);
}

void FrmMain::cmdNext_Click() {
    model_.bringToFront(Page::fraResult);
    switch (model_.selectedOption) {
        case Option::OptEncFolder:
            model_.EncFolder = true;
            model_.Label3 = "Add folder to be encrypted and locked";
            model_.cmdEncDecCaption = "Encrypt";
            cmdClear_Click();
            break;
        case Option::OptDecFolder:
            model_.DecFolder = true;
            model_.Label3 = "Add folder to be decrypted and unlocked";
            model_.cmdEncDecCaption = "Decrypt";
            cmdClear_Click();
            break;
        case Option::OptEncFiles:
            model_.EncFiles = true;
            model_.DecFiles = false;
            model_.Label3 = "Add files that are to be encrypted and locked";
            model_.cmdEncDecCaption = "Encrypt";
            break;
        case Option::OptDecFiles:
            model_.DecFiles = true;
            model_.EncFiles = false;
            model_.Label3 = "Add files that are to be decrypted and unlocked";
            model_.cmdEncDecCaption = "Decrypt";
            // Locked files are hidden; the open-file dialog must show them.
            UnhideLockedFiles();
            break;
        case Option::none:
            break;
    }
    model_.changed();
}

void FrmMain::cmdExit_Click() {
    TerminateProgram();
}

void FrmMain::cmdPassword_Click() {
    PasswordGate gate = CheckPassword(settings_, model_.txtPassword, model_.txtConfirm);
    switch (gate) {
        case PasswordGate::accepted:
        case PasswordGate::passwordSet:
            model_.bringToFront(Page::fraSelect);
            model_.txtPassword.clear();
            model_.txtConfirm.clear();
            break;
        case PasswordGate::notSet:
            // The blanks stay in the fields.
            desktop_.message(PasswordMessage(gate), Icon::critical);
            model_.setFocus(Field::txtPassword);
            break;
        case PasswordGate::wrongPassword:
        case PasswordGate::notConfirmed:
        case PasswordGate::refusedCharacters:
            desktop_.message(PasswordMessage(gate), Icon::critical);
            model_.txtPassword.clear();
            model_.txtConfirm.clear();
            model_.setFocus(Field::txtPassword);
            break;
    }
    model_.changed();
}

void FrmMain::cmdAdd_Click() {
    if (!model_.ListFiles.empty()) {
        desktop_.message(
            "You Have Already Added File(s)\rPlease Clear The List And Add New File(s)\r"
            "Or Do The Operation First And Again Add New File(s)",
            Icon::critical);
        return;
    }
    switch (model_.selectedOption) {
        case Option::OptEncFolder:
            call(hooks.Folder_Encrypt);
            break;
        case Option::OptDecFolder:
            desktop_.showEncryptedFolders();
            break;
        case Option::OptEncFiles:
        case Option::OptDecFiles:
            // Locked files are picked with the same dialog.
            File_Encrypt();
            break;
        case Option::none:
            break;
    }
    model_.changed();
}

void FrmMain::File_Encrypt() {
    std::string selection = JoinSelection(desktop_.pickFiles());
    if (!selection.empty()) {
        long count = CountSelectedFiles(selection);
        for (long n = 1; n <= count; ++n) {
            ListRow row;
            row.text = row.path = GetSelectedFile(selection, n);
            model_.ListFiles.push_back(row);
        }
    }
    model_.cmdEncDecEnabled = !model_.ListFiles.empty();
    model_.changed();
}

void FrmMain::cmdClear_Click() {
    model_.ListFiles.clear();
    model_.cmdEncDecEnabled = false;
    model_.lstFoundFiles.clear();
    for (const char* scratch : {"temp", "encfile"}) {
        std::string path = applicationFile(scratch);
        if (FileExists(path)) fileSystem().removeFile(path);
    }
    model_.changed();
}

void FrmMain::cmdBack_Click() {
    model_.ListFiles.clear();
    model_.EncFolder = model_.DecFolder = model_.EncFiles = model_.DecFiles = false;
    model_.cmdEncDecEnabled = false;
    model_.bringToFront(Page::fraSelect);
    model_.changed();
}

void FrmMain::cmdEncDec_Click() {
    call(hooks.cmdEncDec_Click);
}

void FrmMain::cmdEx_Click() {
    call(hooks.endProgram);
}

void FrmMain::filFiles_PathChange() {
    const std::string folder = AddBackslash(model_.filFilesPath);
    model_.ListFiles.clear();
    model_.listBackColor = kWhite;
    // Every file whose row can be built gets one; a step that fails for one
    // file leaves that row's field empty and goes on.
    for (const std::string& name : FileBoxNames(model_.filFilesPath)) {
        const std::string path = folder + name;
        if (name == "desktop.ini") {
            std::string text;
            if (FileExists(path) && readWholeFile(path, text) == IoError::ok &&
                text.find(kGreenFolderClass) != std::string::npos)
                model_.listBackColor = kGreen;
            continue;
        }
        ListRow row;
        row.key = name;
        row.path = path;
        std::string extension = ToUpper(GetExtension(name));
        if (extension == "VKL" || extension == "VKW") {
            // A locked file shows the name it had before locking.
            row.text = ScrambleName(RemoveExtension(GetFileName(path)));
            if (FileExists(path) && StartsWithLockedMarker(path)) row.imageKey = "lock";
            row.typeText = typeText(row.text);
        } else {
            row.text = name;
            row.typeText = typeText(name);
        }
        row.sizeText = FormatByteSize(sizeOf(path));
        model_.ListFiles.push_back(row);
    }
    model_.changed();
}

void FrmMain::mnuExit_Click() {
    TerminateProgram();
}
void FrmMain::mnuOnline_Click() {
    desktop_.openAddress(HelpPageAddress());
}
void FrmMain::mnuVisit_Click() {
    desktop_.openAddress(kHomePage);
}
void FrmMain::Label5_Click() {
    desktop_.openAddress(kHomePage);
}
void FrmMain::Label6_Click() {
    desktop_.openAddress(kContactPage);
}

void FrmMain::mnuAbout_Click() {
    model_.bringToFront(Page::fraAbout);
    model_.changed();
}

void FrmMain::cmdOK_Click() {
    model_.txtPassword.clear();
    model_.txtConfirm.clear();
    model_.sendToBack(Page::fraAbout);
    model_.changed();
}

}  // namespace vellumar
