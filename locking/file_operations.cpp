#include "locking/file_operations.h"

#include <map>
#include <utility>

#include "engine/platform/atomic_file.h"
#include "engine/platform/file_system.h"
#include "engine/lists/hidden_list.h"
#include "engine/lists/list_names.h"
#include "engine/formats/large_file.h"
#include "engine/formats/locked_header.h"
#include "engine/formats/locked_kind.h"
#include "engine/platform/media_volume.h"
#include "engine/platform/paths.h"
#include "engine/platform/platform.h"
#include "engine/sealing/sealed_lock.h"
#include "engine/formats/small_file.h"
#include "engine/runs/write_batch.h"
#include "locking/hidden_names.h"
#include "locking/leftover_pairs.h"
#include "locking/locked_files_list.h"
#include "locking/locked_names.h"
#include "locking/sealing_keys.h"

namespace vellumar {
namespace {

// The program's own files: its executable, its list files and the lists of
// hidden names it keeps in any folder (".hidden"). A row is
// matched by file identity, so no other spelling of the path (case, "..",
// a hard link) gets past. A list file gets a new identity each time it is
// rewritten (a run adds to "files"), so a list is also known by its name in
// the application directory.
class OwnFiles {
  public:
    OwnFiles() {
        add(executablePath(), "Tessarin.exe");
        for (const char* list : kApplicationFiles) add(applicationFile(list), list);
        fileSystem().status(applicationDirectory(), directory_);
    }

