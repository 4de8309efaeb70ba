#include "engine/small_file.h"

#include <algorithm>
#include <new>

#include "engine/atomic_file.h"
#include "engine/cipher.h"
#include "engine/engine_messages.h"
#include "engine/failure_note.h"
#include "engine/file_system.h"
#include "engine/kept_attributes.h"
#include "engine/list_file.h"
#include "engine/locked_format.h"
#include "engine/locked_header.h"
#include "engine/names.h"
#include "engine/platform.h"
#include "engine/registry_store.h"
#include "engine/small_unlock_stream.h"
#include "engine/transfer.h"
#include "engine/write_batch.h"

namespace vellumar {
namespace {

constexpr size_t kLineLength = 70;
// Work done between two yields to the window.
constexpr size_t kYieldEvery = 64 * 1024;
constexpr char kLineEnd[] = "\r\n";

bool failed(IoError error, Desktop& desktop, bool locking) {
    noteFailure(error);
    showSmallFileError(error, desktop, locking);
    return false;
}

// An unlock that stops: a source changed meanwhile is named as such.
bool failedOrChanged(IoError error, const std::string& path, Desktop& desktop) {
    if (error != IoError::changed) return failed(error, desktop, false);
    showChangedDuringRun(path, desktop, false);
    return false;
}

// Where an unlock writes: the locked name itself for an inner layer, else the
// plain name, which must be free. Empty, with the message shown, when taken.
std::string unlockTarget(const std::string& lockedPath, bool layer, Desktop& desktop) {
    if (layer) return lockedPath;
    std::string plainPath = RestoredName(lockedPath);
    if (!NameTaken(plainPath)) return plainPath;
    showFileExists(plainPath, desktop);
    return {};
}

// Clears the source's attributes, so that it can be removed, and takes its
// status anew (the change moved its change time). False, said, on failure.
bool clearForUnlock(ClearedAttributes& attributes, const std::string& path, FileStatus& asRead,
                    Desktop& desktop) {
    if (IoError e = attributes.clear(); e != IoError::ok) return failed(e, desktop, false);
    if (IoError e = restatAfterOwnChange(path, asRead); e != IoError::ok)
        return failedOrChanged(e, path, desktop);
    return true;
}

// Adds one line to a list file. The list is rewritten whole and swapped in,
// so a crash leaves the old list or the new one, never a torn line. In a
// batch the line goes in with the batch, before its sources are removed.
IoError appendListLine(const std::string& listPath, const std::string& line) {
    if (WriteBatch* batch = WriteBatch::current(); batch && batch->accepts(GetFolderPart(line))) {
        batch->appendLine(listPath, line);
        return IoError::ok;
    }
    return AppendListLines(listPath, {line});
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

// Writes in slices, letting the window paint between two of them.
IoError writeInSlices(AtomicFile& file, const std::string& text, Desktop& desktop) {
    for (size_t at = 0; at < text.size(); at += kYieldEvery) {
        if (IoError e = file.write(text.data() + at, std::min(kYieldEvery, text.size() - at));
            e != IoError::ok)
            return e;
        desktop.yield();
    }
    return IoError::ok;
}

// Store clean-up after an unlock, `path` being the file just written.
void forgetRecord(const std::string& path) {
    std::string record;
    const std::string name = ScrambleName(Trim(path));
    ReadRegValue(RegistryRoot, kLockedVklFile, name, "S", "", record);
    if (!record.empty()) DeleteRegValue(RegistryRoot, kLockedVklFile, name);
}

void showDamaged(const std::string& path, FormatFault fault, Desktop& desktop) {
    desktop.message(damagedFileText(path, describeFault(fault)), Icon::critical, kDamagedFileTitle);
}

// A header that does not verify gets the password message, whatever else is
// wrong; a sound header on a file that breaks a rule, the damaged message.
bool soundAndVerified(const std::string& path, const SmallFormatReader& reader, Desktop& desktop) {
    if (!HeaderVerifies(reader.header())) {
        desktop.message(kWrongPasswordText, Icon::exclamation, kWrongPasswordTitle);
        return false;
    }
    if (reader.fault() != FormatFault::none) {
        showDamaged(path, reader.fault(), desktop);
        return false;
    }
    return true;
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
        return plainStart == kSecretMarker && inner.finish() && HeaderVerifies(inner.header());
    }
};

constexpr size_t kPieceSize = size_t{1} << 20;

IoError streamSmallFile(const std::string& path, Desktop& desktop, AtomicFile* output,
                        StreamedPass& pass) {
    FileSystem& fs = fileSystem();
    FileHandle file = kNoFile;
    if (IoError e = fs.openRead(path, file); e != IoError::ok) return e;
    FileCloser closer(file);
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
        desktop.yield();
    }
    if (!pass.locked.finish(plain)) return IoError::ok;
    return passOn();
}

// A small locked file of any size, never held in memory whole: one pass
// checks it and tells whether an inner layer comes out, a second writes it.
bool decryptStreamed(const std::string& fullFileName, Desktop& desktop) {
    FileStatus asRead;
    if (IoError e = fileSystem().status(fullFileName, asRead); e != IoError::ok)
        return failed(e, desktop, false);
    StreamedPass look;
    if (IoError e = streamSmallFile(fullFileName, desktop, nullptr, look); e != IoError::ok)
        return failed(e, desktop, false);
    if (!soundAndVerified(fullFileName, look.locked.reader(), desktop)) return false;
    const bool layer = look.innerLayer();
    const std::string plainPath = unlockTarget(fullFileName, layer, desktop);
    if (plainPath.empty()) return false;

    ClearedAttributes attributes(fullFileName);
    if (!clearForUnlock(attributes, fullFileName, asRead, desktop)) return false;
    // A batch opens its hold on the volume before anything is written there.
    batchTaking(plainPath, fullFileName);
    AtomicFile restored(plainPath, outputMode(plainPath, fullFileName));
    restored.standInFor(fullFileName, asRead);
    IoError e = restored.open();
    StreamedPass write;
    if (e == IoError::ok) e = streamSmallFile(fullFileName, desktop, &restored, write);
    // Anything else than the first pass saw means the file changed meanwhile.
    if (e == IoError::ok && (write.locked.reader().fault() != FormatFault::none ||
                             !HeaderVerifies(write.locked.reader().header()) || write.innerLayer() != layer))
        e = IoError::alreadyOpen;
    if (e == IoError::ok) e = commitInPlaceOf(restored, fullFileName);
    if (e == IoError::exists) showFileExists(plainPath, desktop);
    if (e != IoError::ok) return failedOrChanged(e, fullFileName, desktop);
    attributes.keepCleared();
    forgetRecord(plainPath);
    return true;
}

}  // namespace

