#include "cli/cli_session.h"

#include <ostream>

#include "app/password.h"

namespace vellumar {

bool CliSession::readSecret(const std::string& prompt, std::string& secret) {
    if (passwordStdin_) {
        if (readLine(console.in, secret)) return true;
        console.err << kProgram << ": no password on standard input\n";
        return false;
    }
    if (!console.inIsTerminal || !console.readHidden) {
        console.err << kProgram
                    << ": standard input is not a terminal; give the password with "
                       "--password-stdin\n";
        return false;
    }
    console.err << prompt << std::flush;
    return console.readHidden(secret);
}

bool CliSession::passGate() {
    if (!passwordIsSet(settings)) {
        // A store that could not be read (said already) tells nothing of a password.
        if (settings.lastReadFailed()) return false;
        console.err << "No application password is set yet. Set one with: " << kProgram
                    << " set-password\n";
        return false;
    }
    std::string typed;
    if (!readSecret("Password: ", typed)) return false;
    const PasswordGate gate = checkPassword(settings, typed, {}, &keys);
    // The session keeps the password in secure memory (keys); this copy goes.
    wipeSecret(typed);
    if (gate != PasswordGate::accepted) {
        desktop.message(passwordMessage(gate), Icon::critical);
        return false;
    }
    return true;
}

}  // namespace vellumar
