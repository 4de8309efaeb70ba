// Each cause a file system gives for a file that did not get there, named
// truly in both front ends: the command line's "PATH: cause" line and the
// window's words. Nothing of the file is lost in any of them.

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "app/file_messages.h"
#include "app/file_run_messages.h"
#include "cli/item_lines.h"
#include "engine/sealing/age_keys.h"
#include "engine/formats/large_file.h"
#include "engine/formats/locked_header.h"
#include "engine/platform/paths.h"
#include "engine/formats/small_file.h"
#include "engine/runs/write_batch.h"
#include "locking/file_operations.h"
#include "locking/sealing_keys.h"
#include "tests/engine/formats/lock_fixture.h"
#include "tests/support/forwarding_file_system.h"
#include "tests/support/scripted_desktop.h"
#include "tests/support/temp_folder.h"

namespace vellumar::test {
namespace {

const Shown kNotAllLocked{
    "All files have not been locked.\r\nAn error occured while doing so.\r\n"
    "Make sure that the file is not in use.",
    Icon::none, "Vellumar"};

// A file system with one fault, set by the case: a rename that fails, a
// volume that takes Windows' names only, a source that grows while it is
// read, or a locked file that changes between the two passes of its unlock.
class OneFault final : public ForwardingFileSystem {
  public:
    IoError renameFails = IoError::ok;
    bool windowsNames = false;
    std::string grows;    // appended to on its first read
    std::string changes;  // its marker spoilt when it is opened after a new file was made

    IoError rename(const std::string& a, const std::string& b) override {
        return renameFails != IoError::ok ? renameFails : base().rename(a, b);
    }
    bool takesWindowsNamesOnly(const std::string&) override { return windowsNames; }
    IoError openRead(const std::string& p, FileHandle& out) override {
        if (p == changes && madeNewFile_) {
            std::fstream file(p, std::ios::in | std::ios::out | std::ios::binary);
            file.seekp(kSecretMarker.size());
            file.put('?');
        }
        IoError e = base().openRead(p, out);
        if (e == IoError::ok && p == grows) growing_ = out;
        return e;
    }
    IoError createNew(const std::string& p, FileHandle& out) override {
        madeNewFile_ = true;
        return base().createNew(p, out);
    }
    IoError createTemporary(const std::string& p, const std::string& mark,
                            FileHandle& out) override {
        madeNewFile_ = true;
        return base().createTemporary(p, mark, out);
    }
    IoError read(FileHandle f, char* b, size_t n, size_t& got) override {
        grow(f);
        return base().read(f, b, n, got);
    }
    IoError copy(FileHandle from, FileHandle to, uint64_t n) override {
        grow(from);
        return base().copy(from, to, n);
    }

  private:
    void grow(FileHandle f) {
        if (f != growing_) return;
        growing_ = kNoFile;
        std::ofstream(grows, std::ios::binary | std::ios::app) << "and a line more";
    }
    FileHandle growing_ = kNoFile;
    bool madeNewFile_ = false;
};

class FailureCauses : public ::testing::Test {
  protected:
    FailureCauses() { keys.add(AgeIdentity::generate()); }

