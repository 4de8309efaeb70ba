#pragma once
// RC4, as published. The large locked format passes the head of a file
// through it under a fixed key; being a stream XOR, it is its own inverse.

#include <cstddef>
#include <string>

namespace vellumar {

// Transforms `size` bytes in place under `key` (an empty key leaves the
// identity permutation as the state).
void rc4Crypt(char* data, size_t size, const std::string& key);
std::string rc4Crypt(std::string text, const std::string& key);

}  // namespace vellumar
