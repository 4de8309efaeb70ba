// Sealing from the command line, in process: --seal turns sealing on once
// and shows the recovery key once, the key opens the files with the age
// tool and with unlock --recovery-key-file when the password is lost, and
// bad sealed files, a wrong key and misplaced options are refused with
// their causes and nothing changed.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#ifndef _WIN32
#include <unistd.h>
#endif
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/password.h"
#include "cli/cli.h"
#include "cli/seal_commands.h"
#include "engine/sealing/age_keys.h"
#include "engine/platform/atomic_file.h"
#include "engine/formats/locked_folder_name.h"
#include "engine/platform/paths.h"
#include "engine/platform/platform.h"
#include "app/password_changes.h"
#include "engine/sealing/sealed_identity.h"
#include "locking/sealing_keys.h"
#include "tests/app/memory_settings.h"
#include "tests/engine/formats/lock_fixture.h"
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
        setIdentityWorkFactor(10);  // identity files cheap to make and open
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
                           ": not a recovery key (it must hold \"AGE-SECRET-KEY-1...\" lines and "
                           "comments only)\n"
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

#ifndef _WIN32
// A file that cannot be a recovery key is named for what it is, and a pipe
// is never waited on; an identity file holding several keys gives them all.
TEST_F(CliSeal, RecoveryKeyFilesAreToldByWhatTheyAre) {
    const Ran first = sealed({temp.write("w/notes.txt", "dear diary")});
    ASSERT_EQ(first.status, 0);
    const std::string sealedPath = sealedIn(temp / "w");
    const std::string key = writeKey(first.out);
    const std::string link = temp / "link.txt";
    ASSERT_EQ(symlink(key.c_str(), link.c_str()), 0);
    const std::string pipe = temp / "pipe.txt";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    const std::string huge = temp.write("huge.txt", first.out + std::string(70000, '#'));
    const struct {
        std::string path, cause;
    } refused[] = {
        {link, "it is a link, which is not followed to a key"},
        {pipe, "it is not a regular file"},
        {huge, "it is too large to be a recovery key"},
    };
    for (const auto& c : refused) {
        const Ran ran = run({"unlock", "--recovery-key-file", c.path, sealedPath}, "");
        EXPECT_EQ(ran.status, 1);
        EXPECT_EQ(ran.err, c.path + ": " + c.cause + "\nNothing was changed.\n");
    }
    EXPECT_TRUE(fileExists(sealedPath));

    const std::string both =
        temp.write("both.txt", identityText(AgeIdentity::generate()) + "\n# mine\n" + first.out);
    const Ran opened = run({"unlock", "--recovery-key-file", both, sealedPath}, "");
    EXPECT_EQ(opened.status, 0) << opened.err;
    EXPECT_EQ(readFile(temp / "w/notes.txt"), "dear diary");
}
#endif

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

    // One made with a passphrase (as age -p makes them) says so.
    const std::string passphrase = temp / "p/pass.VKS";
    temp.write("p/other", "");
    {
        AtomicFile out(passphrase);
        ASSERT_EQ(out.open(), IoError::ok);
        ASSERT_TRUE(encryptWithPassword("words", 10, readFromText("x"), writeToFile(out)).ok());
        ASSERT_EQ(out.commit(), IoError::ok);
    }
    const Ran pass = run({"--password-stdin", "unlock", passphrase});
    EXPECT_EQ(pass.err, passphrase +
                            ": it is sealed with a passphrase, not for this program's key\n"
                            "Not every file was done: 0 unlocked, 1 failed.\n");
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

