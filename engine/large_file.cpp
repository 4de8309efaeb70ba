#include "engine/large_file.h"

#include <algorithm>
#include <string_view>

#include "engine/atomic_file.h"
#include "engine/cipher.h"
#include "engine/engine_messages.h"
#include "engine/file_system.h"
#include "engine/locked_header.h"
#include "engine/names.h"
#include "engine/rc4.h"
#include "engine/registry_store.h"
#include "engine/transfer.h"

namespace vellumar {
namespace {

const std::string kHeadKey = "quorvelin";
// The unchanged chunks are copied in slices of this many bytes, yielding to
// the window between two slices.
constexpr uint64_t kCopySlice = 32 * kChunkSize;

bool failed(IoError error, const char* procedure) {
    ReportError(kMainWindowName, errorNumber(error), describe(error), procedure);
    return false;
}

// Copies `size` bytes from the current position of `source` to the output.
IoError copyUnchanged(FileHandle source, AtomicFile& output, uint64_t size, Desktop& desktop) {
    while (size > 0) {
        const uint64_t slice = std::min(size, kCopySlice);
        if (IoError e = output.copyFrom(source, slice); e != IoError::ok) return e;
        size -= slice;
        desktop.yield();
    }
    return IoError::ok;
}

// The first line of a locked file, read up to its CR: its leading characters
// (all that the header check needs), its length, and the bytes read past it.
struct HeaderLine {
    std::string start;
    uint64_t length = 0;
    bool ended = false;
    std::string after;
};

IoError readHeaderLine(FileHandle file, HeaderLine& line) {
    std::string block(kChunkSize, '\0');
    for (;;) {
        size_t got = 0;
        if (IoError e = fileSystem().read(file, block.data(), block.size(), got); e != IoError::ok)
            return e;
        if (got == 0) return IoError::ok;
        const size_t cr = std::string_view(block.data(), got).find('\r');
        const size_t inLine = cr < got ? cr : got;
        if (line.start.size() < kHeaderLength)
            line.start.append(block, 0, std::min(inLine, kHeaderLength - line.start.size()));
        line.length += inLine;
        if (cr < got) {
            line.ended = true;
            line.after.assign(block, cr + 1, got - cr - 1);
            return IoError::ok;
        }
    }
}

}  // namespace

bool BigEncrypt(const std::string& fullFileName, Desktop& desktop) {
    constexpr const char* kProcedure = "BigEncription";
    if (!FileExists(fullFileName)) return false;
    if (ToUpper(GetExtension(fullFileName)) == "VKW") {
        desktop.message(kAlreadyLockedText, Icon::none);
        return false;
    }
    const std::string header = MakeLockedHeader();
    const std::string lockedPath = LockedName(fullFileName, ".VKW");
    if (NameTaken(lockedPath)) {
        showFileExists(lockedPath, desktop);
        return false;
    }

    FileSystem& fs = fileSystem();
    FileStatus status;
    if (IoError e = fs.status(fullFileName, status); e != IoError::ok) return failed(e, kProcedure);
    const uint64_t length = status.size;
    if (length == 0) return false;  // the callers never send an empty file here
    FileHandle plain = kNoFile;
    if (IoError e = fs.openRead(fullFileName, plain); e != IoError::ok)
        return failed(e, kProcedure);
    FileCloser closePlain(plain);

    // A batch opens its hold on the volume before anything is written there.
    batchTaking(lockedPath, fullFileName);
    AtomicFile locked(lockedPath);
    locked.standInFor(fullFileName, status);
    IoError e = locked.open();
    if (e == IoError::ok) e = locked.write(header + '\r');
    // Only the part below one chunk is transformed; the chunks follow as they are.
    std::string head(length % kChunkSize, '\0');
    if (e == IoError::ok) e = readExactly(plain, head.data(), head.size());
    if (e == IoError::ok) e = locked.write(Rc4Crypt(std::move(head), kHeadKey));
    if (e == IoError::ok) e = copyUnchanged(plain, locked, length - length % kChunkSize, desktop);
    // A file that grew meanwhile (a log being written) would lose its end.
    if (FileStatus now; e == IoError::ok && (fs.status(fullFileName, now) != IoError::ok ||
                                             now.size != length))
        e = IoError::alreadyOpen;
    if (e == IoError::ok) {
        // Closed before the plain file is removed (Windows refuses to remove an open file).
        e = fs.close(plain);
        plain = kNoFile;
    }
    locked.setAttributes(kAttrReadOnly | kAttrHidden);
    if (e == IoError::ok) e = commitInPlaceOf(locked, fullFileName);
    if (e == IoError::exists) showFileExists(lockedPath, desktop);
    if (e == IoError::changed) {
        showChangedDuringRun(fullFileName, desktop, true);
        return false;
    }
    if (e != IoError::ok) return failed(e, kProcedure);

    WriteRegValue(RegistryRoot, kLockedVkwFile, ScrambleName(Trim(fullFileName)), "S",
                  ScrambleName(Trim(lockedPath)));
    return true;
}

bool BigDecrypt(const std::string& fullFileName, Desktop& desktop) {
    constexpr const char* kProcedure = "BigDecrypt";
    FileSystem& fs = fileSystem();
    // Normal attributes first, so the file can be removed later; they are
    // not put back when the unlock stops.
    if (IoError e = fs.setAttributes(fullFileName, kAttrNormal); e != IoError::ok)
        return failed(e, kProcedure);
    FileStatus status;
    if (IoError e = fs.status(fullFileName, status); e != IoError::ok) return failed(e, kProcedure);
    const uint64_t length = status.size;
    if (length == 0) return false;  // no header line to read
    FileHandle source = kNoFile;
    if (IoError e = fs.openRead(fullFileName, source); e != IoError::ok)
        return failed(e, kProcedure);
    FileCloser closeSource(source);

    HeaderLine line;
    if (IoError e = readHeaderLine(source, line); e != IoError::ok) return failed(e, kProcedure);
    if (!HeaderVerifies(line.start)) {
        desktop.message(kWrongPasswordText, Icon::exclamation, kWrongPasswordTitle);
        return false;
    }
    // The header, its CR and at least one byte of content, or the file was cut short.
    const uint64_t headerBytes = line.length + 1;
    if (!line.ended || length <= headerBytes) {
        desktop.message(damagedFileText(fullFileName), Icon::critical, kDamagedFileTitle);
        return false;
    }
    const uint64_t contentLength = length - headerBytes;

    const std::string plainPath = RestoredName(fullFileName);
    if (NameTaken(plainPath)) {
        showFileExists(plainPath, desktop);
        return false;
    }

    batchTaking(plainPath, fullFileName);
    AtomicFile restored(plainPath);
    restored.standInFor(fullFileName, status);
    IoError e = restored.open();
    // Part of the content came with the header line's block; the rest is read on.
    std::string head = std::move(line.after);
    const size_t headLength = contentLength % kChunkSize;
    std::string unchanged;
    if (head.size() > headLength) {
        unchanged = head.substr(headLength, contentLength - headLength);
        head.resize(headLength);
    }
    const size_t already = head.size();
    head.resize(headLength);
    if (e == IoError::ok) e = readExactly(source, head.data() + already, headLength - already);
    if (e == IoError::ok) e = restored.write(Rc4Crypt(std::move(head), kHeadKey));
    if (e == IoError::ok) e = restored.write(unchanged);
    if (e == IoError::ok)
        e = copyUnchanged(source, restored, contentLength - headLength - unchanged.size(), desktop);
    if (e == IoError::ok) {
        e = fs.close(source);
        source = kNoFile;
    }
    if (e == IoError::ok) e = commitInPlaceOf(restored, fullFileName);
    if (e == IoError::exists) showFileExists(plainPath, desktop);
    if (e == IoError::changed) {
        showChangedDuringRun(fullFileName, desktop, false);
        return false;
    }
    if (e != IoError::ok) return failed(e, kProcedure);

    std::string record;
    const std::string name = ScrambleName(Trim(plainPath));
    ReadRegValue(RegistryRoot, kLockedVkwFile, name, "S", "", record);
    if (!record.empty()) DeleteRegValue(RegistryRoot, kLockedVkwFile, name);
    return true;
}

}  // namespace vellumar
