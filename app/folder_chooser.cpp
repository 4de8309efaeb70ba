#include "app/folder_chooser.h"

#include "app/file_search.h"
#include "engine/platform/file_system.h"
#include "engine/platform/paths.h"
#include "folders/folder_lists.h"

namespace vellumar {

std::string folderRefusalText(const FolderCheck& check) {
    const std::string& folder = check.path;
    switch (check.rule) {
        case FolderRule::none:
        case FolderRule::attributes:
            return {};
        case FolderRule::notAFolder:
            return "Please Select A Folder To Encrypt";
        case FolderRule::applicationFolder:
            return "Application Folder Cannot Be Locked";
        case FolderRule::driveRoot:
            return "Drive Cannot Be Locked";
        case FolderRule::systemFolder:
            return "Window System Folder Cannot Be Locked";
        case FolderRule::windowsFolder:
            return "Window Folder Cannot Be Locked";
        case FolderRule::nameNotEncodable:
            return "Folder Name Cannot Be Locked";
        case FolderRule::lineBreak:
            return "The folder " + folder +
                   " cannot be locked: its path holds a line break, which the list of encrypted "
                   "folders cannot keep.";
        case FolderRule::lockedFolderBeside:
            return "The folder " + folder +
                   " cannot be locked: a locked folder of the same name stands beside it, and the "
                   "two cannot share one locked name.\r\nGive this folder another name, or move "
                   "it away; Decrypt a Folder restores the locked one once its name is free. "
                   "Nothing was changed.";
        case FolderRule::insideLockedFolder:
            return "The folder " + folder + " cannot be locked: it lies inside the locked folder " +
                   check.other + ". Nothing was changed.";
        case FolderRule::lockedNameTaken:
            return "The folder " + folder + " cannot be locked: its locked name is taken by " +
                   check.other +
                   ".\r\nMove that away, or give this folder another name. Nothing was changed.";
        case FolderRule::lockedNameCaseTwin:
            return "The folder " + folder + " cannot be locked: its locked name would differ " +
                   "only in case from " + check.other +
                   ", which Windows cannot tell apart.\r\nMove that away, or give this folder "
                   "another name. Nothing was changed.";
        case FolderRule::lockedNameNotAllowed:
            return "The folder " + folder + " cannot be locked: " +
                   describe(IoError::nameNotAllowed) + " (" + check.other +
                   ", its locked name).\r\nGive this folder another name. Nothing was changed.";
    }
    return {};
}

std::string lockedNameTakenText(const std::string& parentPath, const std::string& name) {
    return folderRefusalText(checkLockedName(parentPath + name));
}

std::string browseForFolder(Desktop& desktop) {
    return trimNull(desktop.pickFolder());
}

void Folder_Encrypt(WindowModel& model, Desktop& desktop) {
    if (model.wizard.mayEditTargets() != Refused::none) return;
    std::string ChosenFolder = browseForFolder(desktop);
    if (ChosenFolder.empty()) return;
    const FolderCheck check =
        checkFolderToLock(ChosenFolder, {model.WindowsDir, model.WindowsSystemDir});
    if (check.rule == FolderRule::attributes) return;
    if (!check.passed()) {
        desktop.message(folderRefusalText(check), Icon::critical);
        return;
    }

    // Only now, and only this folder: the run locks the folder it names.
    const std::string& folder = check.path;
    writePendingFolder(folder);
    ChosenFolder = folder;
    std::string name = folder;
    model.FolderName = splitFolderPath(name, model.ParentPath);
    model.targetList.clear();
    ListRow row;
    row.text = row.path = ChosenFolder;
    model.targetList.push_back(row);
    FileSearch(model, desktop).cmdSearch_Click();
    model.runButtonEnabled = true;
    model.changed();
}

}  // namespace vellumar
