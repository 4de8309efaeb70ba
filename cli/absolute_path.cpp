#include "cli/absolute_path.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <limits.h>
#include <unistd.h>
#endif

namespace vellumar {

std::string absolutePath(const std::string& path) {
    if (path.empty()) return path;
#ifdef _WIN32
    std::string buffer(MAX_PATH, '\0');
    for (;;) {
        DWORD n = GetFullPathNameA(path.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(),
                                   nullptr);
        if (n == 0) return path;
        if (n < buffer.size()) return buffer.substr(0, n);
        buffer.resize(n);
    }
#else
    if (path[0] == '/') return path;
    char folder[PATH_MAX];
    if (!::getcwd(folder, sizeof folder)) return path;
    std::string full = folder;
    if (full.back() != '/') full += '/';
    // "./name" reads better as "name" in the list files and messages.
    return full + (path.rfind("./", 0) == 0 ? path.substr(2) : path);
#endif
}

}  // namespace vellumar
