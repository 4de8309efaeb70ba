#pragma once
// The engine's operations answer only true or false (and show the program's
// own messages); a run names the file and the cause of each failure. An
// operation notes the error that made it fail here, for this thread.

#include "engine/file_system.h"

namespace vellumar {

void noteFailure(IoError error);
// The error noted since the last call (ok when none), forgotten once taken.
IoError takeNotedFailure();

}  // namespace vellumar
