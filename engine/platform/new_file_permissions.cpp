// The permissions a person's new file gets: what the program creates private
// for its writing is opened to others as any file the person makes would be.
#include "engine/platform/file_system.h"

#ifndef _WIN32
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "engine/platform/posix_folder_handles.h"
#endif

namespace vellumar {

#ifndef _WIN32
namespace {

// The process's umask, read without changing it where Linux shows it: setting
// it to read it back would let a file another thread creates meanwhile take
// the wrong one.
mode_t currentUmask() {
    if (FILE* status = std::fopen("/proc/self/status", "re")) {
        char line[256];
        unsigned value = 0;
        bool found = false;
        while (!found && std::fgets(line, sizeof line, status))
            found = std::strncmp(line, "Umask:", 6) == 0 && std::sscanf(line + 6, "%o", &value) == 1;
        std::fclose(status);
        if (found) return static_cast<mode_t>(value & 0777);
    }
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return mask;
}

}  // namespace

IoError FileSystem::useNewFilePermissions(FileHandle file) {
    const mode_t mode = 0666 & ~currentUmask();
    return ::fchmod(static_cast<int>(file), mode) == 0 ? IoError::ok : ioErrorOf(errno);
}

#else

IoError FileSystem::useNewFilePermissions(FileHandle /*file*/) { return IoError::ok; }

#endif

}  // namespace vellumar
