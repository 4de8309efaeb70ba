// The file operations themselves, without a window: what each path got
// (done, refused by which rule, failed with the problem and the path it
// concerns), a cancel between two files, and the write batch's threads under
// the fault-injecting file system.

#include "locking/file_operations.h"

#include <gtest/gtest.h>

#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <unistd.h>
#endif

#include "engine/formats/locked_kind.h"
#include "engine/lists/list_file.h"
#include "engine/runs/write_batch.h"
#include "tests/engine/formats/lock_fixture.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/forwarding_file_system.h"

namespace vellumar::test {
namespace {

struct Expected {
    std::string path;
    ItemStatus status;
    Refusal refusal = Refusal::none;
    FileProblem problem = FileProblem::none;
    std::string problemPath = {};  // the path the problem concerns, when there is one
};

void expectItems(const RunReport& report, const std::vector<Expected>& expected) {
    ASSERT_EQ(report.items.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        const ItemResult& item = report.items[i];
        const Expected& e = expected[i];
        SCOPED_TRACE(testing::Message() << "path " << i << ": " << e.path);
        EXPECT_EQ(item.path, e.path);
        EXPECT_EQ(item.status, e.status);
        EXPECT_EQ(item.refusal, e.refusal);
        EXPECT_EQ(item.file.problem, e.problem);
        if (!e.problemPath.empty()) {
            EXPECT_EQ(item.file.path, e.problemPath);
        }
    }
}

// A desktop that asks to stop once `after` files were started.
class CancellingDesktop final : public ScriptedDesktop {
  public:
    explicit CancellingDesktop(int after) : after_(after) {}
    bool cancelRequested() override { return progressCalls >= after_; }

