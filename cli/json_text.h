#pragma once
// JSON strings for the CLI's --json output. A path is the file system's own
// bytes and need not be UTF-8, while JSON text must be: such a path is shown
// in a readable form and also given whole, as base64 of its bytes.

#include <string>

namespace vellumar {

// A JSON string of `text`; any byte that does not belong to a valid UTF-8
// sequence becomes U+FFFD, so the output is always valid UTF-8.
std::string jsonText(const std::string& text);

// `"key":"..."` for a path; when the path is not valid UTF-8 (so the text
// above lost bytes), `,"key_bytes":"..."` follows with its exact bytes in
// standard, padded base64.
std::string jsonPathFields(const std::string& key, const std::string& path);

}  // namespace vellumar
