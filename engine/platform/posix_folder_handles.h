#pragma once
// The POSIX side of FolderConfinement: paths below the confined root are
// reached through folder handles opened one name at a time without following
// links, and the file system's calls act relative to them (the *at calls).
#ifndef _WIN32

#include <fcntl.h>

#include <memory>
#include <string>

#include "engine/platform/file_system.h"

namespace vellumar {

// An open folder, closed with its last reference: a call in progress keeps
// it open even when the cache lets it go meanwhile.
class FolderHandle {
  public:
    explicit FolderHandle(int fd) : fd_(fd) {}
    ~FolderHandle();
    FolderHandle(const FolderHandle&) = delete;
    FolderHandle& operator=(const FolderHandle&) = delete;
    int fd() const { return fd_; }

  private:
    int fd_;
};

// A path as the *at calls take it: a folder (the working folder for a path
// that is not confined) and the path of the entry relative to it.
class PathAt {
  public:
    PathAt() = default;
    PathAt(const PathAt&) = delete;
    PathAt& operator=(const PathAt&) = delete;

    int folder() const { return hold_ ? hold_->fd() : AT_FDCWD; }
    const char* name() const { return name_; }
    bool confined() const { return hold_ != nullptr; }

  private:
    friend class ConfinedFolder;
    friend IoError locatePath(const std::string& path, PathAt& out);
    std::shared_ptr<const FolderHandle> hold_;
    std::string last_;
    const char* name_ = nullptr;
};

// Where `path` lies: below the active confinement's root, its folder's handle
// and its last name; otherwise the path as given. Fails with outsideFolder
// when a folder on the way is a link (or the path climbs with ".."), and with
// the error of the folder that could not be opened otherwise.
IoError locatePath(const std::string& path, PathAt& out);

// Opens the folder `path` with `flags` (O_RDONLY to list or flush it); the
// root and folders below it through their handles, other folders as given.
IoError openFolder(const std::string& path, int flags, int& fd);

// Lets go of the handles of `path` and of the folders below it, once the run
// renamed or removed it, so that a folder made later under that name is found.
void forgetFolder(const std::string& path);

// The error an errno value stands for.
IoError ioErrorOf(int error);

}  // namespace vellumar

#endif
