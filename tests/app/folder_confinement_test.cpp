// A folder run stays inside its folder: a subfolder swapped for a link to
// another folder after the walk, before its files are reached, leads nowhere.
// The other folder's files stay as they were, and the files the run could not
// reach count as failed.
#ifndef _WIN32

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <utility>

#include "engine/formats/locked_folder_name.h"
#include "engine/platform/paths.h"
#include "app/run_button.h"
#include "app/encrypted_folders.h"
#include "app/folder_chooser.h"
#include "folders/folder_lists.h"
#include "app/file_run_handlers.h"
#include "tests/locking/run_fixture.h"
#include "tests/support/forwarding_file_system.h"

namespace vellumar::test {
namespace {

// Runs `onFirstRow` when the run reports its first row: after the walk,
// before any file is touched.
class SwappingDesktop : public ScriptedDesktop {
  public:
    void progress(uint64_t done, uint64_t total, const std::string& current) override {
        ScriptedDesktop::progress(done, total, current);
        if (done == 0 && !current.empty() && onFirstRow) std::exchange(onFirstRow, nullptr)();
    }
    std::function<void()> onFirstRow;
};

class SwappedFolder : public Runs {
  protected:
    SwappedFolder() {
        temp.write("T/top.txt", "top");
        temp.write("T/sub/in.txt", "inner");
        temp.write("T/sub/deep/d.txt", "deep");
    }
    FolderRunResult encrypt(const std::string& folder) {
        model = WindowModel();
        openTargetPage(model, Option::OptEncFolder);
        swapping.folderAnswers.push_back(folder);
        Folder_Encrypt(model, swapping);
        EXPECT_TRUE(model.runButtonEnabled);
        return cmdEncDec_Click(model, swapping);
    }
    FolderRunResult decrypt(const std::string& folder) {
        model = WindowModel();
        openTargetPage(model, Option::OptDecFolder);
        EncryptedFolders window(model, swapping);
        window.Form_Load();
        for (ListRow& row : window.lstDecrypt) row.checked = row.path == folder;
        window.cmdDecrypt_Click();
        EXPECT_TRUE(model.runButtonEnabled);
        return cmdEncDec_Click(model, swapping);
    }
    // What someone who can write in the folder does while the run starts.
    void swapAtFirstRow(const std::string& folder) {
        swapping.onFirstRow = [this, folder] {
            std::filesystem::rename(folder, temp / "aside");
            std::filesystem::create_directory_symlink(temp / "O", folder);
        };
    }
    bool shown(const std::string& path) const {
        const Shown expected{path + ": a link on its path leads out of the folder", Icon::critical,
                             "Vellumar"};
        return std::count(swapping.messages.begin(), swapping.messages.end(), expected) == 1;
    }

    SwappingDesktop swapping;
};

TEST_F(SwappedFolder, LockingNeverReachesTheFolderALinkNames) {
    temp.write("O/in.txt", "outside");
    temp.write("O/deep/d.txt", "outside deep");
    const std::string outside = listTree(temp / "O");
    swapAtFirstRow(temp / "T/sub");

    const FolderRunResult outcome = encrypt(temp / "T");
    EXPECT_EQ(listTree(temp / "O"), outside);
    EXPECT_EQ(readFile(temp / "O/in.txt"), "outside");
    EXPECT_EQ(readFile(temp / "O/deep/d.txt"), "outside deep");
    EXPECT_EQ(attributesOf(temp / "O/in.txt") & kAttrReadOnly, 0u);
    EXPECT_EQ(readFile(temp / "aside/in.txt"), "inner");
    EXPECT_EQ(outcome.files.items.size(), 3u);
    EXPECT_EQ(outcome.files.count(ItemStatus::done), 1u);
    EXPECT_EQ(outcome.files.count(ItemStatus::failed), 2u);
    EXPECT_FALSE(outcome.files.complete());
    EXPECT_TRUE(shown(temp / "T/sub/in.txt"));
    EXPECT_TRUE(shown(temp / "T/sub/deep/d.txt"));
}

// Swapped between the walk's look at the subfolder and its listing.
TEST_F(SwappedFolder, TheWalkNeverListsTheFolderALinkNames) {
    temp.write("O/only-outside.txt", "outside");
    struct SwapAtListing : ForwardingFileSystem {
        std::string sub, aside, outside;
        bool swapped = false;
        IoError listFolder(const std::string& p, std::vector<FolderEntry>& out) override {
            if (p == sub && !swapped) {
                swapped = true;
                std::filesystem::rename(sub, aside);
                std::filesystem::create_directory_symlink(outside, sub);
            }
            return ForwardingFileSystem::listFolder(p, out);
        }
    } fs;
    fs.sub = temp / "T/sub";
    fs.aside = temp / "aside";
    fs.outside = temp / "O";
    const FileSystemOverride swapped(fs);
    openTargetPage(model, Option::OptEncFolder);
    swapping.folderAnswers.push_back(temp / "T");
    Folder_Encrypt(model, swapping);
    ASSERT_TRUE(fs.swapped);
    std::vector<std::string> found;
    for (const ListRow& row : model.foundFiles) found.push_back(row.path);
    EXPECT_EQ(found, std::vector<std::string>{temp / "T/top.txt"});
}

TEST_F(SwappedFolder, UnlockingNeverReachesTheFolderALinkNames) {
    const std::string plain = temp / "T";
    ASSERT_TRUE(encrypt(plain).files.complete());
    const std::string locked = temp / lockedFolderName("T");
    // A file locked elsewhere, named as the run's row is.
    lockedFile("O/in.txt", "outside");
    const std::string outside = listTree(temp / "O");
    swapAtFirstRow(locked + "/sub");

    const FolderRunResult outcome = decrypt(plain);
    EXPECT_EQ(listTree(temp / "O"), outside);
    EXPECT_EQ(readFile(temp / "O/in.txt"), "<missing>");
    EXPECT_EQ(outcome.files.count(ItemStatus::failed), 2u);
    EXPECT_FALSE(outcome.files.complete());
    EXPECT_FALSE(outcome.folderDone);
    EXPECT_TRUE(shown(lockedName(locked + "/sub/in.txt", ".VKL")));
    EXPECT_TRUE(shown(lockedName(locked + "/sub/deep/d.txt", ".VKL")));
    // Still listed, so that it can be chosen again.
    std::vector<std::string> lines;
    readFolderLines(lines);
    EXPECT_EQ(lines, std::vector<std::string>{plain});
}

}  // namespace
}  // namespace vellumar::test

#endif
