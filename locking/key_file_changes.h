#pragma once
// Changes to the key file that need no key in hand beyond what the person
// brings: a key file restored from the recovery key under a new password,
// and the key file and the copies sealed folders carry wrapped again under a
// new password. Every file is replaced whole (AtomicFile), never torn.

#include <string>
#include <vector>

#include "engine/sealing/age_format.h"

namespace vellumar {

enum class KeyRestore {
    restored,      // the key file holds the recovery key and opens with the new password
    keyFileOpens,  // a whole key file stands already; it was left alone
    failed,        // see `age`
};
struct KeyRestoreResult {
    KeyRestore outcome = KeyRestore::failed;
    AgeResult age;
};

// Writes the key file anew from `identity` under `password`. A key file
// that is missing, cannot be read or is no password file of this format is
// replaced; one that reads as a whole password file is kept (it may hold
// another identity than the one brought), and the call says so.
// Whether the key file stands and reads as a whole password file.
bool keyFileReadsWhole();
KeyRestoreResult restoreKeyFile(const AgeIdentity& identity, const std::string& password);

// One file that could not be wrapped again: it still opens with the old password.
struct RewrapFailure {
    std::string path;
    AgeResult cause;
};
struct KeyPasswordChange {
    // The key file: wrongPassword when the old password does not open it;
    // nothing else was touched then.
    AgeResult keyFile;
    std::vector<RewrapFailure> copies;
    size_t copiesRewrapped = 0;
};

// Opens the key file with `oldPassword` and writes it again under
// `newPassword`, then each copy of a key found in `folderRoots` (a sealed
// folder's root holds one). A copy that does not open with the old password
// or cannot be replaced is named with its cause and left as it was.
KeyPasswordChange changeKeyPassword(const std::string& oldPassword, const std::string& newPassword,
                                    const std::vector<std::string>& folderRoots);

}  // namespace vellumar