    // The name the refusal gives the row's file, or null when it is not ours.
    const std::string* find(const std::string& path, const FileStatus& status) const {
        if (isHiddenListName(getFileName(path))) return &kHiddenListName;
        if (isFolderIdentityCopy(path)) return &kFolderIdentityName;
        for (const OwnFile& file : own_) {
            if (file.volume == status.volume && file.index == status.index) return &file.name;
        }
        const std::string name = comparable(getFileName(path));
        for (const std::string& list : lists_) {
            FileStatus folder;
            if (name == comparable(list) &&
                fileSystem().status(getFolderPart(path), folder) == IoError::ok &&
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
    void add(const std::string& path, const std::string& name) {
        FileStatus status;
        if (!path.empty() && fileSystem().status(path, status) == IoError::ok)
            own_.push_back({status.volume, status.index, name});
    }
    // Windows file names match in any case.
    static std::string comparable(const std::string& name) {
#ifdef _WIN32
        return toUpper(name);
#else
        return name;
#endif
    }

    std::vector<OwnFile> own_;
    const std::vector<std::string> lists_{std::begin(kApplicationFiles),
                                          std::end(kApplicationFiles)};
    FileStatus directory_;
};

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

// Results are filled in as they become known, each with the path after
// which it was known and its rank among those.
class Decisions {
  public:
    explicit Decisions(const std::vector<std::string>& paths) {
        report.items.resize(paths.size());
        for (size_t i = 0; i < paths.size(); ++i) report.items[i].path = paths[i];
    }
    ItemResult& decide(size_t index, ItemStatus status) {
        ItemResult& item = report.items[index];
        item.status = status;
        item.decidedAfter = now;
        item.decidedRank = rank++;
        return item;
    }
    ItemResult& refuse(size_t index, Refusal rule) {
        ItemResult& item = decide(index, ItemStatus::refused);
        item.refusal = rule;
        return item;
    }
    ItemResult& fail(size_t index, const FileResult& file) {
        ItemResult& item = decide(index, ItemStatus::failed);
        item.file = file;
        return item;
    }
    // Files the batch could not commit after the engine had done its part.
    void failAtCommit(const std::vector<BatchFailure>& failures,
                      const std::map<std::string, size_t>& waiting) {
        for (const BatchFailure& failure : failures) {
            auto index = waiting.find(failure.source);
            if (index == waiting.end()) continue;
            ItemResult& item =
                fail(index->second, stepFailed(failure.error, failure.source, failure.target));
            item.atCommit = true;
            item.unwritten = failure.unwritten;
        }
    }

    RunReport report;
    size_t now = 0;  // the index of the path being worked on

  private:
    size_t rank = 0;
};

// A path that could not be looked up is missing only when it is not found.
// One whose folder was swapped for a link after the walk is out of reach, and
// one the look-up failed on otherwise may well be there: the run did not get
// to either.
void notThere(Decisions& decisions, size_t index, IoError looked) {
    const std::string& path = decisions.report.items[index].path;
    if (looked == IoError::notFound)
        decisions.decide(index, ItemStatus::missing);
    else if (looked == IoError::outsideFolder)
        decisions.fail(index, fileProblem(FileProblem::outOfReach, path, looked));
    else
        decisions.fail(index, fileProblem(FileProblem::ioError, path, looked));
}

// The locked-files list holds one path a line.
bool hasLineBreak(const std::string& path) {
    return path.find_first_of("\r\n") != std::string::npos;
}

// The write batch of a run, when it has one: the paths whose new files wait
// in it, and the attributes the run cleared on them, which a file the commit
// fails gets back. Also the names that go in or out of the folders' hidden
// lists once their files are committed: every list is rewritten once a commit.
class Waiting {
  public:
    explicit Waiting(WriteBatch* batch) : batch_(batch) {}

    bool replacing(const std::string& path) const { return batch_ && batch_->replacing(path); }
    bool full() const { return batch_ && batch_->full(); }
    void add(const std::string& path, size_t index) {
        if (replacing(path)) indices_[path] = index;
    }
    void clearedAttributes(const std::string& path, uint32_t attributes) {
        cleared_[path] = attributes;
    }
    // `listed` (the locked file's path) goes in its folder's hidden list, or
    // out of it, once the file of row `index`, made from `path`, is committed.
    void listOnCommit(const std::string& path, size_t index, const std::string& listed, bool hide) {
        if (replacing(path)) {
            listed_[path] = {index, listed, hide};
        } else {
            addToLists(index, listed, hide);
        }
    }
    // Commits the batch; the failures are recorded as results.
    std::vector<BatchFailure> commit(Decisions& decisions) {
        std::vector<BatchFailure> failures;
        if (batch_) failures = batch_->commit();
        for (const BatchFailure& failure : failures) {
            if (auto it = cleared_.find(failure.source); it != cleared_.end())
                fileSystem().setAttributes(it->first, it->second);
        }
        decisions.failAtCommit(failures, indices_);
        for (const BatchFailure& failure : failures) listed_.erase(failure.source);
        for (const auto& [path, listed] : listed_)
            addToLists(listed.index, listed.path, listed.hide);
        // The file is done all the same: its attribute hides it (or shows it).
        for (const HiddenNames::Failure& failure : hidden_.apply())
            decisions.report.items[failure.item].hiddenList = failure.error;
        cleared_.clear();
        indices_.clear();
        listed_.clear();
        return failures;
    }

  private:
    struct Listed {
        size_t index = 0;
        std::string path;
        bool hide = true;
    };
    void addToLists(size_t index, const std::string& path, bool hide) {
        if (hide) {
            hidden_.hide(path, index);
        } else {
            hidden_.unhide(path, index);
        }
    }

    WriteBatch* batch_;
    std::map<std::string, size_t> indices_;
    std::map<std::string, uint32_t> cleared_;
    std::map<std::string, Listed> listed_;
    HiddenNames hidden_;
};

// The path a lock will give the file, as its format names it; empty where
// it gives no new name of this kind: a sealed file's name is random, a large
// locked file is refused, and a small locked file gains a layer under its
// own name (a file merely named like one, whose marker is missing, is told
// apart here as the lock tells it).
std::string plannedLockedName(const std::string& path, const FileStatus& status,
                              const LockOptions& options) {
    if (options.sealFor) return {};
    if (status.size >= kLargeFileThreshold)
        return markedKindOf(path) == LockedKind::large ? std::string()
                                                       : lockedName(path, kLargeExtension);
    if (lockedKindOf(path) == LockedKind::small) return {};
    return lockedName(path, kSmallExtension);
}

constexpr uint32_t kLockMarks = kAttrHidden | kAttrReadOnly;

// The marks a locked file must carry on its file system: hidden and
// read-only as far as the file system keeps them (one that keeps no hidden
// mark says so, and the run says so per volume).
uint32_t lockMarksKeptFor(const std::string& path) {
    uint32_t kept = kLockMarks;
    if (fileSystem().keptAttributes(path, kept) != IoError::ok) kept = kLockMarks;
    return kept & kLockMarks;
}

// Gives a locked file the marks it lacks, keeping its other attributes.
IoError markLocked(const std::string& path, uint32_t wanted) {
    uint32_t attributes = kAttrNormal;
    if (IoError e = fileSystem().getAttributes(path, attributes); e != IoError::ok) return e;
    if ((attributes & wanted) == wanted) return IoError::ok;
    return fileSystem().setAttributes(path, (attributes & ~kAttrDirectory) | wanted);
}

// What a lock claims, read back from the disk: the locked file is there,
// a file, and carries hidden and read-only as its file system keeps them.
// Marks lost on the way are set once more before the file counts as failed.
FileResult readBackLocked(const std::string& locked) {
    FileSystem& fs = fileSystem();
    FileStatus status;
    const IoError looked = fs.status(locked, status);
    if (looked != IoError::ok || status.kind != EntryKind::file)
        return fileProblem(FileProblem::lockedFileGone, locked,
                           looked == IoError::notFound ? IoError::ok : looked);
    const uint32_t wanted = lockMarksKeptFor(locked);
    uint32_t attributes = kAttrNormal;
    IoError e = fs.getAttributes(locked, attributes);
    if (e == IoError::ok && (attributes & wanted) != wanted) {
        e = markLocked(locked, wanted);
        if (e == IoError::ok) e = fs.getAttributes(locked, attributes);
    }
    if (e != IoError::ok || (attributes & wanted) != wanted)
        return fileProblem(FileProblem::notKeptHidden, locked, e);
    return fileDone(locked);
}

// Every file a lock run reports done is read back; one that is not as the
// run claims is failed, naming its locked file and the cause.
void readBackLockRun(RunReport& report) {
    for (ItemResult& item : report.items) {
        if (item.status != ItemStatus::done || item.file.output.empty()) continue;
        const FileResult check = readBackLocked(item.file.output);
        if (check.done()) continue;
        item.status = ItemStatus::failed;
        item.file = check;
    }
}

// A listed locked file that was locked once more (a layer keeps its name)
// keeps one line: "files" names each file once.
void unlistRelocked(const RunReport& report) {
    std::vector<std::pair<std::string, std::string>> moves;
    for (const ItemResult& item : report.items) {
        if (item.status != ItemStatus::done || markedKindOf(item.path) == LockedKind::none)
            continue;
        const bool layer = item.file.output == item.path;
        moves.emplace_back(item.path, layer ? item.path : std::string());
    }
    moveListedFiles(moves);
}

// An unlock that took one layer off a file locked twice gave back a file
// that is still locked: it keeps the marks and the one line of a locked file.
void keepInnerLayersLocked(const RunReport& report) {
    std::vector<std::pair<std::string, std::string>> moves;
    for (const ItemResult& item : report.items) {
        const std::string& inner = item.file.output;
        if (item.status != ItemStatus::done || inner.empty() ||
            lockedKindOf(inner) == LockedKind::none)
            continue;
        markLocked(inner, lockMarksKeptFor(inner));
        moves.emplace_back(item.path, inner);
    }
    moveListedFiles(moves);
}
// The volumes whose file system keeps no hidden mark (a FAT stick through
// FUSE, a file system without extended attributes), each asked once, before
// its first file is locked and gone; named once a file there stays locked.
class UnhiddenVolumes {
  public:
    void locking(const std::string& path, uint64_t volume, size_t index) {
        auto known = hides_.find(volume);
        if (known == hides_.end()) {
            uint32_t kept = 0;
            const bool hides = fileSystem().keptAttributes(path, kept) != IoError::ok ||
                               (kept & kAttrHidden) != 0;
            known = hides_.emplace(volume, hides).first;
        }
        if (!known->second) locked_.push_back({index, volume});
    }
    // After the last commit: a file that failed there is not locked.
    void name(RunReport& report) const {
        std::map<uint64_t, bool> named;
        for (const auto& [index, volume] : locked_) {
            const ItemResult& item = report.items[index];
            if (item.status != ItemStatus::done || named[volume]) continue;
            named[volume] = true;
            report.cannotHide.push_back(volumeName(item.path, volume));
        }
    }

  private:
    std::map<uint64_t, bool> hides_;
    std::vector<std::pair<size_t, uint64_t>> locked_;
};

bool cancelRequested(Desktop& desktop, Decisions& decisions) {
    if (!desktop.cancelRequested()) return false;
    decisions.report.cancelled = true;
    return true;
}

// The person cancelled while the file was worked on: it stands as it was and
// counts as not tried, like the files after it.
bool cancelledWithin(const FileResult& result, Decisions& decisions) {
    if (result.problem != FileProblem::cancelled) return false;
    decisions.report.cancelled = true;
    return true;
}

}  // namespace

size_t RunReport::count(ItemStatus status) const {
    size_t n = 0;
    for (const ItemResult& item : items) n += item.status == status;
    return n;
}

bool RunReport::complete() const {
    return count(ItemStatus::done) + count(ItemStatus::repeated) == items.size();
}

RunReport lockFiles(const std::vector<std::string>& paths, const LockOptions& options,
                    WriteBatch* batch, Desktop& desktop) {
    FileSystem& fs = fileSystem();
    Decisions decisions(paths);
    const OwnFiles own;
    LeftoverPairs pairs(paths, true);
    EarlierRows earlier;
    Waiting waiting(batch);
    UnhiddenVolumes unhidden;
    FileRequest request;
    request.batch = batch;
    if (options.recordInFilesList) request.listPath = applicationFile(kLockedFilesList);
    auto commit = [&] { earlier.committed(waiting.commit(decisions)); };
    LockedNames names;
    // The name the file would get, checked before anything changes: true
    // when it keeps the file as it is.
    auto nameRefused = [&](size_t i, const std::string& path, const FileStatus& status) {
        const std::string target = plannedLockedName(path, status, options);
        if (target.empty()) return false;
        const LockedNames::Verdict verdict = names.check(target);
        if (verdict.volume != IoError::ok) {
            decisions.fail(i, fileProblem(FileProblem::ioError, path, verdict.volume));
            earlier.add(path, &status, false);
        } else if (!verdict.caseTwin.empty()) {
            decisions.refuse(i, Refusal::caseTwin).caseTwin = verdict.caseTwin;
        } else {
            return false;
        }
        return true;
    };
    for (size_t i = 0; i < paths.size(); ++i) {
        if (cancelRequested(desktop, decisions)) break;
        decisions.now = i;
        const std::string& path = paths[i];
        desktop.progress(i, paths.size(), path);
        FileStatus status;
        uint32_t attributes = 0;
        const IoError looked = fs.status(path, status);
        const bool there = looked == IoError::ok;
        if (const bool* locked = earlier.find(path, there ? &status : nullptr)) {
            decisions.decide(i, ItemStatus::repeated).earlierDone = *locked;
        } else if (waiting.replacing(path) || !there) {
            notThere(decisions, i, waiting.replacing(path) ? IoError::notFound : looked);
        } else if (options.recordInFilesList && hasLineBreak(path)) {
            decisions.refuse(i, Refusal::lineBreak);
        } else if (const std::string* name = own.find(path, status)) {
            decisions.refuse(i, Refusal::ownFile).ownName = *name;
        } else if (status.kind == EntryKind::link) {
            // Locking it would lock a copy and leave the real file plain.
            decisions.refuse(i, Refusal::link);
        } else if (status.kind == EntryKind::file && status.links > 1) {
            // Its content would stay readable under its other names.
            decisions.refuse(i, Refusal::hardLink);
        } else if (temporaryOwner(path) != TemporaryOwner::none) {
            // Another run is writing it, or it is a crash's leftover: either
            // way it is no person's file.
            decisions.refuse(i, Refusal::temporary);
        } else if (const IoError e = status.kind == EntryKind::other
                                         ? IoError::ok
                                         : fs.getAttributes(path, attributes);
                   e != IoError::ok) {
            // It is there: left plain, it must not pass for missing.
            decisions.fail(i, fileProblem(FileProblem::attributesUnreadable, path, e));
        } else if (attributes == kAttrSystem || status.kind == EntryKind::other) {
            // Devices and pipes are refused as system files: reading one may never end.
            decisions.refuse(i, Refusal::systemFile);
        } else if (pairs.finish(path)) {
            // Locked already by a run that was interrupted.
            const std::string locked = lockedName(
                path, status.size < kLargeFileThreshold ? kSmallExtension : kLargeExtension);
            decisions.decide(i, ItemStatus::done).file = fileDone(locked);
            // It may have been stopped before its name was listed.
            waiting.listOnCommit(path, i, locked, true);
            names.given(locked);
        } else if (status.kind == EntryKind::folder) {
            decisions.fail(i, fileProblem(FileProblem::notAFile, path));
            earlier.add(path, &status, false);
        } else if (nameRefused(i, path, status)) {
            // decided there: nothing was changed
        } else {
            const bool clear = attributes != kAttrNormal;
            const bool cleared = clear && fs.setAttributes(path, kAttrNormal) == IoError::ok;
            const bool large = !options.sealFor && status.size >= kLargeFileThreshold;
            decisions.report.items[i].large = large;
            request.plainAttributes = attributes;
            unhidden.locking(path, status.volume, i);
            const FileResult result =
                options.sealFor ? lockSealedFile(path, *options.sealFor, desktop, request)
                : large         ? lockLargeFile(path, desktop, request)
                                : lockSmallFile(path, desktop, request);
            desktop.workedThrough(status.size);
            if (cancelledWithin(result, decisions)) {
                if (cleared) fs.setAttributes(path, attributes);
                break;
            }
            if (result.done()) {
                decisions.decide(i, ItemStatus::done).file = result;
                names.given(result.output);
                waiting.add(path, i);
                if (cleared && waiting.replacing(path)) waiting.clearedAttributes(path, attributes);
                waiting.listOnCommit(path, i, result.output, true);
            } else {
                decisions.fail(i, result);
                if (cleared) fs.setAttributes(path, attributes);
            }
            // A file locked outside the batch is gone already.
            FileStatus now;
            const bool stands = (!result.done() || waiting.replacing(path)) &&
                                fs.status(path, now) == IoError::ok;
            earlier.add(path, stands ? &now : nullptr, result.done());
        }
        if (waiting.full()) commit();
        desktop.yield();
    }
    decisions.now = paths.size();  // the last commit comes after every path
    commit();
    readBackLockRun(decisions.report);
    unlistRelocked(decisions.report);
    unhidden.name(decisions.report);
    desktop.progress(paths.size(), paths.size(), {});
    return std::move(decisions.report);
}

RunReport unlockFiles(const std::vector<std::string>& paths, const UnlockOptions& options,
                      WriteBatch* batch, Desktop& desktop) {
    Decisions decisions(paths);
    LeftoverPairs pairs(paths, false);
    Waiting waiting(batch);
    FileRequest request;
    request.batch = batch;
    // A small locked file that cannot be unlocked ends the run, at once or
    // when its batch commits: the later paths stay locked.
    auto commitEnds = [&] {
        for (const BatchFailure& failure : waiting.commit(decisions)) {
            if (markedKindOf(failure.source) == LockedKind::small) return true;
        }
        return false;
    };
    auto endEarly = [&](size_t after) {
        keepInnerLayersLocked(decisions.report);
        decisions.report.endedEarly = true;
        decisions.report.endedAfter = after;
        desktop.progress(paths.size(), paths.size(), {});
        return std::move(decisions.report);
    };
    // A sealed file that does not open stays as it is and the run goes on,
    // as with the large format.
    auto unseal = [&](size_t i, const FileStatus& status) {
        const std::string& path = paths[i];
        if (!options.keys || !options.keys->canUnseal()) {
            decisions.fail(i, fileProblem(FileProblem::noIdentity, path));
            return;
        }
        uint32_t attributes = kAttrNormal;
        const bool known = fileSystem().getAttributes(path, attributes) == IoError::ok;
        const FileResult result =
            unlockSealedFile(path, options.keys->identities, desktop, request);
        desktop.workedThrough(status.size);
        if (cancelledWithin(result, decisions)) return;
        if (!result.done()) {
            decisions.fail(i, result);
            return;
        }
        decisions.decide(i, ItemStatus::done).file = result;
        waiting.add(path, i);
        if (known && attributes != kAttrNormal && waiting.replacing(path))
            waiting.clearedAttributes(path, attributes);
        waiting.listOnCommit(path, i, path, false);
    };
    for (size_t i = 0; i < paths.size(); ++i) {
        if (cancelRequested(desktop, decisions)) break;
        decisions.now = i;
        const std::string& path = paths[i];
        desktop.progress(i, paths.size(), path);
        FileStatus status;
        const IoError looked =
            waiting.replacing(path) ? IoError::notFound : fileSystem().status(path, status);
        if (looked != IoError::ok) {
            notThere(decisions, i, looked);
        } else if (status.kind == EntryKind::link) {
            // Never followed: what it points to may lie anywhere.
            decisions.refuse(i, Refusal::link);
        } else if (status.kind == EntryKind::other) {
            // A pipe or a device named like a locked file: reading one may never end.
            decisions.refuse(i, Refusal::notRegular);
        } else if (isHiddenListName(getFileName(path))) {
            decisions.refuse(i, Refusal::ownFile).ownName = kHiddenListName;
        } else if (isFolderIdentityCopy(path)) {
            decisions.refuse(i, Refusal::ownFile).ownName = kFolderIdentityName;
        } else if (const LockedKind kind = lockedKindOf(path); kind == LockedKind::sealed) {
            unseal(i, status);
            if (decisions.report.cancelled) break;
        } else if (options.sealedOnly) {
            decisions.refuse(i, Refusal::notSealed);
        } else if (kind == LockedKind::none) {
            decisions.refuse(i, Refusal::notLocked);
        } else if (pairs.finish(path)) {
            decisions.decide(i, ItemStatus::done);  // unlocked already by a run that was interrupted
            waiting.listOnCommit(path, i, path, false);
        } else {
            // The engine clears the locked file's attributes; a file the
            // batch's commit fails gets them back.
            uint32_t attributes = kAttrNormal;
            const bool known = fileSystem().getAttributes(path, attributes) == IoError::ok;
            const bool large = kind == LockedKind::large;
            decisions.report.items[i].large = large;
            const FileResult result = large ? unlockLargeFile(path, desktop, request)
                                            : unlockSmallFile(path, desktop, request);
            desktop.workedThrough(status.size);
            if (cancelledWithin(result, decisions)) break;
            if (result.done()) {
                decisions.decide(i, ItemStatus::done).file = result;
                waiting.add(path, i);
                if (known && attributes != kAttrNormal && waiting.replacing(path))
                    waiting.clearedAttributes(path, attributes);
                // An inner layer keeps the locked name, and its line.
                if (getFileName(result.output) != getFileName(path))
                    waiting.listOnCommit(path, i, path, false);
            } else {
                decisions.fail(i, result);
                if (!large) {
                    commitEnds();
                    return endEarly(i);
                }
            }
        }
        if (waiting.full() && commitEnds()) return endEarly(i);
        desktop.yield();
    }
    decisions.now = paths.size();  // the last commit comes after every path
    if (commitEnds()) return endEarly(paths.size());
    keepInnerLayersLocked(decisions.report);
    if (options.pruneFilesList) decisions.report.leftVisible = pruneLockedFilesList();
    desktop.progress(paths.size(), paths.size(), {});
    return std::move(decisions.report);
}

}  // namespace vellumar
