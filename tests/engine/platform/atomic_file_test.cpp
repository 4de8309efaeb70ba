#include "engine/platform/atomic_file.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <mutex>
#include <vector>
#endif

#include "engine/platform/paths.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/file_attributes.h"
#include "tests/support/forwarding_file_system.h"
#include "tests/engine/formats/lock_fixture.h"
#include "tests/support/temp_folder.h"

namespace vellumar {
namespace {

TEST(AtomicFile, CommitGivesTheFinalNameAndLeavesNoTemporary) {
    test::TempFolder temp;
    std::string target = temp / "out.txt";
    {
        AtomicFile file(target);
        ASSERT_EQ(file.open(), IoError::ok);
        EXPECT_TRUE(isTemporaryName(getFileName(file.temporaryPath())));
        ASSERT_EQ(file.write("hello"), IoError::ok);
        file.setAttributes(kAttrReadOnly | kAttrHidden);
        ASSERT_EQ(file.commit(), IoError::ok);
    }
    EXPECT_EQ(test::readFile(target), "hello");
    uint32_t attributes = 0;
    fileSystem().getAttributes(target, attributes);
    EXPECT_EQ(attributes, test::fileAttributesAfterSetting(kAttrReadOnly | kAttrHidden));
    EXPECT_EQ(test::listTree(temp.path()), "home\nout.txt\n");
}

TEST(AtomicFile, AnUncommittedFileLeavesNothingBehind) {
    test::TempFolder temp;
    {
        AtomicFile file(temp / "out.txt");
        ASSERT_EQ(file.open(), IoError::ok);
        file.write("partial");
    }
    EXPECT_EQ(test::listTree(temp.path()), "home\n");
}

TEST(AtomicFile, KeepExistingRefusesWhileReplaceExistingSwapsTheContent) {
    test::TempFolder temp;
    std::string target = temp.write("list", "old");
    {
        AtomicFile file(target);
        ASSERT_EQ(file.open(), IoError::ok);
        file.write("new");
        EXPECT_EQ(file.commit(), IoError::exists);
    }
    EXPECT_EQ(test::readFile(target), "old");
    EXPECT_EQ(test::listTree(temp.path()), "home\nlist\n");
    {
        AtomicFile file(target, AtomicFile::Mode::replaceExisting);
        ASSERT_EQ(file.open(), IoError::ok);
        file.write("new");
        EXPECT_EQ(file.commit(), IoError::ok);
    }
    EXPECT_EQ(test::readFile(target), "new");
}

TEST(AtomicFile, AFailureAtAnyCallKeepsTheOldFileAndRemovesTheTemporary) {
    test::TempFolder temp;
    std::string target = temp.write("list", "old");
    for (int n = 1;; ++n) {
        test::FaultyFileSystem faulty;
        faulty.failAt(n);
        IoError result;
        {
            FileSystemOverride use(faulty);
            AtomicFile file(target, AtomicFile::Mode::replaceExisting);
            result = file.open();
            if (result == IoError::ok) result = file.write("new");
            if (result == IoError::ok) result = file.commit();
        }
        if (!faulty.triggered()) break;
        std::string content = test::readFile(target);
        // Before the rename the old list stands; after it (the mark dropped,
        // the folder flushed), the new one.
        const std::string call = faulty.log()[n - 1];
        EXPECT_TRUE(content == "old" ||
                    (content == "new" && (call == "flushFolder" || call == "unmarkTemporary")))
            << "call " << n << " " << faulty.log()[n - 1];
        EXPECT_EQ(test::listTree(temp.path()), "home\nlist\n") << "call " << n;
        temp.write("list", "old");
    }
}

// A file system that keeps no marks on temporaries.
class Unmarked final : public test::ForwardingFileSystem {
  public:
    IoError markTemporary(FileHandle, const std::string&) override { return IoError::unsupported; }
};

bool marksTemporaries(const test::TempFolder& temp) {
    AtomicFile probe(temp / "probe");
    std::string mark;
    return probe.open() == IoError::ok &&
           fileSystem().temporaryMark(probe.temporaryPath(), mark) == IoError::ok && !mark.empty();
}

#ifndef _WIN32
// Only a temporary that carries this writer's mark is ours: one still being
// written is its writer's, one left by a crash may go. A person's file with a
// name like ours, or a leftover that could not be marked, is nobody's
// temporary.
TEST(Temporaries, OnlyAMarkedTemporaryIsOurs) {
    test::TempFolder temp;
    if (!marksTemporaries(temp)) GTEST_SKIP() << "this file system keeps no marks";

    AtomicFile writing(temp / "a.txt");
    ASSERT_EQ(writing.open(), IoError::ok);
    EXPECT_EQ(temporaryOwner(writing.temporaryPath()), TemporaryOwner::running);

    const std::string leftover = test::crashLeftover(temp / "b.txt");
    ASSERT_FALSE(leftover.empty());
    EXPECT_EQ(temporaryOwner(leftover), TemporaryOwner::ended);

    // Named by the writer that ended: a person's file with such a name, and
    // a leftover renamed (its mark names another file), are nobody's.
    const std::string name = getFileName(leftover);
    const std::string ended = name.substr(0, name.find('-', std::string(kTemporaryPrefix).size()));
    const std::string persons = temp.write(ended + "-1-1.tmp", "mine");
    EXPECT_EQ(temporaryOwner(persons), TemporaryOwner::none);
    const std::string renamed = temp / (ended + "-2-2.tmp");
    ASSERT_EQ(fileSystem().rename(leftover, renamed), IoError::ok);
    EXPECT_EQ(temporaryOwner(renamed), TemporaryOwner::none);

    test::TempFolder plain;
    std::string unmarked;
    {
        Unmarked fs;
        FileSystemOverride use(fs);
        unmarked = test::crashLeftover(plain / "c.txt");
    }
    ASSERT_FALSE(unmarked.empty());
    EXPECT_EQ(temporaryOwner(unmarked), TemporaryOwner::none);
}
#endif

#ifndef _WIN32
// Notes the mode of every temporary as each write reaches it.
class ModeAtWrite final : public test::ForwardingFileSystem {
  public:
    IoError write(FileHandle f, const char* d, size_t n) override {
        note(f);
        return ForwardingFileSystem::write(f, d, n);
    }
    IoError copy(FileHandle from, FileHandle to, uint64_t n) override {
        note(to);
        return ForwardingFileSystem::copy(from, to, n);
    }
    std::vector<unsigned> modes() {
        std::lock_guard<std::mutex> hold(mutex_);
        return modes_;
    }

