#include "locking/file_runs.h"

#include <map>
#include <set>
#include <utility>
#include <vector>

#include "engine/atomic_file.h"
#include "engine/failure_note.h"
#include "engine/file_system.h"
#include "engine/large_file.h"
#include "engine/locked_header.h"
#include "engine/names.h"
#include "engine/platform.h"
#include "engine/small_file.h"
#include "engine/transfer.h"
#include "engine/write_batch.h"
#include "locking/leftover_pairs.h"
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

// At most this many files are named in the message that lists failures (a
// window's message box must fit on the screen); the rest are counted.
constexpr size_t kFailuresNamed = 40;

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

// Why a file could not be locked or unlocked, in words.
std::string causeText(IoError error, const std::string& path) {
    switch (error) {
        case IoError::accessDenied:
            return onReadOnlyVolume(path) ? "the file system is read-only" : "permission denied";
        case IoError::noSpace:
            return "the disk is full";
        case IoError::nameTooLong:
            return "the name is too long for the file system";
        case IoError::alreadyOpen:
            return "the file is in use by another program";
        case IoError::notFound:
            return "the file or its folder is no longer there";
        case IoError::exists:
            return "the name it must take is taken";
        case IoError::unsupported:
            return "the file system does not support it";
        case IoError::changed:
            return "it changed while the run read it, and was kept as it is";
        case IoError::outsideFolder:
            return describe(error);
        case IoError::ok:
        case IoError::other:
            break;
    }
    return "input/output error";
}

