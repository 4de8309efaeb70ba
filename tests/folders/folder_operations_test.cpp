// The folder operations as values: which rule refused a folder and the paths
// it concerns, what the search could not enter and why, and what a lock or
// an unlock did to the folder, its record and its files, a cancel included.

#include "folders/folder_operations.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <set>

#include "engine/lists/hidden_list.h"
#include "engine/formats/locked_folder_name.h"
#include "engine/formats/locked_header.h"
#include "engine/platform/paths.h"
#include "engine/formats/text_shift.h"
#include "app/folder_chooser.h"
#include "folders/folder_lists.h"
#include "folders/folder_paths.h"
#include "folders/folder_state.h"
#include "tests/locking/run_fixture.h"
#include "tests/support/file_attributes.h"
#include "tests/support/forwarding_file_system.h"

namespace vellumar::test {
namespace {

using Lines = std::vector<std::string>;

// A path below a folder, `relative` written with '/'.
std::string in(const std::string& folder, std::string relative) {
    std::replace(relative.begin(), relative.end(), '/', kSeparator);
    return folder + kSeparator + relative;
}

// Asks to cancel once the run has reported `after` files.
class CancellingDesktop final : public ScriptedDesktop {
  public:
    explicit CancellingDesktop(int after) : after_(after) {}
    bool cancelRequested() override { return progressCalls >= after_; }

