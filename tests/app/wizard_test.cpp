// Start-up, the choice page, Next and Back, the ways out, menus and about page.

#include <functional>

#include "app/web_pages.h"
#include "engine/platform/file_system.h"
#include "engine/platform/paths.h"
#include "engine/platform/platform.h"
#include "tests/app/wizard_fixture.h"
#include "tests/support/file_attributes.h"

namespace vellumar::test {
namespace {

using Handler = void (MainWindowHandlers::*)();

TEST_F(Wizard, StartsOnThePasswordPageWithNothingChosen) {
    EXPECT_EQ(model.topPage(), Page::fraPassword);
    EXPECT_FALSE(model.wizard.gatePassed());
    EXPECT_EQ(model.wizard.choice(), Option::none);
    EXPECT_EQ(model.operation(), Option::none);
    EXPECT_FALSE(model.runButtonEnabled);
    // First use: the password is set, so it is typed twice.
    EXPECT_TRUE(model.confirmVisible);
    EXPECT_TRUE(model.targetList.empty());
    EXPECT_EQ(model.WindowsDir, windowsDirectory());
    EXPECT_EQ(model.WindowsSystemDir, systemDirectory());
    EXPECT_TRUE(desktop.messages.empty());
}

// The confirmation field is there only while the password is being set.
TEST_F(Wizard, TheConfirmationFieldIsShownOnlyUntilThePasswordIsSet) {
    passGate();
    EXPECT_FALSE(model.confirmVisible);
    WindowModel later;
    MainWindowHandlers next(later, desktop, settings);
    ASSERT_TRUE(next.Form_Load(false));
    EXPECT_FALSE(later.confirmVisible);
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

TEST_F(Wizard, NextOpensThePageOfTheChosenOperation) {
    struct Case {
        Handler option;
        std::string label3, caption;
        bool clears;  // presses Clear: list emptied, run button disabled
    } cases[] = {
        {&MainWindowHandlers::OptEncFolder_Click, "Add folder to be encrypted and locked",
         "Encrypt", true},
        {&MainWindowHandlers::OptDecFolder_Click, "Add folder to be decrypted and unlocked",
         "Decrypt", true},
        {&MainWindowHandlers::OptEncFiles_Click, "Add files that are to be encrypted and locked",
         "Encrypt", false},
        {&MainWindowHandlers::OptDecFiles_Click, "Add files that are to be decrypted and unlocked",
         "Decrypt", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label3);
        WindowModel fresh;
        MainWindowHandlers form(fresh, desktop, settings);
        ASSERT_TRUE(form.Form_Load(false));
        fresh.wizard.passGate();
        fresh.targetList = {row("kept")};
        // What an earlier folder left: never run by this page.
        fresh.foundFiles = {row("found")};
        fresh.FolderName = "Reports";
        temp.write("home/temp", "t");
        temp.write("home/encfile", "e");

        (form.*c.option)();
        form.cmdNext_Click();

        EXPECT_EQ(fresh.topPage(), Page::fraResult);
        EXPECT_EQ(targetPrompt(fresh.operation()), c.label3);
        EXPECT_EQ(runButtonCaption(fresh.operation()), c.caption);
        EXPECT_EQ(fresh.targetList.empty(), c.clears);
        EXPECT_TRUE(fresh.foundFiles.empty());
        EXPECT_EQ(fresh.FolderName, "");
        EXPECT_EQ(fresh.runButtonEnabled, !c.clears);
        EXPECT_EQ(fileExists(temp / "home/temp"), !c.clears);
        EXPECT_EQ(fileExists(temp / "home/encfile"), !c.clears);
    }
    EXPECT_TRUE(desktop.messages.empty());
}

// No placeholder page: Next with no operation chosen stays where it is.
TEST_F(Wizard, NextWithNothingChosenStaysOnTheChoicePage) {
    passGate();
    form.cmdNext_Click();
    EXPECT_EQ(model.topPage(), Page::fraSelect);
    EXPECT_EQ(model.operation(), Option::none);
    EXPECT_TRUE(desktop.messages.empty());
}

// An option button's click that lands after Next (its Alt letter clicks it
// a moment later) must not change what the open page adds and runs.
TEST_F(Wizard, AnOptionClickedOffTheChoicePageChangesNothing) {
    form.OptDecFolder_Click();  // before the gate
    EXPECT_EQ(model.wizard.choice(), Option::none);
    passGate();
    choose(&MainWindowHandlers::OptDecFiles_Click);
    form.OptDecFolder_Click();
    EXPECT_EQ(model.wizard.choice(), Option::OptDecFiles);
    EXPECT_EQ(model.operation(), Option::OptDecFiles);
    // Add picks files, as the page says, not a folder.
    const std::string locked = temp.write("data/abgrf.VKL", "[Secret]x");
    desktop.fileAnswers.push_back({locked});
    form.cmdAdd_Click();
    EXPECT_EQ(texts(model.targetList).size(), 1u);
    EXPECT_TRUE(desktop.fileAnswers.empty());
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
        model.wizard = WizardState();  // a fresh start
    }
    EXPECT_TRUE(desktop.messages.empty());
}

// Next leaves exactly the chosen operation, and nothing of an earlier
// folder: a folder run acts only on a folder that its own Add picks.
TEST_F(Wizard, NextLeavesExactlyTheChosenOperation) {
    struct Case {
        Handler before, after;
        Option operation;
    } cases[] = {
        {&MainWindowHandlers::OptEncFolder_Click, &MainWindowHandlers::OptEncFiles_Click,
         Option::OptEncFiles},
        {&MainWindowHandlers::OptDecFolder_Click, &MainWindowHandlers::OptDecFiles_Click,
         Option::OptDecFiles},
        {&MainWindowHandlers::OptEncFiles_Click, &MainWindowHandlers::OptDecFolder_Click,
         Option::OptDecFolder},
        {&MainWindowHandlers::OptDecFiles_Click, &MainWindowHandlers::OptEncFolder_Click,
         Option::OptEncFolder},
    };
    passGate();
    for (const Case& c : cases) {
        choose(c.before);
        model.FolderName = "Reports";  // a folder in hand from the earlier page
        model.ParentPath = temp / "";
        model.PlainFolderPath = temp / "Reports";
        form.cmdBack_Click();
        choose(c.after);
        EXPECT_EQ(model.operation(), c.operation);
        EXPECT_EQ(model.FolderName + model.ParentPath + model.PlainFolderPath, "");
        form.cmdBack_Click();
    }

    choose(&MainWindowHandlers::OptEncFolder_Click);
    model.targetList = {row("a")};
    model.runButtonEnabled = true;
    form.cmdBack_Click();
    EXPECT_EQ(model.topPage(), Page::fraSelect);
    EXPECT_EQ(model.operation(), Option::none);
    EXPECT_TRUE(model.targetList.empty());
    EXPECT_FALSE(model.runButtonEnabled);
    // The choice stays, so Next can be pressed again at once.
    EXPECT_EQ(model.wizard.choice(), Option::OptEncFolder);
}

// Before the password is given nothing that changes files or lists works,
// whatever the widgets show: no dialog opens, no file or record changes.
TEST_F(Wizard, TheGateGuardsEveryHandlerThatChangesFiles) {
    const std::string locked = temp.write("data/abgrf.VKL", "[Secret]x");
    const std::string plain = temp.write("data/plain.txt", "plain");
    const std::string list = temp.write("home/files", locked + "\r\n");
    int findLocked = 0;
    form.hooks.findLockedItems = [&] { ++findLocked; };
    model.targetList = {row(locked), row(plain)};
    const std::vector<std::pair<const char*, std::function<void()>>> events = {
        {"option", [&] { form.OptDecFiles_Click(); }},
        {"next", [&] { form.cmdNext_Click(); }},
        {"add", [&] { form.cmdAdd_Click(); }},
        {"clear", [&] { form.cmdClear_Click(); }},
        {"run", [&] { form.cmdEncDec_Click(); }},
        {"seal", [&] { form.chkSeal_Click(true); }},
        {"find locked items", [&] { form.mnuFindLocked_Click(); }},
        {"paths from outside", [&] { form.openTargetPage(Option::OptDecFiles); }},
    };
    for (const auto& [name, event] : events) {
        SCOPED_TRACE(name);
        event();
        EXPECT_EQ(model.topPage(), Page::fraPassword);
        EXPECT_EQ(model.operation(), Option::none);
        EXPECT_EQ(texts(model.targetList), (std::vector<std::string>{locked, plain}));
    }
    EXPECT_EQ(findLocked, 0);
    EXPECT_EQ(readFile(locked), "[Secret]x");
    EXPECT_EQ(readFile(plain), "plain");
    EXPECT_EQ(readFile(list), locked + "\r\n");
    EXPECT_TRUE(desktop.messages.empty());

    passGate();
    form.mnuFindLocked_Click();
    EXPECT_EQ(findLocked, 1);
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
