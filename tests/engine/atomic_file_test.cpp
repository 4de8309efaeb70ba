#include "engine/atomic_file.h"

#include <gtest/gtest.h>

#include "engine/names.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/file_attributes.h"
#include "tests/support/temp_folder.h"

namespace vellumar {
namespace {

TEST(AtomicFile, CommitGivesTheFinalNameAndLeavesNoTemporary) {
    test::TempFolder temp;
    std::string target = temp / "out.txt";
    {
        AtomicFile file(target);
        ASSERT_EQ(file.open(), IoError::ok);
        EXPECT_TRUE(IsTemporaryName(GetFileName(file.temporaryPath())));
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
        // Before the rename the old list stands; after it, the new one.
        EXPECT_TRUE(content == "old" || (content == "new" && faulty.log()[n - 1] == "flushFolder"))
            << "call " << n << " " << faulty.log()[n - 1];
        EXPECT_EQ(test::listTree(temp.path()), "home\nlist\n") << "call " << n;
        temp.write("list", "old");
    }
}

}  // namespace
}  // namespace vellumar
