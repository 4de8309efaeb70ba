#ifndef _WIN32

#include "engine/platform/posix_folder_handles.h"

#include <errno.h>
#include <sys/stat.h>
#include <unistd.h>

#include <iterator>
#include <functional>
#include <mutex>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "engine/platform/folder_confinement.h"

namespace vellumar {

#ifdef O_PATH
// A handle to walk through needs only search permission on the folder.
constexpr int kWalkFlags = O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
#else
constexpr int kWalkFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
#endif

IoError ioErrorOf(int error) {
    switch (error) {
        case 0:
            return IoError::ok;
        case ENOENT:
        case ENOTDIR:
            return IoError::notFound;
        case EACCES:
        case EPERM:
        case EROFS:
        case ETXTBSY:
            return IoError::accessDenied;
        case EEXIST:
        case ENOTEMPTY:
            return IoError::exists;
        case ENOSPC:
        case EDQUOT:
            return IoError::noSpace;
        case ENAMETOOLONG:
            return IoError::nameTooLong;
        case ENOTSUP:
        case EXDEV:
            return IoError::unsupported;
        default:
            return IoError::other;
    }
}

FolderHandle::~FolderHandle() {
    if (fd_ >= 0) ::close(fd_);
}

using Hold = std::shared_ptr<const FolderHandle>;

class ConfinedFolder {
  public:
    explicit ConfinedFolder(const std::string& root)
        : root_(root), prefix_(root.back() == '/' ? root : root + '/') {
        // The root is the person's choice: a link to it, or above it, is followed.
        int fd = ::open(root.c_str(), kWalkFlags & ~O_NOFOLLOW);
        if (fd < 0) {
            rootError_ = ioErrorOf(errno);
        } else {
            rootHandle_ = std::make_shared<FolderHandle>(fd);
        }
    }

    // True for the root and every path below it.
    bool holds(const std::string& path) const {
        return path == root_ || path.compare(0, prefix_.size(), prefix_) == 0;
    }
    bool below(const std::string& path) const {
        return path.size() > prefix_.size() && path.compare(0, prefix_.size(), prefix_) == 0;
    }

    IoError locate(const std::string& path, PathAt& out) {
        // A folder's path may end with a separator ("folder/"): the name is
        // the folder's, and it is not followed either.
        const size_t end = path.find_last_not_of('/') + 1;
        if (end < prefix_.size()) return IoError::ok;  // the root itself: as given
        const size_t last = path.rfind('/', end - 1);
        const size_t start = last + 1;
        if (isClimb(path, start, end)) return IoError::outsideFolder;
        if (IoError e = folder(path, last < prefix_.size() ? prefix_.size() - 1 : last, out.hold_);
            e != IoError::ok)
            return e;
        if (end == path.size()) {
            out.name_ = path.c_str() + start;  // the caller's path outlives the call
        } else {
            out.last_.assign(path, start, end - start);
            out.name_ = out.last_.c_str();
        }
        return IoError::ok;
    }

