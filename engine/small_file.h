#pragma once
// The small locked format (".VKL"): the header line, then the whole content
// XOR-enciphered under that line, stretched to printable characters and cut
// into lines of 70, every line ended by CR LF. Locking a ".VKL" file again
// wraps it in a further layer under the same name.

#include <string>

#include "engine/desktop.h"
#include "engine/file_system.h"

namespace vellumar {

// Locks a file in place under its ".VKL" name. `encryptFilesChosen` tells
// whether "Encrypt File(s)" is the chosen operation; then the locked path is
// added to the list file "files". False when the file is missing or any step
// failed; the plain file is then untouched.
bool Encrypt(const std::string& fullFileName, Desktop& desktop, bool encryptFilesChosen);

// Removes one layer of a ".VKL" file: the inner layer keeps the name, the
// plain content gets its plain name back. False on a wrong header, a damaged
// body or any failure; the locked file is then kept.
bool Decrypt(const std::string& fullFileName, Desktop& desktop);

// Shows the message the program has for an error of Encrypt or Decrypt (the
// file already open, a path/file access error), or passes the error on.
void showSmallFileError(IoError error, Desktop& desktop, bool locking);

}  // namespace vellumar
