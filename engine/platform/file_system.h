#pragma once
// Every file-system call of the engine goes through FileSystem, so a test can
// replace it and make any single call fail (or end the process) on purpose.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vellumar {

// What went wrong, in the terms the program's messages distinguish.
enum class IoError {
    ok = 0,
    notFound,      // the path or a folder on it does not exist
    accessDenied,  // permission, read-only file system, Windows access denied
    alreadyOpen,   // Windows sharing violation
    exists,        // the target name is taken
    noSpace,
    nameTooLong,  // a name, or the whole path, longer than the file system takes
    unsupported,
    other,
    changed,  // a source changed after it was read: it is kept, its new file is not
    outsideFolder,  // a link on the way would lead out of the folder being worked on
    nameNotAllowed,  // the file system refuses the name itself (vfat and "|", a device name...)
    // No rename that cannot replace: no RENAME_NOREPLACE and no hard links
    // to fall back on (vfat, exFAT, some shares).
    cannotRenameWithoutReplacing,
    cancelled,  // the person asked to stop the run: the step ended, nothing of it kept
};

const char* describe(IoError error);

// File attribute bits, combined by addition.
enum : uint32_t {
    kAttrNormal = 0,
    kAttrReadOnly = 1,
    kAttrHidden = 2,
    kAttrSystem = 4,
    kAttrDirectory = 16,
    kAttrArchive = 32,
};

enum class EntryKind { missing, file, folder, link, other };

// What lstat (or FindFirstFile) tells about a path, without following a link.
struct FileStatus {
    EntryKind kind = EntryKind::missing;
    uint64_t size = 0;
    // Identity of the file on its volume: the same pair means the same file,
    // whatever the spelling of the path.
    uint64_t volume = 0;
    uint64_t index = 0;
    // Names the file has on its volume (hard links).
    uint64_t links = 1;
    // Last change of the content, and of the content or the metadata, in
    // nanoseconds of the platform's clock. With the identity and the size
    // they tell whether a file changed since it was read.
    int64_t modified = 0;
    int64_t changed = 0;
};

// True when both describe the same file, unchanged in between.
inline bool sameUnchanged(const FileStatus& a, const FileStatus& b) {
    return a.kind == b.kind && a.volume == b.volume && a.index == b.index && a.size == b.size &&
           a.modified == b.modified && a.changed == b.changed;
}

struct FolderEntry {
    std::string name;  // the name only, in the file system's own bytes
    EntryKind kind = EntryKind::other;
};

// An open file. The value is the platform's descriptor or handle.
using FileHandle = intptr_t;
constexpr FileHandle kNoFile = -1;

class FileSystem {
public:
    virtual ~FileSystem() = default;

    virtual IoError openRead(const std::string& path, FileHandle& out) = 0;
    // Creates a new file for writing; fails with `exists` when the name is taken.
    virtual IoError createNew(const std::string& path, FileHandle& out) = 0;
    // Opens for appending, creating the file when it is missing.
    virtual IoError openAppend(const std::string& path, FileHandle& out) = 0;
    // Reads up to `size` bytes; `got` is 0 only at the end of the file.
    virtual IoError read(FileHandle file, char* buffer, size_t size, size_t& got) = 0;
    // Writes all `size` bytes or fails.
    virtual IoError write(FileHandle file, const char* data, size_t size) = 0;
    // Copies `size` bytes from the current position of `from` to `to`.
    virtual IoError copy(FileHandle from, FileHandle to, uint64_t size) = 0;
    // Gives a new file the permissions of the file it stands in for, so that
    // locking or unlocking never makes a private file readable by others.
    // Nothing to do where new files take their folder's permissions (Windows).
    virtual IoError copyPermissions(const std::string& /*from*/, FileHandle /*to*/) {
        return IoError::ok;
    }
    // Gives a new file the modification time of the file it stands in for
    // (on Windows its creation time too), so that a lock and its unlock give
    // a file back with its own date. Unsupported where times cannot be set.
    virtual IoError copyTimes(const std::string& /*from*/, FileHandle /*to*/) {
        return IoError::unsupported;
    }
    // Gives a new file that stands in for none the permissions a person's
    // new file gets (0666 less the umask), where it was created private for
    // its writing. Nothing to do on Windows. (engine/new_file_permissions.cpp)
    virtual IoError useNewFilePermissions(FileHandle file);
    virtual IoError flush(FileHandle file) = 0;
    virtual IoError close(FileHandle file) = 0;
    // Makes the names in a folder durable (fsync of the directory on Linux).
    virtual IoError flushFolder(const std::string& folder) = 0;
    // A handle on the folder's volume, through which flushVolume() makes
    // everything written there durable at once and reports every write-back
    // error that happened since the handle was opened (a write batch relies
    // on both, so it opens the handle before it writes anything).
    // Unsupported where that is not known to hold. Closed with close().
    virtual IoError openVolume(const std::string& /*folder*/, FileHandle& /*out*/) {
        return IoError::unsupported;
    }
    // Flushes every file and name on the volume (syncfs on Linux).
    virtual IoError flushVolume(FileHandle /*volume*/) { return IoError::unsupported; }

