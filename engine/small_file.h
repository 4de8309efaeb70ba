#pragma once
// The small locked format (".VKL"): the header line, then the whole content
// XOR-enciphered under that line, stretched to printable characters and cut
// into lines of 70, every line ended by CR LF. Locking a ".VKL" file again
// wraps it in a further layer under the same name.

#include <cstdint>
#include <string>

#include "engine/desktop.h"
#include "engine/file_system.h"

namespace vellumar {

// Locked files up to this length are unlocked in memory (about three times
// their length at the peak); longer ones are read twice in pieces, to check
// them first, so that memory stays bounded whatever their length.
constexpr uint64_t kSmallFileInMemoryLimit = uint64_t{8} << 20;

// Locks a file in place under its ".VKL" name. `encryptFilesChosen` tells
// whether "Encrypt File(s)" is the chosen operation; then the locked path is
// added to the list file "files". False when the file is missing or any step
// failed; the plain file is then untouched.
bool Encrypt(const std::string& fullFileName, Desktop& desktop, bool encryptFilesChosen);

// Removes one layer of a ".VKL" file: the inner layer keeps the name, the
// plain content gets its plain name back. Every rule of the format is
// checked before anything is written. False on a wrong header, a damaged
// file or any failure; the locked file is then kept as it was, attributes
// included.
bool Decrypt(const std::string& fullFileName, Desktop& desktop);

// Shows the message the program has for an error of Encrypt or Decrypt (the
// file already open, a path/file access error), or passes the error on.
void showSmallFileError(IoError error, Desktop& desktop, bool locking);

}  // namespace vellumar
