#pragma once
// The command line's words for the files of a run: one "PATH: cause" line
// for each file that did not get there, and the summary.

#include <cstddef>
#include <string>
#include <vector>

#include "locking/file_operations.h"

namespace vellumar {

// "1 folder", "2 folders": `noun` in the singular, counted.
std::string countText(size_t count, const std::string& noun);

// The line for one file, or empty for a file done or not tried.
std::string itemLine(const ItemResult& item, bool lock);
// The lines of a whole run: one for each file that did not get there, and
// for each listed locked file left visible and each list of hidden names
// not updated, but the files not tried only
// counted, on one line at the end.
std::vector<std::string> itemLines(const RunReport& report, bool lock);
// "PATH: list of hidden names not updated: cause" for each folder's list a
// run left as it was, the PATH the list's own.
std::vector<std::string> listLines(const std::vector<HiddenListResult>& lists);
// Whether the run ends in success: every file got there, and nothing it
// hides is left to be seen (a listed file, a folder's list of hidden names).
bool runSucceeded(const RunReport& report);
// One line for each volume on which the run locked files that its file
// system cannot hide: they are locked all the same.
std::vector<std::string> cannotHideLines(const RunReport& report);
// "File(s) Encrypted Successfully" when every file got there; otherwise
// what became of them, counted.
std::string summaryLine(const RunReport& report, bool lock);

}  // namespace vellumar
