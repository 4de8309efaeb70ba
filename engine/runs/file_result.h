#pragma once
// What one lock or unlock of a single file did, as a value: done, or the
// problem, the OS error and the path it concerns. The engine shows nothing;
// the front ends word it.

#include <string>

#include "engine/platform/file_system.h"

namespace vellumar {

enum class FileProblem {
    none,           // done
    missing,        // not there
    ioError,        // the OS refused a step: see `error`
    nameTaken,      // the name it must take is taken: `path` is that name
    changed,        // it changed while it was read, and was kept as it is
    wrongHeader,    // its header does not verify (another key, or not locked)
    damaged,        // a locked file that breaks its format: `detail` says how
    alreadyLarge,   // a large locked file cannot be locked again
    lockedContent,  // a copy of a locked file under a name of its own
    outOfMemory,    // too large to unlock in memory
    notAFile,       // a folder or other entry where a file was expected
    empty,          // nothing to work on: an empty locked file has no header
    outOfReach,     // a link on its path leads out of the folder being worked on
    attributesUnreadable,  // its attributes could not be read (`error` says why, if known)
    otherIdentity,  // a sealed file that none of the identities at hand opens
    libraryFailed,  // the cryptographic library failed: `detail` holds its message
    noIdentity,     // a sealed file, and no identity to open it with (no password given)
    lockedFileGone,  // read back after the run: its locked file is not there (`path`)
    notKeptHidden,   // read back after the run: its locked file (`path`) does not carry
                     // hidden and read-only, though the file system keeps them
    cancelled,       // the person stopped the run while this file was worked on: it
                     // stands as it was, and nothing new is left of it
};

struct FileResult {
    FileProblem problem = FileProblem::none;
    IoError error = IoError::ok;
    std::string path;    // the file the problem concerns
    std::string detail;  // damaged: what is wrong
    std::string output;  // done: the path of the new file

    bool done() const { return problem == FileProblem::none; }
};

inline FileResult fileDone(const std::string& output) {
    FileResult result;
    result.output = output;
    return result;
}

inline FileResult fileProblem(FileProblem problem, const std::string& path,
                              IoError error = IoError::ok, const std::string& detail = {}) {
    FileResult result;
    result.problem = problem;
    result.error = error;
    result.path = path;
    result.detail = detail;
    return result;
}

// A step of turning `source` into `target` failed: the target's name was
// taken meanwhile, the source changed while it was read, the person
// cancelled, or the OS refused.
inline FileResult stepFailed(IoError error, const std::string& source, const std::string& target) {
    if (error == IoError::cancelled) return fileProblem(FileProblem::cancelled, source, error);
    if (error == IoError::exists) return fileProblem(FileProblem::nameTaken, target, error);
    if (error == IoError::changed) return fileProblem(FileProblem::changed, source, error);
    return fileProblem(FileProblem::ioError, source, error);
}

}  // namespace vellumar
