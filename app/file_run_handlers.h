#pragma once
// The window's lock and unlock runs of files: cmdLock_Click and
// cmdUnlock_Click work on the target list (targetList), the Folder variants on
// the search results (foundFiles). Only each row's path is read; every
// row is processed, and the lists are left as they are. The
// run itself is the file operation; the handler words its result.

#include <cstddef>
#include <string>
#include <vector>

#include "engine/runs/desktop.h"
#include "locking/file_operations.h"
#include "app/window_model.h"

namespace vellumar {

// What a run did with its rows. The window ignores it; the folder runs go
// on from it.
struct RunOutcome {
    size_t rows = 0;
    size_t done = 0;          // locked, or unlocked
    size_t failed = 0;        // handed to the engine, which did not succeed
    size_t refused = 0;       // the program's own files, links, system files, files not locked
    size_t missing = 0;       // no longer there: passed over without a word
    size_t repeated = 0;      // the same file as an earlier row: passed over, said so
    bool endedEarly = false;  // a small locked file could not be unlocked: the rest were not tried
    bool cancelled = false;   // the person stopped the run between two files
    std::vector<std::string> missingPaths;  // the rows whose file was no longer there
    // A file named twice counts once: done when the first row was.
    bool complete() const { return done + repeated == rows; }
    // Worth the success message: something to do, all of it done, nothing cut short.
    bool succeeded() const { return rows > 0 && complete() && !cancelled; }
};

RunOutcome outcomeOf(const RunReport& report);

RunOutcome cmdLock_Click(WindowModel& model, Desktop& desktop);
RunOutcome cmdLockFolder_Click(WindowModel& model, Desktop& desktop);
// Also prunes the locked-files list afterwards (pruneLockedFilesList).
RunOutcome cmdUnlock_Click(WindowModel& model, Desktop& desktop);
RunOutcome cmdUnlockFolder_Click(WindowModel& model, Desktop& desktop);

}  // namespace vellumar
