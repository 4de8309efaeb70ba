// The target list: Add, the open-file dialog's selection, Clear, the
// locked-files list and the rebuild from the hidden file box.

#include "app/byte_size.h"
#include "locking/locked_files_list.h"
#include "app/selection.h"
#include "engine/platform/file_system.h"
#include "engine/platform/paths.h"
#include "tests/app/wizard_fixture.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/file_attributes.h"

namespace vellumar::test {
namespace {

TEST_F(Wizard, AddRefusesAListThatHoldsRows) {
    passGate();
    choose(&MainWindowHandlers::OptEncFiles_Click);
    model.targetList = {row("a")};
    form.cmdAdd_Click();  // no dialog: the scripted desktop would fail the test
    EXPECT_EQ(desktop.messages,
              (std::vector<Shown>{{"You Have Already Added File(s)\r"
                                   "Please Clear The List And Add New File(s)\r"
                                   "Or Do The Operation First And Again Add New File(s)",
                                   Icon::critical, "Vellumar"}}));
    EXPECT_EQ(texts(model.targetList), (std::vector<std::string>{"a"}));
}

TEST_F(Wizard, AddListsWhatTheOpenFileDialogReturns) {
    struct Case {
        std::vector<std::string> answer;
        std::vector<std::string> rows;
    } cases[] = {
        {{}, {}},  // cancelled
        {{native("/data/notes.txt")}, {native("/data/notes.txt")}},
        {{native("/data"), "a.txt", "b c.txt"}, {native("/data/a.txt"), native("/data/b c.txt")}},
        // A drive's root already ends with the separator.
        {{native("/"), "a", "b"}, {native("/a"), native("/b")}},
    };
    passGate();
    for (auto option : {&MainWindowHandlers::OptEncFiles_Click, &MainWindowHandlers::OptDecFiles_Click}) {
        choose(option);
        for (const Case& c : cases) {
            SCOPED_TRACE(c.rows.size());
            form.cmdClear_Click();
            desktop.fileAnswers.push_back(c.answer);
            form.cmdAdd_Click();
            EXPECT_EQ(texts(model.targetList), c.rows);
            for (const ListRow& listed : model.targetList) {
                EXPECT_EQ(listed.path, listed.text);
                EXPECT_EQ(listed.key, "");
                EXPECT_EQ(listed.imageKey, "");
            }
            EXPECT_EQ(model.runButtonEnabled, !c.rows.empty());
        }
        form.cmdBack_Click();
    }
    EXPECT_TRUE(desktop.messages.empty());
}

TEST_F(Wizard, AddForAFolderHandsOverToTheFolderFrontEnds) {
    passGate();
    int chooser = 0, window = 0;
    form.hooks.Folder_Encrypt = [&] { ++chooser; };
    desktop.onEncryptedFolders = [&] { ++window; };
    choose(&MainWindowHandlers::OptEncFolder_Click);
    form.cmdAdd_Click();
    form.cmdBack_Click();
    choose(&MainWindowHandlers::OptDecFolder_Click);
    form.cmdAdd_Click();
    EXPECT_EQ(chooser, 1);
    EXPECT_EQ(window, 1);
}

TEST(Selection, TheDialogFormSplitsBackIntoTheChosenPaths) {
    struct Case {
        std::vector<std::string> paths;
        std::vector<std::string> dialog;
    } cases[] = {
        {{native("/d/one")}, {native("/d/one")}},
        {{native("/d/x"), native("/d/y")}, {native("/d"), "x", "y"}},
        {{native("/x"), native("/y")}, {native("/"), "x", "y"}},
        {{native("/d/x"), native("/d/e/y")}, {native("/d"), "x", native("e/y")}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> dialog = dialogSelection(c.paths);
        EXPECT_EQ(dialog, c.dialog);
        std::string selection = joinSelection(dialog);
        ASSERT_EQ(countSelectedFiles(selection), static_cast<long>(c.paths.size()));
        for (size_t n = 1; n <= c.paths.size(); ++n)
            EXPECT_EQ(getSelectedFile(selection, static_cast<long>(n)), c.paths[n - 1]);
    }
}

TEST_F(Wizard, ClearEmptiesBothListsAndDeletesTheScratchFiles) {
    passGate();
    choose(&MainWindowHandlers::OptEncFiles_Click);
    model.targetList = {row("a")};
    model.foundFiles = {row("b")};
    std::string scratch = temp.write("home/temp", "t");
    std::string pending = temp.write("home/encfile", "e");
    std::string list = temp.write("home/files", "x\r\n");
    form.cmdClear_Click();
    EXPECT_TRUE(model.targetList.empty());
    EXPECT_TRUE(model.foundFiles.empty());
    EXPECT_FALSE(model.runButtonEnabled);
    EXPECT_FALSE(fileExists(scratch));
    EXPECT_FALSE(fileExists(pending));
    EXPECT_EQ(readFile(list), "x\r\n");
    form.cmdClear_Click();  // nothing left to delete is no error
    EXPECT_TRUE(desktop.messages.empty());
}

TEST(LockedFilesList, RefreshKeepsTheFilesThatExistAndHidesThem) {
    TempFolder temp;
    std::string present = temp.write("data/abgrf.gkt.VKL", "[Secret]");
    ASSERT_EQ(fileSystem().setAttributes(present, kAttrReadOnly), IoError::ok);
    std::string list = temp.write("home/files", temp / "data/gone.VKL" + "\r\n" + present + "\r\n");

    pruneLockedFilesList();

    EXPECT_EQ(readFile(list), present + "\r\n");
    uint32_t attributes = 0;
    ASSERT_EQ(fileSystem().getAttributes(present, attributes), IoError::ok);
    // Hidden, and still read-only: a locked file never becomes writable here.
    EXPECT_EQ(attributes, fileAttributesAfterSetting(kAttrReadOnly | kAttrHidden));
    EXPECT_EQ(listTree(temp.home()), "files\n");  // no scratch file left behind
}

TEST(LockedFilesList, RefreshWithoutAListCreatesNothing) {
    TempFolder temp;
    pruneLockedFilesList();
    EXPECT_EQ(listTree(temp.home()), "");
}

TEST(LockedFilesList, AFailingStepNeverLeavesAPartialList) {
    TempFolder temp;
    std::string present = temp.write("data/a.VKL", "[Secret]");
    const std::string before = temp / "data/gone.VKL" + "\r\n" + present + "\r\n";
    const std::string after = present + "\r\n";
    std::string list = temp.home() + kSeparator + "files";
    for (int n = 1;; ++n) {
        SCOPED_TRACE(n);
        temp.write("home/files", before);
        FaultyFileSystem faulty;
        faulty.failAt(n);
        {
            FileSystemOverride use(faulty);
            pruneLockedFilesList();
        }
        std::string left = readFile(list);
        EXPECT_TRUE(left == before || left == after) << left;
        if (!faulty.triggered()) {
            EXPECT_EQ(left, after);
            break;
        }
    }
}

TEST_F(Wizard, RebuildFromTheFileBoxDescribesEachFile) {
    std::string folder = temp.makeFolder("box");
    temp.write("box/notes.txt", std::string(532, 'n'));
    temp.write("box/abgrf.gkt.VKL", "[Secret]" + std::string(1400, 'x'));
    temp.write("box/fake.VKW", "plain");
    temp.write("box/README", "r");
    temp.write("box/desktop.ini",
               "[.ShellClassInfo]\r\nCLSID={645FF040-5081-101B-9F08-00AA002F954E}\r\n");
    temp.makeFolder("box/sub");
    model.targetList = {row("old")};

    model.setFileBoxPath(folder);

    auto described = [&](const std::string& text, const std::string& key, const std::string& type,
                         const std::string& size, const std::string& image) {
        ListRow expected;
        expected.text = text;
        expected.key = key;
        expected.path = addBackslash(folder) + key;
        expected.typeText = type;
        expected.sizeText = size;
        expected.imageKey = image;
        return expected;
    };
    EXPECT_EQ(model.targetList,
              (std::vector<ListRow>{
                  described("notes.txt", "abgrf.gkt.VKL", "TXT file", "1.37 KB", "lock"),
                  described("snxe", "fake.VKW", " file", "5 bytes", ""),
                  described("notes.txt", "notes.txt", "TXT file", "532 bytes", ""),
                  described("README", "README", " file", "1 bytes", ""),
              }));
    EXPECT_EQ(model.targetListColor, kGreen);

    // Pointing the box at the folder it shows changes nothing; another folder
    // without the class turns the list white again.
    model.targetList.clear();
    model.setFileBoxPath(folder);
    EXPECT_TRUE(model.targetList.empty());
    model.setFileBoxPath(temp.makeFolder("box/sub"));
    EXPECT_TRUE(model.targetList.empty());
    EXPECT_EQ(model.targetListColor, kWhite);
}

TEST(ByteSize, ThreeSignificantDigitsCutNotRounded) {
    struct Case {
        uint64_t bytes;
        std::string text;
    } cases[] = {
        {0, "0 bytes"},          {532, "532 bytes"},      {1023, "1023 bytes"},
        {1024, "1.00 KB"},       {1340, "1.30 KB"},       {23506, "22.9 KB"},
        {1023999, "999 KB"},     {1024000, "0.97 MB"},    {2400016, "2.28 MB"},
        {2400000000, "2.23 GB"}, {UINT64_MAX, "15.9 EB"},
    };
    for (const Case& c : cases) EXPECT_EQ(formatByteSize(c.bytes), c.text) << c.bytes;
}

}  // namespace
}  // namespace vellumar::test
