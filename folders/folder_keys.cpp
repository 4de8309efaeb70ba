#include "folders/folder_keys.h"

#include "engine/sealing/sealed_lock.h"

namespace vellumar {
namespace {

// Whether the keys at hand leave the file shut: only the key is in question,
// a damaged file fails in the run all the same.
bool shutToKeys(const std::string& path, const SealingKeys& keys) {
    const AgeError error = openSealedHeader(path, keys.identities).error;
    return error == AgeError::otherIdentity || error == AgeError::passwordOnly;
}

size_t countShut(const std::vector<std::string>& sealed, const SealingKeys& keys) {
    size_t shut = 0;
    for (const std::string& path : sealed) shut += shutToKeys(path, keys);
    return shut;
}

}  // namespace

FolderKeys settleFolderKeys(const std::string& folder, const std::vector<std::string>& toUnlock,
                            SealingKeys& keys) {
    FolderKeys result;
    std::vector<std::string> sealed;
    for (const std::string& path : toUnlock)
        if (hasSealedExtension(path)) sealed.push_back(path);
    if (sealed.empty()) return result;
    size_t shut = countShut(sealed, keys);
    if (shut > 0) {
        const size_t held = keys.identities.size();
        result.copy = addFolderIdentity(folder, keys);
        if (keys.identities.size() > held) shut = countShut(sealed, keys);
    }
    result.noneOpens = shut == sealed.size() && sealed.size() == toUnlock.size();
    return result;
}

}  // namespace vellumar
