// The file system on Linux and other POSIX systems.
#ifndef _WIN32

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/utsname.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "engine/platform/file_system.h"
#include "engine/platform/media_attributes.h"
#include "engine/platform/name_rules.h"
#include "engine/platform/posix_folder_handles.h"
#include "engine/platform/posix_xattr.h"

#ifdef __linux__
#include <linux/magic.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <sys/vfs.h>
#endif

namespace vellumar {
namespace {

// The folder part of a path for open(): "." for a bare name.
std::string folderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

#ifdef __linux__
// From Linux 5.8 on, syncfs reports a write-back error to each handle on the
// volume that was opened before the error and has not reported it yet.
bool syncfsReportsErrors() {
    static const bool reports = [] {
        struct utsname system;
        int major = 0, minor = 0;
        return ::uname(&system) == 0 && std::sscanf(system.release, "%d.%d", &major, &minor) == 2 &&
               (major > 5 || (major == 5 && minor >= 8));
    }();
    return reports;
}
#endif

IoError lastError() { return ioErrorOf(errno); }

// A call that gives a name: EINVAL is how vfat, exFAT, NTFS and shares
// refuse the name itself.
IoError namingError() { return errno == EINVAL ? IoError::nameNotAllowed : lastError(); }

#ifdef __linux__
// FUSE mounts say what they are only in the mount table: ntfs-3g and the
// exFAT drivers mount a block device ("fuseblk"), or name themselves.
bool fuseTakesWindowsNamesOnly(dev_t device) {
    FILE* table = std::fopen("/proc/self/mountinfo", "re");
    if (!table) return false;
    const std::string wanted = std::to_string(major(device)) + ":" + std::to_string(minor(device));
    bool windows = false;
    char* line = nullptr;
    size_t size = 0;
    while (::getline(&line, &size, table) > 0) {
        // "36 35 98:0 /root /mount options ... - type source options"
        char id[32];
        if (std::sscanf(line, "%*s %*s %31s", id) != 1 || wanted != id) continue;
        const char* dash = std::strstr(line, " - ");
        char type[64];
        if (!dash || std::sscanf(dash + 3, "%63s", type) != 1) continue;
        const std::string kind = type;
        windows = kind == "fuseblk" || (kind.starts_with("fuse.") &&
                                        (kind.find("ntfs") != std::string::npos ||
                                         kind.find("exfat") != std::string::npos));
        break;
    }
    std::free(line);
    std::fclose(table);
    return windows;
}

bool takesWindowsNamesOnlyAt(int folder) {
    struct statfs volume;
    if (::fstatfs(folder, &volume) != 0) return false;
    switch (static_cast<uint32_t>(volume.f_type)) {
        case MSDOS_SUPER_MAGIC:
        case 0x2011BAB0u:  // exFAT
        case 0x5346544Eu:  // NTFS, the old driver
        case 0x7366746Eu:  // ntfs3
        case 0xFF534D42u:  // CIFS
        case 0xFE534D42u:  // SMB2 and later
        case SMB_SUPER_MAGIC:
            return true;
        case FUSE_SUPER_MAGIC: {
            struct stat st;
            return ::fstat(folder, &st) == 0 && fuseTakesWindowsNamesOnly(st.st_dev);
        }
        default:
            return false;
    }
}
#endif

// Read-only, hidden, system and archive live in the extended attribute that
// Samba and Wine use (engine/dos_attribute_record.h); read-only also in the
// write permission bits.
constexpr const char* kDosAttribute = "user.DOSATTRIB";

// The stored record; false when it cannot be read. A file system without
// user extended attributes holds none.
bool readDosRecord(const std::string& path, std::string& out) {
    out.clear();
    char buffer[256];
    ssize_t size = posixXattrCalls().get(path.c_str(), kDosAttribute, buffer, sizeof buffer);
    if (size >= 0) {
        out.assign(buffer, static_cast<size_t>(size));
        return true;
    }
    if (errno == ENODATA || errno == ENOTSUP || errno == EOPNOTSUPP) return true;
    if (errno != ERANGE) return false;
    // Longer than any record Samba writes today, but a version 2 record
    // carries a name of any length.
    size = posixXattrCalls().get(path.c_str(), kDosAttribute, nullptr, 0);
    if (size < 0) return false;
    out.resize(static_cast<size_t>(size));
    size = posixXattrCalls().get(path.c_str(), kDosAttribute, out.data(), out.size());
    if (size < 0) return false;
    out.resize(static_cast<size_t>(size));
    return true;
}

uint32_t readDosBits(const std::string& path) {
    std::string stored;
    if (!readDosRecord(path, stored)) return 0;
    return dosAttributesFromRecord(stored);
}

// Stores `wanted` in place of `stored`; an empty record removes the attribute.
IoError storeDosRecord(const std::string& path, const std::string& stored, const std::string& wanted) {
    if (wanted == stored) return IoError::ok;
    if (wanted.empty()) {
        if (posixXattrCalls().remove(path.c_str(), kDosAttribute) == 0 || errno == ENODATA) return IoError::ok;
    } else if (posixXattrCalls().set(path.c_str(), kDosAttribute, wanted.data(), wanted.size(), 0) == 0) {
        return IoError::ok;
    }
    // A file system without user extended attributes cannot hide; that is
    // accepted silently, as read-only still works through the mode bits.
    if (errno == ENOTSUP || errno == EOPNOTSUPP) return IoError::ok;
    return lastError();
}

// A medium without modes has no chmod (fusefat), or takes it and keeps
// nothing (exfat-fuse): its files all have the mode of the mount. (Not
// EOPNOTSUPP: that is what a link answers to a chmod that does not follow it.)
bool keepsNoMode(int error) { return error == ENOSYS; }

int changeMode(const std::string& path, mode_t mode) {
    if (::fchmodat(AT_FDCWD, path.c_str(), mode, AT_SYMLINK_NOFOLLOW) == 0) return 0;
    return keepsNoMode(errno) ? 0 : -1;
}

// Only a user who may write a file can change its extended attributes
// (root may always, which hides this): a file without its owner's write bit
// gets it for the change, and its mode back afterwards unless the caller
// settles the mode itself (keep()).
class WritableForChange {
public:
    WritableForChange(const std::string& path, mode_t mode) : path_(path), mode_(mode) {}
    ~WritableForChange() { restore(); }
    WritableForChange(const WritableForChange&) = delete;
    WritableForChange& operator=(const WritableForChange&) = delete;

