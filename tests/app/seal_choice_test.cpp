// Sealing in the window, through its handlers: the check box of the two
// encrypt pages turns sealing on once (after a question, showing the
// recovery key once), is remembered, seals and unseals through the run
// button, and the gate then checks the password by the key alone.

#include <cstdlib>

#include "app/password.h"
#include "app/seal_choice.h"
#include "engine/names.h"
#include "engine/sealed_identity.h"
#include "engine/sealed_lock.h"
#include "tests/app/wizard_fixture.h"
#include "tests/engine/lock_fixture.h"

namespace vellumar::test {
namespace {

class SealChoice : public Wizard {
  protected:
    void SetUp() override {
#ifdef _WIN32
        _putenv_s("TESSARIN_TEST_SCRYPT_LOG_N", "10");
#else
        setenv("TESSARIN_TEST_SCRYPT_LOG_N", "10", 1);
#endif
        Wizard::SetUp();
    }
    // Adds the files and presses the run button.
    void run(const std::vector<std::string>& paths) {
        for (const std::string& path : paths) model.targetList.push_back(row(path));
        form.cmdEncDec_Click();
    }
};

TEST_F(SealChoice, TurningItOnAsksOnceShowsTheKeyOnceAndForgetsTheShiftedPassword) {
    passGate();
    choose(&MainWindowHandlers::OptEncFiles_Click);
    EXPECT_TRUE(model.sealVisible);
    EXPECT_FALSE(model.sealChecked);  // off until the person turns it on

    desktop.answers = {false};
    form.chkSeal_Click(true);
    EXPECT_FALSE(model.sealChecked);
    EXPECT_FALSE(sealingIsOn());
    EXPECT_EQ(storedPassword(settings), "secret");

    desktop.answers = {true};
    form.chkSeal_Click(true);
    EXPECT_TRUE(model.sealChecked);
    ASSERT_EQ(desktop.questions.size(), 2u);
    EXPECT_EQ(desktop.questions[1], (Shown{kTurnOnSealingText, Icon::exclamation, kSealingTitle}));
    ASSERT_EQ(desktop.messages.size(), 1u);
    EXPECT_EQ(desktop.messages[0],
              (Shown{recoveryKeyText(identityText(model.sessionKeys.identities.at(0))),
                     Icon::information, kRecoveryKeyTitle}));
    EXPECT_EQ(storedPassword(settings), "");

    // Off and on again: no question, no key shown.
    form.chkSeal_Click(false);
    form.chkSeal_Click(true);
    EXPECT_EQ(desktop.questions.size(), 2u);
    EXPECT_EQ(desktop.messages.size(), 1u);

    // Remembered for the next run, shown on the encrypt pages only.
    form.cmdBack_Click();
    choose(&MainWindowHandlers::OptDecFiles_Click);
    EXPECT_FALSE(model.sealVisible);
    form.cmdBack_Click();
    choose(&MainWindowHandlers::OptEncFolder_Click);
    EXPECT_TRUE(model.sealVisible);
    EXPECT_TRUE(model.sealChecked);
}

TEST_F(SealChoice, FilesAreSealedAndUnsealedThroughTheRunButton) {
    passGate();
    choose(&MainWindowHandlers::OptEncFiles_Click);
    desktop.answers = {true};
    form.chkSeal_Click(true);
    const std::string small = temp.write("w/notes.txt", "dear diary");
    const std::string large = temp.write("w/film.bin", patternBytes(300000, 3));
    run({small, large});
    EXPECT_EQ(desktop.messages.back(), (Shown{"File(s) Encrypted Successfully", Icon::information,
                                              kApplicationTitle}));
    std::vector<std::string> sealed;
    for (const std::string& name : namesIn(temp / "w")) {
        EXPECT_TRUE(hasSealedExtension(name)) << name;
        sealed.push_back(temp / ("w/" + name));
    }
    ASSERT_EQ(sealed.size(), 2u);

    choose(&MainWindowHandlers::OptDecFiles_Click);
    run(sealed);
    EXPECT_EQ(desktop.messages.back(), (Shown{"File(s) Decrypted Successfully", Icon::information,
                                              kApplicationTitle}));
    EXPECT_EQ(readFile(small), "dear diary");
    EXPECT_TRUE(readFile(large) == patternBytes(300000, 3));
}

// Once sealing is on the gate opens the key: the right password passes
// (characters the shifted form could not hold included), a wrong one does
// not, and a key that went missing is not taken for a first use.
TEST_F(SealChoice, TheGateChecksThePasswordByTheKey) {
    SealingKeys keys;
    ASSERT_TRUE(turnOnSealing("gr\xC3\xBC\xC3\x9F dich \xE2\x82\xAC", keys).ok());
    for (const char* wrong : {"wrong", "", "   "}) {
        typePassword(wrong, "");
        EXPECT_EQ(model.topPage(), Page::fraPassword);
        EXPECT_EQ(desktop.messages.back(),
                  (Shown{"Please Enter The Right Password", Icon::critical, kApplicationTitle}))
            << "'" << wrong << "'";
    }
    typePassword("  gr\xC3\xBC\xC3\x9F dich \xE2\x82\xAC ", "");
    EXPECT_EQ(model.topPage(), Page::fraSelect);
    EXPECT_TRUE(model.sessionKeys.canUnseal());

    settings.saveSetting(kSettingsApplication, kSettingsSection, "Sealing", "on");
    std::remove(identityFilePath().c_str());
    EXPECT_TRUE(passwordIsSet(settings));
    WindowModel again;
    MainWindowHandlers second{again, desktop, settings};
    again.txtPassword = again.txtConfirm = "new one";
    second.cmdPassword_Click();
    EXPECT_EQ(again.topPage(), Page::fraPassword);
    EXPECT_EQ(desktop.messages.back(),
              (Shown{passwordMessage(PasswordGate::keyUnreadable), Icon::critical,
                     kApplicationTitle}));
}

}  // namespace
}  // namespace vellumar::test
