#pragma once
// Passwords after the first: the key file restored from the recovery key
// under a new password, and the application password changed. With
// sealing on, a change wraps the key file and the copies sealed folders
// carry again; without, it replaces the shifted password in the store.

#include <string>
#include <vector>

#include "app/password.h"
#include "app/settings_store.h"
#include "locking/key_file_changes.h"
#include "locking/sealing_keys.h"

namespace vellumar {

enum class NewPassword { accepted, blank, differs, refusedCharacters };
// A new password is typed twice alike and is not blank (blanks around it do
// not count); kept in the shifted form, it holds only characters that form has.
NewPassword checkNewPassword(const std::string& password, const std::string& confirm,
                             bool keptShifted);

// Writes the key file from the recovery key under `password` (checked with
// checkNewPassword) and records that sealing is on; `keys` then holds the
// identity and the password.
KeyRestoreResult restoreSealingKey(SettingsStore& settings, const AgeIdentity& recoveryKey,
                                   const std::string& password, SealingKeys& keys);

struct PasswordChange {
    // accepted, or why the current password could not be checked or was wrong.
    PasswordGate current = PasswordGate::accepted;
    NewPassword fresh = NewPassword::accepted;
    bool sealing = false;
    // Sealing on: the key file (keyFile not ok: nothing changed) and the copies.
    KeyPasswordChange keys;
    // Sealing off: the store holds the new shifted password.
    bool saved = false;
    bool done() const;
};
// Changes the application password from `current` to `password` (typed
// twice). `keys`, when given, gets the new password for the session.
PasswordChange changePassword(SettingsStore& settings, const std::string& current,
                              const std::string& password, const std::string& confirm,
                              SealingKeys* keys = nullptr);

// Why the file given as the recovery key gave none, in the words a person
// who typed the wrong name or picked the wrong file needs.
std::string recoveryKeyProblem(const AgeResult& read, const std::string& path);
// Why the key file or a key copy at `path` could not be opened or written.
std::string keyFileCause(const AgeResult& result, const std::string& path);

// The listed locked folders as they stand on the disk (by their locked
// name, or their plain one when they never got it): where sealed ones keep
// their key copies.
std::vector<std::string> lockedFolderRoots();

}  // namespace vellumar
