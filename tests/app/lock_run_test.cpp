// The lock run: routing by length, the refusals in list order with their
// exact messages, one summary for any number of engine failures, and the
// batch of flushes that must never cost a file.

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <set>

#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "app/file_messages.h"
#include "engine/lists/list_file.h"
#include "engine/platform/media_volume.h"
#include "engine/platform/paths.h"
#include "app/file_run_handlers.h"
#include "tests/locking/run_fixture.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/forwarding_file_system.h"
#include "tests/support/uneditable_hidden_lists.h"

namespace vellumar::test {
namespace {

using Names = std::vector<std::string>;

const Shown kNoFileChecked{"No file is checked", Icon::exclamation, "Vellumar"};
const Shown kSystemFile{"Sorry you cannot lock a system file as this may crash your system",
                        Icon::none, "Vellumar"};
const Shown kNotAllLocked{
    "All files have not been locked.\r\nAn error occured while doing so.\r\n"
    "Make sure that the file is not in use.",
    Icon::none, "Vellumar"};

Shown ownFile(const std::string& name) {
    return {"An error occured during locking process \r\n " + name + " can not be locked.",
            Icon::information, "Vellumar"};
}

TEST_F(Runs, AnEmptyListLocksNothingAndSaysSo) {
    for (auto run : {&cmdLock_Click, &cmdLockFolder_Click}) {
        desktop.messages.clear();
        desktop.busyChanges.clear();
        model.foundFiles.clear();
        model.targetList = rows({temp.write("only/in/the/other/list", "x")});
        if (run == &cmdLock_Click) std::swap(model.targetList, model.foundFiles);
        // Said once the busy pointer is gone, as the window always did.
        desktop.onMessage = [this](const Shown&) {
            EXPECT_FALSE(!desktop.busyChanges.empty() && desktop.busyChanges.back());
        };
        RunOutcome outcome = run(model, desktop);
        EXPECT_EQ(desktop.messages, std::vector<Shown>{kNoFileChecked});
        EXPECT_EQ(desktop.busyChanges, (std::vector<bool>{true, false}));
        EXPECT_EQ(outcome.rows, 0u);
        EXPECT_TRUE(outcome.complete());
    }
    EXPECT_EQ(listTree(temp / "only"), "in\nin/the\nin/the/other\nin/the/other/list\n");
}

TEST_F(Runs, AMixedListIsLockedOrRefusedRowByRowInOrder) {
    const std::string exe = executablePath();
    const std::string exeContent = readFile(exe);
    const std::string folders = temp.write("home/folders", "/somewhere\r\n");
    const std::string readOnly = temp.write("w/read-only.txt", "read only");
    platformFileSystem().setAttributes(readOnly, kAttrReadOnly);
    const std::string system = temp.write("w/system.sys", "system");
    platformFileSystem().setAttributes(system, kAttrSystem);
    const bool exactlySystem = attributesOf(system) == kAttrSystem;
    const std::string hiddenSystem = temp.write("w/hidden-system.txt", "hidden and system");
    platformFileSystem().setAttributes(hiddenSystem, kAttrHidden | kAttrSystem);
    struct Row {
        std::string path;
        std::string content;  // what the row's file holds; locked unless a message is given
        std::vector<Shown> messages;
        const char* lockedAs = ".VKL";
    };
    std::vector<Row> table = {
        {temp.write("w/short.bin", patternBytes(199999)), patternBytes(199999), {}},
        {temp.write("w/long.bin", patternBytes(200000)), patternBytes(200000), {}, ".VKW"},
        {temp.write("w/empty.txt", ""), "", {}},
        {readOnly, "read only", {}},
        // Wine adds the archive bit to every file: there no file is exactly a system file.
        {system, "system", exactlySystem ? std::vector<Shown>{kSystemFile} : std::vector<Shown>{}},
        {hiddenSystem, "hidden and system", {}},
        // The running program, spelt another way, and one of its list files.
        {getFolderPart(exe) + "." + kSeparator + getFileName(exe),
         exeContent,
         {ownFile("Tessarin.exe")}},
        {folders, "/somewhere\r\n", {ownFile("folders")}},
        {temp / "w/gone.txt", "", {}, nullptr},
        // Named twice: the second row says the file was locked already.
        {temp / "w/short.bin",
         "",
         {{temp / "w/short.bin" +
               " is the same file as an earlier row: it was locked already in this run.",
           Icon::information, "Vellumar"}},
         nullptr},
    };
#ifndef _WIN32
    const std::string link = temp / "w/link.txt";
    const std::string target = temp.write("w/target/linked.txt", "linked");
    ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
    table.insert(table.begin() + 6,
                 {link,
                  "linked",
                  {{link + " is a link and can not be locked.", Icon::information, "Vellumar"}}});
    // A line break would split its line in the locked-files list.
    for (const char* name : {"w/line\nbreak.txt", "w/return\rhere.txt"}) {
        const std::string path = temp.write(name, "broken line");
        table.push_back({path,
                         "broken line",
                         {{path + " has a line break in its name, which the list of locked files "
                                  "can not hold: it can not be locked.",
                           Icon::information, "Vellumar"}}});
    }
#endif
    std::vector<Shown> expected;
    for (const Row& r : table) {
        model.targetList.push_back(row(r.path));
        expected.insert(expected.end(), r.messages.begin(), r.messages.end());
    }
    openTargetPage(model, Option::OptEncFiles);

    RunOutcome outcome = cmdLock_Click(model, desktop);

    EXPECT_EQ(desktop.messages, expected);
    EXPECT_EQ(desktop.busyChanges, (std::vector<bool>{true, false}));
    using Progress = std::pair<uint64_t, uint64_t>;
    EXPECT_EQ(desktop.lastProgress, Progress(table.size(), table.size()));
    EXPECT_EQ(outcome.rows, table.size());
    EXPECT_EQ(outcome.done, exactlySystem ? 5u : 6u);
    EXPECT_EQ(outcome.failed, 0u);
    EXPECT_EQ(outcome.refused, table.size() - outcome.done - 2);
    EXPECT_EQ(outcome.missing, 1u);
    EXPECT_EQ(outcome.repeated, 1u);
    EXPECT_EQ(model.targetList.size(), table.size());  // the list is left as it was

    std::string filesList;
    for (const Row& r : table) {
        SCOPED_TRACE(r.path);
        if (!r.messages.empty() || !r.lockedAs) {
            EXPECT_TRUE(readFile(r.path) == (r.lockedAs ? r.content : "<missing>"));
            continue;
        }
        const std::string locked = lockedName(r.path, r.lockedAs);
        EXPECT_EQ(readFile(r.path), "<missing>");
        EXPECT_EQ(attributesOf(locked), fileAttributesAfterSetting(kAttrReadOnly | kAttrHidden));
        EXPECT_TRUE(unlockedContent(locked, temp) == r.content);
        // Only small files go to the locked-files list.
        if (std::string(r.lockedAs) == ".VKL") filesList += locked + "\r\n";
    }
    if (exactlySystem) {
        EXPECT_EQ(attributesOf(system), kAttrSystem);
    }
    EXPECT_EQ(listed("files"), filesList);
}

// A folder named as a row is not a file to lock: it fails, and keeps its
// attributes.
TEST_F(Runs, AFolderRowFailsAndKeepsItsAttributes) {
    temp.write("w/folder/inside.txt", "inside");
    const std::string folder = temp / "w/folder";
    platformFileSystem().setAttributes(folder, kAttrReadOnly | kAttrHidden);
    const uint32_t before = attributesOf(folder);
    model.targetList = rows({folder});

    RunOutcome outcome = cmdLock_Click(model, desktop);

    EXPECT_EQ(outcome.failed, 1u);
    EXPECT_EQ(attributesOf(folder), before);
    EXPECT_EQ(readFile(temp / "w/folder/inside.txt"), "inside");
    platformFileSystem().setAttributes(folder, kAttrNormal);
}

TEST_F(Runs, EngineFailuresGiveOneSummaryAfterTheirOwnMessages) {
    const std::string a = temp.write("w/a.txt", "a"), b = temp.write("w/b.txt", "b");
    const std::string c = temp.write("w/c.txt", "c");
    // Their locked names are taken: the engine refuses to replace them.
    temp.write("w/" + getFileName(lockedName(a, ".VKL")), "taken");
    temp.write("w/" + getFileName(lockedName(c, ".VKL")), "taken");
    model.foundFiles = rows({a, b, c});

    RunOutcome outcome = cmdLockFolder_Click(model, desktop);

    auto exists = [](const std::string& path) {
        return Shown{"The file " + path + " already exists. Nothing was changed.", Icon::critical,
                     "File Already Exists"};
    };
    EXPECT_EQ(desktop.messages, (std::vector<Shown>{exists(lockedName(a, ".VKL")),
                                                    exists(lockedName(c, ".VKL")), kNotAllLocked}));
    EXPECT_EQ(outcome.done, 1u);
    EXPECT_EQ(outcome.failed, 2u);
    EXPECT_EQ(readFile(a), "a");
    EXPECT_EQ(readFile(c), "c");
    EXPECT_EQ(unlockedContent(lockedName(b, ".VKL"), temp), "b");
    EXPECT_EQ(listed("files"), "");  // not "Encrypt File(s)"
}

// Commits every file on its own, as on a volume that is never batched.
class OneByOne final : public ForwardingFileSystem {
  public:
    IoError openVolume(const std::string&, FileHandle& out) override {
        out = kNoFile;
        return IoError::unsupported;
    }
};

// Adding a line gives "files" a new identity; later in the same run it is
// still the program's own list, and refused.
TEST_F(Runs, TheLockedFilesListStaysRefusedAfterTheRunAddedToIt) {
    const std::string list = temp.write("home/files", "/earlier/locked.VKL\r\n");
    const std::string plain = temp.write("w/a.txt", "a");
    openTargetPage(model, Option::OptEncFiles);
    model.targetList = rows({plain, list});
    OneByOne oneByOne;
    {
        FileSystemOverride use(oneByOne);
        cmdLock_Click(model, desktop);
    }
    EXPECT_EQ(desktop.messages, std::vector<Shown>{ownFile("files")});
    EXPECT_EQ(readFile(list), "/earlier/locked.VKL\r\n" + lockedName(plain, ".VKL") + "\r\n");
}

// Gives every file in one folder the same identity: none (0, 0), as a file
// system that keeps no file numbers, or one number that the volume hands out
// again as soon as its file is gone. Optionally with no volume to flush, so
// that every file is committed on its own.
class OneIdentityIn final : public ForwardingFileSystem {
  public:
    OneIdentityIn(std::string folder, uint64_t number, bool batched)
        : folder_(std::move(folder)), number_(number), batched_(batched) {}
    IoError status(const std::string& p, FileStatus& out) override {
        const IoError e = base().status(p, out);
        if (e == IoError::ok && out.kind == EntryKind::file && getFolderPart(p) == folder_)
            out.volume = out.index = number_;
        return e;
    }
    IoError openVolume(const std::string& folder, FileHandle& out) override {
        out = kNoFile;
        return batched_ ? base().openVolume(folder, out) : IoError::unsupported;
    }

