#include "locking/file_runs.h"

#include <set>
#include <vector>

#include "engine/file_system.h"
#include "engine/large_file.h"
#include "engine/locked_header.h"
#include "engine/names.h"
#include "engine/platform.h"
#include "engine/small_file.h"
#include "engine/transfer.h"
#include "engine/write_batch.h"
#include "locking/locked_files_list.h"

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

std::string ownFileRefusal(const std::string& name) {
    return "An error occured during locking process \r\n " + name + " can not be locked.";
}

// The rows' paths, taken once: rows added meanwhile are not processed.
std::vector<std::string> rowPaths(const std::vector<ListRow>& rows) {
    std::vector<std::string> paths;
    paths.reserve(rows.size());
    for (const ListRow& row : rows) paths.push_back(row.path.empty() ? row.text : row.path);
    return paths;
}

// The program's own files: its executable and its list files. A row is
// matched by file identity, so no other spelling of the path (case, "..",
// a hard link) gets past. A list file gets a new identity each time it is
// rewritten (a run adds to "files"), so a list is also known by its name in
// the application directory.
class OwnFiles {
  public:
    OwnFiles() {
        add(executablePath(), "Tessarin.exe");
        for (const char* list : kLists) add(applicationFile(list), list);
        fileSystem().status(applicationDirectory(), directory_);
    }

    // The name the refusal gives the row's file, or null when it is not ours.
    const std::string* find(const std::string& path, const FileStatus& status) const {
        for (const OwnFile& file : own_) {
            if (file.volume == status.volume && file.index == status.index) return &file.name;
        }
        const std::string name = comparable(GetFileName(path));
        for (const std::string& list : lists_) {
            FileStatus folder;
            if (name == comparable(list) &&
                fileSystem().status(GetFolderPart(path), folder) == IoError::ok &&
                folder.volume == directory_.volume && folder.index == directory_.index)
                return &list;
        }
        return nullptr;
    }

  private:
    struct OwnFile {
        uint64_t volume;
        uint64_t index;
        std::string name;  // as the refusal names it
    };
    static constexpr const char* kLists[] = {"files", "folders", "encfile", "temp", "temp_folder"};

    void add(const std::string& path, const std::string& name) {
        FileStatus status;
        if (!path.empty() && fileSystem().status(path, status) == IoError::ok)
            own_.push_back({status.volume, status.index, name});
    }
    // Windows file names match in any case.
    static std::string comparable(const std::string& name) {
#ifdef _WIN32
        return ToUpper(name);
#else
        return name;
#endif
    }

    std::vector<OwnFile> own_;
    const std::vector<std::string> lists_{std::begin(kLists), std::end(kLists)};
    FileStatus directory_;
};

// Files that a write batch could not commit after the engine had reported
// them done: they count as failed, a name taken meanwhile is named, and new
// files that could not be written get the engine's own message, once for
// each kind of error (a folder that takes no new file is one problem, not
// one message per file).
bool settle(const std::vector<BatchFailure>& failures, RunOutcome& outcome, Desktop& desktop,
            bool locking) {
    std::set<IoError> shown;
    for (const BatchFailure& failure : failures) {
        --outcome.done;
        ++outcome.failed;
        if (failure.error == IoError::exists) {
            showFileExists(failure.target, desktop);
        } else if (failure.unwritten && shown.insert(failure.error).second) {
            showSmallFileError(failure.error, desktop, locking);
        }
    }
    return !failures.empty();
}

// A row whose folder was swapped for a link after the walk is not missing:
// it is out of reach, and the run did not get there.
bool outOfReach(const std::string& path, RunOutcome& outcome, Desktop& desktop) {
    FileStatus status;
    if (fileSystem().status(path, status) != IoError::outsideFolder) return false;
    desktop.message(path + ": " + describe(IoError::outsideFolder), Icon::critical);
    ++outcome.failed;
    return true;
}

bool endsWithVkw(const std::string& path) {
    return path.size() >= 3 && ToUpper(path.substr(path.size() - 3)) == "VKW";
}

// What an unlock run's commit failed: a small locked file that could not be
// unlocked ends the run, as a failed Decrypt does; a large one only marks it.
struct UnlockSettled {
    bool small = false;
    bool large = false;
};

UnlockSettled settleUnlock(const std::vector<BatchFailure>& failures, RunOutcome& outcome,
                           Desktop& desktop) {
    settle(failures, outcome, desktop, false);
    UnlockSettled settled;
    for (const BatchFailure& failure : failures)
        (endsWithVkw(failure.source) ? settled.large : settled.small) = true;
    return settled;
}

