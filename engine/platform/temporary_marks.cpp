// The platform's marks on temporaries (see FileSystem::markTemporary): the
// extended attribute "user.tessarin.temporary" on Linux, none elsewhere, so
// that there a leftover temporary is never taken for ours and removed.
#include "engine/platform/file_system.h"

#ifndef _WIN32
#include "engine/platform/posix_folder_handles.h"
#endif

#ifdef __linux__
#include <errno.h>
#include <sys/xattr.h>
#endif

namespace vellumar {

#ifdef __linux__
namespace {

constexpr const char* kMarkAttribute = "user.tessarin.temporary";

// The file system keeps no mark of this kind (or none on this file).
bool noMark(int error) { return error == ENODATA || error == ENOTSUP || error == EOPNOTSUPP; }

IoError fromErrno(int error) { return noMark(error) ? IoError::unsupported : ioErrorOf(error); }

}  // namespace

IoError FileSystem::markTemporary(FileHandle file, const std::string& mark) {
    if (::fsetxattr(static_cast<int>(file), kMarkAttribute, mark.data(), mark.size(),
                    XATTR_CREATE) == 0)
        return IoError::ok;
    return fromErrno(errno);
}

IoError FileSystem::temporaryMark(const std::string& path, std::string& out) {
    out.clear();
    char value[256];
    const ssize_t size = ::lgetxattr(path.c_str(), kMarkAttribute, value, sizeof value);
    if (size >= 0) {
        out.assign(value, static_cast<size_t>(size));
        return IoError::ok;
    }
    // ERANGE: longer than any mark this program writes, so none of ours.
    return noMark(errno) || errno == ERANGE ? IoError::ok : fromErrno(errno);
}

IoError FileSystem::unmarkTemporary(const std::string& path) {
    if (::lremovexattr(path.c_str(), kMarkAttribute) == 0 || noMark(errno)) return IoError::ok;
    return fromErrno(errno);
}

#else

IoError FileSystem::markTemporary(FileHandle /*file*/, const std::string& /*mark*/) {
    return IoError::unsupported;
}

IoError FileSystem::temporaryMark(const std::string& /*path*/, std::string& out) {
    out.clear();
    return IoError::ok;
}

IoError FileSystem::unmarkTemporary(const std::string& /*path*/) { return IoError::ok; }

#endif

IoError FileSystem::createTemporary(const std::string& path, const std::string& mark,
                                    FileHandle& out) {
    if (IoError e = createNew(path, out); e != IoError::ok) return e;
    const IoError marked = markTemporary(out, mark);
    return marked == IoError::unsupported || marked == IoError::accessDenied ? IoError::ok
                                                                             : marked;
}

}  // namespace vellumar
