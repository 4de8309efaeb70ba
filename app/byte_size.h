#pragma once

#include <cstdint>
#include <string>

namespace vellumar {

// A file length as the Windows shell shows it: "532 bytes", "1.30 KB",
// "22.9 KB", "2.28 MB" (three significant digits, cut, not rounded).
std::string formatByteSize(uint64_t bytes);

}  // namespace vellumar
