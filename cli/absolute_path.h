#pragma once

#include <string>

namespace vellumar {

// The full path of a path given on the command line (relative to the current
// folder), as the list files keep it. Unchanged when it cannot be told.
std::string absolutePath(const std::string& path);

}  // namespace vellumar