RunOutcome lockRun(const std::vector<ListRow>& list, Desktop& desktop, bool encryptFilesChosen) {
    FileSystem& fs = fileSystem();
    bool visited = false;
    bool failed = false;
    desktop.setBusy(true);
    const std::vector<std::string> paths = rowPaths(list);
    RunOutcome outcome;
    outcome.rows = paths.size();
    const OwnFiles own;
    WriteBatch batch;
    for (size_t i = 0; i < paths.size(); ++i) {
        visited = true;
        const std::string& path = paths[i];
        desktop.progress(i, paths.size(), path);
        FileStatus status;
        uint32_t attributes = 0;
        // A row named twice was locked the first time: it is gone, as far
        // as the run goes, even while the batch keeps it until its commit.
        if (batch.replacing(path) || fs.status(path, status) != IoError::ok ||
            fs.getAttributes(path, attributes) != IoError::ok) {
            if (outOfReach(path, outcome, desktop))
                failed = true;
            else
                ++outcome.missing;
        } else if (const std::string* name = own.find(path, status)) {
            desktop.message(ownFileRefusal(*name), Icon::information);
            ++outcome.refused;
        } else if (status.kind == EntryKind::link) {
            // Locking it would lock a copy and leave the real file plain.
            desktop.message(path + " is a link and can not be locked.", Icon::information);
            ++outcome.refused;
        } else if (attributes == kAttrSystem || status.kind == EntryKind::other) {
            // Devices and pipes are refused as system files: reading one may never end.
            desktop.message(kSystemFileText, Icon::none);
            ++outcome.refused;
        } else {
            // A folder (which the engine refuses) keeps its attributes.
            if (attributes != kAttrNormal && status.kind == EntryKind::file)
                fs.setAttributes(path, kAttrNormal);
            const bool locked = status.size < kLargeFileThreshold
                                    ? Encrypt(path, desktop, encryptFilesChosen)
                                    : BigEncrypt(path, desktop);
            if (locked) {
                ++outcome.done;
            } else {
                ++outcome.failed;
                failed = true;
            }
        }
        if (batch.full() && settle(batch.commit(), outcome, desktop, true)) failed = true;
        desktop.yield();
    }
    if (settle(batch.commit(), outcome, desktop, true)) failed = true;
    desktop.progress(paths.size(), paths.size(), {});
    if (failed) desktop.message(kNotAllLockedText, Icon::none);
    desktop.setBusy(false);
    if (!visited) desktop.message(kNoFileChecked, Icon::exclamation);
    return outcome;
}

// The end of an unlock run that a small locked file stopped: no refresh of
// the locked-files list, no further message.
RunOutcome endedEarly(RunOutcome& outcome, size_t rows, Desktop& desktop) {
    outcome.endedEarly = true;
    desktop.progress(rows, rows, {});
    desktop.setBusy(false);
    return outcome;
}

RunOutcome unlockRun(const std::vector<ListRow>& list, Desktop& desktop, bool refreshList) {
    bool failed = false;
    desktop.setBusy(true);
    bool visited = false;
    const std::vector<std::string> paths = rowPaths(list);
    RunOutcome outcome;
    outcome.rows = paths.size();
    WriteBatch batch;
    for (size_t i = 0; i < paths.size(); ++i) {
        visited = true;
        const std::string& path = paths[i];
        desktop.progress(i, paths.size(), path);
        FileStatus status;
        if (batch.replacing(path) || fileSystem().status(path, status) != IoError::ok) {
            if (!outOfReach(path, outcome, desktop)) ++outcome.missing;
        } else if (status.kind == EntryKind::other) {
            // A pipe or a device named like a locked file: reading one may never end.
            desktop.message(path + " is not a regular file and can not be unlocked.", Icon::none);
            ++outcome.refused;
        } else if (!StartsWithLockedMarker(path)) {
            desktop.message(path + " is already unlocked.", Icon::none);
            ++outcome.refused;
        } else if (endsWithVkw(path)) {
            if (BigDecrypt(path, desktop)) {
                ++outcome.done;
            } else {
                ++outcome.failed;
                failed = true;
            }
        } else if (Decrypt(path, desktop)) {
            ++outcome.done;
        } else {
            // A small locked file that cannot be unlocked (a wrong header
            // first of all) ends the run: the later rows stay locked.
            ++outcome.failed;
            settleUnlock(batch.commit(), outcome, desktop);
            return endedEarly(outcome, paths.size(), desktop);
        }
        if (batch.full()) {
            const UnlockSettled settled = settleUnlock(batch.commit(), outcome, desktop);
            if (settled.small) return endedEarly(outcome, paths.size(), desktop);
            failed = failed || settled.large;
        }
        if (failed) desktop.message(kUnlockErrorText, Icon::critical, kUnlockErrorTitle);
        desktop.yield();
    }
    const UnlockSettled settled = settleUnlock(batch.commit(), outcome, desktop);
    if (settled.small) return endedEarly(outcome, paths.size(), desktop);
    // Said once here for a large file that failed only now, at the commit.
    if (settled.large) desktop.message(kUnlockErrorText, Icon::critical, kUnlockErrorTitle);
    if (refreshList) File_Refresh();
    desktop.progress(paths.size(), paths.size(), {});
    desktop.setBusy(false);
    if (!visited) desktop.message(kNoFileChecked, Icon::exclamation);
    return outcome;
}

bool encryptFilesChosen(const WindowModel& model) {
    return model.selectedOption == Option::OptEncFiles;
}

}  // namespace

bool StartsWithLockedMarker(const std::string& path) {
    FileHandle file = kNoFile;
    if (fileSystem().openRead(path, file) != IoError::ok) return false;
    FileCloser closer(file);
    // A file shorter than the marker keeps the blanks it was read into.
    std::string head(kSecretMarker.size(), ' ');
    size_t have = 0;
    while (have < head.size()) {
        size_t got = 0;
        if (fileSystem().read(file, head.data() + have, head.size() - have, got) != IoError::ok ||
            got == 0)
            break;
        have += got;
    }
    return head == kSecretMarker;
}

RunOutcome cmdLock_Click(WindowModel& model, Desktop& desktop) {
    return lockRun(model.ListFiles, desktop, encryptFilesChosen(model));
}

RunOutcome cmdLockFolder_Click(WindowModel& model, Desktop& desktop) {
    return lockRun(model.lstFoundFiles, desktop, encryptFilesChosen(model));
}

RunOutcome cmdUnlock_Click(WindowModel& model, Desktop& desktop) {
    return unlockRun(model.ListFiles, desktop, true);
}

RunOutcome cmdUnlockFolder_Click(WindowModel& model, Desktop& desktop) {
    return unlockRun(model.lstFoundFiles, desktop, false);
}

}  // namespace vellumar
