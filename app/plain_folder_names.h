#pragma once
// A locked folder's name is its plain name with every byte shifted: shown
// as it is, it reads as noise (or as replacement characters where it is not
// valid UTF-8). What the window shows names such a folder by its plain name
// and says that it is locked ("Reports (locked)").

#include <string>
#include <vector>

namespace vellumar {

// `text` with every locked path of a listed folder (`records`: the plain
// paths of "folders") shown under its plain name. A path inside such a
// folder keeps the rest of its parts.
std::string withPlainFolderNames(const std::string& text, const std::vector<std::string>& records);

// The same with the records of "folders" as they are now; `text` as it is
// when the list cannot be read.
std::string withPlainFolderNames(const std::string& text);

}  // namespace vellumar
