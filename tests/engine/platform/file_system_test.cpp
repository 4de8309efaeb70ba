#include "engine/platform/file_system.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <map>

#include "engine/platform/folder_confinement.h"
#include "engine/platform/platform.h"
#include "tests/support/file_attributes.h"
#include "tests/support/temp_folder.h"

#ifndef _WIN32
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include "engine/platform/posix_xattr.h"
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

// A listed locked file gets its hidden mark back while it stays read-only.
// Root may change anything, so only a normal user's run shows whether the
// file is made writable for the change and read-only again after it.
TEST(Attributes, ReadOnlyFileKeepsReadOnlyWhileItsOtherBitsChange) {
    test::TempFolder temp;
    std::string file = temp.write("a.txt", "x");
    for (uint32_t value : {1u, 3u, 7u, 5u, 1u, 33u, 35u, 3u, 1u}) {
        ASSERT_EQ(fileSystem().setAttributes(file, value), IoError::ok) << value;
        EXPECT_EQ(attributesOf(file), test::fileAttributesAfterSetting(value)) << value;
    }
    EXPECT_EQ(test::readFile(file), "x");
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

// Opening a pipe to read waits for a writer, forever if none comes: only
// regular files are opened. (The alarm ends a test that hangs all the same.)
TEST(PosixFileSystem, OpenReadRefusesAnythingButARegularFile) {
    test::TempFolder temp;
    const std::string fifo = temp / "pipe.VKL";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string regular = temp.write("plain.txt", "content");
    const std::string link = temp / "link";
    ASSERT_EQ(symlink(regular.c_str(), link.c_str()), 0);
    alarm(30);
    const struct {
        std::string path;
        IoError expected;
    } cases[] = {
        {fifo, IoError::unsupported},
        {temp.makeFolder("folder"), IoError::accessDenied},
        {link, IoError::other},  // ELOOP: never followed
        {regular, IoError::ok},
    };
    for (const auto& c : cases) {
        FileHandle file = kNoFile;
        EXPECT_EQ(fileSystem().openRead(c.path, file), c.expected) << c.path;
        if (file == kNoFile) continue;
        EXPECT_EQ(fcntl(static_cast<int>(file), F_GETFL) & O_NONBLOCK, 0) << c.path;
        fileSystem().close(file);
    }
    std::string content;
    EXPECT_EQ(readWholeFile(fifo, content), IoError::unsupported);
    EXPECT_EQ(readWholeFile(regular, content), IoError::ok);
    EXPECT_EQ(content, "content");
    alarm(0);
}

// A confined folder "root" whose subfolder "a" was swapped for a link to an
// outside folder laid out like it.
class Confinement : public ::testing::Test {
  protected:
    Confinement() {
        temp.write("root/top.txt", "top");
        temp.write("root/a/b/f.txt", "inside");
        temp.write("outside/b/f.txt", "outside");
        outsideTree = test::listTree(temp / "outside");
    }
    void swapForLink(const std::string& folder) {
        std::filesystem::rename(temp / folder, temp / "aside");
        std::filesystem::create_directory_symlink(temp / "outside", temp / folder);
    }
    void expectOutsideUntouched() {
        EXPECT_EQ(test::listTree(temp / "outside"), outsideTree);
        EXPECT_EQ(test::readFile(temp / "outside/b/f.txt"), "outside");
        struct stat st;
        ASSERT_EQ(stat((temp / "outside/b/f.txt").c_str(), &st), 0);
        EXPECT_NE(st.st_mode & S_IWUSR, 0u);
    }

    test::TempFolder temp;
    std::string outsideTree;
};

TEST_F(Confinement, ALinkBelowTheRootLeadsNowhereForEveryCall) {
    swapForLink("root/a");
    const FolderConfinement confined(temp / "root");
    FileSystem& fs = fileSystem();
    const std::string file = temp / "root/a/b/f.txt", folder = temp / "root/a/b";
    FileHandle unconfined = kNoFile;
    ASSERT_EQ(fs.createNew(temp / "unconfined", unconfined), IoError::ok);
    const std::map<std::string, std::function<IoError()>> calls = {
        {"status", [&] { FileStatus s; return fs.status(file, s); }},
        {"openRead", [&] { FileHandle h; return fs.openRead(file, h); }},
        {"createNew", [&] { FileHandle h; return fs.createNew(folder + "/new", h); }},
        {"temporaryMark", [&] { std::string m; return fs.temporaryMark(file, m); }},
        {"unmarkTemporary", [&] { return fs.unmarkTemporary(file); }},
        {"createTemporary",
         [&] { FileHandle h; return fs.createTemporary(folder + "/.t.tmp", ".t.tmp", h); }},
        {"openAppend", [&] { FileHandle h; return fs.openAppend(file, h); }},
        {"copyPermissions", [&] { return fs.copyPermissions(file, unconfined); }},
        {"removeFile", [&] { return fs.removeFile(file); }},
        {"removeFolder", [&] { return fs.removeFolder(folder); }},
        {"createFolder", [&] { return fs.createFolder(folder + "/c"); }},
        {"rename from", [&] { return fs.rename(file, temp / "root/g.txt"); }},
        {"rename to", [&] { return fs.rename(temp / "root/top.txt", folder + "/top.txt"); }},
        {"replace", [&] { return fs.replace(temp / "root/top.txt", file); }},
        {"getAttributes", [&] { uint32_t a; return fs.getAttributes(file, a); }},
        {"setAttributes", [&] { return fs.setAttributes(file, kAttrReadOnly | kAttrHidden); }},
        {"listFolder", [&] { std::vector<FolderEntry> e; return fs.listFolder(folder, e); }},
        {"flushFolder", [&] { return fs.flushFolder(folder); }},
        {"climbing", [&] { FileStatus s; return fs.status(temp / "root/../outside/b/f.txt", s); }},
    };
    for (const auto& [name, call] : calls) EXPECT_EQ(call(), IoError::outsideFolder) << name;
    fs.close(unconfined);
    expectOutsideUntouched();
    EXPECT_EQ(test::readFile(temp / "root/top.txt"), "top");
    // The link itself is seen as what it is, never followed.
    FileStatus status;
    ASSERT_EQ(fs.status(temp / "root/a", status), IoError::ok);
    EXPECT_EQ(status.kind, EntryKind::link);
}

// The last name swapped for a link while its attributes are set (here at the
// moment the extended attribute is written, between the check of the name
// and the change of its mode): the mode of the file the link names stays.
std::string swappedName, swapTarget;
int swapWhileSetting(const char* /*path*/, const char*, const void*, size_t, int) {
    std::filesystem::rename(swappedName, swappedName + ".aside");
    std::filesystem::create_symlink(swapTarget, swappedName);
    return 0;
}

TEST_F(Confinement, ALinkSwappedInWhileAttributesAreSetIsNotFollowed) {
    const std::string outside = temp / "outside/b/f.txt";
    swappedName = temp / "root/a/b/f.txt";
    swapTarget = outside;
    const XattrCalls saved = posixXattrCalls();
    posixXattrCalls().set = &swapWhileSetting;
    IoError result;
    {
        const FolderConfinement confined(temp / "root");
        result = fileSystem().setAttributes(swappedName, kAttrReadOnly | kAttrHidden);
    }
    posixXattrCalls() = saved;
    EXPECT_NE(result, IoError::ok);
    expectOutsideUntouched();
}

TEST_F(Confinement, LinksAboveTheRootAreFollowed) {
    std::filesystem::create_directory_symlink(temp / "root", temp / "via");
    const FolderConfinement confined(temp / "via");
    FileSystem& fs = fileSystem();
    EXPECT_EQ(test::readFile(temp / "via/a/b/f.txt"), "inside");
    std::vector<FolderEntry> entries;
    ASSERT_EQ(fs.listFolder(temp / "via/a/b", entries), IoError::ok);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, "f.txt");
    ASSERT_EQ(fs.rename(temp / "via/a/b/f.txt", temp / "via/a/g.txt"), IoError::ok);
    ASSERT_EQ(fs.setAttributes(temp / "via/a/g.txt", kAttrReadOnly), IoError::ok);
    EXPECT_EQ(attributesOf(temp / "root/a/g.txt"), kAttrReadOnly);
    EXPECT_EQ(fs.flushFolder(temp / "via"), IoError::ok);
    // A folder named with a trailing separator, as a run names a file's folder.
    FileStatus status;
    ASSERT_EQ(fs.status(temp / "via/a/", status), IoError::ok);
    EXPECT_EQ(status.kind, EntryKind::folder);
    FileHandle volume = kNoFile, unconfined = kNoFile;
    const IoError expected = platformFileSystem().openVolume(temp.path(), unconfined);
    EXPECT_EQ(fs.openVolume(temp / "via/a/", volume), expected);
    for (FileHandle handle : {volume, unconfined})
        if (handle != kNoFile) fs.close(handle);
}

