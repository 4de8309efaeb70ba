// The scan as values: which names are locked folder names, a locked folder
// named as the start itself, a folder the walk cannot enter, and a cancel
// between two folders.

#include "folders/locked_item_scan.h"

#include <gtest/gtest.h>

#include <set>

#include "engine/locked_folder_name.h"
#include "engine/platform.h"
#include "engine/text_shift.h"
#include "folders/folder_operations.h"
#include "tests/support/forwarding_file_system.h"
#include "tests/support/scripted_desktop.h"
#include "tests/support/temp_folder.h"

namespace vellumar::test {
namespace {

TEST(DecodedFolderName, OnlyANameThatEncodesBackIsALockedFolderName) {
    struct Case {
        std::string name;
        std::string plain;
    } cases[] = {
        {lockedFolderName("Photos 2024"), "Photos 2024"},
        {encodeText("Photos"), "Photos"},          // the raw form of earlier versions
        {lockedFolderName("caf\xb5"), "caf\xb5"},  // UTF-8 on disk, one byte plain
        {".cache", ""},                            // decodes to a name with a quote
        {"Documents", ""},                         // decodes to control characters
        {lockedFolderName("a:b"), ""},             // no folder has such a name
        {encodeText("."), ""},
        {"", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(decodedFolderName(c.name), c.plain);
    }
}

class Scan : public ::testing::Test {
  protected:
    // T holding a.txt and sub/b.txt, locked; then the list goes.
    std::string lockTree() {
        temp.write("T/a.txt", "a");
        temp.write("T/sub/b.txt", "b");
        EXPECT_TRUE(lockFolder(temp / "T", LockFolderOptions{}, desktop).folderDone);
        return temp / lockedFolderName("T");
    }

    TempFolder temp;
    ScriptedDesktop desktop;
};

TEST_F(Scan, TheStartMayBeALockedFolder) {
    const std::string locked = lockTree();
    ScriptedDesktop scanning;
    const ScanResult scan = scanLockedItems(locked, ScanOptions{}, scanning);
    ASSERT_EQ(scan.folders.size(), 1u);
    EXPECT_EQ(scan.folders[0].path, locked);
    EXPECT_EQ(scan.folders[0].plainPath, temp / "T");
    EXPECT_EQ(scan.folders[0].lockedFiles, 2u);
    EXPECT_TRUE(scan.folders[0].listed);
    ASSERT_EQ(scan.files.size(), 2u);
    for (const ScannedFile& file : scan.files) EXPECT_TRUE(file.inLockedFolder);
    // One progress report per folder walked: the folder itself and sub.
    EXPECT_EQ(scan.foldersWalked, 2u);
    EXPECT_EQ(scanning.progressCalls, 2);
}

TEST_F(Scan, AFolderThatCannotBeEnteredIsNamedAndACancelStopsTheWalk) {
    const std::string locked = lockTree();
    struct Unlistable final : ForwardingFileSystem {
        std::string refused;
        IoError listFolder(const std::string& p, std::vector<FolderEntry>& out) override {
            if (p == refused) return IoError::accessDenied;
            return ForwardingFileSystem::listFolder(p, out);
        }
    } disk;
    disk.refused = locked + kSeparator + "sub";
    {
        FileSystemOverride use(disk);
        const ScanResult scan = scanLockedItems(temp.path(), ScanOptions{}, desktop);
        EXPECT_EQ(scan.unsearched,
                  (std::vector<UnsearchedFolder>{{disk.refused, IoError::accessDenied}}));
        EXPECT_EQ(scan.files.size(), 1u);
        EXPECT_FALSE(scan.cancelled);
    }
    struct Cancelling final : ScriptedDesktop {
        bool cancelRequested() override { return progressCalls >= 1; }
    } cancelling;
    const ScanResult cancelled = scanLockedItems(temp.path(), ScanOptions{}, cancelling);
    EXPECT_TRUE(cancelled.cancelled);
    EXPECT_EQ(cancelled.foldersWalked, 1u);
    EXPECT_TRUE(cancelled.files.empty());
}

}  // namespace
}  // namespace vellumar::test
