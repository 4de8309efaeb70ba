#pragma once
// Every process of the program (the window and any number of tessarin-cli)
// shares the list files. A list is changed by reading it and writing a new
// copy, so two processes doing that at once would lose one's lines: each
// read-modify-write of a list holds this lock, an exclusive lock on the
// lists' folder: flock on the folder itself on Linux, a mutex named after
// the folder on Windows. Neither leaves a file beside the lists.
//
// The lock is held by the process: taking it again on any thread of the same
// process while it is held nests (a thread waits for another thread's hold
// to end). The operating system drops it when the process ends, even by a
// crash, so a killed run never leaves the lists locked.

#include <string>

namespace vellumar {

class ListLock {
  public:
    // Locks the lists of `folder` (the application directory when empty),
    // waiting for any other process that holds them. Where the lock cannot
    // be had (a folder that cannot be opened) it goes on unlocked: the
    // lists cannot be written there either.
    explicit ListLock(const std::string& folder = {});
    ~ListLock();
    ListLock(const ListLock&) = delete;
    ListLock& operator=(const ListLock&) = delete;

  private:
    std::string key_;
};

}  // namespace vellumar
