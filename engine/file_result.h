#pragma once
// What one lock or unlock of a single file did, as a value: done, or the
// problem, the OS error and the path it concerns. The engine shows nothing;
// the front ends word it.

#include <string>

#include "engine/file_system.h"

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
};

struct FileResult {
    FileProblem problem = FileProblem::none;
    IoError error = IoError::ok;
    std::string path;    // the file the problem concerns
    std::string detail;  // damaged: what is wrong
    std::string output;  // done: the path of the new file

    bool done() const { return problem == FileProblem::none; }
};

}  // namespace vellumar
