#pragma once
// The run button's handler: the operation chosen in the wizard, on the files
// of the target list or on the folder in hand, and then the folder's own
// changes and the list files of the encrypted folders.

#include <string>

#include "engine/desktop.h"
#include "app/file_run_handlers.h"
#include "locking/window_model.h"

namespace vellumar {

inline const std::string kFilesEncrypted = "File(s) Encrypted Successfully";
inline const std::string kFilesDecrypted = "File(s) Decrypted Successfully";
inline const std::string kFolderEncrypted = "Encryption Completed Successfully";
inline const std::string kFolderDecrypted =
    "Decryption Completed Successfully\rPlease Restart Application To Get\r"
    "Updated Encrypted Folders List";

// What a run achieved: its files, and for a folder run whether the folder
// itself was brought to its new state (locked name and record, or plain name
// again and no record).
struct FolderOutcome {
    RunOutcome files;
    bool folderDone = false;
};

// Dispatches on the operation flags and the run button's caption. Every run
// ends with the lists emptied, the choice page in front and the run button
// disabled; the flags stay as they are. The window ignores the outcome; the
// command line sets its exit status from it.
FolderOutcome cmdEncDec_Click(WindowModel& model, Desktop& desktop);

// "Encrypt a Folder": records the folder in "folders" (unless it is recorded
// already, being locked), locks every file of lstFoundFiles that is not
// locked yet, and only when all of them are, hides the folder and gives it
// its locked name. A folder with a subfolder the search could not enter is
// not touched; one in which no file could be locked is not listed. A folder
// with a locked folder of the same name beside it is refused before anything
// changes: the record is that folder's, and the locked name is taken.
FolderOutcome EncryptFolderStep(WindowModel& model, Desktop& desktop);
// "Decrypt a Folder": unlocks every locked file of lstFoundFiles, gives the
// folder PlainFolderPath back (from its locked name, or as it stands when it
// never got one) and removes its records from "folders". A folder that
// cannot get its name back keeps its locked name and its records, and so
// does one with any file inside still locked. When its plain name is taken
// while its locked folder stands, nothing is unlocked and nothing changes.
FolderOutcome DecryptFolderStep(WindowModel& model, Desktop& desktop);

}  // namespace vellumar
