#pragma once
// The names of the files the program keeps in its application directory.
// A run refuses to lock them, and a sealed file may never come back as one.

namespace vellumar {

// Every locked file that "Encrypt File(s)" locked, one full path a line.
inline const char* const kLockedFilesList = "files";
// The encrypted folders, one plain path a line, in the order they were locked.
inline const char* const kFoldersList = "folders";
// The pending folder: the one the chooser accepted for the next folder lock.
inline const char* const kPendingFolderFile = "encfile";
// Scratch names the lists once went through; still the program's own files.
inline const char* const kScratchList = "temp";
inline const char* const kFoldersScratch = "temp_folder";
// The program's identity for sealed files.
inline const char* const kIdentityFileName = "identity.age";

inline const char* const kApplicationFiles[] = {kLockedFilesList,   kFoldersList,
                                                kPendingFolderFile, kScratchList,
                                                kFoldersScratch,    kIdentityFileName};

}  // namespace vellumar
