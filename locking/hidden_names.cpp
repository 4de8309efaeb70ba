#include "locking/hidden_names.h"

#include "engine/hidden_list.h"
#include "engine/names.h"

namespace vellumar {

void HiddenNames::add(Folders& folders, const std::string& path, size_t item) {
    const std::string plain = stripBackslash(path);
    Folder& folder = folders[getFolderPart(plain)];
    folder.names.push_back(getFileName(plain));
    folder.items.push_back(item);
}

std::vector<HiddenNames::Failure> HiddenNames::apply() {
    std::vector<Failure> failures;
    auto edit = [&failures](Folders& folders, auto change) {
        for (const auto& [path, folder] : folders) {
            if (IoError e = change(path, folder.names); e != IoError::ok) {
                for (size_t item : folder.items) failures.push_back({item, e});
            }
        }
        folders.clear();
    };
    edit(hide_, hideNamesInFolderList);
    edit(unhide_, unhideNamesInFolderList);
    return failures;
}

}  // namespace vellumar
