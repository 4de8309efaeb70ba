// Where the attributes go on each kind of volume, with the media played by
// fakes of the calls that reach them: the FAT ioctls need a kernel driver
// (vfat, exFAT) that a test machine may lack, so the fake records the
// attribute word the ioctl would send. NTFS's word is played through the
// extended-attribute calls. (tests/engine/media_test.cpp mounts real images
// where the machine can.) Also: the volume's name from mountinfo.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "engine/platform/file_system.h"
#include "engine/platform/media_volume.h"
#include "tests/support/temp_folder.h"

#ifndef _WIN32
#include <errno.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/xattr.h>

#include <cstring>

#include "engine/platform/media_attributes.h"
#include "engine/platform/posix_xattr.h"
#endif

namespace vellumar::test {
namespace {

#ifndef _WIN32

constexpr long kMsdos = 0x4d44, kExfat = 0x2011BAB0, kFuse = 0x65735546, kExt4 = 0xEF53;
constexpr uint32_t kAll = kAttrReadOnly | kAttrHidden | kAttrSystem | kAttrArchive;

// One volume, as its calls answer.
struct Medium {
    long type = kExt4;
    int fatError = 0;           // what the FAT ioctls answer, 0: they work
    int fatSetError = 0;        // what setting answers, 0: it works
    bool userAttributes = true;  // user.DOSATTRIB can be kept
    bool ntfs = false;           // system.ntfs_attrib_be answers
    std::map<ino_t, uint32_t> words;  // each entry's word, FAT or NTFS
    std::vector<uint32_t> sent;       // every word set, in order
};
Medium* medium = nullptr;

ino_t inodeOf(int fd) {
    struct stat st;
    return ::fstat(fd, &st) == 0 ? st.st_ino : 0;
}
ino_t inodeOf(const char* path) {
    struct stat st;
    return ::lstat(path, &st) == 0 ? st.st_ino : 0;
}

int fakeType(int, long& type) {
    type = medium->type;
    return 0;
}
int fakeFatGet(int fd, uint32_t& out) {
    if (medium->fatError) return errno = medium->fatError, -1;
    struct stat st;
    ::fstat(fd, &st);
    auto word = medium->words.find(st.st_ino);
    // New files carry the archive bit, folders the directory bit.
    out = word != medium->words.end() ? word->second : S_ISDIR(st.st_mode) ? 0x10 : 0x20;
    return 0;
}
int fakeFatSet(int fd, uint32_t attributes) {
    if (medium->fatError) return errno = medium->fatError, -1;
    if (medium->fatSetError) return errno = medium->fatSetError, -1;
    medium->sent.push_back(attributes);
    medium->words[inodeOf(fd)] = attributes;
    return 0;
}

bool named(const char* name, const char* wanted) { return std::strcmp(name, wanted) == 0; }

ssize_t fakeGet(const char* path, const char* name, void* value, size_t size) {
    if (named(name, "system.ntfs_attrib_be")) {
        if (!medium->ntfs) return errno = ENOTSUP, -1;
        auto word = medium->words.find(inodeOf(path));
        const uint32_t w = word != medium->words.end() ? word->second : 0x2020;
        const unsigned char bytes[4] = {static_cast<unsigned char>(w >> 24),
                                        static_cast<unsigned char>(w >> 16),
                                        static_cast<unsigned char>(w >> 8),
                                        static_cast<unsigned char>(w)};
        if (size < 4) return errno = ERANGE, -1;
        std::memcpy(value, bytes, 4);
        return 4;
    }
    if (!medium->userAttributes) return errno = ENOTSUP, -1;
    return ::lgetxattr(path, name, value, size);
}
int fakeSet(const char* path, const char* name, const void* value, size_t size, int flags) {
    if (named(name, "system.ntfs_attrib_be")) {
        if (!medium->ntfs || size != 4) return errno = ENOTSUP, -1;
        const auto* b = static_cast<const unsigned char*>(value);
        const uint32_t w = uint32_t{b[0]} << 24 | uint32_t{b[1]} << 16 | uint32_t{b[2]} << 8 | b[3];
        medium->sent.push_back(w);
        medium->words[inodeOf(path)] = w;
        return 0;
    }
    if (!medium->userAttributes) return errno = ENOTSUP, -1;
    return ::lsetxattr(path, name, value, size, flags);
}
int fakeRemove(const char* path, const char* name) {
    if (!medium->userAttributes) return errno = ENOTSUP, -1;
    return ::lremovexattr(path, name);
}

class FakedMedia : public ::testing::Test {
  protected:
    void SetUp() override {
        savedMedia_ = posixMediaCalls();
        savedXattr_ = posixXattrCalls();
        medium = &medium_;
        posixMediaCalls() = {&fakeType, &fakeFatGet, &fakeFatSet};
        posixXattrCalls() = {&fakeGet, &fakeSet, &fakeRemove};
    }
    void TearDown() override {
        posixMediaCalls() = savedMedia_;
        posixXattrCalls() = savedXattr_;
        medium = nullptr;
    }
    static uint32_t attributesOf(const std::string& path) {
        uint32_t value = 0;
        EXPECT_EQ(fileSystem().getAttributes(path, value), IoError::ok) << path;
        return value;
    }
    static uint32_t keptOn(const std::string& path) {
        uint32_t value = 0;
        EXPECT_EQ(fileSystem().keptAttributes(path, value), IoError::ok) << path;
        return value;
    }
    static bool hasDosRecord(const std::string& path) {
        return ::lgetxattr(path.c_str(), "user.DOSATTRIB", nullptr, 0) >= 0;
    }
    static mode_t modeOf(const std::string& path) {
        struct stat st;
        ::lstat(path.c_str(), &st);
        return st.st_mode & 0777;
    }

