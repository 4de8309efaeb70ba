#pragma once
// The ASCII armor of age files: strict PEM with the label
// "AGE ENCRYPTED FILE", padded base64 in lines of 64 columns (the last one
// shorter or full), LF or CRLF line ends, whitespace allowed only before and
// after the block. Anything else is refused, so that one file has one
// spelling and nothing can be slipped in around it.

#include <memory>
#include <string>

#include "engine/sealing/age_format.h"

namespace vellumar {

// Whether the bytes begin an armored file (after whitespace).
bool startsArmored(const char* data, size_t size);

// The binary file inside an armored one: `head` is what was read of it
// already, `source` the rest. A break of the armor ends the stream with
// IoError::other and sets `broken`.
AgeSource dearmored(std::string head, AgeSource source, std::shared_ptr<bool> broken);

}  // namespace vellumar