  private:
    const std::string folder_;
    const uint64_t number_;
    const bool batched_;
};

// Another file that shows an earlier row's identity is not that row's file:
// it is locked like any other.
TEST_F(Runs, AFileWithAnEarlierRowsIdentityIsLockedToo) {
    struct Case {
        uint64_t number;
        bool batched;
    };
    for (const Case c : {Case{0, true}, Case{0, false}, Case{7, false}}) {
        SCOPED_TRACE(testing::Message() << c.number << (c.batched ? " batched" : " one by one"));
        desktop.messages.clear();
        // Put together with append: GCC 12 for Windows sees a false overlap in +.
        std::string folder = "w";
        folder.append(std::to_string(c.number)).append(c.batched ? "b" : "o");
        const std::string a = temp.write(folder + "/a.txt", "same");
        const std::string b = temp.write(folder + "/b.txt", "same");
        OneIdentityIn oneIdentity(temp / folder + kSeparator, c.number, c.batched);
        model.foundFiles = rows({a, b});
        RunOutcome outcome;
        {
            FileSystemOverride use(oneIdentity);
            outcome = cmdLockFolder_Click(model, desktop);
        }
        EXPECT_EQ(desktop.messages, std::vector<Shown>{});
        EXPECT_EQ(outcome.done, 2u);
        EXPECT_EQ(outcome.repeated, 0u);
        Names locked = {lockedName("a.txt", ".VKL"), lockedName("b.txt", ".VKL")};
        std::sort(locked.begin(), locked.end());
        EXPECT_EQ(namesIn(temp / folder), locked);
        EXPECT_EQ(unlockedContent(lockedName(b, ".VKL"), temp), "same");
    }
}

// Reads no attributes of one file, as a confined process may not.
class NoAttributesOf final : public ForwardingFileSystem {
  public:
    explicit NoAttributesOf(std::string path) : path_(std::move(path)) {}
    IoError getAttributes(const std::string& p, uint32_t& out) override {
        return p == path_ ? IoError::notFound : base().getAttributes(p, out);
    }

