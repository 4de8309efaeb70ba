#include "tests/support/temp_folder.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <vector>

#include "engine/platform/file_system.h"
#include "engine/platform/platform.h"

namespace fs = std::filesystem;

namespace vellumar::test {
namespace {

void setEnvironment(const char* name, const std::string& value) {
#ifdef _WIN32
    _putenv_s(name, value.c_str());
#else
    setenv(name, value.c_str(), 1);
#endif
}

std::string native(std::string relative) {
    std::replace(relative.begin(), relative.end(), '/', kSeparator);
    return relative;
}

// Makes everything below writable again so the folder can be removed.
void makeWritable(const fs::path& root) {
    std::error_code ec;
    fileSystem().setAttributes(root.string(), kAttrNormal);
    for (auto it = fs::recursive_directory_iterator(root, ec);
         it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (ec) break;
        if (!it->is_symlink()) platformFileSystem().setAttributes(it->path().string(), kAttrNormal);
    }
}

// Creates the folders on the way through the platform's own calls: a name
// may hold any byte (a locked folder's name does), which std::filesystem
// would re-encode on Windows.
void makeFolders(const std::string& base, const std::string& relative) {
    for (size_t end = relative.find(kSeparator);; end = relative.find(kSeparator, end + 1)) {
        platformFileSystem().createFolder(base + kSeparator + relative.substr(0, end));
        if (end == std::string::npos) break;
    }
}

}  // namespace

TempFolder::TempFolder() {
    std::random_device seed;
    std::mt19937_64 random(seed());
    fs::path base = fs::temp_directory_path();
    for (;;) {
        fs::path candidate =
            base / ("vellumar-test-" + std::to_string(random() % 1000000000000ULL));
        std::error_code ec;
        if (fs::create_directory(candidate, ec)) {
            path_ = candidate.string();
            break;
        }
    }
    home_ = path_ + kSeparator + "home";
    fs::create_directory(home_);
    setEnvironment("TESSARIN_HOME", home_);
}

TempFolder::~TempFolder() {
    std::error_code ec;
    makeWritable(path_);
    fs::remove_all(path_, ec);
}

std::string TempFolder::operator/(const std::string& relative) const {
    return path_ + kSeparator + native(relative);
}

std::string TempFolder::write(const std::string& relative, const std::string& content) const {
    std::string full = *this / relative;
    std::string folder = native(relative);
    size_t last = folder.rfind(kSeparator);
    if (last != std::string::npos) makeFolders(path_, folder.substr(0, last));
    std::ofstream out(full, std::ios::binary);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    return full;
}

std::string TempFolder::makeFolder(const std::string& relative) const {
    makeFolders(path_, native(relative));
    return *this / relative;
}

std::string readFile(const std::string& path) {
    FileStatus status;
    if (platformFileSystem().status(path, status) != IoError::ok) return "<missing>";
    std::ifstream in(path, std::ios::binary);
    if (!in) return "<missing>";
    std::ostringstream buffer;
    buffer << in.rdbuf();
    return buffer.str();
}

std::string listTree(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(folder, ec);
         it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (ec) break;
        names.push_back(fs::relative(it->path(), folder).generic_string());
    }
    std::sort(names.begin(), names.end());
    std::string result;
    for (const std::string& name : names) result += name + "\n";
    return result;
}

}  // namespace vellumar::test
