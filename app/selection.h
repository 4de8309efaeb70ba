#pragma once
// The open-file dialog's selection text: one full path, or a folder followed
// by the chosen names, each part separated by a NUL.

#include <string>
#include <vector>

namespace vellumar {

// Joins what Desktop::pickFiles returns into the selection text.
std::string joinSelection(const std::vector<std::string>& parts);

// The number of chosen files: the number of NULs, or 1 for a single path.
long countSelectedFiles(const std::string& selection);

// The full path of the n-th chosen file, counted from 1.
std::string getSelectedFile(const std::string& selection, long n);

// Turns full paths from a file dialog into the dialog's form: the path alone
// for one file, else the folder they share followed by the names below it.
std::vector<std::string> dialogSelection(const std::vector<std::string>& paths);

}  // namespace vellumar