  private:
    const std::string path_;
};

// A file that is there but whose attributes cannot be read is not missing:
// it fails, named with its cause, and stays as it is.
TEST_F(Runs, AFileWhoseAttributesCannotBeReadFails) {
    const std::string unreadable = temp.write("w/unreadable.txt", "unreadable");
    const std::string other = temp.write("w/other.txt", "other");
    NoAttributesOf noAttributes(unreadable);
    model.foundFiles = rows({unreadable, other});
    RunOutcome outcome;
    {
        FileSystemOverride use(noAttributes);
        outcome = cmdLockFolder_Click(model, desktop);
    }
    EXPECT_EQ(desktop.messages,
              (std::vector<Shown>{
                  {unreadable + ": its attributes can not be read", Icon::critical, "Vellumar"},
                  kNotAllLocked}));
    EXPECT_EQ(outcome.failed, 1u);
    EXPECT_EQ(outcome.missing, 0u);
    EXPECT_EQ(outcome.done, 1u);
    EXPECT_FALSE(outcome.complete());
    EXPECT_EQ(readFile(unreadable), "unreadable");
    EXPECT_EQ(unlockedContent(lockedName(other, ".VKL"), temp), "other");
}

// Files locked on a volume that cannot hide them are done; the run says so
// once for that volume, with information.
TEST_F(Runs, AVolumeThatCannotHideIsSaidOnce) {
    const std::string a = temp.write("w/a.txt", "a");
    const std::string b = temp.write("v/b.txt", "b");
    FileStatus status;
    ASSERT_EQ(platformFileSystem().status(a, status), IoError::ok);
    CannotHide cannotHide;
    model.targetList = rows({a, b});
    RunOutcome outcome;
    {
        FileSystemOverride use(cannotHide);
        outcome = cmdLock_Click(model, desktop);
    }
    EXPECT_EQ(desktop.messages,
              (std::vector<Shown>{{volumeName(a, status.volume) +
                                       ": this file system cannot hide files: they are locked "
                                       "but visible",
                                   Icon::information, "Vellumar"}}));
    EXPECT_EQ(outcome.done, 2u);
    EXPECT_TRUE(outcome.complete());
}

// Creates nothing in one folder, as a folder the user may not write to.
class NoNewFileIn final : public ForwardingFileSystem {
  public:
    explicit NoNewFileIn(std::string folder) : folder_(std::move(folder)) {}
    IoError createNew(const std::string& p, FileHandle& out) override {
        return getFolderPart(p) == folder_ ? IoError::accessDenied : base().createNew(p, out);
    }

