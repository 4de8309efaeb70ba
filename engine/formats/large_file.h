#pragma once
// The large locked format (".VKW"): the 24-character header line and one CR,
// then the file's leading remainder below one 32768-byte chunk passed through
// RC4 under a fixed key, then its full chunks unchanged. One layer only.

#include <cstdint>
#include <string>

#include "engine/runs/desktop.h"
#include "engine/runs/file_request.h"
#include "engine/runs/file_result.h"

namespace vellumar {

constexpr uint64_t kChunkSize = 32768;
// Files of this length or more go to the large format.
constexpr uint64_t kLargeFileThreshold = 200000;
// The fixed key of the RC4 pass over a file's leading remainder.
inline const std::string kLargeFileHeadKey = "quorvelin";

// Locks a file in place under its ".VKW" name. When not done (missing,
// empty, already a ".VKW" file, any step failed) the plain file is untouched.
FileResult lockLargeFile(const std::string& path, Desktop& desktop,
                         const FileRequest& request = {});

// Restores the plain file of a ".VKW" file. When not done (a wrong header, a
// damaged file, any failure) the locked file is kept.
FileResult unlockLargeFile(const std::string& path, Desktop& desktop,
                           const FileRequest& request = {});

}  // namespace vellumar