    IoError open() {
        if (opened_ || (mode_ & S_IWUSR) != 0) return IoError::ok;
        if (changeMode(path_, mode_ | S_IWUSR) != 0) return lastError();
        opened_ = true;
        return IoError::ok;
    }
    bool opened() const { return opened_; }
    IoError restore() {
        if (!opened_) return IoError::ok;
        opened_ = false;
        return changeMode(path_, mode_) == 0 ? IoError::ok : lastError();
    }
    void keep() { opened_ = false; }

private:
    const std::string& path_;
    mode_t mode_;
    bool opened_ = false;
};

EntryKind kindOf(mode_t mode) {
    if (S_ISREG(mode)) return EntryKind::file;
    if (S_ISDIR(mode)) return EntryKind::folder;
    if (S_ISLNK(mode)) return EntryKind::link;
    return EntryKind::other;
}

// Every call that names a path works relative to the folder locatePath()
// gives: the working folder, or, inside a confined folder, a handle reached
// without following links, so that no call is sent out of that folder.
class PosixFileSystem : public FileSystem {
public:
    IoError openRead(const std::string& path, FileHandle& out) override {
        // Only a regular file is read: a pipe or a device named like a
        // locked file could keep the open, or the reads, waiting forever.
        out = kNoFile;
        PathAt at;
        if (IoError e = locatePath(path, at); e != IoError::ok) return e;
        int fd = ::openat(at.folder(), at.name(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) return lastError();
        struct stat st;
        IoError refused = IoError::ok;
        if (::fstat(fd, &st) != 0)
            refused = lastError();
        else if (!S_ISREG(st.st_mode))
            refused = S_ISDIR(st.st_mode) ? IoError::accessDenied : IoError::unsupported;
        else if (::fcntl(fd, F_SETFL, 0) != 0)  // blocking reads again, as for any file
            refused = lastError();
        if (refused != IoError::ok) {
            ::close(fd);
            return refused;
        }
        out = fd;
        return IoError::ok;
    }
    IoError createNew(const std::string& path, FileHandle& out) override {
        // Private until it is given the permissions of the file it stands in
        // for: nobody else can open it while its content is written.
        return openWith(path, O_WRONLY | O_CREAT | O_EXCL, out, 0600);
    }
#if defined(__linux__) && defined(O_TMPFILE)
    IoError createTemporary(const std::string& path, const std::string& mark,
                            FileHandle& out) override {
        // Written unnamed, marked, and only then linked under its name: a
        // crash never leaves an unmarked temporary that a later run could
        // not tell from a person's file.
        out = kNoFile;
        PathAt at;
        if (IoError e = locatePath(path, at); e != IoError::ok) return e;
        const std::string folder = at.confined() ? "." : folderOf(path);
        int fd = ::openat(at.folder(), folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
        if (fd < 0) {
            // A file system without unnamed files: named first, marked next.
            if (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)
                return FileSystem::createTemporary(path, mark, out);
            return lastError();
        }
        const IoError marked = markTemporary(fd, mark);
        if (marked != IoError::ok && marked != IoError::unsupported &&
            marked != IoError::accessDenied) {
            ::close(fd);
            return marked;
        }
        const std::string self = "/proc/self/fd/" + std::to_string(fd);
        if (::linkat(AT_FDCWD, self.c_str(), at.folder(), at.name(), AT_SYMLINK_FOLLOW) != 0) {
            const int error = errno;
            ::close(fd);
            // Without /proc the unnamed file cannot be given a name.
            if (error == ENOENT && ::access("/proc/self/fd", F_OK) != 0)
                return FileSystem::createTemporary(path, mark, out);
            return ioErrorOf(error);
        }
        out = fd;
        return IoError::ok;
    }
#endif
    IoError copyPermissions(const std::string& from, FileHandle to) override {
        PathAt at;
        if (IoError e = locatePath(from, at); e != IoError::ok) return e;
        struct stat st;
        if (::fstatat(at.folder(), at.name(), &st, AT_SYMLINK_NOFOLLOW) != 0) return lastError();
        // The permission bits only: set-user and set-group bits stay off.
        mode_t mode = st.st_mode & 0777;
        // The new file is the running user's, in that user's group: it takes
        // the old file's owner and group where the user may give them (root;
        // a group the user is in). Where the group cannot be kept, the file
        // keeps no group permission, so a file private to one group is never
        // opened to another.
        const int fd = static_cast<int>(to);
        struct stat now;
        if (::fstat(fd, &now) != 0) return lastError();
        if ((now.st_uid != st.st_uid || now.st_gid != st.st_gid) &&
            ::fchown(fd, st.st_uid, st.st_gid) != 0 &&
            (now.st_gid == st.st_gid || ::fchown(fd, static_cast<uid_t>(-1), st.st_gid) != 0))
            mode &= ~static_cast<mode_t>(070);
        // Where every file has the mode of the mount, so has the new one.
        return ::fchmod(fd, mode) == 0 || keepsNoMode(errno) ? IoError::ok : lastError();
    }
    IoError openAppend(const std::string& path, FileHandle& out) override {
        return openWith(path, O_WRONLY | O_CREAT | O_APPEND, out);
    }

    IoError read(FileHandle file, char* buffer, size_t size, size_t& got) override {
        got = 0;
        for (;;) {
            ssize_t n = ::read(static_cast<int>(file), buffer, size);
            if (n >= 0) {
                got = static_cast<size_t>(n);
                return IoError::ok;
            }
            if (errno != EINTR) return lastError();
        }
    }

    IoError write(FileHandle file, const char* data, size_t size) override {
        while (size > 0) {
            ssize_t n = ::write(static_cast<int>(file), data, size);
            if (n < 0) {
                if (errno == EINTR) continue;
                return lastError();
            }
            data += n;
            size -= static_cast<size_t>(n);
        }
        return IoError::ok;
    }

    IoError copy(FileHandle from, FileHandle to, uint64_t size) override {
#ifdef __linux__
        // In-kernel copy first; it may share extents and skips user space.
        while (size > 0) {
            ssize_t n = copy_file_range(static_cast<int>(from), nullptr, static_cast<int>(to),
                                        nullptr, size, 0);
            if (n > 0) {
                size -= static_cast<uint64_t>(n);
                // Start writing the copied pages out while the caller goes on,
                // so the flush that must follow has little left to wait for.
                sync_file_range(static_cast<int>(to), 0, 0, SYNC_FILE_RANGE_WRITE);
                continue;
            }
            if (n == 0) return IoError::other;  // the source ended early
            if (errno == EINTR) continue;
            if (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP)
                break;
            return lastError();
        }
#endif
        std::string buffer(1 << 20, '\0');
        while (size > 0) {
            size_t want = size < buffer.size() ? static_cast<size_t>(size) : buffer.size();
            size_t got = 0;
            if (IoError e = read(from, buffer.data(), want, got); e != IoError::ok) return e;
            if (got == 0) return IoError::other;
            if (IoError e = write(to, buffer.data(), got); e != IoError::ok) return e;
            size -= got;
        }
        return IoError::ok;
    }

    IoError flush(FileHandle file) override {
        return ::fsync(static_cast<int>(file)) == 0 ? IoError::ok : lastError();
    }

    IoError close(FileHandle file) override {
        return ::close(static_cast<int>(file)) == 0 ? IoError::ok : lastError();
    }

    IoError flushFolder(const std::string& folder) override {
        int fd = -1;
        if (IoError e = openFolder(folder, O_RDONLY, fd); e != IoError::ok) return e;
        IoError result = ::fsync(fd) == 0 ? IoError::ok : lastError();
        ::close(fd);
        return result;
    }

    IoError openVolume(const std::string& folder, FileHandle& out) override {
#ifdef __linux__
        // Local disk file systems, where syncfs writes out every dirty file
        // and commits the journal; it reports write-back errors (to every
        // handle opened before them) only from Linux 5.8 on.
        struct statfs volume;
        int fd = -1;
        if (!syncfsReportsErrors() || openFolder(folder, O_RDONLY, fd) != IoError::ok)
            return IoError::unsupported;
        if (::fstatfs(fd, &volume) == 0) {
            switch (volume.f_type) {
                case EXT4_SUPER_MAGIC:
                case XFS_SUPER_MAGIC:
                case BTRFS_SUPER_MAGIC:
                case TMPFS_MAGIC:
                    out = fd;
                    return IoError::ok;
            }
        }
        ::close(fd);
#else
        (void)folder;
        (void)out;
#endif
        return IoError::unsupported;
    }

    IoError flushVolume(FileHandle volume) override {
#ifdef __linux__
        return ::syncfs(static_cast<int>(volume)) == 0 ? IoError::ok : lastError();
#else
        (void)volume;
        return IoError::unsupported;
#endif
    }

    bool takesWindowsNamesOnly(const std::string& folder) override {
#ifdef __linux__
        int fd = -1;
        if (openFolder(folder, O_RDONLY | O_DIRECTORY, fd) != IoError::ok) return false;
        const bool windows = takesWindowsNamesOnlyAt(fd);
        ::close(fd);
        return windows;
#else
        (void)folder;
        return false;
#endif
    }

    IoError rename(const std::string& from, const std::string& to) override {
        PathAt source, target;
        if (IoError e = locatePath(from, source); e != IoError::ok) return e;
        if (IoError e = locatePath(to, target); e != IoError::ok) return e;
        IoError result = renameAt(source, target);
        if (result == IoError::ok) forgetFolder(from);
        return result;
    }

    IoError replace(const std::string& from, const std::string& to) override {
        PathAt source, target;
        if (IoError e = locatePath(from, source); e != IoError::ok) return e;
        if (IoError e = locatePath(to, target); e != IoError::ok) return e;
        if (::renameat(source.folder(), source.name(), target.folder(), target.name()) != 0)
            return lastError();
        forgetFolder(from);
        return IoError::ok;
    }

    IoError removeFile(const std::string& path) override {
        PathAt at;
        if (IoError e = locatePath(path, at); e != IoError::ok) return e;
        // Freeing the blocks of a big file takes a while (about a fifth of a
        // second per GiB on ext4), and the window cannot repaint meanwhile.
        // Held open across the unlink, the file is freed at its last close,
        // which a short-lived thread does while the caller goes on.
        int held = holdIfBig(at);
        if (::unlinkat(at.folder(), at.name(), 0) != 0) {
            IoError e = lastError();
            if (held >= 0) ::close(held);
            return e;
        }
        if (held >= 0) closeInBackground(held);
        return IoError::ok;
    }

    IoError removeFolder(const std::string& path) override {
        PathAt at;
        if (IoError e = locatePath(path, at); e != IoError::ok) return e;
        if (::unlinkat(at.folder(), at.name(), AT_REMOVEDIR) != 0) return lastError();
        forgetFolder(path);
        return IoError::ok;
    }

    IoError createFolder(const std::string& path) override {
        PathAt at;
        if (IoError e = locatePath(path, at); e != IoError::ok) return e;
        return ::mkdirat(at.folder(), at.name(), 0777) == 0 ? IoError::ok : namingError();
    }

    IoError status(const std::string& path, FileStatus& out) override {
        out = FileStatus{};
        PathAt at;
        if (IoError e = locatePath(path, at); e != IoError::ok) return e;
        struct stat st;
        if (::fstatat(at.folder(), at.name(), &st, AT_SYMLINK_NOFOLLOW) != 0) return lastError();
        out.kind = kindOf(st.st_mode);
        out.size = static_cast<uint64_t>(st.st_size);
        out.volume = static_cast<uint64_t>(st.st_dev);
        out.index = static_cast<uint64_t>(st.st_ino);
        out.links = static_cast<uint64_t>(st.st_nlink);
        out.modified = int64_t{st.st_mtim.tv_sec} * 1000000000 + st.st_mtim.tv_nsec;
        out.changed = int64_t{st.st_ctim.tv_sec} * 1000000000 + st.st_ctim.tv_nsec;
        return IoError::ok;
    }

    IoError getAttributes(const std::string& path, uint32_t& out) override {
        out = 0;
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0) return lastError();
        if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) out |= kAttrReadOnly;
        if (S_ISDIR(st.st_mode)) out |= kAttrDirectory;
        if (S_ISLNK(st.st_mode)) return IoError::ok;
        const MediaVolume media(path, st);
        if (media.error() != IoError::ok) return media.error();
        switch (media.kind()) {
            case MediaKind::fat:
                out = media.word() & (kMediaBits | kAttrDirectory);
                break;
            case MediaKind::ntfs:
                out |= media.word() & kMediaBits;
                break;
            default:
                out |= readDosBits(path);
        }
        return IoError::ok;
    }