    Medium medium_;
    TempFolder temp;

  private:
    MediaCalls savedMedia_;
    XattrCalls savedXattr_;
};

// FAT keeps every bit in the directory entry: the ioctl gets the word, with
// the entry's other bits (a folder's directory bit) kept, and nothing goes
// in user.DOSATTRIB or the mode, which the kernel derives from the entry.
TEST_F(FakedMedia, FatTakesTheWordThroughTheIoctl) {
    medium_.type = kMsdos;
    const std::string file = temp.write("a.txt", "a");
    const std::string folder = temp.makeFolder("d");
    const mode_t mode = modeOf(file);
    ASSERT_EQ(fileSystem().setAttributes(file, kAttrReadOnly | kAttrHidden), IoError::ok);
    ASSERT_EQ(fileSystem().setAttributes(folder, kAttrHidden), IoError::ok);
    EXPECT_EQ(medium_.sent, (std::vector<uint32_t>{0x03, 0x12}));
    EXPECT_EQ(attributesOf(file), kAttrReadOnly | kAttrHidden);
    EXPECT_EQ(attributesOf(folder), kAttrHidden | kAttrDirectory);
    EXPECT_FALSE(hasDosRecord(file));
    EXPECT_EQ(modeOf(file), mode);
    ASSERT_EQ(fileSystem().setAttributes(file, kAttrNormal), IoError::ok);
    EXPECT_EQ(medium_.sent.back(), 0u);
    // Unchanged bits send nothing.
    ASSERT_EQ(fileSystem().setAttributes(folder, kAttrHidden), IoError::ok);
    EXPECT_EQ(medium_.sent.size(), 3u);
}

// An ioctl the driver refuses fails the call (the file is not hidden); one
// the kernel does not offer (exFAT before it had them) falls back to the
// mode, which that driver keeps as the read-only bit.
TEST_F(FakedMedia, FatIoctlsThatFailOrAreMissing) {
    const std::string file = temp.write("a.txt", "a");
    medium_.type = kMsdos;
    medium_.fatSetError = EPERM;
    EXPECT_EQ(fileSystem().setAttributes(file, kAttrReadOnly | kAttrHidden),
              IoError::accessDenied);
    EXPECT_EQ(attributesOf(file), kAttrArchive);
    medium_.fatError = EIO;
    uint32_t value = 0;
    EXPECT_NE(fileSystem().getAttributes(file, value), IoError::ok);
    medium_.fatSetError = 0;

    medium_.type = kExfat;
    medium_.fatError = ENOTTY;
    medium_.userAttributes = false;
    ASSERT_EQ(fileSystem().setAttributes(file, kAttrReadOnly | kAttrHidden), IoError::ok);
    EXPECT_TRUE(medium_.sent.empty());
    EXPECT_EQ(modeOf(file) & 0222, 0u);
    EXPECT_EQ(attributesOf(file), kAttrReadOnly);
    EXPECT_EQ(keptOn(file), kAttrReadOnly);
    ASSERT_EQ(fileSystem().setAttributes(file, kAttrNormal), IoError::ok);
    EXPECT_NE(modeOf(file) & 0200, 0u);
}

// NTFS's word keeps its other bits (here "not content indexed", 0x2000)
// when ours change; Samba's record is not written there.
TEST_F(FakedMedia, NtfsTakesOurBitsInItsWordAndKeepsTheOthers) {
    medium_.type = kFuse;
    medium_.ntfs = true;
    const std::string file = temp.write("a.txt", "a");
    ASSERT_EQ(fileSystem().setAttributes(file, kAttrReadOnly | kAttrHidden), IoError::ok);
    EXPECT_EQ(medium_.sent, (std::vector<uint32_t>{0x2003}));
    EXPECT_EQ(attributesOf(file), kAttrReadOnly | kAttrHidden);
    EXPECT_FALSE(hasDosRecord(file));
    ASSERT_EQ(fileSystem().setAttributes(file, kAttrArchive), IoError::ok);
    EXPECT_EQ(medium_.sent.back(), 0x2020u);
    EXPECT_EQ(attributesOf(file), kAttrArchive);
}

// What each kind of volume keeps, as asked of a file on it.
TEST_F(FakedMedia, EachVolumeSaysWhatItKeeps) {
    const struct {
        const char* volume;
        long type;
        int fatError;
        bool userAttributes;
        bool ntfs;
        uint32_t kept;
    } cases[] = {
        {"ext4 with user xattrs", kExt4, 0, true, false, kAll},
        {"without user xattrs", kExt4, 0, false, false, kAttrReadOnly},
        {"vfat", kMsdos, 0, false, false, kAll},
        {"exFAT with the FAT ioctls", kExfat, 0, false, false, kAll},
        {"exFAT without them", kExfat, ENOTTY, false, false, kAttrReadOnly},
        {"ntfs-3g", kFuse, 0, false, true, kAll},
        {"FUSE FAT or exFAT", kFuse, 0, false, false, 0},
        {"FUSE with user xattrs", kFuse, 0, true, false, kAll},
    };
    const std::string file = temp.write("a.txt", "a");
    const std::string folder = temp.makeFolder("d");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.volume);
        medium_.type = c.type;
        medium_.fatError = c.fatError;
        medium_.userAttributes = c.userAttributes;
        medium_.ntfs = c.ntfs;
        EXPECT_EQ(keptOn(file), c.kept);
        EXPECT_EQ(keptOn(folder), c.kept);
    }
}

