#pragma once

#include <string>
#include <vector>

namespace vellumar {

// The names of the files in a folder as the hidden file box lists them:
// hidden files too (locked files are hidden), system files and sub-folders
// not; sorted by name, ignoring case. Empty when the folder cannot be read.
std::vector<std::string> FileBoxNames(const std::string& folder);

}  // namespace vellumar
