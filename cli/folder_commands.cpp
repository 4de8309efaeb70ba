#include "cli/folder_commands.h"

#include <algorithm>
#include <ostream>
#include <utility>

#include "app/frm_main.h"
#include "cli/absolute_path.h"
#include "cli/cli.h"
#include "folders/dispatcher.h"
#include "folders/encrypted_folders.h"
#include "folders/folder_chooser.h"

namespace vellumar {
namespace {

const std::string kListUnreadable = "The list of encrypted folders could not be read.";

// The window's dialogs answered from the command line: the folder-browse
// dialog picks DIR, the encrypted-folders window ticks DIR's row. A folder
// step's completion message waits until the whole run is known to have got
// there; everything else goes to the terminal at once.
class FolderDesktop : public Desktop {
  public:
    FolderDesktop(Desktop& terminal, WindowModel& model, std::string folder)
        : terminal_(terminal), model_(model), folder_(std::move(folder)) {}

    using Desktop::message;
    void message(const std::string& text, Icon icon, const std::string& title) override {
        if (text == kFolderEncrypted || text == kFolderDecrypted) {
            held_ = {text, icon, title};
            return;
        }
        ++shown;
        terminal_.message(text, icon, title);
    }
    std::string pickFolder() override { return folder_; }
    void showEncryptedFolders() override {
        EncryptedFolders window(model_, *this);
        if (!window.Form_Load()) {
            message(kListUnreadable, Icon::critical);
            return;
        }
        auto row = std::find_if(window.lstDecrypt.begin(), window.lstDecrypt.end(),
                                [this](const ListRow& r) { return r.path == folder_; });
        if (row == window.lstDecrypt.end()) {
            message(folder_ + " is not one of the encrypted folders (" + kProgram +
                        " folders lists them).",
                    Icon::critical);
            return;
        }
        // A folder listed twice is still one folder: its first row.
        row->checked = true;
        window.cmdDecrypt_Click();
    }
    void setBusy(bool busy) override { terminal_.setBusy(busy); }
    void progress(uint64_t done, uint64_t total, const std::string& current) override {
        terminal_.progress(done, total, current);
    }
    void yield() override { terminal_.yield(); }

    void showHeld() {
        if (!held_.text.empty()) terminal_.message(held_.text, held_.icon, held_.title);
    }

    size_t shown = 0;  // messages that reached the terminal

  private:
    struct Held {
        std::string text;
        Icon icon = Icon::none;
        std::string title;
    };
    Desktop& terminal_;
    WindowModel& model_;
    std::string folder_;
    Held held_;
};

// Walks the wizard as a person would: the folder option, Next, Add (the
// folder chooser, or the encrypted-folders window), then the run button.
int runFolder(CliSession& cli, const std::string& dir, bool lock) {
    int status = kExitFailed;
    if (!cli.passGate(status)) return status;
    const std::string folder = NormalPath(AbsolutePath(dir));
    WindowModel model;
    FolderDesktop desktop(cli.desktop, model, folder);
    FrmMain form(model, desktop, cli.settings);
    FolderOutcome outcome;
    form.hooks.cmdEncDec_Click = [&] { outcome = cmdEncDec_Click(model, desktop); };
    form.Form_Load(false);
    lock ? form.OptEncFolder_Click() : form.OptDecFolder_Click();
    form.cmdNext_Click();
    form.cmdAdd_Click();
    if (!model.cmdEncDecEnabled) {
        // Refused, and told why; only the chooser passes a folder over silently.
        if (desktop.shown == 0)
            cli.console.err << folder
                            << " was passed over: a folder that is read-only, hidden, system "
                               "or archive is not locked.\n";
        return kExitFailed;
    }
    form.cmdEncDec_Click();

    // Success is reported only when every file and the folder itself got there.
    if (outcome.files.complete() && outcome.folderDone) {
        desktop.showHeld();
        return kExitDone;
    }
    if (!outcome.files.complete())
        cli.console.err << outcome.files.done << " of " << outcome.files.rows << " files were "
                        << (lock ? "locked" : "unlocked") << ".\n";
    if (outcome.folderDone)
        cli.console.err << (lock ? "The folder has its locked name and is listed.\n"
                                 : "The folder has its name back and is no longer listed.\n");
    return kExitFailed;
}

}  // namespace

int lockFolderCommand(CliSession& cli, const std::vector<std::string>& arguments) {
    return runFolder(cli, arguments.at(0), true);
}

int unlockFolderCommand(CliSession& cli, const std::vector<std::string>& arguments) {
    return runFolder(cli, arguments.at(0), false);
}

int foldersCommand(CliSession& cli, const std::vector<std::string>&) {
    int status = kExitFailed;
    if (!cli.passGate(status)) return status;
    WindowModel model;
    EncryptedFolders window(model, cli.desktop);
    if (!window.Form_Load()) {
        cli.desktop.message(kListUnreadable, Icon::critical);
        return kExitFailed;
    }
    for (const ListRow& row : window.lstDecrypt) cli.console.out << row.text << '\n';
    return kExitDone;
}

}  // namespace vellumar
