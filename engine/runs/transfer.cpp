#include "engine/runs/transfer.h"

#include "engine/lists/list_file.h"
#include "engine/platform/paths.h"
#include "engine/runs/write_batch.h"

namespace vellumar {

bool nameTaken(const std::string& path, const WriteBatch* batch) {
    return fileExists(path) || (batch && batch->writing(path));
}

IoError readWholeSource(const std::string& path, std::string& out, FileStatus& asRead) {
    // Taken before the file is opened: any change from here on, or another
    // file put in its place, shows at the removal.
    if (IoError e = fileSystem().status(path, asRead); e != IoError::ok) return e;
    return readWholeFile(path, out);
}

IoError removeUnchangedSource(const std::string& source, const FileStatus& asRead) {
    FileSystem& fs = fileSystem();
    FileStatus now;
    if (IoError e = fs.status(source, now); e != IoError::ok) return e;
    if (!sameUnchanged(asRead, now)) return IoError::changed;
    return fs.removeFile(source);
}

FileResult lookedUp(const std::string& path) {
    FileStatus status;
    const IoError e = fileSystem().status(path, status);
    if (e == IoError::ok) return fileDone(path);
    if (e == IoError::notFound) return fileProblem(FileProblem::missing, path, e);
    return fileProblem(FileProblem::ioError, path, e);
}

IoError readExactly(FileHandle file, char* buffer, size_t size) {
    FileSystem& fs = fileSystem();
    while (size > 0) {
        size_t got = 0;
        if (IoError e = fs.read(file, buffer, size, got); e != IoError::ok) return e;
        if (got == 0) return IoError::other;
        buffer += got;
        size -= got;
    }
    return IoError::ok;
}

// Adds one line to a list file. The list is rewritten whole and swapped in,
// so a crash leaves the old list or the new one, never a torn line. In a
// batch the line goes in with the batch, before its sources are removed.
IoError appendListLine(WriteBatch* batch, const std::string& listPath, const std::string& line) {
    if (batch && batch->accepts(getFolderPart(line))) {
        batch->appendLine(listPath, line);
        return IoError::ok;
    }
    return appendListLines(listPath, {line});
}

}  // namespace vellumar
