// tessarin-cli, the real binary: the password gate, the round trip, the exit
// status and the messages on standard error.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "engine/platform/file_system.h"
#include "engine/lists/list_file.h"
#include "engine/formats/locked_folder_name.h"
#include "engine/formats/locked_header.h"
#include "engine/platform/paths.h"
#include "engine/platform/platform.h"
#include "engine/formats/text_shift.h"
#include "tests/cli/program_fixture.h"
#include "tests/engine/formats/lock_fixture.h"
#include "tests/support/temp_folder.h"

namespace vellumar::test {
namespace {

TEST_F(Cli, NothingIsLockedBeforeAPasswordIsSet) {
    const std::string file = temp.write("a.txt", "a");
    Result result = run({"--password-stdin", "lock", file}, "pw\n");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err,
              "No application password is set yet. Set one with: tessarin-cli set-password\n");
    EXPECT_EQ(readFile(file), "a");
}

TEST_F(Cli, SetPasswordAppliesTheFirstUseRules) {
    const std::string noTerminal =
        "tessarin-cli: standard input is not a terminal; give the password with "
        "--password-stdin\n";
    struct Case {
        std::vector<std::string> arguments;
        const char* input;
        int status;
        std::string err;
    } cases[] = {
        // Without --password-stdin the password is asked on the terminal only.
        {{"set-password"}, "pw\npw\n", 1, noTerminal},
        {{"set-password", "--password-stdin"}, "\n\n", 1, "An empty password cannot be set.\n"},
        {{"set-password", "--password-stdin"}, "one\ntwo\n", 1, "The passwords differ.\n"},
        // A character the settings cannot hold.
        {{"set-password", "--password-stdin"},
         "p\xffw\np\xffw\n",
         1,
         "The password may hold only letters, digits and common symbols.\n"},
        {{"set-password", "--password-stdin"},
         "one\n",
         1,
         "tessarin-cli: no password on standard input\n"},
        {{"set-password", "--password-stdin"}, "pw\npw\n", 0, "The application password is set.\n"},
        {{"set-password", "--password-stdin"},
         "pw\npw\n",
         1,
         "The application password is set already; the other commands ask for it. Change it "
         "with: tessarin-cli change-password\n"},
        {{"lock", "a.txt"}, "pw\n", 1, noTerminal},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.err);
        Result result = run(c.arguments, c.input);
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(result.err, c.err);
    }
}