  private:
    int after_;
};

class FolderOperations : public Runs {
  protected:
    // T holding a.txt, b.txt and sub/c.txt.
    std::string makeTree() {
        for (const char* file : {"T/a.txt", "T/b.txt", "T/sub/c.txt"}) temp.write(file, file);
        return temp / "T";
    }
    std::string lockedOf(const std::string& name) const { return temp / lockedFolderName(name); }
    Lines records() {
        Lines lines;
        readFolderLines(lines);
        return lines;
    }
    static LockFolderOptions everyRule(const SystemFolders& system = {}) {
        LockFolderOptions options;
        options.system = system;
        return options;
    }
};

TEST_F(FolderOperations, TheCheckNamesTheRuleAndThePaths) {
    const SystemFolders system{temp.makeFolder("win"), temp.makeFolder("win/sys")};
    temp.makeFolder("caf\xE9");
    temp.makeFolder("Vault");
    temp.makeFolder(lockedFolderName("Vault"));
    temp.makeFolder("Notes");
    const std::string notesTaken = temp.write(lockedFolderName("Notes"), "x");
    const std::string hidden = temp.makeFolder("hidden");
    ASSERT_EQ(fileSystem().setAttributes(hidden, kAttrHidden), IoError::ok);
    temp.makeFolder("Plain");
    struct Case {
        std::string chosen;
        FolderRule rule;
        std::string path, other;
    } cases[] = {
        {temp / "missing", FolderRule::notAFolder, temp / "missing", ""},
        {temp.write("file", "x"), FolderRule::notAFolder, temp / "file", ""},
        {temp.home(), FolderRule::applicationFolder, temp.home(), ""},
        {temp.path(), FolderRule::applicationFolder, temp.path(), ""},
        {driveOf(temp.path()), FolderRule::driveRoot, driveOf(temp.path()), ""},
        {temp / "win/sys", FolderRule::systemFolder, temp / "win/sys", ""},
        {temp / "win/sys/..", FolderRule::windowsFolder, temp / "win", ""},
        {temp / "caf\xE9", FolderRule::nameNotEncodable, temp / "caf\xE9", ""},
        {temp / "Vault", FolderRule::lockedFolderBeside, temp / "Vault", lockedOf("Vault")},
        {temp / "Notes", FolderRule::lockedNameTaken, temp / "Notes", notesTaken},
        {hidden, FolderRule::attributes, hidden, ""},
        {temp / "./Plain" + kSeparator, FolderRule::none, temp / "Plain", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.chosen);
        const FolderCheck check = checkFolderToLock(c.chosen, system);
        EXPECT_EQ(check.rule, c.rule);
        EXPECT_EQ(check.path, c.path);
        EXPECT_EQ(check.other, c.other);
    }
    // Hidden while it is being locked (listed, still plain): a crash took
    // its locked name away, and the run may be finished.
    ASSERT_EQ(appendFolderRecord(hidden), IoError::ok);
    EXPECT_EQ(checkFolderToLock(hidden, system).rule, FolderRule::none);
}

// A volume that takes only the names Windows takes.
class WindowsNamesOnly final : public ForwardingFileSystem {
  public:
    bool takesWindowsNamesOnly(const std::string&) override { return true; }
};

// A locked name that Windows would take for another name of its folder, or
// that the volume does not take at all, would only be met at the folder's
// rename, once every file inside is locked: refused before anything changes,
// whichever way the lock is started.
TEST_F(FolderOperations, ALockedNameWindowsCouldNotTakeIsRefusedBeforeAnythingChanges) {
    WindowsNamesOnly windowsNames;
    // ";" locked is "|", which Windows takes in no name.
    temp.write("a;b/a.txt", "a");
    struct Case {
        std::string folder;
        FolderRule rule;
        std::string other;
        FileSystem* fs;
        std::string words;
    } cases[] = {
        {temp / "a;b", FolderRule::lockedNameNotAllowed, lockedOf("a;b"), &windowsNames,
         "The folder " + temp / "a;b" +
             " cannot be locked: the file system does not allow this name (" + lockedOf("a;b") +
             ", its locked name).\r\nGive this folder another name. Nothing was changed."},
#ifndef _WIN32
        // "I" locked is "Š", "Y" locked is "š": one name to Windows. (On
        // Windows itself the two are one name already.)
        {temp / "Y", FolderRule::lockedNameCaseTwin, temp.makeFolder(lockedFolderName("I")),
         &platformFileSystem(),
         "The folder " + temp / "Y" + " cannot be locked: its locked name would differ only in "
             "case from " + lockedOf("I") + ", which Windows cannot tell apart.\r\nMove that "
             "away, or give this folder another name. Nothing was changed."},
#endif
    };
    temp.write("Y/a.txt", "a");
    const std::string tree = listTree(temp.path());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.folder);
        FileSystemOverride use(*c.fs);
        const FolderCheck check = checkFolderToLock(c.folder, {});
        EXPECT_EQ(check.rule, c.rule);
        EXPECT_EQ(check.other, c.other);
        EXPECT_EQ(folderRefusalText(check), c.words);
        for (bool checkAll : {true, false}) {
            LockFolderOptions options = everyRule();
            options.checkEveryRule = checkAll;
            const FolderRunResult result = lockFolder(c.folder, options, desktop);
            EXPECT_EQ(result.problem, FolderProblem::refused);
            EXPECT_EQ(result.refusal.rule, c.rule);
            EXPECT_FALSE(result.filesRun);
        }
    }
    EXPECT_EQ(listTree(temp.path()), tree);
    EXPECT_EQ(records(), Lines{});
}

// A folder under a locked folder's locked name would be listed under that
// name, which is gone once the outer folder is unlocked. Around a listed
// folder, or inside one that has its plain name still, it may be locked.
TEST_F(FolderOperations, AFolderInsideALockedOneIsRefused) {
    temp.makeFolder(lockedFolderName("Outer") + "/sub");
    temp.makeFolder("Half/sub");
    temp.makeFolder("Around/Inner");
    temp.makeFolder("Apart");
    for (const char* listed : {"Outer", "Half", "Around/Inner"})
        ASSERT_EQ(appendFolderRecord(temp / listed), IoError::ok);
    struct Case {
        std::string chosen;
        FolderRule rule;
        std::string other;
    } cases[] = {
        {lockedOf("Outer") + kSeparator + "sub", FolderRule::insideLockedFolder, temp / "Outer"},
        {temp / "Around", FolderRule::none, ""},
        {temp / "Half/sub", FolderRule::none, ""},
        {temp / "Apart", FolderRule::none, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.chosen);
        const FolderCheck check = checkFolderToLock(c.chosen, SystemFolders{});
        EXPECT_EQ(check.rule, c.rule);
        EXPECT_EQ(check.other, c.other);
    }
}

