#include "engine/lists/list_lock.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

#include <cstdint>
#include <cstdio>
#include <map>
#include <mutex>
#include <string>

#include "engine/platform/platform.h"

// The lock is no file of the program's: it bypasses FileSystem, so a test
// counting calls counts the lists' own.

namespace vellumar {
namespace {

#ifdef _WIN32
// A named mutex of the folder: it leaves no file among the lists, and
// Windows hands it on when its owner dies. Named after a hash of the
// folder, as a name may not hold a backslash.
using LockHandle = HANDLE;
const LockHandle kNoLock = nullptr;

LockHandle lockFolder(const std::string& folder) {
    uint64_t hash = 14695981039346656037ull;
    for (char c : folder) {
        const unsigned char u = static_cast<unsigned char>(c);
        const unsigned char same = u >= 'a' && u <= 'z' ? u - 32 : u == '/' ? '\\' : u;
        hash = (hash ^ same) * 1099511628211ull;
    }
    char name[64];
    std::snprintf(name, sizeof name, "Local\\Tessarin-lists-%016llx",
                  static_cast<unsigned long long>(hash));
    HANDLE mutex = CreateMutexA(nullptr, FALSE, name);
    if (!mutex) return kNoLock;
    const DWORD waited = WaitForSingleObject(mutex, INFINITE);
    if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
        CloseHandle(mutex);
        return kNoLock;
    }
    return mutex;
}

void unlockFolder(LockHandle mutex) {
    ReleaseMutex(mutex);
    CloseHandle(mutex);
}
#else
// flock on the folder itself: it leaves no file among the lists.
using LockHandle = int;
const LockHandle kNoLock = -1;

LockHandle lockFolder(const std::string& folder) {
    int handle = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (handle < 0) return kNoLock;
    int locked;
    do {
        locked = ::flock(handle, LOCK_EX);
    } while (locked != 0 && errno == EINTR);
    if (locked != 0) {
        ::close(handle);
        return kNoLock;
    }
    return handle;
}

void unlockFolder(LockHandle handle) {
    ::flock(handle, LOCK_UN);
    ::close(handle);
}
#endif

struct Held {
    LockHandle handle = kNoLock;
    unsigned depth = 0;
};

// One hold per folder for the whole process; the recursive mutex makes
// other threads wait and lets the holding thread nest.
std::recursive_mutex& processMutex() {
    static std::recursive_mutex mutex;
    return mutex;
}
std::map<std::string, Held>& holds() {
    static std::map<std::string, Held> held;
    return held;
}

// The folder as the holds know it. On Linux a second flock of the folder
// through another descriptor would wait for this very process, so any two
// spellings of one folder must find the same hold: it is known by identity.
std::string holdKey(const std::string& path) {
#ifndef _WIN32
    struct stat st;
    if (::stat(path.c_str(), &st) == 0)
        return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
#endif
    return path;
}

}  // namespace

ListLock::ListLock(const std::string& folder) {
    std::string path = folder.empty() ? applicationDirectory() : folder;
    while (path.size() > 1 && (path.back() == '/' || path.back() == kSeparator)) path.pop_back();
    processMutex().lock();
    key_ = holdKey(path);
    Held& held = holds()[key_];
    if (held.depth++ == 0) held.handle = lockFolder(path);
}

ListLock::~ListLock() {
    Held& held = holds()[key_];
    if (--held.depth == 0) {
        if (held.handle != kNoLock) unlockFolder(held.handle);
        holds().erase(key_);
    }
    processMutex().unlock();
}

}  // namespace vellumar
