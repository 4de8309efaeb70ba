#pragma once
// The main window's handlers, without Qt: the wizard, the password gate, the
// target list, the menus and the about page. Each changes the window model
// and talks to the person only through the desktop port.

#include <functional>
#include <string>

#include "app/password.h"
#include "app/settings_store.h"
#include "engine/runs/desktop.h"
#include "app/window_model.h"

namespace vellumar {

class MainWindowHandlers {
  public:
    MainWindowHandlers(WindowModel& model, Desktop& desktop, SettingsStore& settings);
    ~MainWindowHandlers();
    MainWindowHandlers(const MainWindowHandlers&) = delete;
    MainWindowHandlers& operator=(const MainWindowHandlers&) = delete;

    // What the front end (or a later layer) plugs in. An empty hook does nothing.
    struct Hooks {
        // Unloads every window: the process ends when the last one is gone.
        std::function<void()> unloadAllWindows;
        // Ends the program at once, without unloading the windows first.
        std::function<void()> endProgram;
        // The run button's dispatcher (app/run_button.h unless replaced).
        std::function<void()> cmdEncDec_Click;
        // The folder chooser behind Add for "Encrypt a Folder".
        std::function<void()> Folder_Encrypt;
        // The Find Locked Items window (the window's own).
        std::function<void()> findLockedItems;
        // Runs `work` off the window's thread, then `then` on it; empty: both
        // at once, here.
        std::function<void(std::function<void()> work, std::function<void()> then)> inBackground;
        // Opens the key file at the gate (app/password.h's openKeyFile
        // unless replaced).
        std::function<PasswordGate(const std::string& password, SealingKeys& keys)> openKeyFile;
    } hooks;

    // Start-up. Shows the refusal and unloads the windows when another
    // instance runs; returns whether the program goes on.
    bool Form_Load(bool anotherInstanceRunning);
    // The window closes: what the target page unhid is hidden again.
    void Form_Unload();
    void terminateProgram();

    // Choice page.
    void OptEncFiles_Click();
    void OptDecFiles_Click();
    void OptEncFolder_Click();
    void OptDecFolder_Click();
    void cmdNext_Click();
    void cmdExit_Click();
    // Paths from outside call for `operation`: its target page, whatever
    // page was in front (a target page in front is left as Back leaves it).
    void openTargetPage(Option operation);

    // Password page. With sealing on the key file is opened in the
    // background; OK stays disabled and the pointer busy until it is.
    void cmdPassword_Click();

    // Target page.
    void cmdAdd_Click();
    void cmdClear_Click();
    void cmdBack_Click();
    void cmdEncDec_Click();
    void cmdEx_Click();
    // "Seal with the password (strong encryption)" clicked to `checked`.
    void chkSeal_Click(bool checked);
    void File_Encrypt();
    // Rebuilds the target list from the files of the hidden file box's folder.
    void filFiles_PathChange();

    // Menus and about page.
    void mnuFindLocked_Click();
    void mnuExit_Click();
    // File > Change Password...: the current password, the new one twice.
    void mnuChangePassword_Click();
    void mnuOnline_Click();
    void mnuVisit_Click();
    void mnuAbout_Click();
    void Label5_Click();
    void Label6_Click();
    void cmdOK_Click();

    WindowModel& model() { return model_; }

  private:
    void selectOption(Option option);
    // What Next (or paths from outside) opened the target page with.
    void targetPageOpened();
    // Empties the target list and forgets the folder in hand.
    void clearTargets();
    void forgetFolder();
    // Sealing on: the typed password opens the key file, off the window's thread.
    void openKeyFileInBackground();
    // What Add does on the target page of `operation`.
    void addFor(Option operation);
    // What the gate does with its answer, on the window's thread.
    void passwordChecked(PasswordGate gate);
    // After "The Key File ... Is Missing": the recovery key and a new
    // password restore it, and the gate opens.
    void offerKeyRestore();
    // Hides the listed locked files again if Decrypt File(s) unhid them.
    void hideLockedFilesAgain();
    static void call(const std::function<void()>& hook) {
        if (hook) hook();
    }

    WindowModel& model_;
    Desktop& desktop_;
    SettingsStore& settings_;
    bool lockedFilesUnhidden_ = false;
};

}  // namespace vellumar
