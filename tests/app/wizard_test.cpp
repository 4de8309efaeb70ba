// Start-up, the choice page, Next and Back, the ways out, menus and about page.

#include "app/web_pages.h"
#include "engine/platform/file_system.h"
#include "engine/platform/paths.h"
#include "engine/platform/platform.h"
#include "tests/app/wizard_fixture.h"
#include "tests/support/file_attributes.h"

namespace vellumar::test {
namespace {

using Handler = void (MainWindowHandlers::*)();

TEST_F(Wizard, StartsOnThePasswordPageWithTheDesignState) {
    EXPECT_EQ(model.topPage(), Page::fraPassword);
    EXPECT_EQ(model.selectedOption, Option::none);
    EXPECT_FALSE(model.EncFolder || model.DecFolder || model.EncFiles || model.DecFiles);
    EXPECT_TRUE(model.nextButtonEnabled);
    EXPECT_TRUE(model.runButtonEnabled);
    EXPECT_EQ(model.targetPrompt, "Label3");
    EXPECT_EQ(model.runButtonCaption, "E / D");
    EXPECT_TRUE(model.targetList.empty());
    EXPECT_EQ(model.WindowsDir, windowsDirectory());
    EXPECT_EQ(model.WindowsSystemDir, systemDirectory());
    EXPECT_TRUE(desktop.messages.empty());
}

TEST(StartUp, ASecondInstanceIsRefusedAndUnloadsTheWindows) {
    TempFolder temp;
    ScriptedDesktop desktop;
    MemorySettings settings;
    WindowModel model;
    MainWindowHandlers form(model, desktop, settings);
    int unloads = 0;
    form.hooks.unloadAllWindows = [&] { ++unloads; };

    EXPECT_FALSE(form.Form_Load(true));
    EXPECT_EQ(desktop.messages,
              (std::vector<Shown>{{"Vellumar Is Already Running", Icon::critical, "Vellumar"}}));
    EXPECT_EQ(unloads, 1);
    EXPECT_TRUE(model.WindowsDir.empty());
}

TEST_F(Wizard, NextActsOnTheChosenOption) {
    struct Case {
        Handler option;
        bool encFolder, decFolder, encFiles, decFiles;
        std::string label3, caption;
        bool clears;  // presses Clear: list emptied, run button disabled
    } cases[] = {
        {&MainWindowHandlers::OptEncFolder_Click, true, false, false, false,
         "Add folder to be encrypted and locked", "Encrypt", true},
        {&MainWindowHandlers::OptDecFolder_Click, false, true, false, false,
         "Add folder to be decrypted and unlocked", "Decrypt", true},
        {&MainWindowHandlers::OptEncFiles_Click, false, false, true, false,
         "Add files that are to be encrypted and locked", "Encrypt", false},
        {&MainWindowHandlers::OptDecFiles_Click, false, false, false, true,
         "Add files that are to be decrypted and unlocked", "Decrypt", false},
        {nullptr, false, false, false, false, "Label3", "E / D", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label3);
        WindowModel fresh;
        MainWindowHandlers form(fresh, desktop, settings);
        ASSERT_TRUE(form.Form_Load(false));
        fresh.bringToFront(Page::fraSelect);
        fresh.targetList = {row("kept")};
        fresh.foundFiles = {row("found")};
        temp.write("home/temp", "t");
        temp.write("home/encfile", "e");

        if (c.option) (form.*c.option)();
        form.cmdNext_Click();

        EXPECT_EQ(fresh.topPage(), Page::fraResult);
        EXPECT_EQ(fresh.EncFolder, c.encFolder);
        EXPECT_EQ(fresh.DecFolder, c.decFolder);
        EXPECT_EQ(fresh.EncFiles, c.encFiles);
        EXPECT_EQ(fresh.DecFiles, c.decFiles);
        EXPECT_EQ(fresh.targetPrompt, c.label3);
        EXPECT_EQ(fresh.runButtonCaption, c.caption);
        EXPECT_EQ(fresh.targetList.empty(), c.clears);
        EXPECT_EQ(fresh.foundFiles.empty(), c.clears);
        EXPECT_EQ(fresh.runButtonEnabled, !c.clears);
        EXPECT_EQ(fileExists(temp / "home/temp"), !c.clears);
        EXPECT_EQ(fileExists(temp / "home/encfile"), !c.clears);
    }
    EXPECT_TRUE(desktop.messages.empty());
}

TEST_F(Wizard, OptionsEnableNextAndOnlyFolderOptionsSetEncFolderOpt) {
    model.nextButtonEnabled = false;
    form.OptEncFolder_Click();
    EXPECT_TRUE(model.nextButtonEnabled);
    EXPECT_TRUE(model.EncFolderOpt);
    form.OptEncFiles_Click();
    EXPECT_TRUE(model.EncFolderOpt);
    form.OptDecFolder_Click();
    EXPECT_FALSE(model.EncFolderOpt);
    form.OptDecFiles_Click();
    EXPECT_FALSE(model.EncFolderOpt);
    EXPECT_EQ(model.selectedOption, Option::OptDecFiles);
}

// Locked files stay hidden and read-only when Decrypt File(s) is left
// without a run. Where the open-file dialog cannot show hidden files
// (Windows), they are unhidden for it and hidden again on the way out.
TEST_F(Wizard, LockedFilesStayHiddenAndReadOnlyAfterDecryptFiles) {
    std::string locked = temp.write("data/abgrf.gkt.VKL", "[Secret]...");
    const uint32_t lockedAttributes = fileAttributesAfterSetting(kAttrHidden | kAttrReadOnly);
    ASSERT_EQ(fileSystem().setAttributes(locked, kAttrHidden | kAttrReadOnly), IoError::ok);
    temp.write("home/files", locked + "\r\n" + temp / "data/gone.VKL" + "\r\n");
    auto attributes = [&] {
        uint32_t value = 99;
        EXPECT_EQ(fileSystem().getAttributes(locked, value), IoError::ok);
        return value;
    };
    using Leave = void (MainWindowHandlers::*)();
    for (Leave leave : {&MainWindowHandlers::cmdBack_Click, &MainWindowHandlers::cmdExit_Click,
                        &MainWindowHandlers::cmdEx_Click, &MainWindowHandlers::Form_Unload}) {
        passGate();
        choose(&MainWindowHandlers::OptDecFiles_Click);
#ifdef _WIN32
        EXPECT_EQ(attributes(), fileAttributesAfterSetting(kAttrNormal));
#else
        EXPECT_EQ(attributes(), lockedAttributes);
#endif
        (form.*leave)();
        EXPECT_EQ(attributes(), lockedAttributes);
        model.bringToFront(Page::fraSelect);
    }
    EXPECT_TRUE(desktop.messages.empty());
}

// Next leaves exactly the chosen operation: an earlier run's flag would
// send the run button to that operation instead.
TEST_F(Wizard, NextLeavesExactlyOneOperationChosen) {
    struct Case {
        Handler before, after;
        bool encFolder, decFolder, encFiles, decFiles;
    } cases[] = {
        {&MainWindowHandlers::OptEncFolder_Click, &MainWindowHandlers::OptEncFiles_Click, false,
         false, true, false},
        {&MainWindowHandlers::OptDecFolder_Click, &MainWindowHandlers::OptDecFiles_Click, false,
         false, false, true},
        {&MainWindowHandlers::OptEncFiles_Click, &MainWindowHandlers::OptDecFolder_Click, false,
         true, false, false},
        {&MainWindowHandlers::OptDecFiles_Click, &MainWindowHandlers::OptEncFolder_Click, true,
         false, false, false},
    };
    passGate();
    for (const Case& c : cases) {
        choose(c.before);
        model.FolderName = "Reports";  // a folder in hand from the earlier run
        model.ParentPath = temp / "";
        model.PlainFolderPath = temp / "Reports";
        model.bringToFront(Page::fraSelect);  // where a run leaves the window
        choose(c.after);
        EXPECT_EQ(std::tie(model.EncFolder, model.DecFolder, model.EncFiles, model.DecFiles),
                  std::tie(c.encFolder, c.decFolder, c.encFiles, c.decFiles));
        // A folder run acts only on a folder that its own Add picks.
        if (c.encFolder || c.decFolder) {
            EXPECT_EQ(model.FolderName + model.ParentPath + model.PlainFolderPath, "");
        }
        form.cmdBack_Click();
    }

    model.targetList = {row("a")};
    model.runButtonEnabled = true;
    form.cmdBack_Click();
    EXPECT_EQ(model.topPage(), Page::fraSelect);
    EXPECT_FALSE(model.EncFolder || model.DecFolder || model.EncFiles || model.DecFiles);
    EXPECT_TRUE(model.targetList.empty());
    EXPECT_FALSE(model.runButtonEnabled);
    // The choice stays, so Next can be pressed again at once.
    EXPECT_EQ(model.selectedOption, Option::OptEncFolder);
    EXPECT_TRUE(model.nextButtonEnabled);
}

TEST_F(Wizard, WaysOut) {
    form.cmdExit_Click();
    form.mnuExit_Click();
    EXPECT_EQ(unloads, 2);
    EXPECT_EQ(ends, 0);
    form.cmdEx_Click();  // at once, without unloading the windows
    EXPECT_EQ(unloads, 2);
    EXPECT_EQ(ends, 1);
}

TEST_F(Wizard, AboutOkReturnsToThePageUnderItWithThePasswordFieldsEmpty) {
    model.txtPassword = "half typed";
    model.txtConfirm = "x";
    form.mnuAbout_Click();
    EXPECT_EQ(model.topPage(), Page::fraAbout);
    form.cmdOK_Click();
    EXPECT_EQ(model.topPage(), Page::fraPassword);  // the gate was not passed
    EXPECT_EQ(model.txtPassword, "");
    EXPECT_EQ(model.txtConfirm, "");

    passGate();
    choose(&MainWindowHandlers::OptEncFiles_Click);
    model.targetList = {row("a"), row("b")};
    form.mnuAbout_Click();
    form.mnuAbout_Click();  // twice in a row
    form.cmdOK_Click();
    EXPECT_EQ(model.topPage(), Page::fraResult);
    EXPECT_EQ(texts(model.targetList), (std::vector<std::string>{"a", "b"}));
}

// The addresses are the build's; a page without one opens nothing, and the
// help page falls back to the online help, or else to where the file belongs.
TEST_F(Wizard, WebPagesOpenTheirAddressesOrNothingWithoutOne) {
    const VendorPages built = vendorPages();
    const std::string besideProgram = fileAddress(getFolderPart(executablePath()) + kHelpFileName);
    struct Case {
        VendorPages pages;
        std::vector<std::string> opened;  // by Visit, "Visit our web site now", "Contact Us", Help
    } cases[] = {
        {{"https://home.test/", "https://home.test/contact", "https://home.test/help"},
         {"https://home.test/", "https://home.test/", "https://home.test/contact",
          "https://home.test/help"}},
        {{"", "https://home.test/contact", ""}, {"https://home.test/contact", besideProgram}},
        {{"", "", ""}, {besideProgram}},
    };
    for (const Case& c : cases) {
        vendorPages() = c.pages;
        desktop.addresses.clear();
        form.mnuVisit_Click();
        form.Label5_Click();
        form.Label6_Click();
        form.mnuOnline_Click();
        EXPECT_EQ(desktop.addresses, c.opened) << c.pages.home << " " << c.pages.contact;
    }
    vendorPages() = built;
    EXPECT_TRUE(desktop.messages.empty());
}

TEST(WebPages, FileAddressesEscapeEveryByteOutsideTheSafeSet) {
    EXPECT_EQ(fileAddress("/opt/Tessarin/tessarin-help.html"),
              "file:///opt/Tessarin/tessarin-help.html");
    EXPECT_EQ(fileAddress("/home/an a/h\xC3\xA9lp#1.html"),
              "file:///home/an%20a/h%C3%A9lp%231.html");
    EXPECT_EQ(fileAddress("C:\\Program Files\\help.html"), "file:///C:/Program%20Files/help.html");
}

}  // namespace
}  // namespace vellumar::test