#endif

// The volume is the mount point of the file's device that holds its path;
// spaces and the like come escaped.
TEST(VolumeName, TheMountPointOfTheDeviceThatHoldsThePath) {
#ifndef _WIN32
    const std::string mountinfo =
        "21 27 0:20 / /proc rw,relatime - proc proc rw\n"
        "27 1 254:0 / / rw,relatime - ext4 /dev/vda rw\n"
        "45 27 0:40 / /media/me/MY\\040STICK rw,nosuid - fuseblk /dev/sdb1 rw\n"
        "46 27 0:40 /sub /srv/bound rw - fuseblk /dev/sdb1 rw\n"
        "47 27 0:41 / /media/me/MY rw - vfat /dev/sdc1 rw\n";
    const uint64_t stick = makedev(0, 40), other = makedev(0, 41), root = makedev(254, 0);
    EXPECT_EQ(mountPointIn(mountinfo, stick, "/media/me/MY STICK/a/b.txt"), "/media/me/MY STICK");
    EXPECT_EQ(mountPointIn(mountinfo, stick, "/srv/bound/b.txt"), "/srv/bound");
    EXPECT_EQ(mountPointIn(mountinfo, other, "/media/me/MY/b.txt"), "/media/me/MY");
    EXPECT_EQ(mountPointIn(mountinfo, root, "/home/me/b.txt"), "/");
    // A path that no mount of the device holds (seen through a link): its first.
    EXPECT_EQ(mountPointIn(mountinfo, stick, "/elsewhere/b.txt"), "/media/me/MY STICK");
    EXPECT_EQ(mountPointIn(mountinfo, makedev(8, 1), "/x/b.txt"), "");
    EXPECT_EQ(volumeName("/nowhere/known/b.txt", makedev(250, 250)), "/nowhere/known");
#else
    // The drive, or the share of a network path.
    EXPECT_EQ(volumeName("C:\\w\\b.txt", 1), "C:\\");
    EXPECT_EQ(volumeName("\\\\server\\share\\w\\b.txt", 1), "\\\\server\\share\\");
#endif
}

}  // namespace
}  // namespace vellumar::test
