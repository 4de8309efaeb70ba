#pragma once
// The shifted text form of the settings store and of locked folder names.

#include <string>

namespace vellumar {

// Every character code + 65; a code above 190 has no encoded form and is dropped.
std::string encodeText(const std::string& text);
// Every character code - 65; a code below 65 is dropped.
std::string decodeText(const std::string& text);
// True when encodeText keeps every character, so decodeText gives the text back.
bool hasEncodedForm(const std::string& text);

// Bytes read as Windows-1252, in UTF-8. The five bytes that code page leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) stand for the control characters
// of the same number, as Windows itself reads them.
std::string windows1252ToUtf8(const std::string& bytes);
// The bytes back; false when the text is not UTF-8 or holds a character that
// Windows-1252 has no byte for.
bool utf8ToWindows1252(const std::string& text, std::string& bytes);

}  // namespace vellumar