    // The handle of the folder path[0, end), which is the root or below it.
    IoError folder(const std::string& path, size_t end, Hold& out) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!rootHandle_) return rootError_;
        // A handle is kept only while the handles of all the folders above it
        // are (forget() relies on that), so the cache starts over as a whole.
        if (cache_.size() > kMaxHandles) forgetAll();
        // A run works through one folder after another: most calls are for
        // the folder of the call before.
        if (end == lastPath_.size() && path.compare(0, end, lastPath_) == 0) {
            out = lastHandle_;
            return IoError::ok;
        }
        // Else the nearest folder on the way that is open already.
        size_t from = end;
        Hold at;
        for (;;) {
            if (from < prefix_.size()) {
                at = rootHandle_;
                from = prefix_.size();
                break;
            }
            if (auto found = cache_.find(std::string_view(path).substr(0, from)); found != cache_.end()) {
                at = found->second;
                ++from;
                break;
            }
            from = path.rfind('/', from - 1);
            if (from == std::string::npos) from = 0;
        }
        // Then down, one name at a time, never through a link.
        while (from < end) {
            size_t next = path.find('/', from);
            if (next == std::string::npos || next > end) next = end;
            if (next > from) {
                if (isClimb(path, from, next)) return IoError::outsideFolder;
                const std::string name = path.substr(from, next - from);
                int fd = ::openat(at->fd(), name.c_str(), kWalkFlags);
                if (fd < 0) return walkError(at->fd(), name);
                at = std::make_shared<FolderHandle>(fd);
                cache_.emplace(path.substr(0, next), at);
            }
            from = next + 1;
        }
        lastPath_.assign(path, 0, end);
        lastHandle_ = at;
        out = std::move(at);
        return IoError::ok;
    }

    void forget(const std::string& path) {
        std::lock_guard<std::mutex> lock(mutex_);
        // Every handle below a folder came through the folder's own handle.
        if (cache_.erase(path) == 0) return;
        lastPath_.clear();
        lastHandle_.reset();
        const std::string inside = path + '/';
        for (auto it = cache_.begin(); it != cache_.end();) {
            it = it->first.compare(0, inside.size(), inside) == 0 ? cache_.erase(it) : std::next(it);
        }
    }

  private:
    static constexpr size_t kMaxHandles = 256;

    // Looks names up without copying them out of the path.
    struct NameHash {
        using is_transparent = void;
        size_t operator()(std::string_view name) const { return std::hash<std::string_view>()(name); }
    };

    void forgetAll() {
        cache_.clear();
        lastPath_.clear();
        lastHandle_.reset();
    }

    static bool isClimb(const std::string& path, size_t from, size_t to) {
        const size_t size = to - from;
        return (size == 1 && path[from] == '.') ||
               (size == 2 && path[from] == '.' && path[from + 1] == '.');
    }

    // Why a folder on the way could not be opened: a link there leads out.
    static IoError walkError(int folder, const std::string& name) {
        const int error = errno;
        struct stat st;
        if (::fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode))
            return IoError::outsideFolder;
        return ioErrorOf(error);
    }

    const std::string root_;
    const std::string prefix_;  // the root with one trailing separator
    Hold rootHandle_;
    IoError rootError_ = IoError::ok;
    std::mutex mutex_;
    // By the folder's path as the run spells it.
    std::unordered_map<std::string, Hold, NameHash, std::equal_to<>> cache_;
    std::string lastPath_;  // the folder of the last call, and its handle
    Hold lastHandle_;
};

namespace {

std::mutex activeMutex;
std::shared_ptr<ConfinedFolder> active;

std::shared_ptr<ConfinedFolder> activeConfinement() {
    std::lock_guard<std::mutex> lock(activeMutex);
    return active;
}

}  // namespace

FolderConfinement::FolderConfinement(const std::string& root) {
    auto confined = root.empty() ? nullptr : std::make_shared<ConfinedFolder>(root);
    std::lock_guard<std::mutex> lock(activeMutex);
    previous_ = std::exchange(active, std::move(confined));
}

FolderConfinement::~FolderConfinement() {
    std::lock_guard<std::mutex> lock(activeMutex);
    active = std::move(previous_);
}

IoError locatePath(const std::string& path, PathAt& out) {
    out.hold_.reset();
    out.name_ = path.c_str();
    const std::shared_ptr<ConfinedFolder> confined = activeConfinement();
    if (!confined || !confined->below(path)) return IoError::ok;
    return confined->locate(path, out);
}

IoError openFolder(const std::string& path, int flags, int& fd) {
    fd = -1;
    const std::shared_ptr<ConfinedFolder> confined = activeConfinement();
    if (confined && confined->holds(path)) {
        Hold folder;
        const size_t end = path.find_last_not_of('/') + 1;  // without trailing separators
        if (IoError e = confined->folder(path, end, folder); e != IoError::ok) return e;
        fd = ::openat(folder->fd(), ".", flags | O_DIRECTORY | O_CLOEXEC);
    } else {
        fd = ::open(path.empty() ? "." : path.c_str(), flags | O_DIRECTORY | O_CLOEXEC);
    }
    return fd < 0 ? ioErrorOf(errno) : IoError::ok;
}

void forgetFolder(const std::string& path) {
    if (const std::shared_ptr<ConfinedFolder> confined = activeConfinement()) confined->forget(path);
}

}  // namespace vellumar

#endif
