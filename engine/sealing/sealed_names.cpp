#include "engine/sealing/sealed_names.h"

#include "engine/platform/atomic_file.h"
#include "engine/platform/file_system.h"
#include "engine/lists/hidden_list.h"
#include "engine/platform/paths.h"
#include "engine/platform/platform.h"

namespace vellumar {
namespace {

// Named like a temporary, in any case.
bool isTemporaryLike(const std::string& upper) {
    const std::string prefix = toUpper(kTemporaryPrefix), suffix = toUpper(kTemporarySuffix);
    return upper.size() > prefix.size() + suffix.size() &&
           upper.compare(0, prefix.size(), prefix) == 0 &&
           upper.compare(upper.size() - suffix.size(), suffix.size(), suffix) == 0;
}

bool isApplicationDirectory(const std::string& folder) {
    FileSystem& fs = fileSystem();
    FileStatus here, home;
    return fs.status(folder, here) == IoError::ok &&
           fs.status(applicationDirectory(), home) == IoError::ok && here.volume == home.volume &&
           here.index == home.index;
}

}  // namespace

bool isProgramOwnName(const std::string& folder, const std::string& name) {
    const std::string upper = toUpper(name);
    if (upper == toUpper(kHiddenListName) || upper == toUpper(kFolderIdentityName) ||
        isTemporaryLike(upper))
        return true;
    for (const char* own : kApplicationFiles)
        if (upper == toUpper(own)) return isApplicationDirectory(folder);
    return false;
}

}  // namespace vellumar
