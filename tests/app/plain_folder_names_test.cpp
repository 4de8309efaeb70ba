// What the window shows of paths and messages that hold a locked folder's
// name: its plain name, said to be locked.

#include "app/plain_folder_names.h"

#include <gtest/gtest.h>

#include "engine/formats/locked_folder_name.h"
#include "engine/platform/platform.h"
#include "engine/formats/text_shift.h"
#include "tests/support/temp_folder.h"

namespace vellumar::test {
namespace {

TEST(PlainFolderNames, ALockedFolderIsShownByItsPlainName) {
    const std::string sep(1, kSeparator);
    const std::string parent = sep + "D" + sep;
    const std::string locked = parent + lockedFolderName("Reports");
    const std::string raw = parent + encodeText("Reports");
    const std::string shown = parent + "Reports (locked)";
    const std::vector<std::string> records = {parent + "Other", parent + "Reports"};
    struct Case {
        std::string text, expected;
    } cases[] = {
        {locked, shown},
        {locked + sep + "a.txt", shown + sep + "a.txt"},
        {raw + sep + "a.txt", shown + sep + "a.txt"},  // the name earlier versions gave
        {"The folder " + locked + " could not be searched: denied.",
         "The folder " + shown + " could not be searched: denied."},
        {locked + ": permission denied\r\n" + locked + sep + "b: gone",
         shown + ": permission denied\r\n" + shown + sep + "b: gone"},
        // Only a whole name: a longer one that begins the same stays as it is.
        {locked + "x" + sep + "a.txt", locked + "x" + sep + "a.txt"},
        // A folder that is not listed, or a plain path, is left alone.
        {parent + lockedFolderName("Elsewhere") + sep + "a",
         parent + lockedFolderName("Elsewhere") + sep + "a"},
        {parent + "Reports" + sep + "a.txt", parent + "Reports" + sep + "a.txt"},
        {"", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(withPlainFolderNames(c.text, records), c.expected);
    }
}

TEST(PlainFolderNames, TheRecordsAreReadFromTheListOfEncryptedFolders) {
    TempFolder temp;
    const std::string locked = temp / lockedFolderName("Vault");
    EXPECT_EQ(withPlainFolderNames(locked), locked);  // no list: as it is
    temp.write("home/folders", temp / "Vault" + "\r\n");
    EXPECT_EQ(withPlainFolderNames(locked + kSeparator + "v.txt"),
              temp / "Vault (locked)" + kSeparator + "v.txt");
}

}  // namespace
}  // namespace vellumar::test
