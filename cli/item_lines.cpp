#include "cli/item_lines.h"

#include <cstdint>
#include <utility>

#include "cli/cli_session.h"
#include "engine/sealing/age_format.h"
#include "engine/platform/file_system.h"
#include "engine/platform/paths.h"
#include "engine/platform/platform.h"
#include "engine/sealing/sealed_lock.h"
#include "folders/folder_paths.h"
#include "folders/folder_state.h"
#include "folders/locked_item_scan.h"
#include "locking/failure_cause.h"
#include "locking/hidden_names.h"

namespace vellumar {
namespace {

// The summary of a run that got every file there: the window's words.
const std::string kFilesEncrypted = "File(s) Encrypted Successfully";
const std::string kFilesDecrypted = "File(s) Decrypted Successfully";

// A sealed file that does not verify says so in plain words; the cause the
// age reader gives ("it does not verify: ...") only repeats "damaged".
std::string damagedText(const std::string& path, const std::string& detail) {
    if (!hasSealedExtension(path)) return "the locked file is damaged: " + detail;
    const std::string verifies = "it does not verify: ";
    const bool repeats = detail.compare(0, verifies.size(), verifies) == 0;
    return "the sealed file is damaged: " + (repeats ? detail.substr(verifies.size()) : detail);
}

// Why a file was not locked or unlocked, as the line that names it says.
std::string failureText(const ItemResult& item, bool lock) {
    // A folder that takes no new file is the usual cause of a refusal here.
    uint32_t folder = 0;
    if (item.file.problem == FileProblem::ioError && item.file.error == IoError::accessDenied &&
        !onReadOnlyVolume(item.path) &&
        fileSystem().getAttributes(getFolderPart(item.path), folder) == IoError::ok &&
        (folder & kAttrReadOnly) != 0)
        return "permission denied (its folder is read-only)";
    if (std::string cause = failureCause(item); !cause.empty()) return cause;
    const FileResult& file = item.file;
    switch (file.problem) {
        case FileProblem::missing:
            return "the file or its folder is no longer there";
        case FileProblem::nameTaken:
            return "the name it must take is taken: " + file.path;
        case FileProblem::changed:
            return std::string("it changed while it was being ") + (lock ? "locked" : "unlocked") +
                   ", and was kept as it is";
        case FileProblem::wrongHeader:
            return "it was locked under another password, or is damaged";
        case FileProblem::damaged:
            return damagedText(item.path, file.detail);
        case FileProblem::alreadyLarge:
            return "it is a large locked file already, which takes no further layer";
        case FileProblem::lockedContent:
            return "it holds a locked file under a name of its own; unlock it first";
        case FileProblem::outOfMemory:
            return "there is not enough memory to unlock it";
        case FileProblem::empty:
            return "it is empty: there is nothing to unlock";
        case FileProblem::outOfReach:
            return describe(IoError::outsideFolder);
        case FileProblem::otherIdentity:
            return file.detail.empty() ? "it was sealed by another identity" : file.detail;
        case FileProblem::noIdentity:
            return "it is sealed: only the application password or the recovery key opens it";
        case FileProblem::libraryFailed:
            return libraryFailedText(file.detail);
        default:
            return "input/output error";
    }
}

std::string normalOf(const std::string& path) {
    const std::string normal = normalPath(path);
    return normal.empty() ? path : normal;
}

bool isFolder(const std::string& path) {
    FileStatus status;
    return fileSystem().status(path, status) == IoError::ok && status.kind == EntryKind::folder;
}

// A folder unlock-folder takes: listed by this path, or standing hidden
// under a locked name.
bool isLockedFolder(const std::string& path) {
    if (isRecordedFolder(normalOf(path))) return true;
    uint32_t attributes = 0;
    return fileSystem().getAttributes(path, attributes) == IoError::ok &&
           (attributes & kAttrHidden) != 0 &&
           !decodedFolderName(getFileName(normalOf(path))).empty();
}

// A folder given to lock or unlock, which take files only: the line names
// the command that takes it. Empty for anything else.
std::string folderLine(const ItemResult& item, bool lock) {
    const std::string unlocksIt = " (" + kProgram + " unlock-folder unlocks it)";
    if (lock) {
        if (item.status != ItemStatus::failed || item.file.problem != FileProblem::notAFile)
            return {};
        return item.path + ": it is a folder, not a file (" + kProgram +
               " lock-folder locks folders)";
    }
    // The plain path of a folder locked under another name: no such file.
    if (item.status == ItemStatus::missing && isRecordedFolder(normalOf(item.path)))
        return item.path + ": no such file, but a locked folder is listed by this path" + unlocksIt;
    const bool unlockRefusal =
        item.refusal == Refusal::notLocked || item.refusal == Refusal::notRegular;
    if (item.status == ItemStatus::refused && unlockRefusal && isFolder(item.path) &&
        isLockedFolder(item.path))
        return item.path + ": refused: a locked folder, not a file" + unlocksIt;
    return {};
}

std::string refusalText(const ItemResult& item) {
    switch (item.refusal) {
        case Refusal::ownFile:
            return "one of the program's own files (" + item.ownName + ")";
        case Refusal::systemFile:
            return "a system file, a device or a pipe";
        case Refusal::link:
            return "a link, which is never followed";
        case Refusal::hardLink:
            return "it has more than one name (a hard link), under which it would stay readable";
        case Refusal::temporary:
            return "a temporary file of this program";
        case Refusal::lineBreak:
            return "a line break in its name, which the list of locked files can not hold";
        case Refusal::notRegular:
            return "not a regular file";
        case Refusal::notLocked:
            return "not locked";
        case Refusal::notSealed:
            return "not sealed: only the application password unlocks it";
        case Refusal::caseTwin:
            return caseTwinText(item.caseTwin);
        case Refusal::none:
            break;
    }
    return "refused";
}

}  // namespace

std::string countText(size_t count, const std::string& noun) {
    return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

// One line for every file that did not get there, "PATH: cause"; nothing for
// the files done, nor for those not tried, which itemLines counts.
std::string itemLine(const ItemResult& item, bool lock) {
    if (item.status != ItemStatus::done)
        if (std::string line = folderLine(item, lock); !line.empty()) return line;
    switch (item.status) {
        case ItemStatus::done:
            return {};
        case ItemStatus::failed:
            return item.path + ": " + failureText(item, lock);
        case ItemStatus::refused:
            return item.path + ": refused: " + refusalText(item);
        case ItemStatus::missing:
            return item.path + ": no such file";
        case ItemStatus::repeated:
            return item.path + ": the same file as an earlier argument" +
                   (item.earlierDone ? ", done once" : ", tried once");
        case ItemStatus::notTried:
            break;
    }
    return {};
}

std::vector<std::string> itemLines(const RunReport& report, bool lock) {
    std::vector<std::string> lines;
    for (const ItemResult& item : report.items)
        if (std::string line = itemLine(item, lock); !line.empty()) lines.push_back(line);
    for (const FileResult& file : report.leftVisible)
        lines.push_back(file.path + ": listed locked file, could not be hidden again: " +
                        describe(file.error));
    for (std::string& line : listLines(listsNotUpdated(report))) lines.push_back(std::move(line));
    const size_t notTried = report.count(ItemStatus::notTried);
    if (notTried == 0) return lines;
    lines.push_back(countText(notTried, "file") + (notTried == 1 ? " was" : " were") +
                    (report.cancelled ? " not tried: the run was interrupted."
                                      : " not tried: the run ended at an earlier file."));
    return lines;
}

std::vector<std::string> listLines(const std::vector<HiddenListResult>& lists) {
    std::vector<std::string> lines;
    for (const HiddenListResult& list : lists)
        lines.push_back(list.path + ": list of hidden names not updated: " + hiddenListCause(list));
    return lines;
}

bool runSucceeded(const RunReport& report) {
    return report.complete() && !report.cancelled && report.leftVisible.empty() &&
           listsNotUpdated(report).empty();
}

std::vector<std::string> cannotHideLines(const RunReport& report) {
    std::vector<std::string> lines;
    for (const std::string& volume : report.cannotHide) lines.push_back(cannotHideText(volume));
    return lines;
}

std::string summaryLine(const RunReport& report, bool lock) {
    if (report.complete() && !report.cancelled) return lock ? kFilesEncrypted : kFilesDecrypted;
    std::string text = report.cancelled ? "Cancelled: " : "Not every file was done: ";
    text += std::to_string(report.count(ItemStatus::done)) + (lock ? " locked" : " unlocked");
    const std::pair<ItemStatus, const char*> counted[] = {
        {ItemStatus::failed, " failed"},
        {ItemStatus::refused, " refused"},
        {ItemStatus::missing, " missing"},
        {ItemStatus::notTried, " not tried"},
    };
    for (const auto& [status, name] : counted) {
        if (size_t n = report.count(status)) text += ", " + std::to_string(n) + name;
    }
    return text + ".";
}

}  // namespace vellumar
