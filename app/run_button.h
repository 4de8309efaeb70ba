#pragma once
// The run button's handler: the operation chosen in the wizard, on the files
// of the target list or on the folder in hand, worded as the window words it.

#include <string>

#include "engine/runs/desktop.h"
#include "folders/folder_operations.h"
#include "app/window_model.h"

namespace vellumar {

inline const std::string kFilesEncrypted = "File(s) Encrypted Successfully";
inline const std::string kFilesDecrypted = "File(s) Decrypted Successfully";
inline const std::string kFolderEncrypted = "Encryption Completed Successfully";
inline const std::string kFolderDecrypted =
    "Decryption Completed Successfully\rPlease Restart Application To Get\r"
    "Updated Encrypted Folders List";

// Dispatches on the operation flags and the run button's caption. Every run
// ends with the lists emptied, the choice page in front and the run button
// disabled; the flags stay as they are. Returns what a folder run did (empty
// for a file run); the window ignores it.
FolderRunResult cmdEncDec_Click(WindowModel& model, Desktop& desktop);

// "Encrypt a Folder" on the folder the chooser accepted (or, without one,
// the pending folder of "encfile"), over the files its search found.
FolderRunResult lockFolderStep(WindowModel& model, Desktop& desktop);
// "Decrypt a Folder" on PlainFolderPath, over the files its search found.
FolderRunResult unlockFolderStep(WindowModel& model, Desktop& desktop);

}  // namespace vellumar
