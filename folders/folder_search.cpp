#include "folders/folder_search.h"

#include <algorithm>
#include <climits>

#include "engine/platform/folder_confinement.h"
#include "engine/platform/paths.h"
#include "locking/file_box.h"
#include "locking/sealing_keys.h"

namespace vellumar {
namespace {

// The longest path the system takes; a folder below it cannot be entered.
#ifdef PATH_MAX
constexpr size_t kLongestPath = PATH_MAX;
#else
constexpr size_t kLongestPath = 260;
#endif

class Walk {
  public:
    Walk(FoundFiles& found, Desktop& desktop) : found_(found), desktop_(desktop) {}

    void folder(const std::string& path, const FolderListing& listing, bool atStart) {
        found_.lastEntered = path;
        desktop_.yield();
        for (size_t k = listing.folders.size(); k > 0; --k) {
            found_.lastEntered = path;
            const std::string inner = addBackslash(path) + listing.folders[k - 1];
            FolderListing inside;
            if (IoError error = IoError::ok; !readFolderListing(inner, inside, &error)) {
                skip(inner, error);  // go on with the next, but the run will know
                continue;
            }
            if (atStart) found_.subfoldersEntered = true;
            folder(inner, inside, false);
        }
        // A drive's root already ends with the separator.
        const std::string prefix = addBackslash(path);
        size_t own = 0;
        for (const std::string& name : listing.files) {
            // The copy of the key a sealed folder carries in its root is the
            // program's, never a file to lock, unlock or count.
            if (atStart && isFolderIdentityCopy(prefix + name)) {
                ++own;
                continue;
            }
            found_.files.push_back(prefix + name);
        }
        if (atStart) found_.startFiles = listing.files.size() - own;
    }

    void skip(const std::string& path, IoError error) {
        if (error == IoError::ok) return;
        const bool tooLong = path.size() >= kLongestPath || error == IoError::nameTooLong;
        // Gone meanwhile, or no folder at all: nothing inside was left out.
        if (error == IoError::notFound && !tooLong) return;
        found_.unsearched.push_back({path, tooLong ? IoError::nameTooLong : error});
    }

  private:
    FoundFiles& found_;
    Desktop& desktop_;
};

}  // namespace

std::string unsearchedCause(IoError error) {
    if (error == IoError::nameTooLong) return "its path is too long";
    if (error == IoError::accessDenied) return "permission denied";
    return describe(error);
}

bool readFolderListing(const std::string& path, FolderListing& out, IoError* error) {
    // Only a real folder is entered: a link (or junction) may lead anywhere,
    // even back up the tree, and the walk must stay inside the folder chosen.
    FileSystem& fs = fileSystem();
    FileStatus status;
    IoError e = path.empty() ? IoError::notFound : fs.status(path, status);
    if (e == IoError::ok && status.kind != EntryKind::folder) return false;
    std::vector<FolderEntry> entries;
    if (e == IoError::ok) e = fs.listFolder(path, entries);
    if (e != IoError::ok) {
        if (error) *error = e;
        return false;
    }
    out.folders.clear();
    for (const FolderEntry& entry : entries)
        if (entry.kind == EntryKind::folder) out.folders.push_back(entry.name);
    std::sort(out.folders.begin(), out.folders.end(), nameOrder);
    out.files = fileBoxNames(path, entries, true);
    return true;
}

FoundFiles findFilesBelow(const std::string& folder, Desktop& desktop) {
    FoundFiles found;
    // The walk enters the start folder's subfolders only through the folder
    // itself: one swapped for a link meanwhile is not entered.
    const FolderConfinement confined(folder);
    Walk walk(found, desktop);
    FolderListing listing;
    IoError error = IoError::ok;
    if (readFolderListing(folder, listing, &error)) {
        found.startEntered = true;
        walk.folder(folder, listing, true);
    } else {
        walk.skip(folder, error);
    }
    return found;
}

}  // namespace vellumar
