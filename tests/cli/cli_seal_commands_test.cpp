// Sealing from the command line, in process: --seal turns sealing on once
// and shows the recovery key once, the key opens the files with the age
// tool and with unlock --recovery-key-file when the password is lost, and
// bad sealed files, a wrong key and misplaced options are refused with
// their causes and nothing changed.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/password.h"
#include "cli/cli.h"
#include "cli/seal_commands.h"
#include "engine/age_keys.h"
#include "engine/names.h"
#include "engine/platform.h"
#include "engine/sealed_identity.h"
#include "locking/sealing_keys.h"
#include "tests/app/memory_settings.h"
#include "tests/engine/lock_fixture.h"
#include "tests/support/temp_folder.h"

namespace vellumar::test {
namespace {

struct Ran {
    int status = -1;
    std::string out, err;
};

std::string sealedIn(const std::string& folder) {
    for (const std::string& name : namesIn(folder))
        if (toUpper(getExtension(name)) == "VKS") return addBackslash(folder) + name;
    return {};
}

class CliSeal : public ::testing::Test {
  protected:
    CliSeal() {
#ifdef _WIN32
        _putenv_s("TESSARIN_TEST_SCRYPT_LOG_N", "10");
#else
        setenv("TESSARIN_TEST_SCRYPT_LOG_N", "10", 1);
#endif
        checkPassword(settings, "pw", "pw");
    }

    // `input`: standard input (the password, with --password-stdin).
    Ran run(const std::vector<std::string>& arguments, const std::string& input = "pw\n") {
        std::istringstream in(input);
        std::ostringstream out, err;
        Console console{in, out, err, false, false, {}, {}};
        Ran ran;
        ran.status = runCli(arguments, settings, console);
        ran.out = out.str();
        ran.err = err.str();
        return ran;
    }
    Ran sealed(const std::vector<std::string>& files) {
        std::vector<std::string> arguments{"--password-stdin", "lock", "--seal"};
        arguments.insert(arguments.end(), files.begin(), files.end());
        return run(arguments);
    }
    std::string writeKey(const std::string& text) {
        const std::string path = temp / "key.txt";
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }

