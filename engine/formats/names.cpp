#include "engine/formats/names.h"

#include "engine/platform/paths.h"

namespace vellumar {
namespace {

bool isAsciiLetter(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
char asciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }
char asciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

}  // namespace

bool isUpperCase(const std::string& character) {
    std::string trimmed = trim(character);
    if (trimmed.empty()) return false;
    return character == toUpper(character);
}

std::string scrambleName(const std::string& name) {
    std::string result = name;
    // The last character is never touched, so the routine is its own inverse.
    for (size_t i = 0; i + 1 < result.size(); ++i) {
        char c = result[i];
        char produced = c;
        if (isAsciiLetter(static_cast<unsigned char>(c))) {
            char upper = asciiUpper(c);
            produced = static_cast<char>('A' + (upper - 'A' + 13) % 26);
        } else if (c == '=') {
            produced = '~';
        } else if (c == '~') {
            produced = '=';
        }
        result[i] = isUpperCase(std::string(1, c)) ? produced : asciiLower(produced);
    }
    return result;
}

}  // namespace vellumar
