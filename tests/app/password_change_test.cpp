// Passwords after the first, in the window, through its handlers: the gate
// offers to restore a missing key file from the recovery key, File > Change
// Password... changes the password (the key file and the sealed folders'
// copies with sealing on), and the gate opens the key in the background.

#include <cstdio>
#include <cstdlib>
#include <functional>

#include "app/password.h"
#include "engine/platform/atomic_file.h"
#include "engine/platform/paths.h"
#include "engine/sealing/sealed_identity.h"
#include "folders/folder_lists.h"
#include "locking/sealing_keys.h"
#include "tests/app/wizard_fixture.h"

namespace vellumar::test {
namespace {

class PasswordChanges : public Wizard {
  protected:
    void SetUp() override {
        setIdentityWorkFactor(10);  // identity files cheap to make and open
        Wizard::SetUp();
    }
    // Sealing on under "old"; the recovery key kept in key.txt.
    void sealingOn() {
        SealingKeys keys;
        ASSERT_EQ(startSealing(settings, "old", keys).start, SealingStart::started);
        identity = keys.identities.front();
        recoveryKey = temp.write("key.txt", identityText(identity));
    }
    static bool keyOpensWith(const std::string& path, const std::string& password) {
        AgeIdentity opened;
        return readIdentityFile(path, password, opened).ok();
    }

