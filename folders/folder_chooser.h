#pragma once
// The folder chooser behind Add for "Encrypt a Folder": the folder-browse
// dialog, the folders that must not be locked, and the pending folder with
// its files found, ready for the run button.

#include <string>

#include "engine/desktop.h"
#include "locking/window_model.h"

namespace vellumar {

// Lets the user pick a folder and prepares it for locking: the folder state,
// the pending-folder file "encfile", the target list, the search results and
// the run button. A refused folder changes nothing but shows why.
void Folder_Encrypt(WindowModel& model, Desktop& desktop);

// The folder-browse dialog: the chosen folder, or empty when the user
// cancelled or chose something that is no folder on disk.
std::string BrowseForFolder(Desktop& desktop);

// Splits a path at its last separator: ParentPath gets the part up to and
// including it (empty when there is none), `path` keeps the part after it,
// which is also returned.
std::string SplitFolderPath(std::string& path, std::string& ParentPath);

// The hidden directory box: the full path of a folder in the form the box
// reports it (absolute, no "." or ".." parts, no doubled or trailing
// separator but a root's), or empty when the path names no folder. A link
// to a folder is not one.
std::string FolderBoxPath(const std::string& path);

}  // namespace vellumar
