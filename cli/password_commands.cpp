#include "cli/password_commands.h"

#include <ostream>

#include "app/password.h"
#include "app/password_changes.h"
#include "cli/absolute_path.h"
#include "cli/cli.h"
#include "cli/seal_commands.h"
#include "locking/failure_cause.h"
#include "locking/key_file_changes.h"
#include "locking/sealing_keys.h"

namespace vellumar {
namespace {

std::string newPasswordProblem(NewPassword fresh) {
    switch (fresh) {
        case NewPassword::blank:
            return "An empty password cannot be set.";
        case NewPassword::differs:
            return "The passwords differ.";
        case NewPassword::refusedCharacters:
            return "The password may hold only letters, digits and common symbols.";
        case NewPassword::accepted:
            break;
    }
    return {};
}

bool readNewPassword(CliSession& cli, std::string& password, std::string& confirm) {
    return cli.readSecret("New password: ", password) &&
           cli.readSecret("Confirm password: ", confirm);
}

void sayKeyFileStands(CliSession& cli) {
    cli.console.err << identityFilePath()
                    << ": the key file is there and is not damaged, so it was left alone: it "
                       "opens with the application password. To choose another password use "
                    << kProgram << " change-password.\n";
}

}  // namespace

int restoreKeyCommand(CliSession& cli, const std::vector<std::string>&) {
    const std::string keyPath = absolutePath(cli.recoveryKeyFile);
    SealingKeys brought;
    if (AgeResult read = readRecoveryKey(keyPath, brought); !read.ok()) {
        cli.console.err << keyPath << ": " << recoveryKeyProblem(read, keyPath)
                        << "\nNothing was changed.\n";
        return kExitFailed;
    }
    // Said before any password is asked for.
    if (keyFileReadsWhole()) {
        sayKeyFileStands(cli);
        return kExitFailed;
    }
    std::string password, confirm;
    if (!readNewPassword(cli, password, confirm)) return kExitFailed;
    // The restored key is checked by the key file, which takes any characters.
    const NewPassword fresh = checkNewPassword(password, confirm, false);
    if (fresh != NewPassword::accepted) {
        cli.console.err << newPasswordProblem(fresh) << "\nNothing was changed.\n";
        return kExitFailed;
    }
    const KeyRestoreResult restored =
        restoreSealingKey(cli.settings, brought.identities.front(), password, cli.keys);
    switch (restored.outcome) {
        case KeyRestore::restored:
            cli.console.err << "The key file " << identityFilePath()
                            << " has been restored from the recovery key; it opens with the new "
                               "password.\n";
            return kExitDone;
        case KeyRestore::keyFileOpens:
            sayKeyFileStands(cli);
            return kExitFailed;
        case KeyRestore::failed:
            break;
    }
    cli.console.err << identityFilePath() << ": the key file could not be written: "
                    << keyFileCause(restored.age, identityFilePath()) << "\nNothing was changed.\n";
    return kExitFailed;
}

int changePasswordCommand(CliSession& cli, const std::vector<std::string>&) {
    if (!passwordIsSet(cli.settings)) {
        cli.console.err << "No application password is set yet. Set one with: " << kProgram
                        << " set-password\n";
        return kExitFailed;
    }
    std::string current, password, confirm;
    if (!cli.readSecret("Current password: ", current)) return kExitFailed;
    // The current password first, so that a wrong one asks for nothing more.
    if (PasswordGate gate = checkPassword(cli.settings, current, {}, nullptr);
        gate != PasswordGate::accepted) {
        cli.desktop.message(passwordMessage(gate), Icon::critical);
        return kExitFailed;
    }
    if (!readNewPassword(cli, password, confirm)) return kExitFailed;
    const PasswordChange change = changePassword(cli.settings, current, password, confirm);
    if (change.current != PasswordGate::accepted) {
        cli.desktop.message(passwordMessage(change.current), Icon::critical);
        return kExitFailed;
    }
    if (change.fresh != NewPassword::accepted) {
        cli.console.err << newPasswordProblem(change.fresh) << "\nNothing was changed.\n";
        return kExitFailed;
    }
    if (!change.sealing && !change.saved) {
        cli.console.err << "The password could not be saved; it is still the old one.\n";
        return kExitFailed;
    }
    if (change.sealing && !change.keys.keyFile.ok()) {
        cli.console.err << identityFilePath() << ": the key file could not be changed: "
                        << keyFileCause(change.keys.keyFile, identityFilePath())
                        << "\nNothing was changed; the password is still the old one.\n";
        return kExitFailed;
    }
    for (const RewrapFailure& failure : change.keys.copies)
        cli.console.err << failure.path << ": this sealed folder's key copy could not be changed: "
                        << keyFileCause(failure.cause, failure.path)
                        << "; the folder still opens with the old password\n";
    cli.console.err << "The application password has been changed.\n";
    if (!change.keys.copies.empty()) {
        cli.console.err << "The sealed folders named above still open with the old password "
                           "only.\n";
        return kExitFailed;
    }
    return kExitDone;
}

}  // namespace vellumar
