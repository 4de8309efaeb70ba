#pragma once
// The small path and text helpers the whole program uses. Paths use the
// platform's separator (kSeparator).

#include <string>
#include <vector>

namespace vellumar {

std::string addBackslash(const std::string& path);
std::string stripBackslash(const std::string& path);
// The text after the last "." of the whole path; empty when there is none.
std::string getExtension(const std::string& path);
// Up to and including the last separator; empty when there is none.
std::string getFolderPart(const std::string& path);
// After the last separator; the whole text when there is none.
std::string getFileName(const std::string& path);
// Removes the extension of the last component, if it has one; cut at the first NUL.
std::string removeExtension(const std::string& path);
std::string trimNull(const std::string& text);
// Blanks removed at both ends (the program's Trim).
std::string trim(const std::string& text);
std::string toUpper(const std::string& text);

// True when the path names a file or folder (hidden ones too; links too).
bool fileExists(const std::string& path);
// The length in bytes as decimal text; empty when unknown.
std::string fileSizeText(const std::string& path);
// Deletes files for good: no recycle bin, no prompt, no progress. Only the
// permanent, silent form exists; the flags are kept for the callers' sake.
bool shellDelete(const std::vector<std::string>& paths, bool allowUndo = false,
                 bool confirm = false, bool silent = true);
bool shellDelete(const std::string& path, bool allowUndo = false, bool confirm = false,
                 bool silent = true);

}  // namespace vellumar
