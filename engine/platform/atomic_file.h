#pragma once
// Writes a file so that a crash leaves either the old state or the complete
// new file, never a partial file under the final name: write a temporary in
// the same folder, flush it, give it its final name, flush the folder.

#include <cstdint>
#include <string>

#include "engine/platform/file_system.h"

namespace vellumar {

class AtomicFile {
public:
    // How commit() treats an existing file under the final name.
    enum class Mode { keepExisting, replaceExisting };

    explicit AtomicFile(std::string finalPath, Mode mode = Mode::keepExisting);
    // Discards the temporary unless commit() succeeded.
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // The new file will stand in for `source`, as it was when it was opened
    // for reading: the new file takes its permissions, and the source is
    // removed only while it is still that file, unchanged.
    void standInFor(std::string source, const FileStatus& asRead) {
        source_ = std::move(source);
        sourceAsRead_ = asRead;
    }
    // What else the new file takes from its source. Lock: the plain file's
    // modification time, and its own attributes `plainAttributes` (as they
    // were before the run cleared them) carried with its attribute record.
    // Unlock: the modification time and what the locked file carries, its
    // attributes among them (added to any set with setAttributes()).
    enum class Traits { none, carry, restore };
    void keepTraits(Traits traits, uint32_t plainAttributes = kAttrNormal) {
        traits_ = traits;
        plainAttributes_ = plainAttributes;
    }
    // A new file that stands in for none: it gets the permissions a
    // person's new file would (FileSystem::useNewFilePermissions) rather
    // than stay private to the program.
    void openToOthersAsNew() { asNewFile_ = true; }
    const std::string& source() const { return source_; }
    const FileStatus& sourceAsRead() const { return sourceAsRead_; }
    // Creates the temporary (exclusively) beside the final name.
    IoError open();
    IoError write(const char* data, size_t size);
    IoError write(const std::string& data) { return write(data.data(), data.size()); }
    // Copies `size` bytes from the current position of an open file.
    IoError copyFrom(FileHandle source, uint64_t size);
    // Attributes the final file gets; applied before it takes its name.
    void setAttributes(uint32_t attributes) { attributes_ = attributes; }

    // Gives the file its permissions, flushes, closes, names and flushes the
    // folder: the commit point. With keepExisting an existing final name
    // fails with IoError::exists.
    IoError commit();
    // Deletes the temporary now (also done by the destructor).
    void discard();
    // For a write batch, which names the file later: gives it its
    // permissions, closes the temporary unflushed, applies the attributes and
    // hands over its path. The destructor then leaves it alone.
    IoError handOver(std::string& temporaryPath);

    // True once the file holds its final name (even if the folder flush then failed).
    bool committed() const { return committed_; }
    const std::string& finalPath() const { return finalPath_; }
    uint64_t bytesWritten() const { return bytesWritten_; }
    const std::string& temporaryPath() const { return temporaryPath_; }
    uint32_t attributes() const { return attributes_ | restoredAttributes_; }

private:
    // Best effort, like the bits themselves on a file system without
    // extended attributes: a file that cannot take them keeps its content.
    void takeTraits();
    void takeTimes();
    // The source's permissions, or a person's new file's; after the last write.
    IoError takePermissions();

    std::string finalPath_;
    std::string temporaryPath_;
    std::string source_;
    FileStatus sourceAsRead_;
    Mode mode_;
    FileHandle file_ = kNoFile;
    uint32_t attributes_ = kAttrNormal;
    Traits traits_ = Traits::none;
    uint32_t plainAttributes_ = kAttrNormal;
    uint32_t restoredAttributes_ = kAttrNormal;
    bool committed_ = false;
    bool asNewFile_ = false;
    uint64_t bytesWritten_ = 0;
};

// Temporaries carry this prefix and suffix, and the file system's mark
// holding their own name where it keeps one (FileSystem::markTemporary).
constexpr const char* kTemporaryPrefix = ".tessarin-";
constexpr const char* kTemporarySuffix = ".tmp";
// Named like a temporary: it may still be a person's file.
bool isTemporaryName(const std::string& fileName);

enum class TemporaryOwner {
    none,     // not provably ours: a file like any other
    running,  // named by a process still running: maybe its temporary, left alone
    ended,    // ours, left by a writer that ended (a crash): the file it was
              // to replace still stands, so it can go
};
// Whose temporary the file at `path` is. Only a name this writer makes
// counts, and a leftover only when it carries the mark holding that very name.
TemporaryOwner temporaryOwner(const std::string& path);
// A new file that took its final name needs its temporary's mark no more,
// read-only or not (the mark would travel with its copies). Best effort: a
// mark left over names a temporary that is no more, which makes nothing ours.
void dropTemporaryMark(const std::string& path);

}  // namespace vellumar
