#pragma once
// The texts and titles of the messages the window shows about one file of a
// lock or unlock run.
// They are part of the product: keep them exactly as they are.

#include <string>

#include "engine/formats/locked_kind.h"

namespace vellumar {

inline const std::string kWrongPasswordText = "Sorry, this is not the correct password!";
inline const std::string kWrongPasswordTitle = "Secret";

inline const std::string kAlreadyOpenTitle = "File Already Open";
inline const std::string kLockAlreadyOpenText =
    "The file you are trying to lock is already open or in read-only mode.";
inline const std::string kUnlockAlreadyOpenText =
    "The file you are trying to unlock is already opened. Restart the application and try again";

inline const std::string kAccessErrorTitle = "Path/File access error";
inline const std::string kLockAccessErrorText = "Path/File access error";
inline const std::string kUnlockAccessErrorText =
    "A Path/File access error occured during unlocking one of the selected file";

inline const std::string kAlreadyLockedText =
    "The file you are trying to lock is already locked.\r\n"
    "Multiple locking is supported in small files only";

inline const std::string kFileExistsTitle = "File Already Exists";
inline std::string fileExistsText(const std::string& path) {
    return "The file " + path + " already exists. Nothing was changed.";
}

inline const std::string kDamagedFileTitle = "Damaged File";
inline std::string damagedFileText(const std::string& path) {
    return "The locked file " + path + " is damaged and cannot be unlocked. It was kept as it is.";
}
// The same, saying what is wrong with the file.
inline std::string damagedFileText(const std::string& path, const std::string& cause) {
    return "The locked file " + path + " is damaged and cannot be unlocked: " + cause +
           ". It was kept as it is.";
}

// A copy of a locked file under a name of its own: locked again, its unlock
// would take the copy for an inner layer and keep the locked name.
inline std::string lockedContentText(const std::string& path) {
    return "The file " + path +
           " holds a locked file of this program under a name of its own. Locked again, it "
           "would not come back under its own name: unlock it first, or give it a name that "
           "ends in \"" +
           kSmallExtension + "\" to lock it as a further layer.";
}

// Listed locked files whose hidden mark could not be set again.
inline const std::string kLeftVisibleText =
    "These locked files could not be hidden again and can be seen in their folders:";

// Folders' ".hidden" lists a run left as it was, each named after it with
// its cause: the items are done, their attribute hides or shows them.
inline const std::string kListsNotUpdatedText =
    "These folders' lists of hidden names could not be updated, so file managers may show or "
    "hide the wrong files:";

// A sealed file that none of the keys at hand opens.
inline const std::string kSealedFileTitle = "Sealed File";
inline std::string otherIdentityText(const std::string& path) {
    return "The sealed file " + path +
           " was sealed by another identity and cannot be unlocked here. It was kept as it is.";
}
// The same, saying why none opens it (a file sealed with a passphrase).
inline std::string otherIdentityText(const std::string& path, const std::string& cause) {
    return "The sealed file " + path + " cannot be unlocked here: " + cause +
           ". It was kept as it is.";
}
// Sealing is not on in this program, so it holds no key to try.
inline std::string noIdentityText(const std::string& path) {
    return "The sealed file " + path +
           " cannot be unlocked: sealing is not turned on in this program, so no key here "
           "opens it. It was kept as it is.";
}

inline const std::string kOutOfMemoryTitle = "Not Enough Memory";
inline std::string outOfMemoryText(const std::string& path) {
    return "There is not enough memory to unlock the file " + path + ". It was kept as it is.";
}

inline const std::string kChangedDuringRunTitle = "File Changed";
inline std::string changedDuringRunText(const std::string& path, bool locking) {
    return "The file " + path + " changed while it was being " + (locking ? "locked" : "unlocked") +
           ". It was kept as it is.";
}

}  // namespace vellumar
