#include "folders/encrypted_folders.h"

#include "engine/atomic_file.h"
#include "engine/file_system.h"
#include "engine/names.h"
#include "engine/platform.h"
#include "engine/text_shift.h"
#include "folders/folder_chooser.h"
#include "locking/file_search.h"

namespace vellumar {
namespace {

// The records of "folders" up to the first empty line.
std::vector<std::string> readRecords(const std::string& path) {
    std::string text;
    if (readWholeFile(path, text) != IoError::ok) return {};
    std::vector<std::string> records;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos) end = text.size();
        if (end == start) break;
        records.push_back(text.substr(start, end - start));
        start = end;
        if (start < text.size() && text[start] == '\r') ++start;
        if (start < text.size() && text[start] == '\n') ++start;
    }
    return records;
}

}  // namespace

void EncryptedFolders::Form_Load() {
    lstDecrypt.clear();
    const std::string list = applicationFile("folders");
    if (!FileExists(list)) {
        AtomicFile empty(list);
        if (empty.open() == IoError::ok) empty.commit();
        return;
    }
    for (const std::string& record : readRecords(list)) {
        ListRow row;
        row.text = row.path = record;
        lstDecrypt.push_back(row);
    }
}

void EncryptedFolders::cmdDecrypt_Click() {
    const ListRow* ticked = nullptr;
    int n = 0;
    for (const ListRow& row : lstDecrypt) {
        if (!row.checked) continue;
        ListRow added;
        added.text = row.text;
        added.path = row.path;
        model_.ListFiles.push_back(added);
        ticked = &row;
        ++n;
    }
    if (n > 1) {
        desktop_.message("One Folder Can Be Decrypted At A Time", Icon::critical);
        model_.ListFiles.clear();
        model_.changed();
        return;
    }
    if (n == 0) {  // nothing ticked
        model_.cmdEncDecEnabled = false;
        unloaded = true;
        model_.changed();
        return;
    }

    model_.FolderName = ticked->path;
    model_.FolderName = SplitFolderPath(model_.FolderName, model_.ParentPath);
    // After "Encrypt a Folder" was clicked last, the folder is looked for
    // under its plain name.
    std::string folder = model_.ParentPath + model_.FolderName;
    if (!model_.EncFolderOpt) {
        model_.PlainFolderPath = folder;
        folder = model_.ParentPath + EncodeText(model_.FolderName);
    }
    if (FolderBoxPath(folder).empty()) {
        // Not there under its locked name: it lies inside another locked
        // folder, or it was unlocked since the list was read.
        if (model_.DecFolder)
            desktop_.message(
                "This Folder Is Inside Another Locked Folder\rPlease Unlock The Outside Folder "
                "First\rAnd Then Unlock This Folder",
                Icon::critical);
        else if (model_.EncFolder)
            desktop_.message(
                "This Folder Is Already Unlocked\rPlease Restart The Application\rAnd Get "
                "Updated View Of Folders",
                Icon::critical);
        model_.ListFiles.clear();
        model_.changed();
        return;
    }
    model_.cmdEncDecEnabled = true;
    FileSearch(model_, desktop_).cmdSearch_Click();
    unloaded = true;
    model_.changed();
}

}  // namespace vellumar
