#pragma once
// The lock run and the unlock run: every row of a list, in order, handed to
// the engine one file at a time. cmdLock_Click and cmdUnlock_Click work on
// the target list (ListFiles), the Folder variants on the search results
// (lstFoundFiles). Only the row's path is read; every row is processed,
// checked or not, and the lists are left as they are.

#include <cstddef>
#include <string>
#include <vector>

#include "engine/desktop.h"
#include "locking/file_operations.h"
#include "locking/window_model.h"

namespace vellumar {

// What a run did with its rows. The window ignores it; the command line
// sets its exit status from it.
struct RunOutcome {
    size_t rows = 0;
    size_t done = 0;          // locked, or unlocked
    size_t failed = 0;        // handed to the engine, which did not succeed
    size_t refused = 0;       // the program's own files, links, system files, files not locked
    size_t missing = 0;       // no longer there: passed over without a word
    size_t repeated = 0;      // the same file as an earlier row: passed over, said so
    bool endedEarly = false;  // a small locked file could not be unlocked: the rest were not tried
    // A file named twice counts once: done when the first row was.
    bool complete() const { return done + repeated == rows; }
};

// What became of each path of a run, and whether a cancel request ended it,
// for the file operations built on these runs.
struct RunTrace {
    std::vector<ItemStatus> statuses;  // one per path, notTried until its turn
    bool cancelled = false;
};

// The runs over paths. A cancel request stops them between two files.
RunOutcome lockRun(const std::vector<std::string>& paths, Desktop& desktop,
                   bool encryptFilesChosen, RunTrace* trace = nullptr);
RunOutcome unlockRun(const std::vector<std::string>& paths, Desktop& desktop, bool refreshList,
                     RunTrace* trace = nullptr);

RunOutcome cmdLock_Click(WindowModel& model, Desktop& desktop);
RunOutcome cmdLockFolder_Click(WindowModel& model, Desktop& desktop);
// Also prunes the locked-files list afterwards (File_Refresh).
RunOutcome cmdUnlock_Click(WindowModel& model, Desktop& desktop);
RunOutcome cmdUnlockFolder_Click(WindowModel& model, Desktop& desktop);

// True when the file begins with the marker of a locked file ("[Secret]").
bool StartsWithLockedMarker(const std::string& path);

}  // namespace vellumar
