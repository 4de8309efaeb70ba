// "Encrypt a Folder" and "Decrypt a Folder" from end to end, as the window
// walks them: the chooser, the search, the encrypted-folders window and the
// run button, on real trees.

#include <gtest/gtest.h>

#include <filesystem>

#include "engine/formats/locked_header.h"
#include "engine/formats/locked_folder_name.h"
#include "engine/formats/locked_kind.h"
#include "app/run_button.h"
#include "app/encrypted_folders.h"
#include "app/folder_chooser.h"
#include "folders/folder_lists.h"
#include "app/file_run_handlers.h"
#include "tests/locking/run_fixture.h"

namespace vellumar::test {
namespace {

using Lines = std::vector<std::string>;

const Shown kEncrypted{"Encryption Completed Successfully", Icon::information, "Vellumar"};
const Shown kDecrypted{"Decryption Completed Successfully", Icon::information, "Vellumar"};

class RoundTrip : public Runs {
  protected:
    // The chooser given `folder`, then the run button.
    void encrypt(const std::string& folder) {
        model = WindowModel();
        openTargetPage(model, Option::OptEncFolder);
        model.runButtonEnabled = false;
        desktop.messages.clear();
        desktop.folderAnswers.push_back(folder);
        Folder_Encrypt(model, desktop);
        ASSERT_TRUE(model.runButtonEnabled) << folder;
        cmdEncDec_Click(model, desktop);
    }
    // The encrypted-folders window with the row of `folder` ticked, then the
    // run button when the window prepared the folder.
    void decrypt(const std::string& folder) {
        model = WindowModel();
        openTargetPage(model, Option::OptDecFolder);
        model.runButtonEnabled = false;
        desktop.messages.clear();
        EncryptedFolders window(model, desktop);
        window.Form_Load();
        for (ListRow& row : window.lstDecrypt) row.checked = row.path == folder;
        window.cmdDecrypt_Click();
        if (model.runButtonEnabled) cmdEncDec_Click(model, desktop);
    }
    static std::string lockedFolder(const std::string& plain) {
        std::string name = plain;
        std::string parent;
        splitFolderPath(name, parent);
        return parent + lockedFolderName(name);
    }
    Lines records() {
        Lines lines;
        readFolderLines(lines);
        return lines;
    }
};

TEST_F(RoundTrip, ATreeComesBackAsItWas) {
    namespace fs = std::filesystem;
    struct File {
        std::string relative, content;
        uint32_t attributes;
        const char* lockedAs;
    };
    const std::vector<File> files = {
        {"T/top.txt", "top", kAttrNormal, ".VKL"},
        {"T/hidden.txt", "hidden", kAttrHidden, ".VKL"},
        {"T/big.bin", patternBytes(200000, 3), kAttrNormal, ".VKW"},
        {"T/N1/N2/deep.txt", patternBytes(1000, 4), kAttrHidden | kAttrReadOnly, ".VKL"},
        {"T/N1/side.txt", "", kAttrNormal, ".VKL"},
    };
    for (const File& file : files) {
        temp.write(file.relative, file.content);
        ASSERT_EQ(fileSystem().setAttributes(temp / file.relative, file.attributes), IoError::ok);
    }
    temp.makeFolder("T/empty");
    ASSERT_EQ(fileSystem().setAttributes(temp / "T/N1", kAttrHidden), IoError::ok);
    const std::string target = temp.write("outside/target.txt", "target");
#ifndef _WIN32
    fs::create_symlink(target, temp / "T/link");
#endif
    const std::string plain = temp / "T";
    const std::string locked = lockedFolder(plain);
    const std::string tree = listTree(plain);

    encrypt(plain);
    EXPECT_EQ(desktop.messages, std::vector<Shown>{kEncrypted});
    EXPECT_FALSE(fileExists(plain));
    EXPECT_EQ(attributesOf(locked) & ~kAttrArchive, kAttrDirectory | kAttrHidden);
    for (const File& file : files) {
        const std::string inLocked = locked + (temp / file.relative).substr(plain.size());
        EXPECT_FALSE(fileExists(inLocked)) << file.relative;
        EXPECT_TRUE(startsWithLockedMarker(lockedName(inLocked, file.lockedAs))) << file.relative;
    }
    EXPECT_TRUE(fileExists(locked + kSeparator + "empty"));
    EXPECT_EQ(records(), Lines{plain});

    decrypt(plain);
    EXPECT_EQ(desktop.messages, std::vector<Shown>{kDecrypted});
    EXPECT_EQ(listTree(plain), tree);
    EXPECT_FALSE(fileExists(locked));
    EXPECT_EQ(attributesOf(plain) & ~kAttrArchive, kAttrDirectory);
    EXPECT_EQ(attributesOf(temp / "T/N1") & ~kAttrArchive, kAttrDirectory | kAttrHidden);
    for (const File& file : files) {
        EXPECT_TRUE(readFile(temp / file.relative) == file.content) << file.relative;
#ifdef _WIN32
        // Windows carries a file's date through the round trip, not its
        // attributes: it comes back with those of a new file.
        EXPECT_EQ(attributesOf(temp / file.relative), fileAttributesAfterSetting(kAttrNormal))
            << file.relative;
#else
        // The locked file carries the plain file's own attributes, and the
        // unlock gives them back.
        EXPECT_EQ(attributesOf(temp / file.relative), file.attributes) << file.relative;
#endif
    }
#ifndef _WIN32
    EXPECT_EQ(fs::read_symlink(temp / "T/link"), target);
#endif
    EXPECT_EQ(readFile(target), "target");
    EXPECT_EQ(records(), Lines{});
    EXPECT_EQ(listTree(temp.home()), "folders\n");
}

TEST_F(RoundTrip, AFolderInsideAnotherLockedFolderWaitsForTheOutsideOne) {
    const std::string outer = temp / "D/A";
    const std::string inner = temp / "D/A/B";
    temp.write("D/A/a.txt", "a");
    temp.write("D/A/B/b.txt", "b");
    const std::string tree = listTree(outer);
    encrypt(inner);
    encrypt(outer);
    EXPECT_EQ(records(), (Lines{inner, outer}));

    decrypt(inner);
    EXPECT_EQ(desktop.messages,
              (std::vector<Shown>{{"This Folder Is Inside Another Locked Folder\rPlease Unlock "
                                   "The Outside Folder First\rAnd Then Unlock This Folder",
                                   Icon::critical, "Vellumar"}}));
    EXPECT_EQ(records(), (Lines{inner, outer}));

    decrypt(outer);
    decrypt(inner);
    EXPECT_EQ(desktop.messages, std::vector<Shown>{kDecrypted});
    EXPECT_EQ(listTree(outer), tree);
    EXPECT_EQ(readFile(temp / "D/A/a.txt"), "a");
    EXPECT_EQ(readFile(temp / "D/A/B/b.txt"), "b");
    EXPECT_EQ(records(), Lines{});
}

}  // namespace
}  // namespace vellumar::test
