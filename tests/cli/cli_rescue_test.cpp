// Finding and getting back locked items once the program's lists are gone:
// scan, scan --relist, rescue and unlock-folder by a locked name, in
// process, on a home whose "folders" and "files" were deleted after a tree
// of nested folders and loose files was locked; decoys beside them; and a
// rescue ended at any file-system call, then run again; copies of a locked
// folder that lost its hidden mark.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <sstream>

#include "cli/cli.h"
#include "engine/sealing/age_encoding.h"
#include "engine/platform/file_system.h"
#include "engine/formats/locked_folder_name.h"
#include "engine/formats/locked_format.h"
#include "engine/formats/locked_header.h"
#include "engine/platform/paths.h"
#include "engine/platform/platform.h"
#include "tests/app/memory_settings.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/temp_folder.h"

namespace vellumar::test {
namespace {

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

size_t occurrences(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

// Every file below a folder with its content, to compare trees byte for byte.
std::string treeWithContents(const std::string& folder) {
    std::istringstream names(listTree(folder));
    std::string all, name;
    while (std::getline(names, name)) all += name + "=" + readFile(folder + "/" + name) + "\n";
    return all;
}

class Rescue : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(run({"set-password"}, "pw\npw\n").status, 0); }

    Result run(std::vector<std::string> arguments, const std::string& input = "pw\n") {
        arguments.insert(arguments.begin(), "--password-stdin");
        std::istringstream in(input);
        std::ostringstream out, err;
        Console console{in, out, err, false, false, {}, {}};
        Result result;
        result.status = runCli(arguments, settings, console);
        result.out = out.str();
        result.err = err.str();
        return result;
    }

    // W/T holds a.txt, sub/c.txt and the folder In (d.txt), In locked
    // before T; W/L holds x.txt and big.bin, locked on their own. Then the
    // lists go. Returns the plain tree of W.
    std::string lockTreeAndLoseLists(bool large = true) {
        dir->write("W/T/a.txt", "alpha");
        dir->write("W/T/sub/c.txt", "");
        dir->write("W/T/In/d.txt", "delta\r\n");
        dir->write("W/L/x.txt", "x-ray");
        if (large) dir->write("W/L/big.bin", std::string(250000, 'b') + "end");
        const std::string plain = treeWithContents(*dir / "W");
        EXPECT_EQ(run({"lock-folder", *dir / "W/T/In"}).status, 0);
        EXPECT_EQ(run({"lock-folder", *dir / "W/T"}).status, 0);
        std::vector<std::string> loose = {"lock", *dir / "W/L/x.txt"};
        if (large) loose.push_back(*dir / "W/L/big.bin");
        EXPECT_EQ(run(loose).status, 0);
        EXPECT_TRUE(fileExists(*dir / "W" + "/" + lockedFolderName("T")));
        for (const char* list : {"folders", "files"}) shellDelete(applicationFile(list));
        return plain;
    }

    std::string lockedT() const { return *dir / "W" + "/" + lockedFolderName("T"); }

    void freshFolder() {
        dir.reset();
        dir = std::make_unique<TempFolder>();
    }

