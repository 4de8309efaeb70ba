#include "locking/leftover_pairs.h"

#include <algorithm>

#include "engine/cipher.h"
#include "engine/file_system.h"
#include "engine/large_file.h"
#include "engine/locked_header.h"
#include "engine/names.h"
#include "engine/rc4.h"
#include "engine/transfer.h"

namespace vellumar {
namespace {

constexpr uint64_t kLineLength = 70;
// Compared in slices of this many bytes, so a large file never sits in memory.
constexpr size_t kCompareSlice = 1 << 20;

bool hasExtension(const std::string& path, const char* extension) {
    return ToUpper(GetExtension(path)) == extension;
}

bool isFile(const std::string& path, FileStatus& status) {
    return fileSystem().status(path, status) == IoError::ok && status.kind == EntryKind::file;
}

// The length of the small locked file the program makes of `plainLength`
// bytes: the header line, then the stretched body in lines of 70, each line
// ended by CR LF (an empty body still gets one line).
uint64_t smallLockedLength(uint64_t plainLength) {
    const uint64_t body = stretchedLength(plainLength);
    const uint64_t lines = body == 0 ? 1 : (body + kLineLength - 1) / kLineLength;
    return kHeaderLength + 2 + body + 2 * lines;
}

bool smallHoldsPlain(const std::string& lockedPath, const std::string& plainPath) {
    FileStatus lockedStatus, plainStatus;
    if (!isFile(lockedPath, lockedStatus) || !isFile(plainPath, plainStatus) ||
        lockedStatus.size != smallLockedLength(plainStatus.size))
        return false;
    std::string locked, plain;
    if (readWholeFile(lockedPath, locked) != IoError::ok ||
        readWholeFile(plainPath, plain) != IoError::ok ||
        locked.size() != smallLockedLength(plain.size()))
        return false;
    const std::string header = locked.substr(0, kHeaderLength);
    if (!HeaderVerifies(header) || locked.compare(kHeaderLength, 2, "\r\n") != 0) return false;
    std::string body;
    body.reserve(locked.size());
    for (size_t at = kHeaderLength + 2; at < locked.size();) {
        const size_t end = locked.find("\r\n", at);
        if (end == std::string::npos) return false;
        body.append(locked, at, end - at);
        at = end + 2;
    }
    if (!isStretchedText(body.data(), body.size())) return false;
    Cipher cipher;
    cipher.KeyString(header);
    cipher.Text(std::move(body));
    cipher.Shrink();
    cipher.DoXor();
    return cipher.Text() == plain;
}

IoError readSlice(FileHandle file, std::string& slice, size_t size) {
    slice.resize(size);
    return readExactly(file, slice.data(), size);
}

bool largeHoldsPlain(const std::string& lockedPath, const std::string& plainPath) {
    FileSystem& fs = fileSystem();
    FileStatus lockedStatus, plainStatus;
    if (!isFile(lockedPath, lockedStatus) || !isFile(plainPath, plainStatus) ||
        lockedStatus.size != kHeaderLength + 1 + plainStatus.size)
        return false;
    FileHandle locked = kNoFile, plain = kNoFile;
    if (fs.openRead(lockedPath, locked) != IoError::ok) return false;
    FileCloser closeLocked(locked);
    if (fs.openRead(plainPath, plain) != IoError::ok) return false;
    FileCloser closePlain(plain);

    std::string header, a, b;
    if (readSlice(locked, header, kHeaderLength + 1) != IoError::ok || header.back() != '\r' ||
        !HeaderVerifies(header.substr(0, kHeaderLength)))
        return false;
    // The leading remainder went through RC4; the full chunks are as they were.
    const size_t head = plainStatus.size % kChunkSize;
    if (readSlice(locked, a, head) != IoError::ok || readSlice(plain, b, head) != IoError::ok ||
        Rc4Crypt(std::move(a), kLargeFileHeadKey) != b)
        return false;
    for (uint64_t left = plainStatus.size - head; left > 0;) {
        const size_t slice = static_cast<size_t>(std::min<uint64_t>(left, kCompareSlice));
        if (readSlice(locked, a, slice) != IoError::ok ||
            readSlice(plain, b, slice) != IoError::ok || a != b)
            return false;
        left -= slice;
    }
    return true;
}

}  // namespace

bool LockedHoldsPlainContent(const std::string& lockedPath, const std::string& plainPath) {
    if (hasExtension(lockedPath, "VKW")) return largeHoldsPlain(lockedPath, plainPath);
    return hasExtension(lockedPath, "VKL") && smallHoldsPlain(lockedPath, plainPath);
}

LeftoverPairs::LeftoverPairs(const std::vector<std::string>& rows, bool locking)
    : locking_(locking), rows_(rows.begin(), rows.end()) {}

bool LeftoverPairs::finish(const std::string& path) {
    FileSystem& fs = fileSystem();
    FileStatus plain, locked;
    std::string plainPath, lockedPath;
    if (locking_) {
        if (!isFile(path, plain)) return false;
        plainPath = path;
        lockedPath = LockedName(path, plain.size < kLargeFileThreshold ? ".VKL" : ".VKW");
        if (rows_.count(lockedPath) || !isFile(lockedPath, locked)) return false;
    } else {
        if (!hasExtension(path, "VKL") && !hasExtension(path, "VKW")) return false;
        lockedPath = path;
        plainPath = RestoredName(path);
        if (!isFile(plainPath, plain) || !isFile(lockedPath, locked)) return false;
    }
    if (!LockedHoldsPlainContent(lockedPath, plainPath)) return false;

    // The kept side got its name only after its content was flushed (that is
    // the order of every lock and unlock), so it stands on its own.
    const std::string& leftover = locking_ ? plainPath : lockedPath;
    const FileStatus& before = locking_ ? plain : locked;
    FileStatus now;
    if (fs.status(leftover, now) != IoError::ok || !sameUnchanged(before, now)) return false;
    // A locked file is read-only (and listed as hidden): normal first, as an unlock does.
    if (!locking_) fs.setAttributes(leftover, kAttrNormal);
    if (fs.removeFile(leftover) != IoError::ok) return false;
    if (const std::string folder = GetFolderPart(leftover); !folder.empty()) fs.flushFolder(folder);
    return true;
}

}  // namespace vellumar
