// Machine facts on Windows.
#ifdef _WIN32

#include <windows.h>

#include <cstdlib>
#include <string>

#include "engine/platform/platform.h"

namespace vellumar {
namespace {

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

bool isSeparator(char c) {
    return c == '\\' || c == '/';
}

// Calls `get(buffer, size)`, which answers the length it needs, until the
// buffer is large enough.
template <typename Get>
std::string askGrowing(Get get) {
    std::string buffer(MAX_PATH, '\0');
    for (;;) {
        UINT n = get(buffer.data(), static_cast<UINT>(buffer.size()));
        if (n == 0) return {};
        if (n < buffer.size()) {
            buffer.resize(n);
            return buffer;
        }
        buffer.resize(buffer.size() * 2 > n ? buffer.size() * 2 : n + 1);
    }
}

// Creates every missing folder on the path. The drive, a share's name and
// folders that exist already refuse creation; only the last one counts.
bool makeFolders(const std::string& path) {
    for (size_t i = 1; i < path.size(); ++i)
        if (isSeparator(path[i]) && !isSeparator(path[i - 1]))
            CreateDirectoryA(path.substr(0, i).c_str(), nullptr);
    CreateDirectoryA(path.c_str(), nullptr);
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Removes trailing separators, but keeps a drive's root ("C:\") whole.
std::string stripSeparator(std::string path) {
    while (path.size() > 1 && isSeparator(path.back()) && !(path.size() == 3 && path[1] == ':'))
        path.pop_back();
    return path;
}

// The attributes of a folder say nothing about whether we may write there
// (Program Files is guarded by its access list): try it.
bool canWriteIn(const std::string& folder) {
    std::string probe = folder + "\\.tessarin-probe-" + std::to_string(GetCurrentProcessId());
    HANDLE handle = CreateFileA(
        probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
        FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    CloseHandle(handle);
    return true;
}

}  // namespace

std::string windowsDirectory() {
    return askGrowing([](char* buffer, UINT size) { return GetWindowsDirectoryA(buffer, size); });
}

std::string systemDirectory() {
    return askGrowing([](char* buffer, UINT size) { return GetSystemDirectoryA(buffer, size); });
}

std::string executablePath() {
    // A name cut short answers the buffer's full size, so it is asked again.
    return askGrowing(
        [](char* buffer, UINT size) { return GetModuleFileNameA(nullptr, buffer, size); });
}

std::string applicationDirectory() {
    std::string home = environment("TESSARIN_HOME");
    if (home.empty()) {
        std::string exe = executablePath();
        size_t slash = exe.find_last_of("\\/");
        std::string folder = slash == std::string::npos ? std::string() : exe.substr(0, slash);
        if (!folder.empty() && canWriteIn(folder)) return folder;
        home = environment("APPDATA") + "\\Tessarin";
    }
    home = stripSeparator(home);
    makeFolders(home);
    return home;
}

std::string applicationFile(const std::string& name) {
    std::string folder = applicationDirectory();
    if (folder.empty() || !isSeparator(folder.back())) folder += '\\';
    return folder + name;
}

bool onReadOnlyVolume(const std::string& path) {
    char root[MAX_PATH];
    DWORD flags = 0;
    return GetVolumePathNameA(path.c_str(), root, MAX_PATH) &&
           GetVolumeInformationA(root, nullptr, 0, nullptr, nullptr, &flags, nullptr, 0) &&
           (flags & FILE_READ_ONLY_VOLUME) != 0;
}

bool processIsRunning(unsigned long long processId) {
    if (processId == 0 || processId > 0xFFFFFFFFull) return false;
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(processId));
    if (!process) return GetLastError() == ERROR_ACCESS_DENIED;
    const bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return running;
}

}  // namespace vellumar

#endif
