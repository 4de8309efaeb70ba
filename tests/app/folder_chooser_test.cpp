// The folder chooser: the folders it refuses and why, the folders it passes
// over, and the pending folder it prepares.

#include "app/folder_chooser.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "engine/platform/file_system.h"
#include "engine/formats/locked_folder_name.h"
#include "engine/platform/paths.h"
#include "engine/platform/platform.h"
#include "engine/formats/text_shift.h"
#include "folders/folder_lists.h"
#include "app/file_search.h"
#include "tests/app/target_page.h"
#include "tests/support/scripted_desktop.h"
#include "tests/support/temp_folder.h"

namespace vellumar::test {
namespace {

std::string encfile() {
    return readFile(applicationFile("encfile"));
}

class Chooser : public ::testing::Test {
  protected:
    void SetUp() override {
        model.WindowsDir = temp.makeFolder("win");
        model.WindowsSystemDir = temp.makeFolder("win/sys");
        openTargetPage(model, Option::OptEncFolder);
    }
    void choose(const std::string& answer) {
        desktop.folderAnswers.push_back(answer);
        Folder_Encrypt(model, desktop);
    }
    // Nothing was prepared and no pending folder recorded.
    void expectNothingPrepared() {
        EXPECT_TRUE(model.targetList.empty());
        EXPECT_TRUE(model.foundFiles.empty());
        EXPECT_FALSE(model.runButtonEnabled);
        EXPECT_EQ(model.ParentPath, "");
        EXPECT_EQ(model.FolderName, "");
        EXPECT_EQ(encfile(), "<missing>");
    }

