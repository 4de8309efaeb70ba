#pragma once
// The settings store on Linux without Qt: the very INI file that QSettings
// keeps for the window ($XDG_CONFIG_HOME/<application>.conf, by default
// ~/.config/<application>.conf), read and written the way QSettings reads
// and writes it, so both programs share the application password. Keys and
// values are byte texts carried as Latin-1, as the window carries them.
// A rewrite holds the lock QSettings takes (cli/ini_file_lock.h).

#include <chrono>
#include <functional>
#include <string>

#include "app/settings_store.h"

namespace vellumar {

class IniSettingsStore final : public SettingsStore {
  public:
    // The program keeps a few short values; a file larger than this is not
    // one it could have made, and reading it would only keep every command busy.
    static constexpr size_t kMaxFileSize = size_t{4} << 20;
    // Long enough for any rewrite of the window's; QSettings itself waits on.
    static constexpr std::chrono::milliseconds kLockWait{10000};

    // `configFolder` holds the settings files; empty: the user's, from the
    // environment. A rewrite waits up to `lockWait` for the window's lock.
    explicit IniSettingsStore(std::string configFolder = {},
                              std::chrono::milliseconds lockWait = kLockWait);

    // Told why a file could not be read or rewritten, in words that name it.
    void onProblem(std::function<void(const std::string&)> report) { report_ = std::move(report); }

    std::string getSetting(const std::string& application, const std::string& section,
                           const std::string& key) override;
    bool saveSetting(const std::string& application, const std::string& section,
                     const std::string& key, const std::string& value) override;

    std::string settingsFilePath(const std::string& application) const;

  private:
    // The file's text, empty when there is none; false when it is there but
    // cannot be read, or is too large to (which is said).
    bool readFile(const std::string& path, std::string& content);
    void report(const std::string& problem);

    std::string configFolder_;
    std::chrono::milliseconds lockWait_;
    std::function<void(const std::string&)> report_;
};

}  // namespace vellumar
