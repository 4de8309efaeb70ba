#include "app/encrypted_folders.h"

#include <algorithm>

#include "app/file_search.h"
#include "engine/formats/locked_folder_name.h"
#include "folders/folder_operations.h"

namespace vellumar {

bool EncryptedFolders::Form_Load() {
    lstDecrypt.clear();
    // Created empty when missing; a list that cannot be read shows nothing.
    std::vector<std::string> records;
    if (listLockedFolders(records) != IoError::ok) return false;
    for (const std::string& record : records) {
        ListRow row;
        row.text = row.path = record;
        lstDecrypt.push_back(row);
    }
    return true;
}

void EncryptedFolders::tickRow(size_t index, bool ticked) {
    if (index >= lstDecrypt.size()) return;
    if (ticked) {
        for (ListRow& row : lstDecrypt) row.checked = false;
    }
    lstDecrypt[index].checked = ticked;
}

void EncryptedFolders::cmdDecrypt_Click() {
    // It fills the target page of a folder operation, and only that.
    if (model_.wizard.mayEditTargets() != Refused::none) return;
    const std::vector<const ListRow*> ticked = tickedRows();
    if (ticked.size() > 1) {
        desktop_.message("One Folder Can Be Decrypted At A Time", Icon::critical);
        model_.targetList.clear();
    } else if (ticked.empty()) {
        model_.runButtonEnabled = false;
        unloaded = true;
    } else {
        ListRow added;
        added.text = ticked.front()->text;
        added.path = ticked.front()->path;
        model_.targetList.push_back(added);
        prepare(added.path);
    }
    model_.changed();
}

std::vector<const ListRow*> EncryptedFolders::tickedRows() {
    // OK with no row ticked takes the selected one.
    const bool anyTicked = std::any_of(lstDecrypt.begin(), lstDecrypt.end(),
                                       [](const ListRow& row) { return row.checked; });
    if (!anyTicked && selectedRow >= 0) tickRow(static_cast<size_t>(selectedRow), true);
    std::vector<const ListRow*> ticked;
    for (const ListRow& row : lstDecrypt)
        if (row.checked) ticked.push_back(&row);
    return ticked;
}

void EncryptedFolders::prepare(const std::string& record) {
    model_.FolderName = record;
    model_.FolderName = splitFolderPath(model_.FolderName, model_.ParentPath);
    // For "Encrypt a Folder" the folder is looked for under its plain name.
    const Option operation = model_.operation();
    const std::string plain = model_.ParentPath + model_.FolderName;
    std::string folder = plain;
    if (operation != Option::OptEncFolder) {
        model_.PlainFolderPath = plain;
        folder = lockedFolderPath(model_.ParentPath, model_.FolderName);
        // A folder whose locking could not rename it is recorded and its
        // files are locked, but it still has its plain name: it is unlocked
        // there (the search walks it there too).
        if (operation == Option::OptDecFolder && normalFolderPath(folder).empty() &&
            !normalFolderPath(plain).empty())
            folder = plain;
    }
    if (normalFolderPath(folder).empty()) {
        // Not there under its locked name: it lies inside another locked
        // folder, or it was unlocked since the list was read.
        if (operation == Option::OptDecFolder)
            desktop_.message(
                "This Folder Is Inside Another Locked Folder\rPlease Unlock The Outside Folder "
                "First\rAnd Then Unlock This Folder",
                Icon::critical);
        else if (operation == Option::OptEncFolder)
            desktop_.message(
                "This Folder Is Already Unlocked\rPlease Restart The Application\rAnd Get "
                "Updated View Of Folders",
                Icon::critical);
        model_.targetList.clear();
        return;
    }
    model_.runButtonEnabled = true;
    FileSearch(model_, desktop_).cmdSearch_Click();
    unloaded = true;
}

}  // namespace vellumar