  private:
    void note(FileHandle f) {
        const int fd = static_cast<int>(f);
        char target[PATH_MAX];
        const std::string link = "/proc/self/fd/" + std::to_string(fd);
        const ssize_t length = ::readlink(link.c_str(), target, sizeof target - 1);
        struct stat st {};
        if (length <= 0 || ::fstat(fd, &st) != 0) return;
        if (!isTemporaryName(getFileName(std::string(target, static_cast<size_t>(length)))))
            return;
        std::lock_guard<std::mutex> hold(mutex_);
        modes_.push_back(st.st_mode & 07777);
    }
    std::mutex mutex_;
    std::vector<unsigned> modes_;
};

unsigned modeOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
}

// Nobody else can read a new file while its content is being written (plain
// content, on an unlock): it takes its final permissions only once complete.
TEST(AtomicFile, ATemporaryIsPrivateWhileWrittenAndThenTakesItsPermissions) {
    for (const test::FormatRun& c : test::kFormatRuns) {
        SCOPED_TRACE(c.name);
        test::TempFolder temp;
        const std::string content = test::patternBytes(c.length, 3);
        const std::string plain = temp.write("report.txt", content);
        ASSERT_EQ(::chmod(plain.c_str(), 0644), 0);
        test::ScriptedDesktop desktop;
        ModeAtWrite observed;
        FileSystemOverride use(observed);

        const FileResult locked = c.lock(plain, desktop, {});
        ASSERT_TRUE(locked.done()) << static_cast<int>(locked.problem);
        EXPECT_EQ(modeOf(locked.output), 0444u);  // read-only: the write bits go
        const FileResult unlocked = c.unlock(locked.output, desktop, {});
        ASSERT_TRUE(unlocked.done()) << static_cast<int>(unlocked.problem);
        EXPECT_EQ(modeOf(plain), 0644u);
        EXPECT_EQ(test::readFile(plain), content);

        const std::vector<unsigned> modes = observed.modes();
        ASSERT_FALSE(modes.empty());
        for (unsigned mode : modes) EXPECT_EQ(mode, 0600u);
    }

    // A new file standing in for none, committed or handed to a batch.
    for (const bool handedOver : {false, true}) {
        SCOPED_TRACE(handedOver ? "handed over" : "committed");
        test::TempFolder temp;
        ModeAtWrite observed;
        std::string written;
        {
            FileSystemOverride use(observed);
            AtomicFile file(temp / "new.txt");
            file.openToOthersAsNew();
            ASSERT_EQ(file.open(), IoError::ok);
            ASSERT_EQ(file.write("plain"), IoError::ok);
            ASSERT_EQ(handedOver ? file.handOver(written) : file.commit(), IoError::ok);
            if (!handedOver) written = temp / "new.txt";
        }
        const mode_t mask = ::umask(022);
        ::umask(mask);
        EXPECT_EQ(modeOf(written), 0666u & ~mask);
        EXPECT_EQ(observed.modes(), std::vector<unsigned>{0600u});
    }
}
#endif

// A read-only one too (a locked file): the mark would travel with its copies.
TEST(Temporaries, AFileLosesTheMarkWithItsFinalName) {
    test::TempFolder temp;
    if (!marksTemporaries(temp)) GTEST_SKIP() << "this file system keeps no marks";
    for (const uint32_t attributes : std::initializer_list<uint32_t>{
             kAttrNormal, kAttrHidden, kAttrReadOnly, kAttrReadOnly | kAttrHidden}) {
        const std::string target = temp / ("out" + std::to_string(attributes));
        AtomicFile file(target);
        ASSERT_EQ(file.open(), IoError::ok);
        file.setAttributes(attributes);
        ASSERT_EQ(file.commit(), IoError::ok);
        std::string mark = "?";
        EXPECT_EQ(fileSystem().temporaryMark(target, mark), IoError::ok);
        EXPECT_EQ(mark, "");
        uint32_t now = 0;
        EXPECT_EQ(fileSystem().getAttributes(target, now), IoError::ok);
        EXPECT_EQ(now, attributes);
    }
}

}  // namespace
}  // namespace vellumar
