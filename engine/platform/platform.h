#pragma once
// Facts about the machine and the running program that the flows rely on.

#include <string>

namespace vellumar {

// The path separator of the platform: '\' on Windows, '/' elsewhere.
#ifdef _WIN32
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif

// The Windows directory and the system directory (on Linux: /usr and /usr/lib),
// which the program refuses to lock.
std::string windowsDirectory();
std::string systemDirectory();

// Full path of the running executable, or empty when it cannot be told.
std::string executablePath();

// The folder of the list files ("files", "folders", ...): TESSARIN_HOME when
// set; else the executable's folder when it is writable (a portable copy),
// unless it is an installed copy's (on Linux: a "bin" folder with "share"
// beside it); else the per-user data folder. Created when missing.
std::string applicationDirectory();

// The path of a list file in the application directory.
std::string applicationFile(const std::string& name);

// Whether the file system that holds `path` (or its folder, when the path
// names nothing) is mounted read-only: a refused write then has that cause.
bool onReadOnlyVolume(const std::string& path);

// Whether a process of this number runs on this machine (true when that
// cannot be told).
bool processIsRunning(unsigned long long processId);

}  // namespace vellumar
