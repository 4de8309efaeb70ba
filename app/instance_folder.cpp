#include "app/instance_folder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "engine/platform/paths.h"
#include "engine/platform/platform.h"

namespace vellumar {

bool isPrivateFolder(const std::string& path) {
    struct stat st;
    return !path.empty() && ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
           st.st_uid == ::geteuid() && (st.st_mode & 0777) == 0700;
}

std::string instanceFolder() {
    // su, sudo and ssh leave it unset; a relative one is nobody's.
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && runtime[0] == '/') {
        const std::string folder = stripBackslash(runtime);
        if (isPrivateFolder(folder)) return folder;
    }
    const std::string home = applicationDirectory();
    if (home.empty()) return {};
    const std::string folder = addBackslash(home) + "runtime";
    if (::mkdir(folder.c_str(), 0700) == 0) {
        // Made here: 0700 whatever the umask took away (never through a link).
        const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd >= 0) {
            ::fchmod(fd, 0700);
            ::close(fd);
        }
    }
    // One that was there already is used only as it would have been made.
    return isPrivateFolder(folder) ? folder : std::string();
}

}  // namespace vellumar
