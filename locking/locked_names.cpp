#include "locking/locked_names.h"

#include <vector>

#include "engine/platform/name_rules.h"
#include "engine/platform/paths.h"

namespace vellumar {

LockedNames::Folder& LockedNames::folderOf(const std::string& path) {
    const std::string folderPath = getFolderPart(path);
    auto [it, added] = folders_.try_emplace(folderPath);
    Folder& folder = it->second;
    if (!added) return folder;
    FileSystem& fs = fileSystem();
    const std::string listed = folderPath.empty() ? std::string(".") : folderPath;
    folder.windowsNamesOnly = fs.takesWindowsNamesOnly(listed);
    // A folder that cannot be listed holds no twin that the run could see;
    // the lock itself then meets what keeps it from being listed.
    std::vector<FolderEntry> entries;
    if (fs.listFolder(listed, entries) == IoError::ok) {
        for (const FolderEntry& entry : entries) {
            folder.names.insert(entry.name);
            folder.byFolded.try_emplace(caseFolded(entry.name), entry.name);
        }
    }
    return folder;
}

LockedNames::Verdict LockedNames::check(const std::string& lockedPath) {
    Verdict verdict;
    Folder& folder = folderOf(lockedPath);
    const std::string name = getFileName(lockedPath);
    if (folder.windowsNamesOnly) verdict.volume = windowsNameCheck(name);
    // The very name taken is the lock's own affair (a name taken, a layer
    // that keeps its name).
    if (folder.names.count(name)) return verdict;
    if (auto twin = folder.byFolded.find(caseFolded(name)); twin != folder.byFolded.end())
        verdict.caseTwin = twin->second;
    return verdict;
}

void LockedNames::given(const std::string& lockedPath) {
    Folder& folder = folderOf(lockedPath);
    const std::string name = getFileName(lockedPath);
    folder.names.insert(name);
    folder.byFolded.try_emplace(caseFolded(name), name);
}

}  // namespace vellumar
