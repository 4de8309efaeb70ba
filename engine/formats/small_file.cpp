#include "engine/formats/small_file.h"

#include <algorithm>
#include <new>

#include "engine/platform/atomic_file.h"
#include "engine/formats/cipher.h"
#include "engine/platform/file_system.h"
#include "engine/lists/list_file.h"
#include "engine/formats/locked_format.h"
#include "engine/formats/locked_header.h"
#include "engine/formats/locked_kind.h"
#include "engine/formats/names.h"
#include "engine/platform/paths.h"
#include "engine/platform/platform.h"
#include "engine/lists/registry_store.h"
#include "engine/formats/small_unlock_stream.h"
#include "engine/runs/chunk_pace.h"
#include "engine/runs/replace_in_place.h"
#include "engine/runs/transfer.h"

namespace vellumar {
namespace {

constexpr size_t kLineLength = 70;
// Work done between two yields to the window.
constexpr size_t kYieldEvery = 64 * 1024;
constexpr char kLineEnd[] = "\r\n";

// An OS error of a step before any new file's name is known.
FileResult failed(IoError error, const std::string& path) {
    return stepFailed(error, path, path);
}

// Where an unlock writes: the locked name itself for an inner layer, else the
// plain name, which must be free (a nameTaken result when it is not).
FileResult unlockTarget(const std::string& lockedPath, bool layer, const WriteBatch* batch) {
    if (layer) return fileDone(lockedPath);
    std::string plainPath = restoredName(lockedPath);
    if (nameTaken(plainPath, batch)) return fileProblem(FileProblem::nameTaken, plainPath);
    return fileDone(plainPath);
}

// The locked file's text: the header line, then the stretched body in lines
// of 70 characters. An empty body still gets one (empty) line.
std::string lockedText(const std::string& header, const std::string& body) {
    const size_t lines = body.empty() ? 1 : (body.size() + kLineLength - 1) / kLineLength;
    std::string text;
    text.reserve(header.size() + body.size() + (lines + 1) * 2);
    text.append(header).append(kLineEnd);
    for (size_t at = 0, line = 0; line < lines; ++line, at += kLineLength)
        text.append(body, at, kLineLength).append(kLineEnd);
    return text;
}

// Store clean-up after an unlock, `path` being the file just written.
void forgetRecord(const std::string& path) {
    std::string record;
    const std::string name = scrambleName(trim(path));
    readRegValue(RegistryRoot, kLockedVklFile, name, "S", "", record);
    if (!record.empty()) deleteRegValue(RegistryRoot, kLockedVklFile, name);
}

// A header that does not verify is a wrong header, whatever else is wrong;
// a sound header on a file that breaks a rule, a damaged file.
FileResult soundAndVerified(const std::string& path, const SmallFormatReader& reader) {
    if (!headerVerifies(reader.header())) return fileProblem(FileProblem::wrongHeader, path);
    if (reader.fault() != FormatFault::none)
        return fileProblem(FileProblem::damaged, path, IoError::ok, describeFault(reader.fault()));
    return fileDone(path);
}

// One pass over a small locked file too large to hold in memory: checks
// every rule as the bytes come, unlocks the body piece by piece (the
// keystream runs on) and hands the plain bytes on to `output`, or only
// looks at them when there is none. Memory stays within a few pieces.
struct StreamedPass {
    SmallUnlockStream locked;
    // The plain content read as a locked file: an inner layer only if sound.
    SmallFormatReader inner;
    std::string plainStart;

