// Locked files on real file-system images, mounted through FUSE as a normal
// user can (the kernel's vfat and exFAT need loop devices, which the fakes
// of tests/engine/media_attributes_test.cpp stand in for), their attributes
// read back the medium's own way: NTFS's attribute word while mounted, a FAT
// image's directory entries through mtools once it is unmounted. Each case
// skips, saying why, where its tools, /dev/fuse or the mount are missing.

#include <gtest/gtest.h>

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "engine/platform/file_system.h"
#include "engine/runs/write_batch.h"
#include "locking/file_operations.h"
#include "tests/engine/formats/lock_fixture.h"
#include "tests/support/scripted_desktop.h"
#include "tests/support/temp_folder.h"

namespace vellumar::test {
namespace {

constexpr uint32_t kAll = kAttrReadOnly | kAttrHidden | kAttrSystem | kAttrArchive;

std::string inQuotes(const std::string& text) { return "'" + text + "'"; }

// Runs a shell command; its output and error output, and its exit status.
std::string shell(const std::string& command, int& status) {
    std::string output;
    // mkfs and mount.exfat-fuse live in /usr/sbin, which a user's PATH may lack.
    const std::string line = "PATH=\"$PATH:/usr/sbin:/sbin\"; " + command + " 2>&1";
    FILE* pipe = ::popen(line.c_str(), "r");
    if (!pipe) {
        status = -1;
        return "popen failed";
    }
    char buffer[512];
    while (size_t got = std::fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, got);
    status = ::pclose(pipe);
    return output;
}

std::string shell(const std::string& command) {
    int status = 0;
    std::string output = shell(command, status);
    EXPECT_EQ(status, 0) << command << ": " << output;
    return output;
}

bool installed(const std::string& tool) {
    int status = 0;
    shell("command -v " + tool, status);
    return status == 0;
}

// The first of the tools that is missing; empty when all are there.
std::string missingOf(const std::vector<std::string>& tools) {
    for (const std::string& tool : tools)
        if (!installed(tool)) return tool;
    return {};
}

// Why FUSE cannot be used here; empty when it can.
std::string fuseProblem() {
    const int fd = ::open("/dev/fuse", O_RDWR | O_CLOEXEC);
    if (fd < 0) return std::string("/dev/fuse cannot be opened: ") + std::strerror(errno);
    ::close(fd);
    if (!installed("fusermount") && !installed("fusermount3")) return "fusermount is not installed";
    return {};
}

// Whether a process of this user still has `image` open: a FUSE driver goes
// on writing the image for a moment after its file system is unmounted.
bool heldOpen(const std::string& image) {
    std::error_code ignored;
    for (const auto& process : std::filesystem::directory_iterator("/proc", ignored)) {
        std::error_code unreadable;
        for (const auto& fd : std::filesystem::directory_iterator(process.path() / "fd", unreadable)) {
            std::error_code gone;
            if (std::filesystem::read_symlink(fd.path(), gone) == image) return true;
        }
    }
    return false;
}

// An image file made by `mkfs` and, once mount() succeeded, mounted on a
// folder beside it until unmount() or the end of the case.
class Image {
  public:
    Image(const TempFolder& temp, const std::string& name, const std::string& mkfs)
        : path_(temp / (name + ".img")), mountPoint_(temp.makeFolder(name)) {
        std::filesystem::resize_file(temp.write(name + ".img", ""), 16 << 20);
        shell(mkfs + " " + inQuotes(path_));
    }
    ~Image() { unmount(); }

