#include "engine/formats/locked_header.h"

#include <chrono>
#include <cstdio>
#include <ctime>

#include "engine/formats/cipher.h"
#include "engine/formats/names.h"
#include "engine/platform/paths.h"

namespace vellumar {

std::string lockTimeText() {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t seconds = system_clock::to_time_t(now);
    const std::tm local = *std::localtime(&seconds);
    const auto micros = duration_cast<microseconds>(now.time_since_epoch()).count() % 1000000;
    // The date, then the seconds since midnight with six decimals, so that two
    // locks within the same second still get different salts.
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %d.%06lld", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday,
                  local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec,
                  static_cast<long long>(micros));
    return text;
}

std::string makeLockedHeader() {
    const std::string salt = deriveKey(lockTimeText());
    return kSecretMarker + salt + deriveKey(salt);
}

bool headerVerifies(const std::string& headerLine) {
    const std::string salt = headerLine.size() > 8 ? headerLine.substr(8, 8) : std::string();
    return headerLine.find(deriveKey(salt)) == 16;
}

// The folder part is kept as it is: a bare name has none, and adding a
// separator to nothing would send the new file to the root folder.
std::string lockedName(const std::string& plainPath, const std::string& extension) {
    return getFolderPart(plainPath) + scrambleName(getFileName(plainPath)) + extension;
}

std::string restoredName(const std::string& lockedPath) {
    return getFolderPart(lockedPath) + scrambleName(getFileName(removeExtension(lockedPath)));
}

}  // namespace vellumar
