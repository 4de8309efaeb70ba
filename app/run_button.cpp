#include "app/run_button.h"

#include <string>
#include <vector>

#include "app/file_run_handlers.h"
#include "app/file_run_messages.h"
#include "app/file_search.h"
#include "app/folder_chooser.h"
#include "folders/folder_lists.h"
#include "locking/failure_cause.h"
#include "locking/hidden_names.h"

namespace vellumar {
namespace {

std::string filesDoneText(size_t done, size_t rows, bool locking) {
    return std::to_string(done) + " of " + std::to_string(rows) +
           (rows == 1 ? " file was " : " files were ") + (locking ? "locked." : "unlocked.");
}

std::string notRenamedText(const std::string& folder) {
    return "The folder " + folder +
           " could not be given its locked name.\r\nIts files are locked and it is listed: "
           "Decrypt a Folder restores it.";
}

// At most this many files are named in one message; the rest are counted.
constexpr size_t kPlainFilesNamed = 40;

std::string plainFilesLeftText(const FolderRunResult& result) {
    std::string text = "Not every file in the folder " + result.folder +
                       " is locked after the run, so it was not hidden or renamed:";
    size_t named = 0;
    for (const std::string& file : result.leftPlain)
        if (++named <= kPlainFilesNamed) text += "\r\n" + file + ": it is not locked";
    if (named > kPlainFilesNamed)
        text += "\r\n... and " + std::to_string(named - kPlainFilesNamed) + " other files.";
    for (const UnsearchedFolder& folder : result.unsearched)
        text += "\r\n" + folder.path + ": it could not be searched: " + unsearchedCause(folder.error);
    return text +
           "\r\nIt keeps its plain name and stays listed as being locked: Encrypt a Folder "
           "locks the rest.";
}

std::string notHiddenText(const FolderRunResult& result) {
    return "The folder " + result.folder + " could not be hidden: " +
           hiddenMarkCause(result.error, result.folder) +
           ".\r\nIts files are locked and it stays listed as being locked under its plain name: "
           "Encrypt a Folder tries again, Decrypt a Folder unlocks it.";
}

std::string keyNotPlacedText(const std::string& folder, IoError error) {
    return "The folder " + folder +
           " was not sealed: the copy of the key that lets it open elsewhere could not be "
           "placed in it (" +
           std::string(describe(error)) + ").\r\nNothing was sealed.";
}

std::string notRecordedText(const std::string& folder) {
    return "The folder " + folder +
           " could not be added to the list of encrypted folders.\r\nNothing was changed.";
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

std::string lockCancelledText(const std::string& folder, bool listed) {
    return "Locking the folder " + folder + " was cancelled.\r\n" +
           (listed ? "It keeps its plain name and stays listed as being locked: Encrypt a Folder "
                     "locks the rest."
                   : "It keeps its name and is not listed.");
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

// None of its sealed files would open: the folder was left as it was.
std::string noneOpensText(const FolderRunResult& result) {
    return "The folder " + result.folder +
           " was not unlocked: " + folderKeyCause(result.folderKey) + ".\r\nNothing was changed.";
}

std::string unlockCancelledText(const std::string& folder) {
    return "Unlocking the folder " + folder +
           " was cancelled.\r\nIt keeps its locked name and stays listed: Decrypt a Folder "
           "unlocks the rest.";
}

std::string listUnreadableText(const std::string& folder) {
    return "The list of encrypted folders could not be read.\r\nThe folder " + folder +
           " keeps its locked name.";
}

const std::string kInsideLockedFolderText =
    "This Folder Is Inside Another Locked Folder\rPlease Unlock The Outside Folder First\rAnd "
    "Then Unlock This Folder";

const std::string kAlreadyUnlockedText =
    "This Folder Is Already Unlocked\rPlease Restart The Application\rAnd Get Updated View Of "
    "Folders";

// After a file run that did not get every file there. A lock run with
// failures has said so in its own summary already; every other shortfall
// is counted here, with the files that were gone named.
void showFileRunSummary(const RunOutcome& outcome, bool locking, Desktop& desktop) {
    if (outcome.rows == 0) return;  // "No file is checked" said it
    const size_t done = outcome.done + outcome.repeated;
    if (outcome.cancelled) {
        desktop.message("The run was cancelled.\r\n" + filesDoneText(done, outcome.rows, locking) +
                            " The others are as they were.",
                        Icon::exclamation);
        return;
    }
    if (locking && outcome.failed > 0 && outcome.missingPaths.empty()) return;
    std::string text = filesDoneText(done, outcome.rows, locking);
    for (const std::string& path : outcome.missingPaths)
        text += "\r\n" + path + ": the file is no longer there";
    desktop.message(text, Icon::exclamation);
}

// The folders the run's own search could not enter: they are what the
// window names, not those of the search made when the folder was chosen.
void takeRunSearch(const FolderRunResult& result, WindowModel& model) {
    model.skippedFolders.clear();
    for (const UnsearchedFolder& folder : result.unsearched)
        model.skippedFolders.push_back(skippedFolderOf(folder));
}

void showSkipped(const WindowModel& model, Desktop& desktop) {
    for (const SkippedFolder& skipped : model.skippedFolders)
        desktop.message(skippedText(skipped), Icon::critical);
}

// After every run a new one starts from the choice of operation.
void endRun(WindowModel& model, bool folderRun) {
    model.targetList.clear();
    if (folderRun) {
        model.foundFiles.clear();
        model.skippedFolders.clear();
    }
}

// Ends the run (the choice page in front) however the step returns.
class RunInProgress {
  public:
    explicit RunInProgress(WindowModel& model) : model_(model) {
        model_.cancelRequested = false;  // a request of an earlier run is not this one's
    }
    ~RunInProgress() { model_.wizard.endRun(); }
    RunInProgress(const RunInProgress&) = delete;
    RunInProgress& operator=(const RunInProgress&) = delete;

  private:
    WindowModel& model_;
};

void showLockFolder(const FolderRunResult& result, const WindowModel& model, Desktop& desktop) {
    const std::string& folder = result.folder;
    switch (result.problem) {
        case FolderProblem::none:
            if (!result.cannotHide.empty())
                desktop.message(cannotHideText(result.cannotHide), Icon::information);
            desktop.message(kFolderEncrypted, Icon::information);
            return;
        case FolderProblem::plainFilesLeft:
            desktop.message(plainFilesLeftText(result), Icon::critical);
            return;
        case FolderProblem::notHidden:
            desktop.message(notHiddenText(result), Icon::critical);
            return;
        case FolderProblem::refused:
            desktop.message(folderRefusalText(result.refusal), Icon::critical);
            return;
        case FolderProblem::notSearched:
            // Its files would be left plain inside a hidden folder.
            showSkipped(model, desktop);
            desktop.message(
                result.listedBefore ? notSearchedListedText(folder) : notSearchedText(folder),
                Icon::critical);
            return;
        case FolderProblem::notRecorded:
            desktop.message(notRecordedText(folder), Icon::critical);
            return;
        case FolderProblem::noFileLocked:
            desktop.message(noneLockedText(folder), Icon::critical);
            return;
        case FolderProblem::filesNotLocked:
            desktop.message(notAllLockedText(folder), Icon::critical);
            return;
        case FolderProblem::notRenamed:
            desktop.message(notRenamedText(folder), Icon::critical);
            return;
        case FolderProblem::keyNotPlaced:
            desktop.message(keyNotPlacedText(folder, result.error), Icon::critical);
            return;
        case FolderProblem::cancelled:
            desktop.message(lockCancelledText(folder, result.listed) + "\r\n" +
                                filesDoneText(result.files.count(ItemStatus::done),
                                              result.files.items.size(), true),
                            Icon::critical);
            return;
        default:
            return;
    }
}

void showUnlockFolder(const FolderRunResult& result, const WindowModel& model, Desktop& desktop) {
    const std::string& folder = result.folder;
    switch (result.problem) {
        case FolderProblem::none:
        case FolderProblem::notUnlisted:  // it has its name back and every file
            desktop.message(kFolderDecrypted, Icon::information);
            return;
        case FolderProblem::notListed:
            // Unlocked by another run since the list was read; with no folder
            // in hand there was nothing to do.
            desktop.message(folder.empty() ? kFolderDecrypted : kAlreadyUnlockedText,
                            folder.empty() ? Icon::information : Icon::critical);
            return;
        case FolderProblem::listUnreadable:
            // Nothing to keep and nothing to match: the list stays as it is.
            desktop.message(listUnreadableText(folder), Icon::critical);
            return;
        case FolderProblem::plainNameTaken:
            desktop.message(plainNameTakenText(folder), Icon::critical);
            return;
        case FolderProblem::folderMissing:
            desktop.message(kInsideLockedFolderText, Icon::critical);
            return;
        case FolderProblem::notRestored:
            desktop.message(notRestoredText(folder), Icon::critical);
            return;
        case FolderProblem::filesNotUnlocked:
            showSkipped(model, desktop);
            desktop.message(notAllUnlockedText(folder), Icon::critical);
            return;
        case FolderProblem::noneOpens:
            desktop.message(noneOpensText(result), Icon::critical);
            return;
        case FolderProblem::cancelled:
            desktop.message(unlockCancelledText(folder) + "\r\n" +
                                filesDoneText(result.files.count(ItemStatus::done),
                                              result.files.items.size(), false),
                            Icon::critical);
            return;
        default:
            return;
    }
}

}  // namespace

FolderRunResult lockFolderStep(WindowModel& model, Desktop& desktop) {
    // The record must name the folder that gets the locked name: the one the
    // chooser accepted, as the folder state names it. "encfile" is there for
    // other copies of the program only; the run takes it away.
    const std::string pending = model.ParentPath + model.FolderName;
    deletePendingFolder();

    LockFolderOptions options;
    options.checkEveryRule = false;  // the chooser did
    const bool seal = model.sealChecked && model.sessionKeys.canUnseal();
    const AgeRecipient recipient = seal ? model.sessionKeys.recipient() : AgeRecipient();
    if (seal) options.sealFor = &recipient;
    // The folder is searched as it stands now: a file saved into it since it
    // was chosen is locked with the others.
    // Busy while the files are worked on and their words said; the folder's
    // own word comes after, as at the end of a run of files.
    desktop.setBusy(true);
    const FolderRunResult result = lockFolder(pending, options, desktop);
    takeRunSearch(result, model);
    if (result.filesRun) showLockRun(result.files, desktop);
    desktop.setBusy(false);
    if (result.filesRun) showNoFileChecked(result.files, desktop);
    showListsNotUpdated(listsNotUpdated(result.files, result.hiddenList), desktop);
    showLockFolder(result, model, desktop);
    endRun(model, true);
    return result;
}

FolderRunResult unlockFolderStep(WindowModel& model, Desktop& desktop) {
    FolderRunOptions options;
    options.keys = &model.sessionKeys;
    desktop.setBusy(true);
    const FolderRunResult result = unlockFolder(model.PlainFolderPath, options, desktop);
    takeRunSearch(result, model);
    if (result.filesRun) showUnlockRun(result.files, desktop);
    desktop.setBusy(false);
    if (result.filesRun) showNoFileChecked(result.files, desktop);
    showListsNotUpdated(listsNotUpdated(result.files, result.hiddenList), desktop);
    showUnlockFolder(result, model, desktop);
    endRun(model, true);
    return result;
}

namespace {

FolderRunResult runFiles(WindowModel& model, Desktop& desktop, bool encrypt) {
    const RunOutcome outcome =
        encrypt ? cmdLock_Click(model, desktop) : cmdUnlock_Click(model, desktop);
    // Success is said only when every file got there; otherwise the summary
    // says how far the run came.
    if (outcome.succeeded())
        desktop.message(encrypt ? kFilesEncrypted : kFilesDecrypted, Icon::information);
    else
        showFileRunSummary(outcome, encrypt, desktop);
    endRun(model, false);
    return {};
}

FolderRunResult runOperation(WindowModel& model, Desktop& desktop, Option operation) {
    switch (operation) {
        case Option::OptEncFolder:
            return lockFolderStep(model, desktop);
        case Option::OptDecFolder:
            return unlockFolderStep(model, desktop);
        case Option::OptEncFiles:
        case Option::OptDecFiles:
            return runFiles(model, desktop, operation == Option::OptEncFiles);
        case Option::none:
            break;
    }
    return {};
}

}  // namespace

FolderRunResult cmdEncDec_Click(WindowModel& model, Desktop& desktop) {
    // The operation of the page in front: the page and the run never differ.
    const Option operation = model.operation();
    if (model.wizard.startRun(model.readyToRun()) != Refused::none) return {};
    FolderRunResult result;
    {
        RunInProgress guard(model);
        result = runOperation(model, desktop, operation);
    }
    model.runButtonEnabled = false;
    model.changed();
    return result;
}

}  // namespace vellumar
