#pragma once
// The folder commands of tessarin-cli over the folder operations: lock a
// folder, unlock a listed folder, list the locked folders. A failure is
// named with its path and cause, then a summary line.

#include <string>
#include <vector>

#include "cli/cli_session.h"
#include "folders/folder_operations.h"

namespace vellumar {

// lock-folder DIR
int lockFolderCommand(CliSession& cli, const std::vector<std::string>& arguments);
// unlock-folder DIR, DIR being the folder's plain path as it is listed, or
// a locked folder's path as it stands on disk, listed or not.
int unlockFolderCommand(CliSession& cli, const std::vector<std::string>& arguments);
// The words unlock-folder has for a folder's outcome; the exit status.
int reportFolderUnlock(const FolderRunResult& result, Desktop& desktop);
// folders: one listed folder per line on standard output.
int foldersCommand(CliSession& cli, const std::vector<std::string>& arguments);

}  // namespace vellumar
