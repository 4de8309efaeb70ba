#include "locking/hidden_names.h"

#include <set>

#include "engine/lists/hidden_list.h"
#include "engine/platform/paths.h"

namespace vellumar {

void HiddenNames::add(Folders& folders, const std::string& path, size_t item) {
    const std::string plain = stripBackslash(path);
    Folder& folder = folders[getFolderPart(plain)];
    folder.names.push_back(getFileName(plain));
    folder.items.push_back(item);
}

std::vector<HiddenNames::Failure> HiddenNames::apply() {
    // Every list in one go: one flush of the disk for all of them.
    std::vector<FolderListChange> changes;
    std::vector<const std::vector<size_t>*> items;
    for (bool hide : {true, false}) {
        for (const auto& [path, folder] : hide ? hide_ : unhide_) {
            changes.push_back({path, folder.names, hide, {}});
            items.push_back(&folder.items);
        }
    }
    changeFolderLists(changes);
    std::vector<Failure> failures;
    for (size_t i = 0; i < changes.size(); ++i) {
        if (changes[i].result.ok()) continue;
        for (size_t item : *items[i]) failures.push_back({item, changes[i].result});
    }
    hide_.clear();
    unhide_.clear();
    return failures;
}

std::vector<HiddenListResult> listsNotUpdated(const RunReport& report,
                                              const HiddenListResult& own) {
    std::vector<HiddenListResult> lists;
    std::set<std::string> named;
    auto add = [&](const HiddenListResult& list) {
        if (!list.ok() && named.insert(list.path).second) lists.push_back(list);
    };
    for (const ItemResult& item : report.items) add(item.hiddenList);
    add(own);
    return lists;
}

}  // namespace vellumar
