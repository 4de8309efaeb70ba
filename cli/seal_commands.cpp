#include "cli/seal_commands.h"

#include <cstdint>
#include <ostream>

#include "app/password.h"
#include "cli/absolute_path.h"
#include "cli/cli.h"
#include "cli/item_lines.h"
#include "engine/file_system.h"
#include "engine/sealed_identity.h"
#include "engine/write_batch.h"
#include "locking/failure_cause.h"
#include "locking/file_operations.h"
#include "locking/sealing_keys.h"

namespace vellumar {

const char* const kRecoveryKeyAdvice =
    "This is your recovery key. Keep a copy somewhere safe, away from this computer (on paper, "
    "or in a password manager): if you forget the application password, it is the only way to "
    "open your sealed files. Anyone who has it can open them.";

namespace {

std::string ageCause(const AgeResult& result) {
    return describeCause(result);
}

// Why the file given as the recovery key gave none, in the words a person
// who typed the wrong name or picked the wrong file needs.
std::string recoveryKeyProblem(const AgeResult& read, const std::string& path) {
    uint32_t attributes = 0;
    if (fileSystem().getAttributes(path, attributes) == IoError::ok &&
        (attributes & kAttrDirectory) != 0)
        return "a folder, not a recovery key";
    if (read.error == AgeError::notAge)
        return "not a recovery key (it must hold one \"AGE-SECRET-KEY-1...\" line)";
    if (read.error == AgeError::io && read.io == IoError::notFound) return "no such file";
    if (read.error == AgeError::io)
        return "the recovery key could not be read: " + causeText(read.io, path);
    return "the recovery key could not be read: " + ageCause(read);
}

}  // namespace

bool readyToSeal(CliSession& cli) {
    if (cli.keys.canUnseal()) return true;
    const SealingStartResult start = startSealing(cli.settings, cli.keys.password, cli.keys);
    if (start.start == SealingStart::notStarted) {
        cli.console.err << identityFilePath()
                        << ": sealing could not be turned on: " << ageCause(start.age)
                        << "\nNothing was changed.\n";
        return false;
    }
    if (start.start == SealingStart::wasOn) return true;
    // Said once: the old, merely shifted form of the password leaves the
    // settings now, and sealing can not be turned off again.
    cli.console.err << "Sealing is now on. ";
    if (start.start == SealingStart::passwordKept)
        cli.console.err << "The old form of the application password could not be removed "
                           "from the settings yet; it will be at the next start.\n";
    else
        cli.console.err << "The old form of the application password has been removed from "
                           "the settings.\n";
    cli.console.err << "From now on the password is kept nowhere: it is checked by opening your "
                       "key ("
                    << identityFilePath() << ").\nThis cannot be undone.\n";
    cli.console.err << kRecoveryKeyAdvice << "\n";
    cli.console.out << identityText(cli.keys.identities.front()) << std::flush;
    return true;
}

int exportRecoveryKeyCommand(CliSession& cli, const std::vector<std::string>&) {
    if (!cli.passGate()) return kExitFailed;
    if (!cli.keys.canUnseal()) {
        cli.console.err << "Sealing is not on: there is no recovery key yet. It is made the first "
                           "time a file or folder is sealed (lock --seal).\n";
        return kExitFailed;
    }
    cli.console.err << kRecoveryKeyAdvice << "\n";
    cli.console.out << identityText(cli.keys.identities.front()) << std::flush;
    return kExitDone;
}

int unlockWithRecoveryKey(CliSession& cli, const std::vector<std::string>& files,
                          const std::string& keyFile) {
    SealingKeys keys;
    const std::string keyPath = absolutePath(keyFile);
    if (AgeResult read = readRecoveryKey(keyPath, keys); !read.ok()) {
        cli.console.err << keyPath << ": " << recoveryKeyProblem(read, keyPath)
                        << "\nNothing was changed.\n";
        return kExitFailed;
    }
    std::vector<std::string> paths;
    for (const std::string& file : files) paths.push_back(absolutePath(file));
    RunReport report;
    {
        WriteBatch batch;
        UnlockOptions options;
        options.keys = &keys;
        options.sealedOnly = true;
        options.pruneFilesList = true;
        report = unlockFiles(paths, options, &batch, cli.desktop);
    }
    for (const std::string& line : itemLines(report, false)) cli.desktop.message(line, Icon::none);
    cli.desktop.message(summaryLine(report, false), Icon::none);
    return runSucceeded(report) ? kExitDone : kExitFailed;
}

}  // namespace vellumar
