#pragma once
// Finding locked items from the disk alone, and getting them back:
//   scan PATH [--json] [--relist] [--cross-volumes]
//   rescue PATH [--cross-volumes]

#include <string>
#include <vector>

#include "cli/cli_session.h"

namespace vellumar {

// The options these commands take, which runCli passes on after the path.
inline const std::vector<std::string> kScanOptions = {"--json", "--relist", "--cross-volumes"};

int scanCommand(CliSession& cli, const std::vector<std::string>& arguments);
int rescueCommand(CliSession& cli, const std::vector<std::string>& arguments);

}  // namespace vellumar
