#pragma once
// The per-user settings store: text values addressed by application, section
// and key. The desktop program keeps them with QSettings; tests use a map.

#include <string>

namespace vellumar {

// Both programs share one store under this application name.
inline const std::string kSettingsApplication = "Tessarin";
inline const std::string kSettingsSection = "Settings";

class SettingsStore {
  public:
    virtual ~SettingsStore() = default;
    // The stored text; empty when the key is absent or cannot be read.
    virtual std::string getSetting(const std::string& application, const std::string& section,
                                   const std::string& key) = 0;
    // Creates or replaces the value; false when it could not be kept.
    virtual bool saveSetting(const std::string& application, const std::string& section,
                             const std::string& key, const std::string& value) = 0;
    // Whether the last read found the store there but could not read it, so
    // that its empty answers say nothing about what is stored.
    virtual bool lastReadFailed() const { return false; }
};

}  // namespace vellumar
