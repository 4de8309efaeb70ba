// The file system on Windows, through the Win32 "A" functions: paths are in
// the ANSI code page, as everywhere else in the program.
#ifdef _WIN32

#include <windows.h>

#include <algorithm>
#include <cstring>

#include "engine/platform/file_system.h"
#include "engine/platform/windows_folder_confinement.h"

namespace vellumar {
namespace {

IoError fromWin32(DWORD error) {
    switch (error) {
        case ERROR_SUCCESS:
            return IoError::ok;
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_INVALID_NAME:
        case ERROR_BAD_PATHNAME:
        case ERROR_BAD_NETPATH:
        case ERROR_DIRECTORY:
            return IoError::notFound;
        case ERROR_ACCESS_DENIED:
        case ERROR_WRITE_PROTECT:
            return IoError::accessDenied;
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return IoError::alreadyOpen;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
        case ERROR_DIR_NOT_EMPTY:
            return IoError::exists;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return IoError::noSpace;
        case ERROR_FILENAME_EXCED_RANGE:
            return IoError::nameTooLong;
        case ERROR_NOT_SAME_DEVICE:
        case ERROR_NOT_SUPPORTED:
            return IoError::unsupported;
        default:
            return IoError::other;
    }
}

IoError lastError() {
    return fromWin32(GetLastError());
}

// A call that gives a name: an invalid name there is the name refused, not
// a path that names nothing.
IoError namingError() {
    const DWORD error = GetLastError();
    return error == ERROR_INVALID_NAME || error == ERROR_BAD_PATHNAME ? IoError::nameNotAllowed
                                                                      : fromWin32(error);
}

HANDLE toHandle(FileHandle file) {
    return reinterpret_cast<HANDLE>(file);
}

// A name with a wildcard would make a directory search match other entries;
// Windows allows neither character in a name, so such a path names nothing.
// (The other calls refuse wildcards by themselves.)
bool hasWildcard(const std::string& path) {
    return path.find_first_of("*?") != std::string::npos;
}

EntryKind kindOf(DWORD attributes) {
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return EntryKind::link;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return EntryKind::folder;
    return EntryKind::file;
}

constexpr DWORD kSettableBits = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;
constexpr DWORD kReportedBits = kSettableBits | FILE_ATTRIBUTE_DIRECTORY;

// Windows refuses to delete a read-only file or folder: clear the bit, and
// put it back when the deletion fails anyway.
IoError removeWritable(const std::string& path, BOOL (*remove)(LPCSTR)) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return lastError();
    bool readOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    if (readOnly) {
        DWORD cleared = attributes & ~FILE_ATTRIBUTE_READONLY;
        if (!SetFileAttributesA(path.c_str(), cleared ? cleared : FILE_ATTRIBUTE_NORMAL))
            return lastError();
    }
    if (remove(path.c_str())) return IoError::ok;
    IoError error = lastError();
    if (readOnly) SetFileAttributesA(path.c_str(), attributes);
    return error;
}

BOOL deleteFile(LPCSTR path) {
    return DeleteFileA(path);
}
BOOL removeDirectory(LPCSTR path) {
    return RemoveDirectoryA(path);
}

class WindowsFileSystem final : public FileSystem {
public:
    // Others may read a file we read or write, but not change it meanwhile:
    // a file open elsewhere for writing answers "already open".
    IoError openRead(const std::string& path, FileHandle& out) override {
        return openWith(path, GENERIC_READ, OPEN_EXISTING, out);
    }
    IoError createNew(const std::string& path, FileHandle& out) override {
        return openWith(path, GENERIC_WRITE, CREATE_NEW, out);
    }
    IoError openAppend(const std::string& path, FileHandle& out) override {
        return openWith(path, FILE_APPEND_DATA, OPEN_ALWAYS, out);
    }

    IoError read(FileHandle file, char* buffer, size_t size, size_t& got) override {
        got = 0;
        DWORD want = static_cast<DWORD>(std::min<size_t>(size, kChunk));
        DWORD n = 0;
        if (!ReadFile(toHandle(file), buffer, want, &n, nullptr)) return lastError();
        got = n;
        return IoError::ok;
    }

    IoError write(FileHandle file, const char* data, size_t size) override {
        while (size > 0) {
            DWORD want = static_cast<DWORD>(std::min<size_t>(size, kChunk));
            DWORD n = 0;
            if (!WriteFile(toHandle(file), data, want, &n, nullptr)) return lastError();
            if (n == 0) return IoError::other;
            data += n;
            size -= n;
        }
        return IoError::ok;
    }

