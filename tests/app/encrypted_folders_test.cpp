// The encrypted-folders window: its listing of "folders", and what OK
// prepares or refuses.

#include "app/encrypted_folders.h"

#include <gtest/gtest.h>

#include "engine/platform/platform.h"
#include "engine/formats/text_shift.h"
#include "tests/app/target_page.h"
#include "tests/support/scripted_desktop.h"
#include "tests/support/temp_folder.h"

namespace vellumar::test {
namespace {

std::vector<std::string> texts(const std::vector<ListRow>& rows) {
    std::vector<std::string> result;
    for (const ListRow& row : rows) result.push_back(row.text);
    return result;
}

class FolderWindow : public ::testing::Test {
  protected:
    void SetUp() override { openTargetPage(model, Option::OptDecFolder); }
    void record(const std::vector<std::string>& lines) {
        std::string text;
        for (const std::string& line : lines) text += line + "\r\n";
        temp.write("home/folders", text);
    }
    // Opens the window and ticks the rows of these numbers.
    void openAndTick(std::initializer_list<size_t> rows) {
        window.Form_Load();
        for (size_t n : rows) window.lstDecrypt.at(n).checked = true;
    }
    // A folder locked in place: its locked name, with a file one level down.
    std::string lockedFolder(const std::string& parent, const std::string& name) {
        temp.write(parent + "/" + encodeText(name) + "/sub/f", "x");
        return temp / parent + kSeparator + name;
    }

