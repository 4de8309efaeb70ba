#pragma once
// Removable media keep the Windows attributes themselves: FAT (and exFAT
// where the kernel offers the same calls) in the directory entry, reached
// through the FAT ioctls; NTFS through ntfs-3g in the attribute word
// "system.ntfs_attrib_be". Windows reads them there and nowhere else, so the
// POSIX file system sets them there, deciding per volume; on any other
// volume the bits live in "user.DOSATTRIB" and read-only also in the mode.
#ifndef _WIN32

#include <sys/stat.h>

#include <cstdint>
#include <string>

#include "engine/platform/file_system.h"

namespace vellumar {

// The calls that reach the medium, replaceable so that a test can play a FAT
// volume, which needs a kernel driver that a test machine may lack. Each
// returns 0, or -1 with errno set.
struct MediaCalls {
    int (*volumeType)(int fd, long& type);  // fstatfs' f_type
    int (*getFatAttributes)(int fd, uint32_t& out);
    int (*setFatAttributes)(int fd, uint32_t attributes);
};

MediaCalls& posixMediaCalls();

// The bits that the attribute calls read and set.
constexpr uint32_t kMediaBits = kAttrReadOnly | kAttrHidden | kAttrSystem | kAttrArchive;

enum class MediaKind {
    fat,          // the FAT ioctls answer: the directory entry holds every bit
    ntfs,         // the volume has NTFS's attribute word
    bareFuse,     // a FUSE file system without the word (FAT and exFAT drivers)
    other,        // user.DOSATTRIB and the mode bits
};

// What the volume of one file keeps, found by asking it; `st` is the file's
// lstat. Nothing is cached per volume: a device number names another stick
// once the first is unplugged.
class MediaVolume {
  public:
    MediaVolume(const std::string& path, const struct stat& st);
    ~MediaVolume();
    MediaVolume(const MediaVolume&) = delete;
    MediaVolume& operator=(const MediaVolume&) = delete;

    MediaKind kind() const { return kind_; }
    // Why the medium could not be asked (the file's own attributes are then
    // unknown); ok otherwise.
    IoError error() const { return error_; }

    // fat: every bit the entry holds (the directory bit included); ntfs: the
    // attribute word.
    uint32_t word() const { return word_; }
    // Sets read-only, hidden, system and archive as `attributes` says,
    // keeping the word's other bits.
    IoError setWord(uint32_t attributes);

  private:
    void askFat(const std::string& path, const struct stat& st);
    void askNtfs(const std::string& path, bool fuse);

    std::string path_;
    MediaKind kind_ = MediaKind::other;
    IoError error_ = IoError::ok;
    uint32_t word_ = 0;
    int fd_ = -1;  // fat: the file, opened for the ioctls
};

// Whether the file system of `path` stores "user." extended attributes.
bool keepsUserAttributes(const std::string& path);

}  // namespace vellumar

#endif
