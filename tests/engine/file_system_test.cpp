#include "engine/file_system.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <map>

#include "engine/platform.h"
#include "tests/support/file_attributes.h"
#include "tests/support/temp_folder.h"

#ifndef _WIN32
#include <errno.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include "engine/posix_xattr.h"
#endif

namespace vellumar {
namespace {

uint32_t attributesOf(const std::string& path) {
    uint32_t value = 0;
    EXPECT_EQ(fileSystem().getAttributes(path, value), IoError::ok) << path;
    return value;
}

TEST(Attributes, EachCombinationReadsBackOnAFile) {
    test::TempFolder temp;
    std::string file = temp.write("a.txt", "x");
    for (uint32_t value : {0u, 1u, 2u, 3u, 4u, 6u, 7u, 32u, 35u, 0u}) {
        ASSERT_EQ(fileSystem().setAttributes(file, value), IoError::ok) << value;
        EXPECT_EQ(attributesOf(file), test::fileAttributesAfterSetting(value));
    }
}

TEST(Attributes, FoldersCarryTheDirectoryBit) {
    test::TempFolder temp;
    std::string folder = temp.makeFolder("sub");
    EXPECT_EQ(attributesOf(folder), kAttrDirectory);
    ASSERT_EQ(fileSystem().setAttributes(folder, kAttrHidden), IoError::ok);
    EXPECT_EQ(attributesOf(folder), kAttrDirectory | kAttrHidden);
}

TEST(FileSystem, RenameNeverReplacesButReplaceDoes) {
    test::TempFolder temp;
    std::string a = temp.write("a", "A"), b = temp.write("b", "B");
    EXPECT_EQ(fileSystem().rename(a, b), IoError::exists);
    EXPECT_EQ(test::readFile(a), "A");
    EXPECT_EQ(test::readFile(b), "B");
    EXPECT_EQ(fileSystem().replace(a, b), IoError::ok);
    EXPECT_EQ(test::readFile(b), "A");
    EXPECT_EQ(fileSystem().rename(b, temp / "c"), IoError::ok);
    EXPECT_EQ(test::readFile(temp / "c"), "A");
}

TEST(FileSystem, CreateNewRefusesAnExistingName) {
    test::TempFolder temp;
    std::string a = temp.write("a", "A");
    FileHandle file = kNoFile;
    EXPECT_EQ(fileSystem().createNew(a, file), IoError::exists);
    EXPECT_EQ(file, kNoFile);
    EXPECT_EQ(fileSystem().openRead(temp / "missing", file), IoError::notFound);
}

TEST(FileSystem, OpenAppendCreatesAMissingFileAndWritesAtTheEnd) {
    test::TempFolder temp;
    FileSystem& fs = fileSystem();
    for (const char* part : {"first\r\n", "second\r\n"}) {
        FileHandle file = kNoFile;
        ASSERT_EQ(fs.openAppend(temp / "encfile", file), IoError::ok);
        EXPECT_EQ(fs.write(file, part, std::strlen(part)), IoError::ok);
        EXPECT_EQ(fs.flush(file), IoError::ok);
        EXPECT_EQ(fs.close(file), IoError::ok);
    }
    EXPECT_EQ(test::readFile(temp / "encfile"), "first\r\nsecond\r\n");
}

TEST(FileSystem, CopyMovesTheRequestedBytesFromTheCurrentPosition) {
    test::TempFolder temp;
    std::string content;
    for (int i = 0; i < 300000; ++i) content += static_cast<char>(i * 31);
    std::string source = temp.write("src", content);
    FileSystem& fs = fileSystem();
    FileHandle in = kNoFile, out = kNoFile;
    ASSERT_EQ(fs.openRead(source, in), IoError::ok);
    ASSERT_EQ(fs.createNew(temp / "dst", out), IoError::ok);
    char head[1000];
    size_t got = 0;
    ASSERT_EQ(fs.read(in, head, sizeof head, got), IoError::ok);
    ASSERT_EQ(fs.copy(in, out, content.size() - 1000), IoError::ok);
    EXPECT_EQ(fs.copy(in, out, 1), IoError::other);  // past the end
    fs.close(in);
    fs.close(out);
    EXPECT_EQ(test::readFile(temp / "dst"), content.substr(1000));
}

TEST(FileSystem, ListFolderShowsHiddenEntriesAndKinds) {
    test::TempFolder temp;
    temp.write("d/.hidden", "");
    temp.write("d/plain", "");
    temp.makeFolder("d/sub");
    std::vector<FolderEntry> entries;
    ASSERT_EQ(fileSystem().listFolder(temp / "d", entries), IoError::ok);
    std::map<std::string, EntryKind> kinds;
    for (const auto& e : entries) kinds[e.name] = e.kind;
    EXPECT_EQ(kinds, (std::map<std::string, EntryKind>{{".hidden", EntryKind::file},
                                                       {"plain", EntryKind::file},
                                                       {"sub", EntryKind::folder}}));
}

TEST(Platform, ApplicationDirectoryFollowsTessarinHome) {
    test::TempFolder temp;
    EXPECT_EQ(applicationDirectory(), temp.home());
    EXPECT_EQ(applicationFile("files"), temp.home() + kSeparator + "files");
    EXPECT_FALSE(windowsDirectory().empty());
    EXPECT_FALSE(systemDirectory().empty());
    EXPECT_FALSE(executablePath().empty());
}

#ifndef _WIN32

TEST(PosixAttributes, ReadOnlyIsTheWriteBitsAndBothLiveInTheDosAttribute) {
    test::TempFolder temp;
    std::string file = temp.write("a", "x");
    ASSERT_EQ(fileSystem().setAttributes(file, kAttrReadOnly | kAttrHidden), IoError::ok);
    struct stat st;
    ASSERT_EQ(stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0222, 0u);
    char value[32] = {};
    ssize_t n = getxattr(file.c_str(), "user.DOSATTRIB", value, sizeof value);
    EXPECT_EQ(std::string(value, n > 0 ? static_cast<size_t>(n) : 0), "0x3");
}

TEST(PosixAttributes, EveryStoredFormOfTheDosAttributeIsRead) {
    struct Case {
        std::string stored;
        uint32_t bits;
    } cases[] = {
        {"0x2", kAttrHidden},
        {std::string("0x6\0", 4), kAttrHidden | kAttrSystem},
        {std::string("0x23\0", 5), kAttrReadOnly | kAttrHidden | kAttrArchive},
        // Samba's record: an empty text, the bits in the attribute word
        {std::string("\0\0\x05\0\x05\0\0\0\x11\0\0\0\x02\0\0\0\x23\xa5\xb6\x87\xaa\x88\xdd\x01", 24), kAttrHidden},
        {"0x10", 0},                          // the directory bit comes from the file system
        {"junk", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(parseDosAttribute(c.stored.data(), c.stored.size()), c.bits);
}

std::string storedDosRecord(const std::string& path) {
    char value[1024];
    ssize_t n = getxattr(path.c_str(), "user.DOSATTRIB", value, sizeof value);
    return n < 0 ? std::string("<none>") : std::string(value, static_cast<size_t>(n));
}

void storeDosRecord(const std::string& path, const std::string& record) {
    ASSERT_EQ(setxattr(path.c_str(), "user.DOSATTRIB", record.data(), record.size(), 0), 0) << path;
}

// Samba keeps read-only in its record alone, so a file that a share made
// read-only is read-only here too, and a locked file is read-only there.
TEST(PosixAttributes, ReadOnlyIsTheRecordsBitOrTheMissingWriteBits) {
    test::TempFolder temp;
    std::string file = temp.write("a", "x");
    storeDosRecord(file, "0x1");
    EXPECT_EQ(attributesOf(file), kAttrReadOnly);
    ASSERT_EQ(fileSystem().setAttributes(file, kAttrNormal), IoError::ok);
    EXPECT_EQ(attributesOf(file), kAttrNormal);
    EXPECT_EQ(storedDosRecord(file), "<none>");
    ASSERT_EQ(chmod(file.c_str(), 0444), 0);
    EXPECT_EQ(attributesOf(file), kAttrReadOnly);
}

TEST(PosixAttributes, SambasRecordKeepsItsFormAndFieldsWhenTheBitsChange) {
    test::TempFolder temp;
    std::string file = temp.write("a", "x");
    // Samba 4.17's record of a file made hidden, then a version 2 record
    // whose name makes it longer than a first read takes.
    const std::string sambaHidden("\0\0\x05\0\x05\0\0\0\x11\0\0\0\x02\0\0\0\x23\xa5\xb6\x87\xaa\x88\xdd\x01", 24);
    storeDosRecord(file, sambaHidden);
    ASSERT_EQ(fileSystem().setAttributes(file, kAttrReadOnly | kAttrHidden), IoError::ok);
    std::string locked = sambaHidden;
    locked[12] = '\x03';
    EXPECT_EQ(storedDosRecord(file), locked);
    EXPECT_EQ(attributesOf(file), kAttrReadOnly | kAttrHidden);
    ASSERT_EQ(fileSystem().setAttributes(file, kAttrNormal), IoError::ok);
    std::string unlocked = sambaHidden;
    unlocked[12] = '\0';
    EXPECT_EQ(storedDosRecord(file), unlocked);
    EXPECT_EQ(attributesOf(file), kAttrNormal);

    std::string longRecord("0x6\0\x02\0\x02\0", 8);
    longRecord += std::string(4, '\0') + std::string("\x06\0\0\0", 4) + std::string(44, '\0');
    longRecord += std::string(400, 'n') + std::string(1, '\0');
    storeDosRecord(file, longRecord);
    EXPECT_EQ(attributesOf(file), kAttrHidden | kAttrSystem);
    ASSERT_EQ(fileSystem().setAttributes(file, kAttrHidden), IoError::ok);
    std::string changed = longRecord;
    changed[2] = '2';
    changed[12] = '\x02';
    EXPECT_EQ(storedDosRecord(file), changed);
}

// A file system without user extended attributes.
class NoExtendedAttributes : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = posixXattrCalls();
        posixXattrCalls() = {
            [](const char*, const char*, void*, size_t) -> ssize_t { return fail(); },
            [](const char*, const char*, const void*, size_t, int) -> int { return fail(); },
            [](const char*, const char*) -> int { return fail(); },
        };
    }
    void TearDown() override { posixXattrCalls() = saved_; }
    static int fail() {
        errno = ENOTSUP;
        return -1;
    }
    XattrCalls saved_{};
};

TEST_F(NoExtendedAttributes, HiddenIsSilentlyUnsetWhileReadOnlyWorks) {
    test::TempFolder temp;
    std::string file = temp.write("a", "x");
    EXPECT_EQ(fileSystem().setAttributes(file, kAttrReadOnly | kAttrHidden), IoError::ok);
    EXPECT_EQ(attributesOf(file), kAttrReadOnly);
    EXPECT_EQ(fileSystem().setAttributes(file, kAttrNormal), IoError::ok);
    EXPECT_EQ(attributesOf(file), kAttrNormal);
}

TEST(PosixFileSystem, LinksAreNeverFollowed) {
    test::TempFolder temp;
    std::string target = temp.write("target", "T");
    std::string link = temp / "link";
    ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
    FileStatus status;
    ASSERT_EQ(fileSystem().status(link, status), IoError::ok);
    EXPECT_EQ(status.kind, EntryKind::link);
    FileHandle file = kNoFile;
    EXPECT_NE(fileSystem().openRead(link, file), IoError::ok);
    EXPECT_NE(fileSystem().setAttributes(link, kAttrReadOnly), IoError::ok);
    EXPECT_EQ(attributesOf(target), kAttrNormal);
}

// A big file is held open across its removal and freed by a background
// close; its name must be gone all the same when removeFile returns.
TEST(PosixFileSystem, RemoveFileTakesTheNameAtOnceWhateverTheSize) {
    test::TempFolder temp;
    for (uintmax_t size : {uintmax_t{5}, uintmax_t{64} << 20}) {
        std::string file = temp.write("file", "x");
        std::filesystem::resize_file(file, size);  // sparse: nothing to write
        EXPECT_EQ(fileSystem().removeFile(file), IoError::ok) << size;
        FileStatus status;
        EXPECT_EQ(fileSystem().status(file, status), IoError::notFound) << size;
    }
    EXPECT_EQ(fileSystem().removeFile(temp / "file"), IoError::notFound);
}

#endif

}  // namespace
}  // namespace vellumar
