#pragma once
// Scrambled names of locked files.

#include <string>

namespace vellumar {

// Rotates letters by 13 and swaps "=" with "~", every character but the last;
// its own inverse.
std::string scrambleName(const std::string& name);
bool isUpperCase(const std::string& character);

}  // namespace vellumar
