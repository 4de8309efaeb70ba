#include "folders/folder_operations.h"

#include <algorithm>
#include <set>

#include "engine/platform/folder_confinement.h"
#include "engine/lists/hidden_list.h"
#include "engine/formats/locked_folder_name.h"
#include "engine/formats/locked_header.h"
#include "engine/formats/locked_kind.h"
#include "engine/platform/media_volume.h"
#include "engine/platform/paths.h"
#include "engine/platform/platform.h"
#include "engine/sealing/sealed_lock.h"
#include "engine/runs/write_batch.h"
#include "folders/folder_keys.h"
#include "folders/folder_lists.h"
#include "folders/folder_paths.h"
#include "folders/folder_state.h"
#include "locking/hidden_names.h"

namespace vellumar {
namespace {

bool exists(const std::string& path) {
    FileStatus status;
    return fileSystem().status(path, status) == IoError::ok;
}

bool isFolder(const std::string& path) {
    FileStatus status;
    return fileSystem().status(path, status) == IoError::ok && status.kind == EntryKind::folder;
}

// The files an unlock run takes: every compatible locked name, for the run
// reads each and says what it found, a file it cannot read included (passed
// over here, that one would leave the folder unlocked around a locked file).
// A ".VKS" file that does not start like a sealed file is a person's own
// file with that name: it is left as it is and keeps no folder from being
// unlocked.
bool isFileToUnlock(const std::string& path) {
    const LockedKind marked = markedKindOf(path);
    if (marked == LockedKind::sealed) return lockedKindOf(path) == LockedKind::sealed;
    return marked != LockedKind::none;
}

FolderRunResult& fail(FolderRunResult& result, FolderProblem problem, const std::string& path,
                      IoError error = IoError::ok) {
    result.problem = problem;
    result.problemPath = path;
    result.error = error;
    return result;
}

// The files a run needs: those that `wanted` keeps. A folder whose files are
// all in their new state already needs no run; an empty folder gets one,
// over nothing. Returns how many were passed over.
template <typename Wanted, typename Run>
size_t runOverFound(const FoundFiles& found, Wanted wanted, FolderRunResult& result, Run run) {
    std::vector<std::string> paths;
    for (const std::string& path : found.files)
        if (wanted(path)) paths.push_back(path);
    if (found.files.empty() || !paths.empty()) {
        result.filesRun = true;
        result.files = run(paths);
    }
    return found.files.size() - paths.size();
}

// The folders' hidden lists and the copy of the key that a sealed folder
// carries in its root are the program's own files: no file of a run.
void leaveOutOwnFiles(FoundFiles& found, const std::string& folder) {
    const std::string keyCopy = addBackslash(folder) + kFolderIdentityName;
    std::erase_if(found.files, [&keyCopy](const std::string& file) {
        return isHiddenListName(getFileName(file)) ||
               (file == keyCopy && isFolderIdentityCopy(file));
    });
}

// A run that was ended after a file was committed and before its folder's
// list was rewritten left the locked file unlisted: the next lock lists the
// files it passes over as locked.
void listLockedFiles(const std::vector<std::string>& locked) {
    HiddenNames names;
    for (const std::string& file : locked) names.hide(file, 0);
    names.apply();
}

// ... and an unlock ended there left the line of a file that is plain now:
// the next unlock takes out the lines whose locked file is gone and whose
// plain file stands. Every other line is left alone.
void unlistUnlockedFiles(const FoundFiles& found) {
    std::set<std::string> folders;
    for (const std::string& file : found.files) folders.insert(getFolderPart(file));
    HiddenNames stale;
    for (const std::string& folder : folders) {
        std::vector<std::string> names;
        if (hiddenNamesOf(folder, names) != IoError::ok) continue;
        for (const std::string& name : names) {
            const std::string path = folder + name;
            if (markedKindOf(name) != LockedKind::none && !exists(path) &&
                exists(restoredName(path)))
                stale.unhide(path, 0);
        }
    }
    stale.apply();
}

// What a folder lock claims, read back from the disk before the folder is
// hidden: every file below is locked. The run's own locked files were read
// back by the run; the others found now (locked before, or saved into the
// folder meanwhile) must be locked files that verify.
std::vector<std::string> plainFilesBelow(const std::string& folder, const RunReport& run,
                                         const std::vector<std::string>& lockedBefore,
                                         std::vector<UnsearchedFolder>& unsearched,
                                         Desktop& desktop) {
    std::set<std::string> locked(lockedBefore.begin(), lockedBefore.end());
    for (const ItemResult& item : run.items)
        if (item.status == ItemStatus::done) locked.insert(item.file.output);
    FoundFiles now = findFilesBelow(folder, desktop);
    leaveOutOwnFiles(now, folder);
    unsearched = now.unsearched;
    std::vector<std::string> plain;
    for (const std::string& file : now.files)
        if (locked.count(file) == 0 && !isLockedFile(file)) plain.push_back(file);
    return plain;
}

// Hides the folder and reads the mark back. A file system that keeps no
// hidden mark cannot hide it: the folder is locked all the same, and the
// run says that it can be seen.
IoError hideLockedFolder(const std::string& folder, FolderRunResult& result) {
    FileSystem& fs = fileSystem();
    uint32_t kept = kAttrHidden;
    if (fs.keptAttributes(folder, kept) == IoError::ok && (kept & kAttrHidden) == 0) {
        FileStatus status;
        fs.status(folder, status);
        const std::string volume = volumeName(folder, status.volume);
        // Named once a run: the file run may have named it already.
        const std::vector<std::string>& named = result.files.cannotHide;
        if (std::find(named.begin(), named.end(), volume) == named.end())
            result.cannotHide = volume;
        return IoError::ok;
    }
    if (IoError e = fs.setAttributes(folder, kAttrHidden); e != IoError::ok) return e;
    uint32_t attributes = kAttrNormal;
    if (IoError e = fs.getAttributes(folder, attributes); e != IoError::ok) return e;
    return (attributes & kAttrHidden) != 0 ? IoError::ok : IoError::unsupported;
}

}  // namespace

FolderRunResult lockFolder(const std::string& folder, const LockFolderOptions& options,
                           Desktop& desktop) {
    FolderRunResult result;
    result.folder = folder;
    if (options.checkEveryRule) {
        result.refusal = checkFolderToLock(folder, options.system);
        result.folder = result.refusal.path;
    } else if (!fitsOnListLine(folder)) {
        result.refusal = {FolderRule::lineBreak, folder, {}};
    } else if (FolderCheck taken = checkLockedName(folder);
               taken.rule == FolderRule::lockedFolderBeside ||
               taken.rule == FolderRule::lockedNameCaseTwin ||
               taken.rule == FolderRule::lockedNameNotAllowed) {
        // A folder locked earlier under the same name: its record is not
        // this folder's, and this one could never get its locked name. A
        // file in the way only keeps this one from being renamed. A name
        // the volume refuses, or one Windows takes for another, would only
        // be met once every file is locked.
        result.refusal = taken;
    }
    if (!result.refusal.passed()) return fail(result, FolderProblem::refused, result.folder);

    const std::string& path = result.folder;
    result.listedBefore = isRecordedFolder(path);
    result.listed = result.listedBefore;
    FoundFiles found = options.found ? *options.found : findFilesBelow(path, desktop);
    leaveOutOwnFiles(found, path);
    result.unsearched = found.unsearched;
    // Its files would be left plain inside a hidden folder: nothing is
    // locked until every folder inside can be searched.
    if (!found.unsearched.empty()) return fail(result, FolderProblem::notSearched, path);
    // Recorded before its first file is locked: whatever happens to the run,
    // the program still knows the folder and can finish or undo it.
    if (!result.listedBefore) {
        if (IoError e = appendFolderRecord(path); e != IoError::ok)
            return fail(result, FolderProblem::notRecorded, applicationFile(kFoldersList), e);
        result.listed = true;
    }
    // The key goes in first: a folder with a sealed file opens elsewhere
    // with the password alone.
    if (options.sealFor) {
        if (IoError e = placeFolderIdentity(path); e != IoError::ok) {
            if (!result.listedBefore && removeAddedFolderRecord(path) == IoError::ok)
                result.listed = false;
            return fail(result, FolderProblem::keyNotPlaced, path, e);
        }
    }

    // A file locked already (by an interrupted run, or by hand) keeps its one layer.
    size_t passedOver = 0;
    std::vector<std::string> lockedBefore;
    {
        const FolderConfinement confined(path);
        passedOver = runOverFound(
            found,
            [&lockedBefore](const std::string& file) {
                if (!isLockedFile(file)) return true;
                lockedBefore.push_back(file);
                return false;
            },
            result,
            [&desktop, &options](const std::vector<std::string>& paths) {
                WriteBatch batch;
                LockOptions lock;
                lock.sealFor = options.sealFor;
                return lockFiles(paths, lock, &batch, desktop);
            });
    }

    const RunReport& files = result.files;
    const size_t notLocked = files.count(ItemStatus::failed) + files.count(ItemStatus::refused);
    if (files.cancelled || notLocked > 0) {
        // Still plain, at least in part: neither hidden nor renamed. A folder
        // with nothing locked inside is not listed either; only the record
        // this run added goes, under the list lock, so that records other
        // runs add meanwhile stay.
        const bool noneLocked = files.count(ItemStatus::done) == 0 && passedOver == 0 &&
                                !result.listedBefore &&
                                removeAddedFolderRecord(path) == IoError::ok;
        if (noneLocked) result.listed = false;
        if (files.cancelled) return fail(result, FolderProblem::cancelled, path);
        return fail(result,
                    noneLocked ? FolderProblem::noFileLocked : FolderProblem::filesNotLocked, path);
    }
    listLockedFiles(lockedBefore);
    // A file gone before its turn needed no lock; one that came meanwhile
    // keeps the folder from being hidden.
    std::vector<UnsearchedFolder> unsearchedNow;
    result.leftPlain = plainFilesBelow(path, files, lockedBefore, unsearchedNow, desktop);
    result.unsearched = unsearchedNow;
    if (!result.leftPlain.empty() || !unsearchedNow.empty())
        return fail(result, FolderProblem::plainFilesLeft, path);
    if (IoError e = hideLockedFolder(path, result); e != IoError::ok)
        return fail(result, FolderProblem::notHidden, path, e);
    FileSystem& fs = fileSystem();
    std::string name = path, parent;
    splitFolderPath(name, parent);
    const std::string locked = parent + lockedFolderName(name);
    if (IoError e = fs.rename(path, locked); e != IoError::ok)
        return fail(result, FolderProblem::notRenamed, locked, e);
    // Linux file managers go by the list; the attribute hides it all the same.
    result.hiddenList = hideInFolderList(locked);
    result.folderDone = true;
    return result;
}

FolderRunResult unlockFolder(const std::string& plainPath, const FolderRunOptions& options,
                             Desktop& desktop) {
    FolderRunResult result;
    result.folder = plainPath;
    std::string name = plainPath, parent;
    splitFolderPath(name, parent);
    const std::string lockedPath = lockedFolderPath(parent, name);

    // The list first: nothing is unlocked for a folder the program does not
    // know, nor while its record cannot be read.
    std::vector<std::string> lines;
    if (IoError e = readFolderLines(lines); e != IoError::ok)
        return fail(result, FolderProblem::listUnreadable, applicationFile(kFoldersList), e);
    if (plainPath.empty() || std::find(lines.begin(), lines.end(), plainPath) == lines.end())
        return fail(result, FolderProblem::notListed, plainPath);
    // The locked folder could not take its name back: its files would be
    // unlocked inside a hidden folder with a name nobody can read.
    const bool lockedStands = isFolder(lockedPath);
    if (lockedStands && exists(plainPath))
        return fail(result, FolderProblem::plainNameTaken, plainPath);
    if (!lockedStands && !isFolder(plainPath))
        return fail(result, FolderProblem::folderMissing, lockedPath);

    // A folder whose locking could not rename it still has its plain name.
    const std::string start = lockedStands ? lockedPath : plainPath;
    FoundFiles found = options.found ? *options.found : findFilesBelow(start, desktop);
    leaveOutOwnFiles(found, start);
    result.unsearched = found.unsearched;
    // A plain file is unlocked already (by an interrupted run, or never locked).
    bool stillLocked = !found.unsearched.empty();
    SealingKeys keys = options.keys ? *options.keys : SealingKeys{};
    {
        const FolderConfinement confined(start);
        std::vector<std::string> toUnlock;
        for (const std::string& file : found.files)
            if (isFileToUnlock(file)) toUnlock.push_back(file);
        const FolderKeys settled = settleFolderKeys(start, toUnlock, keys);
        result.folderKey = settled.copy;
        // A folder none of whose files would open keeps its name, its mark
        // and its record: a wrong password must not leave it half undone.
        if (settled.noneOpens) return fail(result, FolderProblem::noneOpens, start);
        runOverFound(found, isFileToUnlock, result,
                     [&desktop, &keys](const std::vector<std::string>& paths) {
                         WriteBatch batch;
                         UnlockOptions unlock;
                         unlock.keys = &keys;
                         return unlockFiles(paths, unlock, &batch, desktop);
                     });
        for (const std::string& file : found.files)
            stillLocked = stillLocked || (fileExists(file) && isLockedFile(file));
        if (!result.files.cancelled) unlistUnlockedFiles(found);
    }
    // Stopped half-way: it stays where it is, locked name and record, so
    // that it can be chosen again.
    if (result.files.cancelled) return fail(result, FolderProblem::cancelled, start);

    const bool allUnlocked =
        result.files.count(ItemStatus::failed) == 0 && !result.files.endedEarly && !stillLocked;
    // The key's copy goes once nothing inside needs it.
    if (allUnlocked) result.keyLeft = removeFolderIdentity(start);

    FileSystem& fs = fileSystem();
    // Fails when the folder never got its locked name: it stands under its plain name.
    const IoError renamed = fs.rename(lockedPath, plainPath);
    if (isFolder(lockedPath) || !isFolder(plainPath))
        // Without its record it would stay hidden under a name nobody can read.
        return fail(result, FolderProblem::notRestored, plainPath,
                    renamed == IoError::ok ? IoError::other : renamed);
    fs.setAttributes(plainPath, kAttrNormal);
    // Also when it never got its locked name: nothing is listed then.
    result.hiddenList = unhideInFolderList(lockedPath);
    // Files still locked inside (a failure, a further layer, a folder that
    // could not be searched): the record stays, so that the folder can be
    // chosen again to unlock them.
    if (!allUnlocked) return fail(result, FolderProblem::filesNotUnlocked, plainPath);
    // The folder has its name back before its record goes, so a crash in
    // between leaves a record of a plain folder, never a lost one.
    if (IoError e = removeFolderRecord(plainPath); e != IoError::ok)
        return fail(result, FolderProblem::notUnlisted, applicationFile(kFoldersList), e);
    result.folderDone = true;
    return result;
}

IoError listLockedFolders(std::vector<std::string>& folders) {
    folders.clear();
    if (IoError e = ensureFolderList(); e != IoError::ok) return e;
    return readFolderRecords(folders);
}

}  // namespace vellumar
