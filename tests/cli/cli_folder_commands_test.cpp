// The command line's folder commands in process: what each prints, on
// which stream, and the exit status, for a folder locked and unlocked, one
// refused, one that fails half-way, one that is not listed or not there,
// and a run cancelled by an interrupt.

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <functional>
#include <sstream>
#include <utility>

#include "cli/cli.h"
#include "engine/platform/file_system.h"
#include "engine/formats/locked_folder_name.h"
#include "engine/formats/locked_header.h"
#include "engine/platform/paths.h"
#include "engine/platform/platform.h"
#include "tests/app/memory_settings.h"
#include "tests/support/forwarding_file_system.h"
#include "tests/support/temp_folder.h"

namespace vellumar::test {
namespace {

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

bool endsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

class FolderCommands : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(run({"set-password"}, "pw\npw\n").status, 0); }

    // `cancel`: asked between two files whether to stop, as an interrupt does.
    Result run(std::vector<std::string> arguments, const std::string& input = "pw\n",
               std::function<bool()> cancel = {}) {
        arguments.insert(arguments.begin(), "--password-stdin");
        std::istringstream in(input);
        std::ostringstream out, err;
        Console console{in, out, err, false, false, {}, std::move(cancel)};
        Result result;
        result.status = runCli(arguments, settings, console);
        result.out = out.str();
        result.err = err.str();
        return result;
    }
    std::string locked(const std::string& name) const { return temp / lockedFolderName(name); }
    // T holding a.txt, b.txt and sub/c.txt.
    std::string makeTree(const std::string& name = "T") {
        for (const char* file : {"/a.txt", "/b.txt", "/sub/c.txt"}) temp.write(name + file, "x");
        return temp / name;
    }

    TempFolder temp;
    MemorySettings settings;
};

TEST_F(FolderCommands, AFolderIsLockedListedAndUnlocked) {
    const std::string folder = makeTree();
    // No list yet: nothing is listed.
    Result unlisted = run({"unlock-folder", folder});
    EXPECT_EQ(unlisted.status, 1);
    EXPECT_EQ(unlisted.err, folder +
                                ": not one of the encrypted folders (tessarin-cli folders lists "
                                "them)\nNothing was changed.\n");
    Result lock = run({"lock-folder", folder});
    EXPECT_EQ(lock.status, 0);
    EXPECT_EQ(lock.err, "Encryption Completed Successfully\n");
    EXPECT_TRUE(fileExists(locked("T")));

    Result listed = run({"folders"});
    EXPECT_EQ(listed.status, 0);
    EXPECT_EQ(listed.out, folder + "\n");

    Result unlock = run({"unlock-folder", folder});
    EXPECT_EQ(unlock.status, 0);
    EXPECT_EQ(unlock.err, "Decryption Completed Successfully\n");
    EXPECT_EQ(listTree(folder), "a.txt\nb.txt\nsub\nsub/c.txt\n");
    EXPECT_EQ(run({"folders"}).out, "");
}

// Every folder that is refused, not listed or not there is named with the
// cause, and nothing changes.
TEST_F(FolderCommands, ARefusedOrUnknownFolderIsNamedWithTheCause) {
    const std::string listedGone = temp / "Gone";
    temp.write("home/folders", listedGone + "\r\n");
    temp.makeFolder(lockedFolderName("Vault"));
    const std::string vault = temp.makeFolder("Vault");
    const std::string hidden = temp.makeFolder("hidden");
    ASSERT_EQ(fileSystem().setAttributes(hidden, kAttrHidden), IoError::ok);
    const std::string unchanged = "\nNothing was changed.\n";
    struct Case {
        std::vector<std::string> arguments;
        std::string err;
    } cases[] = {
        {{"lock-folder", temp / "missing"},
         temp / "missing" + ": there is no folder there" + unchanged},
        {{"lock-folder", temp.home()},
         temp.home() + ": it holds the program or its list files, which cannot be locked" +
             unchanged},
        {{"lock-folder", vault},
         vault + ": a locked folder of the same name stands beside it (" + locked("Vault") + ")" +
             unchanged},
#ifndef _WIN32
        // "Y" locked is "š", the locked "I" beside it "Š": one name to Windows.
        {{"lock-folder", temp.makeFolder("Y")},
         temp / "Y" + ": its locked name would differ only in case from " +
             temp.makeFolder(lockedFolderName("I")) + ", which Windows cannot tell apart" +
             unchanged},
#endif
        {{"lock-folder", hidden},
         hidden +
             ": passed over, as a folder that is read-only, hidden, system or archive is "
             "not locked" +
             unchanged},
        {{"unlock-folder", vault},
         vault + ": not one of the encrypted folders (tessarin-cli folders lists them)" +
             unchanged},
        {{"unlock-folder", listedGone},
         listedGone +
             ": it is not there under its locked name nor its own (it may lie inside another "
             "locked folder: unlock that one first)" +
             unchanged},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments[1]);
        const std::string before = listTree(temp.path());
        Result result = run(c.arguments);
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.err, c.err);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(listTree(temp.path()), before);
    }
}

