#pragma once
// A settings store in memory, for tests.

#include <map>
#include <string>
#include <tuple>

#include "app/settings_store.h"

namespace vellumar::test {

class MemorySettings final : public SettingsStore {
  public:
    using Address = std::tuple<std::string, std::string, std::string>;

    std::string getSetting(const std::string& application, const std::string& section,
                           const std::string& key) override {
        auto it = values.find({application, section, key});
        return it == values.end() ? std::string() : it->second;
    }
    bool saveSetting(const std::string& application, const std::string& section,
                     const std::string& key, const std::string& value) override {
        if (readOnly) return false;
        values[{application, section, key}] = value;
        return true;
    }

    std::map<Address, std::string> values;
    bool readOnly = false;  // every save fails and keeps nothing
};

}  // namespace vellumar::test
