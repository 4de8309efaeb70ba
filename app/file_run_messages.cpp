#include "app/file_run_messages.h"

#include <algorithm>
#include <set>
#include <vector>

#include "app/file_messages.h"
#include "engine/sealing/age_format.h"
#include "engine/platform/platform.h"

namespace vellumar {
namespace {

const std::string kNoFileChecked = "No file is checked";
const std::string kSystemFileText =
    "Sorry you cannot lock a system file as this may crash your system";
const std::string kNotAllLockedText =
    "All files have not been locked.\r\nAn error occured while doing so.\r\n"
    "Make sure that the file is not in use.";
const std::string kUnlockErrorText = "An Error occured during unlock process";
const std::string kUnlockErrorTitle = "Error";

// At most this many files are named in the message that lists failures (a
// window's message box must fit on the screen); the rest are counted.
constexpr size_t kFailuresNamed = 40;

// Every file that failed, with its cause, one "PATH: cause" line each.
class FailureList {
  public:
    void add(const ItemResult& item) {
        const std::string cause = failureCause(item);
        if (!cause.empty() && ++count_ <= kFailuresNamed)
            text_ += item.path + ": " + cause + "\r\n";
    }
    void show(Desktop& desktop) const {
        if (count_ == 0) return;
        std::string text = text_;
        if (count_ > kFailuresNamed)
            text += "... and " + std::to_string(count_ - kFailuresNamed) + " other files.\r\n";
        text.resize(text.size() - 2);
        desktop.message(text, Icon::critical);
    }

  private:
    std::string text_;
    size_t count_ = 0;
};

// The results in the order they became known; paths not tried have none.
std::vector<const ItemResult*> inOrderKnown(const RunReport& report) {
    std::vector<const ItemResult*> known;
    for (const ItemResult& item : report.items) {
        if (item.status != ItemStatus::notTried) known.push_back(&item);
    }
    std::stable_sort(known.begin(), known.end(), [](const ItemResult* a, const ItemResult* b) {
        return a->decidedAfter != b->decidedAfter ? a->decidedAfter < b->decidedAfter
                                                  : a->decidedRank < b->decidedRank;
    });
    return known;
}

std::string ownFileRefusal(const std::string& name) {
    return "An error occured during locking process \r\n " + name + " can not be locked.";
}

std::string refusalText(const ItemResult& item, bool locking) {
    const std::string& path = item.path;
    switch (item.refusal) {
        case Refusal::ownFile:
            return ownFileRefusal(item.ownName);
        case Refusal::systemFile:
            return kSystemFileText;
        case Refusal::link:
            return path + (locking ? " is a link and can not be locked."
                                   : " is a link and is passed over.");
        case Refusal::hardLink:
            return path + " has more than one name (a hard link) and can not be locked.";
        case Refusal::temporary:
            return path + " is a temporary file of this program and can not be locked.";
        case Refusal::lineBreak:
            return path +
                   " has a line break in its name, which the list of locked files can not "
                   "hold: it can not be locked.";
        case Refusal::notRegular:
            return path + " is not a regular file and can not be unlocked.";
        case Refusal::notLocked:
            return path + " is already unlocked.";
        case Refusal::notSealed:
            return path + " is not sealed: only the application password unlocks it.";
        case Refusal::caseTwin:
            return path + " can not be locked: " + caseTwinText(item.caseTwin) + ".";
        case Refusal::none:
            break;
    }
    return {};
}

std::string repeatedRowText(const std::string& path, bool locked) {
    return path + (locked
                       ? " is the same file as an earlier row: it was locked already in this run."
                       : " is the same file as an earlier row: it was tried once in this run.");
}

// What the window said about one item at the moment its result was known.
// The messages of new files a commit could not write are said once for each
// kind of error of that commit (a folder that takes no new file is one
// problem, not one message per file).
class ItemWords {
  public:
    explicit ItemWords(bool locking) : locking_(locking) {}

    void show(const ItemResult& item, Desktop& desktop) {
        if (item.status == ItemStatus::repeated) {
            desktop.message(repeatedRowText(item.path, item.earlierDone), Icon::information);
        } else if (item.status == ItemStatus::refused) {
            // The window refused plain files with information, locked ones without an icon.
            const bool quiet = item.refusal == Refusal::systemFile || !locking_;
            desktop.message(refusalText(item, locking_), quiet ? Icon::none : Icon::information);
        } else if (item.status == ItemStatus::failed) {
            showFailure(item, desktop);
        }
    }

  private:
    void showFailure(const ItemResult& item, Desktop& desktop) {
        const FileResult& file = item.file;
        if (!item.atCommit) {
            showFileMessage(file, locking_, item.large, desktop);
        } else if (file.problem == FileProblem::nameTaken || file.problem == FileProblem::changed) {
            showFileMessage(file, locking_, false, desktop);
        } else if (item.unwritten) {
            if (commit_ != item.decidedAfter) shown_.clear();
            commit_ = item.decidedAfter;
            // Handed over whole, it was a small file's content.
            if (shown_.insert(file.error).second) showFileMessage(file, locking_, false, desktop);
        }
    }

