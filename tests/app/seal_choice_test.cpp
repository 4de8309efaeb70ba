// Sealing in the window, through its handlers: the check box of the two
// encrypt pages turns sealing on once (after a question, showing the
// recovery key once), is remembered, seals and unseals through the run
// button, and the gate then checks the password by the key alone.

#include "app/seal_choice.h"

#include <cstdlib>
#include <fstream>
#include <functional>

#include "app/file_messages.h"
#include "app/password.h"
#include "engine/platform/atomic_file.h"
#include "engine/platform/paths.h"
#include "engine/sealing/sealed_identity.h"
#include "engine/sealing/sealed_lock.h"
#include "locking/sealing_keys.h"
#include "tests/app/wizard_fixture.h"
#include "tests/engine/formats/lock_fixture.h"
#include "tests/support/forwarding_file_system.h"

namespace vellumar::test {
namespace {

class SealChoice : public Wizard {
  protected:
    void SetUp() override {
        setIdentityWorkFactor(10);  // identity files cheap to make and open
        Wizard::SetUp();
    }
    // Adds the files and presses the run button.
    void run(const std::vector<std::string>& paths) {
        for (const std::string& path : paths) model.targetList.push_back(row(path));
        form.cmdEncDec_Click();
    }
    // Turns sealing on with the box of "Encrypt File(s)", answering Yes.
    void turnOnWithTheBox() {
        choose(&MainWindowHandlers::OptEncFiles_Click);
        desktop.answers = {true};
        form.chkSeal_Click(true);
        ASSERT_TRUE(model.sessionKeys.canUnseal());
        desktop.messages.clear();
    }
    // The sealed files of a folder of the test.
    std::vector<std::string> sealedIn(const std::string& folder) {
        std::vector<std::string> paths;
        for (const std::string& name : namesIn(temp / folder)) {
            EXPECT_TRUE(hasSealedExtension(name)) << name;
            paths.push_back(temp / (folder + "/" + name));
        }
        return paths;
    }
};

const Shown kDecrypted{"File(s) Decrypted Successfully", Icon::information, kApplicationTitle};

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
    EXPECT_EQ(desktop.messages.back(),
              (Shown{"File(s) Encrypted Successfully", Icon::information, kApplicationTitle}));
    std::vector<std::string> sealed;
    for (const std::string& name : namesIn(temp / "w")) {
        EXPECT_TRUE(hasSealedExtension(name)) << name;
        sealed.push_back(temp / ("w/" + name));
    }
    ASSERT_EQ(sealed.size(), 2u);