void showSmallFileError(IoError error, Desktop& desktop, bool locking) {
    if (error == IoError::alreadyOpen) {
        desktop.message(locking ? kLockAlreadyOpenText : kUnlockAlreadyOpenText, Icon::critical,
                        kAlreadyOpenTitle);
    } else if (error == IoError::accessDenied) {
        desktop.message(locking ? kLockAccessErrorText : kUnlockAccessErrorText, Icon::critical,
                        kAccessErrorTitle);
    } else if (error != IoError::exists) {  // the caller names an existing file itself
        ReportError(kMainWindowName, errorNumber(error), describe(error),
                    locking ? "Encrypt" : "Decrypt");
    }
}

bool Encrypt(const std::string& fullFileName, Desktop& desktop, bool encryptFilesChosen) {
    if (!FileExists(fullFileName)) return false;
    std::string plain;
    FileStatus asRead;
    if (IoError e = readWholeSource(fullFileName, plain, asRead); e != IoError::ok)
        return failed(e, desktop, true);
    // A locked file locked again keeps its name and gains a layer. A file
    // that is only named like one is plain: it gets a locked name of its own,
    // or its unlock would not tell it from a layer and would rename it.
    const bool lockedContent = isSoundSmallLockedFile(plain.data(), plain.size());
    const bool layer = lockedContent && ToUpper(GetExtension(fullFileName)) == "VKL";
    if (lockedContent && !layer) {
        desktop.message(lockedContentText(fullFileName), Icon::critical);
        return false;
    }

    const std::string header = MakeLockedHeader();
    Cipher cipher;
    cipher.KeyString(header);
    cipher.Text(std::move(plain));
    cipher.DoXor();
    cipher.Stretch();
    std::string text = lockedText(header, cipher.TakeText());

    const std::string lockedPath = layer ? fullFileName : LockedName(fullFileName, ".VKL");
    if (!layer && NameTaken(lockedPath)) {
        showFileExists(lockedPath, desktop);
        return false;
    }

    constexpr uint32_t kLockedAttributes = kAttrReadOnly | kAttrHidden;
    IoError e = IoError::ok;
    if (WriteBatch* batch = batchTaking(lockedPath, fullFileName)) {
        // Listed before the plain file goes, as below.
        if (encryptFilesChosen) batch->appendLine(applicationFile("files"), lockedPath);
        batch->adoptContent(lockedPath, fullFileName, asRead, std::move(text), kLockedAttributes);
    } else {
        AtomicFile locked(lockedPath, outputMode(lockedPath, fullFileName));
        locked.standInFor(fullFileName, asRead);
        e = locked.open();
        if (e == IoError::ok) e = writeInSlices(locked, text, desktop);
        locked.setAttributes(kLockedAttributes);
        // Listed before the plain file goes: a line whose file is missing is
        // dropped when the list is next read, a locked file missing from it is not.
        if (e == IoError::ok && encryptFilesChosen)
            e = appendListLine(applicationFile("files"), lockedPath);
        if (e == IoError::ok) e = commitInPlaceOf(locked, fullFileName);
        if (e == IoError::exists) showFileExists(lockedPath, desktop);
        if (e == IoError::changed) {
            showChangedDuringRun(fullFileName, desktop, true);
            return false;
        }
        if (e != IoError::ok) return failed(e, desktop, true);
    }

    WriteRegValue(RegistryRoot, kLockedVklFile, ScrambleName(Trim(fullFileName)), "S",
                  ScrambleName(Trim(lockedPath)));
    return true;
}

