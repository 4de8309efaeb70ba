#include "cli/registry_settings_store.h"

#include <windows.h>

#include <string>

namespace vellumar {
namespace {

// Every byte is one Latin-1 character, as QSettings receives the texts.
std::wstring wide(const std::string& text) {
    std::wstring result;
    for (unsigned char c : text) result += static_cast<wchar_t>(c);
    return result;
}

std::string narrow(const std::wstring& text) {
    std::string result;
    for (wchar_t c : text) result += c <= 0xFF ? static_cast<char>(c) : '?';
    return result;
}

std::wstring keyPath(const std::string& base, const std::string& application,
                     const std::string& section) {
    return wide(base + "\\" + application + "\\" + section);
}

}  // namespace

std::string RegistrySettingsStore::getSetting(const std::string& application,
                                              const std::string& section, const std::string& key) {
    HKEY handle = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, keyPath(base_, application, section).c_str(), 0,
                      KEY_QUERY_VALUE, &handle) != ERROR_SUCCESS)
        return {};
    const std::wstring name = wide(key);
    std::wstring value;
    DWORD type = 0, size = 0;
    LONG status = RegQueryValueExW(handle, name.c_str(), nullptr, &type, nullptr, &size);
    if (status == ERROR_SUCCESS && type == REG_SZ) {
        value.resize(size / sizeof(wchar_t) + 1);
        size = static_cast<DWORD>(value.size() * sizeof(wchar_t));
        status = RegQueryValueExW(handle, name.c_str(), nullptr, &type,
                                  reinterpret_cast<BYTE*>(value.data()), &size);
        value.resize(status == ERROR_SUCCESS ? size / sizeof(wchar_t) : 0);
        while (!value.empty() && value.back() == L'\0') value.pop_back();
    }
    RegCloseKey(handle);
    return narrow(value);
}

// No lock as with the INI file: a save sets one value, which the registry
// replaces whole, and reads or rewrites no other; QSettings on Windows
// likewise writes each value on its own.
bool RegistrySettingsStore::saveSetting(const std::string& application, const std::string& section,
                                        const std::string& key, const std::string& value) {
    HKEY handle = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, keyPath(base_, application, section).c_str(), 0, nullptr,
                        0, KEY_SET_VALUE, nullptr, &handle, nullptr) != ERROR_SUCCESS)
        return false;
    const std::wstring data = wide(value);
    const LONG status = RegSetValueExW(handle, wide(key).c_str(), 0, REG_SZ,
                                       reinterpret_cast<const BYTE*>(data.c_str()),
                                       static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(handle);
    return status == ERROR_SUCCESS;
}

}  // namespace vellumar
