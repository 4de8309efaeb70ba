#include "engine/atomic_file.h"

#include <gtest/gtest.h>



#include "engine/names.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/file_attributes.h"
#include "tests/support/forwarding_file_system.h"
#include "tests/engine/lock_fixture.h"
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