TEST_F(FolderOperations, TheSearchNamesEveryFolderItCouldNotEnterWithTheCause) {
    const std::string start = makeTree();
    temp.write("T/deny/d.txt", "d");
    temp.write("T/long/l.txt", "l");
    BusyFolder disk;
    disk.unlistable = {temp / "T/deny"};
    FoundFiles found;
    {
        FileSystemOverride use(disk);
        found = findFilesBelow(start, desktop);
    }
    EXPECT_EQ(found.files, (Lines{temp / "T/sub/c.txt", temp / "T/long/l.txt", temp / "T/a.txt",
                                  temp / "T/b.txt"}));
    EXPECT_EQ(found.unsearched,
              (std::vector<UnsearchedFolder>{{temp / "T/deny", IoError::accessDenied}}));
    EXPECT_EQ(unsearchedCause(IoError::accessDenied), "permission denied");
    EXPECT_EQ(unsearchedCause(IoError::nameTooLong), "its path is too long");
    EXPECT_TRUE(found.startEntered && found.subfoldersEntered);
    EXPECT_EQ(found.startFiles, 2u);
    EXPECT_EQ(desktop.yields, 3);

    // The start folder itself: named when it is there but cannot be read.
    disk.unlistable = {start};
    {
        FileSystemOverride use(disk);
        found = findFilesBelow(start, desktop);
    }
    EXPECT_TRUE(found.files.empty());
    EXPECT_FALSE(found.startEntered);
    EXPECT_EQ(found.unsearched, (std::vector<UnsearchedFolder>{{start, IoError::accessDenied}}));
    EXPECT_TRUE(findFilesBelow(temp / "missing", desktop).unsearched.empty());
}

TEST_F(FolderOperations, ALockedFolderIsListedHiddenAndRenamedAndUnlocksBack) {
    const std::string plain = makeTree();
    const FolderRunResult locked = lockFolder(plain, everyRule(), desktop);
    EXPECT_EQ(locked.problem, FolderProblem::none);
    EXPECT_TRUE(locked.folderDone);
    EXPECT_TRUE(locked.filesRun);
    EXPECT_FALSE(locked.listedBefore);
    EXPECT_EQ(locked.files.count(ItemStatus::done), 3u);
    EXPECT_TRUE(locked.files.complete());
    EXPECT_EQ(attributesOf(lockedOf("T")) & ~kAttrArchive, kAttrDirectory | kAttrHidden);
    EXPECT_EQ(records(), Lines{plain});
    Lines listed;
    EXPECT_EQ(listLockedFolders(listed), IoError::ok);
    EXPECT_EQ(listed, Lines{plain});

    const FolderRunResult unlocked = unlockFolder(plain, {}, desktop);
    EXPECT_EQ(unlocked.problem, FolderProblem::none);
    EXPECT_TRUE(unlocked.folderDone);
    EXPECT_EQ(unlocked.files.count(ItemStatus::done), 3u);
    EXPECT_EQ(readFile(temp / "T/sub/c.txt"), "T/sub/c.txt");
    EXPECT_EQ(attributesOf(plain) & ~kAttrArchive, kAttrDirectory);
    EXPECT_EQ(records(), Lines{});
    EXPECT_TRUE(desktop.messages.empty());
}

// A file with a locked name and a header line that verifies, but without
// the marker a locked file starts with, is the person's own: it is locked
// with the rest, never passed over as locked already.
TEST_F(FolderOperations, AFileWithoutTheMarkerIsLockedWithTheFolder) {
    const std::string plain = makeTree();
    const std::string unmarked = "[Public]" + makeLockedHeader().substr(8) + "\r\nmine";
    temp.write("T/header.VKL", unmarked);
    const FolderRunResult locked = lockFolder(plain, everyRule(), desktop);
    EXPECT_TRUE(locked.folderDone);
    EXPECT_EQ(locked.files.count(ItemStatus::done), 4u);
    EXPECT_FALSE(fileExists(in(lockedOf("T"), "header.VKL")));

    const FolderRunResult unlocked = unlockFolder(plain, {}, desktop);
    EXPECT_TRUE(unlocked.folderDone);
    EXPECT_EQ(readFile(in(plain, "header.VKL")), unmarked);
}