// Without TESSARIN_HOME, a copy whose folder it may write keeps its lists
// there (a portable copy), but an installed one never does: run by root, it
// would write them into /usr/bin.
TEST_F(Cli, AnInstalledCopyKeepsItsListsInTheDataFolderNeverBesideItself) {
    struct Case {
        const char* what;
        const char* folder;  // where the copy runs from
        bool share;          // with a "share" folder beside it
        bool portable;
    } cases[] = {
        {"installed under a prefix", "prefix/bin", true, false},
        {"a portable copy", "Tessarin", true, true},
        {"a bin folder of no prefix", "tools/bin", false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder copy;
        const std::string folder = copy.makeFolder(c.folder);
        if (c.share) copy.makeFolder(getFolderPart(c.folder) + "share/tessarin");
        program = folder + "/tessarin-cli";
        const std::string copying = "cp " + quoted(TESSARIN_CLI) + " " + test::quoted(program);
        ASSERT_EQ(std::system(copying.c_str()), 0);
        environment = "env -u TESSARIN_HOME XDG_DATA_HOME=" + quoted(copy / "data");
        setPassword();
        ASSERT_EQ(run({"--password-stdin", "folders"}, "pw\n").status, 0);
        const std::string dataFolder = copy / "data/Tessarin";
        EXPECT_EQ(listTree(folder), c.portable ? "folders\ntessarin-cli\n" : "tessarin-cli\n");
        EXPECT_EQ(fileExists(dataFolder + "/folders"), !c.portable);
        temp.write("config/Tessarin.conf", "");  // the next copy sets its password afresh
    }
}

TEST_F(Cli, LockAndUnlockRoundTrip) {
    setPassword();
    struct File {
        std::string path;
        std::string content;
        const char* lockedAs;
    };
    const std::vector<File> files = {
        {temp.write("data/notes.txt", "notes"), "notes", ".VKL"},
        {temp.write("data/photo.jpg", patternBytes(150000, 1)), patternBytes(150000, 1), ".VKL"},
        {temp.write("data/video.mp4", patternBytes(250000, 2)), patternBytes(250000, 2), ".VKW"},
    };
    // A path relative to the current folder is listed in full.
    Result locked =
        run({"--password-stdin", "lock", "data/notes.txt", files[1].path, files[2].path}, "pw\n");
    EXPECT_EQ(locked.status, 0);
    EXPECT_EQ(locked.err, "File(s) Encrypted Successfully\n");
    EXPECT_EQ(locked.out, "");
    std::vector<std::string> lockedPaths;
    for (const File& file : files) {
        lockedPaths.push_back(lockedName(file.path, file.lockedAs));
        EXPECT_FALSE(fileExists(file.path));
        EXPECT_TRUE(fileExists(lockedPaths.back()));
    }
    EXPECT_EQ(listed(), lockedPaths[0] + "\r\n" + lockedPaths[1] + "\r\n");

    Result unlocked =
        run({"unlock", "--password-stdin", lockedPaths[0], lockedPaths[1], lockedPaths[2]}, "pw\n");
    EXPECT_EQ(unlocked.status, 0);
    EXPECT_EQ(unlocked.err, "File(s) Decrypted Successfully\n");
    for (const File& file : files) EXPECT_TRUE(readFile(file.path) == file.content) << file.path;
    EXPECT_EQ(listed(), "");
    EXPECT_EQ(listTree(temp / "data"), "notes.txt\nphoto.jpg\nvideo.mp4\n");
}

TEST_F(Cli, AWrongPasswordIsRefused) {
    setPassword();
    const std::string file = temp.write("a.txt", "a");
    const std::string folder = temp.makeFolder("Folder");
    const std::vector<std::string> commands[] = {{"lock", file},
                                                 {"unlock", file},
                                                 {"lock-folder", folder},
                                                 {"unlock-folder", folder},
                                                 {"folders"}};
    for (const std::vector<std::string>& command : commands) {
        std::vector<std::string> arguments = {"--password-stdin"};
        arguments.insert(arguments.end(), command.begin(), command.end());
        Result result = run(arguments, "PW\n");
        EXPECT_EQ(result.status, 1) << command[0];
        EXPECT_EQ(result.err, "Please Enter The Right Password\n") << command[0];
        EXPECT_EQ(result.out, "") << command[0];
    }
    EXPECT_EQ(readFile(file), "a");
    EXPECT_EQ(listTree(temp / "Folder"), "");
}

TEST_F(Cli, AFolderIsLockedListedAndUnlockedByItsPlainPath) {
    setPassword();
    const std::string vault = temp / "data/Vault";
    const std::string locked = temp / ("data/" + lockedFolderName("Vault"));
    temp.write("data/Vault/a.txt", "a");
    const std::string big = patternBytes(250000, 2);
    temp.write("data/Vault/sub/b.bin", big);

    Result lock = run({"--password-stdin", "lock-folder", "data/Vault"}, "pw\n");
    EXPECT_EQ(lock.status, 0);
    EXPECT_EQ(lock.err, "Encryption Completed Successfully\n");
    EXPECT_FALSE(fileExists(vault));
    EXPECT_TRUE(fileExists(lockedName(locked + "/a.txt", ".VKL")));
    EXPECT_TRUE(fileExists(lockedName(locked + "/sub/b.bin", ".VKW")));

    Result listed = run({"--password-stdin", "folders"}, "pw\n");
    EXPECT_EQ(listed.status, 0);
    EXPECT_EQ(listed.out, vault + "\n");
    EXPECT_EQ(listed.err, "");

    // Spelt with a trailing separator, it is still the listed folder.
    Result unlock = run({"--password-stdin", "unlock-folder", vault + "/"}, "pw\n");
    EXPECT_EQ(unlock.status, 0);
    EXPECT_EQ(unlock.err, "Decryption Completed Successfully\n");
    EXPECT_EQ(listTree(vault), "a.txt\nsub\nsub/b.bin\n");
    EXPECT_EQ(readFile(vault + "/a.txt"), "a");
    EXPECT_TRUE(readFile(vault + "/sub/b.bin") == big);
    EXPECT_FALSE(fileExists(locked));

    // Standard output stays one folder a line: none.
    listed = run({"--password-stdin", "folders"}, "pw\n");
    EXPECT_EQ(listed.status, 0);
    EXPECT_EQ(listed.out, "");
    EXPECT_EQ(listed.err, "No folder is locked.\n");
}

// Earlier versions kept a locked folder's shifted bytes raw, a name that is
// not UTF-8 on Linux; such a folder still unlocks by its plain path.
TEST_F(Cli, AFolderUnderTheRawLockedNameOfEarlierVersionsUnlocks) {
    setPassword();
    const std::string vault = temp / "data/Vault";
    temp.write("data/Vault/a.txt", "a");
    ASSERT_EQ(run({"--password-stdin", "lock-folder", "data/Vault"}, "pw\n").status, 0);
    const std::string raw = temp / ("data/" + encodeText("Vault"));
    ASSERT_NE(raw, temp / ("data/" + lockedFolderName("Vault")));
    ASSERT_EQ(platformFileSystem().rename(temp / ("data/" + lockedFolderName("Vault")), raw),
              IoError::ok);

    Result unlock = run({"--password-stdin", "unlock-folder", vault}, "pw\n");
    EXPECT_EQ(unlock.status, 0) << unlock.err;
    EXPECT_EQ(listTree(vault), "a.txt\n");
    EXPECT_EQ(readFile(vault + "/a.txt"), "a");
    EXPECT_FALSE(fileExists(raw));
    EXPECT_EQ(run({"--password-stdin", "folders"}, "pw\n").out, "");
}

TEST_F(Cli, AFolderCommandSucceedsOnlyWhenEverythingWasDone) {
    setPassword();
    const std::string hidden = temp.makeFolder("hidden");
    platformFileSystem().setAttributes(hidden, kAttrHidden);
    // a.txt cannot be locked: its locked name is taken.
    const std::string clash = temp.write("clash/a.txt", "a");
    const std::string taken = lockedName(clash, ".VKL");
    temp.write("clash/" + getFileName(taken), "in the way");
    // Nothing in "blocked" can be locked: not listed; nor can a path with a line break.
    const std::string blocked = temp.write("blocked/b.txt", "b");
    const std::string blockedTaken = lockedName(blocked, ".VKL");
    temp.makeFolder("blocked/" + getFileName(blockedTaken));
    const std::string lineBreak = temp.makeFolder("line\nbreak");
    const std::string usage = "\nTry 'tessarin-cli --help'.\n";
    const std::string unchanged = "\nNothing was changed.\n";
    const std::string notAllLocked = clash + ": the name it must take is taken: " + taken + "\n";
    struct Case {
        std::vector<std::string> arguments;
        int status;
        std::string err;
    } cases[] = {
        {{"lock-folder"}, 2, "tessarin-cli: lock-folder: DIR missing" + usage},
        {{"unlock-folder", "a", "b"}, 2, "tessarin-cli: unlock-folder: too many arguments" + usage},
        {{"folders", "a"}, 2, "tessarin-cli: folders: too many arguments" + usage},
        {{"lock-folder", ""}, 2, "tessarin-cli: lock-folder: an empty argument" + usage},
        {{"--password-stdin", "unlock-folder", "elsewhere"},
         1,
         temp / "elsewhere" +
             ": not one of the encrypted folders (tessarin-cli folders lists them)" + unchanged},
        {{"--password-stdin", "lock-folder", "missing"},
         1,
         temp / "missing" + ": there is no folder there" + unchanged},
        {{"--password-stdin", "lock-folder", temp.home()},
         1,
         temp.home() + ": it holds the program or its list files, which cannot be locked" +
             unchanged},
        {{"--password-stdin", "lock-folder", hidden},
         1,
         hidden +
             ": passed over, as a folder that is read-only, hidden, system or archive is not "
             "locked" +
             unchanged},
        {{"--password-stdin", "lock-folder", "clash"},
         1,
         notAllLocked + temp / "clash" +
             ": not every file in it could be locked; it keeps its plain name and stays listed as "
             "being locked: lock-folder locks the rest\n1 of 2 files were locked.\n"},
        {{"--password-stdin", "lock-folder", "blocked"},
         1,
         blocked + ": the name it must take is taken: " + blockedTaken + "\n" + temp / "blocked" +
             ": no file in it could be locked; it keeps its name and is not listed\n0 of 1 file "
             "was locked.\n"},
        {{"--password-stdin", "lock-folder", lineBreak},
         1,
         lineBreak +
             ": its path holds a line break, which the list of encrypted folders cannot keep" +
             unchanged},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.err);
        Result result = run(c.arguments, "pw\n");
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(result.err, c.err);
    }
    // Listed as being locked, under its plain name; nothing else is listed.
    EXPECT_EQ(readFile(applicationFile("folders")), temp / "clash" + "\r\n");
    EXPECT_EQ(readFile(clash), "a");
    EXPECT_EQ(listTree(hidden), "");
    EXPECT_EQ(readFile(blocked), "b");
    EXPECT_EQ(listTree(lineBreak), "");
}

