#include "locking/file_box.h"

#include <algorithm>

#include "engine/platform/atomic_file.h"
#include "engine/lists/hidden_list.h"
#include "engine/platform/paths.h"

namespace vellumar {

bool nameOrder(const std::string& a, const std::string& b) {
    auto upper = [](unsigned char c) { return c >= 'a' && c <= 'z' ? c - 32 : c; };
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        int ua = upper(static_cast<unsigned char>(a[i]));
        int ub = upper(static_cast<unsigned char>(b[i]));
        if (ua != ub) return ua < ub;
    }
    if (a.size() != b.size()) return a.size() < b.size();
    return a < b;
}

std::vector<std::string> fileBoxNames(const std::string& folder) {
    std::vector<FolderEntry> entries;
    if (fileSystem().listFolder(folder, entries) != IoError::ok) return {};
    return fileBoxNames(folder, entries);
}

std::vector<std::string> fileBoxNames(const std::string& folder,
                                      const std::vector<FolderEntry>& entries,
                                      bool withSystemFiles) {
    FileSystem& fs = fileSystem();
    const std::string prefix = addBackslash(folder);
    std::vector<std::string> names;
    for (const FolderEntry& entry : entries) {
        if (entry.kind != EntryKind::file) continue;
        // The list of hidden names the program keeps: nobody's file to lock.
        if (isHiddenListName(entry.name)) continue;
        // The program's own temporaries are nobody's files. One left by a
        // run that ended half-way goes: the file it was to replace stands.
        // A person's file with a name like theirs is listed like any other.
        if (isTemporaryName(entry.name)) {
            const TemporaryOwner owner = temporaryOwner(prefix + entry.name);
            if (owner == TemporaryOwner::ended) {
                fs.setAttributes(prefix + entry.name, kAttrNormal);
                fs.removeFile(prefix + entry.name);
            }
            if (owner != TemporaryOwner::none) continue;
        }
        uint32_t attributes = 0;
        if (!withSystemFiles && fs.getAttributes(prefix + entry.name, attributes) == IoError::ok &&
            (attributes & kAttrSystem) != 0)
            continue;
        names.push_back(entry.name);
    }
    std::sort(names.begin(), names.end(), nameOrder);
    return names;
}

}  // namespace vellumar