    IoError copy(FileHandle from, FileHandle to, uint64_t size) override {
        std::string buffer(1 << 20, '\0');
        while (size > 0) {
            size_t want = size < buffer.size() ? static_cast<size_t>(size) : buffer.size();
            size_t got = 0;
            if (IoError e = read(from, buffer.data(), want, got); e != IoError::ok) return e;
            if (got == 0) return IoError::other;  // the source ended early
            if (IoError e = write(to, buffer.data(), got); e != IoError::ok) return e;
            size -= got;
        }
        return IoError::ok;
    }

    // The creation time too: the locked file keeps it for the file it gives back.
    IoError copyTimes(const std::string& from, FileHandle to) override {
        if (IoError e = checkConfinedPath(from, false); e != IoError::ok) return e;
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (!GetFileAttributesExA(from.c_str(), GetFileExInfoStandard, &data)) return lastError();
        return SetFileTime(toHandle(to), &data.ftCreationTime, nullptr, &data.ftLastWriteTime)
                   ? IoError::ok
                   : lastError();
    }

    IoError flush(FileHandle file) override {
        return FlushFileBuffers(toHandle(file)) ? IoError::ok : lastError();
    }

    IoError close(FileHandle file) override {
        return CloseHandle(toHandle(file)) ? IoError::ok : lastError();
    }

    // The renames below are written through, so the names are durable once
    // they return; Windows has no separate flush for a folder.
    IoError flushFolder(const std::string&) override { return IoError::ok; }

    IoError rename(const std::string& from, const std::string& to) override {
        return move(from, to, MOVEFILE_WRITE_THROUGH);
    }

    IoError replace(const std::string& from, const std::string& to) override {
        return move(from, to, MOVEFILE_WRITE_THROUGH | MOVEFILE_REPLACE_EXISTING);
    }

    IoError removeFile(const std::string& path) override {
        if (IoError e = checkConfinedPath(path, false); e != IoError::ok) return e;
        return removeWritable(path, &deleteFile);
    }

    IoError removeFolder(const std::string& path) override {
        if (IoError e = checkConfinedPath(path, false); e != IoError::ok) return e;
        return removeWritable(path, &removeDirectory);
    }

    IoError createFolder(const std::string& path) override {
        if (IoError e = checkConfinedPath(path, false); e != IoError::ok) return e;
        return CreateDirectoryA(path.c_str(), nullptr) ? IoError::ok : namingError();
    }

