#include "app/seal_choice.h"

#include "app/password.h"
#include "engine/sealing/sealed_identity.h"

namespace vellumar {

const std::string kTurnOnSealingText =
    "Sealing encrypts your files with a key that only your password opens, so that nobody "
    "can read them without it.\r\n\r\n"
    "From now on your password is kept nowhere: it is checked by opening that key. This "
    "cannot be undone.\r\n\r\n"
    "Turn on sealing?";

namespace {

const std::string kSealSettingKey = "Seal";

std::string notStartedText(const AgeResult& result) {
    const std::string cause = describeCause(result);
    return "Sealing could not be turned on: the key " + identityFilePath() +
           " could not be made (" + cause + ").\r\nNothing was changed.";
}

// Turns sealing on for this session, asking first; false when it stays off.
bool turnOnSealing(WindowModel& model, Desktop& desktop, SettingsStore& settings) {
    if (!desktop.ask(kTurnOnSealingText, Icon::exclamation, kSealingTitle)) return false;
    const SealingStartResult start =
        startSealing(settings, model.sessionKeys.password.view(), model.sessionKeys);
    if (start.start == SealingStart::notStarted) {
        desktop.message(notStartedText(start.age), Icon::critical, kSealingTitle);
        return false;
    }
    if (start.start != SealingStart::wasOn)
        desktop.message(recoveryKeyText(identityText(model.sessionKeys.identities.front()),
                                        start.start == SealingStart::passwordKept),
                        Icon::information, kRecoveryKeyTitle);
    return true;
}

}  // namespace

std::string recoveryKeyText(const std::string& key, bool passwordKept) {
    std::string text =
        "Sealing is on. This is your recovery key:\r\n\r\n" + key +
        "\r\nKeep a copy somewhere safe, away from this computer (on paper, or in a password "
        "manager): if you forget your password, it is the only way to open your sealed "
        "files. Anyone who has it can open them. It is shown only this once; tessarin-cli "
        "export-recovery-key shows it again after the password.";
    // The question promised the password would be kept nowhere.
    if (passwordKept)
        text +=
            "\r\n\r\nThe old form of your password could not be removed from the "
            "settings yet; it is removed the next time the password is checked.";
    return text;
}

void showSealChoice(WindowModel& model, SettingsStore& settings, Option option) {
    model.sealVisible = option == Option::OptEncFiles || option == Option::OptEncFolder;
    model.sealChecked =
        model.sealVisible && model.sessionKeys.canUnseal() &&
        settings.getSetting(kSettingsApplication, kSettingsSection, kSealSettingKey) == "1";
}

void chooseSealing(WindowModel& model, Desktop& desktop, SettingsStore& settings, bool checked) {
    if (checked && !model.sessionKeys.canUnseal() && !turnOnSealing(model, desktop, settings))
        checked = false;
    model.sealChecked = checked;
    settings.saveSetting(kSettingsApplication, kSettingsSection, kSealSettingKey,
                         checked ? "1" : "0");
    model.changed();
}

}  // namespace vellumar
