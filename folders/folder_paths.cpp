#include "folders/folder_paths.h"

#include <vector>

#include "engine/platform/file_system.h"
#include "engine/platform/paths.h"
#include "engine/platform/platform.h"

namespace vellumar {
namespace {

bool isSeparator(char c) {
#ifdef _WIN32
    return c == '\\' || c == '/';
#else
    return c == '/';
#endif
}

// The root a path starts with ("C:\", "\\" of a share, "/"), or empty for
// a path that is not absolute.
std::string rootOf(const std::string& path) {
#ifdef _WIN32
    if (path.size() >= 3 && path[1] == ':' && isSeparator(path[2])) return path.substr(0, 2) + '\\';
    if (path.size() >= 2 && isSeparator(path[0]) && isSeparator(path[1])) return "\\\\";
    return {};
#else
    return !path.empty() && path[0] == '/' ? "/" : std::string();
#endif
}

std::string parentOf(const std::string& path) {
    size_t last = path.rfind(kSeparator);
    if (last == std::string::npos || last + 1 == path.size()) return {};
    std::string parent = path.substr(0, last);
    const std::string root = rootOf(path);
    return parent.size() < root.size() ? root : parent;
}

}  // namespace

std::string normalPath(const std::string& path) {
    const std::string root = rootOf(path);
    if (root.empty()) return {};
    std::vector<std::string> parts;
    size_t i = root.size();
    while (i < path.size()) {
        size_t end = i;
        while (end < path.size() && !isSeparator(path[end])) ++end;
        std::string part = path.substr(i, end - i);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(std::move(part));
        }
        i = end + 1;
    }
    std::string result = root;
    for (size_t n = 0; n < parts.size(); ++n) {
        if (n > 0) result += kSeparator;
        result += parts[n];
    }
    return result;
}

std::string normalFolderPath(const std::string& path) {
    std::string result = normalPath(path);
    FileStatus status;
    if (result.empty() || fileSystem().status(result, status) != IoError::ok ||
        status.kind != EntryKind::folder)
        return {};
    return result;
}

std::string splitFolderPath(std::string& path, std::string& ParentPath) {
    size_t last = path.rfind(kSeparator);
    ParentPath = last == std::string::npos ? std::string() : path.substr(0, last + 1);
    if (last != std::string::npos) path.erase(0, last + 1);
    return path;
}

std::string driveOf(const std::string& path) {
#ifdef _WIN32
    if (path.size() >= 2 && path[1] == ':') return path.substr(0, 2) + kSeparator;
    return {};
#else
    (void)path;
    return std::string(1, kSeparator);
#endif
}

bool isDriveRoot(const std::string& path) {
    return !path.empty() && rootOf(path) == path;
}

bool sameFolder(const std::string& a, const std::string& b) {
    if (a == b) return true;
    FileStatus first, second;
    FileSystem& fs = fileSystem();
    return fs.status(a, first) == IoError::ok && fs.status(b, second) == IoError::ok &&
           first.kind == EntryKind::folder && second.kind == EntryKind::folder &&
           (first.volume != 0 || first.index != 0) && first.volume == second.volume &&
           first.index == second.index;
}

bool holdsFolder(const std::string& folder, const std::string& inner) {
    for (std::string path = normalPath(inner); !path.empty(); path = parentOf(path))
        if (sameFolder(folder, path)) return true;
    return false;
}

}  // namespace vellumar
