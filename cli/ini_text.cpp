#include "cli/ini_text.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace vellumar {
namespace {

constexpr char kUpperHex[] = "0123456789ABCDEF";
constexpr char kLowerHex[] = "0123456789abcdef";
constexpr uint32_t kReplacement = 0xFFFD;

int hexValue(unsigned char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

// One character of UTF-8 at `at`; a byte that starts no valid sequence
// stands for the replacement character, as Qt reads it.
uint32_t decodeUtf8(std::string_view text, size_t& at) {
    const unsigned char lead = static_cast<unsigned char>(text[at++]);
    if (lead < 0x80) return lead;
    int length = lead >= 0xF0 && lead <= 0xF4 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
    if (lead >= 0xF5 || length == 0) return kReplacement;
    uint32_t code = lead & (0x7F >> length);
    for (int i = 1; i < length; ++i) {
        if (at >= text.size()) return kReplacement;
        const unsigned char next = static_cast<unsigned char>(text[at]);
        if ((next & 0xC0) != 0x80) return kReplacement;
        code = code << 6 | (next & 0x3F);
        ++at;
    }
    const uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < least[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return kReplacement;
    return code;
}

// Latin-1 keeps codes up to 255; any other character becomes '?', as in
// QString::toLatin1.
std::string latin1(const std::vector<uint32_t>& codes) {
    std::string text;
    text.reserve(codes.size());
    for (uint32_t code : codes) text += code <= 0xFF ? static_cast<char>(code) : '?';
    return text;
}

std::string latin1FromUtf8(std::string_view bytes) {
    std::vector<uint32_t> codes;
    for (size_t at = 0; at < bytes.size();) codes.push_back(decodeUtf8(bytes, at));
    return latin1(codes);
}

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// QSettings marks texts that are not plain strings with '@'; a plain text
// that starts with '@' carries a second one.
std::string fromVariantText(const std::string& text) {
    if (text.empty() || text[0] != '@') return text;
    if (startsWith(text, "@@")) return text.substr(1);
    if (text.back() == ')') {
        if (startsWith(text, "@String(")) return text.substr(8, text.size() - 9);
        if (startsWith(text, "@ByteArray("))  // read back as UTF-8
            return latin1FromUtf8(std::string_view(text).substr(11, text.size() - 12));
        if (text.find('(') != std::string::npos) return {};  // another type: no text
    }
    return text;
}

}  // namespace

// Letters, digits, '_', '-' and '.' stand as they are, '/' (a group's
// separator) as '\', every other byte as %XX.
std::string escapedIniKey(const std::string& key) {
    std::string text;
    for (unsigned char c : key) {
        if (c == '/') {
            text += '\\';
        } else if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                   c == '_' || c == '-' || c == '.') {
            text += static_cast<char>(c);
        } else {
            text += '%';
            text += kUpperHex[c >> 4];
            text += kUpperHex[c & 15];
        }
    }
    return text;
}

std::string unescapedIniKey(const std::string& text) {
    std::vector<uint32_t> codes;
    for (size_t at = 0; at < text.size();) {
        const char c = text[at];
        if (c == '\\') {
            codes.push_back('/');
            ++at;
        } else if (c == '%' && at + 2 < text.size() && hexValue(text[at + 1]) >= 0 &&
                   hexValue(text[at + 2]) >= 0) {
            codes.push_back(
                static_cast<uint32_t>(hexValue(text[at + 1]) * 16 + hexValue(text[at + 2])));
            at += 3;
        } else if (c == '%' && at + 5 < text.size() && text[at + 1] == 'U' &&
                   hexValue(text[at + 2]) >= 0 && hexValue(text[at + 3]) >= 0 &&
                   hexValue(text[at + 4]) >= 0 && hexValue(text[at + 5]) >= 0) {
            uint32_t code = 0;
            for (int i = 2; i <= 5; ++i)
                code = code * 16 + static_cast<uint32_t>(hexValue(text[at + i]));
            codes.push_back(code);
            at += 6;
        } else {
            codes.push_back(decodeUtf8(text, at));
        }
    }
    return latin1(codes);
}

// As QSettings writes a text: control characters escaped (\x in lower-case
// hex, and a hex digit right after one escaped too, so that it reads back
// apart), '"' and '\' escaped, every other character in UTF-8; in quotes
// when it holds ';', ',' or '=' or starts or ends with a space.
std::string escapedIniValue(const std::string& value) {
    std::string text;
    bool quotes = false;
    bool escapeHexDigit = false;
    // A text holding NUL goes in @String(...); one starting with '@' gets a
    // second '@'.
    const std::string source = value.find('\0') != std::string::npos ? "@String(" + value + ")"
                               : !value.empty() && value[0] == '@'   ? "@" + value
                                                                     : value;
    for (unsigned char c : source) {
        if (c == ';' || c == ',' || c == '=') quotes = true;
        if (escapeHexDigit && hexValue(c) >= 0) {
            text += "\\x";
            text += kLowerHex[c >> 4];
            text += kLowerHex[c & 15];
            continue;
        }
        escapeHexDigit = false;
        switch (c) {
            case '\0':
                text += "\\0";
                escapeHexDigit = true;
                break;
            case '\a':
                text += "\\a";
                break;
            case '\b':
                text += "\\b";
                break;
            case '\f':
                text += "\\f";
                break;
            case '\n':
                text += "\\n";
                break;
            case '\r':
                text += "\\r";
                break;
            case '\t':
                text += "\\t";
                break;
            case '\v':
                text += "\\v";
                break;
            case '"':
                text += "\\\"";
                break;
            case '\\':
                text += "\\\\";
                break;
            default:
                if (c < 0x20) {
                    text += "\\x";
                    if (c >= 16) text += kLowerHex[c >> 4];
                    text += kLowerHex[c & 15];
                    escapeHexDigit = true;
                } else if (c < 0x80) {
                    text += static_cast<char>(c);
                } else {
                    text += static_cast<char>(0xC0 | c >> 6);
                    text += static_cast<char>(0x80 | (c & 0x3F));
                }
        }
    }
    if (quotes || (!text.empty() && (text.front() == ' ' || text.back() == ' ')))
        text = '"' + text + '"';
    return text;
}

// As QSettings reads it: blanks around it dropped, quotes keep what they
// hold, ';' outside quotes starts a comment, and a ',' outside quotes makes
// a list, which has no text.
std::string unescapedIniValue(const std::string& text) {
    std::vector<uint32_t> codes;
    size_t kept = 0;  // blanks after the last character that counts are dropped
    bool inQuotes = false;
    size_t at = 0;
    while (at < text.size() && isBlank(text[at])) ++at;
    while (at < text.size()) {
        const char c = text[at];
        if (c == '"') {
            inQuotes = !inQuotes;
            ++at;
            kept = codes.size();
            if (!inQuotes) {  // blanks right after a closing quote count for nothing
                while (at < text.size() && isBlank(text[at])) ++at;
            }
        } else if (c == '\\') {
            if (++at >= text.size()) break;
            const char e = text[at++];
            switch (e) {
                case 'a':
                    codes.push_back('\a');
                    break;
                case 'b':
                    codes.push_back('\b');
                    break;
                case 'f':
                    codes.push_back('\f');
                    break;
                case 'n':
                    codes.push_back('\n');
                    break;
                case 'r':
                    codes.push_back('\r');
                    break;
                case 't':
                    codes.push_back('\t');
                    break;
                case 'v':
                    codes.push_back('\v');
                    break;
                case '"':
                case '\'':
                case '?':
                case '\\':
                    codes.push_back(static_cast<unsigned char>(e));
                    break;
                case 'x': {
                    uint32_t code = 0;
                    for (; at < text.size() && hexValue(text[at]) >= 0; ++at)
                        code = code > 0x10FFFF
                                   ? code
                                   : code * 16 + static_cast<uint32_t>(hexValue(text[at]));
                    codes.push_back(code);
                    break;
                }
                case '\n':
                case '\r':  // an escaped line end joins the next line
                    if (e == '\r' && at < text.size() && text[at] == '\n') ++at;
                    break;
                default:
                    if (e >= '0' && e <= '7') {
                        uint32_t code = static_cast<uint32_t>(e - '0');
                        for (; at < text.size() && text[at] >= '0' && text[at] <= '7'; ++at)
                            code = code > 0x10FFFF
                                       ? code
                                       : code * 8 + static_cast<uint32_t>(text[at] - '0');
                        codes.push_back(code);
                    }
                    break;  // an unknown escape stands for nothing
            }
            kept = codes.size();
        } else if (!inQuotes && c == ';') {
            break;
        } else if (!inQuotes && c == ',') {
            return {};
        } else if (!inQuotes && isBlank(c)) {
            codes.push_back(static_cast<unsigned char>(c));
            ++at;
        } else {
            codes.push_back(decodeUtf8(text, at));
            kept = codes.size();
        }
    }
    codes.resize(kept);
    return fromVariantText(latin1(codes));
}

}  // namespace vellumar
