#include "cli/cli.h"

#include <algorithm>
#include <cstdint>
#include <iomanip>
#include <ostream>
#include <utility>

#include "app/password.h"
#include "cli/absolute_path.h"
#include "cli/cli_session.h"
#include "cli/folder_commands.h"
#include "cli/item_lines.h"
#include "cli/password_commands.h"
#include "cli/scan_commands.h"
#include "cli/seal_commands.h"
#include "engine/platform/file_system.h"
#include "engine/platform/paths.h"
#include "engine/platform/platform.h"
#include "engine/runs/write_batch.h"
#include "locking/file_operations.h"

namespace vellumar {
namespace {

// Locks or unlocks the files named, as "Encrypt File(s)" and "Decrypt
// File(s)" do: the same operation, refusals and locked-files list; each
// file that did not get there is named with its cause, then the summary.
int runFiles(CliSession& cli, const std::vector<std::string>& files, bool lock) {
    if (!cli.passGate()) return kExitFailed;
    if (lock && cli.seal && !readyToSeal(cli)) return kExitFailed;
    std::vector<std::string> paths;
    for (const std::string& file : files) paths.push_back(absolutePath(file));
    RunReport report;
    {
        WriteBatch batch;
        if (lock) {
            LockOptions options;
            options.recordInFilesList = true;
            const AgeRecipient recipient = cli.seal ? cli.keys.recipient() : AgeRecipient();
            if (cli.seal) options.sealFor = &recipient;
            report = lockFiles(paths, options, &batch, cli.desktop);
        } else {
            UnlockOptions options;
            options.pruneFilesList = true;
            options.keys = &cli.keys;
            report = unlockFiles(paths, options, &batch, cli.desktop);
        }
    }
    for (const std::string& line : itemLines(report, lock)) cli.desktop.message(line, Icon::none);
    // Locked all the same: the exit code does not change for it.
    for (const std::string& line : cannotHideLines(report))
        cli.desktop.message(line, Icon::information);
    cli.desktop.message(summaryLine(report, lock), Icon::none);
    return runSucceeded(report) ? kExitDone : kExitFailed;
}

int lockCommand(CliSession& cli, const std::vector<std::string>& files) {
    return runFiles(cli, files, true);
}

int unlockCommand(CliSession& cli, const std::vector<std::string>& files) {
    if (!cli.recoveryKeyFile.empty()) return unlockWithRecoveryKey(cli, files, cli.recoveryKeyFile);
    return runFiles(cli, files, false);
}

// Why set-password set nothing, in the command line's words: the window's
// ("Please Confirm The Passwords") speak to its two fields.
std::string setPasswordProblem(PasswordGate gate) {
    switch (gate) {
        case PasswordGate::notSet:
            return "An empty password cannot be set.";
        case PasswordGate::notConfirmed:
            return "The passwords differ.";
        case PasswordGate::refusedCharacters:
            return "The password may hold only letters, digits and common symbols.";
        default:
            return passwordMessage(gate);
    }
}

// The window's first-use rules: typed twice, the same, with characters that
// can be stored. A password that is set already is not changed here.
int setPasswordCommand(CliSession& cli, const std::vector<std::string>&) {
    if (passwordIsSet(cli.settings)) {
        cli.console.err << "The application password is set already; the other commands ask for "
                           "it. Change it with: "
                        << kProgram << " change-password\n";
        return kExitFailed;
    }
    std::string password, confirm;
    if (!cli.readSecret("New password: ", password) ||
        !cli.readSecret("Confirm password: ", confirm))
        return kExitFailed;
    PasswordGate gate = checkPassword(cli.settings, password, confirm);
    if (gate != PasswordGate::passwordSet) {
        cli.console.err << setPasswordProblem(gate) << "\n";
        return kExitFailed;
    }
    // The window lets an unsaved password through once; here it would be lost.
    if (storedPassword(cli.settings) != trim(password)) {
        cli.console.err << "The password could not be saved.\n";
        return kExitFailed;
    }
    cli.console.err << "The application password is set.\n";
    return kExitDone;
}

struct Command {
    const char* name;
    const char* arguments;  // as the help shows them
    const char* summary;
    size_t minArguments;
    size_t maxArguments;
    int (*run)(CliSession& cli, const std::vector<std::string>& arguments);
};

constexpr size_t kAny = SIZE_MAX;

const Command kCommands[] = {
    {"lock", "FILE...", "lock each file in place (--seal: seal it)", 1, kAny, lockCommand},
    {"unlock", "FILE...", "unlock each locked or sealed file (\".VKL\", \".VKW\", \".VKS\")", 1,
     kAny, unlockCommand},
    {"lock-folder", "DIR", "lock every file below DIR, hide and list DIR; --seal: seal", 1, 1,
     lockFolderCommand},
    {"unlock-folder", "DIR", "unlock a locked folder, DIR as listed or as it stands", 1, 1,
     unlockFolderCommand},
    {"scan", "PATH", "list every locked item below PATH, from the disk alone", 1, 1, scanCommand},
    {"rescue", "PATH", "unlock every locked item that scan finds below PATH", 1, 1, rescueCommand},
    {"folders", "", "list the locked folders, one per line", 0, 0, foldersCommand},
    {"set-password", "", "set the application password on first use (asked twice)", 0, 0,
     setPasswordCommand},
    {"change-password", "", "change the application password (the current one, then the\n"
     "                      new one twice)", 0, 0, changePasswordCommand},
    {"export-recovery-key", "", "show the recovery key of sealed files again", 0, 0,
     exportRecoveryKeyCommand},
    {"restore-key", "", "write a lost key file again from the recovery key\n"
     "                      (--recovery-key-file F) under a new password, asked twice", 0, 0,
     restoreKeyCommand},
};

void printHelp(std::ostream& out) {
    out << "Usage: " << kProgram << " [--password-stdin] COMMAND [ARGUMENT...]\n"
        << "\n"
        << "Locks files and folders in place and unlocks them again, as the Tessarin\n"
        << "window does: a locked file has its content enciphered, a scrambled name\n"
        << "ending in \".VKL\" (files under 200000 bytes) or \".VKW\", and is hidden and\n"
        << "read-only; a locked folder has every file in and below it locked, is hidden,\n"
        << "gets an encoded name and is listed by its plain path. Those formats only keep\n"
        << "files from casual eyes; with --seal a file is encrypted for real instead: it\n"
        << "becomes a file of the age format under a random name ending in \".VKS\", which\n"
        << "the application password (or the recovery key) alone opens.\n"
        << "\n"
        << "Commands:\n";
    for (const Command& command : kCommands) {
        std::string head = std::string(command.name) + " " + command.arguments;
        out << "  " << std::left << std::setw(20) << head << command.summary << "\n";
    }
    out << "\n"
        << "Options:\n"
        << "  --password-stdin    read the password from the first line of standard input\n"
        << "                      (set-password: the password, then its confirmation)\n"
        << "  --json              scan: one JSON object per item and line\n"
        << "  --relist            scan: add the folders found to \"folders\" and the small\n"
        << "                      loose locked files to \"files\", when not listed yet\n"
        << "  --cross-volumes     scan, rescue: walk into other file systems below PATH\n"
        << "  --seal              lock, lock-folder: seal with the password (strong\n"
        << "                      encryption, files of the age format); the first use\n"
        << "                      turns sealing on and shows the recovery key once\n"
        << "  --recovery-key-file F\n"
        << "                      unlock: open sealed files with the recovery key in F,\n"
        << "                      without the password; other files are refused;\n"
        << "                      restore-key: the recovery key to restore the key file from\n"
        << "  --recovery-key-out F\n"
        << "                      lock --seal, lock-folder --seal, export-recovery-key:\n"
        << "                      write the recovery key to F, a new file only you can\n"
        << "                      read, rather than to standard output; F must not exist\n"
        << "  -h, --help          show this help\n"
        << "  --version           show the program's name and version\n"
        << "  --                  end of options: every later argument is a file or folder\n"
        << "\n"
        << "Every command but set-password, restore-key and unlock --recovery-key-file\n"
        << "asks for the application password, on the terminal without echo unless\n"
        << "--password-stdin is given (then one line each: change-password reads the\n"
        << "current password, the new one and its confirmation); it is refused until a\n"
        << "password has been set (with set-password or in the window). Messages go to\n"
        << "standard error; each file that does not get there is named with the cause,\n"
        << "as \"PATH: cause\", then a summary follows. The recovery key goes to\n"
        << "standard output (when sealing is turned on, and with export-recovery-key),\n"
        << "or with --recovery-key-out to a new file only you can read. An interrupt\n"
        << "(Ctrl+C) stops a lock or unlock between two files; the files not tried are\n"
        << "counted on one line. Small locked files are added to the locked-files list\n"
        << "\"files\", locked folders to the list \"folders\", both in the application\n"
        << "directory, which the window shares.\n"
        << "\n"
        << "Exit status:\n"
        << "  0  everything was done: every file locked or unlocked (a file named twice\n"
        << "     counts once), and the folder locked and listed, or given its name back\n"
        << "     and no longer listed\n"
        << "  1  a file failed, was refused (one of the program's own files or\n"
        << "     temporaries, a link, a file with other names (hard links), a system\n"
        << "     file, a file that is not locked), is damaged or was sealed by another\n"
        << "     identity, no longer exists or was not tried (the run was interrupted);\n"
        << "     unlock: a listed locked file could not be hidden again;\n"
        << "     a folder's list of hidden names (.hidden) could not be updated;\n"
        << "     a folder was refused, is not listed or could not be renamed or listed;\n"
        << "     the password was wrong or not set, or none could be read (no terminal\n"
        << "     to ask on and no --password-stdin, or standard input ended);\n"
        << "     set-password: a password is set already, or the new one was refused\n"
        << "     or could not be saved; sealing could not be turned on; the recovery\n"
        << "     key file is missing or holds no key; export-recovery-key: sealing is\n"
        << "     not on; --recovery-key-out: the file exists or could not be made;\n"
        << "     restore-key: the key file stands and is whole, or could not be written;\n"
        << "     change-password: the new password was refused or could not be saved,\n"
        << "     or a sealed folder's key copy still opens with the old password only;\n"
        << "     scan: PATH is no folder, a folder below it could not be searched, the\n"
        << "     scan was interrupted or the lists could not be written (a damaged\n"
        << "     locked file is listed, and does not change the status); rescue: any\n"
        << "     item found was left locked\n"
        << "  2  bad usage: an unknown command or option, an argument missing, empty\n"
        << "     or too many\n";
}

int usageError(Console& console, const std::string& problem) {
    console.err << kProgram << ": " << problem << "\nTry '" << kProgram << " --help'.\n";
    return kExitUsage;
}

}  // namespace

int runCli(const std::vector<std::string>& arguments, SettingsStore& settings, Console& console) {
    bool help = false, version = false, passwordStdin = false, optionsEnded = false, seal = false;
    std::string recoveryKeyFile, recoveryKeyOut;
    std::vector<std::string> words, commandOptions;
    for (size_t at = 0; at < arguments.size(); ++at) {
        const std::string& argument = arguments[at];
        if (optionsEnded || argument.size() < 2 || argument[0] != '-') {
            words.push_back(argument);
        } else if (argument == "--") {
            optionsEnded = true;
        } else if (argument == "--help" || argument == "-h") {
            help = true;
        } else if (argument == "--version") {
            version = true;
        } else if (argument == "--password-stdin") {
            passwordStdin = true;
        } else if (argument == "--seal") {
            seal = true;
        } else if (argument == "--recovery-key-file") {
            if (at + 1 == arguments.size() || arguments[at + 1].empty())
                return usageError(console, "--recovery-key-file: the file is missing");
            recoveryKeyFile = arguments[++at];
        } else if (argument == "--recovery-key-out") {
            if (at + 1 == arguments.size() || arguments[at + 1].empty())
                return usageError(console, "--recovery-key-out: the file is missing");
            recoveryKeyOut = arguments[++at];
        } else if (std::find(kScanOptions.begin(), kScanOptions.end(), argument) !=
                   kScanOptions.end()) {
            commandOptions.push_back(argument);
        } else {
            return usageError(console, "unknown option '" + argument + "'");
        }
    }
    if (help) {
        printHelp(console.out);
        return kExitDone;
    }
    if (version) {
        console.out << kProgram << " " << VELLUMAR_VERSION << "\n";
        return kExitDone;
    }
    if (words.empty()) return usageError(console, "no command given");
    std::vector<std::string> rest(words.begin() + 1, words.end());
    for (const Command& command : kCommands) {
        if (words[0] != command.name) continue;
        if (rest.size() < command.minArguments)
            return usageError(console, words[0] + ": " + command.arguments + " missing");
        if (rest.size() > command.maxArguments)
            return usageError(console, words[0] + ": too many arguments");
        if (std::find(rest.begin(), rest.end(), std::string()) != rest.end())
            return usageError(console, words[0] + ": an empty argument");
        const bool scans = words[0] == "scan" || words[0] == "rescue";
        if (!commandOptions.empty() && !scans)
            return usageError(console, words[0] + ": unknown option '" + commandOptions[0] + "'");
        if (words[0] == "rescue" &&
            std::count(commandOptions.begin(), commandOptions.end(), "--cross-volumes") !=
                static_cast<long>(commandOptions.size()))
            return usageError(console, "rescue: only --cross-volumes may be given");
        if (seal && words[0] != "lock" && words[0] != "lock-folder")
            return usageError(console, words[0] + ": unknown option '--seal'");
        if (!recoveryKeyFile.empty() && words[0] != "unlock" && words[0] != "restore-key")
            return usageError(console, words[0] + ": unknown option '--recovery-key-file'");
        if (recoveryKeyFile.empty() && words[0] == "restore-key")
            return usageError(console, "restore-key: --recovery-key-file F missing");
        if (!recoveryKeyOut.empty() && !seal && words[0] != "export-recovery-key")
            return usageError(console, words[0] + ": unknown option '--recovery-key-out'" +
                                           (words[0] == "lock" || words[0] == "lock-folder"
                                                ? " (without --seal)"
                                                : ""));
        rest.insert(rest.end(), commandOptions.begin(), commandOptions.end());
        CliSession cli(settings, console, passwordStdin);
        cli.seal = seal;
        cli.recoveryKeyFile = recoveryKeyFile;
        cli.recoveryKeyOut = recoveryKeyOut;
        return command.run(cli, rest);
    }
    return usageError(console, "unknown command '" + words[0] + "'");
}

}  // namespace vellumar
