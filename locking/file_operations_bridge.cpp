// TEMPORARY: lockFiles and unlockFiles over the window's runs, until the
// file operations of their own take over. The runs still show their
// messages while they run; each path's status comes from the run's counters.

#include <algorithm>

#include "locking/file_operations.h"
#include "locking/file_runs.h"

namespace vellumar {
namespace {

RunReport reportOf(const std::vector<std::string>& paths, const RunOutcome& outcome,
                   const RunTrace& trace) {
    RunReport report;
    report.endedEarly = outcome.endedEarly;
    report.cancelled = trace.cancelled;
    for (size_t i = 0; i < paths.size(); ++i) {
        ItemResult item;
        item.path = paths[i];
        item.status = i < trace.statuses.size() ? trace.statuses[i] : ItemStatus::notTried;
        item.decidedAfter = i;
        report.items.push_back(std::move(item));
    }
    return report;
}

}  // namespace

size_t RunReport::count(ItemStatus status) const {
    return static_cast<size_t>(
        std::count_if(items.begin(), items.end(),
                      [status](const ItemResult& item) { return item.status == status; }));
}

bool RunReport::complete() const {
    return !cancelled && !endedEarly &&
           std::all_of(items.begin(), items.end(), [](const ItemResult& item) {
               return item.status == ItemStatus::done || item.status == ItemStatus::repeated;
           });
}

RunReport lockFiles(const std::vector<std::string>& paths, const LockOptions& options, WriteBatch*,
                    Desktop& desktop) {
    RunTrace trace;
    const RunOutcome outcome = lockRun(paths, desktop, options.recordInFilesList, &trace);
    return reportOf(paths, outcome, trace);
}

RunReport unlockFiles(const std::vector<std::string>& paths, const UnlockOptions& options,
                      WriteBatch*, Desktop& desktop) {
    RunTrace trace;
    const RunOutcome outcome = unlockRun(paths, desktop, options.pruneFilesList, &trace);
    return reportOf(paths, outcome, trace);
}

}  // namespace vellumar
