#include "folders/folder_chooser.h"

#include <vector>

#include "engine/file_system.h"
#include "engine/locked_folder_name.h"
#include "engine/names.h"
#include "engine/platform.h"
#include "folders/folder_lists.h"
#include "folders/folder_state.h"
#include "locking/file_search.h"

namespace vellumar {
namespace {

bool isSeparator(char c) {
#ifdef _WIN32
    return c == '\\' || c == '/';
#else
    return c == '/';
#endif
}

// The root a path starts with ("C:\", "\\" of a share, "/"), or empty for
// a path that is not absolute.
std::string rootOf(const std::string& path) {
#ifdef _WIN32
    if (path.size() >= 3 && path[1] == ':' && isSeparator(path[2])) return path.substr(0, 2) + '\\';
    if (path.size() >= 2 && isSeparator(path[0]) && isSeparator(path[1])) return "\\\\";
    return {};
#else
    return !path.empty() && path[0] == '/' ? "/" : std::string();
#endif
}

std::string parentOf(const std::string& path) {
    size_t last = path.rfind(kSeparator);
    if (last == std::string::npos || last + 1 == path.size()) return {};
    std::string parent = path.substr(0, last);
    const std::string root = rootOf(path);
    return parent.size() < root.size() ? root : parent;
}

// The same folder, by its spelling or by its identity on disk: a folder
// can be reached under more than one path (letter case on Windows, a link
// higher up, a share).
bool sameFolder(const std::string& a, const std::string& b) {
    if (a == b) return true;
    FileStatus first, second;
    FileSystem& fs = fileSystem();
    return fs.status(a, first) == IoError::ok && fs.status(b, second) == IoError::ok &&
           first.kind == EntryKind::folder && second.kind == EntryKind::folder &&
           (first.volume != 0 || first.index != 0) && first.volume == second.volume &&
           first.index == second.index;
}

// True when `folder` is `inner` or one of the folders above it.
bool holds(const std::string& folder, const std::string& inner) {
    for (std::string path = NormalPath(inner); !path.empty(); path = parentOf(path))
        if (sameFolder(folder, path)) return true;
    return false;
}

bool isDriveRoot(const std::string& path) {
    return !path.empty() && rootOf(path) == path;
}

// The refusals, in the order they are tested; empty when none applies.
std::string refusal(const std::string& folder, const std::string& chosen,
                    const WindowModel& model) {
    if (folder.empty()) return "Please Select A Folder To Encrypt";
    if (folder == applicationDirectory()) return "Application Folder Cannot Be Locked";
    if (isDriveRoot(folder)) return "Drive Cannot Be Locked";
    if (chosen == model.WindowsSystemDir || sameFolder(folder, model.WindowsSystemDir))
        return "Window System Folder Cannot Be Locked";
    if (chosen == model.WindowsDir || sameFolder(folder, model.WindowsDir))
        return "Window Folder Cannot Be Locked";
    // Locking a folder above the program would lock its own list files and
    // move the program itself.
    if (holds(folder, applicationDirectory()) || holds(folder, executablePath()))
        return "Application Folder Cannot Be Locked";
    // The locked name shifts every byte up by 65; a byte above 190 would be
    // lost, and the folder could never get its name back. On Linux it may
    // also grow past the longest name a folder can have.
    if (!canHaveLockedFolderName(GetFileName(folder))) return "Folder Name Cannot Be Locked";
    if (!FitsOnListLine(folder))
        return "The folder " + folder +
               " cannot be locked: its path holds a line break, which the list of encrypted "
               "folders cannot keep.";
    // Checked before anything changes: the run would lock the files and then
    // fail to rename the folder, and the two would share one record.
    std::string name = folder, parentPath;
    SplitFolderPath(name, parentPath);
    return LockedNameTakenText(parentPath, name);
}

}  // namespace

std::string NormalPath(const std::string& path) {
    const std::string root = rootOf(path);
    if (root.empty()) return {};
    std::vector<std::string> parts;
    size_t i = root.size();
    while (i < path.size()) {
        size_t end = i;
        while (end < path.size() && !isSeparator(path[end])) ++end;
        std::string part = path.substr(i, end - i);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(std::move(part));
        }
        i = end + 1;
    }
    std::string result = root;
    for (size_t n = 0; n < parts.size(); ++n) {
        if (n > 0) result += kSeparator;
        result += parts[n];
    }
    return result;
}

std::string LockedNameTakenText(const std::string& parentPath, const std::string& name) {
    const std::string locked = lockedFolderPath(parentPath, name);
    FileStatus status;
    if (fileSystem().status(locked, status) != IoError::ok) return {};
    const std::string folder = parentPath + name;
    if (status.kind == EntryKind::folder)
        return "The folder " + folder +
               " cannot be locked: a locked folder of the same name stands beside it, and the two "
               "cannot share one locked name.\r\nGive this folder another name, or move it away; "
               "Decrypt a Folder restores the locked one once its name is free. Nothing was "
               "changed.";
    return "The folder " + folder + " cannot be locked: its locked name is taken by " + locked +
           ".\r\nMove that away, or give this folder another name. Nothing was changed.";
}

std::string FolderBoxPath(const std::string& path) {
    std::string result = NormalPath(path);
    FileStatus status;
    if (result.empty() || fileSystem().status(result, status) != IoError::ok ||
        status.kind != EntryKind::folder)
        return {};
    return result;
}

std::string SplitFolderPath(std::string& path, std::string& ParentPath) {
    size_t last = path.rfind(kSeparator);
    ParentPath = last == std::string::npos ? std::string() : path.substr(0, last + 1);
    if (last != std::string::npos) path.erase(0, last + 1);
    return path;
}

std::string BrowseForFolder(Desktop& desktop) {
    return TrimNull(desktop.pickFolder());
}

void Folder_Encrypt(WindowModel& model, Desktop& desktop) {
    std::string ChosenFolder = BrowseForFolder(desktop);
    if (ChosenFolder.empty()) return;
    const std::string folder = FolderBoxPath(ChosenFolder);
    if (std::string refused = refusal(folder, ChosenFolder, model); !refused.empty()) {
        desktop.message(refused, Icon::critical);
        return;
    }
    // A folder that is read-only, hidden, system or archive is passed over
    // without a word; but one that is being locked may have been hidden
    // already, just before a crash took away its locked name.
    uint32_t attributes = 0;
    if (fileSystem().getAttributes(folder, attributes) != IoError::ok ||
        (attributes != kAttrDirectory &&
         !(attributes == (kAttrDirectory | kAttrHidden) && IsRecordedFolder(folder))))
        return;

    // Only now, and only this folder: the run locks the folder it names.
    WritePendingFolder(folder);
    ChosenFolder = folder;
    std::string name = folder;
    model.FolderName = SplitFolderPath(name, model.ParentPath);
    model.ListFiles.clear();
    ListRow row;
    row.text = row.path = ChosenFolder;
    model.ListFiles.push_back(row);
    FileSearch(model, desktop).cmdSearch_Click();
    model.cmdEncDecEnabled = true;
    model.changed();
}

}  // namespace vellumar
