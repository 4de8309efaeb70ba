#include "cli/folder_commands.h"

#include <ostream>

#include "cli/absolute_path.h"
#include "cli/cli.h"
#include "cli/item_lines.h"
#include "cli/seal_commands.h"
#include "engine/lists/list_names.h"
#include "engine/platform/paths.h"
#include "engine/platform/platform.h"
#include "folders/folder_operations.h"
#include "folders/folder_paths.h"
#include "folders/locked_item_rescue.h"
#include "locking/failure_cause.h"
#include "locking/hidden_names.h"

namespace vellumar {
namespace {

const std::string kFolderLocked = "Encryption Completed Successfully";
// The window's words without its advice to restart it: the command line
// reads the list afresh every time.
const std::string kFolderUnlocked = "Decryption Completed Successfully";
const std::string kNothingChanged = "Nothing was changed.";

std::string ruleCause(const FolderCheck& check) {
    switch (check.rule) {
        case FolderRule::none:
            break;
        case FolderRule::notAFolder:
            return "there is no folder there";
        case FolderRule::applicationFolder:
            return "it holds the program or its list files, which cannot be locked";
        case FolderRule::driveRoot:
            return "a drive's root cannot be locked";
        case FolderRule::systemFolder:
            return "the system folder cannot be locked";
        case FolderRule::windowsFolder:
            return "the Windows folder cannot be locked";
        case FolderRule::nameNotEncodable:
            return "its name cannot be given a locked name it could be read back from";
        case FolderRule::lineBreak:
            return "its path holds a line break, which the list of encrypted folders cannot keep";
        case FolderRule::lockedFolderBeside:
            return "a locked folder of the same name stands beside it (" + check.other + ")";
        case FolderRule::lockedNameTaken:
            return "its locked name is taken by " + check.other;
        case FolderRule::lockedNameCaseTwin:
            return "its locked name would differ only in case from " + check.other +
                   ", which Windows cannot tell apart";
        case FolderRule::lockedNameNotAllowed:
            return describe(IoError::nameNotAllowed) + std::string(" (") + check.other +
                   ", its locked name)";
        case FolderRule::insideLockedFolder:
            return "it lies inside the locked folder " + check.other;
        case FolderRule::attributes:
            return "passed over, as a folder that is read-only, hidden, system or archive is not "
                   "locked";
    }
    return "it may be locked";
}

class Report {
  public:
    explicit Report(Desktop& desktop) : desktop_(desktop) {}
    void line(const std::string& path, const std::string& cause) {
        desktop_.message(path + ": " + cause, Icon::critical);
    }
    void summary(const std::string& text) { desktop_.message(text, Icon::critical); }
    // The files that failed or were refused, with their causes.
    void files(const RunReport& files, bool lock) {
        for (const ItemResult& item : files.items) {
            if (item.status != ItemStatus::failed && item.status != ItemStatus::refused) continue;
            if (std::string text = itemLine(item, lock); !text.empty())
                desktop_.message(text, Icon::critical);
        }
    }
    // The lists of hidden names the run left as they were; true when any.
    bool listsNotUpdated(const FolderRunResult& result) {
        const std::vector<std::string> lines =
            listLines(vellumar::listsNotUpdated(result.files, result.hiddenList));
        for (const std::string& text : lines) desktop_.message(text, Icon::exclamation);
        return !lines.empty();
    }
    void unsearched(const std::vector<UnsearchedFolder>& folders) {
        for (const UnsearchedFolder& folder : folders)
            line(folder.path, "could not be searched: " + unsearchedCause(folder.error));
    }
    void count(const FolderRunResult& result, const char* verb) {
        if (!result.filesRun || result.files.complete()) return;
        const size_t total = result.files.items.size();
        summary(std::to_string(result.files.count(ItemStatus::done)) + " of " +
                countText(total, "file") + (total == 1 ? " was " : " were ") + verb + ".");
    }

