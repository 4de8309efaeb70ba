// The folder list files: records in order, never an empty one, never lost.

#include "folders/folder_lists.h"

#include <gtest/gtest.h>

#include "engine/platform/platform.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/temp_folder.h"

namespace vellumar {
namespace {

using Lines = std::vector<std::string>;

TEST(FolderLists, RecordsAreAppendedInOrderAndListedUpToTheFirstEmptyLine) {
    test::TempFolder temp;
    Lines records;
    EXPECT_EQ(readFolderRecords(records), IoError::notFound);
    EXPECT_EQ(ensureFolderList(), IoError::ok);
    EXPECT_EQ(test::readFile(applicationFile("folders")), "");
    EXPECT_EQ(appendFolderRecord("/w/A"), IoError::ok);
    EXPECT_EQ(appendFolderRecord(""), IoError::other);
    EXPECT_EQ(appendFolderRecord("/w/B"), IoError::ok);
    EXPECT_EQ(test::readFile(applicationFile("folders")), "/w/A\r\n/w/B\r\n");

    // Written by hand or by an older copy: an empty line, a last line without its end.
    temp.write("home/folders", "/w/A\r\n\r\n/w/B\r\n/w/C");
    EXPECT_EQ(readFolderRecords(records), IoError::ok);
    EXPECT_EQ(records, (Lines{"/w/A"}));
    EXPECT_EQ(readFolderLines(records), IoError::ok);
    EXPECT_EQ(records, (Lines{"/w/A", "", "/w/B", "/w/C"}));
    // A new record must be listed: the empty line goes.
    EXPECT_EQ(appendFolderRecord("/w/D"), IoError::ok);
    EXPECT_EQ(test::readFile(applicationFile("folders")), "/w/A\r\n/w/B\r\n/w/C\r\n/w/D\r\n");
}

// Unlocking a folder drops its record from the list as it is then, so a
// record another run added since this one read the list stays.
TEST(FolderLists, RemovingARecordKeepsEveryOtherLineAsItIsNow) {
    test::TempFolder temp;
    temp.write("home/folders", "/w/A\r\n/w/B\r\n/w/A\r\n");
    EXPECT_EQ(appendFolderRecord("/w/C"), IoError::ok);  // another run, meanwhile
    EXPECT_EQ(removeFolderRecord("/w/A"), IoError::ok);
    EXPECT_EQ(test::readFile(applicationFile("folders")), "/w/B\r\n/w/C\r\n");
    EXPECT_EQ(removeFolderRecord("/w/X"), IoError::ok);
    EXPECT_EQ(test::readFile(applicationFile("folders")), "/w/B\r\n/w/C\r\n");
}

// A run that could lock nothing in a folder drops the record it added (the
// last one), not one an earlier run left for the same folder.
TEST(FolderLists, RemovingTheAddedRecordDropsOnlyTheLastOne) {
    test::TempFolder temp;
    temp.write("home/folders", "/w/A\r\n/w/B\r\n/w/A\r\n/w/C\r\n");
    EXPECT_EQ(removeAddedFolderRecord("/w/A"), IoError::ok);
    EXPECT_EQ(test::readFile(applicationFile("folders")), "/w/A\r\n/w/B\r\n/w/C\r\n");
    EXPECT_EQ(removeAddedFolderRecord("/w/X"), IoError::ok);
    EXPECT_EQ(test::readFile(applicationFile("folders")), "/w/A\r\n/w/B\r\n/w/C\r\n");
}

TEST(FolderLists, AListThatCannotBeReadIsNeverReplaced) {
    test::TempFolder temp;
    temp.write("home/folders", "/w/A\r\n");
    test::FaultyFileSystem faulty;
    faulty.failAt(1, IoError::accessDenied);  // opening the list
    {
        FileSystemOverride use(faulty);
        EXPECT_EQ(appendFolderRecord("/w/B"), IoError::accessDenied);
    }
    EXPECT_EQ(test::readFile(applicationFile("folders")), "/w/A\r\n");
    EXPECT_EQ(test::listTree(temp.home()), "folders\n");
}

TEST(FolderLists, ThePendingFolderHoldsExactlyTheAcceptedFolder) {
    test::TempFolder temp;
    std::string pending = "x";
    EXPECT_EQ(readPendingFolder(pending), IoError::notFound);
    EXPECT_EQ(pending, "");
    EXPECT_EQ(writePendingFolder("/w/Refused"), IoError::ok);
    EXPECT_EQ(writePendingFolder("/w/Reports"), IoError::ok);
    EXPECT_EQ(test::readFile(applicationFile("encfile")), "/w/Reports\r\n");
    EXPECT_EQ(readPendingFolder(pending), IoError::ok);
    EXPECT_EQ(pending, "/w/Reports");
    deletePendingFolder();
    EXPECT_EQ(test::listTree(temp.home()), "");
}

}  // namespace
}  // namespace vellumar
