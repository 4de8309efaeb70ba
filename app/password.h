#pragma once
// The application password: set once by typing it twice, then asked for at
// every start. Kept in the settings store with key and value in encodeText
// form, so the plain word "Password" never appears there.

#include <string>

#include "app/settings_store.h"

namespace vellumar {

enum class PasswordGate {
    accepted,           // the typed password matches the stored one
    passwordSet,        // first use: both fields agreed and the password was saved
    wrongPassword,      // a password is set and the typed one differs
    notSet,             // first use with both fields blank
    notConfirmed,       // first use with fields that differ
    refusedCharacters,  // first use with a character that has no encoded form
};

// The stored password in plain form; empty when none is set.
std::string storedPassword(SettingsStore& settings);

// Checks the typed password against the store, or on first use sets it.
// Blanks around either text do not count.
PasswordGate checkPassword(SettingsStore& settings, const std::string& password,
                           const std::string& confirm);

// The message for a refused attempt; empty for accepted and passwordSet.
std::string passwordMessage(PasswordGate gate);

}  // namespace vellumar
