#pragma once
// Linux file managers (GLib's and KDE's) hide every name listed in the
// ".hidden" file of its folder, one name a line: a hidden locked item is
// listed there as well as carrying the hidden attribute, which they ignore.
// The list may hold the person's own lines; they are kept byte for byte.
// On Windows there is no such list: both calls do nothing and return ok.

#include <cstdint>
#include <string>
#include <vector>

#include "engine/platform/file_system.h"

namespace vellumar {

// The name of the list file, in the folder whose names it hides.
inline const std::string kHiddenListName = ".hidden";
// A list is read only up to this size: a bigger one is nobody's list of
// names, and is left as it is rather than read whole into memory.
constexpr uint64_t kHiddenListMaxSize = uint64_t{1} << 20;

// Why a folder's list was left as it was.
enum class HiddenListFault {
    none,
    ioError,     // the OS's error, in `error`; also a name holding a line break (unsupported)
    link,        // a symbolic link, never followed
    notRegular,  // a folder, a pipe, a device
    readOnly,    // no write permission, or the read-only attribute
    tooLarge,    // larger than kHiddenListMaxSize
    changed,     // another program wrote it between our read and our rename: its change stays
};

// What became of a change of one folder's list. A list left as it was is
// no loss: the item's attribute hides it (or shows it) all the same, only
// Linux file managers go by the list.
struct HiddenListResult {
    HiddenListFault fault = HiddenListFault::none;
    IoError error = IoError::ok;  // ioError: the OS's; else the nearest IoError
    std::string path;             // the list file's own path, once something went wrong
    bool ok() const { return fault == HiddenListFault::none; }
};

// Why, in words: "it is a symbolic link", ..., or the OS error.
std::string hiddenListCause(const HiddenListResult& result);

// Adds the item's name as a line of its folder's list, creating the list when
// it is missing; a name listed already is not added again. A name holding a
// line break cannot be listed (unsupported). A new list gets the permissions
// a person's new file would and the hidden attribute; a rewritten one keeps
// its permissions, owner and attributes. A list that cannot be edited is
// left exactly as it is, and the result says why.
HiddenListResult hideInFolderList(const std::string& path);

// Removes every line holding the item's name from its folder's list, and the
// list itself once nothing is left in it. A missing list, or one without the
// name, is left alone; a list that hiding would not rewrite is not rewritten
// here either, and gives the same result.
HiddenListResult unhideInFolderList(const std::string& path);

// The same for several items of one folder (`folder` with or without its
// last separator), with one rewrite of its list: a run hides the files of a
// folder together. A name holding a line break is passed over, and makes
// the result unsupported when nothing else went wrong.
HiddenListResult hideNamesInFolderList(const std::string& folder,
                                       const std::vector<std::string>& names);
HiddenListResult unhideNamesInFolderList(const std::string& folder,
                                         const std::vector<std::string>& names);

// A change of one folder's list among several made together.
struct FolderListChange {
    std::string folder;
    std::vector<std::string> names;
    bool hide = true;              // false: the names are taken out
    HiddenListResult result;  // as hideNamesInFolderList would give it
};
// Makes every change, sparing the disk a flush per list: the new lists are
// written, then made durable with one flush of each volume, and only then
// take their names (a crash still leaves each list old or new). Lists on a
// volume that cannot be flushed whole are changed one by one as above.
void changeFolderLists(std::vector<FolderListChange>& changes);

// The names a folder's list holds, one a line as GLib reads them; none when
// there is no list. A list that cannot be read as one gives the error
// nearest its fault (a link, a folder, a pipe, one too large: unsupported).
IoError hiddenNamesOf(const std::string& folder, std::vector<std::string>& names);

// Whether a file name is the list's: one of the program's own files, which
// a run never lists, locks or unlocks.
bool isHiddenListName(const std::string& fileName);

}  // namespace vellumar
