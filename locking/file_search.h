#pragma once
// The main window's hidden file search: the drive list, the directory list
// and the file box kept in step, and the walk that lists every file in and
// below a folder, for the folder runs to lock or unlock one by one.
//
// The boxes' state lives in the window model, so a search can be started
// from any handler with a FileSearch made on the spot.

#include <string>
#include <vector>

#include "engine/desktop.h"
#include "engine/file_system.h"
#include "locking/window_model.h"

namespace vellumar {

class FileSearch {
  public:
    FileSearch(WindowModel& model, Desktop& desktop) : model_(model), desktop_(desktop) {}

    // Appends the full path of every file in and below the start folder to
    // lstFoundFiles, depth first, a folder's own files after those of its
    // subfolders (the last subfolder first). The start folder is the folder
    // in hand under its locked name for "Decrypt a Folder", else the first
    // row of ListFiles. A start folder that cannot be entered walks nothing.
    // Every folder found that could not be entered (the start folder too) is
    // named in skippedFolders, with the cause.
    void cmdSearch_Click();
    // Walks WalkPath; ReturnPath is the folder the walk goes back to
    // afterwards, empty for the start folder.
    void DirDiver(const std::string& WalkPath, const std::string& ReturnPath);

    // Points the directory list at a folder and re-reads its subfolders.
    // Fails, leaving the list where it was, when the path is not a folder
    // that can be entered (a link to one is not).
    bool setDirListPath(const std::string& path);
    void dirList_Change();
    void drvList_Change();
    void dirList_LostFocus();

  private:
    struct Listing {
        std::vector<std::string> folders;  // names, in the boxes' order
        std::vector<std::string> files;    // as the file box lists them
    };
    // False when the path is no folder (a link, a file, nothing) or the
    // folder cannot be read; `error` then tells why, and stays ok for a
    // path that is not a folder.
    static bool readFolder(const std::string& path, Listing& out, IoError* error = nullptr);
    void skip(const std::string& path, IoError error);
    void walk(const std::string& folder, const Listing& listing, bool atStart);
    void addFound(const std::string& folder, const std::vector<std::string>& names);

    WindowModel& model_;
    Desktop& desktop_;
};

// The drive a path lies on: "C:\" on Windows, the root "/" elsewhere.
std::string DriveOf(const std::string& path);

}  // namespace vellumar