    // Mounts with `driver`; the driver's words when it refuses.
    std::string mount(const std::string& driver) {
        int status = 0;
        std::string output = shell(driver + " " + inQuotes(path_) + " " + inQuotes(mountPoint_), status);
        if (status != 0) return driver + " refused the mount: " + output;
        mounted_ = true;
        return {};
    }
    void unmount() {
        if (!mounted_) return;
        mounted_ = false;
        const std::string tool = installed("fusermount3") ? "fusermount3" : "fusermount";
        shell(tool + " -u " + inQuotes(mountPoint_));
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (heldOpen(path_) && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        EXPECT_FALSE(heldOpen(path_)) << "the driver of " << path_ << " did not end";
    }

    const std::string& path() const { return path_; }
    std::string operator/(const std::string& relative) const { return mountPoint_ + "/" + relative; }
    const std::string& mountPoint() const { return mountPoint_; }

  private:
    std::string path_;
    std::string mountPoint_;
    bool mounted_ = false;
};

#define SKIP_WITHOUT(tools)                                                              \
    if (const std::string missing = missingOf(tools); !missing.empty())                  \
        GTEST_SKIP() << missing << " is not installed";                                  \
    if (const std::string problem = fuseProblem(); !problem.empty()) GTEST_SKIP() << problem

RunReport lockAll(const std::vector<std::string>& paths) {
    ScriptedDesktop desktop;
    WriteBatch batch;
    return lockFiles(paths, LockOptions{}, &batch, desktop);
}

uint32_t keptOn(const std::string& path) {
    uint32_t kept = 0;
    EXPECT_EQ(fileSystem().keptAttributes(path, kept), IoError::ok) << path;
    return kept;
}

// NTFS's attribute word, as ntfs-3g gives it.
uint32_t ntfsWord(const std::string& path) {
    const std::string output = shell("getfattr -n system.ntfs_attrib_be -e hex " + inQuotes(path));
    const size_t at = output.find("system.ntfs_attrib_be=0x");
    if (at == std::string::npos) return 0xFFFFFFFF;
    return static_cast<uint32_t>(std::stoul(output.substr(at + 24, 8), nullptr, 16));
}

// mtools on the unmounted image: the attribute letters of an entry.
std::string fatLetters(const std::string& image, const std::string& path) {
    const std::string output = shell("LC_ALL=C.UTF-8 MTOOLS_SKIP_CHECK=1 mattrib -i " +
                                     inQuotes(image) + " " + inQuotes("::/" + path));
    return output.substr(0, output.find("::/"));
}

void mtools(const std::string& command) {
    shell("LC_ALL=C.UTF-8 MTOOLS_SKIP_CHECK=1 " + command);
}

// ntfs-3g keeps every bit in NTFS's own word, where Windows reads it: the
// locked files are read-only and hidden there, the folder hidden, and
// unlocking takes both off again.
TEST(Media, NtfsThroughNtfs3gKeepsEveryBitInItsWord) {
    SKIP_WITHOUT((std::vector<std::string>{"mkfs.ntfs", "ntfs-3g", "getfattr"}));
    TempFolder temp;
    Image ntfs(temp, "ntfs", "mkfs.ntfs -F -Q");
    if (std::string refused = ntfs.mount("ntfs-3g"); !refused.empty()) GTEST_SKIP() << refused;
    const std::vector<std::string> plain = {temp.write("ntfs/a.txt", "a"),
                                            temp.write("ntfs/d/b.txt", "b"),
                                            temp.write("ntfs/d/c.txt", "c")};
    EXPECT_EQ(keptOn(plain[0]), kAll);
    const RunReport report = lockAll(plain);
    ASSERT_TRUE(report.complete());
    EXPECT_TRUE(report.cannotHide.empty());
    ASSERT_EQ(fileSystem().setAttributes(ntfs / "d", kAttrHidden), IoError::ok);
    for (const std::string& file : plain) {
        SCOPED_TRACE(file);
        const std::string locked = lockedName(file, ".VKL");
        EXPECT_EQ(ntfsWord(locked) & 0x7, 0x3u);  // read-only and hidden, not system
        uint32_t read = 0;
        ASSERT_EQ(fileSystem().getAttributes(locked, read), IoError::ok);
        EXPECT_EQ(read & (kAttrReadOnly | kAttrHidden), kAttrReadOnly | kAttrHidden);
    }
    EXPECT_EQ(ntfsWord(ntfs / "d") & 0x17, 0x12u);  // a hidden folder

    ScriptedDesktop desktop;
    WriteBatch batch;
    const RunReport unlocked = unlockFiles({lockedName(plain[0], ".VKL")}, UnlockOptions{},
                                           &batch, desktop);
    ASSERT_TRUE(unlocked.complete());
    EXPECT_EQ(readFile(plain[0]), "a");
    EXPECT_EQ(ntfsWord(plain[0]) & 0x7, 0u);
    ntfs.unmount();
}

// fusefat keeps no attribute at all, and no hard link: it says so, and a
// lock, which has no rename there that is sure not to replace a file, fails
// with that cause and leaves the files as they were on the image.
TEST(Media, FatThroughFusefatKeepsNoMarkAndALockSaysWhyItCannot) {
    SKIP_WITHOUT((std::vector<std::string>{"mkfs.vfat", "fusefat", "mattrib", "mcopy", "mmd"}));
    TempFolder temp;
    Image fat(temp, "fat", "mkfs.vfat");
    // Made with mtools: fusefat's own writes of new entries are not to be
    // relied on.
    const std::string content = temp.write("content.txt", "plain");
    mtools("mmd -i " + inQuotes(fat.path()) + " ::/d");
    for (const char* name : {"::/a.txt", "::/d/b.txt"})
        mtools("mcopy -i " + inQuotes(fat.path()) + " " + inQuotes(content) + " " + name);
    if (std::string refused = fat.mount("fusefat -o rw+"); !refused.empty())
        GTEST_SKIP() << refused;
    const std::vector<std::string> plain = {fat / "a.txt", fat / "d/b.txt"};
    EXPECT_EQ(keptOn(plain[0]), 0u);
    const RunReport report = lockAll(plain);
    for (const ItemResult& item : report.items) {
        SCOPED_TRACE(item.path);
        EXPECT_EQ(item.status, ItemStatus::failed);
        EXPECT_EQ(item.file.error, IoError::cannotRenameWithoutReplacing);
        EXPECT_EQ(readFile(item.path), "plain");
    }
    EXPECT_TRUE(report.cannotHide.empty());
    fat.unmount();
    // On the image as Windows would read it: the plain files, unmarked.
    for (const char* name : {"a.txt", "d/b.txt"})
        EXPECT_EQ(fatLetters(fat.path(), name).find('H'), std::string::npos) << name;
}

// exfat-fuse keeps no attribute either (no extended attributes, and every
// file has the mount's mode).
TEST(Media, ExfatThroughExfatFuseKeepsNoMarkAndTheRunSaysSo) {
    SKIP_WITHOUT((std::vector<std::string>{"mkfs.exfat", "mount.exfat-fuse"}));
    TempFolder temp;
    Image exfat(temp, "exfat", "mkfs.exfat");
    // As root it asks for a block device; as a user it asks for allow_other
    // (user_allow_other in /etc/fuse.conf) and hands fusermount FUSE 2's
    // "user=" option, which FUSE 3's refuses.
    if (std::string refused = exfat.mount("mount.exfat-fuse"); !refused.empty())
        GTEST_SKIP() << refused;
    const std::vector<std::string> plain = {temp.write("exfat/a.txt", "a"),
                                            temp.write("exfat/d/b.txt", "b")};
    EXPECT_EQ(keptOn(plain[0]), 0u);
    const RunReport report = lockAll(plain);
    ASSERT_TRUE(report.complete());
    EXPECT_EQ(report.cannotHide, std::vector<std::string>{exfat.mountPoint()});
    EXPECT_EQ(unlockedContent(lockedName(plain[1], ".VKL"), temp), "b");
    exfat.unmount();
}

}  // namespace
}  // namespace vellumar::test