// An interrupted folder run leaves files both plain and locked; running the
// same command again finishes it and says so.
TEST_F(Cli, AFolderCommandRunAgainFinishesAnInterruptedRun) {
    setPassword();
    const std::string vault = temp / "Vault";
    const std::string locked = temp / lockedFolderName("Vault");
    const std::string big = patternBytes(250000, 2);
    temp.write("Vault/a.txt", "a");
    temp.write("Vault/sub/b.bin", big);
    ASSERT_EQ(run({"--password-stdin", "lock-folder", vault}, "pw\n").status, 0);
    // Unlocked, but the locked files not yet removed.
    temp.write(getFileName(locked) + "/a.txt", "a");
    temp.write(getFileName(locked) + "/sub/b.bin", big);

    Result unlock = run({"--password-stdin", "unlock-folder", vault}, "pw\n");
    EXPECT_EQ(unlock.status, 0);
    EXPECT_EQ(unlock.err, "Decryption Completed Successfully\n");
    EXPECT_EQ(listTree(vault), "a.txt\nsub\nsub/b.bin\n");
    EXPECT_TRUE(readFile(vault + "/sub/b.bin") == big);
    EXPECT_EQ(readFile(applicationFile("folders")), "");

    // Listed before its first file was locked; one file locked, one both plain and locked.
    temp.write("home/folders", vault + "\r\n");
    ASSERT_EQ(
        run({"--password-stdin", "lock", vault + "/a.txt", vault + "/sub/b.bin"}, "pw\n").status,
        0);
    temp.write("Vault/sub/b.bin", big);
    Result lock = run({"--password-stdin", "lock-folder", vault}, "pw\n");
    EXPECT_EQ(lock.status, 0);
    EXPECT_EQ(lock.err, "Encryption Completed Successfully\n");
    EXPECT_EQ(readFile(applicationFile("folders")), vault + "\r\n");
    ASSERT_EQ(run({"--password-stdin", "unlock-folder", vault}, "pw\n").status, 0);
    EXPECT_EQ(listTree(vault), "a.txt\nsub\nsub/b.bin\n");
    EXPECT_EQ(readFile(vault + "/a.txt"), "a");
    EXPECT_TRUE(readFile(vault + "/sub/b.bin") == big);
}

