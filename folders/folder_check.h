#pragma once
// Whether a folder may be locked: every rule that keeps a folder as it is,
// tested before anything changes, as a value naming the rule and the paths
// it concerns. The front ends word it.

#include <string>

namespace vellumar {

enum class FolderRule {
    none,                // it may be locked
    notAFolder,          // nothing, a file or a link where a folder was expected
    applicationFolder,   // the program's own folder, or one above its lists or itself
    driveRoot,           // a drive's root
    systemFolder,        // the system directory
    windowsFolder,       // the Windows directory
    nameNotEncodable,    // its locked name could not carry its name back
    lineBreak,           // its path holds a line break: no list line can keep it
    lockedFolderBeside,  // a locked folder of the same name stands beside it (`other`)
    lockedNameTaken,     // something else has its locked name (`other`)
    lockedNameCaseTwin,  // its locked name would differ only in case from `other`'s
    lockedNameNotAllowed,  // its volume does not take its locked name (`other`)
    insideLockedFolder,  // it lies inside a listed folder's locked name (`other`)
    attributes,          // read-only, hidden, system or archive: passed over without a word
};

struct FolderCheck {
    FolderRule rule = FolderRule::none;
    // The folder in its normal spelling; for notAFolder, the path as given.
    std::string path;
    // lockedFolderBeside, lockedNameTaken: what has its locked name;
    // lockedNameCaseTwin: what has a name that differs from it only in case;
    // lockedNameNotAllowed: the locked path it would take;
    // insideLockedFolder: the listed folder, as listed.
    std::string other;

    bool passed() const { return rule == FolderRule::none; }
};

// The two folders of the system that are never locked, read once at start-up.
struct SystemFolders {
    std::string windowsDir;
    std::string systemDir;
};
SystemFolders platformSystemFolders();

// Every rule, in the order the folder chooser tests them; `chosen` as the
// folder-browse dialog or the command line gave it.
FolderCheck checkFolderToLock(const std::string& chosen, const SystemFolders& system);

// The rules about the folder's locked name: free, or taken by a locked
// folder of the same name (whose record this folder would share) or by
// something else; one its volume takes (Windows' names on vfat, NTFS,
// shares...); and no other name of its folder the same but for case, which
// Windows could not tell apart. `folder` in its normal spelling.
FolderCheck checkLockedName(const std::string& folder);

}  // namespace vellumar
