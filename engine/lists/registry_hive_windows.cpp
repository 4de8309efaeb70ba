// The registry half of the locked-items store, through advapi32.
#ifdef _WIN32

#include <windows.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <string>
#include <utility>

#include "engine/platform/paths.h"
#include "engine/lists/registry_hive.h"
#include "engine/lists/registry_store.h"

namespace vellumar {
namespace {

HKEY hiveOf(const std::string& root) {
    std::string upper = toUpper(root);
    if (upper == "HKCU") return HKEY_CURRENT_USER;
    if (upper == "HKLM") return HKEY_LOCAL_MACHINE;
    if (upper == "HKU") return HKEY_USERS;
    if (upper == "HKDD") return HKEY_DYN_DATA;
    if (upper == "HKCC") return HKEY_CURRENT_CONFIG;
    if (upper == "HKCR") return HKEY_CLASSES_ROOT;
    return nullptr;
}

// Closes an opened key on every way out.
struct OpenKey {
    HKEY key = nullptr;
    ~OpenKey() {
        if (key) RegCloseKey(key);
    }
};

// A value text as the runtime converts it to a number: "True" is -1, "False"
// is 0, otherwise a decimal number with blanks around it.
bool toNumber(const std::string& text, double& out) {
    std::string trimmed = trim(text);
    std::string upper = toUpper(trimmed);
    if (upper == "TRUE" || upper == "FALSE") {
        out = upper == "TRUE" ? -1 : 0;
        return true;
    }
    if (trimmed.empty() || trimmed.find('\0') != std::string::npos) return false;
    char* end = nullptr;
    out = std::strtod(trimmed.c_str(), &end);
    return end == trimmed.c_str() + trimmed.size() && std::isfinite(out);
}

// The bytes and registry type a value is stored as. False when the value
// does not convert to the kind (or the kind is unknown): nothing is written.
bool encode(const std::string& kind, const std::string& value, DWORD& type, std::string& data) {
    std::string upper = toUpper(kind);
    if (upper == "S") {
        type = REG_SZ;
        data = value;
        data.push_back('\0');  // the terminating NUL is part of the size
        return data.size() <= MAXDWORD;
    }
    double number = 0;
    if (upper == "B") {
        if (!toNumber(value, number)) return false;
        int16_t flag = number != 0 ? -1 : 0;
        type = REG_BINARY;
        data.assign(reinterpret_cast<const char*>(&flag), sizeof flag);
        return true;
    }
    if (upper == "D") {
        // A 16-bit integer, rounded half to even, sign-extended to 32 bits.
        if (!toNumber(value, number)) return false;
        number = std::nearbyint(number);
        if (number < INT16_MIN || number > INT16_MAX) return false;
        int32_t word = static_cast<int16_t>(number);
        type = REG_DWORD;
        data.assign(reinterpret_cast<const char*>(&word), sizeof word);
        return true;
    }
    return false;
}

// A text value: ask for its size with an empty buffer, then read it whole.
LONG readText(HKEY key, const std::string& name, std::string& result) {
    char none = 0;
    DWORD size = 0;
    LONG status = RegQueryValueExA(key, name.c_str(), nullptr, nullptr,
                                   reinterpret_cast<BYTE*>(&none), &size);
    if (status == ERROR_SUCCESS) {
        result.clear();
        return status;
    }
    if (status != ERROR_MORE_DATA) return status;
    std::string buffer;
    try {
        buffer.assign(size, '\0');
    } catch (const std::bad_alloc&) {
        return status;
    }
    status = RegQueryValueExA(key, name.c_str(), nullptr, nullptr,
                              reinterpret_cast<BYTE*>(buffer.data()), &size);
    if (status != ERROR_SUCCESS) return status;
    buffer.resize(size);
    if (!buffer.empty() && buffer.back() == '\0') buffer.pop_back();
    result.swap(buffer);
    return status;
}

// A value of fixed size; a value of another size is not read.
template <typename T>
LONG readFixed(HKEY key, const std::string& name, T& out) {
    T value{};
    DWORD size = sizeof value;
    LONG status = RegQueryValueExA(key, name.c_str(), nullptr, nullptr,
                                   reinterpret_cast<BYTE*>(&value), &size);
    if (status == ERROR_SUCCESS && size != sizeof value) return ERROR_INVALID_DATA;
    if (status == ERROR_SUCCESS) out = value;
    return status;
}

}  // namespace

int writeHiveValue(const std::string& root, const std::string& subkey, const std::string& name,
                   const std::string& kind, const std::string& value) {
    HKEY hive = hiveOf(root);
    DWORD type = REG_NONE;
    std::string data;
    try {
        if (!hive || !encode(kind, value, type, data)) return kNoStore;
    } catch (const std::bad_alloc&) {
        return kNoStore;
    }
    OpenKey opened;
    LONG status =
        RegCreateKeyExA(hive, subkey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_SET_VALUE | KEY_CREATE_SUB_KEY, nullptr, &opened.key, nullptr);
    if (status != ERROR_SUCCESS) {
        opened.key = nullptr;
        return static_cast<int>(status);
    }
    status =
        RegSetValueExA(opened.key, name.c_str(), 0, type,
                       reinterpret_cast<const BYTE*>(data.data()), static_cast<DWORD>(data.size()));
    return static_cast<int>(status);
}

int readHiveValue(const std::string& root, const std::string& subkey, const std::string& name,
                  const std::string& kind, const std::string& fallback, std::string& result) {
    result = fallback;
    HKEY hive = hiveOf(root);
    if (!hive) return kNoStore;
    OpenKey opened;
    LONG status = RegOpenKeyExA(hive, subkey.c_str(), 0, KEY_QUERY_VALUE, &opened.key);
    if (status != ERROR_SUCCESS) {
        opened.key = nullptr;
        return static_cast<int>(status);
    }
    try {
        std::string upper = toUpper(kind);
        if (upper == "S") {
            std::string text;
            status = readText(opened.key, name, text);
            if (status == ERROR_SUCCESS) result = std::move(text);
        } else if (upper == "B") {
            int16_t flag = 0;
            status = readFixed(opened.key, name, flag);
            if (status == ERROR_SUCCESS) result = flag != 0 ? "True" : "False";
        } else if (upper == "D") {
            int32_t number = 0;
            status = readFixed(opened.key, name, number);
            if (status == ERROR_SUCCESS) result = std::to_string(number);
        }
    } catch (const std::bad_alloc&) {
        // The last status stands, and so does the default.
    }
    return static_cast<int>(status);
}

int deleteHiveValue(const std::string& root, const std::string& subkey, const std::string& name) {
    HKEY hive = hiveOf(root);
    if (!hive) return kNoStore;
    OpenKey opened;
    LONG status = RegOpenKeyExA(hive, subkey.c_str(), 0, KEY_SET_VALUE, &opened.key);
    if (status == ERROR_SUCCESS)
        status = RegDeleteValueA(opened.key, name.c_str());
    else
        opened.key = nullptr;
    // What does not exist is as good as deleted.
    return status == ERROR_FILE_NOT_FOUND ? 0 : static_cast<int>(status);
}

}  // namespace vellumar

#endif
