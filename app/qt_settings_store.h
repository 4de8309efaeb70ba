#pragma once
// The settings store on QSettings, per user, without an organisation. Keys
// and values are byte texts carried as Latin-1, so every code 0..255 (the
// shifted password uses 97..255) comes back exactly.

#include "app/settings_store.h"

namespace vellumar {

class QtSettingsStore final : public SettingsStore {
  public:
    std::string getSetting(const std::string& application, const std::string& section,
                           const std::string& key) override;
    bool saveSetting(const std::string& application, const std::string& section,
                     const std::string& key, const std::string& value) override;
};

}  // namespace vellumar