    std::unique_ptr<TempFolder> dir = std::make_unique<TempFolder>();
    MemorySettings settings;
};

TEST_F(Rescue, ScanFindsEachItemOnceRelistRestoresTheListsAndRescueBringsAllBack) {
    const std::string plain = lockTreeAndLoseLists();
    const std::string w = *dir / "W";

    Result scan = run({"scan", w, "--json"});
    EXPECT_EQ(scan.status, 0) << scan.err;
    EXPECT_EQ(occurrences(scan.out, "\n"), 7u) << scan.out;
    const std::string tFolder = "{\"kind\":\"folder\",\"path\":\"" + lockedT() +
                                "\",\"plainPath\":\"" + w +
                                "/T\",\"lockedFiles\":3,\"listed\":false}";
    const std::string inFolder =
        "\",\"plainPath\":\"" + w + "/T/In\",\"lockedFiles\":1,\"listed\":false}";
    for (const std::string& item :
         {tFolder, inFolder,
          std::string("\"plainName\":\"a.txt\",\"format\":\"small\",\"damaged\":false}"),
          std::string("\"plainName\":\"c.txt\",\"format\":\"small\""),
          std::string("\"plainName\":\"d.txt\",\"format\":\"small\""),
          std::string("\"plainName\":\"x.txt\",\"format\":\"small\""),
          std::string("\"plainName\":\"big.bin\",\"format\":\"large\",\"damaged\":false}")}) {
        EXPECT_EQ(occurrences(scan.out, item), 1u) << item << "\n" << scan.out;
    }
    EXPECT_EQ(scan.err, "2 locked folders and 5 locked files found (0 damaged).\n");

    // Twice: the second adds nothing. The folders it lists show as listed.
    Result relist = run({"scan", w, "--relist"});
    EXPECT_EQ(relist.status, 0) << relist.err;
    EXPECT_EQ(relist.err,
              "2 locked folders and 5 locked files found (0 damaged).\n"
              "2 folders added to \"folders\", 1 file added to \"files\".\n");
    EXPECT_EQ(occurrences(relist.out, "\tlisted\n"), 2u) << relist.out;
    EXPECT_EQ(occurrences(relist.out, "not listed"), 0u) << relist.out;
    Result again = run({"scan", w, "--relist"});
    EXPECT_NE(again.err.find("0 folders added to \"folders\", 0 files added to \"files\"."),
              std::string::npos);
    EXPECT_EQ(run({"folders"}).out, w + "/T\n" + w + "/T/In\n");
    EXPECT_EQ(readFile(applicationFile("files")),
              getFolderPart(lockedName(w + "/L/x.txt", ".VKL")) +
                  getFileName(lockedName(w + "/L/x.txt", ".VKL")) + "\r\n");
    EXPECT_EQ(occurrences(run({"scan", w}).out, "\tlisted\n"), 2u);

    Result rescue = run({"rescue", w});
    EXPECT_EQ(rescue.status, 0) << rescue.err;
    EXPECT_EQ(treeWithContents(w), plain);
    EXPECT_EQ(run({"folders"}).out, "");
    EXPECT_EQ(run({"scan", w}).out, "");
}

// A file that only starts like a locked one, a hidden folder whose name
// does not decode, a link to a locked folder elsewhere: none is taken for
// a locked item, none is changed. A locked file cut short is listed as
// damaged and left as it is.
TEST_F(Rescue, DecoysAreLeftAloneAndADamagedFileIsNamed) {
    lockTreeAndLoseLists(false);
    const std::string d = *dir / "D";
    dir->write("D/notes.txt", "[Secret] not a locked file");
    dir->write("D/" + getFileName(lockedName(d + "/fake.txt", ".VKL")), "[Secret] no header here");
    const std::string hidden = dir->makeFolder("D/plain");
    dir->write("D/plain/inside.txt", "kept");
    ASSERT_EQ(fileSystem().setAttributes(hidden, kAttrHidden), IoError::ok);
    ASSERT_EQ(symlink(lockedT().c_str(), (d + "/link").c_str()), 0);
    // A locked folder below a line break, holding a locked file: no line
    // of "folders" can name it, so it is left as it is.
    const std::string broken = dir->makeFolder("D/two\nlines/" + lockedFolderName("S"));
    const std::string brokenPlain = *dir / "D/two\nlines/S";
    dir->write("in.txt", "in");
    const std::string inBroken = lockedName(broken + "/in.txt", ".VKL");
    ASSERT_EQ(run({"lock", *dir / "in.txt"}).status, 0);
    ASSERT_EQ(std::rename(lockedName(*dir / "in.txt", ".VKL").c_str(), inBroken.c_str()), 0);
    ASSERT_EQ(fileSystem().setAttributes(broken, kAttrHidden), IoError::ok);
    // A locked file cut short inside its body.
    const std::string lockedX = lockedName(*dir / "W/L/x.txt", ".VKL");
    const std::string cut = lockedName(d + "/cut.txt", ".VKL");
    dir->write("D/" + getFileName(cut), readFile(lockedX).substr(0, 27) + "\r");
    const std::string before = treeWithContents(d);

    Result scan = run({"scan", d});
    EXPECT_EQ(scan.status, 0) << scan.err;
    EXPECT_EQ(scan.out, "folder\t" + broken + "\t" + brokenPlain + "\t1 locked file\tnot listed\n" +
                            "damaged file\t" + cut + "\tcut.txt\tsmall\t" +
                            describeFault(FormatFault::lineEnd) + "\n" + "file\t" + inBroken +
                            "\tin.txt\tsmall\n");
    const std::string lists =
        readFile(applicationFile("folders")) + readFile(applicationFile("files"));
    Result rescue = run({"rescue", d});
    EXPECT_EQ(rescue.status, 1);
    EXPECT_EQ(rescue.err,
              brokenPlain +
                  ": left locked, as it could not be added to the list of encrypted "
                  "folders (" +
                  applicationFile("folders") + ": " + describe(IoError::other) + ")\n" + cut +
                  ": left locked, it cannot be unlocked: " + describeFault(FormatFault::lineEnd) +
                  "\n0 of 1 folder and 0 of 1 loose file unlocked.\n");
    EXPECT_EQ(readFile(applicationFile("folders")) + readFile(applicationFile("files")), lists);
    EXPECT_EQ(treeWithContents(d), before);
    EXPECT_TRUE(fileExists(lockedT()));

    // Relisting cannot name that folder either, and says so instead of succeeding.
    Result relist = run({"scan", d, "--relist"});
    EXPECT_EQ(relist.status, 1);
    EXPECT_EQ(relist.out, scan.out);
    EXPECT_NE(relist.err.find(brokenPlain + ": left off the lists, as its path holds a line break\n"
                                            "0 folders added"),
              std::string::npos)
        << relist.err;
    EXPECT_EQ(readFile(applicationFile("folders")) + readFile(applicationFile("files")), lists);
}

// A folder the person hid, holding a file locked on its own, is no locked
// folder: the rescue unlocks the file and leaves the folder as it was.
TEST_F(Rescue, APersonsHiddenFolderStaysAsItWas) {
    const std::string own = dir->makeFolder("P/Private");
    dir->write("P/Private/x.txt", "mine");
    ASSERT_EQ(run({"lock", own + "/x.txt"}).status, 0);
    // Hidden and read-only as a Windows client of a share marks it: in the
    // record alone, the folder's permissions untouched (a normal user could
    // not rename inside a folder without write permission).
    ASSERT_EQ(setxattr(own.c_str(), "user.DOSATTRIB", "0x3", 3, 0), 0) << std::strerror(errno);
    shellDelete(applicationFile("files"));

    Result scan = run({"scan", *dir / "P", "--relist"});
    EXPECT_EQ(scan.status, 0) << scan.err;
    EXPECT_EQ(scan.out, "file\t" + lockedName(own + "/x.txt", ".VKL") + "\tx.txt\tsmall\n");
    EXPECT_FALSE(fileExists(applicationFile("folders")));
    Result rescue = run({"rescue", *dir / "P"});
    EXPECT_EQ(rescue.status, 0) << rescue.err;
    EXPECT_EQ(readFile(own + "/x.txt"), "mine");
    uint32_t attributes = 0;
    ASSERT_EQ(fileSystem().getAttributes(own, attributes), IoError::ok);
    EXPECT_EQ(attributes & (kAttrHidden | kAttrReadOnly), kAttrHidden | kAttrReadOnly);
    EXPECT_FALSE(fileExists(applicationFile("folders")));
}

TEST_F(Rescue, UnlockFolderTakesALockedFolderByItsNameOnDisk) {
    const std::string plain = lockTreeAndLoseLists(false);
    const std::string w = *dir / "W";
    const std::string lockedIn = lockedT() + "/" + lockedFolderName("In");
    // Inside a locked folder, the inner one comes back under the outer's locked name.
    Result inner = run({"unlock-folder", lockedIn});
    EXPECT_EQ(inner.status, 0) << inner.err;
    EXPECT_EQ(readFile(lockedT() + "/In/d.txt"), "delta\r\n");
    Result outer = run({"unlock-folder", lockedT()});
    EXPECT_EQ(outer.status, 0) << outer.err;
    EXPECT_EQ(run({"folders"}).out, "");
    // A plain folder that is not listed is still refused.
    Result plainFolder = run({"unlock-folder", w + "/L"});
    EXPECT_EQ(plainFolder.status, 1);
    EXPECT_NE(plainFolder.err.find("not one of the encrypted folders"), std::string::npos);
}

// Copies of a locked folder as `cp -r` makes them (no hidden mark, no line
// in the ".hidden" above; the inner locked folder keeps the one its folder
// holds): rescue brings each back, and so does unlock-folder, by the locked
// name or by the plain name once scan --relist has listed it.
TEST_F(Rescue, ACopyThatLostItsHiddenMarkComesBack) {
    // The plain tree of W but for the loose file beside T.
    std::string plainT = lockTreeAndLoseLists(false);
    for (const std::string line : {"L=\n", "L/x.txt=x-ray\n"}) {
        ASSERT_NE(plainT.find(line), std::string::npos) << plainT;
        plainT.erase(plainT.find(line), line.size());
    }
    auto copyOfT = [&](const std::string& into) {
        const std::string copy = dir->makeFolder(into) + "/" + lockedFolderName("T");
        std::filesystem::copy(lockedT(), copy, std::filesystem::copy_options::recursive);
        uint32_t attributes = kAttrHidden;
        EXPECT_EQ(fileSystem().getAttributes(copy, attributes), IoError::ok);
        EXPECT_EQ(attributes & kAttrHidden, 0u);
        return copy;
    };
    const std::string rescued = *dir / "R", byLockedName = *dir / "U", relisted = *dir / "S";
    copyOfT("R");
    const std::string copyU = copyOfT("U");
    copyOfT("S");

    Result scan = run({"scan", rescued});
    EXPECT_EQ(scan.err, "2 locked folders and 3 locked files found (0 damaged).\n");
    Result rescue = run({"rescue", rescued});
    EXPECT_EQ(rescue.status, 0) << rescue.err;
    EXPECT_EQ(rescue.err, "2 of 2 folders and 0 of 0 loose files unlocked.\n");
    EXPECT_EQ(treeWithContents(rescued), plainT);

    Result outer = run({"unlock-folder", copyU});
    EXPECT_EQ(outer.status, 0) << outer.err;
    // The inner one, its files unlocked with the outer's, is listed by its plain path.
    Result inner = run({"unlock-folder", byLockedName + "/T/In"});
    EXPECT_EQ(inner.status, 0) << inner.err;
    EXPECT_EQ(treeWithContents(byLockedName), plainT);

    EXPECT_EQ(run({"scan", relisted, "--relist"}).status, 0);
    EXPECT_EQ(run({"folders"}).out, relisted + "/T\n" + relisted + "/T/In\n");
    for (const char* folder : {"/T", "/T/In"}) {
        Result unlock = run({"unlock-folder", relisted + folder});
        EXPECT_EQ(unlock.status, 0) << folder << "\n" << unlock.err;
    }
    EXPECT_EQ(treeWithContents(relisted), plainT);
    EXPECT_EQ(run({"folders"}).out, "");
}

// The value of `"key":"..."` in one line of JSON output; empty when absent.
std::string jsonField(const std::string& line, const std::string& key) {
    const std::string start = "\"" + key + "\":\"";
    const size_t at = line.find(start);
    if (at == std::string::npos) return {};
    const size_t from = at + start.size();
    return line.substr(from, line.find('"', from) - from);
}

std::string lineWith(const std::string& text, const std::string& part) {
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line))
        if (line.find(part) != std::string::npos) return line;
    return {};
}

