#include "folders/dispatcher.h"

#include <string>
#include <vector>

#include "engine/file_system.h"
#include "engine/folder_confinement.h"
#include "engine/locked_folder_name.h"
#include "engine/names.h"
#include "folders/folder_chooser.h"
#include "folders/folder_lists.h"
#include "folders/folder_state.h"

namespace vellumar {
namespace {

std::string notRenamedText(const std::string& folder) {
    return "The folder " + folder +
           " could not be given its locked name.\r\nIts files are locked and it is listed: "
           "Decrypt a Folder restores it.";
}

std::string notRecordedText(const std::string& folder) {
    return "The folder " + folder +
           " could not be added to the list of encrypted folders.\r\nNothing was changed.";
}

std::string lineBreakText(const std::string& folder) {
    return "The folder " + folder +
           " cannot be locked: its path holds a line break, which the list of encrypted "
           "folders cannot keep.";
}

std::string skippedText(const SkippedFolder& skipped) {
    return "The folder " + skipped.path + " could not be searched: " + skipped.cause + ".";
}

std::string notSearchedText(const std::string& folder) {
    return "The folder " + folder +
           " was not locked, as not every folder inside it could be searched.\r\nNothing was "
           "changed.";
}

std::string notSearchedListedText(const std::string& folder) {
    return "Not every folder inside the folder " + folder +
           " could be searched.\r\nIt keeps its plain name and stays listed as being locked: "
           "Encrypt a Folder locks the rest once every folder inside can be searched.";
}

std::string notAllLockedText(const std::string& folder) {
    return "Not every file in the folder " + folder +
           " could be locked.\r\nIt keeps its plain name and stays listed as being locked: "
           "Encrypt a Folder locks the rest, Decrypt a Folder unlocks the files locked so far.";
}

std::string noneLockedText(const std::string& folder) {
    return "No file in the folder " + folder +
           " could be locked.\r\nIt keeps its name and is not listed.";
}

std::string plainNameTakenText(const std::string& folder) {
    return "The folder " + folder +
           " cannot be unlocked: another folder or file has its name already, and its locked "
           "folder cannot take that name back.\r\nRename or move away the one now named " +
           folder + ", then Decrypt a Folder again. Nothing was changed.";
}

std::string notRestoredText(const std::string& folder) {
    return "The folder " + folder +
           " could not be given its name back.\r\nIt keeps its locked name and stays listed: "
           "Decrypt a Folder restores it once nothing else has that name.";
}

std::string notAllUnlockedText(const std::string& folder) {
    return "Not every file in the folder " + folder +
           " could be unlocked.\r\nIt has its name back and stays listed: "
           "Decrypt a Folder unlocks the rest.";
}

std::string listUnreadableText(const std::string& folder) {
    return "The list of encrypted folders could not be read.\r\nThe folder " + folder +
           " keeps its locked name.";
}

bool exists(const std::string& path) {
    FileStatus status;
    return fileSystem().status(path, status) == IoError::ok;
}

bool isFolder(const std::string& path) {
    FileStatus status;
    return fileSystem().status(path, status) == IoError::ok && status.kind == EntryKind::folder;
}

// The folder a folder run works in, as the search walked it. Its files are
// reached through it alone, never through a link swapped in below it later.
std::string runFolder(const WindowModel& model, bool locking) {
    if (model.FolderName.empty()) return {};
    const std::string locked = lockedFolderPath(model.ParentPath, model.FolderName);
    return !locking && isFolder(locked) ? locked : model.ParentPath + model.FolderName;
}

// After every run a new one starts from the choice of operation.
void endRun(WindowModel& model, bool folderRun) {
    model.ListFiles.clear();
    if (folderRun) {
        model.lstFoundFiles.clear();
        model.skippedFolders.clear();
    }
    model.bringToFront(Page::fraSelect);
}

bool hasLockedExtension(const std::string& path) {
    const std::string extension = ToUpper(GetExtension(path));
    return extension == "VKL" || extension == "VKW";
}

// Runs over the found files that `wanted` keeps; the others are passed over
// without a word. Returns how many were passed over.
template <typename Wanted>
size_t runOverFound(WindowModel& model, Wanted wanted, RunOutcome& outcome,
                    RunOutcome (*run)(WindowModel&, Desktop&), Desktop& desktop) {
    std::vector<ListRow>& found = model.lstFoundFiles;
    const size_t before = found.size();
    std::erase_if(found, [&](const ListRow& row) { return !wanted(row.path); });
    const size_t passedOver = before - found.size();
    // A folder whose files are all in their new state already needs no run
    // (and no word about an empty list).
    if (before == 0 || !found.empty()) outcome = run(model, desktop);
    return passedOver;
}

class RunInProgress {
  public:
    explicit RunInProgress(WindowModel& model) : model_(model) { model_.runInProgress = true; }
    ~RunInProgress() { model_.runInProgress = false; }
    RunInProgress(const RunInProgress&) = delete;
    RunInProgress& operator=(const RunInProgress&) = delete;

