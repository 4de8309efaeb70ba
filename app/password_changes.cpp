#include "app/password_changes.h"

#include "engine/formats/locked_folder_name.h"
#include "engine/platform/paths.h"
#include "engine/formats/text_shift.h"
#include "folders/folder_lists.h"
#include "folders/folder_paths.h"
#include "locking/failure_cause.h"

namespace vellumar {
namespace {

bool isFolder(const std::string& path) {
    FileStatus status;
    return fileSystem().status(path, status) == IoError::ok && status.kind == EntryKind::folder;
}

}  // namespace

NewPassword checkNewPassword(const std::string& password, const std::string& confirm,
                             bool keptShifted) {
    const std::string p = trim(password);
    if (p.empty()) return NewPassword::blank;
    if (trim(confirm) != p) return NewPassword::differs;
    // Any characters work once the key file checks the password.
    if (keptShifted && !hasEncodedForm(p)) return NewPassword::refusedCharacters;
    return NewPassword::accepted;
}

KeyRestoreResult restoreSealingKey(SettingsStore& settings, const AgeIdentity& recoveryKey,
                                   const std::string& password, SealingKeys& keys) {
    const std::string p = trim(password);
    KeyRestoreResult result = restoreKeyFile(recoveryKey, p);
    if (result.outcome != KeyRestore::restored) return result;
    recordSealingStarted(settings);
    keys = SealingKeys{};
    keys.add(recoveryKey);
    keys.password = p;
    return result;
}

bool PasswordChange::done() const {
    return current == PasswordGate::accepted && fresh == NewPassword::accepted &&
           (sealing ? keys.keyFile.ok() : saved);
}

PasswordChange changePassword(SettingsStore& settings, const std::string& current,
                              const std::string& password, const std::string& confirm,
                              SealingKeys* keys) {
    PasswordChange change;
    const std::string old = trim(current), p = trim(password);
    if (!passwordIsSet(settings)) {
        change.current = PasswordGate::notSet;
        return change;
    }
    change.sealing = sealingIsOn() || storedPassword(settings).empty();
    if (!change.sealing) {
        if (old != storedPassword(settings)) {
            change.current = PasswordGate::wrongPassword;
            return change;
        }
        change.fresh = checkNewPassword(p, confirm, true);
        if (change.fresh != NewPassword::accepted) return change;
        change.saved = saveShiftedPassword(settings, p);
        if (change.saved && keys) keys->password = p;
        return change;
    }
    // Sealing on: the key file checks the current password.
    if (!sealingIsOn()) {
        change.current = PasswordGate::keyMissing;
        return change;
    }
    if (old.empty()) {
        change.current = PasswordGate::wrongPassword;
        return change;
    }
    change.fresh = checkNewPassword(p, confirm, false);
    if (change.fresh != NewPassword::accepted) return change;
    change.keys = changeKeyPassword(old, p, lockedFolderRoots());
    if (change.keys.keyFile.error == AgeError::wrongPassword)
        change.current = PasswordGate::wrongPassword;
    else if (change.keys.keyFile.ok() && keys)
        keys->password = p;
    return change;
}

std::string recoveryKeyProblem(const AgeResult& read, const std::string& path) {
    uint32_t attributes = 0;
    if (fileSystem().getAttributes(path, attributes) == IoError::ok &&
        (attributes & kAttrDirectory) != 0)
        return "a folder, not a recovery key";
    if (std::string kind = keyFileKindText(keyFileKind(path)); !kind.empty()) return kind;
    if (read.error == AgeError::notAge)
        return "not a recovery key (it must hold \"AGE-SECRET-KEY-1...\" lines and comments only)";
    if (read.error == AgeError::io && read.io == IoError::notFound) return "no such file";
    return "the recovery key could not be read: " + keyFileCause(read, path);
}

std::string keyFileCause(const AgeResult& result, const std::string& path) {
    if (result.error == AgeError::io) return causeText(result.io, path);
    if (result.error == AgeError::wrongPassword) return "it does not open with the old password";
    if (result.error == AgeError::damaged) return "it is damaged";
    return describeCause(result);
}

std::vector<std::string> lockedFolderRoots() {
    std::vector<std::string> records, roots;
    readFolderRecords(records);
    for (const std::string& plainPath : records) {
        std::string name = plainPath, parent;
        splitFolderPath(name, parent);
        const std::string locked = lockedFolderPath(parent, name);
        if (isFolder(locked))
            roots.push_back(locked);
        else if (isFolder(plainPath))
            roots.push_back(plainPath);
    }
    return roots;
}

}  // namespace vellumar
