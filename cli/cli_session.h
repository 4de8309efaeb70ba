#pragma once
// One run of tessarin-cli: its terminal, the settings that hold the
// application password, and the gate every command but set-password passes.

#include <string>

#include "app/settings_store.h"
#include "cli/console.h"
#include "cli/terminal_desktop.h"
#include "locking/sealing_keys.h"

namespace vellumar {

inline const std::string kProgram = "tessarin-cli";

class CliSession {
  public:
    CliSession(SettingsStore& settings, Console& console, bool passwordStdin)
        : settings(settings),
          console(console),
          desktop(console.err, console.errIsTerminal, console.cancelRequested),
          passwordStdin_(passwordStdin) {}

    // Reads a password from the terminal (without echo) or, when asked to,
    // from standard input; false, having said why, when there is none to be
    // had. That is a password problem (exit status 1), not bad usage.
    bool readSecret(const std::string& prompt, std::string& secret);
    // The window's gate: a password must be set, and the right one given.
    bool passGate();

    SettingsStore& settings;
    Console& console;
    TerminalDesktop desktop;
    // Once the gate passed: the password, and the identity when sealing is on.
    SealingKeys keys;
    // lock, lock-folder --seal: seal rather than lock in the compatible formats.
    bool seal = false;
    // unlock --recovery-key-file F: the key that opens sealed files without the password.
    std::string recoveryKeyFile;
    // --recovery-key-out F: the recovery key goes to F, a new private file,
    // rather than to standard output.
    std::string recoveryKeyOut;

  private:
    bool passwordStdin_;
};

}  // namespace vellumar
