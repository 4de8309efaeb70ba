#pragma once
// The folder commands of tessarin-cli over the folder operations: lock a
// folder, unlock a listed folder, list the locked folders. A failure is
// named with its path and cause, then a summary line.

#include <string>
#include <vector>

#include "cli/cli_session.h"

namespace vellumar {

// lock-folder DIR
int lockFolderCommand(CliSession& cli, const std::vector<std::string>& arguments);
// unlock-folder DIR, DIR being the folder's plain path as it is listed.
int unlockFolderCommand(CliSession& cli, const std::vector<std::string>& arguments);
// folders: one listed folder per line on standard output.
int foldersCommand(CliSession& cli, const std::vector<std::string>& arguments);

}  // namespace vellumar
