#pragma once
// The settings store on Windows without Qt: the same registry values that
// QSettings keeps for the window (one REG_SZ value per key under the key
// HKEY_CURRENT_USER\Software\<application>\<section>, names and texts as
// Latin-1), so both programs share the application password.

#include <string>

#include "app/settings_store.h"

namespace vellumar {

class RegistrySettingsStore final : public SettingsStore {
  public:
    // `base` is the key below HKEY_CURRENT_USER that holds the applications.
    explicit RegistrySettingsStore(std::string base = "Software") : base_(std::move(base)) {}

    std::string getSetting(const std::string& application, const std::string& section,
                           const std::string& key) override;
    bool saveSetting(const std::string& application, const std::string& section,
                     const std::string& key, const std::string& value) override;

  private:
    std::string base_;
};

}  // namespace vellumar