// Every way a lock stops short, with the value that says so and what is
// left on disk: the folder never hidden or renamed unless all its files are
// locked, and listed only while any file inside is.
TEST_F(FolderOperations, ALockThatStopsShortSaysWhyAndWhere) {
    BusyFolder disk;
    struct Case {
        const char* name;
        std::function<void(const std::string& plain)> prepare;
        bool checkEveryRule;
        FolderProblem problem;
        std::string problemPath;  // "<folder>" or "<locked>": the folder's plain or locked path
        IoError error;
        std::vector<ItemStatus> files;  // in the order found
        bool listed, hidden;
    };
    // Something in the way of a file's locked name: that file cannot be locked.
    auto block = [](const std::string& file) {
        platformFileSystem().createFolder(lockedName(file, ".VKL"));
    };
    using S = ItemStatus;
    const Case cases[] = {
        {"a locked folder of the same name",
         [this](const std::string& plain) {
             temp.makeFolder(
                 getFileName(lockedFolderPath(temp.path() + kSeparator, getFileName(plain))));
         },
         false,
         FolderProblem::refused,
         "<folder>",
         IoError::ok,
         {},
         false,
         false},
        {"a folder inside that cannot be searched",
         [&disk](const std::string& plain) { disk.unlistable = {plain + kSeparator + "sub"}; },
         true,
         FolderProblem::notSearched,
         "<folder>",
         IoError::ok,
         {},
         false,
         false},
        {"no file can be locked",
         [&block](const std::string& plain) {
             for (const char* file : {"a.txt", "b.txt", "sub/c.txt"}) block(in(plain, file));
         },
         true,
         FolderProblem::noFileLocked,
         "<folder>",
         IoError::ok,
         {S::failed, S::failed, S::failed},
         false,
         false},
        {"one file cannot be locked",
         [&block](const std::string& plain) { block(in(plain, "a.txt")); },
         true,
         FolderProblem::filesNotLocked,
         "<folder>",
         IoError::ok,
         {S::done, S::failed, S::done},
         true,
         false},
        {"a file saved into it while its files are locked",
         [&disk](const std::string& plain) { disk.savedMeanwhile = in(plain, "new.txt"); },
         true,
         FolderProblem::plainFilesLeft,
         "<folder>",
         IoError::ok,
         {S::done, S::done, S::done},
         true,
         false},
        // Found by the search, and refused as it carries the mark alone.
        {"a file a Windows client marked System",
         [](const std::string& plain) {
             fileSystem().setAttributes(in(plain, "b.txt"), kAttrSystem);
         },
         true,
         FolderProblem::filesNotLocked,
         "<folder>",
         IoError::ok,
         {S::done, S::done, S::refused},
         true,
         false},
        {"the folder does not keep its hidden mark",
         [&disk](const std::string& plain) { disk.notHiding = plain; },
         true,
         FolderProblem::notHidden,
         "<folder>",
         IoError::accessDenied,
         {S::done, S::done, S::done},
         true,
         false},
        {"a file has the locked name",
         [this](const std::string& plain) {
             temp.write(lockedFolderName(getFileName(plain)), "x");
         },
         false,
         FolderProblem::notRenamed,
         "<locked>",
         IoError::exists,
         {S::done, S::done, S::done},
         true,
         true},
    };
    // Wine adds archive to every file, so no file there carries System alone.
    const bool systemAlone = fileAttributesAfterSetting(kAttrSystem) == kAttrSystem;
    Lines listed;
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string name = std::string("F").append(std::to_string(n++));
        if (!systemAlone && std::string(c.name).find("System") != std::string::npos) continue;
        for (const char* file : {"/a.txt", "/b.txt", "/sub/c.txt"}) temp.write(name + file, "x");
        const std::string plain = temp / name;
        c.prepare(plain);
        LockFolderOptions options = everyRule();
        options.checkEveryRule = c.checkEveryRule;
        FolderRunResult result;
        {
            FileSystemOverride use(disk);
            result = lockFolder(plain, options, desktop);
        }
        disk.unlistable.clear();
        disk.notHiding.clear();
        EXPECT_EQ(result.problem, c.problem);
        if (c.problem == FolderProblem::plainFilesLeft) {
            EXPECT_EQ(result.leftPlain, Lines{in(plain, "new.txt")});
        }
        const std::string where = c.problemPath == "<folder>"   ? plain
                                  : c.problemPath == "<locked>" ? lockedOf(name)
                                                                : c.problemPath;
        EXPECT_EQ(result.problemPath, where);
        EXPECT_EQ(result.error, c.error);
        std::vector<ItemStatus> statuses;
        for (const ItemResult& item : result.files.items) statuses.push_back(item.status);
        EXPECT_EQ(statuses, c.files);
        EXPECT_FALSE(result.folderDone);
        EXPECT_EQ(isRecordedFolder(plain), c.listed);
        EXPECT_TRUE(fileExists(plain));
        EXPECT_EQ((attributesOf(plain) & kAttrHidden) != 0, c.hidden);
        if (c.listed) listed.push_back(plain);
    }
    EXPECT_EQ(records(), listed);
}