    TempFolder temp;
    ScriptedDesktop desktop;
    WindowModel model;
    EncryptedFolders window{model, desktop};
};

TEST_F(FolderWindow, ListsTheRecordsUpToTheFirstEmptyLine) {
    window.Form_Load();
    EXPECT_TRUE(window.lstDecrypt.empty());
    EXPECT_EQ(readFile(applicationFile("folders")), "");  // created empty

    record({temp / "A", "", temp / "B"});
    window.Form_Load();
    EXPECT_EQ(texts(window.lstDecrypt), (std::vector<std::string>{temp / "A"}));
    EXPECT_FALSE(window.lstDecrypt[0].checked);
}

TEST_F(FolderWindow, OkWithOneTickPreparesTheFolderUnderItsLockedName) {
    const std::string b = lockedFolder("D", "B");
    record({temp / "D/A", b});
    openAndTick({1});
    window.cmdDecrypt_Click();

    EXPECT_TRUE(desktop.messages.empty());
    EXPECT_TRUE(window.unloaded);
    EXPECT_EQ(model.ParentPath, temp / "D" + kSeparator);
    EXPECT_EQ(model.FolderName, "B");
    EXPECT_EQ(model.PlainFolderPath, b);
    // The row the window adds; in the real window the search's rebuild of
    // the target list (not set up here) replaces it.
    EXPECT_EQ(texts(model.targetList), (std::vector<std::string>{b}));
    EXPECT_EQ(texts(model.foundFiles),
              (std::vector<std::string>{temp / ("D/" + encodeText("B") + "/sub/f")}));
    EXPECT_TRUE(model.runButtonEnabled);
}

TEST_F(FolderWindow, OkWithNoTickClosesAndTwoTicksAreRefused) {
    record({lockedFolder("D", "A"), lockedFolder("D", "B")});
    openAndTick({0, 1});
    window.cmdDecrypt_Click();
    EXPECT_EQ(desktop.messages, (std::vector<Shown>{{"One Folder Can Be Decrypted At A Time",
                                                     Icon::critical, "Vellumar"}}));
    EXPECT_TRUE(model.targetList.empty());
    EXPECT_FALSE(window.unloaded);
    EXPECT_TRUE(window.lstDecrypt[0].checked && window.lstDecrypt[1].checked);

    for (ListRow& row : window.lstDecrypt) row.checked = false;
    model.runButtonEnabled = true;
    window.cmdDecrypt_Click();
    EXPECT_TRUE(window.unloaded);
    EXPECT_FALSE(model.runButtonEnabled);
    EXPECT_TRUE(model.targetList.empty());
    EXPECT_TRUE(model.foundFiles.empty());
}

// A tick unticks the other rows; OK with no tick takes the selected row.
TEST_F(FolderWindow, OneRowIsTickedAtATimeAndOkTakesTheSelectedRow) {
    const std::string a = lockedFolder("D", "A");
    const std::string b = lockedFolder("D", "B");
    record({a, b});
    window.Form_Load();
    window.tickRow(0, true);
    window.tickRow(1, true);
    EXPECT_FALSE(window.lstDecrypt[0].checked);
    EXPECT_TRUE(window.lstDecrypt[1].checked);
    window.tickRow(1, false);
    window.tickRow(7, true);  // no such row: nothing changes
    EXPECT_FALSE(window.lstDecrypt[0].checked || window.lstDecrypt[1].checked);

    window.selectedRow = 0;
    window.cmdDecrypt_Click();
    EXPECT_TRUE(desktop.messages.empty());
    EXPECT_TRUE(window.unloaded);
    EXPECT_EQ(model.PlainFolderPath, a);
    EXPECT_TRUE(model.runButtonEnabled);
}

TEST_F(FolderWindow, AFolderNotFoundUnderItsLockedNameIsExplained) {
    // D/A/B was locked, then D/A around it: B's locked name now lies inside
    // A's locked name.
    temp.write("D/" + encodeText("A") + "/" + encodeText("B") + "/f", "x");
    record({temp / "D/A/B", temp / "D/A"});
    struct Case {
        Option operation;
        std::vector<Shown> messages;
    } cases[] = {
        {Option::OptDecFolder,
         {{"This Folder Is Inside Another Locked Folder\rPlease Unlock The Outside Folder First\r"
           "And Then Unlock This Folder",
           Icon::critical, "Vellumar"}}},
        {Option::OptEncFolder,
         {{"This Folder Is Already Unlocked\rPlease Restart The Application\r"
           "And Get Updated View Of Folders",
           Icon::critical, "Vellumar"}}},
        {Option::none, {}},
    };
    for (const Case& c : cases) {
        desktop.messages.clear();
        model.wizard = WizardState();
        openTargetPage(model, c.operation);
        model.PlainFolderPath = temp / "D/A/B";
        openAndTick({0});
        window.cmdDecrypt_Click();
        EXPECT_EQ(desktop.messages, c.messages);
        EXPECT_FALSE(window.unloaded);
        EXPECT_TRUE(model.targetList.empty());
        EXPECT_TRUE(model.foundFiles.empty());
        EXPECT_FALSE(model.runButtonEnabled);
        EXPECT_EQ(model.PlainFolderPath, temp / "D/A/B");
    }
}

TEST_F(FolderWindow, AFolderThatLockingCouldNotRenameIsUnlockedUnderItsPlainName) {
    const std::string plain = temp.makeFolder("D/Kept");
    temp.write("D/Kept/f", "x");
    record({plain});
    openAndTick({0});
    window.cmdDecrypt_Click();
    EXPECT_TRUE(desktop.messages.empty());
    EXPECT_TRUE(window.unloaded);
    EXPECT_EQ(model.PlainFolderPath, plain);
    EXPECT_EQ(texts(model.foundFiles), (std::vector<std::string>{temp / "D/Kept/f"}));
    EXPECT_TRUE(model.runButtonEnabled);
}

TEST_F(FolderWindow, AfterEncryptAFolderWasClickedTheFolderIsLookedForUnderItsPlainName) {
    model.wizard = WizardState();
    openTargetPage(model, Option::OptEncFolder);
    model.PlainFolderPath = "before";
    const std::string plain = temp.makeFolder("D/P");
    temp.write("D/P/sub/f", "x");
    record({plain});
    openAndTick({0});
    window.cmdDecrypt_Click();
    EXPECT_TRUE(window.unloaded);
    EXPECT_EQ(model.PlainFolderPath, "before");
    EXPECT_EQ(model.FolderName, "P");
    EXPECT_EQ(texts(model.foundFiles), (std::vector<std::string>{temp / "D/P/sub/f"}));
}

}  // namespace
}  // namespace vellumar::test
