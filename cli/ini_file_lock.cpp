#include "cli/ini_file_lock.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <thread>
#include <vector>

namespace vellumar {
namespace {

// A lock older than this is left over even when its process runs: the
// window keeps it for a moment only (QLockFile's default).
constexpr std::chrono::seconds kStaleAfter{30};

// Up to `most` bytes from the start of the file; false when it does not
// open. The machine's id is often a link to /etc/machine-id; a lock file
// that is a link is never read through.
bool readStart(const char* path, size_t most, std::string& text, bool followLink = true) {
    text.clear();
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC | (followLink ? 0 : O_NOFOLLOW));
    if (fd < 0) return false;
    text.resize(most);
    ssize_t got;
    do {
        got = ::read(fd, text.data(), most);
    } while (got < 0 && errno == EINTR);
    ::close(fd);
    text.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return true;
}

// The name of the program a process runs, as QLockFile sees it: the last
// part of /proc/PID/exe; "/" (no program's name) when the process is gone or
// may not be looked at. False: there is no /proc to ask.
bool programName(const std::string& pid, std::string& name) {
    std::string target(4096, '\0');
    const ssize_t length =
        ::readlink(("/proc/" + pid + "/exe").c_str(), target.data(), target.size());
    if (length <= 0) {
        name = "/";
        return ::access("/proc/self", F_OK) == 0;
    }
    target.resize(static_cast<size_t>(length));
    const std::string deleted = " (deleted)";
    if (target.size() >= deleted.size() &&
        target.compare(target.size() - deleted.size(), deleted.size(), deleted) == 0)
        target.resize(target.size() - deleted.size());
    name = target.substr(target.find_last_of('/') + 1);
    return true;
}

std::string hostName() {
    struct utsname names;
    return ::uname(&names) == 0 ? std::string(names.nodename) : std::string();
}

std::string machineId() {
    std::string id;
    if (!readStart("/var/lib/dbus/machine-id", 32, id) && errno == ENOENT)
        readStart("/usr/local/var/lib/dbus/machine-id", 32, id);
    return id;
}

std::string bootId() {
    std::string id;
    readStart("/proc/sys/kernel/random/boot_id", 36, id);
    return id.size() == 36 ? id : std::string();
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(at, end - at);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
        at = end + 1;
    }
    lines.resize(5);
    return lines;
}

bool isPid(const std::string& text) {
    if (text.empty() || text.size() > 18) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    return std::atoll(text.c_str()) > 0;
}

// Whether the process named in the lock is gone, or the lock older than a
// holder keeps it: QLockFile's judgement, so that both agree.
bool isLeftOver(const std::string& path) {
    std::string text;
    if (!readStart(path.c_str(), 4096, text, false)) return false;  // gone meanwhile
    const std::vector<std::string> info = linesOf(text);
    const std::string &pid = info[0], &program = info[1], &host = info[2], &machine = info[3],
                      &boot = info[4];
    if (isPid(pid)) {
        bool sameHost = host.empty() || host == hostName();
        if (!machine.empty() && !machineId().empty()) sameHost = machine == machineId();
        if (sameHost) {
            if (!boot.empty() && boot != bootId()) return true;
            if (::kill(static_cast<pid_t>(std::atoll(pid.c_str())), 0) == -1 && errno == ESRCH)
                return true;
            std::string running;
            if (programName(pid, running) &&
                running != program.substr(program.find_last_of('/') + 1))
                return true;
        }
    }
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0) return false;
    const auto age = std::chrono::seconds(std::abs(std::time(nullptr) - st.st_mtime));
    return age > kStaleAfter;
}

// Only while nobody holds it under flock: a holder that still runs keeps it.
bool removeLeftOver(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return false;
    const bool removed = ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::unlink(path.c_str()) == 0;
    ::close(fd);
    return removed;
}

bool writeAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

std::string IniFileLock::contents() {
    const std::string pid = std::to_string(::getpid());
    std::string program;
    if (!programName("self", program) || program == "/") program.clear();
    return pid + "\n" + program + "\n" + hostName() + "\n" + machineId() + "\n" + bootId() + "\n";
}

IniFileLock::Outcome IniFileLock::take(std::chrono::milliseconds wait) {
    if (fd_ >= 0) return Outcome::taken;
    const auto deadline = std::chrono::steady_clock::now() + wait;
    auto pause = std::chrono::milliseconds(5);
    for (;;) {
        const int fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            // So that nobody takes it for left over and removes it meanwhile.
            ::flock(fd, LOCK_EX | LOCK_NB);
            if (!writeAll(fd, contents())) {
                error_ = errno != 0 ? errno : EIO;
                ::close(fd);
                ::unlink(path_.c_str());
                return Outcome::failed;
            }
            ::fdatasync(fd);
            fd_ = fd;
            return Outcome::taken;
        }
        if (errno != EEXIST) {
            error_ = errno;
            return Outcome::failed;
        }
        if (isLeftOver(path_)) {
            // One remover at a time, as with QLockFile.
            IniFileLock remover(path_ + ".rmlock");
            if (remover.take(std::chrono::milliseconds(0)) == Outcome::taken && isLeftOver(path_) &&
                removeLeftOver(path_))
                continue;
        }
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) return Outcome::busy;
        std::this_thread::sleep_for(
            std::min<std::chrono::steady_clock::duration>(pause, deadline - now));
        pause = std::min(pause * 2, std::chrono::milliseconds(100));
    }
}

void IniFileLock::release() {
    if (fd_ < 0) return;
    ::unlink(path_.c_str());
    ::close(fd_);
    fd_ = -1;
}

}  // namespace vellumar