    IoError setAttributes(const std::string& path, uint32_t attributes) override {
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0) return lastError();
        if (S_ISLNK(st.st_mode)) return IoError::unsupported;  // never act through a link
        MediaVolume media(path, st);
        if (media.error() != IoError::ok) return media.error();
        // The entry holds read-only too, and the mode follows it.
        if (media.kind() == MediaKind::fat) return media.setWord(attributes);
        const bool readOnly = (attributes & kAttrReadOnly) != 0;
        const mode_t mode = st.st_mode & 07777;
        constexpr mode_t writeBits = S_IWUSR | S_IWGRP | S_IWOTH;
        // The bits go in NTFS's attribute word, or else in the record.
        std::string stored, wanted;
        bool changes = false;
        if (media.kind() == MediaKind::ntfs) {
            changes = (media.word() & kMediaBits) != (attributes & kMediaBits);
        } else {
            // A record that cannot be read is not replaced blindly: it may
            // carry Samba's other fields.
            if (!readDosRecord(path, stored)) return lastError();
            wanted = dosRecordWithAttributes(stored, attributes & kDosRecordBits);
            changes = wanted != stored;
        }
        // A read-only file is made writable for the change even when it
        // stays read-only, and gets its final mode last.
        WritableForChange writable(path, mode);
        if (changes || !readOnly) {
            if (IoError e = writable.open(); e != IoError::ok) return e;
        }
        const IoError written = media.kind() == MediaKind::ntfs
                                    ? media.setWord(attributes)
                                    : storeDosRecord(path, stored, wanted);
        if (written != IoError::ok) return written;
        const bool openedForChange = writable.opened();
        writable.keep();
        if (readOnly && ((mode & writeBits) != 0 || openedForChange)) {
            if (changeMode(path, mode & ~writeBits) != 0) return lastError();
        }
        return IoError::ok;
    }

