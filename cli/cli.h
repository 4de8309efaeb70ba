#pragma once
// tessarin-cli: the lock and unlock runs of the window, for files and for
// folders, from a terminal, on the same list files and the same application
// password.

#include <string>
#include <vector>

#include "app/settings_store.h"
#include "cli/console.h"

namespace vellumar {

// Exit status: everything done; anything failed or refused; bad usage.
enum ExitStatus : int { kExitDone = 0, kExitFailed = 1, kExitUsage = 2 };

// Runs one command line (the arguments after the program's name).
int runCli(const std::vector<std::string>& arguments, SettingsStore& settings, Console& console);

}  // namespace vellumar
