// The folders' ".hidden" lists through the file runs: a locked file's name
// is listed once its file is committed, and taken out when it is unlocked;
// the person's own lines stay; each list is rewritten once per commit; a
// list that cannot be rewritten leaves the file done; the list itself is
// never a file to lock or unlock.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "engine/lists/hidden_list.h"
#include "engine/platform/media_volume.h"
#include "engine/runs/write_batch.h"
#include "locking/file_box.h"
#include "locking/file_operations.h"
#include "tests/engine/formats/lock_fixture.h"
#include "tests/support/forwarding_file_system.h"

namespace vellumar::test {
namespace {

RunReport lockAll(const std::vector<std::string>& paths, bool batched, Desktop& desktop) {
    WriteBatch batch;
    return lockFiles(paths, LockOptions{}, batched ? &batch : nullptr, desktop);
}

RunReport unlockAll(const std::vector<std::string>& paths, bool batched, Desktop& desktop) {
    WriteBatch batch;
    return unlockFiles(paths, UnlockOptions{}, batched ? &batch : nullptr, desktop);
}

#ifndef _WIN32

// Counts how often each folder's list takes its new content (by a rename
// of a new list, or a replace of the old one).
class ListWrites final : public ForwardingFileSystem {
  public:
    std::map<std::string, int> writes;
    IoError rename(const std::string& a, const std::string& b) override {
        count(b);
        return ForwardingFileSystem::rename(a, b);
    }
    IoError replace(const std::string& a, const std::string& b) override {
        count(b);
        return ForwardingFileSystem::replace(a, b);
    }

