#pragma once
// Passwords after the first, from the command line: restore-key writes a
// lost key file again from the recovery key under a new password, and
// change-password changes the application password.

#include <string>
#include <vector>

#include "cli/cli_session.h"

namespace vellumar {

// restore-key --recovery-key-file F: no password asked but the new one, twice.
int restoreKeyCommand(CliSession& cli, const std::vector<std::string>& arguments);

// change-password: the current password, then the new one twice.
int changePasswordCommand(CliSession& cli, const std::vector<std::string>& arguments);

}  // namespace vellumar
