// Machine facts on Linux and other POSIX systems.
#ifndef _WIN32

#include <limits.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>

#include "engine/platform/durable_folder.h"
#include "engine/platform/platform.h"

namespace vellumar {
namespace {

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

bool makeFolders(const std::string& path) {
    // Asked for every list file: one look when the folder is there already.
    struct stat st;
    if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return true;
    std::string partial;
    for (size_t i = 0; i <= path.size(); ++i) {
        if (i == path.size() || (path[i] == '/' && i > 0)) {
            partial = path.substr(0, i);
            // Made private from the start, so not through the engine's
            // file system, which makes folders as a person's own.
            if (::mkdir(partial.c_str(), 0700) == 0)
                flushParentOf(partial);
            else if (errno != EEXIST)
                return false;
        }
    }
    return true;
}

// An installed copy sits in the "bin" folder of a prefix that holds
// "share" beside it (/usr, /usr/local, ~/.local, /opt/...): never a portable
// copy's folder, even for root, who may write there.
bool isInstalledCopy(const std::string& folder) {
    const size_t slash = folder.rfind('/');
    if (slash == std::string::npos || folder.compare(slash + 1, std::string::npos, "bin") != 0)
        return false;
    struct stat st;
    const std::string share = folder.substr(0, slash) + "/share";
    return ::stat(share.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string stripSeparator(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

}  // namespace

std::string windowsDirectory() { return "/usr"; }
std::string systemDirectory() { return "/usr/lib"; }

std::string executablePath() {
    char buffer[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return {};
    return std::string(buffer, static_cast<size_t>(n));
}

std::string applicationDirectory() {
    std::string home = environment("TESSARIN_HOME");
    if (home.empty()) {
        std::string exe = executablePath();
        std::string folder = exe.substr(0, exe.rfind('/'));
        if (!folder.empty() && !isInstalledCopy(folder) && ::access(folder.c_str(), W_OK) == 0)
            return folder;
        std::string data = environment("XDG_DATA_HOME");
        if (data.empty()) {
            std::string user = environment("HOME");
            if (user.empty()) {
                if (passwd* pw = ::getpwuid(::getuid())) user = pw->pw_dir;
            }
            data = user + "/.local/share";
        }
        home = data + "/Tessarin";
    }
    home = stripSeparator(home);
    makeFolders(home);
    return home;
}

std::string applicationFile(const std::string& name) {
    std::string folder = applicationDirectory();
    if (folder.empty() || folder.back() != '/') folder += '/';
    return folder + name;
}

bool onReadOnlyVolume(const std::string& path) {
    struct statvfs volume;
    if (::statvfs(path.c_str(), &volume) != 0) {
        const size_t slash = path.rfind('/');
        const std::string folder = slash == 0 ? "/" : path.substr(0, slash);
        if (slash == std::string::npos || ::statvfs(folder.c_str(), &volume) != 0) return false;
    }
    return (volume.f_flag & ST_RDONLY) != 0;
}

bool processIsRunning(unsigned long long processId) {
    if (processId == 0 || processId > static_cast<unsigned long long>(INT_MAX)) return false;
    // Signal 0 only asks; a process of another user still answers EPERM.
    return ::kill(static_cast<pid_t>(processId), 0) == 0 || errno != ESRCH;
}

}  // namespace vellumar

#endif
