// Sealing through the real tessarin-cli: files and a folder sealed and
// brought back, the printed recovery key opening them with the age tool and
// with unlock --recovery-key-file when the password is lost, and a wrong
// key, a file that is no key and a damaged sealed file refused with nothing
// changed.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "engine/sealing/age_keys.h"
#include "engine/formats/locked_folder_name.h"
#include "engine/platform/paths.h"
#include "engine/platform/platform.h"
#include "engine/sealing/sealed_identity.h"
#include "locking/sealing_keys.h"
#include "tests/cli/program_fixture.h"

namespace vellumar::test {
namespace {

class CliSealing : public Cli {
  protected:
    CliSealing() {
        // Identity files cheap to make and open.
        program = TESSARIN_CLI_CHEAP_KEYS;
        setPassword();
    }

    // Seals w/notes.txt and a file of several chunks; the recovery key the
    // first seal printed is kept in key.txt.
    void sealTwoFiles() {
        const std::string notes = temp.write("w/notes.txt", "dear diary");
        const std::string big = temp.write("w/big.bin", patternBytes(200000, 7));
        const Result sealed = run({"--password-stdin", "lock", "--seal", notes, big}, "pw\n");
        ASSERT_EQ(sealed.status, 0) << sealed.err;
        EXPECT_NE(sealed.err.find("This cannot be undone."), std::string::npos) << sealed.err;
        EXPECT_NE(sealed.err.find("recovery key"), std::string::npos) << sealed.err;
        ASSERT_NE(sealed.out.find("AGE-SECRET-KEY-1"), std::string::npos) << sealed.out;
        key = temp.write("key.txt", sealed.out);
        for (const std::string& name : namesIn(temp / "w")) {
            ASSERT_TRUE(toUpper(getExtension(name)) == "VKS") << name;
            sealedFiles.push_back(temp / ("w/" + name));
        }
        ASSERT_EQ(sealedFiles.size(), 2u);
    }
    std::set<std::string> plainContents() const { return {"dear diary", patternBytes(200000, 7)}; }

