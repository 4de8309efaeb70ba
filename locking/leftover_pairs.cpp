#include "locking/leftover_pairs.h"

#include <algorithm>
#include <new>

#include "engine/platform/file_system.h"
#include "engine/platform/kept_attributes.h"
#include "engine/formats/large_file.h"
#include "engine/formats/locked_format.h"
#include "engine/formats/locked_header.h"
#include "engine/formats/locked_kind.h"
#include "engine/platform/paths.h"
#include "engine/formats/rc4.h"
#include "engine/formats/small_unlock_stream.h"
#include "engine/runs/transfer.h"

namespace vellumar {
namespace {

constexpr uint64_t kLineLength = 70;
// Read and compared in pieces of this many bytes, so that neither file ever
// sits in memory whole, however long it is.
constexpr size_t kComparePiece = size_t{1} << 20;

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

IoError readSlice(FileHandle file, std::string& slice, size_t size) {
    slice.resize(size);
    return readExactly(file, slice.data(), size);
}

// Whether nothing is left to read.
bool atEnd(FileHandle file) {
    char extra = 0;
    size_t got = 0;
    return fileSystem().read(file, &extra, 1, got) == IoError::ok && got == 0;
}

// The plain file read along with what the locked file unlocks to: the next
// bytes of each must be the same. It also tells whether the plain content is
// itself a sound locked file, which the unlock would take for an inner layer
// and leave under the locked name.
class PlainSide {
  public:
    explicit PlainSide(FileHandle file) : file_(file) {}

    bool matches(const std::string& unlocked) {
        if (readSlice(file_, slice_, unlocked.size()) != IoError::ok || slice_ != unlocked)
            return false;
        if (start_.size() < kSecretMarker.size())
            start_.append(unlocked, 0, kSecretMarker.size() - start_.size());
        asLocked_.take(unlocked.data(), unlocked.size(), nullptr);
        return true;
    }
    bool isInnerLayer() {
        return start_ == kSecretMarker && asLocked_.finish() && headerVerifies(asLocked_.header());
    }

  private:
    FileHandle file_;
    std::string slice_, start_;
    SmallFormatReader asLocked_;
};

// Unlocks the small locked file piece by piece, with every check of the
// unlock itself (each rule of the format, the header, the shrink), and
// compares each piece with the plain file as it goes.
bool smallHoldsPlain(const std::string& lockedPath, const std::string& plainPath) {
    FileSystem& fs = fileSystem();
    FileStatus lockedStatus, plainStatus;
    if (!isFile(lockedPath, lockedStatus) || !isFile(plainPath, plainStatus) ||
        lockedStatus.size != smallLockedLength(plainStatus.size))
        return false;
    FileHandle locked = kNoFile, plain = kNoFile;
    if (fs.openRead(lockedPath, locked) != IoError::ok) return false;
    FileCloser closeLocked(locked);
    if (fs.openRead(plainPath, plain) != IoError::ok) return false;
    FileCloser closePlain(plain);

    SmallUnlockStream stream;
    PlainSide plainSide(plain);
    std::string piece(kComparePiece, '\0'), unlocked;
    for (;;) {
        size_t got = 0;
        if (fs.read(locked, piece.data(), piece.size(), got) != IoError::ok) return false;
        if (got == 0) break;
        unlocked.clear();
        if (!stream.take(piece.data(), got, unlocked) || !plainSide.matches(unlocked)) return false;
    }
    unlocked.clear();
    return stream.finish(unlocked) && plainSide.matches(unlocked) && atEnd(plain) &&
           !plainSide.isInnerLayer();
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

    std::string start, a, b;
    if (readSlice(locked, start, kHeaderLength + 1) != IoError::ok ||
        !headerVerifies(start.substr(0, kHeaderLength)) ||
        checkLargeLockedStart(start.data(), start.size(), lockedStatus.size) != FormatFault::none)
        return false;
    // The leading remainder went through RC4; the full chunks are as they were.
    const size_t head = plainStatus.size % kChunkSize;
    if (readSlice(locked, a, head) != IoError::ok || readSlice(plain, b, head) != IoError::ok ||
        rc4Crypt(std::move(a), kLargeFileHeadKey) != b)
        return false;
    for (uint64_t left = plainStatus.size - head; left > 0;) {
        const size_t slice = static_cast<size_t>(std::min<uint64_t>(left, kComparePiece));
        if (readSlice(locked, a, slice) != IoError::ok ||
            readSlice(plain, b, slice) != IoError::ok || a != b)
            return false;
        left -= slice;
    }
    return atEnd(locked) && atEnd(plain);
}

// Takes the leftover away. A locked file is read-only, which only Windows
// holds against its removal; the attributes come back when it stays.
bool removeLeftover(const std::string& path, bool locked) {
    FileSystem& fs = fileSystem();
#ifdef _WIN32
    ClearedAttributes attributes(path);
    if (locked && attributes.clear() != IoError::ok) return false;
    if (fs.removeFile(path) != IoError::ok) return false;
    attributes.keepCleared();
#else
    (void)locked;
    if (fs.removeFile(path) != IoError::ok) return false;
#endif
    if (const std::string folder = getFolderPart(path); !folder.empty()) fs.flushFolder(folder);
    return true;
}

}  // namespace

bool lockedHoldsPlainContent(const std::string& lockedPath, const std::string& plainPath) {
    try {
        const LockedKind kind = markedKindOf(lockedPath);
        if (kind == LockedKind::large) return largeHoldsPlain(lockedPath, plainPath);
        return kind == LockedKind::small && smallHoldsPlain(lockedPath, plainPath);
    } catch (const std::bad_alloc&) {
        return false;  // not even a few pieces fit: both files stay
    }
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
        lockedPath =
            lockedName(path, plain.size < kLargeFileThreshold ? kSmallExtension : kLargeExtension);
        if (rows_.count(lockedPath) || !isFile(lockedPath, locked)) return false;
    } else {
        const LockedKind kind = markedKindOf(path);
        if (kind != LockedKind::small && kind != LockedKind::large) return false;
        lockedPath = path;
        plainPath = restoredName(path);
        if (!isFile(plainPath, plain) || !isFile(lockedPath, locked)) return false;
    }
    if (!lockedHoldsPlainContent(lockedPath, plainPath)) return false;

    // The kept side got its name only after its content was flushed (that is
    // the order of every lock and unlock), so it stands on its own.
    const std::string& leftover = locking_ ? plainPath : lockedPath;
    const FileStatus& before = locking_ ? plain : locked;
    FileStatus now;
    if (fs.status(leftover, now) != IoError::ok || !sameUnchanged(before, now)) return false;
    return removeLeftover(leftover, !locking_);
}

}  // namespace vellumar