  private:
    int after_;
};

TEST(FileOperations, EveryPathOfALockGetsItsResultWithTheCauseAndThePath) {
    TempFolder temp;
    ScriptedDesktop desktop;
    const std::string done = temp.write("w/done.txt", "done");
    const std::string folder = temp.makeFolder("w/folder");
    const std::string taken = temp.write("w/taken.txt", "taken");
    const std::string takenName = lockedName(taken, ".VKL");
    temp.write("w/" + getFileName(takenName), "in the way");
    const std::string copy = temp.write("w/copy.txt", "copy");
    ASSERT_TRUE(lockSmallFile(copy, desktop).done());
    const std::string lockedCopy = temp.write("w/locked-copy.txt", readFile(lockedName(copy, ".VKL")));
    const std::string large = temp.write("w/large.VKW", patternBytes(kLargeFileThreshold));
    const std::string list = applicationFile("files");
    ASSERT_EQ(appendListLines(list, {}), IoError::ok);
    std::vector<Expected> expected = {
        {done, ItemStatus::done},
        {temp / "w/gone.txt", ItemStatus::missing},
        {folder, ItemStatus::failed, Refusal::none, FileProblem::notAFile, folder},
        {taken, ItemStatus::failed, Refusal::none, FileProblem::nameTaken, takenName},
        {done, ItemStatus::repeated},
        {list, ItemStatus::refused, Refusal::ownFile},
        {lockedCopy, ItemStatus::failed, Refusal::none, FileProblem::lockedContent, lockedCopy},
        {large, ItemStatus::failed, Refusal::none, FileProblem::alreadyLarge, large},
    };
#ifndef _WIN32
    const std::string link = temp / "w/link.txt";
    ASSERT_EQ(::symlink(done.c_str(), link.c_str()), 0);
    const std::string twoNames = temp.write("w/two.txt", "two");
    ASSERT_EQ(::link(twoNames.c_str(), (temp / "w/other-name.txt").c_str()), 0);
    const std::string lineBreak = temp.write("w/line\nbreak.txt", "line");
    expected.push_back({link, ItemStatus::refused, Refusal::link});
    expected.push_back({twoNames, ItemStatus::refused, Refusal::hardLink});
    expected.push_back({lineBreak, ItemStatus::refused, Refusal::lineBreak});
#endif
    std::vector<std::string> paths;
    for (const Expected& e : expected) paths.push_back(e.path);
    LockOptions options;
    options.recordInFilesList = true;
    WriteBatch batch;

    const RunReport report = lockFiles(paths, options, &batch, desktop);

    expectItems(report, expected);
    EXPECT_EQ(report.items[0].file.output, lockedName(done, ".VKL"));
    EXPECT_TRUE(report.items[4].earlierDone);
    EXPECT_EQ(report.items[5].ownName, "files");
    EXPECT_FALSE(report.complete());
    EXPECT_FALSE(report.endedEarly || report.cancelled);
    EXPECT_TRUE(desktop.messages.empty()) << "an operation shows no message";
    EXPECT_EQ(readFile(taken), "taken");
    EXPECT_EQ(readFile(list), lockedName(done, ".VKL") + "\r\n");
}

// Takes every attribute but the hidden mark, and says it did; keeps the
// marks `kept` says the file system keeps.
class ForgetsHidden final : public ForwardingFileSystem {
  public:
    uint32_t kept = kAttrReadOnly | kAttrHidden | kAttrSystem | kAttrArchive;
    IoError setAttributes(const std::string& p, uint32_t a) override {
        return base().setAttributes(p, a & ~kAttrHidden);
    }
    IoError keptAttributes(const std::string&, uint32_t& out) override {
        out = kept;
        return IoError::ok;
    }
};

uint32_t attributesOf(const std::string& path) {
    uint32_t attributes = 0;
    EXPECT_EQ(fileSystem().getAttributes(path, attributes), IoError::ok);
    return attributes;
}

// A lock is done only when its locked file reads back hidden and read-only,
// as far as the file system keeps those marks: one that drops the hidden
// mark it keeps fails the file, naming the locked file; one that keeps no
// hidden mark at all cannot be asked for it.
TEST(FileOperations, ALockIsDoneOnlyWhenItsLockedFileReadsBackHiddenAndReadOnly) {
    const struct {
        const char* name;
        uint32_t kept;
        ItemStatus status;
        FileProblem problem;
    } cases[] = {
        {"keeps the hidden mark", kAttrReadOnly | kAttrHidden, ItemStatus::failed,
         FileProblem::notKeptHidden},
        {"keeps no hidden mark", kAttrReadOnly, ItemStatus::done, FileProblem::none},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (const bool batched : {false, true}) {
            TempFolder temp;
            ScriptedDesktop desktop;
            const std::string small = temp.write("small.txt", "small");
            const std::string large = temp.write("large.bin", patternBytes(kLargeFileThreshold));
            ForgetsHidden disk;
            disk.kept = c.kept;
            WriteBatch batch;
            RunReport report;
            {
                FileSystemOverride use(disk);
                report = lockFiles({small, large}, {}, batched ? &batch : nullptr, desktop);
            }
            const bool failed = c.status == ItemStatus::failed;
            expectItems(report, {{small, c.status, Refusal::none, c.problem,
                                  failed ? lockedName(small, ".VKL") : ""},
                                 {large, c.status, Refusal::none, c.problem,
                                  failed ? lockedName(large, ".VKW") : ""}});
            EXPECT_NE(attributesOf(lockedName(small, ".VKL")) & kAttrReadOnly, 0u);
        }
    }
}

// A listed locked file locked once more (a layer, under the same name), and
// that layer taken off again: "files" names the file once, and the file,
// still locked, stays hidden and read-only.
TEST(FileOperations, AFileLockedTwiceKeepsOneLineAndItsMarks) {
    TempFolder temp;
    ScriptedDesktop desktop;
    const std::string plain = temp.write("notes.txt", "notes");
    const std::string list = applicationFile("files");
    LockOptions lock;
    lock.recordInFilesList = true;
    const std::string locked = lockedName(plain, ".VKL");
    for (int layers = 1; layers <= 2; ++layers) {
        const RunReport run = lockFiles({layers == 1 ? plain : locked}, lock, nullptr, desktop);
        ASSERT_EQ(run.count(ItemStatus::done), 1u);
        ASSERT_EQ(run.items[0].file.output, locked);
        EXPECT_EQ(readFile(list), locked + "\r\n");
    }
    UnlockOptions unlock;
    unlock.pruneFilesList = true;
    ASSERT_EQ(unlockFiles({locked}, unlock, nullptr, desktop).count(ItemStatus::done), 1u);
    EXPECT_EQ(readFile(list), locked + "\r\n");
    EXPECT_EQ(attributesOf(locked) & (kAttrHidden | kAttrReadOnly), kAttrHidden | kAttrReadOnly);
    ASSERT_EQ(unlockFiles({locked}, unlock, nullptr, desktop).count(ItemStatus::done), 1u);
    EXPECT_EQ(readFile(plain), "notes");
    EXPECT_EQ(readFile(list), "");
}

// A small locked file that cannot be unlocked ends the run; large ones do not.
TEST(FileOperations, AnUnlockEndsAtASmallFileItCannotUnlockAndSaysWhere) {
    TempFolder temp;
    ScriptedDesktop desktop;
    auto locked = [&](const std::string& relative, const std::string& content) {
        const std::string plain = temp.write(relative, content);
        const bool isLarge = content.size() >= kLargeFileThreshold;
        EXPECT_TRUE((isLarge ? lockLargeFile(plain, desktop) : lockSmallFile(plain, desktop)).done());
        return lockedName(plain, isLarge ? ".VKW" : ".VKL");
    };
    const std::string done = locked("w/done.txt", "done");
    const std::string plain = temp.write("w/plain.VKL", "plain");
    const std::string largeTaken = locked("w/large.bin", patternBytes(kLargeFileThreshold));
    temp.write("w/large.bin", "in the way");
    const std::string wrong = temp.write("w/wrong.VKW", "[Secret]" + std::string(300, 'x'));
    const std::string small = temp.write("w/small.VKL", "[Secret]" + std::string(30, 'x') + "\r\n");
    const std::string later = locked("w/later.txt", "later");
    UnlockOptions options;
    WriteBatch batch;

    const RunReport report =
        unlockFiles({done, plain, largeTaken, wrong, small, later}, options, &batch, desktop);

    expectItems(report, {
                            {done, ItemStatus::done},
                            {plain, ItemStatus::refused, Refusal::notLocked},
                            {largeTaken, ItemStatus::failed, Refusal::none, FileProblem::nameTaken,
                             temp / "w/large.bin"},
                            {wrong, ItemStatus::failed, Refusal::none, FileProblem::wrongHeader, wrong},
                            {small, ItemStatus::failed, Refusal::none, FileProblem::wrongHeader, small},
                            {later, ItemStatus::notTried},
                        });
    EXPECT_TRUE(report.endedEarly);
    EXPECT_EQ(report.endedAfter, 4u);
    EXPECT_TRUE(desktop.messages.empty());
    EXPECT_EQ(readFile(temp / "w/done.txt"), "done");
    EXPECT_TRUE(fileExists(later));
}

// A locked file's content under a name without the marker is no locked file:
// unlocked, it would come back under a name made from the wrong one.
TEST(FileOperations, AnUnlockRefusesLockedContentUnderANameWithoutTheMarker) {
    TempFolder temp;
    ScriptedDesktop desktop;
    const std::string plain = temp.write("w/a.txt", "a");
    ASSERT_TRUE(lockSmallFile(plain, desktop).done());
    const std::string locked = readFile(lockedName(plain, kSmallExtension));
    const std::string renamed = temp.write("w/backup.txt", locked);
    const std::string noDot = temp.write("w/backupVKW", locked);
    const std::string before = listTree(temp / "w");

    const RunReport report = unlockFiles({renamed, noDot}, UnlockOptions{}, nullptr, desktop);

    expectItems(report, {{renamed, ItemStatus::refused, Refusal::notLocked},
                         {noDot, ItemStatus::refused, Refusal::notLocked}});
    EXPECT_EQ(listTree(temp / "w"), before);
    EXPECT_EQ(readFile(renamed), locked);
}

// What was done before the cancel is done and committed; the rest is as it was.
TEST(FileOperations, ACancelStopsBetweenTwoFilesAndKeepsWhatWasDone) {
    for (const bool lock : {true, false}) {
        SCOPED_TRACE(lock ? "lock" : "unlock");
        TempFolder temp;
        ScriptedDesktop quiet;
        std::vector<std::string> plain, paths;
        for (const char* name : {"a.txt", "b.txt", "c.txt", "d.txt"}) {
            plain.push_back(temp.write(std::string("w/") + name, name));
            if (!lock) {
                ASSERT_TRUE(lockSmallFile(plain.back(), quiet).done());
            }
            paths.push_back(lock ? plain.back() : lockedName(plain.back(), ".VKL"));
        }
        CancellingDesktop desktop(2);
        WriteBatch batch(BatchThreads::helpers);

        const RunReport report = lock ? lockFiles(paths, {}, &batch, desktop)
                                      : unlockFiles(paths, {}, &batch, desktop);

        EXPECT_TRUE(report.cancelled);
        EXPECT_EQ(report.count(ItemStatus::done), 2u);
        EXPECT_EQ(report.count(ItemStatus::notTried), 2u);
        for (size_t i = 0; i < paths.size(); ++i) {
            SCOPED_TRACE(paths[i]);
            const bool done = i < 2;
            EXPECT_EQ(report.items[i].status, done ? ItemStatus::done : ItemStatus::notTried);
            // Committed before the operation returned: nothing waits in the batch.
            EXPECT_FALSE(batch.replacing(paths[i]));
            const std::string& source = paths[i];
            const std::string made = lock ? lockedName(plain[i], ".VKL") : plain[i];
            EXPECT_EQ(fileExists(source), !done);
            EXPECT_EQ(fileExists(made), done);
        }
        EXPECT_EQ(readFile(plain[0]) == "a.txt", !lock);
    }
}

// Records the threads that wrote and named files.
class ThreadWatch final : public ForwardingFileSystem {
  public:
    IoError write(FileHandle f, const char* d, size_t n) override {
        note();
        return base().write(f, d, n);
    }
    IoError rename(const std::string& a, const std::string& b) override {
        note();
        return base().rename(a, b);
    }
    bool otherThreads() {
        std::lock_guard<std::mutex> hold(mutex_);
        return !others_.empty();
    }