    TempFolder temp;
    ScriptedDesktop desktop;
    WindowModel model;
};

TEST_F(Chooser, RefusesTheFoldersThatMustNotBeLockedInOrder) {
    const std::string sep(1, kSeparator);
    const std::string exeFolder = getFolderPart(executablePath());
    temp.makeFolder("caf\xE9");
    struct Case {
        std::string answer;
        std::string message;
    } cases[] = {
        {temp / "missing", "Please Select A Folder To Encrypt"},
        {temp.write("file", "x"), "Please Select A Folder To Encrypt"},
        {temp.home(), "Application Folder Cannot Be Locked"},
        {driveOf(temp.path()), "Drive Cannot Be Locked"},
        {temp / "win/sys", "Window System Folder Cannot Be Locked"},
        // The same folders spelt another way.
        {temp / "win/./sys" + sep, "Window System Folder Cannot Be Locked"},
        {temp / "win", "Window Folder Cannot Be Locked"},
        {temp / "win/sys/..", "Window Folder Cannot Be Locked"},
        // A folder above the list files or the program itself.
        {temp.path(), "Application Folder Cannot Be Locked"},
        {exeFolder, "Application Folder Cannot Be Locked"},
        {exeFolder + "..", "Application Folder Cannot Be Locked"},
        // A name the locked name could not carry back.
        {temp / "caf\xE9", "Folder Name Cannot Be Locked"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer);
        desktop.messages.clear();
        choose(c.answer);
        EXPECT_EQ(desktop.messages, (std::vector<Shown>{{c.message, Icon::critical, "Vellumar"}}));
        expectNothingPrepared();
    }
}

TEST_F(Chooser, CancellingOrAFolderWithMoreThanTheDirectoryAttributeChangesNothing) {
    struct Case {
        const char* name;
        uint32_t attributes;
    } cases[] = {{"readonly", kAttrReadOnly}, {"hidden", kAttrHidden}, {"archive", kAttrArchive}};
    choose("");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string folder = temp.makeFolder(c.name);
        temp.write(std::string(c.name) + "/f", "x");
        ASSERT_EQ(fileSystem().setAttributes(folder, c.attributes), IoError::ok);
        uint32_t attributes = 0;
        fileSystem().getAttributes(folder, attributes);
        if (attributes == kAttrDirectory) continue;  // Wine keeps no archive bit on a folder
        choose(folder);
    }
    EXPECT_TRUE(desktop.messages.empty());
    expectNothingPrepared();
}

TEST_F(Chooser, AnAcceptedFolderIsPendingWithItsFilesFound) {
    temp.write("Work/Reports/sub/b", "x");
    temp.write("Work/Reports/a", "x");
    // A pending folder left by an earlier choice, and a folder passed over.
    temp.write("home/encfile", temp / "old" + "\r\n");
    const std::string hidden = temp.makeFolder("hidden");
    fileSystem().setAttributes(hidden, kAttrHidden);
    choose(hidden);

    choose(temp / "Work/./Reports" + kSeparator);

    const std::string reports = temp / "Work/Reports";
    EXPECT_TRUE(desktop.messages.empty());
    EXPECT_EQ(model.ParentPath, temp / "Work" + kSeparator);
    EXPECT_EQ(model.FolderName, "Reports");
    EXPECT_EQ(encfile(), reports + "\r\n");  // exactly the accepted folder
    std::vector<std::string> found;
    for (const ListRow& row : model.foundFiles) found.push_back(row.text);
    EXPECT_EQ(found,
              (std::vector<std::string>{temp / "Work/Reports/sub/b", reports + kSeparator + "a"}));
    EXPECT_EQ(model.targetList, model.foundFiles);  // the folder holds a file itself
    EXPECT_TRUE(model.runButtonEnabled);
}

// A folder being locked (listed, still under its plain name) may have been
// hidden just before a crash took away its locked name: it is accepted
// again, so that the run can be finished.
TEST_F(Chooser, AHiddenFolderIsAcceptedOnlyWhileItIsBeingLocked) {
    const std::string folder = temp.makeFolder("Vault");
    temp.write("Vault/a", "x");
    ASSERT_EQ(fileSystem().setAttributes(folder, kAttrHidden), IoError::ok);
    choose(folder);
    EXPECT_FALSE(model.runButtonEnabled);
    ASSERT_EQ(appendFolderRecord(folder), IoError::ok);
    choose(folder);
    EXPECT_TRUE(desktop.messages.empty());
    EXPECT_TRUE(model.runButtonEnabled);
    EXPECT_EQ(model.FolderName, "Vault");
}

#ifndef _WIN32
// A record is one line of the list: a line break in the path would split it.
TEST_F(Chooser, APathWithALineBreakIsRefusedBeforeAnythingChanges) {
    for (const std::string& folder :
         {temp.makeFolder("new\nline"), temp.makeFolder("up\r/Vault")}) {
        SCOPED_TRACE(folder);
        desktop.messages.clear();
        choose(folder);
        EXPECT_EQ(desktop.messages,
                  (std::vector<Shown>{{"The folder " + folder +
                                           " cannot be locked: its path holds a line break, which "
                                           "the list of encrypted folders cannot keep.",
                                       Icon::critical, "Vellumar"}}));
        expectNothingPrepared();
    }
}
#endif

// Something beside the folder has its locked name already (most likely a
// folder locked earlier under the same name, whose record would be taken
// for this one's): refused before anything changes, saying why and what to do.
TEST_F(Chooser, AFolderWhoseLockedNameIsTakenIsRefusedBeforeAnythingChanges) {
    const std::string lockedFolder =
        " cannot be locked: a locked folder of the same name stands beside it, and the two cannot "
        "share one locked name.\r\nGive this folder another name, or move it away; Decrypt a "
        "Folder restores the locked one once its name is free. Nothing was changed.";
    temp.makeFolder(lockedFolderName("Vault"));
    // The raw locked name earlier versions gave.
    temp.makeFolder(encodeText("Old"));
    const std::string takenByFile = temp.write(lockedFolderName("Notes"), "x");
    struct Case {
        std::string folder, message;
    } cases[] = {
        {temp.makeFolder("Vault"), "The folder " + temp / "Vault" + lockedFolder},
        {temp.makeFolder("Old"), "The folder " + temp / "Old" + lockedFolder},
        {temp.makeFolder("Notes"), "The folder " + temp / "Notes" +
                                       " cannot be locked: its locked name is taken by " +
                                       takenByFile +
                                       ".\r\nMove that away, or give this folder another name. "
                                       "Nothing was changed."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.folder);
        temp.write(getFileName(c.folder) + "/a", "x");
        desktop.messages.clear();
        choose(c.folder);
        EXPECT_EQ(desktop.messages, (std::vector<Shown>{{c.message, Icon::critical, "Vellumar"}}));
        expectNothingPrepared();
    }
    EXPECT_EQ(readFile(applicationFile("folders")), "<missing>");
}

TEST_F(Chooser, SubfoldersOfTheRefusedFoldersAreAccepted) {
    for (const std::string& folder : {temp.makeFolder("win/sys/sub"), temp.makeFolder("win/sub"),
                                      temp.makeFolder("home/sub")}) {
        SCOPED_TRACE(folder);
        model.targetList.clear();
        choose(folder);
        EXPECT_TRUE(desktop.messages.empty());
        EXPECT_EQ(model.targetList.at(0).text, folder);
        EXPECT_EQ(encfile(), folder + "\r\n");
    }
}

#ifndef _WIN32
TEST_F(Chooser, ALinkNeitherIsAFolderToLockNorHidesOneThatMustNotBe) {
    namespace fs = std::filesystem;
    fs::create_directory_symlink(temp.makeFolder("real"), temp / "link");
    fs::create_directory_symlink(temp / "win", temp / "alias");
    fs::create_directory_symlink(temp.path(), temp / "win/up");
    struct Case {
        std::string answer, message;
    } cases[] = {
        {temp / "link", "Please Select A Folder To Encrypt"},
        {temp / "alias/sys", "Window System Folder Cannot Be Locked"},
        {temp / "alias", "Please Select A Folder To Encrypt"},
        {temp / "win/up/home", "Application Folder Cannot Be Locked"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer);
        desktop.messages.clear();
        choose(c.answer);
        EXPECT_EQ(desktop.messages, (std::vector<Shown>{{c.message, Icon::critical, "Vellumar"}}));
        expectNothingPrepared();
    }
}
#endif

TEST(splitFolderPath, SplitsAtTheLastSeparator) {
    const std::string s(1, kSeparator);
    struct Case {
        std::string path, parent, name;
    } cases[] = {
        {s + "Work" + s + "Reports", s + "Work" + s, "Reports"},
        {s + "Reports", s, "Reports"},
        {"Reports", "", "Reports"},
    };
    for (const Case& c : cases) {
        std::string path = c.path, parent = "before";
        EXPECT_EQ(splitFolderPath(path, parent), c.name);
        EXPECT_EQ(path, c.name);
        EXPECT_EQ(parent, c.parent);
    }
}

}  // namespace
}  // namespace vellumar::test
