#include "folders/folder_check.h"

#include <cstdint>
#include <vector>

#include "engine/platform/file_system.h"
#include "engine/formats/locked_folder_name.h"
#include "engine/platform/name_rules.h"
#include "engine/platform/paths.h"
#include "engine/platform/platform.h"
#include "folders/folder_lists.h"
#include "folders/folder_paths.h"
#include "folders/folder_state.h"

namespace vellumar {
namespace {

FolderCheck refused(FolderRule rule, const std::string& path) {
    FolderCheck check;
    check.rule = rule;
    check.path = path;
    return check;
}

// A folder inside a locked one (under its locked name) would be listed
// under that name, and lost to the program once the outer folder gets its
// plain name back. (A folder around a listed one may be locked: the inner
// one then waits until the outer one is unlocked.)
FolderCheck checkNesting(const std::string& folder) {
    std::vector<std::string> records;
    if (readFolderRecords(records) != IoError::ok) return refused(FolderRule::none, folder);
    for (const std::string& record : records) {
        std::string name = record, parentPath;
        splitFolderPath(name, parentPath);
        if (name.empty() || !holdsFolder(lockedFolderPath(parentPath, name), folder)) continue;
        FolderCheck check = refused(FolderRule::insideLockedFolder, folder);
        check.other = record;
        return check;
    }
    return refused(FolderRule::none, folder);
}

// The locked name `locked` of `folder` (plain name `name`), free on its
// volume: one the volume takes, and the same as no other name of its folder
// but for case.
FolderCheck checkLockedNameRules(const std::string& folder, const std::string& name,
                                 const std::string& locked) {
    FileSystem& fs = fileSystem();
    const std::string parent = getFolderPart(locked);
    const std::string lockedName = getFileName(locked);
    FolderCheck check = refused(FolderRule::none, folder);
    if (fs.takesWindowsNamesOnly(parent) && windowsNameCheck(lockedName) != IoError::ok) {
        check.rule = FolderRule::lockedNameNotAllowed;
        check.other = locked;
        return check;
    }
    std::vector<FolderEntry> entries;
    if (fs.listFolder(parent, entries) != IoError::ok) return check;
    const std::string folded = caseFolded(lockedName);
    for (const FolderEntry& entry : entries) {
        if (entry.name == name || caseFolded(entry.name) != folded) continue;
        check.rule = FolderRule::lockedNameCaseTwin;
        check.other = parent + entry.name;
        return check;
    }
    return check;
}

}  // namespace

SystemFolders platformSystemFolders() {
    return {windowsDirectory(), systemDirectory()};
}

FolderCheck checkLockedName(const std::string& folder) {
    std::string name = folder, parentPath;
    splitFolderPath(name, parentPath);
    const std::string locked = lockedFolderPath(parentPath, name);
    FileStatus status;
    if (fileSystem().status(locked, status) != IoError::ok)
        return checkLockedNameRules(folder, name, locked);
    FolderCheck check = refused(status.kind == EntryKind::folder ? FolderRule::lockedFolderBeside
                                                                 : FolderRule::lockedNameTaken,
                                folder);
    check.other = locked;
    return check;
}

FolderCheck checkFolderToLock(const std::string& chosen, const SystemFolders& system) {
    const std::string folder = normalFolderPath(chosen);
    if (folder.empty()) return refused(FolderRule::notAFolder, chosen);
    if (folder == applicationDirectory()) return refused(FolderRule::applicationFolder, folder);
    if (isDriveRoot(folder)) return refused(FolderRule::driveRoot, folder);
    if (chosen == system.systemDir || sameFolder(folder, system.systemDir))
        return refused(FolderRule::systemFolder, folder);
    if (chosen == system.windowsDir || sameFolder(folder, system.windowsDir))
        return refused(FolderRule::windowsFolder, folder);
    // Locking a folder above the program would lock its own list files and
    // move the program itself.
    if (holdsFolder(folder, applicationDirectory()) || holdsFolder(folder, executablePath()))
        return refused(FolderRule::applicationFolder, folder);
    // The locked name shifts every byte up by 65; a byte above 190 would be
    // lost, and the folder could never get its name back. On Linux it may
    // also grow past the longest name a folder can have.
    if (!canHaveLockedFolderName(getFileName(folder)))
        return refused(FolderRule::nameNotEncodable, folder);
    if (!fitsOnListLine(folder)) return refused(FolderRule::lineBreak, folder);
    if (FolderCheck nested = checkNesting(folder); !nested.passed()) return nested;
    // Checked before anything changes: the run would lock the files and then
    // fail to rename the folder, and the two would share one record.
    if (FolderCheck taken = checkLockedName(folder); !taken.passed()) return taken;
    // A folder that is read-only, hidden, system or archive is passed over;
    // but one that is being locked may have been hidden already, just before
    // a crash took away its locked name.
    uint32_t attributes = 0;
    if (fileSystem().getAttributes(folder, attributes) != IoError::ok ||
        (attributes != kAttrDirectory &&
         !(attributes == (kAttrDirectory | kAttrHidden) && isRecordedFolder(folder))))
        return refused(FolderRule::attributes, folder);
    return refused(FolderRule::none, folder);
}

}  // namespace vellumar
