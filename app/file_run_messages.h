#pragma once
// The window's words for a file run: what it shows once a lock or an unlock
// run over a list of files has ended.

#include "engine/desktop.h"
#include "locking/file_operations.h"

namespace vellumar {

void showLockRun(const RunReport& report, Desktop& desktop);
void showUnlockRun(const RunReport& report, Desktop& desktop);

}  // namespace vellumar