    std::string key;
    std::vector<std::string> sealedFiles;
};

// The program people run has no switch that lowers the key file's work
// factor: the variable tests once used changes nothing.
TEST_F(Cli, TheKeyFileTakesTheFullWorkFactorWhateverTheEnvironment) {
    environment = "TESSARIN_TEST_SCRYPT_LOG_N=10";
    setPassword();
    const std::string file = temp.write("w/a.txt", "a");
    ASSERT_EQ(run({"--password-stdin", "lock", "--seal", file}, "pw\n").status, 0);
    const std::string identity = readFile(applicationFile(kIdentityFileName));
    const size_t stanza = identity.find("\n-> scrypt ");
    ASSERT_NE(stanza, std::string::npos) << identity;
    const std::string line =
        identity.substr(stanza + 1, identity.find('\n', stanza + 1) - stanza - 1);
    EXPECT_EQ(line.substr(line.rfind(' ') + 1), std::to_string(kDefaultScryptLogN)) << line;
    EXPECT_EQ(kDefaultScryptLogN, 18);
}

TEST_F(CliSealing, FilesAndAFolderAreSealedAndComeBack) {
    sealTwoFiles();
    // Shown once: the second seal prints no key.
    const std::string later = temp.write("w/later.txt", "later");
    const Result again = run({"--password-stdin", "lock", "--seal", later}, "pw\n");
    EXPECT_EQ(again.status, 0);
    EXPECT_EQ(again.out, "");
    EXPECT_EQ(again.err, "File(s) Encrypted Successfully\n");

    std::vector<std::string> arguments{"--password-stdin", "unlock"};
    for (const std::string& name : namesIn(temp / "w")) arguments.push_back(temp / ("w/" + name));
    const Result unlocked = run(arguments, "pw\n");
    ASSERT_EQ(unlocked.status, 0) << unlocked.err;
    EXPECT_EQ(readFile(temp / "w/notes.txt"), "dear diary");
    EXPECT_TRUE(readFile(temp / "w/big.bin") == patternBytes(200000, 7));
    EXPECT_EQ(readFile(later), "later");
    EXPECT_EQ(namesIn(temp / "w").size(), 3u);

    temp.write("box/a.txt", "a");
    temp.write("box/deep/b.bin", patternBytes(70000, 3));
    temp.write("box/empty", "");
    const std::string before = listTree(temp / "box");
    const Result folderSealed = run({"--password-stdin", "lock-folder", "--seal", "box"}, "pw\n");
    ASSERT_EQ(folderSealed.status, 0) << folderSealed.err;
    // Sealed, not locked in the compatible formats.
    const std::string sealedTree = listTree(temp / lockedFolderName("box"));
    EXPECT_NE(sealedTree.find(".VKS"), std::string::npos) << sealedTree;
    EXPECT_EQ(sealedTree.find(".VKL"), std::string::npos) << sealedTree;
    EXPECT_EQ(sealedTree.find(".VKW"), std::string::npos) << sealedTree;
    const Result folderBack = run({"--password-stdin", "unlock-folder", temp / "box"}, "pw\n");
    ASSERT_EQ(folderBack.status, 0) << folderBack.err;
    EXPECT_EQ(listTree(temp / "box"), before);
}

// The password is lost: nothing on standard input, and no --password-stdin.
TEST_F(CliSealing, TheRecoveryKeyOpensSealedFilesWithoutThePassword) {
    sealTwoFiles();
    std::vector<std::string> arguments{"unlock", "--recovery-key-file", key};
    arguments.insert(arguments.end(), sealedFiles.begin(), sealedFiles.end());
    const Result opened = run(arguments);
    ASSERT_EQ(opened.status, 0) << opened.err;
    EXPECT_EQ(opened.err, "File(s) Decrypted Successfully\n");
    EXPECT_EQ(readFile(temp / "w/notes.txt"), "dear diary");
    EXPECT_TRUE(readFile(temp / "w/big.bin") == patternBytes(200000, 7));
}

TEST_F(CliSealing, TheExportedKeyOpensSealedFilesWithTheAgeTool) {
    if (std::system("command -v age >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "the age tool is not installed (Debian package age)";
    sealTwoFiles();
    const Result exported = run({"--password-stdin", "export-recovery-key"}, "pw\n");
    ASSERT_EQ(exported.status, 0) << exported.err;
    EXPECT_EQ(exported.out, readFile(key));
    const std::string exportedKey = temp.write("exported.txt", exported.out);
    std::set<std::string> opened;
    for (const std::string& sealed : sealedFiles) {
        const std::string command = "age -d -i " + quoted(exportedKey) + " " + quoted(sealed) +
                                    " >" + quoted(temp / "io/plain");
        ASSERT_EQ(std::system(command.c_str()), 0) << sealed;
        opened.insert(readFile(temp / "io/plain"));
    }
    EXPECT_EQ(opened, plainContents());
}

// Bad input: the exit status of a failure, the cause named, and every sealed
// file left byte for byte as it was.
TEST_F(CliSealing, BadInputIsRefusedAndNothingChanges) {
    sealTwoFiles();
    const std::string sealed = sealedFiles[0];
    const std::string stranger = temp.write("stranger.txt", identityText(AgeIdentity::generate()));
    const std::string notAKey = temp.write("notakey.txt", "AGE-SECRET-KEY-1 typed badly\n");
    std::string damaged = readFile(sealedFiles[1]);
    damaged.back() ^= 1;  // in the last chunk's tag, whatever the file's size
    platformFileSystem().setAttributes(sealedFiles[1], kAttrNormal);
    temp.write("w/" + getFileName(sealedFiles[1]), damaged);
    std::vector<std::string> before;
    for (const std::string& file : sealedFiles) before.push_back(readFile(file));

    struct Case {
        const char* what;
        std::vector<std::string> arguments;
        std::string input;
        std::string err;
    } cases[] = {
        {"a key of another identity",
         {"unlock", "--recovery-key-file", stranger, sealedFiles[0], sealedFiles[1]},
         "",
         sealedFiles[0] + ": it was sealed by another identity\n" + sealedFiles[1] +
             ": it was sealed by another identity\n"
             "Not every file was done: 0 unlocked, 2 failed.\n"},
        {"a file that is no key",
         {"unlock", "--recovery-key-file", notAKey, sealed},
         "",
         notAKey + ": not a recovery key (it must hold \"AGE-SECRET-KEY-1...\" lines and "
                   "comments only)\n"
                   "Nothing was changed.\n"},
        {"no such key file",
         {"unlock", "--recovery-key-file", "missing.txt", sealed},
         "",
         temp / "missing.txt" + ": no such file\nNothing was changed.\n"},
        {"a folder given as the key",
         {"unlock", "--recovery-key-file", "w", sealed},
         "",
         temp / "w" + ": a folder, not a recovery key\nNothing was changed.\n"},
        {"a damaged sealed file",
         {"--password-stdin", "unlock", sealedFiles[1]},
         "pw\n",
         sealedFiles[1] + ": the sealed file is damaged: it was cut short or changed\n"
                          "Not every file was done: 0 unlocked, 1 failed.\n"},
        {"a wrong password",
         {"--password-stdin", "unlock", sealed},
         "wrong\n",
         "Please Enter The Right Password\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Result result = run(c.arguments, c.input);
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.err, c.err);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(namesIn(temp / "w").size(), 2u);
        for (size_t i = 0; i < sealedFiles.size(); ++i)
            EXPECT_TRUE(readFile(sealedFiles[i]) == before[i]) << sealedFiles[i];
    }
}

}  // namespace
}  // namespace vellumar::test