  private:
    const std::string folder_;
};

// New files that cannot be written fail alone, with the engine's message
// (once) and the run's summary; their sources stay as they were and nothing
// is left of the new files, not even a line in the list.
TEST_F(Runs, ANewFileThatCannotBeWrittenFailsAloneWithTheEnginesMessage) {
    const std::string open = temp.write("w/open.txt", "open");
    const std::string shut = temp.write("w/shut/shut.txt", "shut");
    // The engine's words name the file.
    const Shown lockAccess{"Path/File access error\r\n" + shut, Icon::critical,
                           "Path/File access error"};
    const std::string shut2 = temp.write("w/shut/shut2.txt", "shut too");
    FileHandle volume = kNoFile;
    if (platformFileSystem().openVolume(temp / "w", volume) != IoError::ok)
        GTEST_SKIP() << "files on this volume are committed one by one";
    platformFileSystem().close(volume);
    NoNewFileIn noNewFile(temp / "w/shut" + kSeparator);
    auto runShut = [&](RunOutcome (*run)(WindowModel&, Desktop&)) {
        FileSystemOverride use(noNewFile);
        return run(model, desktop);
    };
    model.targetList = rows({shut, open, shut2});
    openTargetPage(model, Option::OptEncFiles);
    const RunOutcome locked = runShut(&cmdLock_Click);
    // Each file is named with the cause, besides the engine's message once.
    const Shown named{shut + ": permission denied\r\n" + shut2 + ": permission denied",
                      Icon::critical, "Vellumar"};
    EXPECT_EQ(desktop.messages, (std::vector<Shown>{lockAccess, named, kNotAllLocked}));
    EXPECT_EQ(locked.done, 1u);
    EXPECT_EQ(locked.failed, 2u);
    EXPECT_EQ(namesIn(temp / "w/shut"), (Names{"shut.txt", "shut2.txt"}));
    EXPECT_EQ(readFile(shut), "shut");
    EXPECT_EQ(readFile(shut2), "shut too");
    EXPECT_EQ(listed("files"), lockedName(open, ".VKL") + "\r\n");

    desktop.messages.clear();
    const std::string lockedShut = lockedFile("w/shut/again.txt", "again");
    const Shown unlockAccess{
        "A Path/File access error occured during unlocking one of the selected file\r\n" +
            lockedShut,
        Icon::critical, "Path/File access error"};
    model.targetList = rows({lockedShut, lockedName(open, ".VKL")});
    const RunOutcome unlocked = runShut(&cmdUnlock_Click);
    // As a small file that cannot be unlocked does, it ends the run.
    EXPECT_EQ(desktop.messages,
              (std::vector<Shown>{
                  unlockAccess, {lockedShut + ": permission denied", Icon::critical, "Vellumar"}}));
    EXPECT_TRUE(unlocked.endedEarly);
    EXPECT_EQ(unlocked.done, 1u);
    EXPECT_EQ(unlocked.failed, 1u);
    EXPECT_EQ(readFile(open), "open");
    EXPECT_EQ(unlockedContent(lockedShut, temp), "again");
    EXPECT_EQ(namesIn(temp / "w/shut").size(), 3u);  // the two plain files and the locked one
}

// Files that nothing is written to: content written there fails as on a
// full disk. Optionally without a volume to flush, so that every file is
// committed on its own.
class FullIn final : public ForwardingFileSystem {
  public:
    FullIn(std::string folder, bool batched) : folder_(std::move(folder)), batched_(batched) {}
    IoError createNew(const std::string& p, FileHandle& out) override {
        IoError e = base().createNew(p, out);
        if (e == IoError::ok && getFolderPart(p) == folder_) full_.insert(out);
        return e;
    }
    IoError write(FileHandle f, const char* d, size_t n) override {
        return full_.count(f) ? IoError::noSpace : base().write(f, d, n);
    }
    IoError copy(FileHandle from, FileHandle to, uint64_t n) override {
        return full_.count(to) ? IoError::noSpace : base().copy(from, to, n);
    }
    IoError close(FileHandle f) override {
        full_.erase(f);
        return base().close(f);
    }
    IoError openVolume(const std::string& folder, FileHandle& out) override {
        out = kNoFile;
        return batched_ ? base().openVolume(folder, out) : IoError::unsupported;
    }

