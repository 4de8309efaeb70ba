#include "engine/platform/file_system.h"

namespace vellumar {
namespace {
FileSystem* current = nullptr;
}

const char* describe(IoError error) {
    switch (error) {
        case IoError::ok:
            return "no error";
        case IoError::notFound:
            return "path not found";
        case IoError::accessDenied:
            return "path/file access error";
        case IoError::alreadyOpen:
            return "file already open";
        case IoError::exists:
            return "file already exists";
        case IoError::noSpace:
            return "disk full";
        case IoError::nameTooLong:
            return "name too long";
        case IoError::unsupported:
            return "not supported";
        case IoError::changed:
            return "the file changed while it was being read";
        case IoError::outsideFolder:
            return "a link on its path leads out of the folder";
        case IoError::nameNotAllowed:
            return "the file system does not allow this name";
        case IoError::cannotRenameWithoutReplacing:
            return "the file system cannot do the rename without replacing";
        case IoError::cancelled:
            return "the run was cancelled";
        case IoError::other:
            break;
    }
    return "input/output error";
}

bool FileSystem::takesWindowsNamesOnly(const std::string& /*folder*/) {
#ifdef _WIN32
    return true;
#else
    return false;
#endif
}

FileSystem& fileSystem() { return current ? *current : platformFileSystem(); }

FileSystemOverride::FileSystemOverride(FileSystem& replacement) : previous_(current) {
    current = &replacement;
}

FileSystemOverride::~FileSystemOverride() { current = previous_; }

IoError readWholeFile(const std::string& path, std::string& out) {
    out.clear();
    FileSystem& fs = fileSystem();
    FileHandle file = kNoFile;
    if (IoError e = fs.openRead(path, file); e != IoError::ok) return e;
    FileCloser closer(file);
    char buffer[65536];
    for (;;) {
        size_t got = 0;
        if (IoError e = fs.read(file, buffer, sizeof buffer, got); e != IoError::ok) return e;
        if (got == 0) return IoError::ok;
        out.append(buffer, got);
    }
}

}  // namespace vellumar
