#pragma once
// The check box "Seal with the password (strong encryption)" on the target
// pages of the two encrypt operations: remembered between runs, off until
// the person turns it on. Turning it on the first time turns sealing on,
// after a question that says it cannot be undone, and shows the recovery
// key once.

#include <string>

#include "app/settings_store.h"
#include "app/window_model.h"
#include "engine/runs/desktop.h"

namespace vellumar {

inline const std::string kSealCaption = "Seal with the password (strong encryption)";
inline const std::string kSealingTitle = "Seal with the password";
inline const std::string kRecoveryKeyTitle = "Your recovery key";
extern const std::string kTurnOnSealingText;

// The box as the target page of `option` shows it: on only when the person
// left it on and sealing can be used this session.
void showSealChoice(WindowModel& model, SettingsStore& settings, Option option);

// The person clicked the box. Turning it on may turn sealing on first; a
// No, or a failure (said), leaves it off. Remembered either way.
void chooseSealing(WindowModel& model, Desktop& desktop, SettingsStore& settings, bool checked);

// The text that shows the recovery key; `passwordKept` when the settings
// still hold the old form of the password.
std::string recoveryKeyText(const std::string& key, bool passwordKept = false);

}  // namespace vellumar
