#pragma once
// The command line's words for the files of a run: one "PATH: cause" line
// for each file that did not get there, and the summary.

#include <string>

#include "locking/file_operations.h"

namespace vellumar {

// The line for one file, or empty for a file done.
std::string itemLine(const ItemResult& item, const RunReport& report, bool lock);
// "File(s) Encrypted Successfully" when every file got there; otherwise
// what became of them, counted.
std::string summaryLine(const RunReport& report, bool lock);

}  // namespace vellumar
