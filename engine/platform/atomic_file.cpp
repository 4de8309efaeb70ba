#include "engine/platform/atomic_file.h"

#include <atomic>
#include <chrono>

#include "engine/platform/paths.h"
#include "engine/platform/platform.h"

#ifdef _WIN32
#include <process.h>
#define getpid _getpid
#else
#include <unistd.h>
#endif

namespace vellumar {
namespace {

std::string temporaryName() {
    static std::atomic<unsigned> counter{0};
    auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
    return std::string(kTemporaryPrefix) + std::to_string(getpid()) + "-" +
           std::to_string(static_cast<unsigned long long>(ticks) % 1000000007ULL) + "-" +
           std::to_string(counter++) + kTemporarySuffix;
}

}  // namespace

void dropTemporaryMark(const std::string& path) {
    fileSystem().unmarkTemporary(path);
}

bool isTemporaryName(const std::string& fileName) {
    const std::string prefix = kTemporaryPrefix, suffix = kTemporarySuffix;
    return fileName.size() > prefix.size() + suffix.size() &&
           fileName.compare(0, prefix.size(), prefix) == 0 &&
           fileName.compare(fileName.size() - suffix.size(), suffix.size(), suffix) == 0;
}

TemporaryOwner temporaryOwner(const std::string& path) {
    const std::string fileName = getFileName(path);
    if (!isTemporaryName(fileName)) return TemporaryOwner::none;
    // Only the names this writer makes: <prefix><process>-<ticks>-<counter><suffix>,
    // three runs of digits.
    const std::string prefix = kTemporaryPrefix, suffix = kTemporarySuffix;
    const std::string middle =
        fileName.substr(prefix.size(), fileName.size() - prefix.size() - suffix.size());
    unsigned long long processId = 0;
    size_t at = 0;
    for (int run = 0; run < 3; ++run) {
        const size_t start = at;
        for (; at < middle.size() && middle[at] >= '0' && middle[at] <= '9'; ++at) {
            if (at - start >= 19) return TemporaryOwner::none;  // longer than any we write
            if (run == 0) processId = processId * 10 + static_cast<unsigned>(middle[at] - '0');
        }
        if (at == start) return TemporaryOwner::none;
        if (run < 2 && (at >= middle.size() || middle[at++] != '-')) return TemporaryOwner::none;
    }
    if (at != middle.size()) return TemporaryOwner::none;
    // While the process the name gives runs, the file may be its temporary,
    // marked or not (where the file system keeps no mark): it is left alone.
    if (processIsRunning(processId)) return TemporaryOwner::running;
    // Only the mark makes a leftover ours: a person's file never carries it,
    // and one that could not be marked stays (clutter beats a lost file).
    std::string mark;
    if (fileSystem().temporaryMark(path, mark) != IoError::ok || mark != fileName)
        return TemporaryOwner::none;
    return TemporaryOwner::ended;
}

AtomicFile::AtomicFile(std::string finalPath, Mode mode)
    : finalPath_(std::move(finalPath)), mode_(mode) {}

AtomicFile::~AtomicFile() { discard(); }

IoError AtomicFile::open() {
    FileSystem& fs = fileSystem();
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporaryPath_ = getFolderPart(finalPath_) + temporaryName();
        // Marked from the start, before it may lose its write permission.
        // Where the file system keeps no mark, a leftover is never removed:
        // clutter, not loss.
        IoError e = fs.createTemporary(temporaryPath_, getFileName(temporaryPath_), file_);
        // While the new file is still its writer's own, and writable. Its
        // permissions wait for its content to be complete (takePermissions).
        if (e == IoError::ok) {
            takeTraits();
            return e;
        }
        if (file_ != kNoFile) discard();  // created, but it could not be marked
        if (e != IoError::exists) {
            temporaryPath_.clear();
            return e;
        }
    }
    temporaryPath_.clear();
    return IoError::exists;
}

IoError AtomicFile::write(const char* data, size_t size) {
    if (file_ == kNoFile) return IoError::other;
    bytesWritten_ += size;
    return fileSystem().write(file_, data, size);
}

