#pragma once
// What both locked formats share: the 24-character header line, its check,
// and the names a locked file takes and gives back.

#include <cstddef>
#include <string>

namespace vellumar {

// "[Secret]" + salt + verifier; the salt and verifier are deriveKey results.
inline const std::string kSecretMarker = "[Secret]";
constexpr size_t kHeaderLength = 24;

// A text that differs between any two locks; nothing ever reads it back.
std::string lockTimeText();
// A fresh header: salt = deriveKey(lock time text), verifier = deriveKey(salt).
std::string makeLockedHeader();
// True when the first match of deriveKey(characters 9 to 16) in the line is
// at character 17. Only the first kHeaderLength characters can decide it.
bool headerVerifies(const std::string& headerLine);

// The locked name of a plain file: its folder, its scrambled name, then the
// marker extension (kSmallExtension or kLargeExtension). A bare name stays
// a bare name.
std::string lockedName(const std::string& plainPath, const std::string& extension);
// The plain name a locked file gives back: the marker extension dropped and
// the name unscrambled, in the same folder.
std::string restoredName(const std::string& lockedPath);

}  // namespace vellumar
