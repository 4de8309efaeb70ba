#include "app/file_search.h"

#include <cstdint>

#include "engine/formats/locked_folder_name.h"
#include "engine/platform/paths.h"

namespace vellumar {
SkippedFolder skippedFolderOf(const UnsearchedFolder& folder) {
    return {folder.path, unsearchedCause(folder.error)};
}

bool FileSearch::setDirListPath(const std::string& requested) {
    // A copy: the path may be one of the entries or the drive replaced below.
    const std::string path = requested;
    FolderListing listing;
    if (!readFolderListing(path, listing)) return false;
    bool moved = path != model_.dirListPath;
    model_.dirListPath = path;
    model_.dirListEntries.clear();
    for (const std::string& name : listing.folders)
        model_.dirListEntries.push_back(addBackslash(path) + name);
    model_.dirListIndex = -1;
    model_.drvListDrive = driveOf(path);
    if (moved) dirList_Change();
    return true;
}

void FileSearch::dirList_Change() {
    model_.setFileBoxPath(model_.dirListPath);
}

void FileSearch::drvList_Change() {
    // A drive that cannot be opened puts the drive list back where the
    // directory list stands.
    if (!setDirListPath(model_.drvListDrive)) model_.drvListDrive = driveOf(model_.dirListPath);
}

void FileSearch::dirList_LostFocus() {
    int index = model_.dirListIndex;
    if (index >= 0 && static_cast<size_t>(index) < model_.dirListEntries.size())
        setDirListPath(model_.dirListEntries[static_cast<size_t>(index)]);
}

// The boxes stay on the start folder while the search reads each folder once
// by itself; the file box comes back to the start folder only to rebuild the
// target list from it after the walk went down.
void FileSearch::cmdSearch_Click() {
    std::string start;
    if (model_.operation() == Option::OptDecFolder) {
        start = lockedFolderPath(model_.ParentPath, model_.FolderName);
        // A folder whose locking could not rename it still has its plain name.
        if (!fileExists(start)) start = model_.ParentPath + model_.FolderName;
    } else if (!model_.targetList.empty()) {
        start = model_.targetList.front().path;
    }
    desktop_.setBusy(true);
    model_.skippedFolders.clear();
    // A start folder that cannot be entered leaves the list where it stood;
    // walking that folder instead would list files nobody chose.
    const bool entered = setDirListPath(start);
    const FoundFiles found = findFilesBelow(start, desktop_);
    if (entered) {
        addFound(found);
        model_.setFileBoxPath(model_.dirListPath);
        model_.changed();
    } else if (!found.startEntered) {
        for (const UnsearchedFolder& folder : found.unsearched)
            model_.skippedFolders.push_back(skippedFolderOf(folder));
    }
    desktop_.setBusy(false);
}

void FileSearch::addFound(const FoundFiles& found) {
    if (!found.lastEntered.empty()) model_.searchFolderText = found.lastEntered;
    for (const UnsearchedFolder& folder : found.unsearched)
        model_.skippedFolders.push_back(skippedFolderOf(folder));
    // Back from its subfolders, the file box stands on the start folder
    // again and rebuilds the target list from it.
    if (found.subfoldersEntered && model_.fileBoxPathChanged) model_.fileBoxPathChanged();
    // The count runs on from one search to the next: it is never reset.
    for (const std::string& path : found.files) {
        ListRow row;
        row.text = row.path = path;
        model_.foundFiles.push_back(std::move(row));
        ++model_.searchCount;
    }
    // The start folder's own files come last: the target list is their
    // copy of the results.
    if (found.startFiles == 0) return;
    model_.targetList.clear();
    model_.targetList.reserve(model_.foundFiles.size());
    for (const ListRow& row : model_.foundFiles) {
        ListRow copy;
        copy.text = row.text;
        copy.path = row.path;
        model_.targetList.push_back(std::move(copy));
    }
}

}  // namespace vellumar
