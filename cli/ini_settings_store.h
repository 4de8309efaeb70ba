#pragma once
// The settings store on Linux without Qt: the very INI file that QSettings
// keeps for the window ($XDG_CONFIG_HOME/<application>.conf, by default
// ~/.config/<application>.conf), read and written the way QSettings reads
// and writes it, so both programs share the application password. Keys and
// values are byte texts carried as Latin-1, as the window carries them.

#include <string>

#include "app/settings_store.h"

namespace vellumar {

class IniSettingsStore final : public SettingsStore {
  public:
    // `configFolder` holds the settings files; empty: the user's, from the environment.
    explicit IniSettingsStore(std::string configFolder = {});

    std::string getSetting(const std::string& application, const std::string& section,
                           const std::string& key) override;
    bool saveSetting(const std::string& application, const std::string& section,
                     const std::string& key, const std::string& value) override;

    std::string settingsFilePath(const std::string& application) const;

  private:
    std::string configFolder_;
};

}  // namespace vellumar