std::string fromPaddedBase64(std::string text) {
    while (!text.empty() && text.back() == '=') text.pop_back();
    std::string bytes;
    EXPECT_TRUE(decodeBase64(text, bytes)) << text;
    return bytes;
}

// Names that are no UTF-8 (byte 0xFF): the JSON stays valid UTF-8, showing
// U+FFFD for the byte, and "..._bytes" gives the exact name back; names that
// are UTF-8 carry no such field.
TEST_F(Rescue, ScanJsonGivesNamesThatAreNoUtf8Back) {
    const std::string w = *dir / "W";
    const std::string odd = w + "/\xff";
    const std::string shown = w + "/\xEF\xBF\xBD";
    dir->write("W/\xff/n\xffme.txt", "one");
    dir->write("W/\xff/F/a.txt", "two");
    dir->write("W/G/b.txt", "three");
    ASSERT_EQ(run({"lock", odd + "/n\xffme.txt"}).status, 0);
    ASSERT_EQ(run({"lock-folder", odd + "/F"}).status, 0);
    ASSERT_EQ(run({"lock-folder", w + "/G"}).status, 0);

    Result scan = run({"scan", w, "--json"});
    ASSERT_EQ(scan.status, 0) << scan.err;
    EXPECT_EQ(scan.out.find('\xff'), std::string::npos) << scan.out;

    const std::string file = lineWith(scan.out, "\"plainName\":\"n");
    EXPECT_EQ(jsonField(file, "plainName"), "n\xEF\xBF\xBDme.txt");
    EXPECT_EQ(jsonField(file, "plainName_bytes"), "bv9tZS50eHQ=");
    EXPECT_EQ(jsonField(file, "path").rfind(shown + "/", 0), 0u) << file;
    EXPECT_EQ(fromPaddedBase64(jsonField(file, "path_bytes")),
              lockedName(odd + "/n\xffme.txt", ".VKL"));

    const std::string folder = lineWith(scan.out, "\"plainPath\":\"" + shown + "/F\"");
    EXPECT_EQ(fromPaddedBase64(jsonField(folder, "plainPath_bytes")), odd + "/F");
    EXPECT_EQ(fromPaddedBase64(jsonField(folder, "path_bytes")), odd + "/" + lockedFolderName("F"));

    // A folder and a file whose names are UTF-8 throughout: no "_bytes".
    const std::string plainFolder = lineWith(scan.out, "\"plainPath\":\"" + w + "/G\"");
    const std::string plainFile = lineWith(scan.out, "\"plainName\":\"b.txt\"");
    for (const std::string& line : {plainFolder, plainFile}) {
        EXPECT_FALSE(line.empty()) << scan.out;
        EXPECT_EQ(line.find("_bytes"), std::string::npos) << line;
    }
}

