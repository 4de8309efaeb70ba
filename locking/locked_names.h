#pragma once
// The names a lock run gives, checked before anything changes: the volume
// must take each one, and none may differ only in case from another name of
// its folder (one there already, or one the run gave), which Windows could
// not tell apart once the folder is copied to a stick or a share. Each folder
// is listed once a run.

#include <map>
#include <set>
#include <string>

#include "engine/platform/file_system.h"

namespace vellumar {

class LockedNames {
  public:
    struct Verdict {
        // ok, or why the volume refuses the name (nameNotAllowed, nameTooLong).
        IoError volume = IoError::ok;
        // The name of the folder it would differ from only in case; empty when none.
        std::string caseTwin;
    };
    // `lockedPath`: the path a file is to be locked under.
    Verdict check(const std::string& lockedPath);
    // The run gave this name.
    void given(const std::string& lockedPath);

  private:
    struct Folder {
        bool windowsNamesOnly = false;
        std::set<std::string> names;
        std::map<std::string, std::string> byFolded;  // folded name -> a name that folds so
    };
    Folder& folderOf(const std::string& path);

    std::map<std::string, Folder> folders_;
};

}  // namespace vellumar
