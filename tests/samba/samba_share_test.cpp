// What Windows clients of a Samba share see of locked files and folders:
// the test starts its own smbd on a free loopback port, with a private
// configuration and Samba's default attribute settings, and looks through
// smbclient. The program itself is run as tessarin-cli.

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "engine/platform/file_system.h"
#include "engine/formats/locked_folder_name.h"
#include "engine/formats/locked_header.h"
#include "engine/platform/paths.h"
#include "tests/engine/formats/lock_fixture.h"
#include "tests/support/temp_folder.h"

extern char** environ;

namespace vellumar::test {
namespace {

std::string findProgram(const std::string& name) {
    std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
    path += ":/usr/sbin:/sbin:/usr/local/sbin";
    std::istringstream folders(path);
    for (std::string folder; std::getline(folders, folder, ':');) {
        const std::string candidate = folder + "/" + name;
        if (!folder.empty() && access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return {};
}

// Runs a program to its end with stdin, stdout and stderr on files;
// returns its exit status (-1 when it did not exit).
int runProgram(const std::vector<std::string>& argv, const std::string& in, const std::string& out,
               const std::string& err) {
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, in.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A port nobody listens on now.
int freeLoopbackPort() {
    int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = -1;
    if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    close(s);
    return port;
}

bool accepts(int port) {
    int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    const bool connected = connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(s);
    return connected;
}

std::string tail(const std::string& text) {
    return text.size() > 1500 ? text.substr(text.size() - 1500) : text;
}

class SambaShare : public ::testing::Test {
  protected:
    void SetUp() override {
        smbd_ = findProgram("smbd");
        smbclient_ = findProgram("smbclient");
        if (smbd_.empty() || smbclient_.empty())
            GTEST_SKIP() << "smbd or smbclient is not installed (scripts/setup installs them)";
        setenv("XDG_CONFIG_HOME", (temp / "config").c_str(), 1);
        for (const char* folder : {"state", "lock", "cache", "pid", "private", "ncalrpc", "log"})
            temp.makeFolder(std::string("samba/") + folder);
        share = temp.makeFolder("share");
        port_ = freeLoopbackPort();
        ASSERT_GT(port_, 0);
        writeConfiguration();
        std::string why;
        if (!startSmbd(why)) GTEST_SKIP() << "smbd cannot run here: " << why;
        ASSERT_EQ(cli({"set-password"}, "pw\npw\n"), 0);
    }

    void TearDown() override {
        if (pid_ <= 0) return;
        // smbd was started in a session of its own: its group is its own.
        kill(pid_, SIGTERM);
        if (!waitFor(pid_, std::chrono::seconds(20))) {
            kill(-pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }

    // Samba's defaults for attributes (store dos attributes = yes, no
    // mapping to the permission bits); a guest share on a folder of the
    // test, served as the user running it.
    void writeConfiguration() {
        const std::string samba = temp / "samba";
        const passwd* user = getpwuid(getuid());
        std::ofstream conf(config_ = samba + "/smb.conf");
        conf << "[global]\n"
             << "server role = standalone server\n"
             << "smb ports = " << port_ << "\n"
             << "interfaces = 127.0.0.1\n"
             << "bind interfaces only = yes\n"
             << "state directory = " << samba << "/state\n"
             << "lock directory = " << samba << "/lock\n"
             << "cache directory = " << samba << "/cache\n"
             << "pid directory = " << samba << "/pid\n"
             << "private dir = " << samba << "/private\n"
             << "ncalrpc dir = " << samba << "/ncalrpc\n"
             << "passdb backend = tdbsam:" << samba << "/private/passdb.tdb\n"
             << "log file = " << samba << "/log/smbd.log\n"
             << "map to guest = Bad User\n"
             << "guest account = nobody\n"
             << "load printers = no\n"
             << "printcap name = /dev/null\n"
             << "disable spoolss = yes\n"
             << "[share]\n"
             << "path = " << share << "\n"
             << "guest ok = yes\n"
             << "read only = no\n"
             << "force user = " << (user ? user->pw_name : "root") << "\n";
    }

    bool startSmbd(std::string& why) {
        const std::string log = temp / "samba/log/smbd.out";
        const std::vector<std::string> argv = {smbd_, "-F", "--no-process-group", "-s", config_};
        std::vector<char*> args;
        for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        pid_ = fork();
        if (pid_ == 0) {
            // smbd -F --no-process-group signals its whole process group
            // when it ends: it gets a session of its own.
            setsid();
            int out = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            int in = open("/dev/null", O_RDONLY);
            dup2(in, 0);
            dup2(out, 1);
            dup2(out, 2);
            execv(args[0], args.data());
            _exit(127);
        }
        if (pid_ < 0) {
            why = "fork failed";
            return false;
        }
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!accepts(port_)) {
            // Waits on smbd's end, so that a failed start is seen at once.
            if (waitFor(pid_, std::chrono::milliseconds(20))) {
                pid_ = -1;
                why = "it ended at start:\n" + tail(readFile(log)) +
                      tail(readFile(temp / "samba/log/smbd.log"));
                return false;
            }
            if (std::chrono::steady_clock::now() > deadline) {
                why = "it did not listen on port " + std::to_string(port_) + ":\n" +
                      tail(readFile(temp / "samba/log/smbd.log"));
                return false;
            }
        }
        // Serving takes switching to the share's user, which only root can
        // do in general.
        if (smbclient("ls") != 0 && getuid() != 0) {
            why = "it does not serve the share to an unprivileged user:\n" + tail(clientErr_);
            return false;
        }
        return true;
    }

    // True when the process ended within `limit` (and was reaped).
    static bool waitFor(pid_t pid, std::chrono::milliseconds limit) {
        int fd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
        if (fd >= 0) {
            pollfd ready{fd, POLLIN, 0};
            poll(&ready, 1, static_cast<int>(limit.count()));
            close(fd);
        }
        return waitpid(pid, nullptr, WNOHANG) == pid;
    }

    int smbclient(const std::string& commands) {
        const int status = runProgram({smbclient_, "//127.0.0.1/share", "-p", std::to_string(port_),
                                       "-N", "-s", config_, "-c", commands},
                                      "/dev/null", temp / "io-client-out", temp / "io-client-err");
        clientOut_ = readFile(temp / "io-client-out");
        clientErr_ = readFile(temp / "io-client-err");
        return status;
    }

    // The attribute letters smbclient shows for each entry of a folder of
    // the share ("N" for none).
    std::map<std::string, std::string> listed(const std::string& folder = "") {
        EXPECT_EQ(smbclient(folder.empty() ? "ls" : "cd \"" + folder + "\"; ls"), 0) << clientErr_;
        std::map<std::string, std::string> entries;
        std::istringstream lines(clientOut_);
        for (std::string line; std::getline(lines, line);) {
            // "  NAME   ATTRIBUTES   SIZE  Day Mon dd hh:mm:ss yyyy"
            std::vector<std::string> words;
            std::vector<size_t> starts;
            for (size_t i = 0; i < line.size();) {
                size_t start = line.find_first_not_of(' ', i);
                if (start == std::string::npos) break;
                size_t end = line.find(' ', start);
                if (end == std::string::npos) end = line.size();
                words.push_back(line.substr(start, end - start));
                starts.push_back(start);
                i = end;
            }
            if (line.rfind("  ", 0) != 0 || words.size() < 8) continue;
            const size_t attributes = words.size() - 7;
            std::string name = line.substr(2, starts[attributes] - 2);
            name.erase(name.find_last_not_of(' ') + 1);
            if (name != "." && name != "..") entries[name] = words[attributes];
        }
        return entries;
    }

    int cli(const std::vector<std::string>& arguments, const std::string& input = "pw\n") {
        std::vector<std::string> argv = {TESSARIN_CLI, "--password-stdin"};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        temp.write("io-cli-in", input);
        const int status =
            runProgram(argv, temp / "io-cli-in", temp / "io-cli-out", temp / "io-cli-err");
        cliErr = readFile(temp / "io-cli-err");
        return status;
    }

    static bool has(const std::string& letters, char letter) {
        return letters.find(letter) != std::string::npos;
    }

    TempFolder temp;
    std::string share;
    std::string cliErr;
    // What smbclient wrote on its last run.
    std::string clientOut_, clientErr_;

  private:
    std::string smbd_, smbclient_, config_;
    int port_ = -1;
    pid_t pid_ = -1;
};

TEST_F(SambaShare, LockedFilesShowHiddenAndReadOnlyUntilUnlocked) {
    const std::string small = temp.write("share/small.txt", "small");
    const std::string content = patternBytes(300000, 3);
    const std::string large = temp.write("share/large.bin", content);
    ASSERT_EQ(cli({"lock", small, large}), 0) << cliErr;
    const std::string lockedSmall = getFileName(lockedName(small, ".VKL"));
    const std::string lockedLarge = getFileName(lockedName(large, ".VKW"));

    auto entries = listed();
    ASSERT_EQ(entries.count(lockedSmall), 1u) << clientOut_;
    ASSERT_EQ(entries.count(lockedLarge), 1u) << clientOut_;
    for (const std::string& name : {lockedSmall, lockedLarge}) {
        EXPECT_TRUE(has(entries[name], 'H')) << name << " shows " << entries[name];
        EXPECT_TRUE(has(entries[name], 'R')) << name << " shows " << entries[name];
    }

    ASSERT_EQ(cli({"unlock", share + "/" + lockedSmall, share + "/" + lockedLarge}), 0) << cliErr;
    entries = listed();
    for (const std::string name : {"small.txt", "large.bin"}) {
        ASSERT_EQ(entries.count(name), 1u) << clientOut_;
        EXPECT_FALSE(has(entries[name], 'H') || has(entries[name], 'R'))
            << name << " shows " << entries[name];
    }
    EXPECT_EQ(readFile(small), "small");
    EXPECT_TRUE(readFile(large) == content);
}

std::string storedRecord(const std::string& path) {
    char value[256];
    const ssize_t n = getxattr(path.c_str(), "user.DOSATTRIB", value, sizeof value);
    return n < 0 ? std::string("<none>") : std::string(value, static_cast<size_t>(n));
}

// A folder made through the share holds Samba's binary record with its
// creation time; the program changes only the attribute word in it.
TEST_F(SambaShare, ALockedFolderIsListedHiddenUnderItsLockedName) {
    ASSERT_EQ(smbclient("mkdir Vault"), 0) << clientErr_;
    const std::string made = storedRecord(share + "/Vault");
    ASSERT_EQ(made.size(), 24u) << "Samba's version 5 record";
    temp.write("share/Vault/a.txt", "a");
    ASSERT_EQ(cli({"lock-folder", share + "/Vault"}), 0) << cliErr;

    const std::string locked = lockedFolderName("Vault");
    auto entries = listed();
    ASSERT_EQ(entries.count(locked), 1u) << "the locked folder is missing from\n" << clientOut_;
    EXPECT_EQ(entries[locked], "DH");
    std::string hidden = made;
    hidden[12] = static_cast<char>(hidden[12] | kAttrHidden);
    EXPECT_EQ(storedRecord(share + "/" + locked), hidden);
    const std::string lockedFile = getFileName(lockedName(share + "/Vault/a.txt", ".VKL"));
    auto inside = listed(locked);
    ASSERT_EQ(inside.count(lockedFile), 1u) << clientOut_;
    EXPECT_TRUE(has(inside[lockedFile], 'H') && has(inside[lockedFile], 'R')) << inside[lockedFile];

    ASSERT_EQ(cli({"unlock-folder", share + "/Vault"}), 0) << cliErr;
    entries = listed();
    ASSERT_EQ(entries.count("Vault"), 1u) << clientOut_;
    EXPECT_EQ(entries["Vault"], "D");
    EXPECT_EQ(listed("Vault")["a.txt"], "N");
    EXPECT_EQ(readFile(share + "/Vault/a.txt"), "a");
    EXPECT_EQ(storedRecord(share + "/Vault"), made);
}

TEST_F(SambaShare, WhatAClientMarkedSystemOrHiddenIsPassedOver) {
    const std::string system = temp.write("share/system.txt", "system");
    temp.write("share/Hidden/a.txt", "a");
    ASSERT_EQ(smbclient("setmode system.txt +s; setmode Hidden +h"), 0) << clientErr_;
    auto entries = listed();
    ASSERT_EQ(entries["system.txt"], "S");
    ASSERT_EQ(entries["Hidden"], "DH");

    EXPECT_EQ(cli({"lock", system}), 1);
    EXPECT_EQ(cliErr, system + ": refused: a system file, a device or a pipe\n"
                               "Not every file was done: 0 locked, 1 refused.\n");
    EXPECT_EQ(cli({"lock-folder", share + "/Hidden"}), 1);
    EXPECT_EQ(cliErr, share +
                          "/Hidden: passed over, as a folder that is read-only, hidden, "
                          "system or archive is not locked\nNothing was changed.\n");
    EXPECT_EQ(listTree(share), "Hidden\nHidden/a.txt\nsystem.txt\n");
    EXPECT_EQ(readFile(system), "system");
    EXPECT_EQ(readFile(share + "/Hidden/a.txt"), "a");
}

}  // namespace
}  // namespace vellumar::test
