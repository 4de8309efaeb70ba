// Sealed folders: a folder sealed whole comes back byte for byte and loses
// the copy of the key it carried; on a fresh home (no key, no lists) it opens with the
// password alone, and not with another; the scan tells sealed files and
// folders and never takes the key for an item; rescue unseals them.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "engine/platform/atomic_file.h"
#include "engine/formats/locked_folder_name.h"
#include "engine/sealing/sealed_identity.h"
#include "engine/sealing/sealed_lock.h"
#include "folders/folder_operations.h"
#include "folders/folder_search.h"
#include "folders/folder_state.h"
#include "folders/locked_item_rescue.h"
#include "folders/locked_item_scan.h"
#include "locking/sealing_keys.h"
#include "tests/engine/formats/lock_fixture.h"
#include "tests/support/file_attributes.h"

namespace vellumar::test {
namespace {

// Every sealed file below a folder. Through the engine's file system: a
// locked folder's name is bytes that only it spells alike on every platform.
size_t sealedBelow(const std::string& folder) {
    std::vector<FolderEntry> entries;
    platformFileSystem().listFolder(folder, entries);
    size_t count = 0;
    for (const FolderEntry& entry : entries) {
        const std::string path = addBackslash(folder) + entry.name;
        if (entry.kind == EntryKind::folder) count += sealedBelow(path);
        if (entry.kind == EntryKind::file) count += hasSealedExtension(entry.name);
    }
    return count;
}

// Writes through the engine's file system, which can spell a locked folder's name.
void writeThrough(const std::string& path, const std::string& content) {
    AtomicFile file(path);
    ASSERT_EQ(file.open(), IoError::ok);
    ASSERT_EQ(file.write(content), IoError::ok);
    ASSERT_EQ(file.commit(), IoError::ok);
}

class SealedFolders : public ::testing::Test {
  protected:
    SealedFolders() {
        setIdentityWorkFactor(10);  // identity files cheap to make and open
    }
    // T with a small, an empty and a large file, one folder down.
    std::string makeTree(const TempFolder& where) {
        where.write("T/a.txt", "a");
        where.write("T/empty", "");
        where.write("T/deep/big.bin", patternBytes(300000, 9));
        return where / "T";
    }
    FolderRunResult seal(const std::string& folder) {
        const AgeRecipient recipient = keys.recipient();
        LockFolderOptions options;
        options.sealFor = &recipient;
        return lockFolder(folder, options, desktop);
    }
    FolderRunResult unseal(const std::string& folder, const SealingKeys& with) {
        FolderRunOptions options;
        options.keys = &with;
        return unlockFolder(folder, options, desktop);
    }

