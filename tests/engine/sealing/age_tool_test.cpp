// Files sealed here against the standard age tool, both ways. Skipped,
// saying why, where the tool is not installed.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "engine/sealing/sealed_file.h"
#include "engine/sealing/sealed_identity.h"
#include "tests/support/temp_folder.h"

namespace vellumar {
namespace {

std::string ageTool() {
    for (const char* path : {"/usr/bin/age", "/usr/local/bin/age"})
        if (access(path, X_OK) == 0) return path;
    return {};
}

#define REQUIRE_AGE_TOOL() \
    if (ageTool().empty()) GTEST_SKIP() << "the age tool is not installed (package age)"

[[noreturn]] void execTool(const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
}

// Runs the tool with no terminal; what it prints lands in `output`, its
// messages in `messages`.
int runTool(const std::vector<std::string>& arguments, const std::string& output,
            const std::string& messages) {
    const pid_t child = fork();
    if (child == 0) {
        dup2(open("/dev/null", O_RDONLY), 0);
        dup2(open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 1);
        dup2(open(messages.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
        setsid();  // no terminal to ask for a password on
        execTool(arguments);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Runs the tool on a terminal of its own, typing `typed` there (the tool
// reads a password from its terminal only). Returns what the terminal showed.
int runToolOnTerminal(const std::vector<std::string>& arguments, const std::string& typed,
                      std::string& shown) {
    int terminal = -1;
    const pid_t child = forkpty(&terminal, nullptr, nullptr, nullptr);
    if (child == 0) execTool(arguments);
    if (child < 0) return -1;
    // The terminal keeps what is typed until the tool reads it.
    if (write(terminal, typed.data(), typed.size()) != static_cast<ssize_t>(typed.size()))
        return -1;
    char buffer[512];
    for (ssize_t got; (got = read(terminal, buffer, sizeof buffer)) > 0;) shown.append(buffer, got);
    close(terminal);
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string patterned(size_t size) {
    std::string out(size, '\0');
    for (size_t i = 0; i < size; ++i) out[i] = static_cast<char>((i * 131 + i / 977) & 0xff);
    return out;
}

TEST(AgeTool, OpensFilesSealedHereToTheIdenticalBytes) {
    REQUIRE_AGE_TOOL();
    test::TempFolder temp;
    const AgeIdentity identity = AgeIdentity::generate();
    const std::string identityPath = temp.write("identity.txt", identityText(identity));
    // Empty, one short chunk, a full last chunk, and chunks beyond it.
    for (size_t size : {size_t{0}, size_t{5}, kAgeChunkSize, 3 * kAgeChunkSize + 17}) {
        const std::string content = patterned(size);
        const std::string source = temp.write("plain.bin", content);
        const std::string sealed = temp / "sealed.age", opened = temp / "opened.bin";
        ASSERT_TRUE(sealFile(source, sealed, identity.recipient(), "plain.bin").ok());
        EXPECT_EQ(runTool({ageTool(), "-d", "-i", identityPath, sealed}, opened, temp / "messages"),
                  0)
            << size << ": " << test::readFile(temp / "messages");
        EXPECT_EQ(test::readFile(opened), content) << size;
        for (const std::string& path : {source, sealed, opened}) unlink(path.c_str());
    }
}

TEST(AgeTool, FilesItMakesForOurRecipientUnsealHere) {
    REQUIRE_AGE_TOOL();
    test::TempFolder temp;
    const AgeIdentity identity = AgeIdentity::generate();
    const std::string content = patterned(2 * kAgeChunkSize + 3);
    const std::string source = temp.write("in.bin", content);
    // Binary and armored alike.
    for (const bool armored : {false, true}) {
        SCOPED_TRACE(armored ? "armored" : "binary");
        const std::string sealed = temp / (armored ? "made.asc" : "made.age");
        std::vector<std::string> arguments{ageTool(), "-r", identity.recipient().encode()};
        if (armored) arguments.push_back("-a");
        arguments.push_back(source);
        ASSERT_EQ(runTool(arguments, sealed, temp / "messages"), 0)
            << test::readFile(temp / "messages");
        test::TempFolder out;
        std::string written;
        ASSERT_TRUE(unsealFile(sealed, identity, out.path(), "fallback.bin", written).ok());
        EXPECT_EQ(written, out / "fallback.bin");
        EXPECT_EQ(test::readFile(written), content);
    }
}

TEST(AgeTool, OpensTheIdentityFileWithThePassword) {
    REQUIRE_AGE_TOOL();
    test::TempFolder temp;
    const AgeIdentity identity = AgeIdentity::generate();
    const std::string path = temp / "identity.age";
    // A password beyond ASCII, as a person may choose one.
    const std::string password = "gr\xC3\xBCn \xE2\x9C\x93 horse";
    ASSERT_TRUE(writeIdentityFile(path, identity, password, 12).ok());
    std::string shown;
    EXPECT_EQ(runToolOnTerminal({ageTool(), "-d", "-o", temp / "identity.txt", path},
                                password + "\n", shown),
              0)
        << shown;
    EXPECT_EQ(test::readFile(temp / "identity.txt"), identityText(identity));
}

TEST(AgeTool, ItsPasswordFilesOpenHere) {
    REQUIRE_AGE_TOOL();
    test::TempFolder temp;
    const AgeIdentity identity = AgeIdentity::generate();
    const std::string plain = temp.write("identity.txt", identityText(identity));
    const std::string path = temp / "identity.age";
    const std::string password = "correct horse \xC3\xA9";
    std::string shown;
    ASSERT_EQ(runToolOnTerminal({ageTool(), "-p", "-o", path, plain},
                                password + "\n" + password + "\n", shown),
              0)
        << shown;
    AgeIdentity opened;
    ASSERT_TRUE(readIdentityFile(path, password, opened).ok());
    EXPECT_EQ(opened.encode(), identity.encode());
    EXPECT_EQ(readIdentityFile(path, "correct horse", opened).error, AgeError::wrongPassword);
}

}  // namespace
}  // namespace vellumar
