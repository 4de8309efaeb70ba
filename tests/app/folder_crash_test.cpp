// "Encrypt a Folder" and "Decrypt a Folder" ended at every file-system call
// (a crash), then run again: the second run finishes the job. Every file
// ends with exactly one layer (or none), the folder with its locked name and
// record (or its plain name and none), and nothing else is left behind.

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

#include "engine/platform/atomic_file.h"
#include "engine/formats/locked_folder_name.h"
#include "app/run_button.h"
#include "app/encrypted_folders.h"
#include "app/folder_chooser.h"
#include "folders/folder_lists.h"
#include "tests/locking/run_fixture.h"
#include "tests/support/faulty_file_system.h"

namespace vellumar::test {
namespace {

using Lines = std::vector<std::string>;

struct TreeFile {
    const char* relative;  // below the folder
    size_t length;
    const char* lockedAs;
};
const TreeFile kTree[] = {
    {"one.txt", 300, ".VKL"},
    {"sub/two.txt", 5000, ".VKL"},
    {"big.bin", kLargeFileThreshold + 1000, ".VKW"},
};

// A fresh folder T with its files, and the two front ends that prepare it.
struct FolderRun {
    TempFolder temp;
    ScriptedDesktop desktop;
    WindowModel model;
    std::string plain = temp / "T";
    std::string locked = temp / lockedFolderName("T");

    FolderRun() {
        for (size_t i = 0; i < std::size(kTree); ++i)
            temp.write(std::string("T/") + kTree[i].relative, content(i));
        temp.makeFolder("T/empty");
    }
    static std::string content(size_t i) {
        return patternBytes(kTree[i].length, static_cast<unsigned>(i + 3));
    }
    // The chooser given T, then the run button when it was accepted.
    void lock() {
        model = WindowModel();
        openTargetPage(model, Option::OptEncFolder);
        model.runButtonEnabled = false;
        desktop.messages.clear();
        desktop.folderAnswers.push_back(plain);
        Folder_Encrypt(model, desktop);
        if (model.runButtonEnabled) cmdEncDec_Click(model, desktop);
    }
    // The encrypted-folders window with T ticked, then the run button.
    void unlock() {
        model = WindowModel();
        openTargetPage(model, Option::OptDecFolder);
        model.runButtonEnabled = false;
        desktop.messages.clear();
        EncryptedFolders window(model, desktop);
        window.Form_Load();
        for (ListRow& row : window.lstDecrypt) row.checked = row.path == plain;
        window.cmdDecrypt_Click();
        if (model.runButtonEnabled) cmdEncDec_Click(model, desktop);
    }
    Lines records() {
        Lines lines;
        readFolderLines(lines);
        return lines;
    }
    // No temporary, no stray file: exactly the names of the tree, locked or plain.
    void expectOnly(const std::string& folder, bool lockedNames) {
        std::string expected;
        Lines names;
        for (const TreeFile& file : kTree) {
            const std::string path = folder + "/" + file.relative;
            names.push_back(
                (lockedNames ? lockedName(path, file.lockedAs) : path).substr(folder.size() + 1));
        }
        names.push_back("empty");
        names.push_back("sub");
#ifndef _WIN32
        // The lists that hide the locked names from Linux file managers.
        if (lockedNames) names.insert(names.end(), {".hidden", "sub/.hidden"});
#endif
        std::sort(names.begin(), names.end());
        for (const std::string& name : names) expected += name + "\n";
        EXPECT_EQ(listTree(folder), expected);
    }
    // Every file locked once and T listed under its locked name; then an
    // unlock gives every byte back.
    void expectLockedThenUnlocked() {
        uint32_t attributes = 0;
        platformFileSystem().getAttributes(locked, attributes);
        EXPECT_EQ(attributes & ~kAttrArchive, kAttrDirectory | kAttrHidden);
        EXPECT_FALSE(fileExists(plain));
        EXPECT_EQ(records(), Lines{plain});
        expectOnly(locked, true);
        unlock();
        const Shown decrypted{kFolderDecrypted, Icon::information, "Vellumar"};
        EXPECT_EQ(desktop.messages, std::vector<Shown>{decrypted});
        expectUnlocked();
    }
    void expectUnlocked() {
        uint32_t attributes = 0;
        platformFileSystem().getAttributes(plain, attributes);
        EXPECT_EQ(attributes & ~kAttrArchive, kAttrDirectory);
        EXPECT_FALSE(fileExists(locked));
        EXPECT_EQ(records(), Lines{});
        expectOnly(plain, false);
        for (size_t i = 0; i < std::size(kTree); ++i)
            EXPECT_TRUE(readFile(plain + "/" + kTree[i].relative) == content(i))
                << kTree[i].relative;
        for (const std::string& name : namesIn(temp.home()))
            EXPECT_TRUE(name == "folders" || isTemporaryName(name)) << name;
    }
};

int callsOf(void (FolderRun::*step)(), bool lockedFirst) {
    FolderRun run;
    if (lockedFirst) run.lock();
    FaultyFileSystem counting;
    FileSystemOverride use(counting);
    (run.*step)();
    return counting.calls();
}

// Runs the step in a child that ends at call n; false when it never got there.
bool crashesAt(FolderRun& run, void (FolderRun::*step)(), int n) {
    const pid_t child = fork();
    if (child == 0) {
        FaultyFileSystem faulty;
        faulty.crashAt(n);
        FileSystemOverride use(faulty);
        (run.*step)();
        _exit(0);
    }
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) &&
           WEXITSTATUS(status) == 42;
}

TEST(FolderCrash, EncryptAFolderEndedAtAnyCallIsFinishedByRunningItAgain) {
    const int calls = callsOf(&FolderRun::lock, false);
    ASSERT_GT(calls, 50);
    for (int n = 1; n <= calls; ++n) {
        SCOPED_TRACE(testing::Message() << "crash at call " << n);
        FolderRun run;
        ASSERT_TRUE(crashesAt(run, &FolderRun::lock, n));
        run.lock();
        // Finished without a word, or found already under its locked name.
        const Shown done{kFolderEncrypted, Icon::information, "Vellumar"};
        const Shown gone{"Please Select A Folder To Encrypt", Icon::critical, "Vellumar"};
        EXPECT_TRUE(run.desktop.messages == std::vector<Shown>{done} ||
                    run.desktop.messages == std::vector<Shown>{gone})
            << (run.desktop.messages.empty() ? "no message" : run.desktop.messages.front().text);
        run.expectLockedThenUnlocked();
        if (HasFailure()) break;  // one call's story is enough to read
    }
}

TEST(FolderCrash, DecryptAFolderEndedAtAnyCallIsFinishedByRunningItAgain) {
    const int calls = callsOf(&FolderRun::unlock, true);
    ASSERT_GT(calls, 50);
    for (int n = 1; n <= calls; ++n) {
        SCOPED_TRACE(testing::Message() << "crash at call " << n);
        FolderRun run;
        run.lock();
        ASSERT_TRUE(crashesAt(run, &FolderRun::unlock, n));
        run.unlock();
        // Finished without a word, or no longer listed at all.
        const Shown done{kFolderDecrypted, Icon::information, "Vellumar"};
        EXPECT_TRUE(run.desktop.messages == std::vector<Shown>{done} ||
                    run.desktop.messages.empty())
            << (run.desktop.messages.empty() ? "no message" : run.desktop.messages.front().text);
        run.expectUnlocked();
        if (HasFailure()) break;
    }
}

}  // namespace
}  // namespace vellumar::test
#endif
