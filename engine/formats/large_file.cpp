#include "engine/formats/large_file.h"

#include <algorithm>

#include "engine/platform/atomic_file.h"
#include "engine/formats/cipher.h"
#include "engine/platform/file_system.h"
#include "engine/formats/locked_format.h"
#include "engine/formats/locked_header.h"
#include "engine/formats/locked_kind.h"
#include "engine/formats/names.h"
#include "engine/platform/paths.h"
#include "engine/formats/rc4.h"
#include "engine/lists/registry_store.h"
#include "engine/runs/chunk_pace.h"
#include "engine/runs/replace_in_place.h"
#include "engine/runs/transfer.h"

namespace vellumar {
namespace {

const std::string& kHeadKey = kLargeFileHeadKey;
// The unchanged chunks are copied in slices of this many bytes, paced
// (the window painting, a cancel taken) before each slice.
constexpr uint64_t kCopySlice = 32 * kChunkSize;

// Copies `size` bytes from the current position of `source` to the output,
// after what was written of it already.
IoError copyUnchanged(FileHandle source, AtomicFile& output, uint64_t size, Desktop& desktop) {
    ChunkPace pace(desktop);
    while (size > 0) {
        if (IoError e = pace.between(kCopySlice); e != IoError::ok) return e;
        const uint64_t slice = std::min(size, kCopySlice);
        if (IoError e = output.copyFrom(source, slice); e != IoError::ok) return e;
        size -= slice;
    }
    return IoError::ok;
}

// Reads up to `size` bytes, fewer only at the end of the file.
IoError readUpTo(FileHandle file, char* buffer, size_t size, size_t& got) {
    got = 0;
    while (got < size) {
        size_t n = 0;
        if (IoError e = fileSystem().read(file, buffer + got, size - got, n); e != IoError::ok)
            return e;
        if (n == 0) break;
        got += n;
    }
    return IoError::ok;
}

}  // namespace

// Large locked files are never added to a list: `request.listPath` is not read.
FileResult lockLargeFile(const std::string& path, Desktop& desktop, const FileRequest& request) {
    if (FileResult there = lookedUp(path); !there.done()) return there;
    if (markedKindOf(path) == LockedKind::large)
        return fileProblem(FileProblem::alreadyLarge, path);
    const std::string header = makeLockedHeader();
    const std::string lockedPath = lockedName(path, kLargeExtension);
    if (nameTaken(lockedPath, request.batch))
        return fileProblem(FileProblem::nameTaken, lockedPath);

    FileSystem& fs = fileSystem();
    FileStatus status;
    if (IoError e = fs.status(path, status); e != IoError::ok) return stepFailed(e, path, path);
    const uint64_t length = status.size;
    // The callers never send an empty file here.
    if (length == 0) return fileProblem(FileProblem::empty, path);
    FileHandle plain = kNoFile;
    if (IoError e = fs.openRead(path, plain); e != IoError::ok) return stepFailed(e, path, path);
    FileCloser closePlain(plain);

    const auto writeLocked = [&](AtomicFile& locked) {
        IoError e = locked.write(header + '\r');
        // Only the part below one chunk is transformed; the chunks follow as they are.
        std::string head(length % kChunkSize, '\0');
        if (e == IoError::ok) e = readExactly(plain, head.data(), head.size());
        if (e == IoError::ok) e = locked.write(rc4Crypt(std::move(head), kHeadKey));
        if (e == IoError::ok)
            e = copyUnchanged(plain, locked, length - length % kChunkSize, desktop);
        return e;
    };
    Replacement step = lockReplacement(path, lockedPath, request);
    step.listPath.clear();  // a large locked file is never listed
    step.openSource = &plain;
    step.lengthMustHold = true;
    if (FileResult locked = replaceInPlace(step, status, writeLocked); !locked.done())
        return locked;

    writeRegValue(RegistryRoot, kLockedVkwFile, scrambleName(trim(path)), "S",
                  scrambleName(trim(lockedPath)));
    return fileDone(lockedPath);
}

FileResult unlockLargeFile(const std::string& path, Desktop& desktop,
                           const FileRequest& request) {
    FileSystem& fs = fileSystem();
    FileStatus status;
    if (IoError e = fs.status(path, status); e != IoError::ok) return stepFailed(e, path, path);
    const uint64_t length = status.size;
    if (length == 0) return fileProblem(FileProblem::empty, path);  // no header line to read
    FileHandle source = kNoFile;
    if (IoError e = fs.openRead(path, source); e != IoError::ok) return stepFailed(e, path, path);
    FileCloser closeSource(source);

    // The header and its CR, checked before anything is written.
    char start[kHeaderLength + 1];
    size_t got = 0;
    if (IoError e = readUpTo(source, start, sizeof start, got); e != IoError::ok)
        return stepFailed(e, path, path);
    const std::string header(start, std::min(got, kHeaderLength));
    if (!headerVerifies(header.substr(0, header.find('\r'))))
        return fileProblem(FileProblem::wrongHeader, path);
    if (FormatFault fault = checkLargeLockedStart(start, got, length); fault != FormatFault::none)
        return fileProblem(FileProblem::damaged, path, IoError::ok, describeFault(fault));
    const uint64_t contentLength = length - sizeof start;

    const std::string plainPath = restoredName(path);
    if (nameTaken(plainPath, request.batch)) return fileProblem(FileProblem::nameTaken, plainPath);

    const auto writeRestored = [&](AtomicFile& restored) {
        // Only the part below one chunk was transformed; the chunks follow as they are.
        std::string head(contentLength % kChunkSize, '\0');
        IoError e = readExactly(source, head.data(), head.size());
        if (e == IoError::ok) e = restored.write(rc4Crypt(std::move(head), kHeadKey));
        if (e == IoError::ok)
            e = copyUnchanged(source, restored, contentLength - contentLength % kChunkSize,
                              desktop);
        return e;
    };
    Replacement step = unlockReplacement(path, plainPath, request.batch);
    step.openSource = &source;
    if (FileResult restored = replaceInPlace(step, status, writeRestored); !restored.done())
        return restored;

    std::string record;
    const std::string name = scrambleName(trim(plainPath));
    readRegValue(RegistryRoot, kLockedVkwFile, name, "S", "", record);
    if (!record.empty()) deleteRegValue(RegistryRoot, kLockedVkwFile, name);
    return fileDone(plainPath);
}

}  // namespace vellumar
