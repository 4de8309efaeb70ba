#pragma once
// The application password: set once by typing it twice, then asked for at
// every start. Kept in the settings store with key and value in encodeText
// form, so the plain word "Password" never appears there. Once sealing is
// on, it is kept nowhere: it is checked by opening the identity file, and
// any characters work.

#include <string>

#include "app/settings_store.h"
#include "engine/sealing/age_format.h"

namespace vellumar {

enum class PasswordGate {
    accepted,           // the typed password matches the stored one
    passwordSet,        // first use: both fields agreed and the password was saved
    wrongPassword,      // a password is set and the typed one differs
    notSet,             // first use with both fields blank
    notConfirmed,       // first use with fields that differ
    refusedCharacters,  // first use with a character that has no encoded form
    keyUnreadable,      // sealing is on and its identity file could not be read, or is damaged
    keyMissing,         // sealing is on and its identity file is gone: the recovery key restores it
    libraryFailed,      // the cryptographic library failed while opening the identity file
};

struct SealingKeys;

// The stored password in plain form; empty when none is set.
std::string storedPassword(SettingsStore& settings);

// Whether a password is set: the shifted one is stored, or sealing is on.
bool passwordIsSet(SettingsStore& settings);

// Checks the typed password against the store, or on first use sets it.
// Blanks around either text do not count. With sealing on the identity file
// is opened instead, and `keys` (when given) gets the identity and the password.
PasswordGate checkPassword(SettingsStore& settings, const std::string& password,
                           const std::string& confirm, SealingKeys* keys = nullptr);

// The gate's two halves, for a front end that opens the key file off its
// own thread. Whether the typed password is checked by opening the key file
// (sealing started); then openKeyFile does that, with the settings store
// untouched, and keyFileOpened finishes on the front end's thread.
bool gateOpensKeyFile(SettingsStore& settings);
PasswordGate openKeyFile(const std::string& password, SealingKeys& keys);
void keyFileOpened(SettingsStore& settings, PasswordGate gate);

enum class SealingStart {
    started,        // the identity was made; the shifted password is gone from the store
    wasOn,          // sealing was on already: its identity was opened
    notStarted,     // the identity file could not be made or opened: see `age`
    passwordKept,   // started, but the store still holds the shifted password (it
                    // could not be written); it is tried again at the next start
};
struct SealingStartResult {
    SealingStart start = SealingStart::notStarted;
    AgeResult age;
};

// Turns sealing on with the password the gate accepted: the identity file
// is made, and only once it opens with the password is the shifted password
// removed from the store. This cannot be undone.
SealingStartResult startSealing(SettingsStore& settings, std::string_view password,
                                SealingKeys& keys);

// Records that sealing has started and forgets the shifted password; false
// when the store still holds it.
bool recordSealingStarted(SettingsStore& settings);
// Stores `password` (trimmed, with an encoded form) as the shifted password
// and reads it back; false when the store did not take it.
bool saveShiftedPassword(SettingsStore& settings, const std::string& password);

// The message for a refused attempt; empty for accepted and passwordSet.
std::string passwordMessage(PasswordGate gate);

}  // namespace vellumar
