#pragma once
// The name a folder has while it is locked. Every byte of the plain name is
// shifted up by 65 (encodeText). Windows keeps those bytes as an ANSI name.
// Linux keeps them as UTF-8, read as Windows-1252: the very name a Windows
// machine shows for the folder on a Samba share, and valid UTF-8, without
// which Samba leaves the folder out of its listings. Earlier versions kept
// the shifted bytes raw on Linux too; such folders are still found.

#include <string>

namespace vellumar {

// The name the folder `plainName` is given when it is locked.
std::string lockedFolderName(const std::string& plainName);
// The plain name back from a locked name of either form.
std::string plainFolderName(const std::string& lockedName);
// True when the folder `plainName` can have a locked name that gives its
// name back, within the length a name may have.
bool canHaveLockedFolderName(const std::string& plainName);
// The locked folder `plainName` inside `parent` (which ends in a separator)
// as it stands: under the name this version gives, or else under the raw
// shifted name of earlier versions when only that one exists.
std::string lockedFolderPath(const std::string& parent, const std::string& plainName);

}  // namespace vellumar
