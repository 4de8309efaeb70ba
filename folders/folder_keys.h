#pragma once
// Which keys open a sealed folder's files. The copy of the key a folder
// carries is opened only when the keys at hand leave a sealed file shut:
// deriving a key from the password costs time and memory, and the copy may
// have been planted by anyone.

#include <string>
#include <vector>

#include "engine/sealing/age_format.h"
#include "locking/sealing_keys.h"

namespace vellumar {

struct FolderKeys {
    // The copy's outcome when it was tried (ok when it opened or is not there).
    AgeResult copy;
    // Sealed files to unlock and no other locked file, and not one of the
    // sealed files opens with the keys at hand, the copy's included.
    bool noneOpens = false;
};

// Adds the folder copy's identity to `keys` when a file of `toUnlock` (the
// locked files a run would take) needs it.
FolderKeys settleFolderKeys(const std::string& folder, const std::vector<std::string>& toUnlock,
                            SealingKeys& keys);

}  // namespace vellumar
