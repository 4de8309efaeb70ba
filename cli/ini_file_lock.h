#pragma once
// The lock the window's QSettings takes before it rewrites its settings file:
// "<file>.lock" beside it, made the way QLockFile makes one (created only
// when absent; the process id, the program's name, the host's name, the
// machine's and the boot's ids, a line each; held open under flock), and
// taken to be left over when its process on this host is gone. Holding it
// around a read-modify-write keeps the window's writes and ours from
// undoing each other.

#include <chrono>
#include <string>

namespace vellumar {

class IniFileLock {
  public:
    enum class Outcome { taken, busy, failed };

    explicit IniFileLock(std::string lockPath) : path_(std::move(lockPath)) {}
    ~IniFileLock() { release(); }
    IniFileLock(const IniFileLock&) = delete;
    IniFileLock& operator=(const IniFileLock&) = delete;

    // Waits up to `wait` while another process holds it. failed: it could
    // not be made (error() says why).
    Outcome take(std::chrono::milliseconds wait);
    void release();
    int error() const { return error_; }

    // What QLockFile writes into a lock file made by this process.
    static std::string contents();

  private:
    std::string path_;
    int fd_ = -1;
    int error_ = 0;
};

}  // namespace vellumar
