#include "app/password.h"

#include "engine/platform/file_system.h"
#include "engine/platform/paths.h"
#include "engine/formats/text_shift.h"
#include "locking/sealing_keys.h"

namespace vellumar {
namespace {

std::string passwordKey() {
    return encodeText("Password");
}

// Set once sealing has started, so that an identity file that went missing
// is not taken for a first use, which would let anyone set a new password.
const std::string kSealingKey = "Sealing";

bool sealingStarted(SettingsStore& settings) {
    return sealingIsOn() ||
           settings.getSetting(kSettingsApplication, kSettingsSection, kSealingKey) == "on";
}

}  // namespace

static PasswordGate checkShiftedPassword(SettingsStore& settings, const std::string& p,
                                  const std::string& confirm);

// With sealing on the shifted password is of no use, and readable by anyone
// who can read the store.
static bool forgetShiftedPassword(SettingsStore& settings) {
    return storedPassword(settings).empty() ||
           settings.saveSetting(kSettingsApplication, kSettingsSection, passwordKey(), "");
}

std::string storedPassword(SettingsStore& settings) {
    return decodeText(settings.getSetting(kSettingsApplication, kSettingsSection, passwordKey()));
}

bool passwordIsSet(SettingsStore& settings) {
    return !storedPassword(settings).empty() || sealingStarted(settings);
}

PasswordGate checkPassword(SettingsStore& settings, const std::string& password,
                           const std::string& confirm, SealingKeys* keys) {
    std::string p = trim(password);
    if (sealingStarted(settings)) {
        SealingKeys opened;
        const PasswordGate gate = openKeyFile(p, opened);
        if (gate == PasswordGate::accepted && keys) *keys = opened;
        keyFileOpened(settings, gate);
        return gate;
    }
    // The password opens the copies of the identity that sealed folders
    // carry, even where sealing is not on (a folder brought from elsewhere).
    if (keys) keys->password.clear();
    const PasswordGate gate = checkShiftedPassword(settings, p, confirm);
    if (keys && (gate == PasswordGate::accepted || gate == PasswordGate::passwordSet))
        keys->password = p;
    return gate;
}

bool gateOpensKeyFile(SettingsStore& settings) {
    return sealingStarted(settings);
}

PasswordGate openKeyFile(const std::string& password, SealingKeys& keys) {
    const std::string p = trim(password);
    FileStatus status;
    if (fileSystem().status(identityFilePath(), status) == IoError::notFound)
        return PasswordGate::keyMissing;
    // No key is ever kept under an empty password (nor can the library take one).
    if (p.empty()) return PasswordGate::wrongPassword;
    SealingKeys opened;
    const AgeResult result = openSealingKeys(p, opened);
    if (result.error == AgeError::wrongPassword) return PasswordGate::wrongPassword;
    // Not the file's fault: it must not be taken for damaged and replaced.
    if (result.error == AgeError::library) return PasswordGate::libraryFailed;
    if (!result.ok()) return PasswordGate::keyUnreadable;
    keys = opened;
    return PasswordGate::accepted;
}

void keyFileOpened(SettingsStore& settings, PasswordGate gate) {
    // A store that could not be cleared when sealing started is cleared now.
    if (gate == PasswordGate::accepted) forgetShiftedPassword(settings);
}

static PasswordGate checkShiftedPassword(SettingsStore& settings, const std::string& p,
                                  const std::string& confirm) {
    std::string stored = storedPassword(settings);
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
        case PasswordGate::keyUnreadable:
            return "The Password Can Not Be Checked: The Key File " + identityFilePath() +
                   " Can Not Be Read Or Is Damaged";
        case PasswordGate::keyMissing:
            return "The Password Can Not Be Checked: The Key File " + identityFilePath() +
                   " Is Missing. Restore It With The Recovery Key.";
        case PasswordGate::libraryFailed:
            return "The Password Can Not Be Checked: The Cryptographic Library Failed";
        case PasswordGate::accepted:
        case PasswordGate::passwordSet:
            break;
    }
    return {};
}

bool recordSealingStarted(SettingsStore& settings) {
    settings.saveSetting(kSettingsApplication, kSettingsSection, kSealingKey, "on");
    return forgetShiftedPassword(settings);
}

bool saveShiftedPassword(SettingsStore& settings, const std::string& password) {
    settings.saveSetting(kSettingsApplication, kSettingsSection, passwordKey(),
                         encodeText(password));
    return storedPassword(settings) == password;
}

SealingStartResult startSealing(SettingsStore& settings, std::string_view password,
                                SealingKeys& keys) {
    SealingStartResult result;
    const bool wasOn = sealingIsOn();
    // The gate keeps the password trimmed already.
    result.age = turnOnSealing(password, keys);
    if (!result.age.ok()) return result;
    const bool forgotten = recordSealingStarted(settings);
    result.start = wasOn ? SealingStart::wasOn
                   : forgotten ? SealingStart::started
                               : SealingStart::passwordKept;
    return result;
}

}  // namespace vellumar