TEST_F(Cli, TheExitStatusTellsWhetherEveryFileGotThere) {
    setPassword();
    const std::string plain = temp.write("plain.txt", "plain");
    const std::string other = temp.write("other.txt", "other");
    const std::string system = temp.write("system.sys", "system");
    platformFileSystem().setAttributes(system, kAttrSystem);
    const std::string twice = temp.write("twice.txt", "twice");
    // Named by this process, which is running: another run's temporary.
    const std::string ours =
        temp.write(".tessarin-" + std::to_string(getpid()) + "-1-1.tmp", "another run's");
    const std::string longName = temp.write(std::string(250, 'n') + ".txt", "long");
    const auto notEvery = [](const std::string& counts) {
        return "Not every file was done: " + counts + ".\n";
    };
    struct Case {
        std::vector<std::string> arguments;
        int status;
        std::string err;
    } cases[] = {
        {{}, 2, "tessarin-cli: no command given\nTry 'tessarin-cli --help'.\n"},
        {{"frobnicate"},
         2,
         "tessarin-cli: unknown command 'frobnicate'\nTry 'tessarin-cli --help'.\n"},
        {{"--force", "lock", plain},
         2,
         "tessarin-cli: unknown option '--force'\nTry 'tessarin-cli --help'.\n"},
        {{"lock"}, 2, "tessarin-cli: lock: FILE... missing\nTry 'tessarin-cli --help'.\n"},
        {{"set-password", "x"},
         2,
         "tessarin-cli: set-password: too many arguments\nTry 'tessarin-cli --help'.\n"},
        // Each file that does not get there is named with the cause, then the summary.
        {{"--password-stdin", "lock", system, temp / "gone.txt"},
         1,
         system + ": refused: a system file, a device or a pipe\n" + temp / "gone.txt" +
             ": no such file\n" + notEvery("0 locked, 1 refused, 1 missing")},
        {{"--password-stdin", "unlock", plain},
         1,
         plain + ": refused: not locked\n" + notEvery("0 unlocked, 1 refused")},
        {{"--password-stdin", "lock", "--", "other.txt"}, 0, "File(s) Encrypted Successfully\n"},
        // The second row's file was locked by the first: nothing left undone.
        {{"--password-stdin", "lock", "twice.txt", twice},
         0,
         twice + ": the same file as an earlier argument, done once\n"
                 "File(s) Encrypted Successfully\n"},
        {{"--password-stdin", "lock", ours},
         1,
         ours + ": refused: a temporary file of this program\n" + notEvery("0 locked, 1 refused")},
        {{"--password-stdin", "lock", longName},
         1,
         longName + ": the name is too long for the file system\n" +
             notEvery("0 locked, 1 failed")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.err);
        Result result = run(c.arguments, "pw\n");
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(result.err, c.err);
    }
    EXPECT_EQ(readFile(system), "system");
    EXPECT_FALSE(fileExists(other));
    EXPECT_FALSE(fileExists(twice));
    EXPECT_EQ(readFile(ours), "another run's");
    EXPECT_EQ(readFile(longName), "long");
}