    TempFolder temp;
    MemorySettings settings;
};

TEST_F(CliSeal, TheFirstSealTurnsSealingOnAndShowsTheRecoveryKeyOnce) {
    const std::string notes = temp.write("w/notes.txt", "dear diary");
    const Ran first = sealed({notes});
    ASSERT_EQ(first.status, 0) << first.err;
    EXPECT_EQ(first.err,
              "Sealing is now on. The old form of the application password has been "
              "removed from the settings.\nFrom now on the password is kept nowhere: "
              "it is checked by opening your key (" +
                  identityFilePath() + ").\nThis cannot be undone.\n" + kRecoveryKeyAdvice +
                  "\nFile(s) Encrypted Successfully\n");
    SealingKeys shown;
    ASSERT_EQ(readRecoveryKey(writeKey(first.out), shown).error, AgeError::ok) << first.out;
    // The shifted password is gone: only the key file checks the password.
    EXPECT_EQ(storedPassword(settings), "");
    EXPECT_EQ(run({"--password-stdin", "unlock", notes}, "wrong\n").status, 1);

    const std::string more = temp.write("w/more.txt", "more");
    const Ran second = sealed({more});
    EXPECT_EQ(second.status, 0);
    EXPECT_EQ(second.out, "");  // shown once
    EXPECT_EQ(second.err, "File(s) Encrypted Successfully\n");

    const Ran exported = run({"--password-stdin", "export-recovery-key"});
    EXPECT_EQ(exported.status, 0);
    EXPECT_EQ(exported.out, first.out);

    std::vector<std::string> sealedPaths;
    for (const std::string& name : namesIn(temp / "w")) sealedPaths.push_back(temp / ("w/" + name));
    ASSERT_EQ(sealedPaths.size(), 2u);
    std::vector<std::string> arguments{"--password-stdin", "unlock"};
    arguments.insert(arguments.end(), sealedPaths.begin(), sealedPaths.end());
    const Ran unlocked = run(arguments);
    EXPECT_EQ(unlocked.status, 0) << unlocked.err;
    EXPECT_EQ(readFile(notes), "dear diary");
    EXPECT_EQ(readFile(more), "more");
}

TEST_F(CliSeal, TheRecoveryKeyOpensSealedFilesWithoutThePassword) {
    const std::string notes = temp.write("w/notes.txt", "dear diary");
    const std::string old = temp.write("w/old.txt", "old");
    ASSERT_EQ(run({"--password-stdin", "lock", old}).status, 0);
    const std::string oldLocked = lockedName(old, ".VKL");
    const Ran first = sealed({notes});
    ASSERT_EQ(first.status, 0);
    const std::string sealedPath = sealedIn(temp / "w");
    const std::string key = writeKey(first.out);

    SealingKeys stranger;
    stranger.add(AgeIdentity::generate());
    const std::string strangerKey =
        temp.write("stranger.txt", identityText(stranger.identities[0]));
    const std::string notAKey = temp.write("notakey.txt", "AGE-SECRET-KEY-1 typed badly\n");
    // The password is lost: nothing on standard input.
    const Ran wrongKey = run({"unlock", "--recovery-key-file", strangerKey, sealedPath}, "");
    EXPECT_EQ(wrongKey.status, 1);
    EXPECT_EQ(wrongKey.err, sealedPath +
                                ": it was sealed by another identity\n"
                                "Not every file was done: 0 unlocked, 1 failed.\n");
    const Ran bad = run({"unlock", "--recovery-key-file", notAKey, sealedPath}, "");
    EXPECT_EQ(bad.status, 1);
    EXPECT_EQ(bad.err, notAKey +
                           ": not a recovery key (it must hold one \"AGE-SECRET-KEY-1...\" line)\n"
                           "Nothing was changed.\n");
    EXPECT_TRUE(fileExists(sealedPath));

    const Ran opened = run({"unlock", "--recovery-key-file", key, oldLocked, sealedPath}, "");
    EXPECT_EQ(opened.status, 1);
    EXPECT_EQ(opened.err, oldLocked +
                              ": refused: not sealed: only the application password unlocks it\n"
                              "Not every file was done: 1 unlocked, 1 refused.\n");
    EXPECT_EQ(readFile(notes), "dear diary");
    EXPECT_TRUE(fileExists(oldLocked));
}

// A damaged sealed file is named with the cause and kept byte for byte.
TEST_F(CliSeal, ADamagedSealedFileIsNamedAndKept) {
    ASSERT_EQ(sealed({temp.write("w/notes.txt", std::string(70000, 'n'))}).status, 0);
    const std::string sealedPath = sealedIn(temp / "w");
    std::string bytes = readFile(sealedPath);
    bytes[bytes.size() - 100] ^= 1;
    platformFileSystem().setAttributes(sealedPath, kAttrNormal);
    std::ofstream(sealedPath, std::ios::binary | std::ios::trunc) << bytes;
    const Ran ran = run({"--password-stdin", "unlock", sealedPath});
    EXPECT_EQ(ran.status, 1);
    EXPECT_EQ(ran.err, sealedPath +
                           ": the sealed file is damaged: it was cut short or changed\n"
                           "Not every file was done: 0 unlocked, 1 failed.\n");
    EXPECT_EQ(readFile(sealedPath), bytes);
    EXPECT_EQ(namesIn(temp / "w").size(), 1u);
}

// A failing cryptographic library is named as such, with its own message,
// and the file is kept as it was: neither sealed nor taken for damaged.
TEST_F(CliSeal, AFailingLibraryIsNamedAndTheFileKept) {
    ASSERT_EQ(sealed({temp.write("w/notes.txt", "notes")}).status, 0);
    const std::string sealedPath = sealedIn(temp / "w");
    const std::string plainPath = temp.write("w/plain.txt", "plain");
    const std::string sealedBytes = readFile(sealedPath);
    constexpr unsigned kSelftestFailed = 50;  // GPG_ERR_SELFTEST_FAILED
    // The password opens the key without the curve; both runs need it.
    LibraryFailureInjection fail(kSelftestFailed, LibraryCall::curve);
    for (const std::string& path : {sealedPath, plainPath}) {
        const bool unlocking = path == sealedPath;
        const Ran ran = unlocking ? run({"--password-stdin", "unlock", path}) : sealed({path});
        EXPECT_EQ(ran.status, 1);
        EXPECT_EQ(ran.err, path +
                               ": the cryptographic library failed: Selftest failed\n"
                               "Not every file was done: 0 " +
                               (unlocking ? "unlocked" : "locked") + ", 1 failed.\n");
    }
    EXPECT_EQ(readFile(sealedPath), sealedBytes);
    EXPECT_EQ(readFile(plainPath), "plain");
    EXPECT_EQ(namesIn(temp / "w").size(), 2u);
}

TEST_F(CliSeal, AFolderIsSealedAndComesBack) {
    temp.write("box/a.txt", "a");
    temp.write("box/deep/b.bin", patternBytes(300000, 4));
    temp.write("box/empty", "");
    const std::string before = listTree(temp / "box");
    const Ran locked = run({"--password-stdin", "lock-folder", "--seal", temp / "box"});
    ASSERT_EQ(locked.status, 0) << locked.err;
    EXPECT_FALSE(fileExists(temp / "box/a.txt"));
    const Ran unlocked = run({"--password-stdin", "unlock-folder", temp / "box"});
    ASSERT_EQ(unlocked.status, 0) << unlocked.err;
    EXPECT_EQ(listTree(temp / "box"), before);
    EXPECT_TRUE(readFile(temp / "box/deep/b.bin") == patternBytes(300000, 4));
}

TEST_F(CliSeal, SealingOptionsBelongToTheirCommands) {
    struct Case {
        std::vector<std::string> arguments;
        std::string err;
    } cases[] = {
        {{"unlock", "--seal", "x"}, "tessarin-cli: unlock: unknown option '--seal'\n"},
        {{"lock", "--recovery-key-file", "k", "x"},
         "tessarin-cli: lock: unknown option '--recovery-key-file'\n"},
        {{"unlock", "x", "--recovery-key-file"},
         "tessarin-cli: --recovery-key-file: the file is missing\n"},
    };
    for (const Case& c : cases) {
        const Ran ran = run(c.arguments);
        EXPECT_EQ(ran.status, 2);
        EXPECT_EQ(ran.err, c.err + "Try 'tessarin-cli --help'.\n");
    }
    const Ran notOn = run({"--password-stdin", "export-recovery-key"});
    EXPECT_EQ(notOn.status, 1);
    EXPECT_EQ(notOn.out, "");
}

}  // namespace
}  // namespace vellumar::test
