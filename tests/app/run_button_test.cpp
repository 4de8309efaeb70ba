// The run button's dispatcher: its messages and what it leaves behind for
// the file operations, and the folder steps with their list files, on real
// folders (the search results filled directly).

#include "app/run_button.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <set>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "app/folder_chooser.h"
#include "engine/formats/locked_folder_name.h"
#include "engine/formats/locked_kind.h"
#include "engine/platform/paths.h"
#include "folders/folder_lists.h"
#include "folders/folder_state.h"
#include "locking/sealing_keys.h"
#include "tests/locking/run_fixture.h"
#include "tests/support/forwarding_file_system.h"

namespace vellumar::test {
namespace {

using Lines = std::vector<std::string>;

const Shown kFolderEncrypted{"Encryption Completed Successfully", Icon::information, "Vellumar"};
// The list of encrypted folders is read anew each time: no restart is asked for.
const Shown kFolderDecrypted{"Decryption Completed Successfully", Icon::information, "Vellumar"};

TEST_F(Runs, TheDispatcherRunsTheOperationOfThePageAndStartsOverFromTheChoice) {
    struct Case {
        const char* name;
        Option operation;
        bool ended;             // choice page in front, target list emptied
        bool foundListEmptied;  // the search results too
        std::vector<Shown> messages;
    };
    const std::string file = temp.write("w/a.txt", "a");
    const Shown encrypted{"File(s) Encrypted Successfully", Icon::information, "Vellumar"};
    const Shown decrypted{"File(s) Decrypted Successfully", Icon::information, "Vellumar"};
    const Shown plain{file + " is already unlocked.", Icon::none, "Vellumar"};
    const Shown notDone{"0 of 1 file was unlocked.", Icon::exclamation, "Vellumar"};
    const Case cases[] = {
        // No target page open: the run is refused.
        {"no operation", Option::none, false, false, {}},
        {"encrypt files", Option::OptEncFiles, true, false, {encrypted}},
        // A file that did not get there ends in the count, never in success.
        {"decrypt files", Option::OptDecFiles, true, false, {plain, notDone}},
        // A folder run needs a folder in hand; the listed rows are not one.
        {"encrypt folder, none in hand", Option::OptEncFolder, false, false, {}},
        {"decrypt folder, none in hand", Option::OptDecFolder, false, false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (!fileExists(file)) temp.write("w/a.txt", "a");
        ensureFolderList();
        model = WindowModel();
        openTargetPage(model, c.operation);
        model.runButtonEnabled = true;
        model.targetList = rows({file});
        model.foundFiles = rows({temp / "w/found-but-not-a-file-run"});
        desktop.messages.clear();

        cmdEncDec_Click(model, desktop);

        EXPECT_EQ(desktop.messages, c.messages);
        EXPECT_EQ(model.runButtonEnabled, !c.ended);
        EXPECT_FALSE(model.wizard.running());
        const Page page =
            c.ended || c.operation == Option::none ? Page::fraSelect : Page::fraResult;
        EXPECT_EQ(model.topPage(), page);
        EXPECT_EQ(model.targetList.empty(), c.ended);
        EXPECT_EQ(model.foundFiles.empty(), c.foundListEmptied);
        EXPECT_EQ(model.operation(), c.ended ? Option::none : c.operation);
    }
}

// Asks to stop once the run has worked through its first `files` files: between
// two files, whatever their length. `within`: once the next file is started
// too, so that a long one is stopped inside.
class CancellingDesktop : public ScriptedDesktop {
  public:
    explicit CancellingDesktop(int files, bool within = false) : files_(files), within_(within) {}
    void workedThrough(uint64_t) override { ++worked_; }
    bool cancelRequested() override {
        return worked_ >= files_ && (!within_ || progressCalls > files_);
    }

  private:
    const int files_;
    const bool within_;
    int worked_ = 0;
};

// Success is said only when every file got there: a file gone or a cancel
// each end the run in what it did instead. An empty list is not run at all.
TEST_F(Runs, AFileRunThatFallsShortEndsInItsCountNeverInSuccess) {
    struct Case {
        const char* name;
        const char* caption;
        int cancelAfter;  // files worked through before the cancel; -1: none
        bool secondGone;
        size_t rows;
        std::string said;  // the last message, exclamation; empty: none beyond the run's own
        // The first file is large: the cancel comes inside it, and it stays as it was too.
        bool firstLarge = false;
    } cases[] = {
        {"a file gone", "Encrypt", -1, true, 2,
         "1 of 2 files were locked.\r\n{gone}: the file is no longer there"},
        {"cancelled", "Encrypt", 1, false, 2,
         "The run was cancelled.\r\n1 of 2 files were locked. The others are as they were."},
        {"cancelled unlock", "Decrypt", 1, false, 2,
         "The run was cancelled.\r\n1 of 2 files were unlocked. The others are as they were."},
        {"cancelled inside a large file", "Encrypt", 0, false, 2,
         "The run was cancelled.\r\n0 of 2 files were locked. The others are as they were.", true},
        {"nothing to run", "Encrypt", -1, false, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder here;
        const bool unlocking = std::string(c.caption) == "Decrypt";
        std::vector<std::string> paths;
        const std::string large = patternBytes(kLargeFileThreshold + 1);
        for (const char* name : {"a.txt", "b.txt"}) {
            const bool first = paths.empty();
            const std::string plain =
                here.write(std::string("w/") + name, first && c.firstLarge ? large : name);
            if (!unlocking) {
                paths.push_back(plain);
                continue;
            }
            ScriptedDesktop quiet;
            ASSERT_TRUE(lockSmallShown(plain, quiet));
            paths.push_back(lockedName(plain, ".VKL"));
        }
        if (c.secondGone) {
            ASSERT_EQ(std::remove(paths[1].c_str()), 0);
        }
        paths.resize(c.rows);
        CancellingDesktop person(c.cancelAfter < 0 ? 1000 : c.cancelAfter, c.firstLarge);
        model = WindowModel();
        openTargetPage(model, unlocking ? Option::OptDecFiles : Option::OptEncFiles);
        model.targetList = rows(paths);

        cmdEncDec_Click(model, person);

        std::vector<Shown> expected;
        std::string said = c.said;
        if (c.secondGone) said.replace(said.find("{gone}"), 6, paths[1]);
        if (!said.empty()) expected.push_back({said, Icon::exclamation, "Vellumar"});
        EXPECT_EQ(person.messages, expected);
        EXPECT_EQ(model.topPage(), c.rows == 0 ? Page::fraResult : Page::fraSelect);
        // A cancelled run leaves the second file as it was.
        if (c.cancelAfter >= 0) {
            EXPECT_TRUE(unlocking ? startsWithLockedMarker(paths[1])
                                  : readFile(paths[1]) == "b.txt");
        }
        if (c.firstLarge) {
            EXPECT_TRUE(readFile(paths[0]) == large);
        }
    }
}

// Folders below w/, each with a few files.
class FolderSteps : public Runs {
  protected:
    std::string parent() const { return temp / "w/"; }
    std::string plainPath(const std::string& name) const { return parent() + name; }
    // A file below a folder, `relative` written with '/'.
    static std::string in(const std::string& folder, std::string relative) {
        std::replace(relative.begin(), relative.end(), '/', kSeparator);
        return folder + kSeparator + relative;
    }
    std::string lockedPath(const std::string& name) const {
        return parent() + lockedFolderName(name);
    }
    void makeFolder(const std::string& name) {
        temp.write("w/" + name + "/one.txt", name + " one");
        temp.write("w/" + name + "/sub/two.bin", patternBytes(200000, 2));
    }
    // Every file below a folder, as the search would list them.
    static void filesBelow(const std::string& folder, std::vector<std::string>& out) {
        std::vector<FolderEntry> entries;
        platformFileSystem().listFolder(folder, entries);
        for (const FolderEntry& entry : entries) {
            const std::string path = folder + kSeparator + entry.name;
            if (entry.kind == EntryKind::folder) filesBelow(path, out);
            if (entry.kind == EntryKind::file) out.push_back(path);
        }
    }
    // What the chooser leaves for "Encrypt a Folder".
    void chooseToEncrypt(const std::string& name) {
        model = WindowModel();
        openTargetPage(model, Option::OptEncFolder);
        model.runButtonEnabled = true;
        model.ParentPath = parent();
        model.FolderName = name;
        writePendingFolder(plainPath(name));
        std::vector<std::string> files;
        filesBelow(plainPath(name), files);
        model.foundFiles = rows(files);
    }
    // What the encrypted-folders window leaves for "Decrypt a Folder".
    void chooseToDecrypt(const std::string& name, const std::string& where) {
        model = WindowModel();
        openTargetPage(model, Option::OptDecFolder);
        model.runButtonEnabled = true;
        model.ParentPath = parent();
        model.FolderName = name;
        model.PlainFolderPath = plainPath(name);
        std::vector<std::string> files;
        filesBelow(where, files);
        model.foundFiles = rows(files);
    }
    void run() {
        desktop.messages.clear();
        cmdEncDec_Click(model, desktop);
    }
    static uint32_t folderAttributes(const std::string& path) {
        return attributesOf(path) & ~kAttrArchive;
    }
    void expectLocked(const std::string& name, const std::string& where) {
        EXPECT_EQ(readFile(in(where, "one.txt")), "<missing>");
        EXPECT_EQ(unlockedContent(lockedName(in(where, "one.txt"), ".VKL"), temp), name + " one");
        EXPECT_TRUE(unlockedContent(lockedName(in(where, "sub/two.bin"), ".VKW"), temp) ==
                    patternBytes(200000, 2));
    }
    void expectPlain(const std::string& name) {
        EXPECT_EQ(folderAttributes(plainPath(name)), kAttrDirectory);
        EXPECT_EQ(readFile(in(plainPath(name), "one.txt")), name + " one");
        EXPECT_TRUE(readFile(in(plainPath(name), "sub/two.bin")) == patternBytes(200000, 2));
        EXPECT_FALSE(fileExists(lockedPath(name)));
    }
    Lines records() {
        Lines lines;
        readFolderLines(lines);
        return lines;
    }
};

TEST_F(FolderSteps, FoldersAreEncryptedInOrderAndTheSecondOfThreeIsDecrypted) {
    for (const char* name : {"A", "B", "C"}) {
        makeFolder(name);
        chooseToEncrypt(name);
        run();
        EXPECT_EQ(desktop.messages, std::vector<Shown>{kFolderEncrypted});
        EXPECT_EQ(folderAttributes(lockedPath(name)), kAttrDirectory | kAttrHidden);
        EXPECT_FALSE(fileExists(plainPath(name)));
        expectLocked(name, lockedPath(name));
        EXPECT_TRUE(model.targetList.empty() && model.foundFiles.empty());
        EXPECT_EQ(model.topPage(), Page::fraSelect);
    }
    EXPECT_EQ(records(), (Lines{plainPath("A"), plainPath("B"), plainPath("C")}));
    EXPECT_FALSE(fileExists(applicationFile("encfile")));

    chooseToDecrypt("B", lockedPath("B"));
    run();
    EXPECT_EQ(desktop.messages, std::vector<Shown>{kFolderDecrypted});
    expectPlain("B");
    EXPECT_EQ(records(), (Lines{plainPath("A"), plainPath("C")}));
    EXPECT_EQ(listTree(temp.home()), "folders\n");
    EXPECT_TRUE(model.targetList.empty() && model.foundFiles.empty());
}

#ifndef _WIN32
// The list of hidden names beside the folder and one inside it that cannot
// be edited are named in one message before the folder's last word; the
// folder is locked and unlocked all the same (its attribute hides it).
TEST_F(FolderSteps, ListsOfHiddenNamesThatCannotBeEditedAreNamedBeforeTheLastWord) {
    makeFolder("A");
    const std::string beside = temp / "w/.hidden";
    ASSERT_EQ(::mkfifo(beside.c_str(), 0600), 0);
    temp.makeFolder("w/A/sub/.hidden");
    const std::string cause = ": it is not a regular file";
    auto listsNotUpdated = [&](const std::string& folder) {
        return Shown{"These folders' lists of hidden names could not be updated, so file "
                     "managers may show or hide the wrong files:\r\n" +
                         in(folder, "sub/.hidden") + cause + "\r\n" + beside + cause,
                     Icon::exclamation, "Vellumar"};
    };
    chooseToEncrypt("A");
    run();
    EXPECT_EQ(desktop.messages, (std::vector<Shown>{listsNotUpdated(plainPath("A")), kFolderEncrypted}));
    expectLocked("A", lockedPath("A"));
    // The files were unlocked while their folder had its locked name.
    chooseToDecrypt("A", lockedPath("A"));
    run();
    EXPECT_EQ(desktop.messages, (std::vector<Shown>{listsNotUpdated(lockedPath("A")), kFolderDecrypted}));
    expectPlain("A");
}
#endif

// The busy pointer shows while a folder's files are worked on, and is gone
// when the run says how it ended ("No file is checked" for an empty folder
// included), as in a run of files.
TEST_F(FolderSteps, TheBusyPointerShowsWhileTheFilesRunAndIsGoneForTheLastWord) {
    makeFolder("A");
    temp.makeFolder("w/E");
    const Shown noFileChecked{"No file is checked", Icon::exclamation, "Vellumar"};
    struct Case {
        const char* name;
        bool encrypt;
        std::vector<Shown> said;
    } cases[] = {
        {"A", true, {kFolderEncrypted}},
        {"E", true, {noFileChecked, kFolderEncrypted}},
        {"A", false, {kFolderDecrypted}},
        {"E", false, {noFileChecked, kFolderDecrypted}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + (c.encrypt ? " locked" : " unlocked"));
        if (c.encrypt)
            chooseToEncrypt(c.name);
        else
            chooseToDecrypt(c.name, lockedPath(c.name));
        desktop.busyChanges.clear();
        std::vector<bool> busyWhenSaid;
        desktop.onMessage = [&](const Shown&) {
            busyWhenSaid.push_back(!desktop.busyChanges.empty() && desktop.busyChanges.back());
        };
        run();
        desktop.onMessage = nullptr;
        EXPECT_EQ(desktop.messages, c.said);
        EXPECT_EQ(desktop.busyChanges, (std::vector<bool>{true, false}));
        EXPECT_EQ(busyWhenSaid, std::vector<bool>(c.said.size(), false));
    }
}

// A cancelled folder run says how many of the folder's files it did.
TEST_F(FolderSteps, ACancelledFolderRunSaysHowManyFilesItDid) {
    makeFolder("A");
    chooseToEncrypt("A");
    CancellingDesktop lockPerson(1);
    cmdEncDec_Click(model, lockPerson);
    EXPECT_EQ(lockPerson.messages,
              (std::vector<Shown>{{"Locking the folder " + plainPath("A") +
                                       " was cancelled.\r\nIt keeps its plain name and stays "
                                       "listed as being locked: Encrypt a Folder locks the "
                                       "rest.\r\n1 of 2 files were locked.",
                                   Icon::critical, "Vellumar"}}));
    EXPECT_EQ(records(), Lines{plainPath("A")});

    chooseToEncrypt("A");
    run();
    chooseToDecrypt("A", lockedPath("A"));
    CancellingDesktop unlockPerson(1);
    cmdEncDec_Click(model, unlockPerson);
    EXPECT_EQ(unlockPerson.messages,
              (std::vector<Shown>{{"Unlocking the folder " + plainPath("A") +
                                       " was cancelled.\r\nIt keeps its locked name and stays "
                                       "listed: Decrypt a Folder unlocks the rest.\r\n1 of 2 "
                                       "files were unlocked.",
                                   Icon::critical, "Vellumar"}}));
    EXPECT_TRUE(fileExists(lockedPath("A")));
    EXPECT_EQ(records(), Lines{plainPath("A")});
}

TEST_F(FolderSteps, ADuplicatedRecordIsRemovedWholeAndTheSecondRenameFailsSilently) {
    makeFolder("A");
    chooseToEncrypt("A");
    run();
    replaceFolderLines({plainPath("A"), "/elsewhere/B", plainPath("A")});
    chooseToDecrypt("A", lockedPath("A"));
    run();
    EXPECT_EQ(desktop.messages, std::vector<Shown>{kFolderDecrypted});
    expectPlain("A");
    EXPECT_EQ(records(), Lines{"/elsewhere/B"});
}

TEST_F(FolderSteps, WithoutItsPendingFolderTheEncryptStepRecordsTheAcceptedFolder) {
    const std::function<void()> pendingFile[] = {
        [] { deletePendingFolder(); },
        [this] { temp.write("home/encfile", ""); },
        [this] { writePendingFolder(plainPath("other")); },
    };
    Lines expected;
    for (size_t i = 0; i < std::size(pendingFile); ++i) {
        const std::string name = std::string(1, 'F').append(std::to_string(i));
        makeFolder(name);
        chooseToEncrypt(name);
        pendingFile[i]();
        run();
        EXPECT_EQ(desktop.messages, std::vector<Shown>{kFolderEncrypted});
        expected.push_back(plainPath(name));
        EXPECT_EQ(records(), expected);
        EXPECT_TRUE(fileExists(lockedPath(name)));
        EXPECT_FALSE(fileExists(applicationFile("encfile")));
    }
}

TEST_F(FolderSteps, AListThatCannotBeReadLeavesTheFolderLockedAndTheListAsItIs) {
    const std::function<void()> breakList[] = {
        [] { platformFileSystem().removeFile(applicationFile("folders")); },
        [this] {
            platformFileSystem().removeFile(applicationFile("folders"));
            temp.makeFolder("home/folders");
        },
    };
    for (size_t i = 0; i < std::size(breakList); ++i) {
        SCOPED_TRACE(i);
        const std::string name = std::string(1, 'G').append(std::to_string(i));
        makeFolder(name);
        chooseToEncrypt(name);
        run();
        breakList[i]();
        const std::string before = listTree(temp.home());
        chooseToDecrypt(name, lockedPath(name));
        run();
        EXPECT_EQ(desktop.messages,
                  (std::vector<Shown>{{"The list of encrypted folders could not be read.\r\n"
                                       "The folder " +
                                           plainPath(name) + " keeps its locked name.",
                                       Icon::critical, "Vellumar"}}));
        EXPECT_EQ(folderAttributes(lockedPath(name)), kAttrDirectory | kAttrHidden);
        EXPECT_FALSE(fileExists(plainPath(name)));
        EXPECT_EQ(listTree(temp.home()), before);
        EXPECT_EQ(model.topPage(), Page::fraSelect);
        platformFileSystem().removeFolder(applicationFile("folders"));
    }
}

// Nothing is unlocked for a folder whose record cannot be read or is gone
// (another run unlocked it since the window listed it): its files would be
// left plain inside a hidden folder that nothing lists.
TEST_F(FolderSteps, AFolderWhoseRecordCannotBeFoundHasNothingUnlocked) {
    struct Case {
        const char* name;
        std::function<void(const std::string& plain)> loseRecord;
        std::string text;
    };
    const Case cases[] = {
        {"list unreadable",
         [](const std::string&) { platformFileSystem().removeFile(applicationFile("folders")); },
         "The list of encrypted folders could not be read.\r\nThe folder <plain> keeps its "
         "locked name."},
        {"record gone", [](const std::string& plain) { removeFolderRecord(plain); },
         "This Folder Is Already Unlocked\rPlease Restart The Application\rAnd Get Updated View "
         "Of Folders"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string name = std::string("H") + c.name[0];
        makeFolder(name);
        chooseToEncrypt(name);
        run();
        ensureFolderList();
        c.loseRecord(plainPath(name));
        chooseToDecrypt(name, lockedPath(name));
        run();
        std::string text = c.text;
        if (size_t at = text.find("<plain>"); at != std::string::npos)
            text.replace(at, 7, plainPath(name));
        EXPECT_EQ(desktop.messages, (std::vector<Shown>{{text, Icon::critical, "Vellumar"}}));
        expectLocked(name, lockedPath(name));
        EXPECT_FALSE(fileExists(plainPath(name)));
    }
}

TEST_F(FolderSteps, AFolderThatKeptItsPlainNameIsReportedAndStillRestored) {
    makeFolder("A");
    temp.write("w/" + lockedFolderName("A"), "the locked name is taken");
    chooseToEncrypt("A");
    run();
    EXPECT_EQ(desktop.messages,
              (std::vector<Shown>{{"The folder " + plainPath("A") +
                                       " could not be given its locked name.\r\nIts files are "
                                       "locked and it is listed: Decrypt a Folder restores it.",
                                   Icon::critical, "Vellumar"}}));
    EXPECT_EQ(folderAttributes(plainPath("A")), kAttrDirectory | kAttrHidden);
    expectLocked("A", plainPath("A"));
    EXPECT_EQ(records(), Lines{plainPath("A")});

    chooseToDecrypt("A", plainPath("A"));
    run();
    EXPECT_EQ(desktop.messages, std::vector<Shown>{kFolderDecrypted});
    EXPECT_EQ(folderAttributes(plainPath("A")), kAttrDirectory);
    EXPECT_EQ(readFile(in(plainPath("A"), "one.txt")), "A one");
    EXPECT_TRUE(readFile(in(plainPath("A"), "sub/two.bin")) == patternBytes(200000, 2));
    EXPECT_EQ(records(), Lines{});
}

// A file that cannot be unlocked (here: locked under another password) is
// never reported as a decrypted folder: the folder gets its name back, and
// its record stays until a later run unlocks the rest.
TEST_F(FolderSteps, AFolderWithAFileThatCannotBeUnlockedStaysListed) {
    makeFolder("A");
    chooseToEncrypt("A");
    run();
    const std::string stranger = in(lockedPath("A"), "stranger.VKL");
    temp.write(stranger.substr(temp.path().size() + 1), "[Secret]AAAAAAAABBBBBBBB\r\nCCCC\r\n");

    chooseToDecrypt("A", lockedPath("A"));
    run();
    EXPECT_EQ(desktop.messages,
              (std::vector<Shown>{
                  {"Sorry, this is not the correct password!", Icon::exclamation, "Secret"},
                  {"Not every file in the folder " + plainPath("A") +
                       " could be unlocked.\r\nIt has its name back and stays listed: Decrypt a "
                       "Folder unlocks the rest.",
                   Icon::critical, "Vellumar"}}));
    EXPECT_EQ(folderAttributes(plainPath("A")), kAttrDirectory);
    EXPECT_EQ(records(), Lines{plainPath("A")});

    platformFileSystem().setAttributes(in(plainPath("A"), "stranger.VKL"), kAttrNormal);
    platformFileSystem().removeFile(in(plainPath("A"), "stranger.VKL"));
    chooseToDecrypt("A", plainPath("A"));
    run();
    // The files unlocked the first time are unlocked: passed over without a word.
    EXPECT_EQ(desktop.messages, std::vector<Shown>{kFolderDecrypted});
    expectPlain("A");
    EXPECT_EQ(records(), Lines{});
}

// A folder where not every file could be locked is never hidden or renamed,
// nor said to be locked: it stays listed as being locked while any file
// inside is, and is not listed at all when none is.
TEST_F(FolderSteps, AFolderWhoseFilesCouldNotAllBeLockedKeepsItsPlainName) {
    // A read-only mount: no new file can be made inside the folder.
    class ReadOnlyBelow final : public ForwardingFileSystem {
      public:
        explicit ReadOnlyBelow(std::string folder) : folder_(std::move(folder)) {}
        IoError createNew(const std::string& p, FileHandle& out) override {
            if (p.rfind(folder_, 0) == 0) return IoError::accessDenied;
            return base().createNew(p, out);
        }

      private:
        std::string folder_;
    };
    makeFolder("R");
    chooseToEncrypt("R");
    {
        ReadOnlyBelow readOnly(plainPath("R"));
        FileSystemOverride use(readOnly);
        run();
    }
    ASSERT_FALSE(desktop.messages.empty());
    EXPECT_EQ(desktop.messages.back(),
              (Shown{"No file in the folder " + plainPath("R") +
                         " could be locked.\r\nIt keeps its name and is not listed.",
                     Icon::critical, "Vellumar"}));
    expectPlain("R");
    EXPECT_EQ(records(), Lines{});

    // One file locked, the other in the way of its locked name.
    makeFolder("C");
    const std::string taken = lockedName(in(plainPath("C"), "one.txt"), ".VKL");
    // A folder, which no lock run touches, holds the name.
    temp.makeFolder("w/C/" + getFileName(taken));
    chooseToEncrypt("C");
    run();
    const std::string beingLocked =
        "Not every file in the folder " + plainPath("C") +
        " could be locked.\r\nIt keeps its plain name and stays listed as being locked: Encrypt a "
        "Folder locks the rest, Decrypt a Folder unlocks the files locked so far.";
    ASSERT_FALSE(desktop.messages.empty());
    EXPECT_EQ(desktop.messages.back(), (Shown{beingLocked, Icon::critical, "Vellumar"}));
    EXPECT_EQ(folderAttributes(plainPath("C")), kAttrDirectory);
    EXPECT_FALSE(fileExists(lockedPath("C")));
    EXPECT_EQ(readFile(in(plainPath("C"), "one.txt")), "C one");
    EXPECT_EQ(records(), Lines{plainPath("C")});

    // Once the way is clear, locking it again finishes the job.
    platformFileSystem().removeFolder(taken);
    chooseToEncrypt("C");
    run();
    EXPECT_EQ(desktop.messages, std::vector<Shown>{kFolderEncrypted});
    EXPECT_EQ(records(), Lines{plainPath("C")});
    chooseToDecrypt("C", lockedPath("C"));
    run();
    EXPECT_EQ(desktop.messages, std::vector<Shown>{kFolderDecrypted});
    expectPlain("C");
    EXPECT_EQ(records(), Lines{});
}

// A new folder made under the plain name of a locked one: the record is the
// locked folder's, and the name it would be given is taken. Neither folder
// is touched in either direction until the plain name is free again.
TEST_F(FolderSteps, ANewFolderUnderTheNameOfALockedOneIsRefusedEitherWay) {
    makeFolder("A");
    chooseToEncrypt("A");
    run();
    ASSERT_EQ(desktop.messages, std::vector<Shown>{kFolderEncrypted});
    makeFolder("A");
    const std::string newFiles = listTree(plainPath("A"));

    chooseToEncrypt("A");
    run();
    EXPECT_EQ(
        desktop.messages,
        (std::vector<Shown>{{lockedNameTakenText(parent(), "A"), Icon::critical, "Vellumar"}}));
    EXPECT_NE(lockedNameTakenText(parent(), "A"), "");
    EXPECT_EQ(model.topPage(), Page::fraSelect);

    chooseToDecrypt("A", lockedPath("A"));
    run();
    EXPECT_EQ(desktop.messages,
              (std::vector<Shown>{
                  {"The folder " + plainPath("A") +
                       " cannot be unlocked: another folder or file has its name already, and its "
                       "locked folder cannot take that name back.\r\nRename or move away the "
                       "one now named " +
                       plainPath("A") + ", then Decrypt a Folder again. Nothing was changed.",
                   Icon::critical, "Vellumar"}}));

    // Both as they were: the new one plain, the old one locked and listed.
    EXPECT_EQ(listTree(plainPath("A")), newFiles);
    EXPECT_EQ(folderAttributes(plainPath("A")), kAttrDirectory);
    EXPECT_EQ(readFile(in(plainPath("A"), "one.txt")), "A one");
    EXPECT_EQ(records(), Lines{plainPath("A")});
    expectLocked("A", lockedPath("A"));
    EXPECT_EQ(folderAttributes(lockedPath("A")), kAttrDirectory | kAttrHidden);

    // Once the new folder is out of the way, the old one comes back.
    ASSERT_EQ(platformFileSystem().rename(plainPath("A"), plainPath("new A")), IoError::ok);
    chooseToDecrypt("A", lockedPath("A"));
    run();
    EXPECT_EQ(desktop.messages, std::vector<Shown>{kFolderDecrypted});
    expectPlain("A");
    EXPECT_EQ(records(), Lines{});
}

#ifndef _WIN32
// Another run, adding its own record to "folders" just when this one drops
// the record of a folder in which nothing could be locked. Like every run,
// it takes the list lock for its change, and waits while it is held.
class AnotherRunAddsARecord final : public ForwardingFileSystem {
  public:
    AnotherRunAddsARecord(std::string folder, std::string record)
        : folder_(std::move(folder)), record_(std::move(record)) {}
    // Nothing can be locked in the folder; once its files were tried, the
    // other run comes along at the next read of the list.
    IoError createNew(const std::string& p, FileHandle& out) override {
        if (p.rfind(folder_, 0) != 0) return base().createNew(p, out);
        armed_ = true;
        return IoError::accessDenied;
    }
    // Just after the list is opened for reading: a change now is one the
    // reader does not see.
    IoError openRead(const std::string& p, FileHandle& out) override {
        const IoError opened = base().openRead(p, out);
        if (armed_ && p == applicationFile(kFoldersList)) {
            armed_ = false;
            waiting_ = true;
            finish();
        }
        return opened;
    }
    // The other run adds its record as soon as the list lock is free.
    void finish() {
        if (!waiting_ || !listLockIsFree()) return;
        waiting_ = false;
        added_ = appendFolderRecord(record_) == IoError::ok;
    }
    bool waited() const { return waitedOnce_; }
    bool added() const { return added_; }

  private:
    // The lock is flock on the lists' folder: a second open of the folder
    // cannot take it while any holder has it, this very process included.
    bool listLockIsFree() {
        const int handle = ::open(applicationDirectory().c_str(), O_RDONLY | O_DIRECTORY);
        if (handle < 0) return false;
        const bool free = ::flock(handle, LOCK_EX | LOCK_NB) == 0;
        if (free) ::flock(handle, LOCK_UN);
        ::close(handle);
        waitedOnce_ = waitedOnce_ || !free;
        return free;
    }

    std::string folder_, record_;
    bool armed_ = false, waiting_ = false, waitedOnce_ = false, added_ = false;
};

// The record of a folder in which nothing could be locked goes under the
// list lock: a record another run adds meanwhile stays.
TEST_F(FolderSteps, DroppingTheRecordOfAFolderNothingCouldBeLockedInKeepsOtherRunsRecords) {
    makeFolder("R");
    appendFolderRecord("/elsewhere/earlier");
    chooseToEncrypt("R");
    AnotherRunAddsARecord other(plainPath("R"), "/elsewhere/meanwhile");
    {
        FileSystemOverride use(other);
        run();
    }
    other.finish();
    EXPECT_TRUE(other.waited());
    EXPECT_TRUE(other.added());
    ASSERT_FALSE(desktop.messages.empty());
    EXPECT_EQ(desktop.messages.back(),
              (Shown{"No file in the folder " + plainPath("R") +
                         " could be locked.\r\nIt keeps its name and is not listed.",
                     Icon::critical, "Vellumar"}));
    expectPlain("R");
    EXPECT_EQ(records(), (Lines{"/elsewhere/earlier", "/elsewhere/meanwhile"}));
}

// Runs at once, each its own process: folders that get locked and folders
// in which nothing can be locked (the one file's locked name is taken). Every
// locked folder stays listed; none of the others is.
TEST_F(FolderSteps, ParallelRunsKeepTheRecordOfEveryLockedFolder) {
    const int kEach = 4;
    std::set<std::string> locked;
    for (int i = 0; i < kEach; ++i) {
        const std::string good = "good" + std::to_string(i), bad = "bad" + std::to_string(i);
        temp.write("w/" + good + "/one.txt", good);
        const std::string blocked = temp.write("w/" + bad + "/one.txt", bad);
        temp.makeFolder("w/" + bad + "/" + getFileName(lockedName(blocked, ".VKL")));
        locked.insert(plainPath(good));
    }
    ensureFolderList();
    std::vector<pid_t> children;
    for (int i = 0; i < 2 * kEach; ++i) {
        const std::string name = (i % 2 ? "bad" : "good") + std::to_string(i / 2);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            chooseToEncrypt(name);
            run();
            _exit(0);
        }
        children.push_back(child);
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    const Lines listed = records();
    EXPECT_EQ(std::set<std::string>(listed.begin(), listed.end()), locked);
    EXPECT_EQ(listed.size(), locked.size());
    for (int i = 0; i < kEach; ++i) {
        EXPECT_TRUE(fileExists(lockedPath("good" + std::to_string(i))));
        EXPECT_EQ(readFile(in(plainPath("bad" + std::to_string(i)), "one.txt")),
                  "bad" + std::to_string(i));
    }
}
#endif

// A file removed between the search and its turn needed no lock.
TEST_F(FolderSteps, AFileGoneBeforeItsTurnDoesNotHoldTheFolderBack) {
    makeFolder("A");
    temp.write("w/A/gone.txt", "gone");
    chooseToEncrypt("A");
    platformFileSystem().removeFile(in(plainPath("A"), "gone.txt"));
    run();
    EXPECT_EQ(desktop.messages, std::vector<Shown>{kFolderEncrypted});
    expectLocked("A", lockedPath("A"));
    EXPECT_EQ(records(), Lines{plainPath("A")});
}

// What an interrupted run leaves: some files locked, one both plain and
// locked, the folder listed and still under its plain name. Running it again
// finishes it, each file with one layer.
TEST_F(FolderSteps, ARunAgainFinishesAnInterruptedRunInEitherDirection) {
    makeFolder("A");
    const std::string one = in(plainPath("A"), "one.txt");
    const std::string two = in(plainPath("A"), "sub/two.bin");
    lockedFile("w/A/one.txt", "A one");
    lockedFile("w/A/sub/two.bin", patternBytes(200000, 2));
    temp.write("w/A/sub/two.bin", patternBytes(200000, 2));
    appendFolderRecord(plainPath("A"));

    chooseToEncrypt("A");
    run();
    EXPECT_EQ(desktop.messages, std::vector<Shown>{kFolderEncrypted});
    EXPECT_EQ(records(), Lines{plainPath("A")});
    // One layer each, and nothing left beside them.
    EXPECT_EQ(namesIn(lockedPath("A")), (Lines{getFileName(lockedName(one, ".VKL")), "sub"}));
    EXPECT_EQ(namesIn(in(lockedPath("A"), "sub")), Lines{getFileName(lockedName(two, ".VKW"))});

    // Unlocked, but the locked files are still there beside the plain ones.
    const std::string lockedOne = lockedName(in(lockedPath("A"), "one.txt"), ".VKL");
    const std::string lockedTwo = lockedName(in(lockedPath("A"), "sub/two.bin"), ".VKW");
    temp.write(in(lockedPath("A"), "one.txt").substr(temp.path().size() + 1), "A one");
    temp.write(in(lockedPath("A"), "sub/two.bin").substr(temp.path().size() + 1),
               patternBytes(200000, 2));
    chooseToDecrypt("A", lockedPath("A"));
    run();
    EXPECT_EQ(desktop.messages, std::vector<Shown>{kFolderDecrypted});
    expectPlain("A");
    EXPECT_EQ(listTree(plainPath("A")), "one.txt\nsub\nsub/two.bin\n");
    EXPECT_FALSE(fileExists(lockedOne) || fileExists(lockedTwo));
    EXPECT_EQ(records(), Lines{});
}

// Only a file this program locked is passed over: one that merely looks
// locked (its name and its first bytes) is locked with the rest, and comes
// back as it was.
TEST_F(FolderSteps, AFileThatOnlyLooksLockedIsLockedWithTheFolder) {
    makeFolder("A");
    const std::string lookAlike = "[Secret]not a header at all\r\n";
    temp.write("w/A/notes.VKL", lookAlike);
    chooseToEncrypt("A");
    run();
    EXPECT_EQ(desktop.messages, std::vector<Shown>{kFolderEncrypted});
    const std::string locked = in(lockedPath("A"), "notes.VKL");
    EXPECT_NE(readFile(locked).substr(0, 24), lookAlike.substr(0, 24));

    chooseToDecrypt("A", lockedPath("A"));
    run();
    EXPECT_EQ(desktop.messages, std::vector<Shown>{kFolderDecrypted});
    EXPECT_EQ(readFile(in(plainPath("A"), "notes.VKL")), lookAlike);
    EXPECT_EQ(records(), Lines{});
}

// A file inside that is still locked after the run (here a second layer
// put on by hand) keeps the folder listed until a later run unlocks it.
TEST_F(FolderSteps, AFolderStaysListedWhileAnyFileInsideIsStillLocked) {
    makeFolder("A");
    chooseToEncrypt("A");
    run();
    ScriptedDesktop quiet;
    ASSERT_TRUE(lockSmallFile(lockedName(in(lockedPath("A"), "one.txt"), ".VKL"), quiet).done());

    chooseToDecrypt("A", lockedPath("A"));
    run();
    EXPECT_EQ(desktop.messages,
              (std::vector<Shown>{{"Not every file in the folder " + plainPath("A") +
                                       " could be unlocked.\r\nIt has its name back and stays "
                                       "listed: Decrypt a Folder unlocks the rest.",
                                   Icon::critical, "Vellumar"}}));
    EXPECT_EQ(records(), Lines{plainPath("A")});

    chooseToDecrypt("A", plainPath("A"));
    run();
    EXPECT_EQ(desktop.messages, std::vector<Shown>{kFolderDecrypted});
    expectPlain("A");
    EXPECT_EQ(records(), Lines{});
}

// A file locked before the run keeps the folder listed, even when the run is
// cancelled before any file of its own is locked.
TEST_F(FolderSteps, ACancelledLockSaysTheFolderStaysListedWhenAFileInsideWasLockedBefore) {
    makeFolder("A");
    ScriptedDesktop quiet;
    ASSERT_TRUE(lockSmallFile(in(plainPath("A"), "one.txt"), quiet).done());
    chooseToEncrypt("A");
    struct Cancelling final : ScriptedDesktop {
        bool cancelRequested() override { return true; }
    } cancelling;
    cmdEncDec_Click(model, cancelling);
    EXPECT_EQ(cancelling.messages,
              (std::vector<Shown>{{"Locking the folder " + plainPath("A") +
                                       " was cancelled.\r\nIt keeps its plain name and stays "
                                       "listed as being locked: Encrypt a Folder locks the "
                                       "rest.\r\n0 of 1 file was locked.",
                                   Icon::critical, "Vellumar"}}));
    EXPECT_EQ(records(), Lines{plainPath("A")});
    EXPECT_EQ(folderAttributes(plainPath("A")), kAttrDirectory);
}

// A subfolder the run's search could not enter: its files were never found.
// The folder is not locked at all (or, listed already, not finished); when
// unlocking, it stays listed.
TEST_F(FolderSteps, AFolderWithASubfolderTheSearchCouldNotEnterIsNotDone) {
    const std::string sub = plainPath("A") + kSeparator + "sub";
    const Shown skippedShown{"The folder " + sub + " could not be searched: permission denied.",
                             Icon::critical, "Vellumar"};
    makeFolder("A");
    BusyFolder disk;
    for (bool recorded : {false, true}) {
        SCOPED_TRACE(recorded);
        if (recorded) appendFolderRecord(plainPath("A"));
        chooseToEncrypt("A");
        disk.unlistable = {sub};
        {
            FileSystemOverride use(disk);
            run();
        }
        const std::string refused =
            recorded ? "Not every folder inside the folder " + plainPath("A") +
                           " could be searched.\r\nIt keeps its plain name and stays listed as "
                           "being locked: Encrypt a Folder locks the rest once every folder "
                           "inside can be searched."
                     : "The folder " + plainPath("A") +
                           " was not locked, as not every folder inside it could be "
                           "searched.\r\nNothing was changed.";
        EXPECT_EQ(desktop.messages,
                  (std::vector<Shown>{skippedShown, {refused, Icon::critical, "Vellumar"}}));
        expectPlain("A");
        EXPECT_EQ(records(), recorded ? Lines{plainPath("A")} : Lines{});
        EXPECT_TRUE(model.skippedFolders.empty());
    }

    chooseToEncrypt("A");
    run();
    chooseToDecrypt("A", lockedPath("A"));
    const std::string lockedSub = lockedPath("A") + kSeparator + "sub";
    disk.unlistable = {lockedSub};
    {
        FileSystemOverride use(disk);
        run();
    }
    EXPECT_EQ(desktop.messages,
              (std::vector<Shown>{{"The folder " + lockedSub +
                                       " could not be searched: permission denied.",
                                   Icon::critical, "Vellumar"},
                                  {"Not every file in the folder " + plainPath("A") +
                                       " could be unlocked.\r\nIt has its name back and stays "
                                       "listed: Decrypt a Folder unlocks the rest.",
                                   Icon::critical, "Vellumar"}}));
    EXPECT_EQ(records(), Lines{plainPath("A")});
}

// The folder is read back after its files are locked: what it does not
// confirm is named, and it stays plain and listed as being locked.
TEST_F(FolderSteps, WhatTheFolderDoesNotConfirmIsNamedAndItStaysListed) {
    for (const bool saved : {true, false}) {
        SCOPED_TRACE(saved);
        const std::string name = saved ? "Saved" : "Shown";
        makeFolder(name);
        chooseToEncrypt(name);
        BusyFolder disk;
        if (saved) {
            disk.savedMeanwhile = in(plainPath(name), "late.txt");
        } else {
            disk.notHiding = plainPath(name);
        }
        {
            FileSystemOverride use(disk);
            run();
        }
        const std::string text =
            saved ? "Not every file in the folder " + plainPath(name) +
                        " is locked after the run, so it was not hidden or renamed:\r\n" +
                        in(plainPath(name), "late.txt") +
                        ": it is not locked\r\nIt keeps its plain name and stays listed as "
                        "being locked: Encrypt a Folder locks the rest."
                  : "The folder " + plainPath(name) +
                        " could not be hidden: permission denied.\r\nIts files are locked and it "
                        "stays listed as being locked under its plain name: Encrypt a Folder "
                        "tries again, Decrypt a Folder unlocks it.";
        EXPECT_EQ(desktop.messages, (std::vector<Shown>{{text, Icon::critical, "Vellumar"}}));
        EXPECT_TRUE(fileExists(plainPath(name)));
    }
    EXPECT_EQ(records(), (Lines{plainPath("Saved"), plainPath("Shown")}));
}

// The folder is searched when it is locked, not when it was chosen: a file
// saved into it in between is locked with the others.
TEST_F(FolderSteps, AFileSavedAfterTheFolderWasChosenIsLockedWithTheOthers) {
    makeFolder("A");
    chooseToEncrypt("A");
    temp.write("w/A/sub/late.txt", "late");
    run();
    EXPECT_EQ(desktop.messages, (std::vector<Shown>{{"Encryption Completed Successfully",
                                                     Icon::information, "Vellumar"}}));
    std::vector<std::string> files;
    filesBelow(lockedPath("A"), files);
    size_t locked = 0;
    for (const std::string& file : files) {
        if (getFileName(file) == ".hidden") continue;  // where file managers look
        EXPECT_TRUE(isLockedFile(file)) << file;
        ++locked;
    }
    EXPECT_EQ(locked, 3u);
}

#ifndef _WIN32
// A record is one line: a folder whose path holds a line break is refused
// before anything changes.
TEST_F(FolderSteps, AFolderWhosePathHoldsALineBreakIsNotLocked) {
    for (const char* name : {"line\nbreak", "carriage\rreturn"}) {
        SCOPED_TRACE(name);
        makeFolder(name);
        chooseToEncrypt(name);
        run();
        EXPECT_EQ(desktop.messages,
                  (std::vector<Shown>{{"The folder " + plainPath(name) +
                                           " cannot be locked: its path holds a line break, which "
                                           "the list of encrypted folders cannot keep.",
                                       Icon::critical, "Vellumar"}}));
        expectPlain(name);
        EXPECT_EQ(records(), Lines{});
    }
}
#endif

// A sealed folder none of whose files opens (a wrong password for the copy
// of the key it carries) is left as it was, and the window says why.
TEST_F(Runs, ASealedFolderThatDoesNotOpenIsLeftAsItWas) {
    setIdentityWorkFactor(10);  // identity files cheap to make and open
    SealingKeys keys;
    ASSERT_TRUE(turnOnSealing("pw", keys).ok());
    temp.write("S/a.txt", "a");
    const AgeRecipient recipient = keys.recipient();
    LockFolderOptions options;
    options.sealFor = &recipient;
    ASSERT_TRUE(lockFolder(temp / "S", options, desktop).folderDone);
    const std::string standing = listTree(temp.path());

    WindowModel other;
    other.PlainFolderPath = temp / "S";
    other.sessionKeys.password = "not it";
    desktop.messages.clear();
    const FolderRunResult result = unlockFolderStep(other, desktop);
    EXPECT_EQ(result.problem, FolderProblem::noneOpens);
    EXPECT_EQ(desktop.messages,
              (std::vector<Shown>{{"The folder " + temp / "S" +
                                       " was not unlocked: the copy of the key in the folder does "
                                       "not open with this password.\r\nNothing was changed.",
                                   Icon::critical, "Vellumar"}}));
    EXPECT_EQ(listTree(temp.path()), standing);
}

}  // namespace
}  // namespace vellumar::test
