#pragma once
// The locked-files list "files" in the application directory: one full path
// per line, each ended by CR LF, naming the files that "Encrypt File(s)"
// locked.

#include <string>
#include <utility>
#include <vector>

#include "engine/runs/file_result.h"

namespace vellumar {

// Makes every listed file visible and writable again, so the open-file
// dialog shows them for "Decrypt File(s)". Creates the list empty when it is
// missing.
void unhideLockedFiles();

// Keeps only the lines whose file still exists and hides those files again,
// keeping their other attributes (a locked file stays read-only).
// The list is replaced only by a complete new copy; a missing or unreadable
// list is left as it is. Returns the listed files that could not be hidden
// again (each with the OS error), which can be seen in their folders.
std::vector<FileResult> pruneLockedFilesList();

// A listed file that a run turned into another file that is still locked
// (a further layer, or one layer taken off two) keeps one line: the line of
// `from` names `to` instead, or goes when `to` is empty. Lines of other
// files stay as they are; nothing is written when no line changes.
IoError moveListedFiles(const std::vector<std::pair<std::string, std::string>>& moves);

}  // namespace vellumar
