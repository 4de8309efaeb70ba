#pragma once
// Passes every call to the platform's file system, counting them; the N-th
// call can be made to fail, or to end the process on the spot (a crash).
// Calls may come from several threads (a write batch's helpers): they are
// counted in the order they arrive.

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "engine/platform/file_system.h"

namespace vellumar::test {

class FaultyFileSystem final : public FileSystem {
public:
    enum class Fault { none, fail, crash };

    // Call number `n` (1-based) fails with `error`, or ends the process.
    void failAt(int n, IoError error = IoError::other) {
        target_ = n;
        fault_ = Fault::fail;
        error_ = error;
    }
    void crashAt(int n) {
        target_ = n;
        fault_ = Fault::crash;
    }
    int calls() const { return calls_; }
    // The names of the calls made so far, for failure messages.
    const std::vector<std::string>& log() const { return log_; }
    bool triggered() const { return triggered_; }

    IoError openRead(const std::string& p, FileHandle& out) override {
        return hit("openRead", out) ? error_ : base().openRead(p, out);
    }
    IoError createNew(const std::string& p, FileHandle& out) override {
        return hit("createNew", out) ? error_ : base().createNew(p, out);
    }
    IoError createTemporary(const std::string& p, const std::string& mark,
                            FileHandle& out) override {
        return hit("createTemporary", out) ? error_ : base().createTemporary(p, mark, out);
    }
    IoError openAppend(const std::string& p, FileHandle& out) override {
        return hit("openAppend", out) ? error_ : base().openAppend(p, out);
    }
    IoError read(FileHandle f, char* b, size_t n, size_t& got) override {
        got = 0;
        return hit("read") ? error_ : base().read(f, b, n, got);
    }
    IoError write(FileHandle f, const char* d, size_t n) override {
        return hit("write") ? error_ : base().write(f, d, n);
    }
    IoError copy(FileHandle from, FileHandle to, uint64_t n) override {
        return hit("copy") ? error_ : base().copy(from, to, n);
    }
    IoError copyPermissions(const std::string& from, FileHandle to) override {
        return hit("copyPermissions") ? error_ : base().copyPermissions(from, to);
    }
    IoError copyTimes(const std::string& from, FileHandle to) override {
        return hit("copyTimes") ? error_ : base().copyTimes(from, to);
    }
    IoError useNewFilePermissions(FileHandle f) override {
        return hit("useNewFilePermissions") ? error_ : base().useNewFilePermissions(f);
    }
    IoError flush(FileHandle f) override { return hit("flush") ? error_ : base().flush(f); }
    IoError close(FileHandle f) override {
        // A failed close still releases the handle, as on every platform.
        if (hit("close")) {
            base().close(f);
            return error_;
        }
        return base().close(f);
    }
    IoError flushFolder(const std::string& p) override {
        return hit("flushFolder") ? error_ : base().flushFolder(p);
    }
    IoError openVolume(const std::string& p, FileHandle& out) override {
        return hit("openVolume", out) ? error_ : base().openVolume(p, out);
    }
    IoError flushVolume(FileHandle v) override {
        return hit("flushVolume") ? error_ : base().flushVolume(v);
    }
    IoError rename(const std::string& a, const std::string& b) override {
        return hit("rename") ? error_ : base().rename(a, b);
    }
    IoError replace(const std::string& a, const std::string& b) override {
        return hit("replace") ? error_ : base().replace(a, b);
    }
    IoError removeFile(const std::string& p) override {
        return hit("removeFile") ? error_ : base().removeFile(p);
    }
    IoError removeFolder(const std::string& p) override {
        return hit("removeFolder") ? error_ : base().removeFolder(p);
    }
    IoError createFolder(const std::string& p) override {
        return hit("createFolder") ? error_ : base().createFolder(p);
    }
    IoError status(const std::string& p, FileStatus& out) override {
        out = FileStatus{};
        return hit("status") ? error_ : base().status(p, out);
    }
    IoError getAttributes(const std::string& p, uint32_t& out) override {
        out = 0;
        return hit("getAttributes") ? error_ : base().getAttributes(p, out);
    }
    IoError setAttributes(const std::string& p, uint32_t a) override {
        return hit("setAttributes") ? error_ : base().setAttributes(p, a);
    }
    IoError listFolder(const std::string& p, std::vector<FolderEntry>& out) override {
        out.clear();
        return hit("listFolder") ? error_ : base().listFolder(p, out);
    }
    // A question of the volume, not a call that can fail.
    bool takesWindowsNamesOnly(const std::string& p) override {
        return base().takesWindowsNamesOnly(p);
    }

    IoError markTemporary(FileHandle f, const std::string& mark) override {
        return hit("markTemporary") ? error_ : base().markTemporary(f, mark);
    }
    IoError temporaryMark(const std::string& p, std::string& out) override {
        out.clear();
        return hit("temporaryMark") ? error_ : base().temporaryMark(p, out);
    }
    IoError unmarkTemporary(const std::string& p) override {
        return hit("unmarkTemporary") ? error_ : base().unmarkTemporary(p);
    }
    IoError carryPlainTraits(const std::string& p, uint32_t a, FileHandle f) override {
        return hit("carryPlainTraits") ? error_ : base().carryPlainTraits(p, a, f);
    }
    IoError restorePlainTraits(const std::string& p, FileHandle f, uint32_t& a) override {
        a = kAttrNormal;
        return hit("restorePlainTraits") ? error_ : base().restorePlainTraits(p, f, a);
    }

private:
    static FileSystem& base() { return platformFileSystem(); }
    bool hit(const char* name, FileHandle& out) {
        out = kNoFile;
        return hit(name);
    }
    bool hit(const char* name);

    std::mutex mutex_;
    int calls_ = 0;
    int target_ = 0;
    Fault fault_ = Fault::none;
    IoError error_ = IoError::other;
    bool triggered_ = false;
    std::vector<std::string> log_;
};

}  // namespace vellumar::test