// A list that cannot be read is never replaced: the folder is not locked.
TEST_F(FolderOperations, AFolderThatCannotBeListedIsNotLocked) {
    const std::string plain = makeTree();
    temp.makeFolder("home/folders");
    const FolderRunResult result = lockFolder(plain, everyRule(), desktop);
    EXPECT_EQ(result.problem, FolderProblem::notRecorded);
    EXPECT_EQ(result.problemPath, applicationFile("folders"));
    EXPECT_NE(result.error, IoError::ok);
    EXPECT_FALSE(result.filesRun);
    EXPECT_EQ(readFile(temp / "T/a.txt"), "T/a.txt");
    Lines listed{"stale"};
    EXPECT_NE(listLockedFolders(listed), IoError::ok);
    EXPECT_TRUE(listed.empty());
    EXPECT_EQ(unlockFolder(plain, {}, desktop).problem, FolderProblem::listUnreadable);
}

// A cancel stops the file run between two files; the folder is then neither
// hidden nor renamed, stays listed while a file inside is locked, and a run
// again finishes the job.
TEST_F(FolderOperations, ACancelledLockLeavesTheFolderPlainAndListedWhileAFileIsLocked) {
    const std::string plain = makeTree();
    struct Case {
        int after;  // files reported before the cancel
        size_t done;
        bool listed;
    } cases[] = {{0, 0, false}, {1, 1, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.after);
        CancellingDesktop cancelling(c.after);
        const FolderRunResult result = lockFolder(plain, everyRule(), cancelling);
        EXPECT_EQ(result.problem, FolderProblem::cancelled);
        EXPECT_EQ(result.problemPath, plain);
        EXPECT_TRUE(result.files.cancelled);
        EXPECT_EQ(result.files.count(ItemStatus::done), c.done);
        EXPECT_EQ(result.files.count(ItemStatus::notTried), 3 - c.done);
        EXPECT_FALSE(result.folderDone);
        EXPECT_EQ(attributesOf(plain) & ~kAttrArchive, kAttrDirectory);
        EXPECT_FALSE(fileExists(lockedOf("T")));
        EXPECT_EQ(records(), c.listed ? Lines{plain} : Lines{});
        EXPECT_EQ(result.listed, c.listed);
    }
    const FolderRunResult again = lockFolder(plain, everyRule(), desktop);
    EXPECT_EQ(again.problem, FolderProblem::none);
    EXPECT_TRUE(again.listedBefore);
    EXPECT_EQ(records(), Lines{plain});
}

