#include "app/password.h"

#include "engine/names.h"
#include "engine/text_shift.h"

namespace vellumar {
namespace {

std::string passwordKey() {
    return encodeText("Password");
}

}  // namespace

std::string storedPassword(SettingsStore& settings) {
    return decodeText(settings.getSetting(kSettingsApplication, kSettingsSection, passwordKey()));
}

PasswordGate checkPassword(SettingsStore& settings, const std::string& password,
                           const std::string& confirm) {
    std::string stored = storedPassword(settings);
    std::string p = trim(password);
    if (!stored.empty()) return p == stored ? PasswordGate::accepted : PasswordGate::wrongPassword;

    std::string q = trim(confirm);
    if (p.empty() && q.empty()) return PasswordGate::notSet;
    if (q != p) return PasswordGate::notConfirmed;
    // A character above code 190 would be dropped by encodeText, so the saved
    // password could never be matched again: the owner would be locked out.
    if (!hasEncodedForm(p)) return PasswordGate::refusedCharacters;
    // A store that cannot be written is not reported: the gate opens this
    // time and asks for a new password at the next start.
    settings.saveSetting(kSettingsApplication, kSettingsSection, passwordKey(), encodeText(p));
    return PasswordGate::passwordSet;
}

std::string passwordMessage(PasswordGate gate) {
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