// --help and --version take no password: they answer on standard output,
// whatever command is given with them; a misspelt option is bad usage.
TEST_F(Cli, HelpAndVersionAnswerOnStandardOutput) {
    const std::string version = "tessarin-cli " VELLUMAR_VERSION "\n";
    struct Case {
        std::vector<std::string> arguments;
        int status;
        std::string out;
        std::string err;
    } cases[] = {
        {{"--version"}, 0, version, ""},
        {{"lock", "a.txt", "--version"}, 0, version, ""},
        {{"--verison"},
         2,
         "",
         "tessarin-cli: unknown option '--verison'\nTry 'tessarin-cli --help'.\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments[0]);
        const Result result = run(c.arguments);
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(result.out, c.out);
        EXPECT_EQ(result.err, c.err);
    }

    const Result help = run({"lock", "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.err, "");
    EXPECT_TRUE(help.out.starts_with("Usage: tessarin-cli [--password-stdin] COMMAND"));
    EXPECT_NE(help.out.find("\n  --version           show the program's name and version\n"),
              std::string::npos);
    // What each status means, as the commands above end with it.
    const size_t exitStatus = help.out.find("Exit status:\n");
    ASSERT_NE(exitStatus, std::string::npos);
    EXPECT_EQ(help.out.substr(exitStatus),
              "Exit status:\n"
              "  0  everything was done: every file locked or unlocked (a file named twice\n"
              "     counts once), and the folder locked and listed, or given its name back\n"
              "     and no longer listed\n"
              "  1  a file failed, was refused (one of the program's own files or\n"
              "     temporaries, a link, a file with other names (hard links), a system\n"
              "     file, a file that is not locked), is damaged or was sealed by another\n"
              "     identity, no longer exists or was not tried (the run was interrupted);\n"
              "     unlock: a listed locked file could not be hidden again;\n"
              "     a folder's list of hidden names (.hidden) could not be updated;\n"
              "     a folder was refused, is not listed or could not be renamed or listed;\n"
              "     the password was wrong or not set, or none could be read (no terminal\n"
              "     to ask on and no --password-stdin, or standard input ended);\n"
              "     set-password: a password is set already, or the new one was refused\n"
              "     or could not be saved; sealing could not be turned on; the recovery\n"
              "     key file is missing or holds no key; export-recovery-key: sealing is\n"
              "     not on; --recovery-key-out: the file exists or could not be made;\n"
              "     restore-key: the key file stands and is whole, or could not be written;\n"
              "     change-password: the new password was refused or could not be saved,\n"
              "     or a sealed folder's key copy still opens with the old password only;\n"
              "     scan: PATH is no folder, a folder below it could not be searched, the\n"
              "     scan was interrupted or the lists could not be written (a damaged\n"
              "     locked file is listed, and does not change the status); rescue: any\n"
              "     item found was left locked\n"
              "  2  bad usage: an unknown command or option, an argument missing, empty\n"
              "     or too many\n");
}

// The settings file holds the shifted password: only its owner may read it,
// even under a umask that lets everybody read new files; so with the
// application directory the program makes.
TEST_F(Cli, TheSettingsFileAndANewApplicationDirectoryArePrivate) {
    auto mode = [](const std::string& path) {
        struct stat st;
        return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 0777 : 0u;
    };
    const std::string home = temp / "new/home";
    environment = "umask 0; TESSARIN_HOME=" + quoted(home);
    setPassword();
    EXPECT_EQ(mode(temp / "config/Tessarin.conf"), 0600u);
    EXPECT_EQ(run({"--password-stdin", "folders"}, "pw\n").status, 0);
    EXPECT_EQ(mode(home), 0700u);

    // A file an earlier version left readable is closed up as soon as it is
    // read, and when it is written.
    const std::string conf = temp / "config/Tessarin.conf";
    ASSERT_EQ(::chmod(conf.c_str(), 0644), 0);
    EXPECT_EQ(run({"--password-stdin", "folders"}, "pw\n").status, 0);
    EXPECT_EQ(mode(conf), 0600u);
    ASSERT_EQ(::chmod(conf.c_str(), 0644), 0);
    temp.write("config/Tessarin.conf", "");
    setPassword();
    EXPECT_EQ(mode(conf), 0600u);
}

// A settings file too large to read stops every command with its name, once,
// and is left as it is.
TEST_F(Cli, ASettingsFileTooLargeToReadIsNamed) {
    const std::string conf = temp / "config/Tessarin.conf";
    const std::string large = "[Settings]\n;" + std::string(5 << 20, 'c') + "\n";
    temp.write("config/Tessarin.conf", large);
    const std::string said = "tessarin-cli: the settings file " + conf + " is too large to read\n";
    for (const std::vector<std::string>& command :
         {std::vector<std::string>{"--password-stdin", "folders"},
          std::vector<std::string>{"--password-stdin", "set-password"}}) {
        const Result result = run(command, "pw\npw\n");
        EXPECT_NE(result.status, 0);
        EXPECT_EQ(result.err.find(said), 0u) << result.err;
        EXPECT_EQ(result.err.find(said, 1), std::string::npos) << result.err;
        // Nothing is known of a password in a file that was not read.
        EXPECT_EQ(result.err.find("No application password"), std::string::npos) << result.err;
    }
    EXPECT_EQ(readFile(conf), large);
#ifndef _WIN32
    if (::geteuid() == 0) return;  // root reads any file
    temp.write("config/Tessarin.conf", "[Settings]\n");
    ASSERT_EQ(::chmod(conf.c_str(), 0), 0);
    const Result unreadable = run({"--password-stdin", "folders"}, "pw\n");
    EXPECT_NE(unreadable.status, 0);
    EXPECT_EQ(unreadable.err, "tessarin-cli: the settings file " + conf + " cannot be read\n");
#endif
}

// Locks run at once in several processes lose no line of a list: each adds
// its line under the lock every process shares. Locked files go to "files",
// locked folders to "folders".
TEST_F(Cli, ParallelLocksLoseNoLineOfTheLists) {
    setPassword();
    constexpr int kRuns = 10;
    std::set<std::string> files, folders;
    for (int i = 1; i <= kRuns; ++i) {
        const std::string n = std::to_string(i);
        files.insert(lockedName(temp.write("f" + n + ".txt", "file"), ".VKL"));
        temp.write("d" + n + "/inside.txt", "inside");
        folders.insert(temp / "d" + n);
    }
    for (const char* command : {"lock f$i.txt", "lock-folder d$i"}) {
        SCOPED_TRACE(command);
        const std::string runs =
            "cd " + quoted(temp.path()) + " && for i in $(seq " + std::to_string(kRuns) +
            "); do echo pw | XDG_CONFIG_HOME=" + quoted(temp / "config") + " " +
            quoted(TESSARIN_CLI) + " --password-stdin " + command + " >/dev/null 2>&1 & done; wait";
        ASSERT_EQ(std::system(runs.c_str()), 0);
    }
    for (const auto& [list, expected] :
         {std::pair{"files", files}, std::pair{"folders", folders}}) {
        std::vector<std::string> lines;
        ASSERT_EQ(readListFile(applicationFile(list), lines), IoError::ok);
        EXPECT_EQ(std::set<std::string>(lines.begin(), lines.end()), expected) << list;
        EXPECT_EQ(lines.size(), expected.size()) << list;
    }
}

// A folder's ".hidden" of 2 GiB (sparse: no disk, any size) is never read
// whole, by a run or a scan: each finishes, within little memory, names the
// list and leaves it as it is.
TEST_F(Cli, AHugeListOfHiddenNamesIsNeverReadWhole) {
    setPassword();
    const std::string file = temp.write("data/a.txt", "a");
    temp.write("data/sub/b.txt", "b");
    const std::string list = temp.write("data/.hidden", "");
    constexpr off_t kHuge = off_t{2} << 30;
    ASSERT_EQ(::truncate(list.c_str(), kHuge), 0);
#if !defined(__SANITIZE_ADDRESS__)
    // Far less than the list: reading it whole would fail (AddressSanitizer
    // reserves more than this for itself).
    environment = "ulimit -v 524288;";
#endif
    const std::string notUpdated =
        list + ": list of hidden names not updated: it is larger than 1 MiB\n";
    const std::string locked = lockedName(file, ".VKL");
    // Each ends of itself; a run that changes the list names it first.
    const std::vector<std::pair<std::vector<std::string>, std::string>> runs = {
        {{"lock", file}, notUpdated},
        {{"unlock", locked}, notUpdated},
        {{"lock-folder", temp / "data/sub"}, notUpdated},
        {{"scan", temp / "data"}, ""},
        {{"unlock-folder", temp / "data/sub"}, notUpdated},
        {{"lock-folder", temp / "data/sub"}, notUpdated},
    };
    for (const auto& [command, err] : runs) {
        std::vector<std::string> arguments{"--password-stdin"};
        arguments.insert(arguments.end(), command.begin(), command.end());
        SCOPED_TRACE(command[0]);
        const Result result = run(arguments, "pw\n");
        EXPECT_TRUE(result.status == 0 || result.status == 1) << result.status << result.err;
        EXPECT_EQ(result.err.substr(0, err.size()), err) << result.err;
    }
    // The rescue unlocks the folder, and says that its list was left.
    const Result rescued = run({"--password-stdin", "rescue", temp / "data"}, "pw\n");
    EXPECT_EQ(rescued.status, 1) << rescued.err;
    EXPECT_NE(rescued.err.find(notUpdated), std::string::npos) << rescued.err;
    EXPECT_EQ(readFile(file), "a");
    EXPECT_EQ(readFile(temp / "data/sub/b.txt"), "b");
    struct stat st {};
    ASSERT_EQ(::stat(list.c_str(), &st), 0);
    EXPECT_EQ(st.st_size, kHuge);
}

}  // namespace
}  // namespace vellumar::test
