// The scan as values: which names are locked folder names, a locked folder
// named as the start itself, locked folders that lost their hidden mark
// told from a person's folders whose names merely decode, a folder the walk
// cannot enter, and a cancel between two folders.

#include "folders/locked_item_scan.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <set>

#include "engine/platform/atomic_file.h"
#include "engine/formats/locked_folder_name.h"
#include "engine/formats/locked_header.h"
#include "engine/platform/paths.h"
#include "engine/platform/platform.h"
#include "engine/formats/text_shift.h"
#include "folders/folder_operations.h"
#include "locking/file_operations.h"
#include "locking/sealing_keys.h"
#include "tests/support/forwarding_file_system.h"
#include "tests/support/scripted_desktop.h"
#include "tests/support/temp_folder.h"

namespace vellumar::test {
namespace {

TEST(DecodedFolderName, OnlyANameThatEncodesBackIsALockedFolderName) {
    struct Case {
        std::string name;
        std::string plain;
    } cases[] = {
        {lockedFolderName("Photos 2024"), "Photos 2024"},
        {encodeText("Photos"), "Photos"},          // the raw form of earlier versions
        {lockedFolderName("caf\xb5"), "caf\xb5"},  // UTF-8 on disk, one byte plain
        {".cache", ""},                            // decodes to a name with a quote
        {"Documents", ""},                         // decodes to control characters
        {lockedFolderName("a:b"), ""},             // no folder has such a name
        {encodeText("."), ""},
        {"", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(decodedFolderName(c.name), c.plain);
    }
}

class Scan : public ::testing::Test {
  protected:
    // T holding a.txt and sub/b.txt, locked; then the list goes.
    std::string lockTree() {
        temp.write("T/a.txt", "a");
        temp.write("T/sub/b.txt", "b");
        EXPECT_TRUE(lockFolder(temp / "T", LockFolderOptions{}, desktop).folderDone);
        return temp / lockedFolderName("T");
    }

    TempFolder temp;
    ScriptedDesktop desktop;
};

TEST_F(Scan, TheStartMayBeALockedFolder) {
    const std::string locked = lockTree();
    ScriptedDesktop scanning;
    const ScanResult scan = scanLockedItems(locked, ScanOptions{}, scanning);
    ASSERT_EQ(scan.folders.size(), 1u);
    EXPECT_EQ(scan.folders[0].path, locked);
    EXPECT_EQ(scan.folders[0].plainPath, temp / "T");
    EXPECT_EQ(scan.folders[0].lockedFiles, 2u);
    EXPECT_TRUE(scan.folders[0].listed);
    ASSERT_EQ(scan.files.size(), 2u);
    for (const ScannedFile& file : scan.files) EXPECT_TRUE(file.inLockedFolder);
    // One progress report per folder walked: the folder itself and sub.
    EXPECT_EQ(scan.foldersWalked, 2u);
    EXPECT_EQ(scanning.progressCalls, 2);
}

TEST_F(Scan, AFolderThatCannotBeEnteredIsNamedAndACancelStopsTheWalk) {
    const std::string locked = lockTree();
    struct Unlistable final : ForwardingFileSystem {
        std::string refused;
        IoError listFolder(const std::string& p, std::vector<FolderEntry>& out) override {
            if (p == refused) return IoError::accessDenied;
            return ForwardingFileSystem::listFolder(p, out);
        }
    } disk;
    disk.refused = locked + kSeparator + "sub";
    {
        FileSystemOverride use(disk);
        const ScanResult scan = scanLockedItems(temp.path(), ScanOptions{}, desktop);
        EXPECT_EQ(scan.unsearched,
                  (std::vector<UnsearchedFolder>{{disk.refused, IoError::accessDenied}}));
        EXPECT_EQ(scan.files.size(), 1u);
        EXPECT_FALSE(scan.cancelled);
    }
    struct Cancelling final : ScriptedDesktop {
        bool cancelRequested() override { return progressCalls >= 1; }
    } cancelling;
    const ScanResult cancelled = scanLockedItems(temp.path(), ScanOptions{}, cancelling);
    EXPECT_TRUE(cancelled.cancelled);
    EXPECT_EQ(cancelled.foldersWalked, 1u);
    EXPECT_TRUE(cancelled.files.empty());
}

// Writes through the engine's file system, which can spell a locked folder's name.
void writeThrough(const std::string& path, const std::string& content) {
    AtomicFile file(path);
    ASSERT_EQ(file.open(), IoError::ok);
    ASSERT_EQ(file.write(content), IoError::ok);
    ASSERT_EQ(file.commit(), IoError::ok);
}

// Copies a tree as `cp -r` or a copy to a FAT stick does: the contents,
// without the hidden marks, and without the ".hidden" of the folder above.
void copyTree(const std::string& from, const std::string& to) {
    ASSERT_EQ(fileSystem().createFolder(to), IoError::ok);
    std::vector<FolderEntry> entries;
    ASSERT_EQ(fileSystem().listFolder(from, entries), IoError::ok);
    for (const FolderEntry& entry : entries) {
        const std::string source = from + kSeparator + entry.name;
        const std::string target = to + kSeparator + entry.name;
        if (entry.kind == EntryKind::folder) {
            copyTree(source, target);
            continue;
        }
        std::string content;
        ASSERT_EQ(readWholeFile(source, content), IoError::ok);
        writeThrough(target, content);
    }
}

// Windows keeps no ".hidden": there only a plain name with a letter tells.
#ifdef _WIN32
constexpr bool kHiddenLists = false;
#else
constexpr bool kHiddenLists = true;
#endif

class UnmarkedFolders : public Scan {
  protected:
    UnmarkedFolders() {
        setIdentityWorkFactor(10);  // identity files cheap to make and open
    }

    // Locks the folder `plain` holding `files` (relative to it, each
    // holding its own name) in a workshop, sealed with `keys` when given,
    // and copies the locked folder into `into`. Returns the copy.
    std::string lockedCopy(const std::string& into, const std::string& plain,
                           const std::vector<std::string>& files, SealingKeys* keys = nullptr) {
        const std::string work = "work" + std::to_string(++works_);
        for (const std::string& file : files) temp.write(work + "/" + plain + "/" + file, file);
        const AgeRecipient recipient = keys ? keys->recipient() : AgeRecipient();
        LockFolderOptions options;
        if (keys) options.sealFor = &recipient;
        EXPECT_TRUE(lockFolder(temp / (work + "/" + plain), options, desktop).folderDone);
        const std::string copy = into + kSeparator + lockedFolderName(plain);
        copyTree(temp / work + kSeparator + lockedFolderName(plain), copy);
        return copy;
    }

    int works_ = 0;
};

TEST_F(UnmarkedFolders, ALockedFolderThatLostItsHiddenMarkIsFoundAndNoOtherFolderIs) {
    SealingKeys keys;
    ASSERT_TRUE(turnOnSealing("pw", keys).ok());
    struct Case {
        const char* what;
        std::function<void(const std::string& at)> build;
        std::vector<std::string> found;  // plain paths, below the case's folder
        size_t lockedFiles;
    } cases[] = {
        // Its folder "sub" has a name that decodes, and holds locked files only.
        {"a copy",
         [&](const std::string& at) {
             lockedCopy(at, "Photos", {"a.txt", "sub/b.txt"});
         },
         {"Photos"},
         2},
        {"a copy of a sealed folder",
         [&](const std::string& at) { lockedCopy(at, "Sealed", {"s.txt"}, &keys); },
         {"Sealed"},
         1},
        {"a copy holding folders of locked files alone",
         [&](const std::string& at) { lockedCopy(at, "Deep", {"x/y/z.txt"}); },
         {"Deep"},
         1},
        {"a copy holding a locked folder",
         [&](const std::string& at) {
             temp.write("nest/Outer/o.txt", "o");
             temp.write("nest/Outer/In/i.txt", "i");
             ASSERT_TRUE(lockFolder(temp / "nest/Outer/In", {}, desktop).folderDone);
             ASSERT_TRUE(lockFolder(temp / "nest/Outer", {}, desktop).folderDone);
             copyTree(temp / "nest" + kSeparator + lockedFolderName("Outer"),
                      at + kSeparator + lockedFolderName("Outer"));
         },
         kHiddenLists
             ? std::vector<std::string>{"Outer", "Outer" + std::string(1, kSeparator) + "In"}
             : std::vector<std::string>{"Outer"},
         2},
        // No letter in its plain name: its record (and on Linux its
        // ".hidden" line) still tells.
        {"unhidden where it was locked",
         [&](const std::string& at) {
             temp.write(getFileName(at) + "/2024/a.txt", "a");
             ASSERT_TRUE(lockFolder(at + kSeparator + "2024", {}, desktop).folderDone);
             ASSERT_EQ(fileSystem().setAttributes(at + kSeparator + lockedFolderName("2024"),
                                                  kAttrNormal),
                       IoError::ok);
         },
         {"2024"},
         1},
        // As a person's folder "sqsu" would decode.
        {"a copy without a letter in its plain name",
         [&](const std::string& at) { lockedCopy(at, "2024", {"a.txt"}); },
         {},
         1},
        {"a copy with a plain file added",
         [&](const std::string& at) {
             writeThrough(lockedCopy(at, "Mixed", {"a.txt"}) + kSeparator + "plain.txt", "p");
         },
         {},
         1},
        {"a name that decodes, no file",
         [&](const std::string& at) {
             ASSERT_EQ(fileSystem().createFolder(at + kSeparator + lockedFolderName("Void")),
                       IoError::ok);
         },
         {},
         0},
        {"a name that decodes, a plain file",
         [&](const std::string& at) {
             const std::string folder = at + kSeparator + lockedFolderName("Plain");
             ASSERT_EQ(fileSystem().createFolder(folder), IoError::ok);
             writeThrough(folder + kSeparator + "p.txt", "p");
         },
         {},
         0},
        {"a name that decodes, a file with a marker only",
         [&](const std::string& at) {
             const std::string folder = at + kSeparator + lockedFolderName("Fake");
             ASSERT_EQ(fileSystem().createFolder(folder), IoError::ok);
             writeThrough(lockedName(folder + kSeparator + "f.txt", ".VKL"), "[Secret] no header");
         },
         {},
         0},
        // "notes" decodes to "-.3$2".
        {"a person's folder whose files were locked one by one",
         [&](const std::string& at) {
             const std::string file = temp.write(getFileName(at) + "/notes/n.txt", "n");
             ASSERT_TRUE(lockFiles({file}, LockOptions{}, nullptr, desktop).complete());
         },
         {},
         1},
    };
    int number = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string at = temp.makeFolder("case" + std::to_string(++number));
        c.build(at);
        const ScanResult scan = scanLockedItems(at, ScanOptions{}, desktop);
        std::vector<std::string> found;
        for (const ScannedFolder& folder : scan.folders)
            found.push_back(folder.plainPath.substr(at.size() + 1));
        EXPECT_EQ(found, c.found);
        EXPECT_EQ(scan.files.size(), c.lockedFiles);
        for (const ScannedFile& file : scan.files) {
            EXPECT_EQ(file.inLockedFolder, !c.found.empty()) << file.path;
            EXPECT_FALSE(file.damaged()) << file.path;
        }
    }
}

}  // namespace
}  // namespace vellumar::test
