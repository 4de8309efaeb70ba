#pragma once
// Where the running copy keeps its lock and its socket: a folder that no
// other user can enter. Another user able to write there could hold the lock
// (the program "already running" forever) or take the socket and with it the
// paths a later start hands over. Never a shared temporary folder.

#include <string>

namespace vellumar {

// A real folder (not a link), owned by this user, mode 0700.
bool isPrivateFolder(const std::string& path);

// $XDG_RUNTIME_DIR when it is private; else the folder "runtime" of the
// application directory, made 0700 when missing and checked all the same.
// Empty when neither is private.
std::string instanceFolder();

}  // namespace vellumar