  private:
    void note() {
        std::lock_guard<std::mutex> hold(mutex_);
        if (std::this_thread::get_id() != caller_) others_.insert(std::this_thread::get_id());
    }
    const std::thread::id caller_ = std::this_thread::get_id();
    std::mutex mutex_;
    std::set<std::thread::id> others_;
};

struct ThreadedRun {
    TempFolder temp;
    ScriptedDesktop desktop;
    std::vector<std::string> plain;

    ThreadedRun() {
        for (int i = 0; i < 3; ++i)
            plain.push_back(temp.write("w/f" + std::to_string(i) + ".txt", patternBytes(3000, i + 1)));
    }
    RunReport lock(BatchThreads threads) {
        LockOptions options;
        options.recordInFilesList = true;
        WriteBatch batch(threads);
        return lockFiles(plain, options, &batch, desktop);
    }
};

TEST(FileOperations, TheBatchUsesOtherThreadsOnlyWhenAskedEvenUnderATestsFileSystem) {
    for (const BatchThreads threads : {BatchThreads::helpers, BatchThreads::callerOnly}) {
        const bool helpers = threads == BatchThreads::helpers;
        SCOPED_TRACE(helpers ? "helpers" : "caller only");
        ThreadedRun run;
        // Where files are committed one by one (every volume on Windows) no batch helps.
        const bool batched = WriteBatch(threads).accepts(run.temp / "w");
        ThreadWatch watch;
        {
            FileSystemOverride use(watch);
            EXPECT_TRUE(run.lock(threads).complete());
        }
        EXPECT_EQ(watch.otherThreads(), helpers && batched);
    }
}

// With the writer thread on, a fault at any call of the run loses nothing:
// each file is plain and whole, or locked, listed and gone; the result names
// every file that failed, with the error.
TEST(FileOperations, WithTheWriterThreadOnAFaultAtAnyCallLosesNothing) {
    int calls = 0;
    {
        ThreadedRun run;
        FaultyFileSystem counting;
        FileSystemOverride use(counting);
        ASSERT_TRUE(run.lock(BatchThreads::helpers).complete());
        calls = counting.calls();
    }
    int failedRuns = 0;
    for (int n = 1; n <= calls; ++n) {
        SCOPED_TRACE(testing::Message() << "fault at call " << n);
        ThreadedRun run;
        FaultyFileSystem faulty;
        faulty.failAt(n, IoError::noSpace);
        RunReport report;
        {
            FileSystemOverride use(faulty);
            report = run.lock(BatchThreads::helpers);
        }
        SCOPED_TRACE(faulty.log()[n - 1]);
        failedRuns += report.count(ItemStatus::failed) > 0;
        const std::string listed = readFile(applicationFile("files"));
        for (size_t i = 0; i < run.plain.size(); ++i) {
            const ItemResult& item = report.items[i];
            SCOPED_TRACE(item.path);
            const std::string locked = lockedName(run.plain[i], ".VKL");
            // A locked file that could not be read back after the run is
            // not called done, though it holds the content.
            const bool unconfirmed = item.file.problem == FileProblem::lockedFileGone ||
                                     item.file.problem == FileProblem::notKeptHidden;
            if (item.status == ItemStatus::done || unconfirmed) {
                EXPECT_FALSE(fileExists(run.plain[i]));
                EXPECT_TRUE(unlockedContent(locked, run.temp) == patternBytes(3000, i + 1));
                EXPECT_NE(listed.find(locked + "\r\n"), std::string::npos);
            } else {
                EXPECT_TRUE(readFile(run.plain[i]) == patternBytes(3000, i + 1));
                EXPECT_FALSE(fileExists(locked));
                // Nothing that is there passes for missing.
                EXPECT_EQ(item.status, ItemStatus::failed);
                EXPECT_EQ(item.path, run.plain[i]);
                EXPECT_EQ(item.file.error, IoError::noSpace);
            }
        }
        for (const std::string& name : namesIn(run.temp / "w"))
            EXPECT_FALSE(isTemporaryName(name)) << name;
    }
    EXPECT_GT(failedRuns, 0);
}

// The terminal's rate counts the bytes of every file a run worked through,
// done or not, and nothing for a file it passed over.
TEST(FileOperations, EachFileWorkedThroughCountsItsSize) {
    struct CountingDesktop final : ScriptedDesktop {
        uint64_t bytes = 0;
        void workedThrough(uint64_t n) override { bytes += n; }
    };
    TempFolder temp;
    const std::string small = temp.write("w/small.txt", std::string(1000, 's'));
    const std::string large = temp.write("w/large.bin", patternBytes(kLargeFileThreshold));
    const std::string taken = temp.write("w/taken.txt", "taken");
    temp.write("w/" + getFileName(lockedName(taken, ".VKL")), "in the way");
    CountingDesktop locking;
    WriteBatch batch;
    lockFiles({small, large, taken, temp / "w/gone.txt"}, LockOptions{}, &batch, locking);
    EXPECT_EQ(locking.bytes, 1000 + kLargeFileThreshold + 5);

    CountingDesktop unlocking;
    const std::string lockedSmall = lockedName(small, ".VKL");
    const uint64_t lockedSize = readFile(lockedSmall).size();
    unlockFiles({lockedSmall, taken}, UnlockOptions{}, &batch, unlocking);
    EXPECT_EQ(unlocking.bytes, lockedSize);  // taken.txt is refused: not locked
}

}  // namespace
}  // namespace vellumar::test
