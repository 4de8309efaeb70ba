#pragma once
// The small locked format (".VKL"): the header line, then the whole content
// XOR-enciphered under that line, stretched to printable characters and cut
// into lines of 70, every line ended by CR LF. Locking a ".VKL" file again
// wraps it in a further layer under the same name.

#include <cstdint>
#include <string>

#include "engine/runs/desktop.h"
#include "engine/runs/file_request.h"
#include "engine/runs/file_result.h"
#include "engine/platform/file_system.h"

namespace vellumar {

// Locked files up to this length are unlocked in memory (about three times
// their length at the peak); longer ones are read twice in pieces, to check
// them first, so that memory stays bounded whatever their length.
constexpr uint64_t kSmallFileInMemoryLimit = uint64_t{8} << 20;

// Locks a file in place under its ".VKL" name; with `request.listPath`, the
// locked path is added to that list before the plain file goes. When not
// done (missing, or any step failed) the plain file is untouched.
FileResult lockSmallFile(const std::string& path, Desktop& desktop,
                         const FileRequest& request = {});

// Removes one layer of a ".VKL" file: the inner layer keeps the name, the
// plain content gets its plain name back. Every rule of the format is
// checked before anything is written. When not done (a wrong header, a
// damaged file, any failure) the locked file is kept as it was, attributes
// included.
FileResult unlockSmallFile(const std::string& path, Desktop& desktop,
                           const FileRequest& request = {});

}  // namespace vellumar
