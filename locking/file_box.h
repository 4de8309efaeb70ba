#pragma once

#include <string>
#include <vector>

#include "engine/platform/file_system.h"

namespace vellumar {

// The names of the files in a folder as the hidden file box lists them:
// hidden files too (locked files are hidden); system files, links,
// sub-folders and the folder's ".hidden" list not; sorted by name, ignoring
// case. Empty when the folder cannot be read.
std::vector<std::string> fileBoxNames(const std::string& folder);
// The same from a listing of the folder already read. A folder run takes
// system files too (`withSystemFiles`): a file a Windows client marked
// System is a person's file like any other there, and must not be left
// plain inside a folder that is hidden and renamed.
std::vector<std::string> fileBoxNames(const std::string& folder,
                                      const std::vector<FolderEntry>& entries,
                                      bool withSystemFiles = false);

// The order of the boxes' entries: by name ignoring case, then by bytes.
bool nameOrder(const std::string& a, const std::string& b);

}  // namespace vellumar
