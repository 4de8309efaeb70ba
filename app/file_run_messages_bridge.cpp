// TEMPORARY: the runs beneath the file operations still speak while they
// run, so there is nothing left to say once they end.

#include "app/file_run_messages.h"

namespace vellumar {

void showLockRun(const RunReport&, Desktop&) {}
void showUnlockRun(const RunReport&, Desktop&) {}

}  // namespace vellumar