  private:
    Desktop& desktop_;
};

int reportLock(const FolderRunResult& result, Desktop& desktop) {
    Report report(desktop);
    if (result.filesRun)
        for (const std::string& line : cannotHideLines(result.files))
            desktop.message(line, Icon::information);
    const std::string& folder = result.folder;
    switch (result.problem) {
        case FolderProblem::none: {
            if (!result.cannotHide.empty())
                desktop.message(cannotHideText(result.cannotHide), Icon::information);
            // Locked all the same: its attribute hides it.
            const bool listsLeft = report.listsNotUpdated(result);
            desktop.message(kFolderLocked, Icon::information);
            return listsLeft ? kExitFailed : kExitDone;
        }
        case FolderProblem::plainFilesLeft:
            for (const std::string& file : result.leftPlain) report.line(file, "it is not locked");
            report.unsearched(result.unsearched);
            report.line(folder, "not every file in it is locked after the run, so it was not "
                                "hidden or renamed; it keeps its plain name and stays listed as "
                                "being locked: lock-folder locks the rest");
            break;
        case FolderProblem::notHidden:
            report.line(folder, "it could not be hidden: " +
                                    hiddenMarkCause(result.error, folder) +
                                    "; its files are locked and it stays listed as being locked "
                                    "under its plain name: lock-folder tries again, "
                                    "unlock-folder unlocks it");
            break;
        case FolderProblem::refused:
            report.line(folder, ruleCause(result.refusal));
            report.summary(kNothingChanged);
            break;
        case FolderProblem::notSearched:
            report.unsearched(result.unsearched);
            report.line(folder, "not every folder inside it could be searched");
            report.summary(result.listedBefore
                               ? "Nothing was locked; the folder stays listed as being locked."
                               : kNothingChanged);
            break;
        case FolderProblem::notRecorded:
            report.line(folder, "it could not be added to the list of encrypted folders (" +
                                    result.problemPath + ": " + describe(result.error) + ")");
            report.summary(kNothingChanged);
            break;
        case FolderProblem::filesNotLocked:
        case FolderProblem::noFileLocked:
        case FolderProblem::cancelled: {
            report.files(result.files, true);
            const bool listed = result.listed;
            const std::string what = result.problem == FolderProblem::cancelled ? "cancelled"
                                     : result.problem == FolderProblem::noFileLocked
                                         ? "no file in it could be locked"
                                         : "not every file in it could be locked";
            report.line(folder, what + (listed ? "; it keeps its plain name and stays listed as "
                                                 "being locked: lock-folder locks the rest"
                                               : "; it keeps its name and is not listed"));
            report.count(result, "locked");
            break;
        }
        case FolderProblem::keyNotPlaced:
            report.line(folder, "the copy of the key that lets it open elsewhere could not be "
                                "placed in it: " +
                                    std::string(describe(result.error)));
            report.summary(result.listed ? "Nothing was sealed; the folder stays listed."
                                         : kNothingChanged);
            break;
        case FolderProblem::notRenamed:
            report.line(folder, "it could not be given its locked name (" + result.problemPath +
                                    ": " + describe(result.error) +
                                    "); its files are locked and it is listed: unlock-folder "
                                    "restores it");
            break;
        default:
            report.line(folder, "not locked");
            break;
    }
    report.listsNotUpdated(result);
    return kExitFailed;
}

std::string notListedCause() {
    return "not one of the encrypted folders (" + kProgram + " folders lists them)";
}

int reportUnlock(const FolderRunResult& result, Desktop& desktop) {
    Report report(desktop);
    const std::string& folder = result.folder;
    switch (result.problem) {
        case FolderProblem::none: {
            const bool listsLeft = report.listsNotUpdated(result);
            desktop.message(kFolderUnlocked, Icon::information);
            return listsLeft ? kExitFailed : kExitDone;
        }
        case FolderProblem::listUnreadable:
            // No list at all: no folder is listed.
            if (result.error == IoError::notFound) {
                report.line(folder, notListedCause());
                report.summary(kNothingChanged);
                break;
            }
            report.line(result.problemPath, "the list of encrypted folders could not be read: " +
                                                std::string(describe(result.error)));
            report.summary(kNothingChanged);
            break;
        case FolderProblem::notListed:
            report.line(folder, notListedCause());
            report.summary(kNothingChanged);
            break;
        case FolderProblem::plainNameTaken:
            report.line(folder,
                        "something else has its name, and its locked folder cannot take "
                        "it back: rename or move that away first");
            report.summary(kNothingChanged);
            break;
        case FolderProblem::folderMissing:
            report.line(folder,
                        "it is not there under its locked name nor its own (it may lie "
                        "inside another locked folder: unlock that one first)");
            report.summary(kNothingChanged);
            break;
        case FolderProblem::notRestored:
            report.files(result.files, false);
            report.line(folder, "it could not be given its name back (" +
                                    std::string(describe(result.error)) +
                                    "); it keeps its locked name and stays listed");
            report.count(result, "unlocked");
            break;
        case FolderProblem::filesNotUnlocked:
            report.unsearched(result.unsearched);
            if (!result.folderKey.ok())
                report.line(
                    addBackslash(folder) + kFolderIdentityName,
                    folderKeyCause(result.folderKey) + ": files sealed elsewhere stay sealed");
            report.files(result.files, false);
            report.line(folder,
                        "not every file in it could be unlocked; it has its name back "
                        "and stays listed: unlock-folder unlocks the rest");
            report.count(result, "unlocked");
            break;
        case FolderProblem::noneOpens:
            report.unsearched(result.unsearched);
            report.line(result.folderKey.ok()
                            ? folder
                            : addBackslash(result.problemPath) + kFolderIdentityName,
                        folderKeyCause(result.folderKey));
            report.line(folder, "none of its sealed files opens, so it was left as it was");
            report.summary(kNothingChanged);
            break;
        case FolderProblem::cancelled:
            report.files(result.files, false);
            report.line(folder,
                        "cancelled; it keeps its locked name and stays listed: "
                        "unlock-folder unlocks the rest");
            report.count(result, "unlocked");
            break;
        case FolderProblem::notUnlisted:
            report.line(result.problemPath, "the folder's record could not be dropped: " +
                                                std::string(describe(result.error)));
            report.summary("Every file is unlocked and the folder " + folder +
                           " has its name back.");
            break;
        default:
            report.line(folder, "not unlocked");
            break;
    }
    report.listsNotUpdated(result);
    return kExitFailed;
}

}  // namespace

int lockFolderCommand(CliSession& cli, const std::vector<std::string>& arguments) {
    if (!cli.passGate()) return kExitFailed;
    // An interrupt (Ctrl+C) is a cancel request: the run stops between two
    // files and leaves the folder in a state the next run finishes from.
    Desktop& desktop = cli.desktop;
    if (cli.seal && !readyToSeal(cli)) return kExitFailed;
    LockFolderOptions options;
    options.system = platformSystemFolders();
    const AgeRecipient recipient = cli.seal ? cli.keys.recipient() : AgeRecipient();
    if (cli.seal) options.sealFor = &recipient;
    const std::string given = absolutePath(arguments.at(0));
    const std::string folder = normalPath(given);
    return reportLock(lockFolder(folder.empty() ? given : folder, options, desktop), desktop);
}

int unlockFolderCommand(CliSession& cli, const std::vector<std::string>& arguments) {
    if (!cli.passGate()) return kExitFailed;
    // An interrupt (Ctrl+C) is a cancel request: the run stops between two
    // files and leaves the folder in a state the next run finishes from.
    Desktop& desktop = cli.desktop;
    const std::string given = normalPath(absolutePath(arguments.at(0)));
    // A locked folder may be named as it stands on disk, listed or not.
    std::string folder;
    if (IoError e = adoptLockedFolder(given, folder); e != IoError::ok) {
        Report report(desktop);
        report.line(applicationFile(kFoldersList),
                    "the folder could not be added to the list of encrypted folders: " +
                        std::string(describe(e)));
        report.summary(kNothingChanged);
        return kExitFailed;
    }
    FolderRunOptions options;
    options.keys = &cli.keys;
    return reportUnlock(unlockFolder(folder, options, desktop), desktop);
}

int reportFolderUnlock(const FolderRunResult& result, Desktop& desktop) {
    return reportUnlock(result, desktop);
}

int foldersCommand(CliSession& cli, const std::vector<std::string>&) {
    if (!cli.passGate()) return kExitFailed;
    std::vector<std::string> folders;
    if (IoError e = listLockedFolders(folders); e != IoError::ok) {
        Report(cli.desktop)
            .line(applicationFile(kFoldersList),
                  "the list of encrypted folders could not be read: " + std::string(describe(e)));
        return kExitFailed;
    }
    // Said on standard error, so that standard output stays one folder a line.
    if (folders.empty()) cli.desktop.message("No folder is locked.", Icon::none);
    for (const std::string& folder : folders) cli.console.out << folder << '\n';
    return kExitDone;
}

}  // namespace vellumar