    IoError keptAttributes(const std::string& path, uint32_t& out) override {
        out = 0;
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0) return lastError();
        const MediaVolume media(path, st);
        switch (media.kind()) {
            case MediaKind::fat:
            case MediaKind::ntfs:
                out = kMediaBits;
                break;
            case MediaKind::bareFuse:
                // The FUSE FAT and exFAT drivers keep neither the record nor
                // a mode of each file's own.
                out = keepsUserAttributes(path) ? kMediaBits : 0;
                break;
            case MediaKind::other:
                // Read-only is the mode; the other bits need the record.
                out = keepsUserAttributes(path) ? kMediaBits : kAttrReadOnly;
                break;
        }
        return IoError::ok;
    }

    // A named file needs its temporary's mark no more, read-only or not.
    IoError unmarkTemporary(const std::string& path) override {
        if (IoError e = FileSystem::unmarkTemporary(path); e != IoError::accessDenied) return e;
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0) return lastError();
        if (S_ISLNK(st.st_mode)) return IoError::unsupported;  // never act through a link
        WritableForChange writable(path, st.st_mode & 07777);
        if (IoError e = writable.open(); e != IoError::ok) return e;
        const IoError unmarked = FileSystem::unmarkTemporary(path);
        const IoError restored = writable.restore();
        return unmarked != IoError::ok ? unmarked : restored;
    }

    IoError copyTimes(const std::string& from, FileHandle to) override {
        PathAt at;
        if (IoError e = locatePath(from, at); e != IoError::ok) return e;
        struct stat st;
        if (::fstatat(at.folder(), at.name(), &st, AT_SYMLINK_NOFOLLOW) != 0) return lastError();
        const struct timespec times[2] = {{0, UTIME_OMIT}, st.st_mtim};
        return ::futimens(static_cast<int>(to), times) == 0 ? IoError::ok : lastError();
    }

    IoError listFolder(const std::string& folder, std::vector<FolderEntry>& out) override {
        out.clear();
        if (folder.empty()) return IoError::notFound;
        int fd = -1;
        if (IoError e = openFolder(folder, O_RDONLY, fd); e != IoError::ok) return e;
        DIR* dir = ::fdopendir(fd);
        if (!dir) {
            IoError e = lastError();
            ::close(fd);
            return e;
        }
        // readdir says "no more" and "failed" alike, errno tells them apart:
        // it is cleared before every call, as the lookups below may set it.
        for (errno = 0; dirent* entry = ::readdir(dir); errno = 0) {
            const char* name = entry->d_name;
            if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
            FolderEntry item;
            item.name = name;
            switch (entry->d_type) {
                case DT_REG:
                    item.kind = EntryKind::file;
                    break;
                case DT_DIR:
                    item.kind = EntryKind::folder;
                    break;
                case DT_LNK:
                    item.kind = EntryKind::link;
                    break;
                case DT_UNKNOWN: {
                    struct stat st;
                    if (::fstatat(::dirfd(dir), name, &st, AT_SYMLINK_NOFOLLOW) != 0)
                        continue;  // gone meanwhile
                    item.kind = kindOf(st.st_mode);
                    break;
                }
                default:
                    item.kind = EntryKind::other;
            }
            out.push_back(std::move(item));
        }
        IoError result = errno == 0 ? IoError::ok : lastError();
        ::closedir(dir);
        return result;
    }

