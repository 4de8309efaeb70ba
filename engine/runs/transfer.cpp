#include "engine/runs/transfer.h"

#include "engine/lists/list_file.h"
#include "engine/platform/paths.h"
#include "engine/runs/write_batch.h"

namespace vellumar {

AtomicFile::Mode outputMode(const std::string& target, const std::string& source) {
    return target == source ? AtomicFile::Mode::replaceExisting : AtomicFile::Mode::keepExisting;
}

WriteBatch* batchTaking(WriteBatch* batch, const std::string& target, const std::string& source) {
    // In a batch the source goes only once the whole batch is durable. (A
    // layer written in place is never batched: it replaces its source.)
    return batch && target != source && batch->accepts(getFolderPart(target)) ? batch : nullptr;
}

bool nameTaken(const std::string& path, const WriteBatch* batch) {
    return fileExists(path) || (batch && batch->writing(path));
}

IoError readWholeSource(const std::string& path, std::string& out, FileStatus& asRead) {
    // Taken before the file is opened: any change from here on, or another
    // file put in its place, shows at the removal.
    if (IoError e = fileSystem().status(path, asRead); e != IoError::ok) return e;
    return readWholeFile(path, out);
}

IoError restatAfterOwnChange(const std::string& path, FileStatus& asRead) {
    FileStatus now;
    if (IoError e = fileSystem().status(path, now); e != IoError::ok) return e;
    FileStatus expected = asRead;
    expected.changed = now.changed;
    if (!sameUnchanged(expected, now)) return IoError::changed;
    asRead = now;
    return IoError::ok;
}

IoError removeUnchangedSource(const std::string& source, const FileStatus& asRead) {
    FileSystem& fs = fileSystem();
    FileStatus now;
    if (IoError e = fs.status(source, now); e != IoError::ok) return e;
    if (!sameUnchanged(asRead, now)) return IoError::changed;
    return fs.removeFile(source);
}

IoError commitInPlaceOf(AtomicFile& output, const std::string& source, WriteBatch* batch) {
    FileSystem& fs = fileSystem();
    const std::string& target = output.finalPath();
    const bool inPlace = target == source;
    if (WriteBatch* taking = batchTaking(batch, target, source)) return taking->adopt(output, source);
    if (IoError e = output.commit(); e != IoError::ok) {
        // When only the folder flush failed, the output has its name already.
        // In place, the old file is gone and the new one holds the same
        // content; beside the source, take the output back.
        if (output.committed()) {
            if (inPlace) return IoError::ok;
            fs.removeFile(target);
        }
        return e;
    }
    if (inPlace) return IoError::ok;
    if (IoError e = removeUnchangedSource(source, output.sourceAsRead()); e != IoError::ok) {
        // Take the output back only while the source is surely still there.
        if (fileExists(source)) fs.removeFile(target);
        return e;
    }
    // Makes the removal durable too; a crash before it leaves both files,
    // which loses nothing.
    fs.flushFolder(getFolderPart(target));
    return IoError::ok;
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
