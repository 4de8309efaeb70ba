#include "locking/file_search.h"

#include <algorithm>
#include <climits>
#include <cstdint>

#include "engine/file_system.h"
#include "engine/folder_confinement.h"
#include "engine/locked_folder_name.h"
#include "engine/names.h"
#include "engine/platform.h"
#include "locking/file_box.h"

namespace vellumar {
namespace {

// The longest path the system takes; a folder below it cannot be entered.
#ifdef PATH_MAX
constexpr size_t kLongestPath = PATH_MAX;
#else
constexpr size_t kLongestPath = 260;
#endif

// The number a caption starts with, after blanks; 0 when it starts with none.
uint64_t leadingNumber(const std::string& caption) {
    size_t i = caption.find_first_not_of(' ');
    uint64_t value = 0;
    for (; i < caption.size() && caption[i] >= '0' && caption[i] <= '9'; ++i)
        value = value * 10 + static_cast<uint64_t>(caption[i] - '0');
    return value;
}

}  // namespace

std::string DriveOf(const std::string& path) {
#ifdef _WIN32
    if (path.size() >= 2 && path[1] == ':') return path.substr(0, 2) + kSeparator;
    return {};
#else
    (void)path;
    return std::string(1, kSeparator);
#endif
}

bool FileSearch::readFolder(const std::string& path, Listing& out, IoError* error) {
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
    std::sort(out.folders.begin(), out.folders.end(), NameOrder);
    out.files = FileBoxNames(path, entries);
    return true;
}

bool FileSearch::setDirListPath(const std::string& requested) {
    // A copy: the path may be one of the entries or the drive replaced below.
    const std::string path = requested;
    Listing listing;
    if (!readFolder(path, listing)) return false;
    bool moved = path != model_.dirListPath;
    model_.dirListPath = path;
    model_.dirListEntries.clear();
    for (const std::string& name : listing.folders)
        model_.dirListEntries.push_back(AddBackslash(path) + name);
    model_.dirListIndex = -1;
    model_.drvListDrive = DriveOf(path);
    if (moved) dirList_Change();
    return true;
}

void FileSearch::dirList_Change() {
    model_.setFileBoxPath(model_.dirListPath);
}

void FileSearch::drvList_Change() {
    // A drive that cannot be opened puts the drive list back where the
    // directory list stands.
    if (!setDirListPath(model_.drvListDrive)) model_.drvListDrive = DriveOf(model_.dirListPath);
}

void FileSearch::dirList_LostFocus() {
    int index = model_.dirListIndex;
    if (index >= 0 && static_cast<size_t>(index) < model_.dirListEntries.size())
        setDirListPath(model_.dirListEntries[static_cast<size_t>(index)]);
}

void FileSearch::cmdSearch_Click() {
    std::string start;
    if (model_.selectedOption == Option::OptDecFolder) {
        start = lockedFolderPath(model_.ParentPath, model_.FolderName);
        // A folder whose locking could not rename it still has its plain name.
        if (!FileExists(start)) start = model_.ParentPath + model_.FolderName;
    } else if (!model_.ListFiles.empty()) {
        start = model_.ListFiles.front().path;
    }
    desktop_.setBusy(true);
    model_.skippedFolders.clear();
    // The walk enters the start folder's subfolders only through the folder
    // itself: one swapped for a link meanwhile is not entered.
    const FolderConfinement confined(start);
    // A start folder that cannot be entered leaves the list where it stood;
    // walking that folder instead would list files nobody chose.
    if (setDirListPath(start)) {
        DirDiver(start, "");
        model_.setFileBoxPath(model_.dirListPath);
        model_.changed();
    } else {
        Listing none;
        IoError error = IoError::ok;
        readFolder(start, none, &error);
        skip(start, error);
    }
    desktop_.setBusy(false);
}

void FileSearch::DirDiver(const std::string& WalkPath, const std::string& ReturnPath) {
    Listing listing;
    if (readFolder(WalkPath, listing)) walk(WalkPath, listing, ReturnPath.empty());
}

// The boxes stay on the start folder while the walk reads each folder once by
// itself. Moving the file box into every folder would rebuild the target list
// from that folder and copy all results into it again, only to have both
// overwritten when the box comes back to the start folder: a cost that grew
// with the square of the tree. What stays is what the start folder gives.
void FileSearch::walk(const std::string& folder, const Listing& listing, bool atStart) {
    model_.lblArchivos = folder;
    desktop_.yield();
    bool wentDown = false;
    for (size_t k = listing.folders.size(); k > 0; --k) {
        model_.lblArchivos = folder;
        const std::string path = AddBackslash(folder) + listing.folders[k - 1];
        Listing inside;
        if (IoError error = IoError::ok; !readFolder(path, inside, &error)) {
            skip(path, error);  // go on with the next, but the run will know
            continue;
        }
        wentDown = true;
        walk(path, inside, false);
    }
    // Back from its subfolders, the file box stands on the start folder again
    // and rebuilds the target list from it.
    if (atStart && wentDown && model_.fileBoxPathChanged) model_.fileBoxPathChanged();
    if (listing.files.empty()) return;
    addFound(folder, listing.files);
    if (!atStart) return;
    model_.ListFiles.clear();
    model_.ListFiles.reserve(model_.lstFoundFiles.size());
    for (const ListRow& found : model_.lstFoundFiles) {
        ListRow row;
        row.text = found.text;
        row.path = found.path;
        model_.ListFiles.push_back(std::move(row));
    }
}

void FileSearch::skip(const std::string& path, IoError error) {
    if (error == IoError::ok) return;
    // Too long for the system, however the file system put it.
    const bool tooLong = path.size() >= kLongestPath || error == IoError::nameTooLong;
    // Gone meanwhile, or no folder at all: nothing inside was left out.
    if (error == IoError::notFound && !tooLong) return;
    std::string cause = describe(error);
    if (tooLong) {
        cause = "its path is too long";
    } else if (error == IoError::accessDenied) {
        cause = "permission denied";
    }
    model_.skippedFolders.push_back({path, cause});
}

void FileSearch::addFound(const std::string& folder, const std::vector<std::string>& names) {
    // A drive's root already ends with the separator.
    const std::string prefix = AddBackslash(folder);
    // The count runs on from whatever the label shows: it is never reset.
    uint64_t count = leadingNumber(model_.lblCount);
    for (const std::string& name : names) {
        ListRow row;
        row.text = row.path = prefix + name;
        model_.lstFoundFiles.push_back(std::move(row));
        model_.lblCount.assign(1, ' ').append(std::to_string(++count));
    }
}

}  // namespace vellumar
