// The password gate: first use, a set password, refused characters, the store.

#include "app/password.h"

#include "engine/formats/text_shift.h"
#include "tests/app/wizard_fixture.h"

namespace vellumar::test {
namespace {

const MemorySettings::Address kPasswordRecord{"Tessarin", "Settings", encodeText("Password")};

TEST_F(Wizard, FirstUseSetsThePasswordOrSaysWhyNot) {
    struct Case {
        std::string password, confirm;
        std::string message;  // empty: accepted
        std::string leftPassword, leftConfirm;
        std::string stored;
    } cases[] = {
        {"  secret ", " secret  ", "", "", "", "secret"},  // blanks trimmed
        {"   ", " ", "Please Set The Password", "   ", " ", ""},
        {"", "", "Please Set The Password", "", "", ""},
        {"secret", "", "Please Confirm The Passwords", "", "", ""},
        {"", "secret", "Please Confirm The Passwords", "", "", ""},
        {"secret", "Secret", "Please Confirm The Passwords", "", "", ""},
        // UTF-8 "ä" is two bytes above 190: no encoded form, so it could
        // never be matched once saved.
        {"p\xC3\xA4ss", "p\xC3\xA4ss",
         "Please Use Only Letters, Digits And Common Symbols In The Password", "", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("\"" + c.password + "\" / \"" + c.confirm + "\"");
        settings.values.clear();
        desktop.messages.clear();
        model.wizard = WizardState();  // a fresh start
        uint64_t focusBefore = model.focusRequests;

        typePassword(c.password, c.confirm);

        if (c.message.empty()) {
            EXPECT_TRUE(desktop.messages.empty());
            EXPECT_EQ(model.topPage(), Page::fraSelect);
        } else {
            EXPECT_EQ(desktop.messages,
                      (std::vector<Shown>{{c.message, Icon::critical, "Vellumar"}}));
            EXPECT_EQ(model.topPage(), Page::fraPassword);
            EXPECT_EQ(model.focus, Field::txtPassword);
            EXPECT_GT(model.focusRequests, focusBefore);
        }
        EXPECT_EQ(model.txtPassword, c.leftPassword);
        EXPECT_EQ(model.txtConfirm, c.leftConfirm);
        if (c.stored.empty()) {
            EXPECT_TRUE(settings.values.empty());
        } else {
            // One record; the plain word "Password" is nowhere in the store.
            EXPECT_EQ(settings.values, (std::map<MemorySettings::Address, std::string>{
                                           {kPasswordRecord, encodeText(c.stored)}}));
        }
    }
}

TEST_F(Wizard, ASetPasswordIsMatchedExactlyAndTheConfirmFieldIgnored) {
    passGate();
    struct Case {
        std::string password, confirm;
        bool accepted;
    } cases[] = {
        {"secret", "", true},        {"   secret  ", "anything", true},
        {"Secret", "secret", false},  // case counts
        {"secre", "", false},        {"", "secret", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.password);
        desktop.messages.clear();
        model.wizard = WizardState();  // a fresh start
        typePassword(c.password, c.confirm);
        EXPECT_EQ(model.topPage(), c.accepted ? Page::fraSelect : Page::fraPassword);
        std::vector<Shown> expected;
        if (!c.accepted)
            expected = {{"Please Enter The Right Password", Icon::critical, "Vellumar"}};
        EXPECT_EQ(desktop.messages, expected);
        EXPECT_EQ(model.txtPassword, "");
        EXPECT_EQ(model.txtConfirm, "");
        EXPECT_EQ(storedPassword(settings), "secret");
    }
}

TEST(Password, EveryCharacterWithAnEncodedFormIsStoredAndMatched) {
    MemorySettings settings;
    std::string every;
    for (int c = 1; c <= 190; ++c)
        if (c != ' ') every += static_cast<char>(c);
    EXPECT_EQ(checkPassword(settings, every, every), PasswordGate::passwordSet);
    EXPECT_EQ(storedPassword(settings), every);
    EXPECT_EQ(checkPassword(settings, every, ""), PasswordGate::accepted);
    EXPECT_EQ(checkPassword(settings, every.substr(1), ""), PasswordGate::wrongPassword);
}

}  // namespace
}  // namespace vellumar::test
