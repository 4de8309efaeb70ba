#include "app/password.h"

#include "engine/names.h"
#include "engine/text_shift.h"

namespace vellumar {
namespace {

std::string passwordKey() {
    return EncodeText("Password");
}

}  // namespace

std::string StoredPassword(SettingsStore& settings) {
    return DecodeText(settings.GetSetting(kSettingsApplication, kSettingsSection, passwordKey()));
}

PasswordGate CheckPassword(SettingsStore& settings, const std::string& password,
                           const std::string& confirm) {
    std::string stored = StoredPassword(settings);
    std::string p = Trim(password);
    if (!stored.empty()) return p == stored ? PasswordGate::accepted : PasswordGate::wrongPassword;

    std::string q = Trim(confirm);
    if (p.empty() && q.empty()) return PasswordGate::notSet;
    if (q != p) return PasswordGate::notConfirmed;
    // A character above code 190 would be dropped by EncodeText, so the saved
    // password could never be matched again: the owner would be locked out.
    if (!HasEncodedForm(p)) return PasswordGate::refusedCharacters;
    // A store that cannot be written is not reported: the gate opens this
    // time and asks for a new password at the next start.
    settings.SaveSetting(kSettingsApplication, kSettingsSection, passwordKey(), EncodeText(p));
    return PasswordGate::passwordSet;
}

std::string PasswordMessage(PasswordGate gate) {
    switch (gate) {
        case PasswordGate::wrongPassword:
            return "Please Enter The Right Password";
        case PasswordGate::notSet:
            return "Please Set The Password";
        case PasswordGate::notConfirmed:
            return "Please Confirm The Passwords";
        case PasswordGate::refusedCharacters:
            return "Please Use Only Letters, Digits And Common Symbols In The Password";
        case PasswordGate::accepted:
        case PasswordGate::passwordSet:
            break;
    }
    return {};
}

}  // namespace vellumar
