#pragma once
// Locking and unlocking a folder, and the list of locked folders: the
// operations beneath the window's folder runs and the command line's folder
// commands. They take paths, options and the desktop port, keep the list
// "folders" (a folder is recorded before its first file is locked, and its
// record goes only once it has its plain name back), and return what
// happened as values. The file runs inside them may speak through the
// desktop; the folder's own outcome is for each front end to word.

#include <string>
#include <vector>

#include "engine/runs/desktop.h"
#include "engine/platform/file_system.h"
#include "folders/folder_check.h"
#include "folders/folder_search.h"
#include "locking/file_operations.h"
#include "locking/sealing_keys.h"

namespace vellumar {

enum class FolderProblem {
    none,              // the folder got there (see FolderRunResult::folderDone)
    refused,           // a rule kept it as it was: see `refusal`; nothing changed
    notSearched,       // lock: a folder inside could not be searched: nothing was locked
    notRecorded,       // lock: it could not be added to "folders" (`error`); nothing changed
    filesNotLocked,    // lock: not every file got locked; plain name, listed as being locked
    noFileLocked,      // lock: no file could be locked; plain name, not listed
    plainFilesLeft,    // lock: read back after the run, files below are not locked
                       // (`leftPlain`: saved into it meanwhile...): plain name, listed as
                       // being locked
    notHidden,         // lock: every file locked and listed, but the folder does not keep
                       // its hidden mark (`error`): plain name, listed as being locked
    notRenamed,        // lock: every file locked and listed, but the name stayed (`error`)
    keyNotPlaced,      // lock, sealing: the copy of the key could not be placed in the
                       // folder (`error`); nothing was sealed
    cancelled,         // a cancel request stopped the file run: the folder keeps the name
                       // it had, hidden or not as it was, and stays listed while any
                       // file inside is locked
    listUnreadable,    // unlock: "folders" could not be read (`error`: notFound when
                       // there is none); nothing changed
    notListed,         // unlock: not one of the locked folders; nothing changed
    plainNameTaken,    // unlock: something has its plain name while its locked folder
                       // stands; nothing changed
    folderMissing,     // unlock: no folder under either name (it lies inside another
                       // locked folder, or was moved); nothing changed
    notRestored,       // unlock: it could not get its plain name back (`error`): it keeps
                       // its locked name and its record
    filesNotUnlocked,  // unlock: a file inside is still locked: plain name, still listed
    noneOpens,         // unlock: none of its sealed files opens with the keys at hand nor
                       // with the copy of the key it carries (`folderKey` says why that
                       // did not open); nothing changed
    notUnlisted,       // unlock: all done, but its record could not be dropped (`error`)
};

struct FolderRunResult {
    // The folder's plain path.
    std::string folder;
    FolderCheck refusal;
    // Folders inside that could not be searched.
    std::vector<UnsearchedFolder> unsearched;
    // Whether the file run ran, and what it did.
    bool filesRun = false;
    RunReport files;
    // Lock: it was listed as being locked before this run.
    bool listedBefore = false;
    // Lock: it is listed when the run ends (a file locked before the run
    // keeps a record that nothing was locked in, a cancel included).
    bool listed = false;
    // Lock: hidden, locked name and listed. Unlock: plain name, no record.
    bool folderDone = false;
    // Lock, read back after the run: the files below that are not locked.
    std::vector<std::string> leftPlain;
    // Lock: the volume, when its file system cannot keep the folder's hidden
    // mark: the folder is locked and renamed, but visible.
    std::string cannotHide;
    FolderProblem problem = FolderProblem::none;
    IoError error = IoError::ok;
    // The path the problem concerns (the folder, its locked path, the list).
    std::string problemPath;
    // The parent's ".hidden" could not list its locked name (or, unlocked,
    // still lists it): Linux file managers show it (or hide it). The folder
    // is done all the same. It names the list and why.
    HiddenListResult hiddenList;
    // Unlock: the copy of the key in the folder, tried because the keys at
    // hand did not open every sealed file, did not open (wrongPassword,
    // tooCostly, damaged...): the files sealed with it stay sealed.
    AgeResult folderKey;
    // Unlock: the copy of the key could not be removed from the folder,
    // which is unlocked all the same.
    IoError keyLeft = IoError::ok;
};

struct FolderRunOptions {
    // The files found when the folder was chosen, as the window searches
    // it then; null: the operation searches the folder itself.
    const FoundFiles* found = nullptr;
    // Unlock: what sealed files are opened with (the identity, and the
    // password that opens the copy of the key a sealed folder carries, so
    // that a folder brought from elsewhere opens with the password alone).
    // Null: none.
    const SealingKeys* keys = nullptr;
};

struct LockFolderOptions : FolderRunOptions {
    // Every rule of checkFolderToLock first; the window's chooser did that
    // already, and the run tests only what may have changed since: a line
    // break, a locked folder of the same name beside it.
    bool checkEveryRule = true;
    SystemFolders system;
    // Sealing: every file becomes a sealed file for this recipient, and the
    // folder carries a copy of the identity file, placed before the first
    // file is sealed and removed when the folder is unlocked. Null: the
    // compatible formats.
    const AgeRecipient* sealFor = nullptr;
};

// Records the folder in "folders" (unless it is listed already, being
// locked), locks every file inside that is not locked yet, and only when
// all are, hides it and gives it its locked name. `folder` in its normal
// spelling.
FolderRunResult lockFolder(const std::string& folder, const LockFolderOptions& options,
                           Desktop& desktop);

// Unlocks every locked file of a listed folder, gives it its plain name back
// (from its locked name, or as it stands when it never got one) and drops
// its records, only once no file inside is locked. `plainPath` as listed.
FolderRunResult unlockFolder(const std::string& plainPath, const FolderRunOptions& options,
                             Desktop& desktop);

// The locked folders as listed, up to the list's first empty line. Creates
// the list empty when it is missing; an error when it cannot be read.
IoError listLockedFolders(std::vector<std::string>& folders);

}  // namespace vellumar