    bool innerLayer() {
        return plainStart == kSecretMarker && inner.finish() && headerVerifies(inner.header());
    }
};

constexpr size_t kPieceSize = size_t{1} << 20;

IoError streamSmallFile(const std::string& path, Desktop& desktop, AtomicFile* output,
                        StreamedPass& pass) {
    FileSystem& fs = fileSystem();
    FileHandle file = kNoFile;
    if (IoError e = fs.openRead(path, file); e != IoError::ok) return e;
    FileCloser closer(file);
    ChunkPace pace(desktop);
    std::string piece(kPieceSize, '\0'), plain;
    auto passOn = [&]() {
        if (pass.plainStart.size() < kSecretMarker.size())
            pass.plainStart.append(plain, 0, kSecretMarker.size() - pass.plainStart.size());
        pass.inner.take(plain.data(), plain.size(), nullptr);
        IoError e = output ? output->write(plain) : IoError::ok;
        plain.clear();
        return e;
    };
    for (;;) {
        size_t got = 0;
        if (IoError e = fs.read(file, piece.data(), piece.size(), got); e != IoError::ok) return e;
        if (got == 0) break;
        // A broken rule or a wrong header ends the pass; the caller says which.
        if (!pass.locked.take(piece.data(), got, plain)) return IoError::ok;
        if (IoError e = passOn(); e != IoError::ok) return e;
        if (IoError e = pace.between(got); e != IoError::ok) return e;
    }
    if (!pass.locked.finish(plain)) return IoError::ok;
    return passOn();
}

// A small locked file of any size, never held in memory whole: one pass
// checks it and tells whether an inner layer comes out, a second writes it.
FileResult unlockStreamed(const std::string& path, Desktop& desktop, WriteBatch* batch) {
    FileStatus asRead;
    if (IoError e = fileSystem().status(path, asRead); e != IoError::ok) return failed(e, path);
    StreamedPass look;
    if (IoError e = streamSmallFile(path, desktop, nullptr, look); e != IoError::ok)
        return failed(e, path);
    if (FileResult sound = soundAndVerified(path, look.locked.reader()); !sound.done())
        return sound;
    const bool layer = look.innerLayer();
    const FileResult target = unlockTarget(path, layer, batch);
    if (!target.done()) return target;
    const std::string& plainPath = target.output;

    const auto writeUnlocked = [&](AtomicFile& restored) {
        StreamedPass write;
        IoError e = streamSmallFile(path, desktop, &restored, write);
        // Anything else than the first pass saw means the file changed meanwhile.
        if (e == IoError::ok && (write.locked.reader().fault() != FormatFault::none ||
                                 !headerVerifies(write.locked.reader().header()) ||
                                 write.innerLayer() != layer))
            e = IoError::changed;
        return e;
    };
    FileResult unlocked =
        replaceInPlace(unlockReplacement(path, plainPath, batch), asRead, writeUnlocked);
    if (unlocked.done()) forgetRecord(plainPath);
    return unlocked;
}

}  // namespace

FileResult lockSmallFile(const std::string& path, Desktop& desktop, const FileRequest& request) {
    if (FileResult there = lookedUp(path); !there.done()) return there;
    std::string plain;
    FileStatus asRead;
    if (IoError e = readWholeSource(path, plain, asRead); e != IoError::ok) return failed(e, path);
    // A locked file locked again keeps its name and gains a layer. A file
    // that is only named like one is plain: it gets a locked name of its own,
    // or its unlock would not tell it from a layer and would rename it.
    const bool lockedContent = isSoundSmallLockedFile(plain.data(), plain.size());
    const bool layer = lockedContent && markedKindOf(path) == LockedKind::small;
    if (lockedContent && !layer) return fileProblem(FileProblem::lockedContent, path);

    const std::string header = makeLockedHeader();
    Cipher cipher;
    cipher.keyString(header);
    cipher.text(std::move(plain));
    cipher.doXor();
    cipher.stretch();
    std::string text = lockedText(header, cipher.takeText());

    const std::string lockedPath = layer ? path : lockedName(path, kSmallExtension);
    if (!layer && nameTaken(lockedPath, request.batch))
        return fileProblem(FileProblem::nameTaken, lockedPath);

    if (FileResult locked = replaceWithContent(lockReplacement(path, lockedPath, request), asRead,
                                               std::move(text), desktop);
        !locked.done())
        return locked;

    writeRegValue(RegistryRoot, kLockedVklFile, scrambleName(trim(path)), "S",
                  scrambleName(trim(lockedPath)));
    return fileDone(lockedPath);
}

namespace {

// Reads, checks and unlocks a small locked file in memory; done, or why
// the file is to be kept.
FileResult readUnlocked(const std::string& path, Desktop& desktop, std::string& plain,
                        FileStatus& asRead) {
    std::string content;
    if (IoError e = readWholeSource(path, content, asRead); e != IoError::ok)
        return failed(e, path);
    if (content.empty()) return fileProblem(FileProblem::empty, path);  // no header line to read
    // Every rule is checked before anything is written.
    SmallFormatReader reader;
    std::string body;
    body.reserve(content.size());
    for (size_t at = 0; at < content.size(); at += kYieldEvery) {
        if (!reader.take(content.data() + at, std::min(kYieldEvery, content.size() - at), &body))
            break;
        desktop.yield();
    }
    reader.finish();
    content = std::string();
    if (FileResult sound = soundAndVerified(path, reader); !sound.done()) return sound;

    Cipher cipher;
    cipher.keyString(reader.header());
    if (!cipher.shrinkXorPiece(body.data(), body.size(), plain))
        return fileProblem(FileProblem::damaged, path, IoError::ok, "its body does not decode");
    return fileDone(path);
}

// The streamed unlock, and the last word when even its few pieces find no memory.
FileResult unlockInPieces(const std::string& path, Desktop& desktop, WriteBatch* batch) {
    try {
        return unlockStreamed(path, desktop, batch);
    } catch (const std::bad_alloc&) {
        return fileProblem(FileProblem::outOfMemory, path);
    }
}

}  // namespace

FileResult unlockSmallFile(const std::string& path, Desktop& desktop,
                           const FileRequest& request) {
    FileStatus status;
    if (IoError e = fileSystem().status(path, status); e != IoError::ok) return failed(e, path);
    if (status.size > kSmallFileInMemoryLimit) return unlockInPieces(path, desktop, request.batch);
    std::string plain;
    FileStatus asRead;
    try {
        if (FileResult read = readUnlocked(path, desktop, plain, asRead); !read.done())
            return read;
    } catch (const std::bad_alloc&) {
        // Nothing is written yet, and in pieces the unlock needs little memory.
        return unlockInPieces(path, desktop, request.batch);
    }

    // An inner layer keeps the locked name; plain content gets its own back,
    // even when it only begins like a locked file.
    const bool layer = isSoundSmallLockedFile(plain.data(), plain.size());
    const FileResult target = unlockTarget(path, layer, request.batch);
    if (!target.done()) return target;
    const std::string& plainPath = target.output;

    FileResult unlocked = replaceWithContent(unlockReplacement(path, plainPath, request.batch),
                                             asRead, std::move(plain), desktop);
    if (unlocked.done()) forgetRecord(plainPath);
    return unlocked;
}

}  // namespace vellumar
