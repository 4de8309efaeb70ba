#pragma once
// The folder commands of tessarin-cli: "Encrypt a Folder" and "Decrypt a
// Folder" walked through the window's own handlers, and the list of the
// encrypted folders as the encrypted-folders window shows it.

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
