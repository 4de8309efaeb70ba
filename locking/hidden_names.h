#pragma once
// The names a run lists in their folders' ".hidden" (locked files) or takes
// out of them (unlocked files), gathered so that each folder's list is
// rewritten once per commit rather than once per file.

#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include "engine/lists/hidden_list.h"
#include "locking/file_operations.h"

namespace vellumar {

class HiddenNames {
  public:
    // `path` is the item whose name goes in (or out of) its folder's list;
    // `item` the run's index of the file it stands for.
    void hide(const std::string& path, size_t item) { add(hide_, path, item); }
    void unhide(const std::string& path, size_t item) { add(unhide_, path, item); }

    struct Failure {
        size_t item;
        HiddenListResult error;  // the list and why it was left as it was
    };
    // Rewrites the list of every folder gathered, once, and forgets them.
    // The items of a list that could not be rewritten are returned: they
    // stay hidden (or shown) by their attribute alone.
    std::vector<Failure> apply();

  private:
    struct Folder {
        std::vector<std::string> names;
        std::vector<size_t> items;
    };
    using Folders = std::map<std::string, Folder>;
    static void add(Folders& folders, const std::string& path, size_t item);

    Folders hide_, unhide_;
};

// Every list a run left as it was, once each however many of its files it
// concerns, in the order of the files; `own` adds the list of a folder run's
// own folder. For the front ends to name after the run.
std::vector<HiddenListResult> listsNotUpdated(const RunReport& report,
                                              const HiddenListResult& own = {});

}  // namespace vellumar
