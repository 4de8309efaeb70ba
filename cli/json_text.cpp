#include "cli/json_text.h"

#include <cstdint>
#include <cstdio>

#include "engine/sealing/age_encoding.h"

namespace vellumar {
namespace {

// The length of the valid UTF-8 sequence at `at`, 0 when there is none:
// overlong forms, surrogates and code points above U+10FFFF are invalid,
// as strict JSON readers take them to be.
size_t validSequenceAt(const std::string& text, size_t at) {
    const unsigned char lead = static_cast<unsigned char>(text[at]);
    if (lead < 0x80) return 1;
    size_t length = 0;
    uint32_t code = 0, least = 0;
    if ((lead >> 5) == 6) {
        length = 2, code = lead & 0x1F, least = 0x80;
    } else if ((lead >> 4) == 14) {
        length = 3, code = lead & 0x0F, least = 0x800;
    } else if ((lead >> 3) == 30) {
        length = 4, code = lead & 0x07, least = 0x10000;
    } else {
        return 0;
    }
    if (at + length > text.size()) return 0;
    for (size_t k = 1; k < length; ++k) {
        const unsigned char next = static_cast<unsigned char>(text[at + k]);
        if ((next & 0xC0) != 0x80) return 0;
        code = (code << 6) | (next & 0x3F);
    }
    if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
    return length;
}

bool isValidUtf8(const std::string& text) {
    for (size_t at = 0; at < text.size();) {
        const size_t length = validSequenceAt(text, at);
        if (length == 0) return false;
        at += length;
    }
    return true;
}

std::string paddedBase64(const std::string& bytes) {
    std::string out = encodeBase64(bytes);
    out.append((4 - out.size() % 4) % 4, '=');
    return out;
}

}  // namespace

std::string jsonText(const std::string& text) {
    std::string out = "\"";
    for (size_t at = 0; at < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[at]);
        const size_t length = validSequenceAt(text, at);
        if (length == 0) {
            out += "\xEF\xBF\xBD";
            ++at;
            continue;
        }
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out.append(text, at, length);
        }
        at += length;
    }
    return out + "\"";
}

std::string jsonPathFields(const std::string& key, const std::string& path) {
    std::string out = "\"" + key + "\":" + jsonText(path);
    if (!isValidUtf8(path)) out += ",\"" + key + "_bytes\":\"" + paddedBase64(path) + "\"";
    return out;
}

}  // namespace vellumar
