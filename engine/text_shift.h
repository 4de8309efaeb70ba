#pragma once
// The shifted text form of the settings store and of locked folder names.

#include <string>

namespace vellumar {

// Every character code + 65; a code above 190 has no encoded form and is dropped.
std::string EncodeText(const std::string& text);
// Every character code - 65; a code below 65 is dropped.
std::string DecodeText(const std::string& text);
// True when EncodeText keeps every character, so DecodeText gives the text back.
bool HasEncodedForm(const std::string& text);

}  // namespace vellumar
