// The registry settings store under Wine: every byte of key and value comes
// back, in the place QSettings keeps them.

#include "cli/registry_settings_store.h"

#include <gtest/gtest.h>
#include <windows.h>

namespace vellumar {
namespace {

TEST(RegistrySettingsStore, KeepsEveryByteWhereQSettingsKeepsIt) {
    const std::string base = "Software\\VellumarTests";
    RegDeleteTreeA(HKEY_CURRENT_USER, base.c_str());
    std::string value;
    for (int c = 1; c <= 255; ++c) value += static_cast<char>(c);
    const std::string key = "\x91\xA2\xB4\xB4\xB8\xB0\xB3\xA5";  // encodeText("Password")
    {
        RegistrySettingsStore store(base);
        EXPECT_EQ(store.getSetting("Tessarin", "Settings", key), "");
        ASSERT_TRUE(store.saveSetting("Tessarin", "Settings", key, value));
    }
    RegistrySettingsStore store(base);
    EXPECT_EQ(store.getSetting("Tessarin", "Settings", key), value);

    // A REG_SZ of UTF-16 characters under HKCU\<base>\Tessarin\Settings.
    wchar_t stored[300] = {};
    DWORD size = sizeof stored, type = 0;
    std::wstring name;
    for (unsigned char c : key) name += static_cast<wchar_t>(c);
    ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, L"Software\\VellumarTests\\Tessarin\\Settings",
                           name.c_str(), RRF_RT_ANY, &type, stored, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(stored[0], L'\x01');
    EXPECT_EQ(stored[254], L'\xFF');
    RegDeleteTreeA(HKEY_CURRENT_USER, base.c_str());
}

}  // namespace
}  // namespace vellumar