private:
    static constexpr off_t kBackgroundFreeSize = off_t{64} << 20;

    // A reference to a regular file of kBackgroundFreeSize or more on a
    // local disk file system, else -1. (A network file system would show the
    // held file under a stand-in name until it is closed.)
    static int holdIfBig(const PathAt& at) {
#ifdef __linux__
        int fd = ::openat(at.folder(), at.name(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) return -1;
        struct stat st;
        struct statfs volume;
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size >= kBackgroundFreeSize &&
            ::fstatfs(fd, &volume) == 0 &&
            (volume.f_type == EXT4_SUPER_MAGIC || volume.f_type == XFS_SUPER_MAGIC ||
             volume.f_type == BTRFS_SUPER_MAGIC))
            return fd;
        ::close(fd);
#else
        (void)at;
#endif
        return -1;
    }

    static void closeInBackground(int fd) {
        try {
            std::thread([fd] { ::close(fd); }).detach();
        } catch (...) {
            ::close(fd);  // no thread to be had: free it here
        }
    }

    static IoError openWith(const std::string& path, int flags, FileHandle& out,
                            mode_t mode = 0666) {
        out = kNoFile;
        PathAt at;
        if (IoError e = locatePath(path, at); e != IoError::ok) return e;
        int fd = ::openat(at.folder(), at.name(), flags | O_CLOEXEC | O_NOFOLLOW, mode);
        if (fd < 0) return (flags & O_CREAT) ? namingError() : lastError();
        struct stat st;
        if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
            ::close(fd);
            return IoError::accessDenied;
        }
        out = fd;
        return IoError::ok;
    }

    // Renames without replacing: renameat2 where the kernel and the file
    // system have it, else a hard link, which cannot replace anything.
    // Folders cannot be linked, so for them check first and rename.
