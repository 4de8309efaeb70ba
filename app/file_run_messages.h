#pragma once
// The window's words for a lock or unlock run of files: the messages, icons,
// titles and their order, from the run's results. The window always spoke
// while it ran; these replay what it said, in the same order, once the run
// is over.

#include <string>
#include <vector>

#include "engine/runs/desktop.h"
#include "engine/runs/file_result.h"
#include "locking/failure_cause.h"
#include "locking/file_operations.h"

namespace vellumar {

void showLockRun(const RunReport& report, Desktop& desktop);
void showUnlockRun(const RunReport& report, Desktop& desktop);
// "No file is checked" for a run over no file: said after the others, once
// the busy pointer is gone.
void showNoFileChecked(const RunReport& report, Desktop& desktop);

// Once for each volume on which the run locked files that stay visible.
void showCannotHide(const RunReport& report, Desktop& desktop);

// Listed locked files that could not be hidden again, named with their
// causes in one message; nothing when there are none.
void showLeftVisible(const std::vector<FileResult>& files, Desktop& desktop);

// The folders' lists of hidden names a run left as they were, each
// "PATH: cause" (the PATH the list's own) in one message; nothing when none.
void showListsNotUpdated(const std::vector<HiddenListResult>& lists, Desktop& desktop);

// The message the window has for what one lock or unlock of a file did
// (a name taken, a wrong header, a damaged file...); nothing for most OS
// errors, which the run's list of failures names.
void showFileMessage(const FileResult& result, bool locking, bool large, Desktop& desktop);

}  // namespace vellumar
