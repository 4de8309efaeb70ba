#pragma once
// Linux file managers (GLib's and KDE's) hide every name listed in the
// ".hidden" file of its folder, one name a line: a hidden locked item is
// listed there as well as carrying the hidden attribute, which they ignore.
// The list may hold the person's own lines; they are kept byte for byte.
// On Windows there is no such list: both calls do nothing and return ok.

#include <string>
#include <vector>

#include "engine/file_system.h"

namespace vellumar {

// The name of the list file, in the folder whose names it hides.
inline const std::string kHiddenListName = ".hidden";

// Adds the item's name as a line of its folder's list, creating the list when
// it is missing; a name listed already is not added again. A name holding a
// line break cannot be listed (unsupported). A list that is not a regular
// file (unsupported), is read-only (accessDenied) or cannot be read is left
// as it is, and so is one that changed while it was being rewritten (changed).
IoError hideInFolderList(const std::string& path);

// Removes every line holding the item's name from its folder's list, and the
// list itself once nothing is left in it. A missing list, or one without the
// name, is left alone; a list that hiding would not rewrite is not rewritten
// here either, and gives the same error values.
IoError unhideInFolderList(const std::string& path);

// The same for several items of one folder (`folder` with or without its
// last separator), with one rewrite of its list: a run hides the files of a
// folder together. A name holding a line break is passed over, and makes
// the result unsupported when nothing else went wrong.
IoError hideNamesInFolderList(const std::string& folder, const std::vector<std::string>& names);
IoError unhideNamesInFolderList(const std::string& folder, const std::vector<std::string>& names);

// A change of one folder's list among several made together.
struct FolderListChange {
    std::string folder;
    std::vector<std::string> names;
    bool hide = true;              // false: the names are taken out
    IoError result = IoError::ok;  // as hideNamesInFolderList would give it
};
// Makes every change, sparing the disk a flush per list: the new lists are
// written, then made durable with one flush of each volume, and only then
// take their names (a crash still leaves each list old or new). Lists on a
// volume that cannot be flushed whole are changed one by one as above.
void changeFolderLists(std::vector<FolderListChange>& changes);

// The names a folder's list holds, one a line as GLib reads them; none when
// there is no list. A list that is no plain file is unsupported.
IoError hiddenNamesOf(const std::string& folder, std::vector<std::string>& names);

// Whether a file name is the list's: one of the program's own files, which
// a run never lists, locks or unlocks.
bool isHiddenListName(const std::string& fileName);

}  // namespace vellumar
