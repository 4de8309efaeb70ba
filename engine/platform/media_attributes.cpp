#include "engine/platform/media_attributes.h"
#ifndef _WIN32

#include <errno.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "engine/platform/posix_folder_handles.h"
#include "engine/platform/posix_xattr.h"

#ifdef __linux__
#include <linux/msdos_fs.h>
#include <sys/vfs.h>
#endif

namespace vellumar {
namespace {

// Volume types (statfs f_type) of the media that keep attributes themselves.
constexpr long kMsdosMagic = 0x4d44;        // vfat and msdos
constexpr long kExfatMagic = 0x2011BAB0;    // the kernel's exFAT
constexpr long kFuseMagic = 0x65735546;     // any FUSE file system, ntfs-3g among them
constexpr long kNtfsMagic = 0x5346544e;     // the kernel's old NTFS driver
constexpr long kNtfs3Magic = 0x7366746e;    // the kernel's ntfs3

// ntfs-3g's (and ntfs3's) Windows attribute word, four bytes, big endian.
constexpr const char* kNtfsAttribute = "system.ntfs_attrib_be";

int statfsType(int fd, long& type) {
#ifdef __linux__
    struct statfs volume;
    if (::fstatfs(fd, &volume) != 0) return -1;
    type = static_cast<long>(volume.f_type);
    return 0;
#else
    (void)fd;
    (void)type;
    errno = ENOTSUP;
    return -1;
#endif
}

int fatGet(int fd, uint32_t& out) {
#ifdef FAT_IOCTL_GET_ATTRIBUTES
    __u32 value = 0;
    if (::ioctl(fd, FAT_IOCTL_GET_ATTRIBUTES, &value) != 0) return -1;
    out = value;
    return 0;
#else
    (void)fd;
    (void)out;
    errno = ENOTTY;
    return -1;
#endif
}

int fatSet(int fd, uint32_t attributes) {
#ifdef FAT_IOCTL_SET_ATTRIBUTES
    __u32 value = attributes;
    return ::ioctl(fd, FAT_IOCTL_SET_ATTRIBUTES, &value);
#else
    (void)fd;
    (void)attributes;
    errno = ENOTTY;
    return -1;
#endif
}

// The answers of a file system that does not have the call at all.
bool notOffered(int error) {
    return error == ENOTTY || error == ENOTSUP || error == EOPNOTSUPP || error == ENOSYS ||
           error == EINVAL;
}

uint32_t withMediaBits(uint32_t word, uint32_t attributes) {
    return (word & ~kMediaBits) | (attributes & kMediaBits);
}

}  // namespace

MediaCalls& posixMediaCalls() {
    static MediaCalls calls{&statfsType, &fatGet, &fatSet};
    return calls;
}

MediaVolume::MediaVolume(const std::string& path, const struct stat& st) : path_(path) {
    // Links, devices and pipes keep no attribute of their own anywhere.
    if (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) return;
    // Asked through a handle on the entry itself, never through a link.
    const int entry = ::open(path.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    if (entry < 0) {
        error_ = ioErrorOf(errno);
        return;
    }
    long type = 0;
    const bool typed = posixMediaCalls().volumeType(entry, type) == 0;
    ::close(entry);
    if (!typed) return;
    switch (type) {
        case kMsdosMagic:
        case kExfatMagic:
            askFat(path, st);
            break;
        case kFuseMagic:
            askNtfs(path, true);
            break;
        case kNtfsMagic:
        case kNtfs3Magic:
            askNtfs(path, false);
            break;
        default:
            break;
    }
}

MediaVolume::~MediaVolume() {
    if (fd_ >= 0) ::close(fd_);
}

void MediaVolume::askFat(const std::string& path, const struct stat& st) {
    // A FAT volume has no links, devices nor pipes: opening it reads nothing.
    const int flags =
        O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC | (S_ISDIR(st.st_mode) ? O_DIRECTORY : 0);
    const int fd = ::open(path.c_str(), flags);
    if (fd < 0) {
        // Another user's file that this one may not read: its mode still
        // tells read-only.
        if (errno != EACCES) error_ = ioErrorOf(errno);
        return;
    }
    struct stat opened;
    if (::fstat(fd, &opened) != 0 || opened.st_dev != st.st_dev || opened.st_ino != st.st_ino) {
        error_ = IoError::changed;  // swapped since it was looked at
        ::close(fd);
        return;
    }
    uint32_t word = 0;
    if (posixMediaCalls().getFatAttributes(fd, word) != 0) {
        // exFAT before the kernel offered the FAT calls: read-only is the
        // mode, which that driver keeps in the entry.
        if (!notOffered(errno)) error_ = ioErrorOf(errno);
        ::close(fd);
        return;
    }
    kind_ = MediaKind::fat;
    word_ = word;
    fd_ = fd;
}

void MediaVolume::askNtfs(const std::string& path, bool fuse) {
    unsigned char bytes[4];
    if (posixXattrCalls().get(path.c_str(), kNtfsAttribute, bytes, sizeof bytes) == 4) {
        kind_ = MediaKind::ntfs;
        word_ = uint32_t{bytes[0]} << 24 | uint32_t{bytes[1]} << 16 | uint32_t{bytes[2]} << 8 |
                uint32_t{bytes[3]};
        return;
    }
    kind_ = fuse ? MediaKind::bareFuse : MediaKind::other;
}

IoError MediaVolume::setWord(uint32_t attributes) {
    const uint32_t wanted = withMediaBits(word_, attributes);
    if (wanted == word_) return IoError::ok;
    if (kind_ == MediaKind::fat) {
        if (posixMediaCalls().setFatAttributes(fd_, wanted) != 0) return ioErrorOf(errno);
    } else if (kind_ == MediaKind::ntfs) {
        const unsigned char bytes[4] = {
            static_cast<unsigned char>(wanted >> 24), static_cast<unsigned char>(wanted >> 16),
            static_cast<unsigned char>(wanted >> 8), static_cast<unsigned char>(wanted)};
        if (posixXattrCalls().set(path_.c_str(), kNtfsAttribute, bytes, sizeof bytes, 0) != 0)
            return ioErrorOf(errno);
    } else {
        return IoError::unsupported;
    }
    word_ = wanted;
    return IoError::ok;
}

bool keepsUserAttributes(const std::string& path) {
    if (posixXattrCalls().get(path.c_str(), "user.DOSATTRIB", nullptr, 0) >= 0) return true;
    return errno != ENOTSUP && errno != EOPNOTSUPP && errno != ENOSYS;
}

}  // namespace vellumar

#endif
