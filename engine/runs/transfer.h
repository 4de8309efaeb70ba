#pragma once
// Turning file A into file B (a lock or an unlock) without ever losing
// either: B is written in full to an AtomicFile and committed, and only then
// is A removed. Any failure before that takes B back and leaves A as it was.

#include <cstdint>
#include <string>

#include "engine/platform/atomic_file.h"
#include "engine/runs/file_result.h"
#include "engine/platform/file_system.h"

namespace vellumar {

// How the output of turning `source` into `target` must be committed: in
// place of the source when the names are the same (a layer of the small
// format), otherwise never over an existing file.
AtomicFile::Mode outputMode(const std::string& target, const std::string& source);

// `batch` when it takes the new file `target` replacing `source` (content
// and all), or null when that must be committed on its own.
class WriteBatch;
WriteBatch* batchTaking(WriteBatch* batch, const std::string& target, const std::string& source);

// Whether a new file may not take this name: a file has it, or a new file
// waiting in the write batch (if any) is to take it.
bool nameTaken(const std::string& path, const WriteBatch* batch);

// Reads a whole source file, with its status as it was when it was opened:
// the source goes later only while it is still that file, unchanged.
IoError readWholeSource(const std::string& path, std::string& out, FileStatus& asRead);

// After the program changed the source's attributes itself (which moves its
// change time): the status to check at the removal from now on, or
// `changed` when the content changed since `asRead` was taken.
IoError restatAfterOwnChange(const std::string& path, FileStatus& asRead);

// Removes a source that a new file replaces, unless it changed since it was
// read (`asRead`): someone wrote to it, or another file took its name. Then
// it stands and the result is IoError::changed.
IoError removeUnchangedSource(const std::string& source, const FileStatus& asRead);

// Commits `output`, then removes `source` (the output's standInFor()) unless
// the output took its place; in `batch` when it takes the file. On failure
// nothing is left of the output and the source stands; IoError::changed when
// the source changed after it was read.
IoError commitInPlaceOf(AtomicFile& output, const std::string& source, WriteBatch* batch);

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
