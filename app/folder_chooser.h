#pragma once
// The folder chooser behind Add for "Encrypt a Folder": the folder-browse
// dialog, the refusals of the folders that must not be locked, and the
// pending folder with its files found, ready for the run button.

#include <string>

#include "engine/runs/desktop.h"
#include "folders/folder_check.h"
#include "folders/folder_paths.h"
#include "app/window_model.h"

namespace vellumar {

// Lets the user pick a folder and prepares it for locking: the folder state,
// the pending-folder file "encfile", the target list, the search results and
// the run button. A refused folder changes nothing but shows why; one that is
// read-only, hidden, system or archive is passed over without a word.
void Folder_Encrypt(WindowModel& model, Desktop& desktop);

// The window's words for a refusal (empty for none and for attributes).
std::string folderRefusalText(const FolderCheck& check);

// Why the folder `name` inside `parentPath` (which ends in a separator)
// cannot be locked when something beside it has its locked name already;
// empty when the locked name is free.
std::string lockedNameTakenText(const std::string& parentPath, const std::string& name);

// The folder-browse dialog: the chosen folder, or empty when cancelled.
std::string browseForFolder(Desktop& desktop);

}  // namespace vellumar
