#include "app/file_run_handlers.h"

#include <string>
#include <vector>

#include "app/file_run_messages.h"
#include "engine/runs/write_batch.h"
#include "locking/hidden_names.h"

namespace vellumar {
namespace {

// The rows' paths, taken once: rows added meanwhile are not processed.
std::vector<std::string> rowPaths(const std::vector<ListRow>& rows) {
    std::vector<std::string> paths;
    paths.reserve(rows.size());
    for (const ListRow& row : rows) paths.push_back(row.path.empty() ? row.text : row.path);
    return paths;
}

RunOutcome lockRows(const WindowModel& model, const std::vector<ListRow>& rows,
                    Desktop& desktop) {
    LockOptions options;
    // "Encrypt File(s)" keeps a list of the files it locked.
    options.recordInFilesList = model.operation() == Option::OptEncFiles;
    const bool seal = model.sealChecked && model.sessionKeys.canUnseal();
    const AgeRecipient recipient = seal ? model.sessionKeys.recipient() : AgeRecipient();
    if (seal) options.sealFor = &recipient;
    desktop.setBusy(true);
    RunReport report;
    {
        WriteBatch batch;
        report = lockFiles(rowPaths(rows), options, &batch, desktop);
    }
    showLockRun(report, desktop);
    showListsNotUpdated(listsNotUpdated(report), desktop);
    desktop.setBusy(false);
    showNoFileChecked(report, desktop);
    return outcomeOf(report);
}

RunOutcome unlockRows(const WindowModel& model, const std::vector<ListRow>& rows,
                      bool pruneFilesList, Desktop& desktop) {
    UnlockOptions options;
    options.pruneFilesList = pruneFilesList;
    options.keys = &model.sessionKeys;
    desktop.setBusy(true);
    RunReport report;
    {
        WriteBatch batch;
        report = unlockFiles(rowPaths(rows), options, &batch, desktop);
    }
    showUnlockRun(report, desktop);
    showLeftVisible(report.leftVisible, desktop);
    showListsNotUpdated(listsNotUpdated(report), desktop);
    desktop.setBusy(false);
    showNoFileChecked(report, desktop);
    return outcomeOf(report);
}

}  // namespace

RunOutcome outcomeOf(const RunReport& report) {
    RunOutcome outcome;
    outcome.rows = report.items.size();
    outcome.done = report.count(ItemStatus::done);
    outcome.failed = report.count(ItemStatus::failed);
    outcome.refused = report.count(ItemStatus::refused);
    outcome.missing = report.count(ItemStatus::missing);
    outcome.repeated = report.count(ItemStatus::repeated);
    outcome.endedEarly = report.endedEarly;
    outcome.cancelled = report.cancelled;
    for (const ItemResult& item : report.items)
        if (item.status == ItemStatus::missing) outcome.missingPaths.push_back(item.path);
    return outcome;
}

RunOutcome cmdLock_Click(WindowModel& model, Desktop& desktop) {
    return lockRows(model, model.targetList, desktop);
}

RunOutcome cmdLockFolder_Click(WindowModel& model, Desktop& desktop) {
    return lockRows(model, model.foundFiles, desktop);
}

RunOutcome cmdUnlock_Click(WindowModel& model, Desktop& desktop) {
    return unlockRows(model, model.targetList, true, desktop);
}

RunOutcome cmdUnlockFolder_Click(WindowModel& model, Desktop& desktop) {
    return unlockRows(model, model.foundFiles, false, desktop);
}

}  // namespace vellumar
