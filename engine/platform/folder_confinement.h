#pragma once
// Keeps a folder run inside the folder it works on. While a FolderConfinement
// lives, the platform's file system reaches every path below its root without
// following a link on the way: a subfolder swapped for a link after the walk
// leads nowhere (outsideFolder), never to the folder the link names. Links
// above the root are the person's own choice and are followed once, when the
// root is opened. Paths that are not below the root are used as given.

#include <memory>
#include <string>

namespace vellumar {

class ConfinedFolder;  // the platform's state of one confinement

class FolderConfinement {
  public:
    // An empty root confines nothing. Confinements nest: the inner one holds
    // until it ends.
    explicit FolderConfinement(const std::string& root);
    ~FolderConfinement();
    FolderConfinement(const FolderConfinement&) = delete;
    FolderConfinement& operator=(const FolderConfinement&) = delete;

  private:
    std::shared_ptr<ConfinedFolder> previous_;
};

}  // namespace vellumar