    choose(&MainWindowHandlers::OptDecFiles_Click);
    run(sealed);
    EXPECT_EQ(desktop.messages.back(),
              (Shown{"File(s) Decrypted Successfully", Icon::information, kApplicationTitle}));
    EXPECT_EQ(readFile(small), "dear diary");
    EXPECT_TRUE(readFile(large) == patternBytes(300000, 3));
}

// Once sealing is on the gate opens the key: the right password passes
// (characters the shifted form could not hold included), a wrong one does
// not, and a key that went missing is not taken for a first use: it is
// said to be missing.
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
    {
        // A failing library says nothing about the key file: never "damaged".
        constexpr unsigned kSelftestFailed = 50;  // GPG_ERR_SELFTEST_FAILED
        LibraryFailureInjection fail(kSelftestFailed, LibraryCall::kdf);
        typePassword("gr\xC3\xBC\xC3\x9F dich \xE2\x82\xAC", "");
        EXPECT_EQ(model.topPage(), Page::fraPassword);
        EXPECT_EQ(desktop.messages.back(),
                  (Shown{"The Password Can Not Be Checked: The Cryptographic Library Failed",
                         Icon::critical, kApplicationTitle}));
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
    desktop.answers = {false};
    second.cmdPassword_Click();
    EXPECT_EQ(again.topPage(), Page::fraPassword);
    EXPECT_EQ(desktop.messages.back(),
              (Shown{"The Password Can Not Be Checked: The Key File " + identityFilePath() +
                         " Is Missing. Restore It With The Recovery Key.",
                     Icon::critical, kApplicationTitle}));
}

// The next start of the program: the gate opens the key with the password
// alone, the box is still on, and the files sealed before come back.
TEST_F(SealChoice, ALaterSessionOpensTheKeyWithThePasswordAndUnseals) {
    passGate();
    turnOnWithTheBox();
    const std::string notes = temp.write("w/notes.txt", "dear diary");
    run({notes});
    const std::vector<std::string> sealed = sealedIn("w");
    ASSERT_EQ(sealed.size(), 1u);

    WindowModel later;
    MainWindowHandlers next{later, desktop, settings};
    ASSERT_TRUE(next.Form_Load(false));
    later.txtPassword = "secret";
    next.cmdPassword_Click();
    ASSERT_EQ(later.topPage(), Page::fraSelect);
    ASSERT_TRUE(later.sessionKeys.canUnseal());
    EXPECT_EQ(identityText(later.sessionKeys.identities[0]),
              identityText(model.sessionKeys.identities[0]));
    next.OptEncFiles_Click();
    next.cmdNext_Click();
    EXPECT_TRUE(later.sealChecked);

    next.cmdBack_Click();
    next.OptDecFiles_Click();
    next.cmdNext_Click();
    later.targetList = {row(sealed[0])};
    desktop.messages.clear();
    next.cmdEncDec_Click();
    EXPECT_EQ(desktop.messages, std::vector<Shown>{kDecrypted});
    EXPECT_EQ(readFile(notes), "dear diary");
    EXPECT_EQ(desktop.questions.size(), 1u);  // asked once, in the first session
}

// A sealed file that does not open is named with its cause, and it stays
// exactly as it was with nothing written beside it.
TEST_F(SealChoice, ASealedFileThatDoesNotOpenIsNamedAndKeptAsItIs) {
    passGate();
    const std::string plain = temp.write("a/foreign.txt", "private");
    ScriptedDesktop quiet;
    const FileResult made = lockSealedFile(plain, AgeIdentity::generate().recipient(), quiet);
    ASSERT_TRUE(made.done());
    const std::string foreign = made.output;

    auto expectKept = [&](const std::string& path, const Shown& said) {
        SCOPED_TRACE(path);
        const std::string before = readFile(path);
        const std::vector<std::string> namesBefore = namesIn(getFolderPart(path));
        choose(&MainWindowHandlers::OptDecFiles_Click);
        desktop.messages.clear();
        run({path});
        EXPECT_EQ(desktop.messages,
                  (std::vector<Shown>{
                      said, {"0 of 1 file was unlocked.", Icon::exclamation, kApplicationTitle}}));
        EXPECT_TRUE(readFile(path) == before);
        EXPECT_EQ(namesIn(getFolderPart(path)), namesBefore);
        form.cmdBack_Click();
    };
    // Sealing is not on here yet: there is no key to try.
    expectKept(foreign, {noIdentityText(foreign), Icon::critical, kSealedFileTitle});

    turnOnWithTheBox();
    form.cmdBack_Click();
    expectKept(foreign, {otherIdentityText(foreign), Icon::critical, kSealedFileTitle});
    // One made with a passphrase (as age -p makes them) says so.
    const std::string passphrase = temp / "a/pass.VKS";
    {
        AtomicFile out(passphrase);
        ASSERT_EQ(out.open(), IoError::ok);
        ASSERT_TRUE(encryptWithPassword("words", 10, readFromText("x"), writeToFile(out)).ok());
        ASSERT_EQ(out.commit(), IoError::ok);
    }
    expectKept(passphrase,
               {otherIdentityText(passphrase,
                                  "it is sealed with a passphrase, not for this program's key"),
                Icon::critical, kSealedFileTitle});

    // Files of this program's own key, changed after they were sealed.
    struct Change {
        const char* name;
        std::function<void(std::string&)> apply;
        std::string cause;
    };
    const std::string verifyCause = "it does not verify: it was cut short or changed";
    const std::vector<Change> changes = {
        {"last chunk's tag", [](std::string& b) { b.back() ^= 1; }, verifyCause},
        {"cut short", [](std::string& b) { b.resize(b.size() - 20); }, verifyCause},
        {"header's MAC",
         [](std::string& b) {
             const size_t mac = b.find("\n--- ") + 5;
             b[mac] = b[mac] == 'A' ? 'B' : 'A';
         },
         verifyCause},
    };
    for (const Change& change : changes) {
        SCOPED_TRACE(change.name);
        const std::string folder = std::string("b/") + change.name;
        choose(&MainWindowHandlers::OptEncFiles_Click);
        run({temp.write(folder + "/notes.txt", patternBytes(70000, 4))});
        const std::vector<std::string> sealed = sealedIn(folder);
        ASSERT_EQ(sealed.size(), 1u);
        std::string bytes = readFile(sealed[0]);
        change.apply(bytes);
        platformFileSystem().setAttributes(sealed[0], kAttrNormal);
        std::ofstream(sealed[0], std::ios::binary | std::ios::trunc) << bytes;
        expectKept(sealed[0],
                   {damagedFileText(sealed[0], change.cause), Icon::critical, kDamagedFileTitle});
    }

    // A failing library is no verdict on the file: it is named as such.
    choose(&MainWindowHandlers::OptEncFiles_Click);
    run({temp.write("c/notes.txt", "notes")});
    const std::vector<std::string> sealed = sealedIn("c");
    ASSERT_EQ(sealed.size(), 1u);
    constexpr unsigned kSelftestFailed = 50;  // GPG_ERR_SELFTEST_FAILED
    LibraryFailureInjection fail(kSelftestFailed, LibraryCall::curve);
    expectKept(sealed[0], {sealed[0] + ": the cryptographic library failed: Selftest failed",
                           Icon::critical, kSealedFileTitle});
}

// Turning sealing on says what it could not do: a key that cannot be made
// changes nothing and leaves the box off; settings that cannot be written
// keep the old form of the password until the next gate removes it.
TEST_F(SealChoice, TurningSealingOnSaysWhatItCouldNotDo) {
    passGate();
    choose(&MainWindowHandlers::OptEncFiles_Click);
    {
        class NoNewFileInHome final : public ForwardingFileSystem {
            IoError createNew(const std::string& p, FileHandle& out) override {
                if (getFolderPart(p) == getFolderPart(identityFilePath()))
                    return IoError::accessDenied;
                return base().createNew(p, out);
            }
        } refusing;
        FileSystemOverride use(refusing);
        desktop.answers = {true};
        form.chkSeal_Click(true);
    }
    EXPECT_EQ(desktop.messages,
              (std::vector<Shown>{{"Sealing could not be turned on: the key " + identityFilePath() +
                                       " could not be made (path/file access error).\r\n"
                                       "Nothing was changed.",
                                   Icon::critical, kSealingTitle}}));
    EXPECT_FALSE(model.sealChecked);
    EXPECT_FALSE(sealingIsOn());
    EXPECT_EQ(storedPassword(settings), "secret");
    EXPECT_EQ(settings.getSetting(kSettingsApplication, kSettingsSection, "Seal"), "0");

    desktop.messages.clear();
    settings.readOnly = true;
    desktop.answers = {true};
    form.chkSeal_Click(true);
    EXPECT_TRUE(model.sealChecked);
    ASSERT_TRUE(model.sessionKeys.canUnseal());
    EXPECT_EQ(
        desktop.messages,
        (std::vector<Shown>{{recoveryKeyText(identityText(model.sessionKeys.identities[0]), true),
                             Icon::information, kRecoveryKeyTitle}}));
    EXPECT_EQ(storedPassword(settings), "secret");

    settings.readOnly = false;
    WindowModel later;
    MainWindowHandlers next{later, desktop, settings};
    later.txtPassword = "secret";
    next.cmdPassword_Click();
    EXPECT_EQ(later.topPage(), Page::fraSelect);
    EXPECT_EQ(storedPassword(settings), "");
}

}  // namespace
}  // namespace vellumar::test
