// The hidden file search: the order of the results, the target list that
// the two writers leave, the start folder, and a walk that never leaves the
// chosen folder.

#include "app/file_search.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>

#ifdef _WIN32
#include <process.h>
#define getpid _getpid
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "engine/platform/atomic_file.h"
#include "engine/platform/file_system.h"
#include "engine/platform/paths.h"
#include "engine/platform/platform.h"
#include "engine/formats/text_shift.h"
#include "locking/file_box.h"
#include "app/file_run_handlers.h"
#include "tests/engine/formats/lock_fixture.h"
#include "tests/support/forwarding_file_system.h"
#include "tests/app/target_page.h"
#include "tests/support/scripted_desktop.h"
#include "tests/support/temp_folder.h"

namespace vellumar::test {
namespace {

ListRow row(const std::string& path) {
    ListRow result;
    result.text = result.path = path;
    return result;
}

std::vector<std::string> texts(const std::vector<ListRow>& rows) {
    std::vector<std::string> result;
    for (const ListRow& r : rows) result.push_back(r.text);
    return result;
}

class Search : public ::testing::Test {
  protected:
    void SetUp() override {
        // Stands in for the rebuild of the target list from the file box's folder.
        model.fileBoxPathChanged = [this] {
            rebuilds.push_back(model.filFilesPath);
            model.targetList = {row("rebuilt " + model.filFilesPath)};
        };
    }
    // Starts the search as the folder chooser does: the folder as the only row.
    void searchFrom(const std::string& folder) {
        model.targetList = {row(folder)};
        search.cmdSearch_Click();
    }
    // S holding s1, A (a1) and B (b1, and B2 holding x).
    std::string makeTree() {
        for (const char* file : {"S/s1", "S/A/a1", "S/B/b1", "S/B/B2/x"}) temp.write(file, "x");
        return temp / "S";
    }
    std::vector<std::string> paths(const std::vector<std::string>& relative) const {
        std::vector<std::string> result;
        for (const std::string& r : relative) result.push_back(temp / r);
        return result;
    }