TEST_F(Rescue, OptionsBelongToTheScanCommands) {
    EXPECT_EQ(run({"folders", "--json"}).status, 2);
    EXPECT_EQ(run({"rescue", dir->path(), "--relist"}).status, 2);
    Result missing = run({"scan", *dir / "none"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, *dir / "none" +
                               ": there is no folder there\n"
                               "0 locked folders and 0 locked files found (0 damaged).\n");
}

// A rescue ended (as by SIGKILL) at any call of the file system, then run
// again: everything is back, byte for byte, and no folder stays listed.
TEST_F(Rescue, ARescueEndedAtAnyCallIsFinishedByASecondOne) {
    const std::string plain = lockTreeAndLoseLists(false);
    FaultyFileSystem counting;
    {
        FileSystemOverride use(counting);
        EXPECT_EQ(run({"rescue", *dir / "W"}).status, 0);
    }
    const int calls = counting.calls();
    EXPECT_EQ(treeWithContents(*dir / "W"), plain);
    ASSERT_GT(calls, 50);
    for (int n = 1; n <= calls; ++n) {
        SCOPED_TRACE(testing::Message() << "ended at call " << n);
        freshFolder();
        ASSERT_EQ(lockTreeAndLoseLists(false), plain);
        const pid_t child = fork();
        if (child == 0) {
            FaultyFileSystem faulty;
            faulty.crashAt(n);
            FileSystemOverride use(faulty);
            run({"rescue", *dir / "W"});
            _exit(0);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 42);
        Result second = run({"rescue", *dir / "W"});
        EXPECT_EQ(second.status, 0) << second.err;
        EXPECT_EQ(treeWithContents(*dir / "W"), plain);
        EXPECT_EQ(run({"folders"}).out, "");
    }
}

}  // namespace
}  // namespace vellumar::test