// A folder handle stays on the folder it was opened on: renamed and replaced
// by a link behind the run's back, the run still lands in the real folder.
// Renamed by the run itself, the name is looked up again.
TEST_F(Confinement, AHandleStaysOnItsFolder) {
    const FolderConfinement confined(temp / "root");
    FileSystem& fs = fileSystem();
    FileStatus status;
    ASSERT_EQ(fs.status(temp / "root/a/b/f.txt", status), IoError::ok);
    swapForLink("root/a");
    FileHandle file = kNoFile;
    ASSERT_EQ(fs.createNew(temp / "root/a/b/new.txt", file), IoError::ok);
    fs.close(file);
    EXPECT_EQ(test::readFile(temp / "aside/b/new.txt"), "");
    expectOutsideUntouched();

    ASSERT_EQ(fs.rename(temp / "root/a", temp / "root/gone"), IoError::ok);
    ASSERT_EQ(fs.createFolder(temp / "root/a"), IoError::ok);
    ASSERT_EQ(fs.createFolder(temp / "root/a/b"), IoError::ok);
    ASSERT_EQ(fs.createNew(temp / "root/a/b/fresh.txt", file), IoError::ok);
    fs.close(file);
    EXPECT_EQ(test::readFile(temp / "root/a/b/fresh.txt"), "");
    EXPECT_EQ(test::readFile(temp / "aside/b/fresh.txt"), "<missing>");
}

#endif

}  // namespace
}  // namespace vellumar