// Every file that failed, with its cause, one "PATH: cause" line each.
class FailureList {
  public:
    void add(const std::string& path, IoError error) { add(path, causeText(error, path)); }
    void add(const std::string& path, const std::string& cause) {
        if (++count_ <= kFailuresNamed) text_ += path + ": " + cause + "\r\n";
    }
    // Files the batch could not commit; a name taken, or a file changed
    // meanwhile, is named by its own message.
    void add(const std::vector<BatchFailure>& failures) {
        for (const BatchFailure& failure : failures) {
            if (failure.error != IoError::exists && failure.error != IoError::changed)
                add(failure.source, failure.error);
        }
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
        } else if (failure.error == IoError::changed) {
            showChangedDuringRun(failure.source, desktop, locking);
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

// Rows that name a file an earlier row of the run named already: by the same
// path, or, while the earlier file still stands (until its batch commits),
// by its identity under another spelling, unchanged since. A file committed
// on its own is gone at once, and its number may name a new file right
// after; a file system that keeps no numbers gives (0, 0) to every file.
class EarlierRows {
  public:
    // Whether the earlier row's file was locked, or null for a new file.
    const bool* find(const std::string& path, const FileStatus* status) const {
        if (auto known = paths_.find(path); known != paths_.end()) return &known->second;
        if (!status || !identified(*status)) return nullptr;
        auto known = standing_.find({status->volume, status->index});
        if (known == standing_.end() || !sameUnchanged(known->second.status, *status))
            return nullptr;
        return &known->second.locked;
    }
    // `standing` is the file's status after the row, when it still stands
    // under its path; null when it is gone.
    void add(const std::string& path, const FileStatus* standing, bool locked) {
        paths_[path] = locked;
        if (standing && identified(*standing))
            standing_[{standing->volume, standing->index}] = {*standing, locked};
    }
    // A batch committed: the files it locked are gone, and their numbers
    // may name new files.
    void committed(const std::vector<BatchFailure>& failures) {
        standing_.clear();
        for (const BatchFailure& failure : failures) paths_[failure.source] = false;
    }

  private:
    struct Standing {
        FileStatus status;
        bool locked = false;
    };
    static bool identified(const FileStatus& status) {
        return status.volume != 0 || status.index != 0;
    }

    std::map<std::string, bool> paths_;
    std::map<std::pair<uint64_t, uint64_t>, Standing> standing_;
};

std::string unreadableAttributesText(IoError error, const std::string& path) {
    const std::string text = "its attributes can not be read";
    // Not found here only means they could not be looked up.
    if (error == IoError::notFound || error == IoError::other) return text;
    return text + ": " + causeText(error, path);
}

// The locked-files list holds one path a line.
bool hasLineBreak(const std::string& path) {
    return path.find_first_of("\r\n") != std::string::npos;
}

std::string lineBreakRefusal(const std::string& path) {
    return path +
           " has a line break in its name, which the list of locked files can not hold: it can "
           "not be locked.";
}

// Each path's status for a RunTrace: the counter its turn moved.
class StatusTrace {
  public:
    StatusTrace(RunTrace* trace, const std::vector<std::string>& paths) : trace_(trace) {
        if (!trace_) return;
        trace_->statuses.assign(paths.size(), ItemStatus::notTried);
        for (size_t i = 0; i < paths.size(); ++i) first_.emplace(paths[i], i);
    }
    bool cancelled(Desktop& desktop) {
        if (!desktop.cancelRequested()) return false;
        if (trace_) trace_->cancelled = true;
        return true;
    }
    void before(const RunOutcome& outcome) { before_ = outcome; }
    void after(size_t i, const RunOutcome& outcome) {
        if (!trace_) return;
        ItemStatus& status = trace_->statuses[i];
        if (outcome.done > before_.done) status = ItemStatus::done;
        else if (outcome.failed > before_.failed) status = ItemStatus::failed;
        else if (outcome.refused > before_.refused) status = ItemStatus::refused;
        else if (outcome.missing > before_.missing) status = ItemStatus::missing;
        else if (outcome.repeated > before_.repeated) status = ItemStatus::repeated;
    }
    // Files done by their turn that their batch could not commit.
    void failedAtCommit(const std::vector<BatchFailure>& failures) {
        if (!trace_) return;
        for (const BatchFailure& failure : failures) {
            if (auto it = first_.find(failure.source); it != first_.end())
                trace_->statuses[it->second] = ItemStatus::failed;
        }
    }

  private:
    RunTrace* trace_;
    RunOutcome before_;
    std::map<std::string, size_t> first_;
};

std::string repeatedRowText(const std::string& path, bool locked) {
    return path + (locked
                       ? " is the same file as an earlier row: it was locked already in this run."
                       : " is the same file as an earlier row: it was tried once in this run.");
}

}  // namespace

RunOutcome lockRun(const std::vector<std::string>& paths, Desktop& desktop,
                   bool encryptFilesChosen, RunTrace* trace) {
    FileSystem& fs = fileSystem();
    bool visited = false;
    bool failed = false;
    desktop.setBusy(true);
    RunOutcome outcome;
    StatusTrace statuses(trace, paths);
    outcome.rows = paths.size();
    const OwnFiles own;
    LeftoverPairs pairs(paths, true);
    FailureList failures;
    EarlierRows earlier;
    // Files whose attributes the run cleared, with those attributes, until
    // they are locked: a file that is not gets them back.
    std::map<std::string, uint32_t> cleared;
    WriteBatch batch;
    auto commitBatch = [&] {
        const std::vector<BatchFailure> batchFailures = batch.commit();
        for (const BatchFailure& failure : batchFailures) {
            if (auto it = cleared.find(failure.source); it != cleared.end())
                fs.setAttributes(it->first, it->second);
        }
        cleared.clear();
        earlier.committed(batchFailures);
        failures.add(batchFailures);
        statuses.failedAtCommit(batchFailures);
        return settle(batchFailures, outcome, desktop, true);
    };
    for (size_t i = 0; i < paths.size(); ++i) {
        if (statuses.cancelled(desktop)) break;
        statuses.before(outcome);
        visited = true;
        const std::string& path = paths[i];
        desktop.progress(i, paths.size(), path);
        FileStatus status;
        uint32_t attributes = 0;
        const bool there = fs.status(path, status) == IoError::ok;
        if (const bool* locked = earlier.find(path, there ? &status : nullptr)) {
            desktop.message(repeatedRowText(path, *locked), Icon::information);
            ++outcome.repeated;
        } else if (batch.replacing(path) || !there) {
            if (!batch.replacing(path) && outOfReach(path, outcome, desktop))
                failed = true;
            else
                ++outcome.missing;
        } else if (encryptFilesChosen && hasLineBreak(path)) {
            desktop.message(lineBreakRefusal(path), Icon::information);
            ++outcome.refused;
        } else if (const std::string* name = own.find(path, status)) {
            desktop.message(ownFileRefusal(*name), Icon::information);
            ++outcome.refused;
        } else if (status.kind == EntryKind::link) {
            // Locking it would lock a copy and leave the real file plain.
            desktop.message(path + " is a link and can not be locked.", Icon::information);
            ++outcome.refused;
        } else if (status.kind == EntryKind::file && status.links > 1) {
            // Its content would stay readable under its other names.
            desktop.message(path + " has more than one name (a hard link) and can not be locked.",
                            Icon::information);
            ++outcome.refused;
        } else if (temporaryOwner(path) != TemporaryOwner::none) {
            // Another run is writing it, or it is a crash's leftover: either
            // way it is no person's file.
            desktop.message(path + " is a temporary file of this program and can not be locked.",
                            Icon::information);
            ++outcome.refused;
        } else if (const IoError e = status.kind == EntryKind::other
                                         ? IoError::ok
                                         : fs.getAttributes(path, attributes);
                   e != IoError::ok) {
            // It is there: left plain, it must not pass for missing.
            failures.add(path, unreadableAttributesText(e, path));
            ++outcome.failed;
            failed = true;
        } else if (attributes == kAttrSystem || status.kind == EntryKind::other) {
            // Devices and pipes are refused as system files: reading one may never end.
            desktop.message(kSystemFileText, Icon::none);
            ++outcome.refused;
        } else if (pairs.finish(path)) {
            ++outcome.done;  // locked already by a run that was interrupted
        } else {
            // A folder (which the engine refuses) keeps its attributes.
            const bool clear = attributes != kAttrNormal && status.kind == EntryKind::file;
            if (clear && fs.setAttributes(path, kAttrNormal) == IoError::ok)
                cleared[path] = attributes;
            takeNotedFailure();
            const bool locked = status.size < kLargeFileThreshold
                                    ? Encrypt(path, desktop, encryptFilesChosen)
                                    : BigEncrypt(path, desktop);
            const IoError cause = takeNotedFailure();
            if (locked) {
                ++outcome.done;
            } else {
                ++outcome.failed;
                failed = true;
                if (auto it = cleared.find(path); it != cleared.end()) {
                    fs.setAttributes(path, it->second);
                    cleared.erase(it);
                }
                if (status.kind == EntryKind::folder) {
                    failures.add(path, "it is a folder, not a file");
                } else if (cause != IoError::ok && cause != IoError::exists) {
                    // Otherwise the engine's own message said why.
                    failures.add(path, cause);
                }
            }
            // A file locked outside the batch is gone already.
            FileStatus now;
            const bool stands =
                (!locked || batch.replacing(path)) && fs.status(path, now) == IoError::ok;
            earlier.add(path, stands ? &now : nullptr, locked);
        }
        statuses.after(i, outcome);
        if (batch.full() && commitBatch()) failed = true;
        desktop.yield();
    }
    if (commitBatch()) failed = true;
    desktop.progress(paths.size(), paths.size(), {});
    failures.show(desktop);
    if (failed) desktop.message(kNotAllLockedText, Icon::none);
    desktop.setBusy(false);
    if (!visited) desktop.message(kNoFileChecked, Icon::exclamation);
    return outcome;
}

namespace {

// The end of an unlock run that a small locked file stopped: no refresh of
// the locked-files list, no further message but the failures named.
RunOutcome endedEarly(RunOutcome& outcome, size_t rows, const FailureList& failures,
                      Desktop& desktop) {
    outcome.endedEarly = true;
    desktop.progress(rows, rows, {});
    failures.show(desktop);
    desktop.setBusy(false);
    return outcome;
}

}  // namespace

RunOutcome unlockRun(const std::vector<std::string>& paths, Desktop& desktop, bool refreshList,
                     RunTrace* trace) {
    bool failed = false;
    desktop.setBusy(true);
    bool visited = false;
    RunOutcome outcome;
    StatusTrace statuses(trace, paths);
    outcome.rows = paths.size();
    LeftoverPairs pairs(paths, false);
    FailureList failures;
    // The attributes of the locked files that wait in the batch, which the
    // engine cleared: a file the commit fails gets them back.
    std::map<std::string, uint32_t> cleared;
    WriteBatch batch;
    auto commitBatch = [&] {
        const std::vector<BatchFailure> batchFailures = batch.commit();
        for (const BatchFailure& failure : batchFailures) {
            if (auto it = cleared.find(failure.source); it != cleared.end())
                fileSystem().setAttributes(it->first, it->second);
        }
        cleared.clear();
        failures.add(batchFailures);
        statuses.failedAtCommit(batchFailures);
        return settleUnlock(batchFailures, outcome, desktop);
    };
    // Unlocks one locked file; a failure is named with its cause.
    auto unlocked = [&](const std::string& path, bool large) {
        uint32_t attributes = kAttrNormal;
        const bool known = fileSystem().getAttributes(path, attributes) == IoError::ok;
        takeNotedFailure();
        const bool done = large ? BigDecrypt(path, desktop) : Decrypt(path, desktop);
        const IoError cause = takeNotedFailure();
        if (!done && cause != IoError::ok && cause != IoError::exists) failures.add(path, cause);
        if (done && known && attributes != kAttrNormal && batch.replacing(path))
            cleared[path] = attributes;
        return done;
    };
    for (size_t i = 0; i < paths.size(); ++i) {
        if (statuses.cancelled(desktop)) break;
        statuses.before(outcome);
        visited = true;
        const std::string& path = paths[i];
        desktop.progress(i, paths.size(), path);
        FileStatus status;
        if (batch.replacing(path) || fileSystem().status(path, status) != IoError::ok) {
            if (batch.replacing(path) || !outOfReach(path, outcome, desktop)) ++outcome.missing;
        } else if (status.kind == EntryKind::link) {
            // Never followed: what it points to may lie anywhere.
            desktop.message(path + " is a link and is passed over.", Icon::none);
            ++outcome.refused;
        } else if (status.kind == EntryKind::other) {
            // A pipe or a device named like a locked file: reading one may never end.
            desktop.message(path + " is not a regular file and can not be unlocked.", Icon::none);
            ++outcome.refused;
        } else if (!StartsWithLockedMarker(path)) {
            desktop.message(path + " is already unlocked.", Icon::none);
            ++outcome.refused;
        } else if (pairs.finish(path)) {
            ++outcome.done;  // unlocked already by a run that was interrupted
        } else if (endsWithVkw(path)) {
            if (unlocked(path, true)) {
                ++outcome.done;
            } else {
                ++outcome.failed;
                failed = true;
            }
        } else if (unlocked(path, false)) {
            ++outcome.done;
        } else {
            // A small locked file that cannot be unlocked (a wrong header
            // first of all) ends the run: the later rows stay locked.
            ++outcome.failed;
            statuses.after(i, outcome);
            commitBatch();
            return endedEarly(outcome, paths.size(), failures, desktop);
        }
        statuses.after(i, outcome);
        if (batch.full()) {
            const UnlockSettled settled = commitBatch();
            if (settled.small) return endedEarly(outcome, paths.size(), failures, desktop);
            failed = failed || settled.large;
        }
        if (failed) desktop.message(kUnlockErrorText, Icon::critical, kUnlockErrorTitle);
        desktop.yield();
    }
    const UnlockSettled settled = commitBatch();
    if (settled.small) return endedEarly(outcome, paths.size(), failures, desktop);
    failures.show(desktop);
    // Said once here for a large file that failed only now, at the commit.
    if (settled.large) desktop.message(kUnlockErrorText, Icon::critical, kUnlockErrorTitle);
    if (refreshList) File_Refresh();
    desktop.progress(paths.size(), paths.size(), {});
    desktop.setBusy(false);
    if (!visited) desktop.message(kNoFileChecked, Icon::exclamation);
    return outcome;
}

namespace {

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
    return lockRun(rowPaths(model.ListFiles), desktop, encryptFilesChosen(model));
}

RunOutcome cmdLockFolder_Click(WindowModel& model, Desktop& desktop) {
    return lockRun(rowPaths(model.lstFoundFiles), desktop, encryptFilesChosen(model));
}

RunOutcome cmdUnlock_Click(WindowModel& model, Desktop& desktop) {
    return unlockRun(rowPaths(model.ListFiles), desktop, true);
}

RunOutcome cmdUnlockFolder_Click(WindowModel& model, Desktop& desktop) {
    return unlockRun(rowPaths(model.lstFoundFiles), desktop, false);
}

}  // namespace vellumar
