// tessarin-cli, the real binary: the password gate, the round trip, the exit
// status and the messages on standard error.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "engine/file_system.h"
#include "engine/locked_header.h"
#include "engine/names.h"
#include "engine/platform.h"
#include "tests/engine/lock_fixture.h"
#include "tests/support/temp_folder.h"

namespace vellumar::test {
namespace {

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

std::string quoted(const std::string& text) {
    std::string result = "'";
    for (char c : text) result += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return result + "'";
}

class Cli : public ::testing::Test {
  protected:
    // Runs the program in the temporary folder, with its own settings.
    Result run(const std::vector<std::string>& arguments, const std::string& input = {}) {
        temp.write("io/stdin", input);
        std::string command = "cd " + quoted(temp.path()) +
                              " && XDG_CONFIG_HOME=" + quoted(temp / "config") + " " +
                              quoted(TESSARIN_CLI);
        for (const std::string& argument : arguments) command += " " + quoted(argument);
        command += " <" + quoted(temp / "io/stdin") + " >" + quoted(temp / "io/out") + " 2>" +
                   quoted(temp / "io/err");
        const int status = std::system(command.c_str());
        Result result;
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        result.out = readFile(temp / "io/out");
        result.err = readFile(temp / "io/err");
        return result;
    }
    void setPassword() {
        ASSERT_EQ(run({"--password-stdin", "set-password"}, "pw\npw\n").status, 0);
    }
    std::string listed() const {
        const std::string text = readFile(applicationFile("files"));
        return text == "<missing>" ? std::string() : text;
    }

    TempFolder temp;
};

TEST_F(Cli, NothingIsLockedBeforeAPasswordIsSet) {
    const std::string file = temp.write("a.txt", "a");
    Result result = run({"--password-stdin", "lock", file}, "pw\n");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err,
              "No application password is set yet. Set one with: tessarin-cli set-password\n");
    EXPECT_EQ(readFile(file), "a");
}

TEST_F(Cli, SetPasswordAppliesTheFirstUseRules) {
    struct Case {
        const char* input;
        int status;
        const char* err;
    } cases[] = {
        {"\n\n", 1, "Please Set The Password\n"},
        {"one\ntwo\n", 1, "Please Confirm The Passwords\n"},
        {"one\n", 1, "tessarin-cli: no password on standard input\n"},
        {"pw\npw\n", 0, "The application password is set.\n"},
        {"pw\npw\n", 1, "The application password is set already.\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.input);
        Result result = run({"set-password", "--password-stdin"}, c.input);
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(result.err, c.err);
    }
    // Without --password-stdin the password is asked on the terminal only.
    Result result = run({"lock", "a.txt"}, "pw\n");
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.err,
              "tessarin-cli: standard input is not a terminal; give the password with "
              "--password-stdin\n");
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
        lockedPaths.push_back(LockedName(file.path, file.lockedAs));
        EXPECT_FALSE(FileExists(file.path));
        EXPECT_TRUE(FileExists(lockedPaths.back()));
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
    for (const char* command : {"lock", "unlock"}) {
        Result result = run({"--password-stdin", command, file}, "PW\n");
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.err, "Please Enter The Right Password\n");
    }
    EXPECT_EQ(readFile(file), "a");
}

TEST_F(Cli, TheExitStatusTellsWhetherEveryFileGotThere) {
    setPassword();
    const std::string plain = temp.write("plain.txt", "plain");
    const std::string other = temp.write("other.txt", "other");
    const std::string system = temp.write("system.sys", "system");
    platformFileSystem().setAttributes(system, kAttrSystem);
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
        {{"--password-stdin", "lock", system, temp / "gone.txt"},
         1,
         "Sorry you cannot lock a system file as this may crash your system\n"},
        {{"--password-stdin", "unlock", plain}, 1, plain + " is already unlocked.\n"},
        {{"--password-stdin", "lock", "--", "other.txt"}, 0, "File(s) Encrypted Successfully\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.err);
        Result result = run(c.arguments, "pw\n");
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(result.err, c.err);
    }
    EXPECT_EQ(readFile(system), "system");
    EXPECT_FALSE(FileExists(other));

    Result help = run({"lock", "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("Usage: tessarin-cli [--password-stdin] COMMAND", 0), 0u);
    EXPECT_NE(help.out.find("Exit status:"), std::string::npos);
    EXPECT_EQ(help.err, "");
}

}  // namespace
}  // namespace vellumar::test