#ifdef __linux__
    // Whether the target's volume takes only Windows' names and this one
    // breaks them.
    static bool refusesName(const PathAt& to) {
        int folder = -1;
        if (to.confined())
            folder = ::dup(to.folder());
        else
            openFolder(folderOf(to.name()), O_RDONLY | O_DIRECTORY, folder);
        if (folder < 0) return false;
        const bool windows = takesWindowsNamesOnlyAt(folder);
        ::close(folder);
        const std::string name = to.name();
        return windows && windowsNameCheck(name.substr(name.rfind('/') + 1)) != IoError::ok;
    }
#endif

    static IoError renameAt(const PathAt& from, const PathAt& to) {
#if defined(__linux__) && defined(SYS_renameat2)
        if (syscall(SYS_renameat2, from.folder(), from.name(), to.folder(), to.name(),
                    1u /*RENAME_NOREPLACE*/) == 0)
            return IoError::ok;
        if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return lastError();
        // EINVAL also comes from a volume that takes the flag but not the name.
        if (errno == EINVAL && refusesName(to)) return IoError::nameNotAllowed;
#endif
        struct stat st;
        if (::fstatat(from.folder(), from.name(), &st, AT_SYMLINK_NOFOLLOW) != 0) return lastError();
        if (S_ISDIR(st.st_mode)) {
            struct stat target;
            if (::fstatat(to.folder(), to.name(), &target, AT_SYMLINK_NOFOLLOW) == 0)
                return IoError::exists;
            return ::renameat(from.folder(), from.name(), to.folder(), to.name()) == 0
                       ? IoError::ok
                       : namingError();
        }
        if (::linkat(from.folder(), from.name(), to.folder(), to.name(), 0) != 0) {
            // A file system without hard links (vfat, exFAT, many shares)
            // leaves no rename that is sure not to replace a file.
            if (errno == EPERM || errno == ENOSYS || errno == ENOTSUP || errno == EOPNOTSUPP)
                return IoError::cannotRenameWithoutReplacing;
            return namingError();
        }
        if (::unlinkat(from.folder(), from.name(), 0) != 0) {
            IoError e = lastError();
            ::unlinkat(to.folder(), to.name(), 0);
            return e;
        }
        return IoError::ok;
    }
};

