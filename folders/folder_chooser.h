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

// Why the folder `name` inside `parentPath` (which ends in a separator)
// cannot be locked when something beside it has its locked name already
// (most likely a folder locked earlier under the same name, which would
// then share its record and its name with this one); empty when the locked
// name is free.
std::string LockedNameTakenText(const std::string& parentPath, const std::string& name);

// The folder-browse dialog: the chosen folder, or empty when the user
// cancelled or chose something that is no folder on disk.
std::string BrowseForFolder(Desktop& desktop);

// Splits a path at its last separator: ParentPath gets the part up to and
// including it (empty when there is none), `path` keeps the part after it,
// which is also returned.
std::string SplitFolderPath(std::string& path, std::string& ParentPath);

// The full path in the form the hidden directory box reports it (absolute,
// no "." or ".." parts, no doubled or trailing separator but a root's),
// whether or not it names a folder; empty for a path that is not absolute.
std::string NormalPath(const std::string& path);

// The hidden directory box: NormalPath of a folder, or empty when the path
// names no folder. A link to a folder is not one.
std::string FolderBoxPath(const std::string& path);

}  // namespace vellumar
