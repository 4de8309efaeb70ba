#include "locking/locked_files_list.h"

#include <map>
#include <set>
#include <string>
#include <vector>

#include "engine/platform/file_system.h"
#include "engine/lists/list_file.h"
#include "engine/lists/list_lock.h"
#include "engine/lists/list_names.h"
#include "engine/platform/paths.h"
#include "engine/platform/platform.h"

namespace vellumar {

void unhideLockedFiles() {
    std::string list = applicationFile(kLockedFilesList);
    {
        // Another process may create it meanwhile, with a line in it.
        const ListLock lock;
        if (!fileExists(list)) {
            replaceListFile(list, {});
            return;
        }
    }
    std::vector<std::string> paths;
    if (readListFile(list, paths) != IoError::ok) return;
    for (const std::string& path : paths) {
        if (!path.empty()) fileSystem().setAttributes(path, kAttrNormal);
    }
}

std::vector<FileResult> pruneLockedFilesList() {
    const std::string list = applicationFile(kLockedFilesList);
    std::vector<FileResult> leftVisible;
    // Under the list lock from the reading to the writing: a line another
    // process adds meanwhile is not lost.
    const ListLock lock;
    if (!fileExists(list)) return leftVisible;
    editListFile(list, [&leftVisible](std::vector<std::string>& paths) {
        std::vector<std::string> kept;
        for (const std::string& path : paths) {
            // Only a file that is known to be gone loses its line; one that
            // cannot be looked at now stays listed.
            FileStatus status;
            if (path.empty() || fileSystem().status(path, status) == IoError::notFound) continue;
            kept.push_back(path);
            // Hidden again, and read-only still if it is.
            uint32_t attributes = kAttrNormal;
            IoError error = fileSystem().getAttributes(path, attributes);
            if (error == IoError::ok && (attributes & kAttrHidden) == 0)
                error = fileSystem().setAttributes(path, attributes | kAttrHidden);
            if (error != IoError::ok) leftVisible.push_back(fileProblem(FileProblem::ioError, path, error));
        }
        if (kept == paths) return false;
        paths = std::move(kept);
        return true;
    });
    return leftVisible;
}

IoError moveListedFiles(const std::vector<std::pair<std::string, std::string>>& moves) {
    if (moves.empty()) return IoError::ok;
    const std::string list = applicationFile(kLockedFilesList);
    const std::map<std::string, std::string> movedTo(moves.begin(), moves.end());
    const ListLock lock;
    if (!fileExists(list)) return IoError::ok;
    return editListFile(list, [&movedTo](std::vector<std::string>& paths) {
        std::vector<std::string> kept;
        std::set<std::string> seen;
        bool changed = false;
        for (const std::string& path : paths) {
            auto moved = movedTo.find(path);
            const std::string line = moved == movedTo.end() ? path : moved->second;
            changed = changed || moved != movedTo.end();
            // One line a file: the new name may have been listed by the run.
            if (line.empty() || !seen.insert(line).second) {
                changed = true;
                continue;
            }
            kept.push_back(line);
        }
        if (!changed) return false;
        paths = std::move(kept);
        return true;
    });
}

}  // namespace vellumar
