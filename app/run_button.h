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
// The list of encrypted folders is read each time it is shown: nothing to restart.
inline const std::string kFolderDecrypted = "Decryption Completed Successfully";

// Runs the operation of the target page in front, on its files or on the
// folder in hand; refused (nothing happens) before the gate, during a run,
// on another page or with nothing to run. Every run ends with the lists
// emptied, the choice page in front and the run button disabled. Returns
// what a folder run did (empty for a file run); the window ignores it.
FolderRunResult cmdEncDec_Click(WindowModel& model, Desktop& desktop);

// "Encrypt a Folder" on the folder the chooser accepted, over the files its
// search found.
FolderRunResult lockFolderStep(WindowModel& model, Desktop& desktop);
// "Decrypt a Folder" on PlainFolderPath, over the files its search found.
FolderRunResult unlockFolderStep(WindowModel& model, Desktop& desktop);

}  // namespace vellumar
