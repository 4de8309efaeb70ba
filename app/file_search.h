#pragma once
// The main window's hidden file search: the drive list, the directory list
// and the file box kept in step, and the search that lists every file in and
// below a folder into foundFiles, for the folder runs.
//
// The boxes' state lives in the window model, so a search can be started
// from any handler with a FileSearch made on the spot.

#include <string>

#include "engine/runs/desktop.h"
#include "folders/folder_paths.h"
#include "folders/folder_search.h"
#include "app/window_model.h"

namespace vellumar {

class FileSearch {
  public:
    FileSearch(WindowModel& model, Desktop& desktop) : model_(model), desktop_(desktop) {}

    // Appends the full path of every file in and below the start folder to
    // foundFiles, in the order of findFilesBelow. The start folder is the
    // folder in hand under its locked name for "Decrypt a Folder", else the
    // first row of targetList. A start folder that cannot be entered walks
    // nothing. Every folder found that could not be entered (the start
    // folder too) is named in skippedFolders, with the cause.
    void cmdSearch_Click();

    // Points the directory list at a folder and re-reads its subfolders.
    // Fails, leaving the list where it was, when the path is not a folder
    // that can be entered (a link to one is not).
    bool setDirListPath(const std::string& path);
    void dirList_Change();
    void drvList_Change();
    void dirList_LostFocus();

  private:
    void addFound(const FoundFiles& found);

    WindowModel& model_;
    Desktop& desktop_;
};

// The window's words for a folder the search could not enter.
SkippedFolder skippedFolderOf(const UnsearchedFolder& folder);

}  // namespace vellumar
