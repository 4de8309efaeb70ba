#pragma once
// Sealing from the command line: turning it on at the first --seal (with
// the recovery key shown once), showing the recovery key again, and
// unlocking sealed files with the recovery key when the password is lost.

#include <string>
#include <vector>

#include "cli/cli_session.h"

namespace vellumar {

// After the gate: the session's keys hold the identity to seal for; sealing
// is turned on first when it is not on yet. False (with the cause said)
// when it could not be.
bool readyToSeal(CliSession& cli);

// export-recovery-key: the identity, after the password.
int exportRecoveryKeyCommand(CliSession& cli, const std::vector<std::string>& arguments);

// unlock --recovery-key-file F FILE...: no password asked; only sealed files.
int unlockWithRecoveryKey(CliSession& cli, const std::vector<std::string>& files,
                          const std::string& keyFile);

// The sentence that goes with the recovery key wherever it is shown.
extern const char* const kRecoveryKeyAdvice;

}  // namespace vellumar