    IoError status(const std::string& path, FileStatus& out) override {
        out = FileStatus{};
        if (hasWildcard(path)) return IoError::notFound;
        if (IoError e = checkConfinedPath(path, false); e != IoError::ok) return e;
        DWORD attributes = 0;
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) {
            attributes = data.dwFileAttributes;
            out.size = (uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
        } else {
            // A file in use by the system (a page file) refuses the quick query
            // but still shows in a directory search.
            if (GetLastError() != ERROR_SHARING_VIOLATION) return lastError();
            WIN32_FIND_DATAA found;
            HANDLE search = FindFirstFileA(path.c_str(), &found);
            if (search == INVALID_HANDLE_VALUE) return lastError();
            FindClose(search);
            attributes = found.dwFileAttributes;
            out.size = (uint64_t{found.nFileSizeHigh} << 32) | found.nFileSizeLow;
        }
        out.kind = kindOf(attributes);
        // The identity needs a handle; asking for no access opens even a file
        // that another program holds without sharing.
        HANDLE handle = CreateFileA(
            path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (handle != INVALID_HANDLE_VALUE) {
            BY_HANDLE_FILE_INFORMATION info;
            if (GetFileInformationByHandle(handle, &info)) {
                out.volume = info.dwVolumeSerialNumber;
                out.index = (uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
                out.links = info.nNumberOfLinks;
                // Windows keeps no change time: the last write stands for both.
                const int64_t written =
                    static_cast<int64_t>((uint64_t{info.ftLastWriteTime.dwHighDateTime} << 32) |
                                         info.ftLastWriteTime.dwLowDateTime) *
                    100;
                out.modified = written;
                out.changed = written;
            }
            CloseHandle(handle);
        }
        return IoError::ok;
    }

    IoError getAttributes(const std::string& path, uint32_t& out) override {
        out = 0;
        if (IoError e = checkConfinedPath(path, false); e != IoError::ok) return e;
        DWORD attributes = GetFileAttributesA(path.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) return lastError();
        out = attributes & kReportedBits;
        return IoError::ok;
    }

    IoError setAttributes(const std::string& path, uint32_t attributes) override {
        if (IoError e = checkConfinedPath(path, false); e != IoError::ok) return e;
        DWORD current = GetFileAttributesA(path.c_str());
        if (current == INVALID_FILE_ATTRIBUTES) return lastError();
        if (current & FILE_ATTRIBUTE_REPARSE_POINT)
            return IoError::unsupported;  // never act through a link
        DWORD value = attributes & kSettableBits;
        // Wine keeps hidden and system in an extended attribute that only a
        // user who may write the file can change, and takes the write
        // permission away first: a normal user's read-only file would lose
        // them. So the other bits change while the file is still writable,
        // and read-only comes last, in a call of its own.
        const DWORD otherBits = kSettableBits & ~FILE_ATTRIBUTE_READONLY;
        if ((value & FILE_ATTRIBUTE_READONLY) && ((current ^ value) & otherBits)) {
            const DWORD first = value & otherBits;
            if (!SetFileAttributesA(path.c_str(), first ? first : FILE_ATTRIBUTE_NORMAL))
                return lastError();
        }
        return SetFileAttributesA(path.c_str(), value ? value : FILE_ATTRIBUTE_NORMAL)
                   ? IoError::ok
                   : lastError();
    }

    // Every Windows file system keeps every bit: FAT and exFAT in their
    // directory entries, NTFS and shares in their own records.
    IoError keptAttributes(const std::string& path, uint32_t& out) override {
        out = 0;
        if (IoError e = checkConfinedPath(path, false); e != IoError::ok) return e;
        out = kAttrReadOnly | kAttrHidden | kAttrSystem | kAttrArchive;
        return IoError::ok;
    }

    IoError listFolder(const std::string& folder, std::vector<FolderEntry>& out) override {
        out.clear();
        if (folder.empty()) return IoError::notFound;
        if (IoError e = checkConfinedPath(folder, true); e != IoError::ok) return e;
        std::string pattern = folder;
        if (pattern.back() != '\\' && pattern.back() != '/') pattern += '\\';
        pattern += '*';
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA(pattern.c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) {
            // A drive's root has no "." entry: nothing found there means empty.
            DWORD error = GetLastError();
            return error == ERROR_FILE_NOT_FOUND ? IoError::ok : fromWin32(error);
        }
        IoError result = IoError::ok;
        do {
            const char* name = found.cFileName;
            if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
            out.push_back({name, kindOf(found.dwFileAttributes)});
        } while (FindNextFileA(search, &found));
        if (GetLastError() != ERROR_NO_MORE_FILES) result = lastError();
        FindClose(search);
        return result;
    }

private:
    // ReadFile and WriteFile take a 32-bit count.
    static constexpr size_t kChunk = 1u << 30;

    static IoError openWith(const std::string& path, DWORD access, DWORD disposition,
                            FileHandle& out) {
        out = kNoFile;
        if (IoError e = checkConfinedPath(path, false); e != IoError::ok) return e;
        // A link is opened as itself and then refused, never followed.
        HANDLE handle = CreateFileA(path.c_str(), access, FILE_SHARE_READ, nullptr, disposition,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (handle == INVALID_HANDLE_VALUE)
            return disposition == OPEN_EXISTING ? lastError() : namingError();
        BY_HANDLE_FILE_INFORMATION info;
        if (GetFileInformationByHandle(handle, &info) &&
            (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY))) {
            CloseHandle(handle);
            return IoError::accessDenied;
        }
        out = reinterpret_cast<FileHandle>(handle);
        return IoError::ok;
    }

    static IoError move(const std::string& from, const std::string& to, DWORD flags) {
        if (IoError e = checkConfinedPath(from, false); e != IoError::ok) return e;
        if (IoError e = checkConfinedPath(to, false); e != IoError::ok) return e;
        return MoveFileExA(from.c_str(), to.c_str(), flags) ? IoError::ok : namingError();
    }
};

}  // namespace

FileSystem& platformFileSystem() {
    static WindowsFileSystem instance;
    return instance;
}

}  // namespace vellumar

#endif
