#include "app/password_dialogs.h"

#include <string>
#include <vector>

#include "app/password.h"
#include "app/password_changes.h"
#include "app/selection.h"
#include "engine/platform/paths.h"
#include "engine/sealing/sealed_identity.h"

namespace vellumar {
namespace {

// A new password that cannot be taken gets the gate's own words for it.
bool saidNewPasswordProblem(Desktop& desktop, NewPassword fresh) {
    const PasswordGate gate = fresh == NewPassword::blank     ? PasswordGate::notSet
                              : fresh == NewPassword::differs ? PasswordGate::notConfirmed
                                                              : PasswordGate::refusedCharacters;
    if (fresh == NewPassword::accepted) return false;
    desktop.message(passwordMessage(gate), Icon::critical);
    return true;
}

}  // namespace

bool restoreKeyFromRecoveryKey(Desktop& desktop, SettingsStore& settings,
                               SealingKeys& sessionKeys) {
    if (!desktop.ask("Restore The Key File With Your Recovery Key Now?\rPick The File That "
                     "Holds The Recovery Key, Then Type A New Password Twice.",
                     Icon::exclamation, kApplicationTitle))
        return false;
    const std::string picked = joinSelection(desktop.pickFiles());
    if (picked.empty()) return false;
    const std::string keyPath = getSelectedFile(picked, 1);
    SealingKeys brought;
    if (AgeResult read = readRecoveryKey(keyPath, brought); !read.ok()) {
        desktop.message(keyPath + ": " + recoveryKeyProblem(read, keyPath), Icon::critical);
        return false;
    }
    std::vector<std::string> typed;
    if (!desktop.askPasswords("Restore The Key File", {"New Password", "Confirm Password"},
                              typed) ||
        typed.size() != 2)
        return false;
    // The key file checks the password: any characters work.
    if (saidNewPasswordProblem(desktop, checkNewPassword(typed[0], typed[1], false))) return false;
    desktop.setBusy(true);
    const KeyRestoreResult restored =
        restoreSealingKey(settings, brought.identities.front(), typed[0], sessionKeys);
    desktop.setBusy(false);
    switch (restored.outcome) {
        case KeyRestore::restored:
            desktop.message(
                "The Key File Has Been Restored From The Recovery Key.\rIt Opens "
                "With The New Password.",
                Icon::information);
            return true;
        case KeyRestore::keyFileOpens:
            desktop.message("The Key File " + identityFilePath() +
                                " Is There And Is Not Damaged, So It Was Left Alone.",
                            Icon::critical);
            break;
        case KeyRestore::failed:
            desktop.message("The Key File " + identityFilePath() + " Could Not Be Written: " +
                                keyFileCause(restored.age, identityFilePath()),
                            Icon::critical);
            break;
    }
    return false;
}

void askToChangePassword(Desktop& desktop, SettingsStore& settings, SealingKeys& sessionKeys) {
    if (!passwordIsSet(settings)) {
        desktop.message(passwordMessage(PasswordGate::notSet), Icon::critical);
        return;
    }
    std::vector<std::string> typed;
    if (!desktop.askPasswords("Change Password",
                              {"Current Password", "New Password", "Confirm New Password"},
                              typed) ||
        typed.size() != 3)
        return;
    desktop.setBusy(true);
    const PasswordChange change = changePassword(settings, typed[0], typed[1], typed[2]);
    desktop.setBusy(false);
    if (change.current != PasswordGate::accepted) {
        desktop.message(passwordMessage(change.current), Icon::critical);
        return;
    }
    if (saidNewPasswordProblem(desktop, change.fresh)) return;
    if (!change.sealing && !change.saved) {
        desktop.message("The Password Could Not Be Saved. It Is Still The Old One.",
                        Icon::critical);
        return;
    }
    if (change.sealing && !change.keys.keyFile.ok()) {
        desktop.message("The Key File " + identityFilePath() + " Could Not Be Changed: " +
                            keyFileCause(change.keys.keyFile, identityFilePath()) +
                            "\rThe Password Is Still The Old One.",
                        Icon::critical);
        return;
    }
    // Sealed folders this session opens take the new password from now on.
    if (!sessionKeys.password.empty()) sessionKeys.password = trim(typed[1]);
    if (change.keys.copies.empty()) {
        desktop.message("The Password Has Been Changed.", Icon::information);
        return;
    }
    std::string text =
        "The Password Has Been Changed, But The Key Copy Of These Sealed Folders Could Not Be "
        "Changed: They Still Open With The Old Password.";
    for (const RewrapFailure& failure : change.keys.copies)
        text += "\r" + failure.path + ": " + keyFileCause(failure.cause, failure.path);
    desktop.message(text, Icon::exclamation);
}

}  // namespace vellumar
