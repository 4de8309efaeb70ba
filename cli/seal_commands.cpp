#include "cli/seal_commands.h"

#include <cstdint>
#include <ostream>

#include "app/password.h"
#include "app/password_changes.h"
#include "cli/absolute_path.h"
#include "cli/cli.h"
#include "cli/item_lines.h"
#include "engine/platform/file_system.h"
#include "engine/platform/paths.h"
#include "engine/sealing/sealed_identity.h"
#include "engine/runs/write_batch.h"
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

// The file --recovery-key-out names: made new and private (0600, never over
// another file) before anything changes, so that sealing is never turned
// on without its key having a place. Removed again when it never got it.
class RecoveryKeyFile {
  public:
    ~RecoveryKeyFile() {
        if (file_ == kNoFile) return;
        fileSystem().close(file_);
        fileSystem().removeFile(path_);
    }
    bool wanted() const { return !path_.empty(); }
    // False, having said why, when the file could not be made.
    bool create(CliSession& cli) {
        if (cli.recoveryKeyOut.empty()) return true;
        path_ = absolutePath(cli.recoveryKeyOut);
        const IoError e = fileSystem().createNew(path_, file_);
        if (e == IoError::ok) return true;
        file_ = kNoFile;
        cli.console.err << path_
                        << (e == IoError::exists
                                ? ": a file of that name exists; the recovery key is only "
                                  "written to a new file"
                                : ": the recovery key file could not be made: " +
                                      causeText(e, path_))
                        << "\nNothing was changed.\n";
        return false;
    }
    // Writes the key, flushed to the disk. On failure the key is shown on
    // standard output instead: it must reach the person somewhere.
    bool deliver(CliSession& cli, const std::string& text) {
        if (!wanted()) {
            cli.console.out << text << std::flush;
            return true;
        }
        FileSystem& fs = fileSystem();
        IoError e = fs.write(file_, text.data(), text.size());
        if (e == IoError::ok) e = fs.flush(file_);
        const IoError closed = fs.close(file_);
        file_ = kNoFile;
        if (e == IoError::ok) e = closed;
        if (e == IoError::ok) e = fs.flushFolder(getFolderPart(path_));
        if (e == IoError::ok) {
            cli.console.err << "The recovery key has been written to " << path_
                            << ", readable by you alone.\n";
            return true;
        }
        fs.removeFile(path_);
        cli.console.err << path_ << ": the recovery key could not be written: "
                        << causeText(e, path_) << "\nIt follows on standard output.\n";
        cli.console.out << text << std::flush;
        return false;
    }

  private:
    std::string path_;
    FileHandle file_ = kNoFile;
};

}  // namespace

bool readyToSeal(CliSession& cli) {
    RecoveryKeyFile keyFile;
    if (!keyFile.create(cli)) return false;
    if (cli.keys.canUnseal()) {
        if (keyFile.wanted()) return keyFile.deliver(cli, identityText(cli.keys.identities.front()));
        return true;
    }
    const SealingStartResult start = startSealing(cli.settings, cli.keys.password.view(), cli.keys);
    if (start.start == SealingStart::notStarted) {
        cli.console.err << identityFilePath()
                        << ": sealing could not be turned on: " << ageCause(start.age)
                        << "\nNothing was changed.\n";
        return false;
    }
    if (start.start == SealingStart::wasOn) {
        if (keyFile.wanted()) return keyFile.deliver(cli, identityText(cli.keys.identities.front()));
        return true;
    }
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
    // Sealing is on now whatever became of the file: the run goes on.
    keyFile.deliver(cli, identityText(cli.keys.identities.front()));
    return true;
}

int exportRecoveryKeyCommand(CliSession& cli, const std::vector<std::string>&) {
    if (!cli.passGate()) return kExitFailed;
    if (!cli.keys.canUnseal()) {
        cli.console.err << "Sealing is not on: there is no recovery key yet. It is made the first "
                           "time a file or folder is sealed (lock --seal).\n";
        return kExitFailed;
    }
    RecoveryKeyFile keyFile;
    if (!keyFile.create(cli)) return kExitFailed;
    cli.console.err << kRecoveryKeyAdvice << "\n";
    return keyFile.deliver(cli, identityText(cli.keys.identities.front())) ? kExitDone
                                                                            : kExitFailed;
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