    TempFolder temp;
    ScriptedDesktop desktop;
    WindowModel model;
    FileSearch search{model, desktop};
    std::vector<std::string> rebuilds;
};

TEST_F(Search, WalksDepthFirstLastSubfolderFirstAndEachFoldersFilesLast) {
    const std::string start = makeTree();
    // Hidden files are found (locked files are hidden), and system files: a
    // folder run must not leave a file plain because a client marked it.
    temp.write("S/A/a2", "x");
    ASSERT_EQ(fileSystem().setAttributes(temp / "S/A/a2", kAttrHidden), IoError::ok);
    temp.write("S/A/a3", "x");
    fileSystem().setAttributes(temp / "S/A/a3", kAttrSystem);
    const std::vector<std::string> expected = {"S/B/B2/x", "S/B/b1", "S/A/a1",
                                               "S/A/a2",   "S/A/a3", "S/s1"};

    searchFrom(start);

    EXPECT_EQ(texts(model.foundFiles), paths(expected));
    for (const ListRow& found : model.foundFiles) EXPECT_EQ(found, row(found.text));
    // The start folder holds a file: the copy of the results is written last.
    EXPECT_EQ(model.targetList, model.foundFiles);
    EXPECT_EQ(rebuilds, (std::vector<std::string>{start, start}));
    EXPECT_EQ(model.dirListPath, start);
    EXPECT_EQ(model.filFilesPath, start);
    EXPECT_EQ(model.searchFolderText, temp / "S/A");  // the last folder entered
    EXPECT_EQ(model.searchCount, expected.size());
    EXPECT_EQ(desktop.yields, 4);  // once per folder
}

// A process number that no running process has.
unsigned long long endedProcess() {
#ifdef _WIN32
    return 4294967292ull;  // beyond any process number Windows hands out
#else
    const pid_t child = fork();
    if (child == 0) _exit(0);
    waitpid(child, nullptr, 0);
    return static_cast<unsigned long long>(child);
#endif
}

// The program's own temporaries are never found: one still being written by
// a running program is left to it, and one left by a run that ended
// half-way (a crash) is removed. A person's file named like one of them is
// found, and a folder lock locks it like any other.
TEST_F(Search, OurTemporariesAreNotFoundButAPersonsFileNamedLikeOneIsLocked) {
    const std::string start = makeTree();
    AtomicFile writing(temp / "S/A/a2");
    ASSERT_EQ(writing.open(), IoError::ok);
#ifndef _WIN32
    const std::string leftover = crashLeftover(temp / "S/B/b2");
    ASSERT_FALSE(leftover.empty());
    std::string mark;
    fileSystem().temporaryMark(leftover, mark);
    if (mark.empty()) GTEST_SKIP() << "this file system keeps no marks on temporaries";
    fileSystem().setAttributes(leftover, kAttrReadOnly | kAttrHidden);
#endif
    const std::string ended = std::to_string(endedProcess());
    const std::vector<std::string> persons = {".tessarin-notes.tmp", ".tessarin--notes.tmp",
                                              ".tessarin-" + ended + "-x-1.tmp",
                                              ".tessarin-" + ended + "-1-0.tmp"};
    for (const std::string& name : persons) temp.write("S/" + name, "a user's file");

    searchFrom(start);

    std::vector<std::string> inS = persons;
    inS.push_back("s1");
    std::sort(inS.begin(), inS.end(), nameOrder);
    std::vector<std::string> expected = {"S/B/B2/x", "S/B/b1", "S/A/a1"};
    for (const std::string& name : inS) expected.push_back("S/" + name);
    EXPECT_EQ(texts(model.foundFiles), paths(expected));
    EXPECT_TRUE(fileExists(writing.temporaryPath()));
#ifndef _WIN32
    EXPECT_FALSE(fileExists(leftover));
#endif

    cmdLockFolder_Click(model, desktop);
    for (const std::string& name : persons) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(fileExists(temp / "S/" + name));
        EXPECT_EQ(unlockedContent(lockedName(temp / "S/" + name, ".VKL"), temp), "a user's file");
    }
    EXPECT_TRUE(fileExists(writing.temporaryPath()));
}

TEST_F(Search, TheTargetListEndsAsTheLastOfItsTwoWritersLeftIt) {
    struct Case {
        const char* name;
        bool startHoldsAFile;
        bool startHoldsAFolder;
        bool boxAlreadyThere;
        std::vector<std::string> listFiles;  // "*" for the copy of the results
    } cases[] = {
        {"file and folder", true, true, false, {"*"}},
        {"file only, box already there", true, false, true, {"*"}},
        {"folder only", false, true, false, {"rebuilt"}},
        {"folder only, box already there", false, true, true, {"rebuilt"}},
        {"empty", false, false, false, {"rebuilt"}},
        {"empty, box already there", false, false, true, {"chosen"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder tree;
        const std::string start = tree.makeFolder("S");
        if (c.startHoldsAFile) tree.write("S/s1", "x");
        if (c.startHoldsAFolder) tree.write("S/A/a1", "x");
        model.foundFiles.clear();
        model.filFilesPath = model.dirListPath = c.boxAlreadyThere ? start : std::string();
        searchFrom(start);
        std::vector<std::string> expected;
        for (const std::string& what : c.listFiles) {
            if (what == "*") expected = texts(model.foundFiles);
            if (what == "rebuilt") expected.push_back("rebuilt " + start);
            if (what == "chosen") expected.push_back(start);
        }
        EXPECT_EQ(texts(model.targetList), expected);
    }
}

TEST_F(Search, TheBoxesKeepInStep) {
    const std::string start = makeTree();
    ASSERT_TRUE(search.setDirListPath(start));
    ASSERT_TRUE(search.setDirListPath(start));  // no change: no rebuild
    EXPECT_EQ(model.dirListEntries, paths({"S/A", "S/B"}));
    EXPECT_EQ(model.dirListIndex, -1);
    EXPECT_EQ(model.drvListDrive, driveOf(start));
    EXPECT_EQ(rebuilds, (std::vector<std::string>{start}));

    model.dirListIndex = 1;
    search.dirList_LostFocus();
    EXPECT_EQ(model.dirListPath, temp / "S/B");
    EXPECT_EQ(model.filFilesPath, temp / "S/B");

    // A drive that cannot be opened: the drive list goes back to the folder's.
    model.drvListDrive = temp / "missing";
    search.drvList_Change();
    EXPECT_EQ(model.dirListPath, temp / "S/B");
    EXPECT_EQ(model.drvListDrive, driveOf(start));
}

TEST_F(Search, ASecondSearchAppendsAndTheCountRunsOn) {
    const std::string start = makeTree();
    searchFrom(start);
    const std::vector<std::string> once = texts(model.foundFiles);
    searchFrom(start);
    std::vector<std::string> twice = once;
    twice.insert(twice.end(), once.begin(), once.end());
    EXPECT_EQ(texts(model.foundFiles), twice);
    EXPECT_EQ(texts(model.targetList), twice);
    EXPECT_EQ(model.searchCount, 8u);
}

TEST_F(Search, DecryptAFolderStartsAtTheFolderInHandUnderItsLockedName) {
    temp.write("Reports/plain", "x");
    temp.write(encodeText("Reports") + "/locked", "x");
    openTargetPage(model, Option::OptDecFolder);
    model.ParentPath = temp.path() + kSeparator;
    model.FolderName = "Reports";
    searchFrom(temp / "Reports");  // the first row does not count here
    EXPECT_EQ(texts(model.foundFiles), paths({encodeText("Reports") + "/locked"}));
}

// Lists a made-up folder tree instead of the disk's, and can refuse to list
// a real folder.
class MadeUpFolders : public ForwardingFileSystem {
  public:
    std::map<std::string, std::vector<FolderEntry>> folders;
    std::set<std::string> unlistable;
    IoError refusal = IoError::accessDenied;

    IoError status(const std::string& p, FileStatus& out) override {
        if (!folders.count(p)) return base().status(p, out);
        out = FileStatus{};
        out.kind = EntryKind::folder;
        return IoError::ok;
    }
    IoError getAttributes(const std::string& p, uint32_t& out) override {
        if (base().getAttributes(p, out) != IoError::ok) out = 0;  // made-up files have none
        return IoError::ok;
    }
    IoError listFolder(const std::string& p, std::vector<FolderEntry>& out) override {
        if (unlistable.count(p)) return refusal;
        auto it = folders.find(p);
        if (it == folders.end()) return base().listFolder(p, out);
        out = it->second;
        return IoError::ok;
    }
};

TEST_F(Search, ADrivesRootAlreadyEndsWithTheSeparator) {
    const std::string root = driveOf(temp.path());
    MadeUpFolders disk;
    disk.folders[root] = {{"a", EntryKind::file}, {"Sub", EntryKind::folder}};
    disk.folders[root + "Sub"] = {{"b", EntryKind::file}};
    FileSystemOverride use(disk);
    searchFrom(root);
    EXPECT_EQ(texts(model.foundFiles),
              (std::vector<std::string>{root + "Sub" + kSeparator + "b", root + "a"}));
}

TEST_F(Search, AFolderThatCannotBeEnteredIsSkipped) {
    const std::string start = makeTree();
    MadeUpFolders disk;
    disk.unlistable = {temp / "S/B"};
    FileSystemOverride use(disk);
    searchFrom(start);
    EXPECT_EQ(texts(model.foundFiles), paths({"S/A/a1", "S/s1"}));
    EXPECT_EQ(model.skippedFolders,
              (std::vector<SkippedFolder>{{temp / "S/B", "permission denied"}}));
}

// Every folder left out is named with its cause, so that a run over the
// results knows it cannot be complete; a folder gone meanwhile left nothing out.
TEST_F(Search, AFolderThatCannotBeEnteredIsNamedWithItsCause) {
    struct Case {
        IoError error;
        std::vector<SkippedFolder> skipped;
    };
    const std::string start = makeTree();
    const std::string b = temp / "S/B";
    const Case cases[] = {
        {IoError::accessDenied, {{b, "permission denied"}}},
        {IoError::other, {{b, "input/output error"}}},
        {IoError::notFound, {}},
    };
    MadeUpFolders disk;
    disk.unlistable = {b};
    FileSystemOverride use(disk);
    for (const Case& c : cases) {
        SCOPED_TRACE(describe(c.error));
        disk.refusal = c.error;
        model.skippedFolders = {{"stale", "from an earlier search"}};
        searchFrom(start);
        EXPECT_EQ(model.skippedFolders, c.skipped);
    }
}

TEST_F(Search, AFolderDeeperThanTheLongestPathIsNamed) {
    // Made-up folders down to a path longer than the system takes.
    const std::string start = makeTree();
    MadeUpFolders disk;
    std::string folder = start;
    const std::string name(200, 'd');
    disk.folders[start] = {{"s1", EntryKind::file}, {name, EntryKind::folder}};
    for (folder += kSeparator + name; folder.size() < 5000; folder += kSeparator + name)
        disk.folders[folder] = {{name, EntryKind::folder}};
    FileSystemOverride use(disk);
    searchFrom(start);
    EXPECT_EQ(model.skippedFolders, (std::vector<SkippedFolder>{{folder, "its path is too long"}}));
}

TEST_F(Search, AStartFolderThatCannotBeEnteredWalksNothing) {
    const std::string start = makeTree();
    temp.write("elsewhere/e", "x");
    ASSERT_TRUE(search.setDirListPath(temp / "elsewhere"));
    rebuilds.clear();
    MadeUpFolders disk;
    disk.unlistable = {start};
    FileSystemOverride use(disk);
    for (const std::string& unusable : {start, temp / "missing", temp / "S/s1", std::string()}) {
        searchFrom(unusable);
        EXPECT_TRUE(model.foundFiles.empty());
        // Only a folder that is there but cannot be read is left out.
        const std::vector<SkippedFolder> none, denied = {{start, "permission denied"}};
        EXPECT_EQ(model.skippedFolders, unusable == start ? denied : none);
        EXPECT_EQ(texts(model.targetList), (std::vector<std::string>{unusable}));
        EXPECT_EQ(model.dirListPath, temp / "elsewhere");
        EXPECT_TRUE(rebuilds.empty());
    }
}

#ifndef _WIN32
TEST_F(Search, LinksAreNeitherFollowedNorListed) {
    namespace fs = std::filesystem;
    const std::string start = makeTree();
    temp.write("outside/o", "x");
    fs::create_directory_symlink(temp / "outside", temp / "S/A/to-outside");
    fs::create_directory_symlink(start, temp / "S/B/loop");
    fs::create_symlink(temp / "outside/o", temp / "S/linked-file");
    fs::create_directory_symlink(start, temp / "link-to-S");

    searchFrom(start);
    EXPECT_EQ(texts(model.foundFiles), paths({"S/B/B2/x", "S/B/b1", "S/A/a1", "S/s1"}));

    // A start folder that is itself a link is not entered either.
    model.foundFiles.clear();
    searchFrom(temp / "link-to-S");
    EXPECT_TRUE(model.foundFiles.empty());
}
#endif

}  // namespace
}  // namespace vellumar::test