    TempFolder temp;
    SealingKeys keys;
};

TEST_F(FailureCauses, EachCauseIsNamedTrulyInBothFrontEnds) {
    const std::string small = patternBytes(100);
    const std::string large = patternBytes(kLargeFileThreshold + 1);
    const std::string inPieces = patternBytes(kSmallFileInMemoryLimit * 3 / 4 + 10000);
    struct Case {
        const char* name;
        const char* file;
        const std::string& content;
        std::function<void(OneFault&, const std::string& path)> fault;
        enum { lock, seal, unlock } run = lock;
        // The cause both front ends name; null where the window has a
        // message of its own for it.
        const char* cause;
    } cases[] = {
        {"a name the file system refuses", "w/report.txt", small,
         [](OneFault& fs, const std::string&) { fs.renameFails = IoError::nameNotAllowed; },
         Case::lock, "the file system does not allow this name"},
        {"no rename that cannot replace", "w/report.txt", small,
         [](OneFault& fs, const std::string&) {
             fs.renameFails = IoError::cannotRenameWithoutReplacing;
         },
         Case::lock, "the file system cannot do the rename without replacing"},
        // "pba.abc" is locked as "con.noc.VKL", the console's name on Windows.
        {"a locked name the volume's rules refuse", "w/pba.abc", small,
         [](OneFault& fs, const std::string&) { fs.windowsNames = true; }, Case::lock,
         "the file system does not allow this name"},
#ifndef _WIN32
        // (Windows lets no other program write a file while it is read.)
        {"a large file that grew while it was locked", "w/log.txt", large,
         [](OneFault& fs, const std::string& path) { fs.grows = path; }, Case::lock, nullptr},
        {"a file that grew while it was sealed", "w/log.txt", small,
         [](OneFault& fs, const std::string& path) { fs.grows = path; }, Case::seal, nullptr},
#endif
        {"a locked file that changed while it was unlocked in pieces", "w/report.txt", inPieces,
         [](OneFault& fs, const std::string& path) { fs.changes = path; }, Case::unlock, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder here;
        std::string path = here.write(c.file, c.content);
        if (c.run == Case::unlock) {
            ScriptedDesktop quiet;
            ASSERT_TRUE(lockSmallShown(path, quiet));
            path = lockedName(path, ".VKL");
        }
        const std::string before = readFile(path);
        OneFault fs;
        c.fault(fs, path);
        ScriptedDesktop desktop;
        RunReport report;
        {
            FileSystemOverride use(fs);
            WriteBatch batch(BatchThreads::callerOnly);
            const AgeRecipient recipient = keys.recipient();
            if (c.run == Case::unlock) {
                report = unlockFiles({path}, UnlockOptions{}, &batch, desktop);
            } else {
                LockOptions options;
                if (c.run == Case::seal) options.sealFor = &recipient;
                report = lockFiles({path}, options, &batch, desktop);
            }
        }
        ASSERT_EQ(report.items.size(), 1u);
        EXPECT_EQ(report.items[0].status, ItemStatus::failed);
        const bool locking = c.run != Case::unlock;
        const std::string cause =
            c.cause ? c.cause
                    : std::string("it changed while it was being ") +
                          (locking ? "locked" : "unlocked") + ", and was kept as it is";
        EXPECT_EQ(itemLines(report, locking), std::vector<std::string>{path + ": " + cause});

        ScriptedDesktop window;
        if (locking)
            showLockRun(report, window);
        else
            showUnlockRun(report, window);
        std::vector<Shown> words;
        if (c.cause)
            words.push_back({path + ": " + c.cause, Icon::critical, "Vellumar"});
        else
            words.push_back({changedDuringRunText(path, locking), Icon::exclamation,
                             kChangedDuringRunTitle});
        if (locking) words.push_back(kNotAllLocked);
        EXPECT_EQ(window.messages, words);

        // The file stands as it was (a grown one with what was added), alone.
        EXPECT_EQ(namesIn(here / "w"), std::vector<std::string>{getFileName(path)});
        if (c.run != Case::unlock) {
            const std::string expected = fs.grows.empty() ? before : before + "and a line more";
            EXPECT_TRUE(readFile(path) == expected);
        }
    }
}

// A file refused for a locked name that differs only in case from another
// name of its folder is told with that name, in the words of each front end.
TEST_F(FailureCauses, ACaseTwinIsRefusedNamingTheOtherName) {
    const std::string notes = temp.write("w/notes.txt", "notes");
    temp.write("w/ABGRF.GKT.VKL", "not ours");
    ScriptedDesktop desktop;
    WriteBatch batch(BatchThreads::callerOnly);
    const RunReport report = lockFiles({notes}, LockOptions{}, &batch, desktop);

    const std::string cause = "a locked file's name would differ only in case from "
                              "ABGRF.GKT.VKL, which Windows cannot tell apart";
    EXPECT_EQ(itemLines(report, true), std::vector<std::string>{notes + ": refused: " + cause});
    EXPECT_EQ(summaryLine(report, true), "Not every file was done: 0 locked, 1 refused.");
    ScriptedDesktop window;
    showLockRun(report, window);
    EXPECT_EQ(window.messages, (std::vector<Shown>{{notes + " can not be locked: " + cause + ".",
                                                    Icon::information, "Vellumar"}}));
    EXPECT_EQ(readFile(notes), "notes");
}

}  // namespace
}  // namespace vellumar::test
