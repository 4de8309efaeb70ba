#pragma once
// Helpers of turning file A into file B (a lock or an unlock) without ever
// losing either; the sequence itself is replace_in_place.h.

#include <cstdint>
#include <string>

#include "engine/runs/file_result.h"
#include "engine/platform/file_system.h"

namespace vellumar {

class WriteBatch;

// Whether a new file may not take this name: a file has it, or a new file
// waiting in the write batch (if any) is to take it.
bool nameTaken(const std::string& path, const WriteBatch* batch);

// Reads a whole source file, with its status as it was when it was opened:
// the source goes later only while it is still that file, unchanged.
IoError readWholeSource(const std::string& path, std::string& out, FileStatus& asRead);

// Removes a source that a new file replaces, unless it changed since it was
// read (`asRead`): someone wrote to it, or another file took its name. Then
// it stands and the result is IoError::changed.
IoError removeUnchangedSource(const std::string& source, const FileStatus& asRead);

// Whether the file to work on is there: missing only when it is not found;
// any other error on the way is that error, as the file may well be there.
FileResult lookedUp(const std::string& path);

// Reads exactly `size` bytes; a file that ends sooner is an error.
IoError readExactly(FileHandle file, char* buffer, size_t size);

// Adds one line to a list file, rewritten whole and swapped in; in `batch`
// (when it takes files in the line's folder) the line goes in with the
// batch, before its sources are removed.
IoError appendListLine(WriteBatch* batch, const std::string& listPath, const std::string& line);

}  // namespace vellumar