IoError AtomicFile::copyFrom(FileHandle source, uint64_t size) {
    if (file_ == kNoFile) return IoError::other;
    bytesWritten_ += size;
    return fileSystem().copy(source, file_, size);
}

void AtomicFile::takeTraits() {
    restoredAttributes_ = kAttrNormal;
    if (traits_ == Traits::carry)
        fileSystem().carryPlainTraits(source_, plainAttributes_, file_);
    else if (traits_ == Traits::restore)
        fileSystem().restorePlainTraits(source_, file_, restoredAttributes_);
}

void AtomicFile::takeTimes() {
    // After the last write, which would move it again.
    if (traits_ != Traits::none) fileSystem().copyTimes(source_, file_);
}

IoError AtomicFile::takePermissions() {
    // Private (0600, as created) while written: plain content is never
    // readable by others before it is whole, whatever mode it ends with.
    if (!source_.empty()) return fileSystem().copyPermissions(source_, file_);
    if (asNewFile_) return fileSystem().useNewFilePermissions(file_);
    return IoError::ok;
}

IoError AtomicFile::commit() {
    FileSystem& fs = fileSystem();
    if (file_ == kNoFile) return IoError::other;
    takeTimes();
    if (IoError e = takePermissions(); e != IoError::ok) return e;
    if (IoError e = fs.flush(file_); e != IoError::ok) return e;
    FileHandle file = file_;
    file_ = kNoFile;
    if (IoError e = fs.close(file); e != IoError::ok) return e;
    if (const uint32_t attributes = this->attributes(); attributes != kAttrNormal) {
        if (IoError e = fs.setAttributes(temporaryPath_, attributes); e != IoError::ok) return e;
    }
    // Taking the place of its own source: only while that is still the file
    // that was read, unchanged.
    if (mode_ == Mode::replaceExisting && source_ == finalPath_) {
        FileStatus now;
        if (IoError e = fs.status(source_, now); e != IoError::ok) return e;
        if (!sameUnchanged(sourceAsRead_, now)) return IoError::changed;
    }
    IoError named = mode_ == Mode::replaceExisting ? fs.replace(temporaryPath_, finalPath_)
                                                   : fs.rename(temporaryPath_, finalPath_);
    if (named != IoError::ok) return named;
    committed_ = true;
    // Marked until it has its name: a crash before leaves a temporary the
    // next run in its folder knows for ours (a list kept among the person's
    // files would otherwise be taken for one of them). Named, it needs the
    // mark no more: one left by a crash names a temporary that is no more,
    // which makes nothing ours.
    dropTemporaryMark(finalPath_);
    // The new name is what makes the file count; make it durable before any
    // caller deletes the source.
    return fs.flushFolder(getFolderPart(finalPath_));
}

IoError AtomicFile::handOver(std::string& temporaryPath) {
    FileSystem& fs = fileSystem();
    if (file_ == kNoFile) return IoError::other;
    takeTimes();
    if (IoError e = takePermissions(); e != IoError::ok) return e;
    FileHandle file = file_;
    file_ = kNoFile;
    if (IoError e = fs.close(file); e != IoError::ok) return e;
    if (const uint32_t attributes = this->attributes(); attributes != kAttrNormal) {
        if (IoError e = fs.setAttributes(temporaryPath_, attributes); e != IoError::ok) return e;
    }
    temporaryPath = std::move(temporaryPath_);
    temporaryPath_.clear();
    return IoError::ok;
}

void AtomicFile::discard() {
    FileSystem& fs = fileSystem();
    if (file_ != kNoFile) {
        fs.close(file_);
        file_ = kNoFile;
    }
    if (!committed_ && !temporaryPath_.empty()) {
        if (attributes() & kAttrReadOnly) fs.setAttributes(temporaryPath_, kAttrNormal);
        fs.removeFile(temporaryPath_);
        temporaryPath_.clear();
    }
}

}  // namespace vellumar