  private:
    const std::string folder_;
    const bool batched_;
    std::set<FileHandle> full_;
};

// Every file that fails is named with its cause in one message before the
// run's summary: committed with a batch or one by one, small or large.
TEST_F(Runs, EachFailedFileIsNamedWithItsCause) {
    const std::string folder = temp.makeFolder("w/folder");
    const std::string small = temp.write("full/small.txt", "small");
    const std::string large = temp.write("full/large.bin", patternBytes(kLargeFileThreshold));
    Names named = {
        folder + ": it is a folder, not a file",
        small + ": the disk is full",
        large + ": the disk is full",
    };
    std::vector<std::string> paths = {folder, small, large};
#ifndef _WIN32
    // Its locked name is longer than the 255 bytes a Linux file system takes.
    // (Wine takes such a name: not on the Windows leg.)
    const std::string longName = temp.write("w/" + std::string(250, 'n') + ".txt", "long");
    named.push_back(longName + ": the name is too long for the file system");
    paths.push_back(longName);
#endif
    std::sort(named.begin(), named.end());
    for (bool batched : {true, false}) {
        SCOPED_TRACE(batched ? "batched" : "one by one");
        desktop.messages.clear();
        FullIn full(temp / "full" + kSeparator, batched);
        FileSystemOverride use(full);
        model.targetList = rows(paths);

        const RunOutcome outcome = cmdLock_Click(model, desktop);

        EXPECT_EQ(outcome.failed, paths.size());
        ASSERT_GE(desktop.messages.size(), 2u);
        EXPECT_EQ(desktop.messages.back(), kNotAllLocked);
        const Shown& list = desktop.messages[desktop.messages.size() - 2];
        EXPECT_EQ(list.icon, Icon::critical);
        EXPECT_EQ(list.title, "Vellumar");
        // Named in the order the failures are met: at once, or at the commit.
        Names shown = splitListLines(list.text);
        std::sort(shown.begin(), shown.end());
        EXPECT_EQ(shown, named);
        EXPECT_EQ(readFile(small), "small");
        EXPECT_TRUE(readFile(large) == patternBytes(kLargeFileThreshold));
        EXPECT_EQ(namesIn(temp / "full"), (Names{"large.bin", "small.txt"}));
    }
#ifndef _WIN32
    EXPECT_EQ(readFile(longName), "long");
#endif
}

#ifndef _WIN32
// A file with other names (hard links) would stay readable under them once
// "locked": it is refused before anything of it changes, even its mode.
TEST_F(Runs, AFileWithOtherNamesIsRefusedAndKeepsItsMode) {
    const std::string outside = temp.write("outside/shared.txt", "shared");
    ASSERT_EQ(::chmod(outside.c_str(), 0444), 0);
    const std::string inside = temp / "w/shared.txt";
    temp.makeFolder("w");
    ASSERT_EQ(::link(outside.c_str(), inside.c_str()), 0);
    model.foundFiles = rows({inside});

    const RunOutcome outcome = cmdLockFolder_Click(model, desktop);

    EXPECT_EQ(desktop.messages,
              (std::vector<Shown>{{inside + " has more than one name (a hard link) and can not be "
                                            "locked.",
                                   Icon::information, "Vellumar"}}));
    EXPECT_EQ(outcome.refused, 1u);
    struct stat st;
    ASSERT_EQ(::stat(outside.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0444u);
    EXPECT_EQ(readFile(outside), "shared");
    EXPECT_EQ(namesIn(temp / "w"), (Names{"shared.txt"}));
}
#endif

// The run clears a file's attributes before the engine sees it; a file that
// then is not locked gets them back, whether it fails at once or at the
// batch's commit.
TEST_F(Runs, AFileThatIsNotLockedGetsItsAttributesBack) {
    const uint32_t set = kAttrReadOnly | kAttrHidden;
    // Its locked name is taken: the engine fails at once.
    const std::string taken = temp.write("w/taken.txt", "taken");
    temp.write("w/" + getFileName(lockedName(taken, ".VKL")), "in the way");
    // Its folder takes no new file: the batch fails it at its commit.
    const std::string shut = temp.write("shut/shut.txt", "shut");
    for (const std::string& file : {taken, shut}) platformFileSystem().setAttributes(file, set);
    const uint32_t before = attributesOf(taken);
    ASSERT_EQ(before, attributesOf(shut));
    NoNewFileIn noNewFile(temp / "shut" + kSeparator);
    {
        FileSystemOverride use(noNewFile);
        model.targetList = rows({taken, shut});
        EXPECT_EQ(cmdLock_Click(model, desktop).failed, 2u);
    }
    EXPECT_EQ(attributesOf(taken), before);
    EXPECT_EQ(attributesOf(shut), before);
    EXPECT_EQ(readFile(taken), "taken");
    EXPECT_EQ(readFile(shut), "shut");
    for (const std::string& file : {taken, shut})
        platformFileSystem().setAttributes(file, kAttrNormal);
}

// Appends to one source while the batch names its new file: after the
// source was read, before the commit removes the sources.
class AppendAtNaming final : public ForwardingFileSystem {
  public:
    AppendAtNaming(std::string source, std::string target)
        : source_(std::move(source)), target_(std::move(target)) {}
    IoError rename(const std::string& from, const std::string& to) override {
        if (to == target_) {
            FileHandle file = kNoFile;
            if (base().openAppend(source_, file) == IoError::ok) {
                base().write(file, "more\n", 5);
                base().close(file);
            }
        }
        return base().rename(from, to);
    }

  private:
    const std::string source_;
    const std::string target_;
};

// A file written to while the run had it is kept as it now is, named in a
// message of its own; the run goes on with the others and does not count it
// as done.
TEST_F(Runs, AFileChangedDuringTheRunIsKeptAndNamed) {
    const std::string log = temp.write("w/log.txt", "first\n");
    const std::string other = temp.write("w/other.txt", "other");
    FileHandle volume = kNoFile;
    if (platformFileSystem().openVolume(temp / "w", volume) != IoError::ok)
        GTEST_SKIP() << "files on this volume are committed one by one";
    platformFileSystem().close(volume);

    model.targetList = rows({log, other});
    RunOutcome locked;
    {
        AppendAtNaming appending(log, lockedName(log, ".VKL"));
        FileSystemOverride use(appending);
        locked = cmdLock_Click(model, desktop);
    }
    EXPECT_EQ(desktop.messages,
              (std::vector<Shown>{{changedDuringRunText(log, true), Icon::exclamation,
                                   kChangedDuringRunTitle},
                                  kNotAllLocked}));
    EXPECT_EQ(locked.done, 1u);
    EXPECT_EQ(locked.failed, 1u);
    EXPECT_EQ(namesIn(temp / "w"), (Names{lockedName("other.txt", ".VKL"), "log.txt"}));
    EXPECT_EQ(readFile(log), "first\nmore\n");

    desktop.messages.clear();
    const std::string lockedOther = lockedName(other, ".VKL");
    model.targetList = rows({lockedOther});
    RunOutcome unlocked;
    {
        AppendAtNaming appending(lockedOther, other);
        FileSystemOverride use(appending);
        unlocked = cmdUnlock_Click(model, desktop);
    }
    EXPECT_EQ(desktop.messages,
              (std::vector<Shown>{{changedDuringRunText(lockedOther, false), Icon::exclamation,
                                   kChangedDuringRunTitle}}));
    EXPECT_EQ(unlocked.done, 0u);
    EXPECT_EQ(namesIn(temp / "w"), (Names{lockedName("other.txt", ".VKL"), "log.txt"}));
    const std::string kept = readFile(lockedOther);
    EXPECT_EQ(kept.substr(kept.size() - 5), "more\n");
}

// A volume's flushes report the write errors of a batch only when the batch
// held the volume before it wrote anything there: a large file, written as
// it is read, is no exception, locked or unlocked.
TEST_F(Runs, ABatchHoldsTheVolumeBeforeItWritesThere) {
    const std::string large = temp.write("w/large.bin", patternBytes(kLargeFileThreshold + 1));
    for (auto run : {&cmdLock_Click, &cmdUnlock_Click}) {
        model.targetList = rows({run == &cmdLock_Click ? large : lockedName(large, ".VKW")});
        FaultyFileSystem counting;
        {
            FileSystemOverride use(counting);
            EXPECT_TRUE(run(model, desktop).complete());
        }
        const std::vector<std::string>& calls = counting.log();
        const auto held = std::find(calls.begin(), calls.end(), "openVolume");
        EXPECT_NE(held, calls.end());
        EXPECT_EQ(std::find(calls.begin(), held, "createTemporary"), held);
    }
    EXPECT_EQ(readFile(large), patternBytes(kLargeFileThreshold + 1));
}

#ifndef _WIN32
// A locked file, and the file unlocked from it, are no more open to others
// than the file was: batched or committed one by one, small or large.
TEST_F(Runs, LockingAndUnlockingKeepTheFilesPermissions) {
    auto mode = [](const std::string& path) {
        struct stat st;
        return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 0777 : 0u;
    };
    OneByOne oneByOne;
    int round = 0;
    for (FileSystem* fs : {&platformFileSystem(), static_cast<FileSystem*>(&oneByOne)}) {
        for (mode_t permissions : {0600u, 0640u}) {
            SCOPED_TRACE(testing::Message() << std::oct << permissions);
            const std::string folder = "round" + std::to_string(++round) + "/";
            const std::string small = temp.write(folder + "small.txt", "private");
            const std::string large = temp.write(folder + "large.bin", patternBytes(kLargeFileThreshold));
            ::chmod(small.c_str(), permissions);
            ::chmod(large.c_str(), permissions);
            FileSystemOverride use(*fs);
            model.targetList = rows({small, large});
            ASSERT_TRUE(cmdLock_Click(model, desktop).complete());
            EXPECT_EQ(mode(lockedName(small, ".VKL")), permissions & 0444);
            EXPECT_EQ(mode(lockedName(large, ".VKW")), permissions & 0444);
            model.targetList = rows({lockedName(small, ".VKL"), lockedName(large, ".VKW")});
            ASSERT_TRUE(cmdUnlock_Click(model, desktop).complete());
            EXPECT_EQ(mode(small), permissions);
            EXPECT_EQ(mode(large), permissions);
        }
    }
}

// Nobody else can open a new file while it is written: it is private until
// it takes its source's permissions.
TEST_F(Runs, ANewFileIsPrivateUntilItTakesItsSourcesPermissions) {
    class Watching final : public ForwardingFileSystem {
      public:
        IoError copyPermissions(const std::string& from, FileHandle to) override {
            struct stat st;
            if (::fstat(static_cast<int>(to), &st) == 0) modes.push_back(st.st_mode & 0777);
            return base().copyPermissions(from, to);
        }
        std::vector<unsigned> modes;
    } watching;
    const std::string small = temp.write("w/small.txt", "shared");
    const std::string large = temp.write("w/large.bin", patternBytes(kLargeFileThreshold));
    ::chmod(small.c_str(), 0644);
    ::chmod(large.c_str(), 0644);
    model.targetList = rows({small, large});
    FileSystemOverride use(watching);
    ASSERT_TRUE(cmdLock_Click(model, desktop).complete());
    EXPECT_EQ(watching.modes, (std::vector<unsigned>{0600, 0600}));
}
#endif

// The files of one run are flushed together. Whatever call fails, or
// wherever the process ends, each file stays whole: plain, or completely
// locked (and then listed); a failed run's count agrees with the disk.
struct BatchFile {
    const char* relative;
    size_t length;
};
const BatchFile kBatch[] = {{"w/one.txt", 300}, {"w/sub/two.txt", 70000}, {"w/three.bin", 200001}};

struct BatchRun {
    TempFolder temp;
    WindowModel model;
    ScriptedDesktop desktop;
    std::vector<std::string> plain;

    BatchRun() {
        for (const BatchFile& file : kBatch) {
            plain.push_back(temp.write(file.relative, content(plain.size())));
            model.targetList.push_back(row(plain.back()));
        }
        openTargetPage(model, Option::OptEncFiles);
    }
    static std::string content(size_t i) {
        return patternBytes(kBatch[i].length, static_cast<unsigned>(i + 1));
    }
    std::string locked(size_t i) const {
        return lockedName(plain[i], kBatch[i].length < kLargeFileThreshold ? ".VKL" : ".VKW");
    }
    // Checks every file; returns how many are locked.
    size_t check(bool bothMayStand) {
        const std::string files = readFile(applicationFile("files"));
        size_t lockedCount = 0;
        for (size_t i = 0; i < plain.size(); ++i) {
            SCOPED_TRACE(plain[i]);
            const bool isPlain = fileExists(plain[i]), isLocked = fileExists(locked(i));
            EXPECT_TRUE(isPlain || isLocked);
            if (!bothMayStand) {
                EXPECT_FALSE(isPlain && isLocked);
            }
            if (isPlain) {
                EXPECT_TRUE(readFile(plain[i]) == content(i));
            }
            if (isLocked) {
                EXPECT_TRUE(unlockedContent(locked(i), temp) == content(i));
                // Listed before its source went.
                if (kBatch[i].length < kLargeFileThreshold && !isPlain) {
                    EXPECT_NE(files.find(locked(i) + "\r\n"), std::string::npos);
                }
            }
            if (isLocked && !isPlain) ++lockedCount;
        }
        return lockedCount;
    }
};

int lockRunCalls() {
    BatchRun run;
    FaultyFileSystem counting;
    FileSystemOverride use(counting);
    EXPECT_TRUE(cmdLock_Click(run.model, run.desktop).complete());
    return counting.calls();
}

TEST(LockRunBatch, AFailureAtAnyCallKeepsEveryFileWhole) {
    const int calls = lockRunCalls();
    for (int n = 1; n <= calls; ++n) {
        BatchRun run;
        FaultyFileSystem faulty;
        faulty.failAt(n);
        RunOutcome outcome;
        {
            FileSystemOverride use(faulty);
            outcome = cmdLock_Click(run.model, run.desktop);
        }
        SCOPED_TRACE(testing::Message() << "call " << n << " (" << faulty.log()[n - 1] << ")");
        // A locked file whose read-back failed is not called done, though it stands.
        const size_t locked = run.check(false);
        EXPECT_LE(outcome.done, locked);
        EXPECT_LE(locked, outcome.done + outcome.failed);
        EXPECT_EQ(outcome.done + outcome.failed + outcome.missing, std::size(kBatch));
        for (const std::string& folder : {run.temp / "w", run.temp / "w/sub", run.temp.home()}) {
            for (const std::string& name : namesIn(folder))
                EXPECT_FALSE(isTemporaryName(name)) << name;
        }
    }
}

#ifndef _WIN32
TEST(LockRunBatch, ACrashAtAnyCallLeavesEveryContentPlainOrCompletelyLocked) {
    const int calls = lockRunCalls();
    for (int n = 1; n <= calls; ++n) {
        SCOPED_TRACE(testing::Message() << "crash at call " << n);
        BatchRun run;
        const pid_t child = fork();
        ASSERT_NE(child, -1);
        if (child == 0) {
            FaultyFileSystem faulty;
            faulty.crashAt(n);
            FileSystemOverride use(faulty);
            cmdLock_Click(run.model, run.desktop);
            _exit(0);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 42) << "no crash";
        run.check(true);
    }
}
#endif

#ifndef _WIN32
// A folder's list of hidden names that cannot be edited is named after the
// run by its own path with the cause; the file is locked all the same (its
// attribute hides it).
TEST_F(Runs, AListOfHiddenNamesThatCannotBeEditedIsNamedAfterTheRun) {
    int index = 0;
    for (const UneditableList& kind : kUneditableLists) {
        SCOPED_TRACE(kind.what);
        const std::string folder = "k" + std::to_string(index++);
        const std::string plain = temp.write(folder + "/a.txt", "a");
        kind.make(temp, folder);
        model.targetList = rows({plain});
        desktop.messages.clear();
        ListEditedMeanwhile editor;
        {
            std::optional<FileSystemOverride> edited;
            if (kind.editedMeanwhile) edited.emplace(editor);
            EXPECT_TRUE(cmdLock_Click(model, desktop).succeeded());
        }
        EXPECT_EQ(desktop.messages,
                  (std::vector<Shown>{{"These folders' lists of hidden names could not be updated, "
                                       "so file managers may show or hide the wrong files:\r\n" +
                                           temp / (folder + "/.hidden") + ": " + kind.cause,
                                       Icon::exclamation, "Vellumar"}}));
        EXPECT_TRUE(fileExists(lockedName(plain, ".VKL")));
        EXPECT_EQ(editor.edited, kind.editedMeanwhile);
    }
}
#endif

}  // namespace
}  // namespace vellumar::test
