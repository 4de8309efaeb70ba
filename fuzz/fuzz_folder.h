#pragma once
// What the fuzz targets share: a private folder for the files an input
// becomes (TESSARIN_HOME points into it too), and a desktop that only
// counts the messages it is shown.

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/runs/desktop.h"
#include "engine/platform/file_system.h"

namespace vellumar::fuzz {

class QuietDesktop final : public Desktop {
  public:
    void message(const std::string&, Icon, const std::string&) override { ++messages; }
    int messages = 0;
};

// The folder, made once per process.
inline const std::string& fuzzFolder() {
    static const std::string folder = [] {
        FileStatus status;
        // In memory where there is such a file system: every unlock flushes.
        std::string pattern = platformFileSystem().status("/dev/shm", status) == IoError::ok
                                  ? "/dev/shm/vellumar-fuzz-XXXXXX"
                                  : "/tmp/vellumar-fuzz-XXXXXX";
        const char* made = mkdtemp(pattern.data());
        if (!made) std::abort();
        static const std::string root = made;
        std::atexit([] { std::filesystem::remove_all(root); });
        const std::string home = root + "/home";
        platformFileSystem().createFolder(home);
        setenv("TESSARIN_HOME", home.c_str(), 1);
        return std::string(made) + "/work";
    }();
    return folder;
}

// The names in the work folder, after making it afresh when asked.
inline std::vector<std::string> namesInFolder() {
    std::vector<FolderEntry> entries;
    platformFileSystem().listFolder(fuzzFolder(), entries);
    std::vector<std::string> names;
    for (const FolderEntry& entry : entries) names.push_back(entry.name);
    return names;
}

// An empty work folder for the next input.
inline void emptyFolder() {
    FileSystem& fs = platformFileSystem();
    fs.createFolder(fuzzFolder());
    for (const std::string& name : namesInFolder()) fs.removeFile(fuzzFolder() + "/" + name);
}

// Writes the input as a file of the work folder and returns its path.
inline std::string writeInput(const std::string& name, const char* data, size_t size) {
    emptyFolder();
    const std::string path = fuzzFolder() + "/" + name;
    FileHandle file = kNoFile;
    if (platformFileSystem().createNew(path, file) != IoError::ok) std::abort();
    if (size > 0 && platformFileSystem().write(file, data, size) != IoError::ok) std::abort();
    platformFileSystem().close(file);
    return path;
}

inline std::string readBack(const std::string& path) {
    std::string content;
    readWholeFile(path, content);
    return content;
}

}  // namespace vellumar::fuzz
