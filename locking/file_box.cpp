#include "locking/file_box.h"

#include <algorithm>

#include "engine/file_system.h"
#include "engine/names.h"

namespace vellumar {

std::vector<std::string> FileBoxNames(const std::string& folder) {
    FileSystem& fs = fileSystem();
    std::vector<FolderEntry> entries;
    if (fs.listFolder(folder, entries) != IoError::ok) return {};
    std::vector<std::string> names;
    for (const FolderEntry& entry : entries) {
        if (entry.kind != EntryKind::file) continue;
        uint32_t attributes = 0;
        if (fs.getAttributes(AddBackslash(folder) + entry.name, attributes) == IoError::ok &&
            (attributes & kAttrSystem) != 0)
            continue;
        names.push_back(entry.name);
    }
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        std::string ua = ToUpper(a), ub = ToUpper(b);
        return ua != ub ? ua < ub : a < b;
    });
    return names;
}

}  // namespace vellumar
