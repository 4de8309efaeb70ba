#ifdef _WIN32

#include "engine/platform/windows_folder_confinement.h"

#include <windows.h>

#include <mutex>
#include <utility>

#include "engine/platform/folder_confinement.h"

namespace vellumar {

class ConfinedFolder {
  public:
    explicit ConfinedFolder(const std::string& root)
        : prefix_(isSeparator(root.back()) ? root : root + '\\') {}

    IoError check(const std::string& path, bool withLast) const {
        if (path.size() <= prefix_.size() || !startsWithRoot(path)) return IoError::ok;
        for (size_t from = prefix_.size();;) {
            size_t end = path.find_first_of("\\/", from);
            const bool last = end == std::string::npos;
            if (last) end = path.size();
            if (last && !withLast) return IoError::ok;
            const std::string name = path.substr(from, end - from);
            if (name == "." || name == "..") return IoError::outsideFolder;
            if (!name.empty()) {
                const DWORD attributes = GetFileAttributesA(path.substr(0, end).c_str());
                // A folder that is not there: the call itself says so.
                if (attributes == INVALID_FILE_ATTRIBUTES) return IoError::ok;
                if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return IoError::outsideFolder;
            }
            if (last) return IoError::ok;
            from = end + 1;
        }
    }

  private:
    static bool isSeparator(char c) { return c == '\\' || c == '/'; }
    static char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

    // Names match in any case, separators either way.
    bool startsWithRoot(const std::string& path) const {
        for (size_t i = 0; i < prefix_.size(); ++i) {
            if (isSeparator(path[i]) && isSeparator(prefix_[i])) continue;
            if (upper(path[i]) != upper(prefix_[i])) return false;
        }
        return true;
    }

    const std::string prefix_;
};

namespace {

std::mutex activeMutex;
std::shared_ptr<ConfinedFolder> active;

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

IoError checkConfinedPath(const std::string& path, bool withLast) {
    std::shared_ptr<ConfinedFolder> confined;
    {
        std::lock_guard<std::mutex> lock(activeMutex);
        confined = active;
    }
    return confined ? confined->check(path, withLast) : IoError::ok;
}

}  // namespace vellumar

#endif