#ifndef _WIN32
// The list of hidden names beside the folder, or one inside it, that cannot
// be edited is named with its cause; the folder is locked and unlocked all
// the same (its attribute hides it), but the command does not end in success.
TEST_F(FolderCommands, AListOfHiddenNamesThatCannotBeEditedIsNamedAndFailsTheCommand) {
    const std::string folder = makeTree();
    const std::string beside = temp / ".hidden";
    const std::string inside = temp / "T/sub/.hidden";
    ASSERT_EQ(::mkfifo(beside.c_str(), 0600), 0);
    ASSERT_EQ(::mkdir(inside.c_str(), 0700), 0);
    const std::string cause = ": list of hidden names not updated: it is not a regular file\n";
    Result lock = run({"lock-folder", folder});
    EXPECT_EQ(lock.err, inside + cause + beside + cause + "Encryption Completed Successfully\n");
    EXPECT_EQ(lock.status, 1);
    EXPECT_TRUE(fileExists(locked("T")));
    // The files were unlocked while their folder had its locked name.
    Result unlock = run({"unlock-folder", folder});
    EXPECT_EQ(unlock.err, locked("T") + "/sub/.hidden" + cause + beside + cause +
                              "Decryption Completed Successfully\n");
    EXPECT_EQ(unlock.status, 1);
    EXPECT_EQ(listTree(folder), "a.txt\nb.txt\nsub\nsub/.hidden\nsub/c.txt\n");
}
#endif

TEST_F(FolderCommands, AFolderWithAFileThatCannotBeLockedStaysPlainAndListed) {
    const std::string folder = makeTree();
    temp.makeFolder("T/" + getFileName(lockedName(temp / "T/a.txt", ".VKL")));
    Result lock = run({"lock-folder", folder});
    EXPECT_EQ(lock.status, 1);
    EXPECT_TRUE(endsWith(lock.err, folder +
                                       ": not every file in it could be locked; it keeps its "
                                       "plain name and stays listed as being locked: lock-folder "
                                       "locks the rest\n2 of 3 files were locked.\n"))
        << lock.err;
    EXPECT_EQ(readFile(temp / "T/a.txt"), "x");
    EXPECT_EQ(run({"folders"}).out, folder + "\n");
}

// The folder is read back after its files are locked: a file saved into it
// meanwhile, or a hidden mark the folder does not keep, is no success.
TEST_F(FolderCommands, WhatTheFolderDoesNotConfirmIsNamedAndItStaysListed) {
    for (const bool saved : {true, false}) {
        SCOPED_TRACE(saved);
        const std::string name = saved ? "Saved" : "Shown";
        const std::string folder = makeTree(name);
        BusyFolder disk;
        (saved ? disk.savedMeanwhile : disk.notHiding) =
            saved ? temp / (name + "/late.txt") : folder;
        Result lock;
        {
            FileSystemOverride use(disk);
            lock = run({"lock-folder", folder});
        }
        EXPECT_EQ(lock.status, 1);
        const std::string expected =
            saved ? temp / (name + "/late.txt") + ": it is not locked\n" + folder +
                        ": not every file in it is locked after the run, so it was not hidden or "
                        "renamed; it keeps its plain name and stays listed as being locked: "
                        "lock-folder locks the rest\n"
                  : folder +
                        ": it could not be hidden: permission denied; its files are locked and it "
                        "stays listed as being locked under its plain name: lock-folder tries "
                        "again, unlock-folder unlocks it\n";
        EXPECT_TRUE(endsWith(lock.err, expected)) << lock.err;
        EXPECT_TRUE(fileExists(folder));
    }
    EXPECT_EQ(run({"folders"}).out, temp / "Saved" + "\n" + temp / "Shown" + "\n");
    // Run again, it finishes.
    EXPECT_EQ(run({"lock-folder", temp / "Saved"}).status, 0);
    EXPECT_EQ(run({"lock-folder", temp / "Shown"}).status, 0);
    EXPECT_FALSE(fileExists(temp / "Saved"));
}

// An interrupt (Ctrl-C) stops the run between two files: the folder keeps
// its plain name, stays listed for the file locked, and a run again
// finishes it.
TEST_F(FolderCommands, AnInterruptCancelsBetweenTwoFiles) {
    // At the first read of a file inside the folder: while its first file is locked.
    struct InterruptOnce final : ForwardingFileSystem {
        std::string folder;
        bool raised = false;
        IoError openRead(const std::string& p, FileHandle& out) override {
            if (!raised && p.rfind(folder, 0) == 0) {
                raised = true;
            }
            return ForwardingFileSystem::openRead(p, out);
        }
    } disk;
    const std::string folder = makeTree();
    disk.folder = folder;
    Result lock;
    {
        FileSystemOverride use(disk);
        lock = run({"lock-folder", folder}, "pw\n", [&disk] { return disk.raised; });
    }
    ASSERT_TRUE(disk.raised);
    EXPECT_EQ(lock.status, 1);
    EXPECT_TRUE(endsWith(lock.err, folder +
                                       ": cancelled; it keeps its plain name and stays listed as "
                                       "being locked: lock-folder locks the rest\n1 of 3 files "
                                       "were locked.\n"))
        << lock.err;
    EXPECT_FALSE(fileExists(locked("T")));
    EXPECT_EQ(run({"folders"}).out, folder + "\n");

    Result again = run({"lock-folder", folder});
    EXPECT_EQ(again.status, 0) << again.err;
    EXPECT_TRUE(fileExists(locked("T")));
}

// A file locked before the folder keeps the record even when the run is
// cancelled before its first file, and the line says the folder is listed.
TEST_F(FolderCommands, ACancelBeforeAnyFileKeepsTheRecordOfAFolderWithALockedFile) {
    const std::string folder = makeTree();
    ASSERT_EQ(run({"lock", temp / "T/a.txt"}).status, 0);
    Result lock = run({"lock-folder", folder}, "pw\n", [] { return true; });
    EXPECT_EQ(lock.status, 1);
    EXPECT_TRUE(endsWith(lock.err, folder +
                                       ": cancelled; it keeps its plain name and stays listed as "
                                       "being locked: lock-folder locks the rest\n0 of 2 files "
                                       "were locked.\n"))
        << lock.err;
    EXPECT_EQ(run({"folders"}).out, folder + "\n");
}

}  // namespace
}  // namespace vellumar::test