  private:
    WindowModel& model_;
};

}  // namespace

FolderOutcome EncryptFolderStep(WindowModel& model, Desktop& desktop) {
    FileSystem& fs = fileSystem();
    FolderOutcome outcome;
    // The record must name the folder that gets the locked name: the one the
    // chooser accepted, which "encfile" holds and the folder state names.
    const std::string folder = model.ParentPath + model.FolderName;
    std::string pending;
    ReadPendingFolder(pending);
    if (!model.FolderName.empty()) pending = folder;
    DeletePendingFolder();

    if (!FitsOnListLine(pending)) {
        desktop.message(lineBreakText(pending), Icon::critical);
        endRun(model, true);
        return outcome;
    }
    // A folder locked earlier under the same name: its record is not this
    // folder's, and this one could never get its locked name.
    std::string pendingName = pending, pendingParent;
    SplitFolderPath(pendingName, pendingParent);
    if (!pending.empty() && isFolder(lockedFolderPath(pendingParent, pendingName))) {
        desktop.message(LockedNameTakenText(pendingParent, pendingName), Icon::critical);
        endRun(model, true);
        return outcome;
    }
    const bool recorded = IsRecordedFolder(pending);
    if (!model.skippedFolders.empty()) {
        // Its files would be left plain inside a hidden folder: nothing is
        // locked until every folder inside can be searched.
        for (const SkippedFolder& skipped : model.skippedFolders)
            desktop.message(skippedText(skipped), Icon::critical);
        desktop.message(recorded ? notSearchedListedText(pending) : notSearchedText(pending),
                        Icon::critical);
        endRun(model, true);
        return outcome;
    }
    // Recorded before its first file is locked: whatever happens to the run,
    // the program still knows the folder and can finish or undo it.
    if (!recorded && AppendFolderRecord(pending) != IoError::ok) {
        desktop.message(notRecordedText(pending), Icon::critical);
        endRun(model, true);
        return outcome;
    }

    // A file locked already (by an interrupted run, or by hand) keeps its one layer.
    size_t passedOver = 0;
    {
        const FolderConfinement confined(runFolder(model, true));
        passedOver = runOverFound(
            model, [](const std::string& path) { return !IsLockedFile(path); }, outcome.files,
            cmdLockFolder_Click, desktop);
    }

    // A file gone before its turn needs no lock; one that failed or was
    // refused would stay plain inside a hidden folder.
    if (outcome.files.failed > 0 || outcome.files.refused > 0) {
        // Still plain, at least in part: neither hidden nor renamed. A folder
        // with nothing locked inside is not listed either; only the record
        // this run added goes, under the list lock, so that records other
        // runs add meanwhile stay.
        if (outcome.files.done == 0 && passedOver == 0 && !recorded &&
            RemoveAddedFolderRecord(pending) == IoError::ok) {
            desktop.message(noneLockedText(pending), Icon::critical);
        } else {
            desktop.message(notAllLockedText(pending), Icon::critical);
        }
    } else {
        fs.setAttributes(pending, kAttrHidden);
        if (model.FolderName.empty() ||
            fs.rename(folder, model.ParentPath + lockedFolderName(model.FolderName)) !=
                IoError::ok) {
            desktop.message(notRenamedText(pending), Icon::critical);
        } else {
            outcome.folderDone = true;
            desktop.message(kFolderEncrypted, Icon::information);
        }
    }
    endRun(model, true);
    return outcome;
}

FolderOutcome DecryptFolderStep(WindowModel& model, Desktop& desktop) {
    FileSystem& fs = fileSystem();
    FolderOutcome outcome;
    const std::string name = model.FolderName;
    const std::string& plainPath = model.PlainFolderPath;
    const std::string lockedPath = lockedFolderPath(model.ParentPath, name);
    // The locked folder could not take its name back: its files would be
    // unlocked inside a hidden folder with a name nobody can read.
    if (!name.empty() && !plainPath.empty() && isFolder(lockedPath) && exists(plainPath)) {
        desktop.message(plainNameTakenText(plainPath), Icon::critical);
        endRun(model, true);
        return outcome;
    }
    // A plain file is unlocked already (by an interrupted run, or never locked).
    bool stillLocked = !model.skippedFolders.empty();
    {
        const FolderConfinement confined(runFolder(model, false));
        runOverFound(model, hasLockedExtension, outcome.files, cmdUnlockFolder_Click, desktop);
        for (const ListRow& row : model.lstFoundFiles)
            stillLocked = stillLocked || (FileExists(row.path) && IsLockedFile(row.path));
    }

    std::vector<std::string> lines;
    if (ReadFolderLines(lines) != IoError::ok) {
        // Nothing to keep and nothing to match: the list stays as it is.
        desktop.message(listUnreadableText(plainPath), Icon::critical);
        endRun(model, true);
        return outcome;
    }
    std::vector<std::string> kept;
    bool found = false;
    for (const std::string& line : lines) {
        if (plainPath.empty() || line != plainPath) {
            kept.push_back(line);
            continue;
        }
        found = true;
        // Fails when the folder never got its locked name (or got its plain
        // name back at an earlier record): it stands under its plain name.
        fs.rename(lockedPath, model.ParentPath + name);
    }
    if (found && (isFolder(lockedPath) || !isFolder(plainPath))) {
        // Not back under its plain name (the name is taken, or the rename
        // was refused): without its record it would stay hidden under a
        // name nobody can read.
        desktop.message(notRestoredText(plainPath), Icon::critical);
        endRun(model, true);
        return outcome;
    }
    if (found) {
        fs.setAttributes(plainPath, kAttrNormal);
        if (outcome.files.failed > 0 || outcome.files.endedEarly || stillLocked) {
            // Files still locked inside (a failure, a further layer, a folder
            // that could not be searched): the record stays, so that the
            // folder can be chosen again to unlock them.
            for (const SkippedFolder& skipped : model.skippedFolders)
                desktop.message(skippedText(skipped), Icon::critical);
            desktop.message(notAllUnlockedText(plainPath), Icon::critical);
            endRun(model, true);
            return outcome;
        }
        // The folder has its name back before its record goes, so a crash
        // in between leaves a record of a plain folder, never a lost one.
        outcome.folderDone = RemoveFolderRecord(plainPath) == IoError::ok;
    }
    desktop.message(kFolderDecrypted, Icon::information);
    endRun(model, true);
    return outcome;
}

FolderOutcome cmdEncDec_Click(WindowModel& model, Desktop& desktop) {
    if (model.runInProgress) return {};
    RunInProgress guard(model);
    // (The hidden file box keeps no list of its own, so there is nothing to refresh.)
    FolderOutcome outcome;
    const bool encrypt = model.cmdEncDecCaption == "Encrypt";
    if (model.EncFolder || model.DecFolder) {
        outcome = encrypt ? EncryptFolderStep(model, desktop) : DecryptFolderStep(model, desktop);
    } else if (model.EncFiles || model.DecFiles) {
        if (encrypt) {
            outcome.files = cmdLock_Click(model, desktop);
            desktop.message(kFilesEncrypted, Icon::information);
        } else {
            outcome.files = cmdUnlock_Click(model, desktop);
            desktop.message(kFilesDecrypted, Icon::information);
        }
        endRun(model, false);
    }
    model.cmdEncDecEnabled = false;
    model.changed();
    return outcome;
}

}  // namespace vellumar