    AgeIdentity identity;
    std::string recoveryKey;
};

const Shown kMissing(const std::string& path) {
    return {"The Password Can Not Be Checked: The Key File " + path +
                " Is Missing. Restore It With The Recovery Key.",
            Icon::critical, kApplicationTitle};
}

TEST_F(PasswordChanges, TheGateRestoresAMissingKeyFileFromTheRecoveryKey) {
    sealingOn();
    ASSERT_EQ(std::remove(identityFilePath().c_str()), 0);
    const std::string notAKey = temp.write("notakey.txt", "AGE-SECRET-KEY-1 typed badly\n");
    struct Attempt {
        bool restore;
        std::vector<std::vector<std::string>> files;
        std::vector<std::vector<std::string>> passwords;
        std::vector<Shown> after;  // what follows the message that it is missing
    } attempts[] = {
        {false, {}, {}, {}},
        {true, {{}}, {}, {}},  // no file picked
        {true,
         {{notAKey}},
         {},
         {{notAKey + ": not a recovery key (it must hold \"AGE-SECRET-KEY-1...\" lines and comments only)",
           Icon::critical, kApplicationTitle}}},
        {true, {{recoveryKey}}, {{}}, {}},  // the password dialog cancelled
        {true,
         {{recoveryKey}},
         {{"new", "nwe"}},
         {{"Please Confirm The Passwords", Icon::critical, kApplicationTitle}}},
        {true,
         {{recoveryKey}},
         {{" ", ""}},
         {{"Please Set The Password", Icon::critical, kApplicationTitle}}},
    };
    for (const Attempt& attempt : attempts) {
        desktop.messages.clear();
        desktop.answers = {attempt.restore};
        desktop.fileAnswers.assign(attempt.files.begin(), attempt.files.end());
        desktop.passwordAnswers.assign(attempt.passwords.begin(), attempt.passwords.end());
        typePassword("old", "");
        std::vector<Shown> expected{kMissing(identityFilePath())};
        expected.insert(expected.end(), attempt.after.begin(), attempt.after.end());
        EXPECT_EQ(desktop.messages, expected);
        EXPECT_EQ(model.topPage(), Page::fraPassword);
        EXPECT_FALSE(fileExists(identityFilePath()));
    }
    EXPECT_EQ(desktop.questions.back(),
              (Shown{"Restore The Key File With Your Recovery Key Now?\rPick The File That "
                     "Holds The Recovery Key, Then Type A New Password Twice.",
                     Icon::exclamation, kApplicationTitle}));

    desktop.messages.clear();
    desktop.answers = {true};
    desktop.fileAnswers = {{recoveryKey}};
    desktop.passwordAnswers = {{"n\xC3\xBC", "n\xC3\xBC"}};
    typePassword("old", "");
    EXPECT_EQ(desktop.messages.back(),
              (Shown{"The Key File Has Been Restored From The Recovery Key.\rIt Opens With The "
                     "New Password.",
                     Icon::information, kApplicationTitle}));
    EXPECT_EQ(desktop.passwordDialogs.back(),
              (std::pair<std::string, std::vector<std::string>>{
                  "Restore The Key File", {"New Password", "Confirm Password"}}));
    EXPECT_EQ(model.topPage(), Page::fraSelect);
    ASSERT_TRUE(model.sessionKeys.canUnseal());
    EXPECT_EQ(model.sessionKeys.identities[0].secret(), identity.secret());
    EXPECT_TRUE(keyOpensWith(identityFilePath(), "n\xC3\xBC"));
}

// Sealing on: the key file and each listed folder's copy are wrapped again;
// a copy that does not open with the old password is named with its cause.
TEST_F(PasswordChanges, ChangingThePasswordWrapsTheKeyAndTheFolderCopies) {
    sealingOn();
    // box: a copy of the key file; far: a folder sealed elsewhere under the
    // same password, with its own key; odd: one under another password.
    const std::string box = temp / "box", far = temp / "far", odd = temp / "odd";
    temp.write("box/a.txt", "a");
    temp.write("far/c.txt", "c");
    temp.write("odd/b.txt", "b");
    for (const std::string& folder : {box, far, odd})
        ASSERT_EQ(appendFolderRecord(folder), IoError::ok);
    ASSERT_EQ(placeFolderIdentity(box), IoError::ok);
    const std::string boxCopy = addBackslash(box) + kFolderIdentityName;
    const std::string oddCopy = addBackslash(odd) + kFolderIdentityName;
    const std::string farCopy = addBackslash(far) + kFolderIdentityName;
    const AgeIdentity farKey = AgeIdentity::generate();
    ASSERT_TRUE(writeIdentityFile(farCopy, farKey, "old", 10).ok());
    fileSystem().setAttributes(farCopy, kAttrHidden | kAttrReadOnly);
    ASSERT_TRUE(writeIdentityFile(oddCopy, AgeIdentity::generate(), "elsewhere", 10).ok());
    fileSystem().setAttributes(oddCopy, kAttrHidden | kAttrReadOnly);

    desktop.passwordAnswers = {{}, {"wrong", "new", "new"}, {"old", "new", "nwe"}};
    for (int tries = 0; tries < 3; ++tries) form.mnuChangePassword_Click();
    EXPECT_EQ(desktop.messages,
              (std::vector<Shown>{
                  {"Please Enter The Right Password", Icon::critical, kApplicationTitle},
                  {"Please Confirm The Passwords", Icon::critical, kApplicationTitle}}));
    EXPECT_TRUE(keyOpensWith(identityFilePath(), "old"));
    EXPECT_EQ(desktop.passwordDialogs.back(),
              (std::pair<std::string, std::vector<std::string>>{
                  "Change Password", {"Current Password", "New Password", "Confirm New Password"}}));

    desktop.messages.clear();
    desktop.passwordAnswers = {{"old", "new", "new"}};
    form.mnuChangePassword_Click();
    EXPECT_EQ(desktop.messages,
              (std::vector<Shown>{{"The Password Has Been Changed, But The Key Copy Of These "
                                   "Sealed Folders Could Not Be Changed: They Still Open With "
                                   "The Old Password.\r" +
                                       oddCopy + ": it does not open with the old password",
                                   Icon::exclamation, kApplicationTitle}}));
    EXPECT_TRUE(keyOpensWith(identityFilePath(), "new"));
    EXPECT_FALSE(keyOpensWith(identityFilePath(), "old"));
    EXPECT_TRUE(keyOpensWith(boxCopy, "new"));
    EXPECT_TRUE(keyOpensWith(oddCopy, "elsewhere"));
    AgeIdentity farOpened;
    ASSERT_TRUE(readIdentityFile(farCopy, "new", farOpened).ok());
    EXPECT_EQ(farOpened.secret(), farKey.secret());
    // The copy is still known for the program's own.
    EXPECT_TRUE(isFolderIdentityCopy(boxCopy));
}

TEST_F(PasswordChanges, WithoutSealingTheStoredPasswordIsReplaced) {
    passGate();
    desktop.passwordAnswers = {{"secret", "\xE2\x82\xAC", "\xE2\x82\xAC"}, {"secret", "new", "new"}};
    form.mnuChangePassword_Click();
    form.mnuChangePassword_Click();
    EXPECT_EQ(desktop.messages,
              (std::vector<Shown>{
                  {"Please Use Only Letters, Digits And Common Symbols In The Password",
                   Icon::critical, kApplicationTitle},
                  {"The Password Has Been Changed.", Icon::information, kApplicationTitle}}));
    EXPECT_EQ(storedPassword(settings), "new");
    EXPECT_EQ(model.sessionKeys.password.view(), "new");
}

// The key opens in the background: OK is held disabled and the pointer
// busy until the answer lands, and a second click starts nothing.
TEST_F(PasswordChanges, TheGateOpensTheKeyInTheBackground) {
    sealingOn();
    std::function<void()> work, then;
    form.hooks.inBackground = [&](std::function<void()> w, std::function<void()> t) {
        work = std::move(w);
        then = std::move(t);
    };
    int opened = 0;
    form.hooks.openKeyFile = [&opened](const std::string& password, SealingKeys& keys) {
        ++opened;
        return openKeyFile(password, keys);
    };
    typePassword("old", "");
    EXPECT_TRUE(model.passwordChecking);
    EXPECT_EQ(desktop.busyChanges, std::vector<bool>{true});
    form.cmdPassword_Click();
    ASSERT_TRUE(work && then);
    work();
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(model.topPage(), Page::fraPassword);  // nothing lands before the window's turn
    then();
    EXPECT_FALSE(model.passwordChecking);
    EXPECT_EQ(desktop.busyChanges, (std::vector<bool>{true, false}));
    EXPECT_EQ(model.topPage(), Page::fraSelect);
    EXPECT_TRUE(model.sessionKeys.canUnseal());
}

}  // namespace
}  // namespace vellumar::test
