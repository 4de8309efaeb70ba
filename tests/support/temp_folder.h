#pragma once
// A fresh folder per test, with TESSARIN_HOME pointing into it.

#include <string>

namespace vellumar::test {

class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& path() const { return path_; }
    // path() + separator + relative (relative uses '/' and is converted).
    std::string operator/(const std::string& relative) const;
    // The application directory used by the test (TESSARIN_HOME).
    const std::string& home() const { return home_; }

    // Writes a file (creating folders on the way) and returns its path.
    std::string write(const std::string& relative, const std::string& content) const;
    std::string makeFolder(const std::string& relative) const;

private:
    std::string path_;
    std::string home_;
};

// Reads a whole file, or returns "<missing>" when it cannot.
std::string readFile(const std::string& path);
// Every entry name below a folder (relative, sorted), to compare trees.
std::string listTree(const std::string& folder);

}  // namespace vellumar::test
