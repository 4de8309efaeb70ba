#include "engine/formats/text_shift.h"

namespace vellumar {

namespace {
constexpr int kShift = 65;

// Windows-1252 from 0x80 to 0x9F; every other byte is the character of its
// own number.
constexpr char32_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  //
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  //
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  //
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char32_t windows1252Character(unsigned char byte) {
    return byte >= 0x80 && byte < 0xA0 ? kWindows1252High[byte - 0x80] : byte;
}

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | c >> 6);
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | c >> 12);
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// The next character of UTF-8 text at `at`, moving past it; false when the
// bytes there are not shortest-form UTF-8 of at most three bytes (no
// character of Windows-1252 needs more).
bool nextUtf8(const std::string& text, size_t& at, char32_t& out) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const auto continuation = [&](size_t i) { return i < text.size() && (byte(i) & 0xC0) == 0x80; };
    unsigned char lead = byte(at);
    if (lead < 0x80) {
        out = lead;
        at += 1;
    } else if ((lead & 0xE0) == 0xC0 && continuation(at + 1)) {
        out = char32_t{lead & 0x1Fu} << 6 | (byte(at + 1) & 0x3Fu);
        if (out < 0x80) return false;
        at += 2;
    } else if ((lead & 0xF0) == 0xE0 && continuation(at + 1) && continuation(at + 2)) {
        out = char32_t{lead & 0x0Fu} << 12 | char32_t{byte(at + 1) & 0x3Fu} << 6 |
              (byte(at + 2) & 0x3Fu);
        if (out < 0x800) return false;
        at += 3;
    } else {
        return false;
    }
    return true;
}

}  // namespace

std::string encodeText(const std::string& text) {
    std::string result;
    result.reserve(text.size());
    for (unsigned char c : text)
        if (c + kShift <= 255) result += static_cast<char>(c + kShift);
    return result;
}

std::string decodeText(const std::string& text) {
    std::string result;
    result.reserve(text.size());
    for (unsigned char c : text)
        if (c >= kShift) result += static_cast<char>(c - kShift);
    return result;
}

bool hasEncodedForm(const std::string& text) {
    for (unsigned char c : text)
        if (c + kShift > 255) return false;
    return true;
}

std::string windows1252ToUtf8(const std::string& bytes) {
    std::string result;
    result.reserve(bytes.size() * 2);
    for (unsigned char c : bytes) appendUtf8(result, windows1252Character(c));
    return result;
}

bool utf8ToWindows1252(const std::string& text, std::string& bytes) {
    bytes.clear();
    for (size_t at = 0; at < text.size();) {
        char32_t c = 0;
        if (!nextUtf8(text, at, c)) return false;
        int found = -1;
        for (int b = 0; b < 256 && found < 0; ++b)
            if (windows1252Character(static_cast<unsigned char>(b)) == c) found = b;
        if (found < 0) return false;
        bytes += static_cast<char>(found);
    }
    return true;
}

}  // namespace vellumar