namespace {

// Reads, checks and unlocks a small locked file in memory. False, with the
// reason shown, when the file is to be kept.
bool readUnlocked(const std::string& fullFileName, Desktop& desktop, std::string& plain,
                  FileStatus& asRead) {
    std::string content;
    if (IoError e = readWholeSource(fullFileName, content, asRead); e != IoError::ok)
        return failed(e, desktop, false);
    if (content.empty()) return false;  // no header line to read
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
    if (!soundAndVerified(fullFileName, reader, desktop)) return false;

    Cipher cipher;
    cipher.KeyString(reader.header());
    return cipher.ShrinkXorPiece(body.data(), body.size(), plain);
}

// The streamed unlock, and the last word when even its few pieces find no memory.
bool decryptInPieces(const std::string& fullFileName, Desktop& desktop) {
    try {
        return decryptStreamed(fullFileName, desktop);
    } catch (const std::bad_alloc&) {
        desktop.message(outOfMemoryText(fullFileName), Icon::critical, kOutOfMemoryTitle);
        return false;
    }
}

}  // namespace

bool Decrypt(const std::string& fullFileName, Desktop& desktop) {
    FileStatus status;
    if (IoError e = fileSystem().status(fullFileName, status); e != IoError::ok)
        return failed(e, desktop, false);
    if (status.size > kSmallFileInMemoryLimit) return decryptInPieces(fullFileName, desktop);
    std::string plain;
    FileStatus asRead;
    try {
        if (!readUnlocked(fullFileName, desktop, plain, asRead)) return false;
    } catch (const std::bad_alloc&) {
        // Nothing is written yet, and in pieces the unlock needs little memory.
        return decryptInPieces(fullFileName, desktop);
    }

    // An inner layer keeps the locked name; plain content gets its own back,
    // even when it only begins like a locked file.
    const bool layer = isSoundSmallLockedFile(plain.data(), plain.size());
    const std::string plainPath = unlockTarget(fullFileName, layer, desktop);
    if (plainPath.empty()) return false;

    ClearedAttributes attributes(fullFileName);
    if (!clearForUnlock(attributes, fullFileName, asRead, desktop)) return false;
    if (WriteBatch* batch = batchTaking(plainPath, fullFileName)) {
        batch->adoptContent(plainPath, fullFileName, asRead, std::move(plain), kAttrNormal);
    } else {
        AtomicFile restored(plainPath, outputMode(plainPath, fullFileName));
        restored.standInFor(fullFileName, asRead);
        IoError e = restored.open();
        if (e == IoError::ok) e = writeInSlices(restored, plain, desktop);
        if (e == IoError::ok) e = commitInPlaceOf(restored, fullFileName);
        if (e == IoError::exists) showFileExists(plainPath, desktop);
        if (e == IoError::changed) {
            showChangedDuringRun(fullFileName, desktop, false);
            return false;
        }
        if (e != IoError::ok) return failed(e, desktop, false);
    }
    attributes.keepCleared();
    forgetRecord(plainPath);
    return true;
}

}  // namespace vellumar
