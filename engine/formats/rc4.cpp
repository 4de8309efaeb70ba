#include "engine/formats/rc4.h"

#include <array>
#include <cstdint>
#include <utility>

namespace vellumar {

void rc4Crypt(char* data, size_t size, const std::string& key) {
    std::array<uint8_t, 256> s;
    for (int i = 0; i < 256; ++i) s[i] = static_cast<uint8_t>(i);
    if (!key.empty()) {
        uint8_t j = 0;
        for (size_t i = 0; i < 256; ++i) {
            j = static_cast<uint8_t>(j + s[i] + static_cast<uint8_t>(key[i % key.size()]));
            std::swap(s[i], s[j]);
        }
    }
    uint8_t i = 0, j = 0;
    for (size_t n = 0; n < size; ++n) {
        i = static_cast<uint8_t>(i + 1);
        j = static_cast<uint8_t>(j + s[i]);
        std::swap(s[i], s[j]);
        data[n] =
            static_cast<char>(static_cast<uint8_t>(data[n]) ^ s[static_cast<uint8_t>(s[i] + s[j])]);
    }
}

std::string rc4Crypt(std::string text, const std::string& key) {
    rc4Crypt(text.data(), text.size(), key);
    return text;
}

}  // namespace vellumar