    TempFolder temp;
    ScriptedDesktop desktop;
    SealingKeys keys;
};

TEST_F(SealedFolders, AFolderComesBackWholeAndLosesTheKeyItCarried) {
    ASSERT_TRUE(turnOnSealing("pw", keys).ok());
    const std::string folder = makeTree(temp);
    const std::string before = listTree(folder);
    const FolderRunResult locked = seal(folder);
    ASSERT_TRUE(locked.folderDone) << static_cast<int>(locked.problem);
    const std::string lockedPath = temp / lockedFolderName("T");
    EXPECT_EQ(sealedBelow(lockedPath), 3u);
    const std::string key = lockedPath + kSeparator + kFolderIdentityName;
    ASSERT_TRUE(fileExists(key));
    EXPECT_EQ(readFile(key), readFile(identityFilePath()));

    const FolderRunResult unlocked = unseal(folder, keys);
    ASSERT_TRUE(unlocked.folderDone) << static_cast<int>(unlocked.problem);
    EXPECT_EQ(listTree(folder), before);
    EXPECT_TRUE(readFile(folder + "/deep/big.bin") == patternBytes(300000, 9));
}

TEST_F(SealedFolders, CopiedToAFreshHomeItOpensWithThePasswordAlone) {
    ASSERT_TRUE(turnOnSealing("pw", keys).ok());
    const std::string before = listTree(makeTree(temp));
    ASSERT_TRUE(seal(temp / "T").folderDone);

    // Another machine: a home of its own, with no key and no lists. Where
    // the folder lies makes no difference to it.
    TempFolder other;
    ASSERT_FALSE(fileExists(identityFilePath()));
    std::string plain;
    ASSERT_EQ(adoptLockedFolder(temp / lockedFolderName("T"), plain), IoError::ok);
    ASSERT_EQ(plain, temp / "T");

    // A wrong password opens none of its files: the folder stays exactly as
    // it was, locked name, hidden mark and record.
    const std::string lockedPath = temp / lockedFolderName("T");
    const std::string standing = listTree(temp.path());
    SealingKeys wrong;
    wrong.password = "not it";
    const FolderRunResult refused = unseal(plain, wrong);
    EXPECT_FALSE(refused.folderDone);
    EXPECT_EQ(refused.problem, FolderProblem::noneOpens);
    EXPECT_EQ(refused.folderKey.error, AgeError::wrongPassword);
    EXPECT_FALSE(refused.filesRun);
    EXPECT_EQ(listTree(temp.path()), standing);
    uint32_t attributes = kAttrNormal;
    ASSERT_EQ(platformFileSystem().getAttributes(lockedPath, attributes), IoError::ok);
    EXPECT_NE(attributes & kAttrHidden, 0u);
    EXPECT_TRUE(isRecordedFolder(plain));

    SealingKeys passwordOnly;
    passwordOnly.password = "pw";
    const FolderRunResult opened = unseal(plain, passwordOnly);
    ASSERT_TRUE(opened.folderDone) << static_cast<int>(opened.problem);
    EXPECT_EQ(listTree(temp / "T"), before);
}

// Anyone may plant a copy of a key in a folder. It is opened only when the
// keys at hand leave its sealed files shut, and never when it asks for more
// work than the program's own copies, whatever the password.
TEST_F(SealedFolders, TheCopyOfTheKeyIsOpenedOnlyWhenNeededAndWithinTheProgramsWork) {
    ASSERT_TRUE(turnOnSealing("pw", keys).ok());
    makeTree(temp);
    ASSERT_TRUE(seal(temp / "T").folderDone);
    const std::string lockedPath = temp / lockedFolderName("T");
    const std::string copy = lockedPath + kSeparator + kFolderIdentityName;
    auto plant = [&copy](const std::string& bytes) {
        platformFileSystem().setAttributes(copy, kAttrNormal);
        ASSERT_EQ(platformFileSystem().removeFile(copy), IoError::ok);
        writeThrough(copy, bytes);
        platformFileSystem().setAttributes(copy, kAttrHidden | kAttrReadOnly);
    };

    // A copy of another key, under another password: the own key opens
    // every file, so the copy is never tried.
    const std::string stranger = temp / "stranger.age";
    ASSERT_TRUE(writeIdentityFile(stranger, AgeIdentity::generate(), "theirs", 10).ok());
    plant(readFile(stranger));
    const FolderRunResult own = unseal(temp / "T", keys);
    EXPECT_TRUE(own.folderKey.ok()) << describe(own.folderKey.error);
    ASSERT_TRUE(own.folderDone) << static_cast<int>(own.problem);

    // Sealed again, then on a fresh home with the password alone: a copy
    // asking for 2^19 is refused before any work, named as the copy's fault.
    ASSERT_TRUE(seal(temp / "T").folderDone);
    std::string costly = readFile(copy);
    const size_t factor = costly.find(" 10\n");
    ASSERT_NE(factor, std::string::npos);
    costly.replace(factor, 4, " 19\n");
    plant(costly);
    TempFolder other;
    std::string plain;
    ASSERT_EQ(adoptLockedFolder(lockedPath, plain), IoError::ok);
    const std::string standing = listTree(temp.path());
    SealingKeys passwordOnly;
    passwordOnly.password = "pw";
    const FolderRunResult refused = unseal(plain, passwordOnly);
    EXPECT_EQ(refused.folderKey.error, AgeError::tooCostly);
    EXPECT_EQ(refused.problem, FolderProblem::noneOpens);
    EXPECT_EQ(listTree(temp.path()), standing);
}

TEST_F(SealedFolders, TheScanTellsSealedItemsAndRescueUnsealsThem) {
    ASSERT_TRUE(turnOnSealing("pw", keys).ok());
    makeTree(temp);
    ASSERT_TRUE(seal(temp / "T").folderDone);
    const std::string loose = temp.write("loose/notes.txt", "notes");
    const AgeRecipient recipient = keys.recipient();
    LockOptions options;
    options.sealFor = &recipient;
    ASSERT_TRUE(lockFiles({loose}, options, nullptr, desktop).complete());
    temp.write("loose/fake.VKS", "not sealed at all");
    temp.write("loose/cut.VKS", "age-encryption.org/v1\n");

    const ScanResult scan = scanLockedItems(temp.path(), {}, desktop);
    ASSERT_EQ(scan.folders.size(), 1u);
    EXPECT_EQ(scan.folders[0].lockedFiles, 3u);
    size_t sealedLoose = 0, damaged = 0;
    for (const ScannedFile& file : scan.files) {
        EXPECT_EQ(file.format, LockedFileFormat::sealed) << file.path;
        EXPECT_NE(getFileName(file.path), kFolderIdentityName);
        if (!file.inLockedFolder) (file.damaged() ? damaged : sealedLoose) += 1;
    }
    EXPECT_EQ(sealedLoose, 1u);
    EXPECT_EQ(damaged, 1u);  // cut.VKS; fake.VKS is no sealed file at all

    const RescueResult rescue = rescueLockedItems(temp.path(), scan, desktop, &keys);
    EXPECT_TRUE(rescue.folders.at(0).folderDone);
    EXPECT_TRUE(rescue.files.complete());
    EXPECT_EQ(readFile(loose), "notes");
    EXPECT_EQ(readFile(temp / "T/a.txt"), "a");
}

TEST_F(SealedFolders, AKeyThatCannotBePlacedLeavesTheFolderAsItWas) {
    ASSERT_TRUE(turnOnSealing("pw", keys).ok());
    const std::string folder = makeTree(temp);
    const std::string before = listTree(folder);
    // The identity file went missing after the gate opened it.
    fileSystem().setAttributes(identityFilePath(), kAttrNormal);
    ASSERT_EQ(fileSystem().removeFile(identityFilePath()), IoError::ok);

    const FolderRunResult result = seal(folder);
    EXPECT_FALSE(result.folderDone);
    EXPECT_EQ(result.problem, FolderProblem::keyNotPlaced);
    EXPECT_EQ(result.error, IoError::notFound);
    EXPECT_FALSE(result.filesRun);
    EXPECT_FALSE(result.listed);
    EXPECT_FALSE(isRecordedFolder(folder));
    EXPECT_EQ(listTree(folder), before);
}

// Only the program's copy of the key is its own: a person's file of that
// name is locked and unlocked like any other, in the root or below, and
// one in the root keeps a sealing run from claiming a copy it never placed.
TEST_F(SealedFolders, APersonsFileNamedLikeTheKeyIsLockedLikeAnyOther) {
    ASSERT_TRUE(turnOnSealing("pw", keys).ok());
    const std::string folder = makeTree(temp);
    const std::string rootFile = temp.write("T/" + kFolderIdentityName, "my notes");
    const std::string deepFile = temp.write("T/deep/" + kFolderIdentityName, "age-like");
    const std::string before = listTree(folder);

    const FolderRunResult refused = seal(folder);
    EXPECT_EQ(refused.problem, FolderProblem::keyNotPlaced);
    EXPECT_EQ(refused.error, IoError::exists);
    EXPECT_FALSE(refused.filesRun);
    EXPECT_EQ(listTree(folder), before);

    // The compatible formats need no key: both files are locked, and come back.
    FolderRunResult locked = lockFolder(folder, LockFolderOptions{}, desktop);
    ASSERT_TRUE(locked.folderDone);
    EXPECT_EQ(locked.files.count(ItemStatus::done), 5u);
    ASSERT_TRUE(unseal(folder, keys).folderDone);
    EXPECT_EQ(readFile(rootFile), "my notes");
    EXPECT_EQ(readFile(deepFile), "age-like");
}

TEST_F(SealedFolders, TheSearchLeavesOutTheKeyAndUnlockLeavesOutFilesThatOnlyLookSealed) {
    ASSERT_TRUE(turnOnSealing("pw", keys).ok());
    makeTree(temp);
    ASSERT_TRUE(seal(temp / "T").folderDone);
    const std::string lockedPath = temp / lockedFolderName("T");
    const FoundFiles found = findFilesBelow(lockedPath, desktop);
    EXPECT_EQ(found.files.size(), 3u);
    EXPECT_EQ(found.startFiles, 2u);  // a.txt and empty; the key is no file of the folder's
    for (const std::string& file : found.files)
        EXPECT_FALSE(isFolderIdentityName(getFileName(file))) << file;

    // A person's files that merely carry the marker: neither is unsealed,
    // and neither keeps the folder from opening.
    const std::string own = lockedPath + kSeparator + "own.VKS";
    const std::string empty = lockedPath + kSeparator + "deep" + kSeparator + "empty.vks";
    writeThrough(own, "my own notes");
    writeThrough(empty, "");
    const FolderRunResult opened = unseal(temp / "T", keys);
    ASSERT_TRUE(opened.folderDone) << static_cast<int>(opened.problem);
    EXPECT_EQ(opened.files.items.size(), 3u);
    EXPECT_EQ(readFile(temp / "T/own.VKS"), "my own notes");
    EXPECT_TRUE(fileExists(temp / "T/deep/empty.vks"));
    EXPECT_FALSE(fileExists(temp / "T" + kSeparator + kFolderIdentityName));
}

TEST_F(SealedFolders, RescueWithoutKeysLeavesSealedFilesAsTheyAre) {
    ASSERT_TRUE(turnOnSealing("pw", keys).ok());
    const std::string loose = temp.write("loose/notes.txt", "notes");
    const AgeRecipient recipient = keys.recipient();
    LockOptions options;
    options.sealFor = &recipient;
    ASSERT_TRUE(lockFiles({loose}, options, nullptr, desktop).complete());

    const ScanResult scan = scanLockedItems(temp.path(), {}, desktop);
    ASSERT_EQ(scan.files.size(), 1u);
    const std::string sealedPath = scan.files[0].path;
    const std::string before = readFile(sealedPath);
    const RescueResult rescue = rescueLockedItems(temp.path(), scan, desktop, nullptr);
    EXPECT_FALSE(rescue.complete());
    ASSERT_EQ(rescue.files.items.size(), 1u);
    EXPECT_EQ(rescue.files.items[0].file.problem, FileProblem::noIdentity);
    EXPECT_EQ(readFile(sealedPath), before);
    EXPECT_FALSE(fileExists(loose));
}

}  // namespace
}  // namespace vellumar::test
