#pragma once
// Finding the files in and below a folder, for a folder run to lock or
// unlock one by one. The walk never follows a link and never leaves the
// folder; a folder it cannot enter is named with the cause, so that a run
// over what it found knows it cannot be complete.

#include <cstddef>
#include <string>
#include <vector>

#include "engine/runs/desktop.h"
#include "engine/platform/file_system.h"

namespace vellumar {

// A folder the walk found but could not enter. A path too long for the
// system is nameTooLong, however the file system put it.
struct UnsearchedFolder {
    std::string path;
    IoError error = IoError::other;

    bool operator==(const UnsearchedFolder&) const = default;
};

// The cause in words: "permission denied", "its path is too long", ...
std::string unsearchedCause(IoError error);

struct FoundFiles {
    // Full paths, depth first, a folder's own files after those of its
    // subfolders (the last subfolder first), each folder's files by name.
    std::vector<std::string> files;
    std::vector<UnsearchedFolder> unsearched;
    // The start folder could be read (else nothing was walked).
    bool startEntered = false;
    // At least one subfolder of the start folder was walked.
    bool subfoldersEntered = false;
    // How many of `files` lie in the start folder itself.
    size_t startFiles = 0;
    // The folder the walk entered last.
    std::string lastEntered;
};

// Walks `folder` (in its normal spelling), yielding once per folder.
FoundFiles findFilesBelow(const std::string& folder, Desktop& desktop);

// One folder's entries as the walk sees them: its subfolders' names and its
// files' names (as the file box lists them, system files too), each in the
// boxes' order.
struct FolderListing {
    std::vector<std::string> folders;
    std::vector<std::string> files;
};
// False when the path is no folder (a link, a file, nothing) or the folder
// cannot be read; `error` then tells why, and stays ok for a path that is
// not a folder.
bool readFolderListing(const std::string& path, FolderListing& out, IoError* error = nullptr);

}  // namespace vellumar