    bool locking_;
    size_t commit_ = 0;
    std::set<IoError> shown_;
};

}  // namespace

void showFileMessage(const FileResult& result, bool locking, bool large, Desktop& desktop) {
    switch (result.problem) {
        case FileProblem::ioError:
            // The large format's failures are named in the run's list only.
            if (large) break;
            // The file is named under the window's words, which name none.
            if (result.error == IoError::alreadyOpen) {
                desktop.message((locking ? kLockAlreadyOpenText : kUnlockAlreadyOpenText) + "\r\n" +
                                    result.path,
                                Icon::critical, kAlreadyOpenTitle);
            } else if (result.error == IoError::accessDenied) {
                desktop.message((locking ? kLockAccessErrorText : kUnlockAccessErrorText) + "\r\n" +
                                    result.path,
                                Icon::critical, kAccessErrorTitle);
            }
            break;
        case FileProblem::nameTaken:
            desktop.message(fileExistsText(result.path), Icon::critical, kFileExistsTitle);
            break;
        case FileProblem::changed:
            desktop.message(changedDuringRunText(result.path, locking), Icon::exclamation,
                            kChangedDuringRunTitle);
            break;
        case FileProblem::wrongHeader:
            desktop.message(kWrongPasswordText, Icon::exclamation, kWrongPasswordTitle);
            break;
        case FileProblem::damaged:
            desktop.message(damagedFileText(result.path, result.detail), Icon::critical,
                            kDamagedFileTitle);
            break;
        case FileProblem::alreadyLarge:
            desktop.message(kAlreadyLockedText, Icon::none);
            break;
        case FileProblem::lockedContent:
            desktop.message(lockedContentText(result.path), Icon::critical);
            break;
        case FileProblem::outOfMemory:
            desktop.message(outOfMemoryText(result.path), Icon::critical, kOutOfMemoryTitle);
            break;
        case FileProblem::outOfReach:
            desktop.message(result.path + ": " + describe(IoError::outsideFolder), Icon::critical);
            break;
        case FileProblem::otherIdentity:
            desktop.message(result.detail.empty() ? otherIdentityText(result.path)
                                                  : otherIdentityText(result.path, result.detail),
                            Icon::critical, kSealedFileTitle);
            break;
        case FileProblem::noIdentity:
            desktop.message(noIdentityText(result.path), Icon::critical, kSealedFileTitle);
            break;
        case FileProblem::libraryFailed:
            desktop.message(result.path + ": " + libraryFailedText(result.detail), Icon::critical,
                            kSealedFileTitle);
            break;
        case FileProblem::none:
        case FileProblem::missing:
        case FileProblem::notAFile:
        case FileProblem::empty:
        case FileProblem::attributesUnreadable:
        case FileProblem::lockedFileGone:
        case FileProblem::notKeptHidden:
        case FileProblem::cancelled:  // the run's summary says it
            break;
    }
}

void showLockRun(const RunReport& report, Desktop& desktop) {
    ItemWords words(true);
    FailureList failures;
    for (const ItemResult* item : inOrderKnown(report)) {
        words.show(*item, desktop);
        if (item->status == ItemStatus::failed) failures.add(*item);
    }
    failures.show(desktop);
    if (report.count(ItemStatus::failed) > 0) desktop.message(kNotAllLockedText, Icon::none);
    showCannotHide(report, desktop);
}

void showCannotHide(const RunReport& report, Desktop& desktop) {
    for (const std::string& volume : report.cannotHide)
        desktop.message(cannotHideText(volume), Icon::information);
}

void showUnlockRun(const RunReport& report, Desktop& desktop) {
    ItemWords words(false);
    FailureList failures;
    const std::vector<const ItemResult*> known = inOrderKnown(report);
    const size_t paths = report.items.size();
    auto next = known.begin();
    // Once a large locked file failed, the window said so after every path.
    bool largeFailed = false;
    for (size_t after = 0; after <= paths; ++after) {
        bool largeFailedNow = false;
        for (; next != known.end() && (*next)->decidedAfter == after; ++next) {
            const ItemResult& item = **next;
            words.show(item, desktop);
            if (item.status != ItemStatus::failed) continue;
            failures.add(item);
            if (item.large) largeFailedNow = true;
        }
        if (report.endedEarly && report.endedAfter == after) break;
        if (after == paths) {
            failures.show(desktop);
            // Said once here for a large file that failed only now, at the commit.
            if (largeFailedNow)
                desktop.message(kUnlockErrorText, Icon::critical, kUnlockErrorTitle);
            return;
        }
        largeFailed = largeFailed || largeFailedNow;
        if (largeFailed && report.items[after].status != ItemStatus::notTried)
            desktop.message(kUnlockErrorText, Icon::critical, kUnlockErrorTitle);
    }
    failures.show(desktop);
}

void showLeftVisible(const std::vector<FileResult>& files, Desktop& desktop) {
    if (files.empty()) return;
    std::string text = kLeftVisibleText;
    for (size_t i = 0; i < files.size() && i < kFailuresNamed; ++i)
        text += "\r\n" + files[i].path + ": " + describe(files[i].error);
    if (files.size() > kFailuresNamed)
        text += "\r\n... and " + std::to_string(files.size() - kFailuresNamed) + " other files.";
    desktop.message(text, Icon::exclamation);
}

void showListsNotUpdated(const std::vector<HiddenListResult>& lists, Desktop& desktop) {
    if (lists.empty()) return;
    std::string text = kListsNotUpdatedText;
    for (size_t i = 0; i < lists.size() && i < kFailuresNamed; ++i)
        text += "\r\n" + lists[i].path + ": " + hiddenListCause(lists[i]);
    if (lists.size() > kFailuresNamed)
        text += "\r\n... and " + std::to_string(lists.size() - kFailuresNamed) + " other folders.";
    desktop.message(text, Icon::exclamation);
}

void showNoFileChecked(const RunReport& report, Desktop& desktop) {
    if (report.items.empty()) desktop.message(kNoFileChecked, Icon::exclamation);
}

}  // namespace vellumar
