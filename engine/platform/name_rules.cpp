#include "engine/platform/name_rules.h"

#include <array>

#ifdef _WIN32
#include <windows.h>
#endif

namespace vellumar {
namespace {

constexpr size_t kLongestName = 255;  // UTF-16 units

char asciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

// The part Windows reads a device from: up to the first dot, without the
// blanks before it ("con .txt" is the console too).
bool isDeviceName(std::string_view name) {
    std::string_view base = name.substr(0, name.find('.'));
    while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
    std::string upper;
    for (char c : base) upper += asciiUpper(c);
    static const std::array<std::string_view, 4> kDevices = {"CON", "PRN", "AUX", "NUL"};
    for (std::string_view device : kDevices)
        if (upper == device) return true;
    return upper.size() == 4 && (upper.starts_with("COM") || upper.starts_with("LPT")) &&
           upper[3] >= '1' && upper[3] <= '9';
}

#ifdef _WIN32
size_t utf16Units(std::string_view name) {
    if (name.empty()) return 0;
    return static_cast<size_t>(MultiByteToWideChar(CP_ACP, 0, name.data(),
                                                   static_cast<int>(name.size()), nullptr, 0));
}
#else
// A byte that is not part of a UTF-8 sequence counts as one unit, as the
// file systems that take such names store it.
size_t utf16Units(std::string_view name) {
    size_t units = 0;
    for (size_t i = 0; i < name.size();) {
        const auto lead = static_cast<unsigned char>(name[i]);
        size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        for (size_t k = 1; k < length; ++k) {
            if (i + k >= name.size() || (static_cast<unsigned char>(name[i + k]) & 0xC0) != 0x80)
                length = 1;
        }
        units += length == 4 ? 2 : 1;
        i += length;
    }
    return units;
}
#endif

}  // namespace

IoError windowsNameCheck(std::string_view name) {
    for (char c : name) {
        if (static_cast<unsigned char>(c) < 0x20) return IoError::nameNotAllowed;
        if (std::string_view("<>:\"/\\|?*").find(c) != std::string_view::npos)
            return IoError::nameNotAllowed;
    }
    if (name.empty() || name.back() == '.' || name.back() == ' ') return IoError::nameNotAllowed;
    if (isDeviceName(name)) return IoError::nameNotAllowed;
    if (utf16Units(name) > kLongestName) return IoError::nameTooLong;
    return IoError::ok;
}

std::string caseFolded(std::string_view name) {
    std::string folded(name);
    for (size_t i = 0; i < folded.size(); ++i) {
        auto byte = static_cast<unsigned char>(folded[i]);
        if (byte >= 'A' && byte <= 'Z') {
            folded[i] = static_cast<char>(byte + 32);
            continue;
        }
#ifdef _WIN32
        // Windows-1252: Š Œ Ž Ÿ, and À-Þ but for ×.
        if (byte == 0x8A || byte == 0x8C || byte == 0x8E) folded[i] = static_cast<char>(byte + 16);
        else if (byte == 0x9F) folded[i] = static_cast<char>(0xFF);
        else if (byte >= 0xC0 && byte <= 0xDE && byte != 0xD7) folded[i] = static_cast<char>(byte + 32);
#else
        if (i + 1 >= folded.size()) break;
        auto next = static_cast<unsigned char>(folded[i + 1]);
        if (byte == 0xC3 && next >= 0x80 && next <= 0x9E && next != 0x97) {
            // U+00C0-U+00DE but for U+00D7 (×)
            folded[i + 1] = static_cast<char>(next + 32);
        } else if (byte == 0xC5 && (next == 0xA0 || next == 0x92 || next == 0xBD)) {
            // Š Œ Ž
            folded[i + 1] = static_cast<char>(next + 1);
        } else if (byte == 0xC5 && next == 0xB8) {
            // Ÿ (U+0178) pairs with ÿ (U+00FF)
            folded[i] = static_cast<char>(0xC3);
            folded[i + 1] = static_cast<char>(0xBF);
        }
        if (byte >= 0xC0) ++i;  // the pair is read: its second byte is no letter of its own
#endif
    }
    return folded;
}

}  // namespace vellumar
