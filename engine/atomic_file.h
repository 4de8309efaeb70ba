#pragma once
// Writes a file so that a crash leaves either the old state or the complete
// new file, never a partial file under the final name: write a temporary in
// the same folder, flush it, give it its final name, flush the folder.

#include <cstdint>
#include <string>

#include "engine/file_system.h"

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

    // The new file will stand in for `source`: it takes its permissions.
    void standInFor(std::string source) { source_ = std::move(source); }
    // Creates the temporary (exclusively) beside the final name.
    IoError open();
    IoError write(const char* data, size_t size);
    IoError write(const std::string& data) { return write(data.data(), data.size()); }
    // Copies `size` bytes from the current position of an open file.
    IoError copyFrom(FileHandle source, uint64_t size);
    // Attributes the final file gets; applied before it takes its name.
    void setAttributes(uint32_t attributes) { attributes_ = attributes; }

    // Flushes, closes, names and flushes the folder: the commit point. With
    // keepExisting an existing final name fails with IoError::exists.
    IoError commit();
    // Deletes the temporary now (also done by the destructor).
    void discard();
    // For a write batch, which names the file later: closes the temporary
    // unflushed, applies the attributes and hands over its path. The
    // destructor then leaves it alone.
    IoError handOver(std::string& temporaryPath);

    // True once the file holds its final name (even if the folder flush then failed).
    bool committed() const { return committed_; }
    const std::string& finalPath() const { return finalPath_; }
    uint64_t bytesWritten() const { return bytesWritten_; }
    const std::string& temporaryPath() const { return temporaryPath_; }

private:
    std::string finalPath_;
    std::string temporaryPath_;
    std::string source_;
    Mode mode_;
    FileHandle file_ = kNoFile;
    uint32_t attributes_ = kAttrNormal;
    bool committed_ = false;
    uint64_t bytesWritten_ = 0;
};

// Temporaries carry this prefix, so a folder's leftovers from a crash can be
// recognised and removed.
constexpr const char* kTemporaryPrefix = ".tessarin-";
constexpr const char* kTemporarySuffix = ".tmp";
bool IsTemporaryName(const std::string& fileName);
// A temporary whose writer has ended without giving it its final name (a
// crash): the file it was to replace still stands, so it can go.
bool IsAbandonedTemporaryName(const std::string& fileName);

}  // namespace vellumar