// A folder whose sealed files no key at hand opens, its copy of the key
// included, is left as it was, and the copy is named with its cause.
TEST_F(CliSeal, AFolderNoKeyOpensIsLeftAsItWas) {
    temp.write("box/a.txt", "a");
    ASSERT_EQ(run({"--password-stdin", "lock-folder", "--seal", temp / "box"}).status, 0);
    const std::string locked = temp / lockedFolderName("box");
    const std::string copy = locked + kSeparator + kFolderIdentityName;
    // Another key at home, and a copy in the folder that opens with another password.
    for (const std::string& path : {identityFilePath(), copy}) {
        platformFileSystem().setAttributes(path, kAttrNormal);
        ASSERT_EQ(platformFileSystem().removeFile(path), IoError::ok);
    }
    ASSERT_TRUE(writeIdentityFile(identityFilePath(), AgeIdentity::generate(), "pw", 10).ok());
    ASSERT_TRUE(writeIdentityFile(copy, AgeIdentity::generate(), "theirs", 10).ok());
    platformFileSystem().setAttributes(copy, kAttrHidden | kAttrReadOnly);
    const std::string standing = listTree(temp.path());

    const Ran ran = run({"--password-stdin", "unlock-folder", temp / "box"});
    EXPECT_EQ(ran.status, 1);
    EXPECT_EQ(ran.err,
              copy + ": the copy of the key in the folder does not open with this password\n" +
                  temp / "box" +
                  ": none of its sealed files opens, so it was left as it was\n"
                  "Nothing was changed.\n");
    EXPECT_EQ(listTree(temp.path()), standing);
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

// The application folder was lost with the key file in it: the gate says
// so, and restore-key writes the key file again from the recovery key under
// a new password. A whole key file is never replaced; a damaged one is.
TEST_F(CliSeal, RestoreKeyBringsBackALostKeyFileUnderANewPassword) {
    const std::string notes = temp.write("w/notes.txt", "dear diary");
    const Ran first = sealed({notes});
    ASSERT_EQ(first.status, 0) << first.err;
    const std::string key = writeKey(first.out);
    const std::string sealedPath = sealedIn(temp / "w");
    ASSERT_EQ(std::remove(identityFilePath().c_str()), 0);

    const Ran gate = run({"--password-stdin", "unlock", sealedPath});
    EXPECT_EQ(gate.status, 1);
    EXPECT_EQ(gate.err, "The Password Can Not Be Checked: The Key File " + identityFilePath() +
                            " Is Missing. Restore It With The Recovery Key.\n");
    EXPECT_EQ(run({"--password-stdin", "set-password"}, "x\nx\n").status, 1);

    const std::string notAKey = temp.write("notakey.txt", "AGE-SECRET-KEY-1 typed badly\n");
    const Ran bad = run({"--password-stdin", "restore-key", "--recovery-key-file", notAKey},
                        "new\nnew\n");
    EXPECT_EQ(bad.status, 1);
    EXPECT_EQ(bad.err, notAKey +
                           ": not a recovery key (it must hold \"AGE-SECRET-KEY-1...\" lines and comments only)\n"
                           "Nothing was changed.\n");
    const Ran differ =
        run({"--password-stdin", "restore-key", "--recovery-key-file", key}, "new\nnwe\n");
    EXPECT_EQ(differ.status, 1);
    EXPECT_EQ(differ.err, "The passwords differ.\nNothing was changed.\n");
    EXPECT_FALSE(fileExists(identityFilePath()));

    const Ran restored =
        run({"--password-stdin", "restore-key", "--recovery-key-file", key}, "new\nnew\n");
    ASSERT_EQ(restored.status, 0) << restored.err;
    EXPECT_EQ(restored.err, "The key file " + identityFilePath() +
                                " has been restored from the recovery key; it opens with the "
                                "new password.\n");
    EXPECT_EQ(run({"--password-stdin", "unlock", sealedPath}, "pw\n").status, 1);
    const Ran unlocked = run({"--password-stdin", "unlock", sealedPath}, "new\n");
    EXPECT_EQ(unlocked.status, 0) << unlocked.err;
    EXPECT_EQ(readFile(notes), "dear diary");

    // Whole: kept byte for byte, even for a recovery key of another identity.
    const std::string whole = readFile(identityFilePath());
    const std::string stranger = temp.write("stranger.txt", identityText(AgeIdentity::generate()));
    const Ran again =
        run({"--password-stdin", "restore-key", "--recovery-key-file", stranger}, "x\nx\n");
    EXPECT_EQ(again.status, 1);
    EXPECT_EQ(again.err, identityFilePath() +
                             ": the key file is there and is not damaged, so it was left alone: "
                             "it opens with the application password. To choose another "
                             "password use tessarin-cli change-password.\n");
    EXPECT_EQ(readFile(identityFilePath()), whole);

    // Damaged: the gate cannot open it, and the recovery key replaces it.
    platformFileSystem().setAttributes(identityFilePath(), kAttrNormal);
    std::ofstream(identityFilePath(), std::ios::binary | std::ios::trunc) << "scribbled over";
    EXPECT_EQ(run({"--password-stdin", "export-recovery-key"}, "new\n").err,
              passwordMessage(PasswordGate::keyUnreadable) + "\n");
    ASSERT_EQ(run({"--password-stdin", "restore-key", "--recovery-key-file", key}, "n2\nn2\n")
                  .status,
              0);
    const Ran exported = run({"--password-stdin", "export-recovery-key"}, "n2\n");
    EXPECT_EQ(exported.out, first.out);
}

TEST_F(CliSeal, RestoreKeyNeedsItsKeyFile) {
    const Ran ran = run({"restore-key"});
    EXPECT_EQ(ran.status, 2);
    EXPECT_EQ(ran.err,
              "tessarin-cli: restore-key: --recovery-key-file F missing\n"
              "Try 'tessarin-cli --help'.\n");
}

// With sealing on the key file and every listed sealed folder's copy are
// wrapped again: the new password opens all, the old one none. A copy that
// does not open with the old password is named and left as it was.
TEST_F(CliSeal, ChangePasswordWrapsTheKeyAndTheFolderCopiesAgain) {
    const std::string notes = temp.write("w/notes.txt", "dear diary");
    ASSERT_EQ(sealed({notes}).status, 0);
    const std::string sealedPath = sealedIn(temp / "w");
    temp.write("box/a.txt", "a");
    temp.write("odd/b.txt", "b");
    ASSERT_EQ(run({"--password-stdin", "lock-folder", "--seal", temp / "box"}).status, 0);
    ASSERT_EQ(run({"--password-stdin", "lock-folder", "--seal", temp / "odd"}).status, 0);
    // The folders in their listed order; a copy brought from elsewhere in
    // "odd": the old password does not open it.
    const std::vector<std::string> roots = lockedFolderRoots();
    ASSERT_EQ(roots.size(), 2u);
    const std::string oddLocked = roots[1];
    const std::string oddCopy = addBackslash(oddLocked) + kFolderIdentityName;
    platformFileSystem().setAttributes(oddCopy, kAttrNormal);
    ASSERT_TRUE(writeIdentityFile(oddCopy, AgeIdentity::generate(), "elsewhere", 10,
                                  AtomicFile::Mode::replaceExisting)
                    .ok());
    platformFileSystem().setAttributes(oddCopy, kAttrHidden | kAttrReadOnly);
    const std::string oddBytes = readFile(oddCopy);

    const Ran wrong = run({"--password-stdin", "change-password"}, "wrong\nnew\nnew\n");
    EXPECT_EQ(wrong.status, 1);
    EXPECT_EQ(wrong.err, "Please Enter The Right Password\n");
    const Ran differ = run({"--password-stdin", "change-password"}, "pw\nnew\nnwe\n");
    EXPECT_EQ(differ.status, 1);
    EXPECT_EQ(differ.err, "The passwords differ.\nNothing was changed.\n");

    const Ran changed = run({"--password-stdin", "change-password"}, "pw\nnew\nnew\n");
    EXPECT_EQ(changed.status, 1);
    EXPECT_EQ(changed.err, oddCopy +
                               ": this sealed folder's key copy could not be changed: it does "
                               "not open with the old password; the folder still opens with the "
                               "old password\nThe application password has been changed.\n"
                               "The sealed folders named above still open with the old password "
                               "only.\n");
    EXPECT_EQ(readFile(oddCopy), oddBytes);
    EXPECT_EQ(run({"--password-stdin", "unlock", sealedPath}, "pw\n").status, 1);
    EXPECT_EQ(run({"--password-stdin", "unlock", sealedPath}, "new\n").status, 0);
    EXPECT_EQ(readFile(notes), "dear diary");

    // The copy in the folder opens with the new password alone: a session
    // holding no key but the password's unseals it.
    ASSERT_EQ(std::remove(identityFilePath().c_str()), 0);
    SealingKeys byPassword;
    byPassword.password = "new";
    ASSERT_TRUE(addFolderIdentity(roots[0], byPassword).ok());
    EXPECT_TRUE(byPassword.canUnseal());
    SealingKeys byOld;
    byOld.password = "pw";
    EXPECT_EQ(addFolderIdentity(roots[0], byOld).error, AgeError::wrongPassword);
}

// Without sealing the shifted password in the store is replaced, under the
// rules of a first password.
TEST_F(CliSeal, ChangePasswordWithoutSealingReplacesTheStoredPassword) {
    struct Case {
        std::string input;
        int status;
        std::string err;
        std::string stored;
    } cases[] = {
        {"wrong\nnew\nnew\n", 1, "Please Enter The Right Password\n", "pw"},
        {"pw\n \n \n", 1, "An empty password cannot be set.\nNothing was changed.\n", "pw"},
        {"pw\n\xE2\x82\xAC\n\xE2\x82\xAC\n", 1,
         "The password may hold only letters, digits and common symbols.\nNothing was "
         "changed.\n",
         "pw"},
        {"pw\n new \nnew\n", 0, "The application password has been changed.\n", "new"},
    };
    for (const Case& c : cases) {
        const Ran ran = run({"--password-stdin", "change-password"}, c.input);
        EXPECT_EQ(ran.status, c.status) << c.input;
        EXPECT_EQ(ran.err, c.err) << c.input;
        EXPECT_EQ(storedPassword(settings), c.stored) << c.input;
    }
    settings.readOnly = true;
    const Ran unsaved = run({"--password-stdin", "change-password"}, "new\nnewer\nnewer\n");
    EXPECT_EQ(unsaved.status, 1);
    EXPECT_EQ(unsaved.err, "The password could not be saved; it is still the old one.\n");
    EXPECT_EQ(storedPassword(settings), "new");
}

// --recovery-key-out: the key goes to a new file only its owner reads; a
// file of that name stops the run before sealing is turned on.
TEST_F(CliSeal, TheRecoveryKeyGoesToANewPrivateFile) {
    const std::string notes = temp.write("w/notes.txt", "dear diary");
    const std::string taken = temp.write("taken.txt", "mine");
    const Ran refused =
        run({"--password-stdin", "lock", "--seal", "--recovery-key-out", taken, notes});
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err, taken +
                               ": a file of that name exists; the recovery key is only written "
                               "to a new file\nNothing was changed.\n");
    EXPECT_EQ(readFile(taken), "mine");
    EXPECT_FALSE(sealingIsOn());
    EXPECT_EQ(readFile(notes), "dear diary");

    const std::string out = temp / "key.out";
    const Ran first =
        run({"--password-stdin", "lock", "--seal", "--recovery-key-out", out, notes});
    ASSERT_EQ(first.status, 0) << first.err;
    EXPECT_EQ(first.out, "");
    EXPECT_NE(first.err.find(kRecoveryKeyAdvice + std::string("\nThe recovery key has been "
                                                              "written to ") +
                             out + ", readable by you alone.\n"),
              std::string::npos)
        << first.err;
    SealingKeys shown;
    ASSERT_TRUE(readRecoveryKey(out, shown).ok());
    EXPECT_EQ(identityText(shown.identities[0]), readFile(out));
#ifndef _WIN32
    struct stat info {};
    ASSERT_EQ(::stat(out.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
#endif

    const std::string again = temp / "again.out";
    const Ran exported =
        run({"--password-stdin", "export-recovery-key", "--recovery-key-out", again});
    EXPECT_EQ(exported.status, 0) << exported.err;
    EXPECT_EQ(exported.out, "");
    EXPECT_EQ(readFile(again), readFile(out));
    EXPECT_EQ(run({"--password-stdin", "export-recovery-key", "--recovery-key-out", again})
                  .status,
              1);

    const Ran unsealed = run({"lock", "--recovery-key-out", again, notes});
    EXPECT_EQ(unsealed.status, 2);
    EXPECT_EQ(unsealed.err,
              "tessarin-cli: lock: unknown option '--recovery-key-out' (without --seal)\n"
              "Try 'tessarin-cli --help'.\n");
}

}  // namespace
}  // namespace vellumar::test