// A file locked before the run is passed over, not counted as done: the
// folder stays listed all the same, and the result says so.
TEST_F(FolderOperations, ACancelBeforeAnyFileKeepsTheRecordOfAFolderWithALockedFile) {
    const std::string plain = makeTree();
    ASSERT_TRUE(lockFiles({in(plain, "a.txt")}, {}, nullptr, desktop).complete());
    CancellingDesktop cancelling(0);
    const FolderRunResult result = lockFolder(plain, everyRule(), cancelling);
    EXPECT_EQ(result.problem, FolderProblem::cancelled);
    EXPECT_EQ(result.files.count(ItemStatus::done), 0u);
    EXPECT_EQ(records(), Lines{plain});
    EXPECT_TRUE(result.listed);
}

TEST_F(FolderOperations, ACancelledUnlockKeepsTheLockedNameAndTheRecord) {
    const std::string plain = makeTree();
    ASSERT_TRUE(lockFolder(plain, everyRule(), desktop).folderDone);
    CancellingDesktop cancelling(1);
    const FolderRunResult result = unlockFolder(plain, {}, cancelling);
    EXPECT_EQ(result.problem, FolderProblem::cancelled);
    EXPECT_EQ(result.problemPath, lockedOf("T"));
    EXPECT_EQ(result.files.count(ItemStatus::done), 1u);
    EXPECT_EQ(result.files.count(ItemStatus::notTried), 2u);
    EXPECT_FALSE(fileExists(plain));
    EXPECT_EQ(attributesOf(lockedOf("T")) & ~kAttrArchive, kAttrDirectory | kAttrHidden);
    EXPECT_EQ(records(), Lines{plain});

    const FolderRunResult again = unlockFolder(plain, {}, desktop);
    EXPECT_EQ(again.problem, FolderProblem::none);
    EXPECT_EQ(listTree(plain), "a.txt\nb.txt\nsub\nsub/c.txt\n");
    EXPECT_EQ(records(), Lines{});
}

// An unlock that cannot start changes nothing and says why and where.
TEST_F(FolderOperations, AnUnlockThatCannotStartChangesNothing) {
    const std::string plain = makeTree();
    ASSERT_TRUE(lockFolder(plain, everyRule(), desktop).folderDone);
    temp.write("Other/x.txt", "x");
    appendFolderRecord(temp / "Gone");
    struct Case {
        const char* name;
        std::string folder;
        std::function<void()> prepare;
        FolderProblem problem;
        std::string problemPath;
    } cases[] = {
        {"not listed", temp / "Other", [] {}, FolderProblem::notListed, temp / "Other"},
        {"listed, but under neither name", temp / "Gone", [] {}, FolderProblem::folderMissing,
         lockedOf("Gone")},
        {"its plain name taken", plain, [this] { temp.write("T/new.txt", "new"); },
         FolderProblem::plainNameTaken, plain},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.prepare();
        const std::string before = listTree(temp.path());
        const FolderRunResult result = unlockFolder(c.folder, {}, desktop);
        EXPECT_EQ(result.problem, c.problem);
        EXPECT_EQ(result.problemPath, c.problemPath);
        EXPECT_FALSE(result.filesRun);
        EXPECT_EQ(listTree(temp.path()), before);
    }
    EXPECT_EQ(records(), (Lines{plain, temp / "Gone"}));
}

// A file still locked inside after the run (another password's) keeps the
// record; the folder has its name back.
TEST_F(FolderOperations, AFileThatCannotBeUnlockedKeepsTheRecord) {
    const std::string plain = makeTree();
    ASSERT_TRUE(lockFolder(plain, everyRule(), desktop).folderDone);
    temp.write(lockedFolderName("T") + "/stranger.VKL", "[Secret]AAAAAAAABBBBBBBB\r\nCCCC\r\n");
    const FolderRunResult result = unlockFolder(plain, {}, desktop);
    EXPECT_EQ(result.problem, FolderProblem::filesNotUnlocked);
    EXPECT_EQ(result.problemPath, plain);
    EXPECT_TRUE(result.files.endedEarly || result.files.count(ItemStatus::failed) > 0);
    EXPECT_TRUE(fileExists(plain));
    EXPECT_EQ(records(), Lines{plain});
}

