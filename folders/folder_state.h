#pragma once
// What the list of encrypted folders and the disk tell about one folder.
// A folder is recorded before its first file is locked, so that it is never
// lost to the program; one that is recorded but still stands under its plain
// name is being locked (a run was interrupted, or could not lock every file),
// and running "Encrypt a Folder" on it again finishes the job.

#include <string>

namespace vellumar {

// Whether one line of a list file can hold the path: a line break would
// split its record in two, and neither half would name the folder.
bool fitsOnListLine(const std::string& path);

// Whether "folders" records the plain path (false when it cannot be read).
bool isRecordedFolder(const std::string& plainPath);

// Whether the file is one this program locked: a marker extension and a
// header line that verifies. A plain file that merely starts like one is not.
bool isLockedFile(const std::string& path);

}  // namespace vellumar
