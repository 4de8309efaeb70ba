#include "engine/sealing/age_encoding.h"

#include <cstdint>
#include <vector>

namespace vellumar {
namespace {

const char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
const char kBech32[] = "qpzry9x8gf2tvdw0s3jn54khce6mua7l";

int base64Value(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

uint32_t bech32Polymod(const std::vector<uint8_t>& values) {
    static const uint32_t generator[5] = {0x3b6a57b2, 0x26508e6d, 0x1ea119fa, 0x3d4233dd,
                                          0x2a1462b3};
    uint32_t check = 1;
    for (uint8_t value : values) {
        const uint32_t top = check >> 25;
        check = ((check & 0x1ffffff) << 5) ^ value;
        for (int i = 0; i < 5; ++i)
            if ((top >> i) & 1) check ^= generator[i];
    }
    return check;
}

std::vector<uint8_t> expandHumanPart(const std::string& lowerHumanPart) {
    std::vector<uint8_t> out;
    for (char c : lowerHumanPart) out.push_back(static_cast<uint8_t>(c) >> 5);
    out.push_back(0);
    for (char c : lowerHumanPart) out.push_back(static_cast<uint8_t>(c) & 31);
    return out;
}

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
char upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

}  // namespace

std::string encodeBase64(const std::string& bytes) {
    std::string out;
    uint32_t bits = 0;
    int count = 0;
    for (unsigned char byte : bytes) {
        bits = (bits << 8) | byte;
        count += 8;
        while (count >= 6) {
            count -= 6;
            out += kBase64[(bits >> count) & 63];
        }
    }
    if (count > 0) out += kBase64[(bits << (6 - count)) & 63];
    return out;
}

bool decodeBase64(const std::string& text, std::string& bytes) {
    bytes.clear();
    if (text.size() % 4 == 1) return false;
    uint32_t bits = 0;
    int count = 0;
    for (char c : text) {
        const int value = base64Value(c);
        if (value < 0) return false;
        bits = (bits << 6) | static_cast<uint32_t>(value);
        count += 6;
        if (count >= 8) {
            count -= 8;
            bytes += static_cast<char>((bits >> count) & 0xff);
        }
    }
    // The bits left over must be zero, or another text encodes the same bytes.
    return (bits & ((1u << count) - 1)) == 0;
}

std::string encodeBech32(const std::string& humanPart, const std::string& bytes) {
    std::string lowerHuman;
    for (char c : humanPart) lowerHuman += lower(c);
    const bool upperCase = !humanPart.empty() && humanPart != lowerHuman;
    std::vector<uint8_t> data;
    uint32_t bits = 0;
    int count = 0;
    for (unsigned char byte : bytes) {
        bits = (bits << 8) | byte;
        count += 8;
        while (count >= 5) {
            count -= 5;
            data.push_back((bits >> count) & 31);
        }
    }
    if (count > 0) data.push_back((bits << (5 - count)) & 31);
    std::vector<uint8_t> checked = expandHumanPart(lowerHuman);
    checked.insert(checked.end(), data.begin(), data.end());
    checked.insert(checked.end(), 6, 0);
    const uint32_t checksum = bech32Polymod(checked) ^ 1;
    for (int i = 0; i < 6; ++i) data.push_back((checksum >> (5 * (5 - i))) & 31);
    std::string out = lowerHuman + "1";
    for (uint8_t value : data) out += kBech32[value];
    if (upperCase)
        for (char& c : out) c = upper(c);
    return out;
}

bool decodeBech32(const std::string& text, std::string& humanPart, std::string& bytes) {
    humanPart.clear();
    bytes.clear();
    bool hasLower = false, hasUpper = false;
    for (char c : text) {
        if (c < 33 || c > 126) return false;
        hasLower |= c >= 'a' && c <= 'z';
        hasUpper |= c >= 'A' && c <= 'Z';
    }
    if (hasLower && hasUpper) return false;
    const size_t separator = text.rfind('1');
    if (separator == std::string::npos || separator == 0 || separator + 7 > text.size())
        return false;
    for (size_t i = 0; i < separator; ++i) humanPart += lower(text[i]);
    std::vector<uint8_t> data;
    for (size_t i = separator + 1; i < text.size(); ++i) {
        const char c = lower(text[i]);
        const char* found = nullptr;
        for (const char* p = kBech32; *p; ++p)
            if (*p == c) found = p;
        if (!found) return false;
        data.push_back(static_cast<uint8_t>(found - kBech32));
    }
    std::vector<uint8_t> checked = expandHumanPart(humanPart);
    checked.insert(checked.end(), data.begin(), data.end());
    if (bech32Polymod(checked) != 1) return false;
    data.resize(data.size() - 6);
    uint32_t bits = 0;
    int count = 0;
    for (uint8_t value : data) {
        bits = (bits << 5) | value;
        count += 5;
        if (count >= 8) {
            count -= 8;
            bytes += static_cast<char>((bits >> count) & 0xff);
        }
    }
    // Padding: fewer than five bits, all zero.
    return count < 5 && (bits & ((1u << count) - 1)) == 0;
}

}  // namespace vellumar