    // Renames within a folder; never replaces an existing entry.
    virtual IoError rename(const std::string& from, const std::string& to) = 0;
    // Renames over an existing file atomically (for list files only).
    virtual IoError replace(const std::string& from, const std::string& to) = 0;
    // Deletes a file for good (no recycle bin, no prompt); clears read-only first.
    virtual IoError removeFile(const std::string& path) = 0;
    virtual IoError removeFolder(const std::string& path) = 0;
    virtual IoError createFolder(const std::string& path) = 0;

    virtual IoError status(const std::string& path, FileStatus& out) = 0;
    virtual IoError getAttributes(const std::string& path, uint32_t& out) = 0;
    virtual IoError setAttributes(const std::string& path, uint32_t attributes) = 0;
    // The attribute bits (read-only, hidden, system, archive) that the file
    // system holding `path` keeps: a file system that keeps no hidden mark
    // cannot hide a locked file from anybody.
    virtual IoError keptAttributes(const std::string& path, uint32_t& out) {
        (void)path;
        out = kAttrReadOnly | kAttrHidden | kAttrSystem | kAttrArchive;
        return IoError::ok;
    }
    // Every entry but "." and "..", hidden ones included, in no particular order.
    virtual IoError listFolder(const std::string& folder, std::vector<FolderEntry>& out) = 0;

    // A temporary carries a mark that no person's file does, so that one
    // left behind by a crash can be told from a file that only has a name
    // like it. The defaults are the platform's (engine/temporary_marks.cpp):
    // an extended attribute on Linux; unsupported on Windows and wherever
    // the file system keeps none.
    virtual IoError markTemporary(FileHandle file, const std::string& mark);
    // Creates a new temporary for writing, carrying `mark` from the instant
    // it has a name where the platform can do that (Linux: written unnamed,
    // marked, then linked under its name), so that a crash never leaves one
    // of ours unmarked. Fails with `exists` when the name is taken. A file
    // system that keeps no mark, or refuses it on this file, gives an
    // unmarked temporary, which is never taken for a leftover of ours. On
    // any other failure after the file was made, `out` stays open on it.
    virtual IoError createTemporary(const std::string& path, const std::string& mark,
                                    FileHandle& out);
    // The mark a file carries; empty when it carries none.
    virtual IoError temporaryMark(const std::string& path, std::string& out);
    virtual IoError unmarkTemporary(const std::string& path);

    // Whether the volume that holds `folder` takes only the names Windows
    // takes (engine/name_rules.h): true on Windows, and on Linux for vfat,
    // exFAT, NTFS and SMB mounts, whose names Windows must read back.
    virtual bool takesWindowsNamesOnly(const std::string& folder);

    // What a locked file carries of its plain file that no locked format
    // holds (engine/plain_traits.h): the plain file's own attribute bits, as
    // they were before the run cleared them, and its attribute record. The
    // defaults are the platform's (engine/plain_traits.cpp): an extended
    // attribute on Linux; unsupported on Windows and wherever the file
    // system keeps none, where the bits are simply not kept.
    // Lock: the new locked file, still open and writable, carries them.
    virtual IoError carryPlainTraits(const std::string& plain, uint32_t attributes,
                                     FileHandle locked);
    // Unlock: the new plain file, still open and writable, gets back the
    // record `locked` carries; `attributes` the bits to give it, normal when
    // it carries none (or none that can be read).
    virtual IoError restorePlainTraits(const std::string& locked, FileHandle plain,
                                       uint32_t& attributes);
};

// The platform's own file system.
FileSystem& platformFileSystem();

// The file system the engine uses now: the platform's unless a test swapped it.
FileSystem& fileSystem();

// Swaps the engine's file system for the lifetime of the object.
class FileSystemOverride {
public:
    explicit FileSystemOverride(FileSystem& replacement);
    ~FileSystemOverride();
    FileSystemOverride(const FileSystemOverride&) = delete;
    FileSystemOverride& operator=(const FileSystemOverride&) = delete;

private:
    FileSystem* previous_;
};

// Closes a handle when it goes out of scope.
class FileCloser {
public:
    explicit FileCloser(FileHandle& handle) : handle_(handle) {}
    ~FileCloser() {
        if (handle_ != kNoFile) fileSystem().close(handle_);
        handle_ = kNoFile;
    }
    FileCloser(const FileCloser&) = delete;
    FileCloser& operator=(const FileCloser&) = delete;

private:
    FileHandle& handle_;
};

// Convenience: reads a whole file. Returns ok and fills `out`, or the error.
IoError readWholeFile(const std::string& path, std::string& out);

}  // namespace vellumar
