#include "engine/formats/locked_folder_name.h"

#include "engine/platform/file_system.h"
#include "engine/formats/text_shift.h"

namespace vellumar {

namespace {
// The longest name, in bytes, that a folder can have.
constexpr size_t kLongestName = 255;
}  // namespace

std::string lockedFolderName(const std::string& plainName) {
#ifdef _WIN32
    return encodeText(plainName);
#else
    return windows1252ToUtf8(encodeText(plainName));
#endif
}

std::string plainFolderName(const std::string& lockedName) {
#ifndef _WIN32
    std::string bytes;
    if (utf8ToWindows1252(lockedName, bytes)) return decodeText(bytes);
#endif
    return decodeText(lockedName);
}

bool canHaveLockedFolderName(const std::string& plainName) {
    return hasEncodedForm(plainName) && lockedFolderName(plainName).size() <= kLongestName;
}

std::string lockedFolderPath(const std::string& parent, const std::string& plainName) {
    const std::string current = parent + lockedFolderName(plainName);
    const std::string raw = parent + encodeText(plainName);
    if (raw == current) return current;
    FileSystem& fs = fileSystem();
    FileStatus status;
    if (fs.status(current, status) == IoError::ok) return current;
    if (fs.status(raw, status) == IoError::ok) return raw;
    return current;
}

}  // namespace vellumar
