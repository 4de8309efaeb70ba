#include "engine/platform/paths.h"

#include "engine/platform/file_system.h"
#include "engine/platform/platform.h"

namespace vellumar {
namespace {

char asciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

}  // namespace

std::string addBackslash(const std::string& path) {
    if (!path.empty() && path.back() == kSeparator) return path;
    return path + kSeparator;
}

std::string stripBackslash(const std::string& path) {
    if (!path.empty() && path.back() == kSeparator) return path.substr(0, path.size() - 1);
    return path;
}

std::string getExtension(const std::string& path) {
    size_t dot = path.rfind('.');
    return dot == std::string::npos ? std::string() : path.substr(dot + 1);
}

std::string getFolderPart(const std::string& path) {
    size_t slash = path.rfind(kSeparator);
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string getFileName(const std::string& path) {
    size_t slash = path.rfind(kSeparator);
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string removeExtension(const std::string& path) {
    std::string result = trimNull(path);
    // As the shell finds an extension: the last "." of the last component,
    // unless a blank follows it.
    size_t extension = std::string::npos;
    for (size_t i = 0; i < result.size(); ++i) {
        char c = result[i];
        if (c == kSeparator || c == ' ')
            extension = std::string::npos;
        else if (c == '.')
            extension = i;
    }
    if (extension != std::string::npos) result.resize(extension);
    return result;
}

std::string trimNull(const std::string& text) {
    size_t nul = text.find('\0');
    return nul == std::string::npos ? text : text.substr(0, nul);
}

std::string trim(const std::string& text) {
    size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    size_t last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

std::string toUpper(const std::string& text) {
    std::string result = text;
    for (char& c : result) c = asciiUpper(c);
    return result;
}

bool fileExists(const std::string& path) {
    if (path.empty()) return false;
    FileStatus status;
    return fileSystem().status(path, status) == IoError::ok;
}

std::string fileSizeText(const std::string& path) {
    if (path.empty()) return {};
    FileStatus status;
    if (fileSystem().status(path, status) != IoError::ok || status.kind != EntryKind::file)
        return {};
    return std::to_string(status.size);
}

bool shellDelete(const std::vector<std::string>& paths, bool, bool, bool) {
    bool all = !paths.empty();
    FileSystem& fs = fileSystem();
    for (const std::string& path : paths) {
        FileStatus status;
        if (fs.status(path, status) != IoError::ok) {
            all = false;
            continue;
        }
        IoError e = status.kind == EntryKind::folder ? fs.removeFolder(path) : fs.removeFile(path);
        if (e != IoError::ok) all = false;
    }
    return all;
}

bool shellDelete(const std::string& path, bool allowUndo, bool confirm, bool silent) {
    return shellDelete(std::vector<std::string>{path}, allowUndo, confirm, silent);
}

}  // namespace vellumar