// The attribute calls reach a file by its path. Inside a confined folder they
// are given the path through the handle of the file's folder
// (/proc/self/fd/N/name): no link on the way is followed, and the calls that
// read and write the attributes do not follow the last name.
class ConfinedPosixFileSystem final : public PosixFileSystem {
public:
    IoError getAttributes(const std::string& path, uint32_t& out) override {
        out = 0;
        PathAt at;
        if (IoError e = locatePath(path, at); e != IoError::ok) return e;
        return PosixFileSystem::getAttributes(reachable(path, at), out);
    }
    IoError setAttributes(const std::string& path, uint32_t attributes) override {
        PathAt at;
        if (IoError e = locatePath(path, at); e != IoError::ok) return e;
        return PosixFileSystem::setAttributes(reachable(path, at), attributes);
    }
    IoError keptAttributes(const std::string& path, uint32_t& out) override {
        out = 0;
        PathAt at;
        if (IoError e = locatePath(path, at); e != IoError::ok) return e;
        return PosixFileSystem::keptAttributes(reachable(path, at), out);
    }
    IoError temporaryMark(const std::string& path, std::string& out) override {
        out.clear();
        PathAt at;
        if (IoError e = locatePath(path, at); e != IoError::ok) return e;
        return FileSystem::temporaryMark(reachable(path, at), out);
    }
    IoError unmarkTemporary(const std::string& path) override {
        PathAt at;
        if (IoError e = locatePath(path, at); e != IoError::ok) return e;
        return PosixFileSystem::unmarkTemporary(reachable(path, at));
    }
    IoError carryPlainTraits(const std::string& plain, uint32_t attributes,
                             FileHandle locked) override {
        PathAt at;
        if (IoError e = locatePath(plain, at); e != IoError::ok) return e;
        return FileSystem::carryPlainTraits(reachable(plain, at), attributes, locked);
    }
    IoError restorePlainTraits(const std::string& locked, FileHandle plain,
                               uint32_t& attributes) override {
        attributes = kAttrNormal;
        PathAt at;
        if (IoError e = locatePath(locked, at); e != IoError::ok) return e;
        return FileSystem::restorePlainTraits(reachable(locked, at), plain, attributes);
    }

private:
    static std::string reachable(const std::string& path, const PathAt& at) {
#ifdef __linux__
        if (at.confined()) return "/proc/self/fd/" + std::to_string(at.folder()) + '/' + at.name();
#endif
        return path;
    }
};

}  // namespace

XattrCalls& posixXattrCalls() {
    static XattrCalls calls{&lgetxattr, &lsetxattr, &lremovexattr};
    return calls;
}

uint32_t parseDosAttribute(const char* data, size_t size) {
    return dosAttributesFromRecord(std::string_view(data, size));
}

FileSystem& platformFileSystem() {
    static ConfinedPosixFileSystem instance;
    return instance;
}

}  // namespace vellumar

#endif
