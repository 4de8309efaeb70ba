#include "app/main_window_handlers.h"

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <vector>

#include "app/byte_size.h"
#include "app/file_run_messages.h"
#include "app/folder_chooser.h"
#include "app/password.h"
#include "app/password_changes.h"
#include "app/password_dialogs.h"
#include "app/run_button.h"
#include "app/seal_choice.h"
#include "app/selection.h"
#include "app/web_pages.h"
#include "engine/platform/file_system.h"
#include "engine/formats/locked_kind.h"
#include "engine/lists/list_file.h"
#include "engine/lists/list_names.h"
#include "engine/formats/names.h"
#include "engine/platform/paths.h"
#include "engine/platform/platform.h"
#include "engine/sealing/sealed_lock.h"
#include "locking/file_box.h"
#include "locking/file_operations.h"
#include "locking/locked_files_list.h"
#include "locking/sealing_keys.h"

namespace vellumar {
namespace {

// A folder whose desktop.ini names this class shows its list in green.
const std::string kGreenFolderClass = "{645FF040-5081-101B-9F08-00AA002F954E}";

std::string typeText(const std::string& name) {
    return toUpper(getExtension(name)) + " file";
}

uint64_t sizeOf(const std::string& path) {
    // An unknown length counts as 0, as the number of an empty text.
    return std::strtoull(fileSizeText(path).c_str(), nullptr, 10);
}

bool isLockedName(const std::string& name) {
    const LockedKind kind = markedKindOf(name);
    return kind == LockedKind::small || kind == LockedKind::large;
}

// One row of the target list for the file `path`, shown as `shownAs` (its
// name, or its path): a locked file shows the name it had before locking,
// its type and the lock image. A step that fails leaves its field empty.
ListRow fileRow(const std::string& path, const std::string& shownAs) {
    ListRow row;
    row.path = path;
    const std::string name = getFileName(path);
    if (isLockedName(name)) {
        const std::string plain = scrambleName(removeExtension(name));
        row.text = shownAs.substr(0, shownAs.size() - name.size()) + plain;
        if (fileExists(path) && lockedKindOf(path) != LockedKind::none) row.imageKey = "lock";
        row.typeText = typeText(plain);
    } else {
        row.text = shownAs;
        row.typeText = typeText(name);
        if (lockedKindOf(path) == LockedKind::sealed) {
            row.imageKey = "lock";
            row.typeText = "Sealed file";
        }
    }
    row.sizeText = formatByteSize(sizeOf(path));
    return row;
}

}  // namespace

MainWindowHandlers::MainWindowHandlers(WindowModel& model, Desktop& desktop, SettingsStore& settings)
    : model_(model), desktop_(desktop), settings_(settings) {
    model_.fileBoxPathChanged = [this] { filFiles_PathChange(); };
    hooks.cmdEncDec_Click = [this] { vellumar::cmdEncDec_Click(model_, desktop_); };
    hooks.Folder_Encrypt = [this] { Folder_Encrypt(model_, desktop_); };
}

MainWindowHandlers::~MainWindowHandlers() {
    model_.fileBoxPathChanged = nullptr;
}

bool MainWindowHandlers::Form_Load(bool anotherInstanceRunning) {
    if (anotherInstanceRunning) {
        desktop_.message(kApplicationTitle + " Is Already Running", Icon::critical,
                         kApplicationTitle);
        terminateProgram();
        return false;
    }
    model_.WindowsSystemDir = systemDirectory();
    model_.WindowsDir = windowsDirectory();
    model_.confirmVisible = !passwordIsSet(settings_);
    model_.changed();
    return true;
}

void MainWindowHandlers::terminateProgram() {
    hideLockedFilesAgain();
    call(hooks.unloadAllWindows);
}

void MainWindowHandlers::selectOption(Option option) {
    if (model_.wizard.choose(option) == Refused::none) model_.changed();
}

void MainWindowHandlers::OptEncFiles_Click() {
    selectOption(Option::OptEncFiles);
}
void MainWindowHandlers::OptDecFiles_Click() {
    selectOption(Option::OptDecFiles);
}

void MainWindowHandlers::OptEncFolder_Click() {
    selectOption(Option::OptEncFolder);
}
void MainWindowHandlers::OptDecFolder_Click() {
    selectOption(Option::OptDecFolder);
}

void MainWindowHandlers::cmdNext_Click() {
    if (model_.wizard.next() == Refused::none) targetPageOpened();
}

void MainWindowHandlers::openTargetPage(Option operation) {
    if (model_.wizard.openTargetPage(operation) != Refused::none) return;
    // Whatever page was in front is left as Back leaves it.
    hideLockedFilesAgain();
    model_.targetList.clear();
    targetPageOpened();
}

void MainWindowHandlers::targetPageOpened() {
    const Option operation = model_.operation();
    // Nothing of an earlier folder carries over: a run acts only on what
    // this page's own Add picks.
    if (operation == Option::OptEncFolder || operation == Option::OptDecFolder)
        clearTargets();
    else
        forgetFolder();
    model_.runButtonEnabled = !model_.targetList.empty();
#ifdef _WIN32
    if (operation == Option::OptDecFiles) {
        // Locked files are hidden, and the open-file dialog shows no hidden
        // file: unhidden until the page is left. (Elsewhere the dialog is
        // told to show hidden files.)
        unhideLockedFiles();
        lockedFilesUnhidden_ = true;
    }
#endif
    showSealChoice(model_, settings_, operation);
    model_.changed();
}

void MainWindowHandlers::cmdExit_Click() {
    terminateProgram();
}

void MainWindowHandlers::hideLockedFilesAgain() {
    if (!lockedFilesUnhidden_) return;
    lockedFilesUnhidden_ = false;
    std::vector<FileResult> leftVisible = pruneLockedFilesList();
    // Unhiding took read-only too: a file still locked gets it back.
    std::vector<std::string> paths;
    if (readListFile(applicationFile(kLockedFilesList), paths) != IoError::ok) return;
    for (const std::string& path : paths) {
        uint32_t attributes = kAttrNormal;
        const bool locked = lockedKindOf(path) != LockedKind::none;
        if (path.empty() || !locked ||
            fileSystem().getAttributes(path, attributes) != IoError::ok)
            continue;
        const IoError error = fileSystem().setAttributes(path, attributes | kAttrHidden | kAttrReadOnly);
        const bool named = std::any_of(leftVisible.begin(), leftVisible.end(),
                                       [&path](const FileResult& file) { return file.path == path; });
        if (error != IoError::ok && !named)
            leftVisible.push_back(fileProblem(FileProblem::ioError, path, error));
    }
    showLeftVisible(leftVisible, desktop_);
}

void MainWindowHandlers::Form_Unload() {
    hideLockedFilesAgain();
}

void MainWindowHandlers::cmdPassword_Click() {
    // One check at a time: a second click while the key opens does nothing.
    if (model_.passwordChecking || model_.wizard.gatePassed()) return;
    if (gateOpensKeyFile(settings_))
        openKeyFileInBackground();
    else
        passwordChecked(
            checkPassword(settings_, model_.txtPassword, model_.txtConfirm, &model_.sessionKeys));
}

void MainWindowHandlers::openKeyFileInBackground() {
    // Opening the key file takes seconds (scrypt): the window stays alive.
    struct Check {
        PasswordGate gate = PasswordGate::wrongPassword;
        SealingKeys keys;
    };
    auto check = std::make_shared<Check>();
    auto open = hooks.openKeyFile ? hooks.openKeyFile : openKeyFile;
    auto work = [check, open, typed = model_.txtPassword] { check->gate = open(typed, check->keys); };
    auto then = [this, check] {
        model_.passwordChecking = false;
        desktop_.setBusy(false);
        keyFileOpened(settings_, check->gate);
        if (check->gate == PasswordGate::accepted) model_.sessionKeys = check->keys;
        passwordChecked(check->gate);
    };
    model_.passwordChecking = true;
    desktop_.setBusy(true);
    model_.changed();
    if (hooks.inBackground) {
        hooks.inBackground(work, then);
    } else {
        work();
        then();
    }
}

void MainWindowHandlers::passwordChecked(PasswordGate gate) {
    switch (gate) {
        case PasswordGate::accepted:
        case PasswordGate::passwordSet:
            model_.wizard.passGate();
            model_.confirmVisible = false;
            model_.txtPassword.clear();
            model_.txtConfirm.clear();
            break;
        case PasswordGate::notSet:
            // The blanks stay in the fields.
            desktop_.message(passwordMessage(gate), Icon::critical);
            model_.setFocus(Field::txtPassword);
            break;
        case PasswordGate::wrongPassword:
        case PasswordGate::notConfirmed:
        case PasswordGate::refusedCharacters:
        case PasswordGate::keyUnreadable:
        case PasswordGate::keyMissing:
        case PasswordGate::libraryFailed:
            desktop_.message(passwordMessage(gate), Icon::critical);
            model_.txtPassword.clear();
            model_.txtConfirm.clear();
            model_.setFocus(Field::txtPassword);
            if (gate == PasswordGate::keyMissing) offerKeyRestore();
            break;
    }
    model_.changed();
}

void MainWindowHandlers::offerKeyRestore() {
    if (!restoreKeyFromRecoveryKey(desktop_, settings_, model_.sessionKeys)) return;
    model_.wizard.passGate();
    model_.confirmVisible = false;
    model_.changed();
}

void MainWindowHandlers::mnuChangePassword_Click() {
    askToChangePassword(desktop_, settings_, model_.sessionKeys);
}

void MainWindowHandlers::cmdAdd_Click() {
    if (model_.wizard.mayEditTargets() != Refused::none) return;
    if (!model_.targetList.empty()) {
        desktop_.message(
            "You Have Already Added File(s)\rPlease Clear The List And Add New File(s)\r"
            "Or Do The Operation First And Again Add New File(s)",
            Icon::critical);
        return;
    }
    addFor(model_.operation());
    model_.changed();
}

void MainWindowHandlers::addFor(Option operation) {
    switch (operation) {
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
}

void MainWindowHandlers::File_Encrypt() {
    std::string selection = joinSelection(desktop_.pickFiles());
    if (!selection.empty()) {
        long count = countSelectedFiles(selection);
        for (long n = 1; n <= count; ++n) {
            const std::string path = getSelectedFile(selection, n);
            model_.targetList.push_back(fileRow(path, path));
        }
    }
    model_.runButtonEnabled = !model_.targetList.empty();
    model_.changed();
}

void MainWindowHandlers::cmdClear_Click() {
    if (model_.wizard.mayEditTargets() != Refused::none) return;
    clearTargets();
    model_.changed();
}

void MainWindowHandlers::forgetFolder() {
    model_.foundFiles.clear();
    model_.skippedFolders.clear();
    model_.ParentPath.clear();
    model_.FolderName.clear();
    model_.PlainFolderPath.clear();
}

void MainWindowHandlers::clearTargets() {
    model_.targetList.clear();
    model_.runButtonEnabled = false;
    // The folder in hand goes with the list: a run acts only on a folder
    // that Add picked since.
    forgetFolder();
    for (const char* scratch : {kScratchList, kPendingFolderFile}) {
        std::string path = applicationFile(scratch);
        if (fileExists(path)) fileSystem().removeFile(path);
    }
}

void MainWindowHandlers::cmdBack_Click() {
    if (model_.wizard.back() != Refused::none) return;
    hideLockedFilesAgain();
    model_.targetList.clear();
    model_.runButtonEnabled = false;
    model_.changed();
}

void MainWindowHandlers::cmdEncDec_Click() {
    call(hooks.cmdEncDec_Click);
    // A run ends on the choice page: the target page is left.
    if (!model_.wizard.running()) hideLockedFilesAgain();
}

void MainWindowHandlers::cmdEx_Click() {
    hideLockedFilesAgain();
    call(hooks.endProgram);
}

void MainWindowHandlers::chkSeal_Click(bool checked) {
    if (model_.wizard.mayEditTargets() != Refused::none) return;
    chooseSealing(model_, desktop_, settings_, checked);
}

void MainWindowHandlers::filFiles_PathChange() {
    const std::string folder = addBackslash(model_.filFilesPath);
    model_.targetList.clear();
    model_.targetListColor = kWhite;
    // Every file whose row can be built gets one; a step that fails for one
    // file leaves that row's field empty and goes on.
    for (const std::string& name : fileBoxNames(model_.filFilesPath)) {
        const std::string path = folder + name;
        if (name == "desktop.ini") {
            std::string text;
            if (fileExists(path) && readWholeFile(path, text) == IoError::ok &&
                text.find(kGreenFolderClass) != std::string::npos)
                model_.targetListColor = kGreen;
            continue;
        }
        ListRow row = fileRow(path, name);
        row.key = name;
        model_.targetList.push_back(row);
    }
    model_.changed();
}

void MainWindowHandlers::mnuExit_Click() {
    terminateProgram();
}
void MainWindowHandlers::mnuOnline_Click() {
    desktop_.openAddress(helpPageAddress());
}
// A page the build has no address for opens nothing (its entry is hidden).
void MainWindowHandlers::mnuVisit_Click() {
    if (!vendorPages().home.empty()) desktop_.openAddress(vendorPages().home);
}
void MainWindowHandlers::Label5_Click() {
    if (!vendorPages().home.empty()) desktop_.openAddress(vendorPages().home);
}
void MainWindowHandlers::Label6_Click() {
    if (!vendorPages().contact.empty()) desktop_.openAddress(vendorPages().contact);
}

void MainWindowHandlers::mnuAbout_Click() {
    if (model_.wizard.showAbout() == Refused::none) model_.changed();
}

void MainWindowHandlers::cmdOK_Click() {
    if (model_.wizard.closeAbout() != Refused::none) return;
    model_.txtPassword.clear();
    model_.txtConfirm.clear();
    model_.changed();
}

void MainWindowHandlers::mnuFindLocked_Click() {
    // Its Unlock all changes files and records: behind the gate like the rest.
    if (model_.wizard.mayChangeFiles() == Refused::none) call(hooks.findLockedItems);
}

}  // namespace vellumar