  private:
    void count(const std::string& to) {
        if (getFileName(to) == kHiddenListName) ++writes[getFolderPart(to)];
    }
};

std::string listOf(const std::string& folder) {
    return readFile(folder + "/" + kHiddenListName);
}

TEST(HiddenNames, LockedNamesAreListedOncePerFolderAndTakenOutOnUnlock) {
    for (bool batched : {false, true}) {
        SCOPED_TRACE(batched ? "batched" : "one by one");
        TempFolder temp;
        ScriptedDesktop desktop;
        temp.write("w/.hidden", "mine\r\nalso mine");  // the person's lines, kept byte for byte
        const std::vector<std::string> plain = {
            temp.write("w/a.txt", "a"), temp.write("w/b.txt", "b"), temp.write("v/c.txt", "c"),
            temp.write("v/large.bin", patternBytes(kLargeFileThreshold))};
        const std::vector<std::string> locked = {
            lockedName(plain[0], ".VKL"), lockedName(plain[1], ".VKL"),
            lockedName(plain[2], ".VKL"), lockedName(plain[3], ".VKW")};
        ListWrites counting;
        RunReport report;
        {
            FileSystemOverride use(counting);
            report = lockAll(plain, batched, desktop);
        }
        ASSERT_TRUE(report.complete());
        for (const ItemResult& item : report.items)
            EXPECT_TRUE(item.hiddenList.ok()) << hiddenListCause(item.hiddenList);
        EXPECT_EQ(listOf(temp / "w"), "mine\r\nalso mine\n" + getFileName(locked[0]) + "\n" +
                                          getFileName(locked[1]) + "\n");
        EXPECT_EQ(listOf(temp / "v"),
                  getFileName(locked[2]) + "\n" + getFileName(locked[3]) + "\n");
        // One rewrite per folder for the whole run, however many files it holds.
        EXPECT_EQ(counting.writes,
                  (std::map<std::string, int>{{temp / "w/", 1}, {temp / "v/", 1}}));

        // The list is the program's: the file box leaves it out.
        EXPECT_EQ(fileBoxNames(temp / "w"),
                  (std::vector<std::string>{getFileName(locked[0]), getFileName(locked[1])}));

        // One file unlocked first, then the rest: each takes out its own line only.
        ASSERT_TRUE(unlockAll({locked[0]}, batched, desktop).complete());
        EXPECT_EQ(listOf(temp / "w"), "mine\r\nalso mine\n" + getFileName(locked[1]) + "\n");
        counting.writes.clear();
        {
            FileSystemOverride use(counting);
            report = unlockAll({locked[1], locked[2], locked[3]}, batched, desktop);
        }
        ASSERT_TRUE(report.complete());
        EXPECT_EQ(listOf(temp / "w"), "mine\r\nalso mine\n");
        // Emptied by the program: removed.
        EXPECT_EQ(listOf(temp / "v"), "<missing>");
        EXPECT_EQ(counting.writes, (std::map<std::string, int>{{temp / "w/", 1}}));
        EXPECT_EQ(readFile(plain[3]), patternBytes(kLargeFileThreshold));
    }
}

// Locked twice, the file keeps its name through the first unlock: its line
// stays until the last layer is off.
TEST(HiddenNames, AnInnerLayerKeepsItsLine) {
    TempFolder temp;
    ScriptedDesktop desktop;
    const std::string plain = temp.write("w/a.txt", "a");
    const std::string locked = lockedName(plain, ".VKL");
    ASSERT_TRUE(lockAll({plain}, true, desktop).complete());
    ASSERT_TRUE(lockAll({locked}, true, desktop).complete());
    EXPECT_EQ(listOf(temp / "w"), getFileName(locked) + "\n");
    ASSERT_TRUE(unlockAll({locked}, true, desktop).complete());
    EXPECT_EQ(listOf(temp / "w"), getFileName(locked) + "\n");
    ASSERT_TRUE(unlockAll({locked}, true, desktop).complete());
    EXPECT_EQ(listOf(temp / "w"), "<missing>");
    EXPECT_EQ(readFile(plain), "a");
}

// The file is locked and hidden by its attribute whatever the list does:
// a list that is no plain writable file only leaves a note on the item.
TEST(HiddenNames, AListThatCannotBeRewrittenLeavesTheFileDone) {
    TempFolder temp;
    ScriptedDesktop desktop;
    temp.write("w/.hidden/inner", "a folder where the list would be");
    const std::string plain = temp.write("w/a.txt", "a");
    RunReport report = lockAll({plain}, true, desktop);
    ASSERT_EQ(report.items.size(), 1u);
    EXPECT_EQ(report.items[0].status, ItemStatus::done);
    const std::string list = temp / "w/.hidden";
    EXPECT_EQ(report.items[0].hiddenList.path, list);
    EXPECT_EQ(hiddenListCause(report.items[0].hiddenList), "it is not a regular file");
    report = unlockAll({lockedName(plain, ".VKL")}, true, desktop);
    EXPECT_EQ(report.items[0].status, ItemStatus::done);
    EXPECT_EQ(report.items[0].hiddenList.path, list);
    EXPECT_EQ(hiddenListCause(report.items[0].hiddenList), "it is not a regular file");
    EXPECT_EQ(readFile(plain), "a");
    EXPECT_EQ(readFile(temp / "w/.hidden/inner"), "a folder where the list would be");
}

#endif

// Locks nothing: no new file can be made, on a volume that cannot hide.
class CannotHideNorCreate final : public ForwardingFileSystem {
  public:
    IoError keptAttributes(const std::string&, uint32_t& out) override {
        out = kAttrReadOnly;
        return IoError::ok;
    }
    IoError createNew(const std::string&, FileHandle&) override { return IoError::accessDenied; }
};

// A volume whose file system keeps no hidden mark is named once, however
// many files the run locked there; a run that locked nothing there names
// nothing, nor does a volume that hides.
TEST(HiddenNames, AVolumeThatCannotHideIsNamedOnceForTheFilesLockedThere) {
    TempFolder temp;
    ScriptedDesktop desktop;
    for (bool batched : {false, true}) {
        SCOPED_TRACE(batched ? "batched" : "one by one");
        const std::string folder = batched ? "batched/" : "single/";
        const std::vector<std::string> files = {temp.write(folder + "w/a.txt", "a"),
                                                temp.write(folder + "v/b.txt", "b")};
        FileStatus status;
        ASSERT_EQ(platformFileSystem().status(files[0], status), IoError::ok);
        CannotHide cannotHide;
        RunReport report;
        {
            FileSystemOverride use(cannotHide);
            report = lockAll(files, batched, desktop);
        }
        ASSERT_TRUE(report.complete());
        EXPECT_EQ(report.cannotHide,
                  std::vector<std::string>{volumeName(files[0], status.volume)});
        EXPECT_EQ(unlockedContent(lockedName(files[1], ".VKL"), temp), "b");
    }
    const std::string failing = temp.write("w/c.txt", "c");
    CannotHideNorCreate nothingLocked;
    {
        FileSystemOverride use(nothingLocked);
        const RunReport report = lockAll({failing}, true, desktop);
        EXPECT_EQ(report.items[0].status, ItemStatus::failed);
        EXPECT_TRUE(report.cannotHide.empty());
    }
    uint32_t kept = 0;
    ASSERT_EQ(platformFileSystem().keptAttributes(failing, kept), IoError::ok);
    if (kept & kAttrHidden) {
        EXPECT_TRUE(lockAll({failing}, true, desktop).cannotHide.empty());
    }
    EXPECT_EQ(readFile(lockedName(failing, ".VKL")).substr(0, 8), "[Secret]");
}

// Named by hand, the list is refused as one of the program's own files,
// both ways, and stays as it was.
TEST(HiddenNames, TheListIsNeverLockedOrUnlocked) {
    TempFolder temp;
    ScriptedDesktop desktop;
    const std::string list = temp.write("w/.hidden", "mine\n");
    for (bool lock : {true, false}) {
        SCOPED_TRACE(lock ? "lock" : "unlock");
        const RunReport report =
            lock ? lockAll({list}, true, desktop) : unlockAll({list}, true, desktop);
        ASSERT_EQ(report.items.size(), 1u);
        EXPECT_EQ(report.items[0].status, ItemStatus::refused);
        EXPECT_EQ(report.items[0].refusal, Refusal::ownFile);
        EXPECT_EQ(report.items[0].ownName, ".hidden");
    }
    EXPECT_EQ(readFile(list), "mine\n");
}

}  // namespace
}  // namespace vellumar::test
