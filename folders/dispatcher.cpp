#include "folders/dispatcher.h"

#include <string>
#include <vector>

#include "engine/file_system.h"
#include "engine/folder_confinement.h"
#include "engine/names.h"
#include "engine/text_shift.h"
#include "folders/folder_lists.h"

namespace vellumar {
namespace {

std::string notRenamedText(const std::string& folder) {
    return "The folder " + folder +
           " could not be given its locked name.\r\nIts files are locked and it is listed: "
           "Decrypt a Folder restores it.";
}

std::string notRecordedText(const std::string& folder) {
    return "The folder " + folder +
           " could not be added to the list of encrypted folders.\r\nIts files are locked; "
           "the folder keeps its name.";
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

bool isFolder(const std::string& path) {
    FileStatus status;
    return fileSystem().status(path, status) == IoError::ok && status.kind == EntryKind::folder;
}

// The folder a folder run works in, as the search walked it. Its files are
// reached through it alone, never through a link swapped in below it later.
std::string runFolder(const WindowModel& model, bool locking) {
    if (model.FolderName.empty()) return {};
    const std::string locked = model.ParentPath + EncodeText(model.FolderName);
    return !locking && isFolder(locked) ? locked : model.ParentPath + model.FolderName;
}

// After every run a new one starts from the choice of operation.
void endRun(WindowModel& model, bool folderRun) {
    model.ListFiles.clear();
    if (folderRun) model.lstFoundFiles.clear();
    model.bringToFront(Page::fraSelect);
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
    {
        const FolderConfinement confined(runFolder(model, true));
        outcome.files = cmdLockFolder_Click(model, desktop);
    }

    // The record must name the folder that gets the locked name: the one the
    // chooser accepted, which "encfile" holds and the folder state names.
    const std::string folder = model.ParentPath + model.FolderName;
    std::string pending;
    ReadPendingFolder(pending);
    if (!model.FolderName.empty()) pending = folder;
    const bool recorded = AppendFolderRecord(pending) == IoError::ok;
    if (recorded) fs.setAttributes(pending, kAttrHidden);
    DeletePendingFolder();

    if (!recorded) {
        desktop.message(notRecordedText(pending), Icon::critical);
    } else if (model.FolderName.empty() ||
               fs.rename(folder, model.ParentPath + EncodeText(model.FolderName)) != IoError::ok) {
        desktop.message(notRenamedText(pending), Icon::critical);
    } else {
        outcome.folderDone = true;
        desktop.message(kFolderEncrypted, Icon::information);
    }
    endRun(model, true);
    return outcome;
}

FolderOutcome DecryptFolderStep(WindowModel& model, Desktop& desktop) {
    FileSystem& fs = fileSystem();
    FolderOutcome outcome;
    {
        const FolderConfinement confined(runFolder(model, false));
        outcome.files = cmdUnlockFolder_Click(model, desktop);
    }

    const std::string name = model.FolderName;
    const std::string& plainPath = model.PlainFolderPath;
    std::vector<std::string> lines;
    if (ReadFolderLines(lines) != IoError::ok) {
        // Nothing to keep and nothing to match: the list stays as it is.
        desktop.message(listUnreadableText(plainPath), Icon::critical);
        endRun(model, true);
        return outcome;
    }
    const std::string lockedPath = model.ParentPath + EncodeText(name);
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
        if (outcome.files.failed > 0 || outcome.files.endedEarly) {
            // Files still locked inside: the record stays, so that the
            // folder can be chosen again to unlock them.
            desktop.message(notAllUnlockedText(plainPath), Icon::critical);
            endRun(model, true);
            return outcome;
        }
        // The folder has its name back before its record goes, so a crash
        // in between leaves a record of a plain folder, never a lost one.
        outcome.folderDone = ReplaceFolderLines(kept) == IoError::ok;
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
