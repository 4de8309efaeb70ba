#pragma once
// Folder paths as the folder operations compare and record them: one normal
// spelling of a folder, its parent and name, its drive, and whether two
// spellings name the same folder on disk.

#include <string>

namespace vellumar {

// The full path without "." or ".." parts and without doubled or trailing
// separators (a root keeps its own), whether or not it names a folder;
// empty for a path that is not absolute.
std::string normalPath(const std::string& path);

// normalPath of a folder, or empty when the path names no folder. A link to
// a folder is not one.
std::string normalFolderPath(const std::string& path);

// Splits a path at its last separator: ParentPath gets the part up to and
// including it (empty when there is none), `path` keeps the part after it,
// which is also returned.
std::string splitFolderPath(std::string& path, std::string& ParentPath);

// The drive a path lies on: "C:\" on Windows, the root "/" elsewhere.
std::string driveOf(const std::string& path);

// Whether the path is a drive's root ("C:\", "/").
bool isDriveRoot(const std::string& path);

// The same folder, by its spelling or by its identity on disk: a folder can
// be reached under more than one path (letter case on Windows, a link higher
// up, a share).
bool sameFolder(const std::string& a, const std::string& b);

// True when `folder` is `inner` or one of the folders above it.
bool holdsFolder(const std::string& folder, const std::string& inner);

}  // namespace vellumar