#ifndef _WIN32
// What GLib, beneath most Linux file managers, makes of an item: TRUE when
// it hides it. Empty when gio is not installed.
std::string gioIsHidden(const std::string& path) {
    if (std::system("command -v gio >/dev/null 2>&1") != 0) return {};
    const std::string command = "gio info -a standard::is-hidden '" + path + "' 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return "<gio could not be started>";
    std::string output;
    char buffer[512];
    while (size_t got = fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, got);
    pclose(pipe);
    const std::string key = "standard::is-hidden: ";
    const size_t at = output.find(key);
    // GLib leaves the attribute out for an item it shows.
    if (at == std::string::npos) return output.ends_with("attributes:\n") ? "FALSE" : output;
    return output.substr(at + key.size(), output.find('\n', at) - at - key.size());
}

// The locked folder's name goes in its parent's list and each locked file's
// in its own folder's; a list the person had keeps their lines, before and
// after, and is never locked with the folder; the lists the program made
// go once emptied.
TEST_F(FolderOperations, ALockedFolderAndItsFilesAreListedWhereFileManagersLook) {
    const std::string plain = makeTree();
    temp.write(".hidden", "mine\n");
    const std::string inner = temp.write("T/sub/.hidden", "sub's own\n");
    const std::string lockedA = lockedName(temp / "T/a.txt", ".VKL");
    const std::string lockedC = lockedName(temp / "T/sub/c.txt", ".VKL");
    const std::string gio = gioIsHidden(temp / "T/a.txt");
    if (!gio.empty()) {
        EXPECT_EQ(gio, "FALSE");
    }

    const FolderRunResult locked = lockFolder(plain, everyRule(), desktop);
    ASSERT_TRUE(locked.folderDone);
    EXPECT_TRUE(locked.hiddenList.ok()) << hiddenListCause(locked.hiddenList);
    EXPECT_EQ(locked.files.items.size(), 3u);  // the lists are no files of the run
    const std::string folder = lockedOf("T");
    EXPECT_EQ(readFile(temp / ".hidden"), "mine\n" + getFileName(folder) + "\n");
    EXPECT_EQ(readFile(folder + "/sub/.hidden"), "sub's own\n" + getFileName(lockedC) + "\n");
    EXPECT_EQ(readFile(folder + "/.hidden"),
              getFileName(lockedA) + "\n" + getFileName(lockedName("b.txt", ".VKL")) + "\n");
    if (!gio.empty()) {
        EXPECT_EQ(gioIsHidden(folder), "TRUE");
        EXPECT_EQ(gioIsHidden(folder + "/" + getFileName(lockedA)), "TRUE");
    }

    const FolderRunResult unlocked = unlockFolder(plain, {}, desktop);
    ASSERT_TRUE(unlocked.folderDone);
    EXPECT_TRUE(unlocked.hiddenList.ok()) << hiddenListCause(unlocked.hiddenList);
    EXPECT_EQ(readFile(temp / ".hidden"), "mine\n");
    EXPECT_EQ(readFile(inner), "sub's own\n");
    // T's own list was the program's: gone with its last line.
    EXPECT_EQ(listTree(plain), "a.txt\nb.txt\nsub\nsub/.hidden\nsub/c.txt\n");
    if (!gio.empty()) {
        EXPECT_EQ(gioIsHidden(plain), "FALSE");
        EXPECT_EQ(gioIsHidden(temp / "T/a.txt"), "FALSE");
    } else {
        GTEST_SKIP() << "gio (Debian package libglib2.0-bin) is not installed: "
                        "the lists were checked, not what GLib makes of them";
    }
}
#endif

}  // namespace
}  // namespace vellumar::test
