#pragma once
// The text encodings of the age format: unpadded base64, and Bech32 for
// keys. Decoders accept only the canonical form, so one file or key has
// exactly one spelling.

#include <string>

namespace vellumar {

std::string encodeBase64(const std::string& bytes);
// False on any character outside the alphabet, padding, a length no
// encoding has, or unused bits that are not zero.
bool decodeBase64(const std::string& text, std::string& bytes);

// Bech32 (BIP 173, without its length limit). The human-readable part is
// written in the case given, and so is the rest.
std::string encodeBech32(const std::string& humanPart, const std::string& bytes);
// False on mixed case, a bad checksum or bad padding; `humanPart` comes
// back lowercase.
bool decodeBech32(const std::string& text, std::string& humanPart, std::string& bytes);

}  // namespace vellumar
