// The unlock run: the marker test, routing by the last three letters, the
// early end at a small locked file that cannot be unlocked, the error after
// every row once a large one failed, the attributes a file failed at the
// commit gets back, and the locked-files list pruned after cmdUnlock_Click
// only.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#ifndef _WIN32
#include <unistd.h>
#endif

#include "engine/formats/locked_kind.h"
#include "engine/platform/paths.h"
#include "app/file_run_handlers.h"
#include "tests/locking/run_fixture.h"
#include "tests/support/forwarding_file_system.h"

namespace vellumar::test {
namespace {

const Shown kNoFileChecked{"No file is checked", Icon::exclamation, "Vellumar"};
const Shown kWrongPassword{"Sorry, this is not the correct password!", Icon::exclamation, "Secret"};
const Shown kUnlockError{"An Error occured during unlock process", Icon::critical, "Error"};

Shown alreadyUnlocked(const std::string& path) {
    return {path + " is already unlocked.", Icon::none, "Vellumar"};
}

class UnlockRun : public Runs {
  protected:
    // A locked file whose header does not verify: the engine refuses it.
    std::string wrongHeader(const std::string& relative) {
        return temp.write(relative, "[Secret]AAAAAAAABBBBBBBB\r\nCCCC\r\n");
    }
    // "files" naming `present` and a file that is gone.
    void listFiles(const std::string& present) {
        temp.write("home/files", present + "\r\n" + (temp / "gone.txt") + "\r\n");
    }
};

TEST_F(UnlockRun, AnEmptyListUnlocksNothingAndOnlyTheTargetListRunPrunesTheList) {
    const std::string readOnly = temp.write("read-only.txt", "r");
    platformFileSystem().setAttributes(readOnly, kAttrReadOnly);
    const std::string kept = temp.write("kept.txt", "x") + "\r\n" + readOnly;
    for (auto run : {&cmdUnlockFolder_Click, &cmdUnlock_Click}) {
        listFiles(kept);
        desktop.messages.clear();
        desktop.busyChanges.clear();
        // Said once the busy pointer is gone, as the window always did.
        desktop.onMessage = [this](const Shown&) {
            EXPECT_FALSE(!desktop.busyChanges.empty() && desktop.busyChanges.back());
        };
        RunOutcome outcome = run(model, desktop);
        EXPECT_EQ(desktop.messages, std::vector<Shown>{kNoFileChecked});
        EXPECT_EQ(desktop.busyChanges, (std::vector<bool>{true, false}));
        EXPECT_TRUE(outcome.complete());
        EXPECT_EQ(listed("files"), run == &cmdUnlock_Click
                                       ? kept + "\r\n"
                                       : kept + "\r\n" + (temp / "gone.txt") + "\r\n");
    }
    EXPECT_EQ(attributesOf(temp / "kept.txt"), fileAttributesAfterSetting(kAttrHidden));
    // Hidden again, and still read-only.
    EXPECT_EQ(attributesOf(readOnly), fileAttributesAfterSetting(kAttrReadOnly | kAttrHidden));
    platformFileSystem().setAttributes(readOnly, kAttrNormal);
}

// A listed file whose hidden mark cannot be set again stays visible: the
// window says so, naming the file and the cause, and the list keeps it.
TEST_F(UnlockRun, AListedFileThatCannotBeHiddenAgainIsNamed) {
    HidingRefused noHiding;
    const std::string visible = temp.write("visible.VKL", "[Secret]");
    listFiles(visible);
    {
        FileSystemOverride use(noHiding);
        cmdUnlock_Click(model, desktop);
    }
    EXPECT_EQ(desktop.messages,
              (std::vector<Shown>{{"These locked files could not be hidden again and can be seen "
                                   "in their folders:\r\n" +
                                       visible + ": " + describe(IoError::accessDenied),
                                   Icon::exclamation, "Vellumar"},
                                  kNoFileChecked}));
    EXPECT_EQ(listed("files"), visible + "\r\n");
    EXPECT_EQ(attributesOf(visible), fileAttributesAfterSetting(kAttrNormal));
}

TEST_F(UnlockRun, EachRowIsUnlockedOrNamedAndTheRunGoesOn) {
    const std::string small = lockedFile("w/small.txt", "small");
    const std::string large = lockedFile("w/large.bin", patternBytes(200001));
    // The large-file extension in lower case still routes by the last three letters.
    const std::string lowerCase =
        getFolderPart(large) + removeExtension(getFileName(large)) + ".vkw";
    ASSERT_EQ(platformFileSystem().rename(large, lowerCase), IoError::ok);
    const std::string plain = temp.write("w/plain.txt", "[Secret is not at the start");
    const std::string shorter = temp.write("w/short.VKL", "[Secret");
    const std::string still = lockedFile("w/still.txt", "still locked");
    listFiles(still);
    model.targetList = rows({plain, small, temp / "w/gone.VKL", shorter, lowerCase});
    std::vector<Shown> expected = {alreadyUnlocked(plain), alreadyUnlocked(shorter)};
#ifndef _WIN32
    // A link to a locked file is not followed: it is said to be a link.
    const std::string link = temp / "w/link.VKL";
    ASSERT_EQ(::symlink(still.c_str(), link.c_str()), 0);
    model.targetList.push_back(row(link));
    expected.push_back({link + " is a link and is passed over.", Icon::none, "Vellumar"});
#endif

    RunOutcome outcome = cmdUnlock_Click(model, desktop);

    EXPECT_EQ(desktop.messages, expected);
    EXPECT_EQ(outcome.done, 2u);
    EXPECT_EQ(outcome.refused, expected.size());
    EXPECT_EQ(outcome.missing, 1u);
    EXPECT_EQ(readFile(temp / "w/small.txt"), "small");
    EXPECT_TRUE(readFile(temp / "w/large.bin") == patternBytes(200001));
    EXPECT_EQ(readFile(plain), "[Secret is not at the start");
    EXPECT_EQ(attributesOf(temp / "w/small.txt"), fileAttributesAfterSetting(kAttrNormal));
    EXPECT_EQ(listed("files"), still + "\r\n");
}

// Whatever stops a small locked file, the later rows stay locked: a wrong
// header, or a plain name that an earlier row of the same run restores
// (still waiting in the write batch, or already on disk).
TEST_F(UnlockRun, ASmallFileThatCannotBeUnlockedEndsTheRun) {
    struct Case {
        std::vector<std::string> before;  // rows ahead of the stopper
        std::string stopper;
        Shown message;
    };
    std::vector<Case> cases = {{{}, wrongHeader("w/x.VKL"), kWrongPassword}};
#ifndef _WIN32
    // Two locked names that differ in case only: one file on Windows.
    const std::string m = lockedFile("w/m.txt", "m");
    const std::string sameName = m.substr(0, m.size() - 3) + "vkl";
    ASSERT_TRUE(std::filesystem::copy_file(m, sameName));
    cases.push_back({{m}, sameName,
                     {"The file " + (temp / "w/m.txt") + " already exists. Nothing was changed.",
                      Icon::critical, "File Already Exists"}});
#endif
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stopper);
        desktop.messages.clear();
        desktop.busyChanges.clear();
        const std::string y = lockedFile("w/y.bin", patternBytes(200000));
        listFiles(y);
        model.targetList = rows(c.before);
        model.targetList.push_back(row(c.stopper));
        model.targetList.push_back(row(y));

        RunOutcome outcome = cmdUnlock_Click(model, desktop);

        EXPECT_EQ(desktop.messages, std::vector<Shown>{c.message});
        EXPECT_EQ(desktop.busyChanges, (std::vector<bool>{true, false}));
        EXPECT_TRUE(outcome.endedEarly);
        EXPECT_EQ(outcome.done, c.before.size());
        EXPECT_TRUE(startsWithLockedMarker(c.stopper));
        EXPECT_TRUE(startsWithLockedMarker(y));
        // No pruning: the line of the missing file is still there.
        EXPECT_EQ(listed("files"), y + "\r\n" + (temp / "gone.txt") + "\r\n");
        platformFileSystem().setAttributes(y, kAttrNormal);
        platformFileSystem().removeFile(y);
    }
#ifndef _WIN32
    EXPECT_EQ(readFile(temp / "w/m.txt"), "m");
#endif
}

TEST_F(UnlockRun, OnceALargeFileFailedTheErrorFollowsEveryRow) {
    const std::string y1 = wrongHeader("w/y1.VKW");
    const std::string y2 = lockedFile("w/y2.bin", patternBytes(200000));
    model.foundFiles = rows({y1, y2});

    RunOutcome outcome = cmdUnlockFolder_Click(model, desktop);

    EXPECT_EQ(desktop.messages, (std::vector<Shown>{kWrongPassword, kUnlockError, kUnlockError}));
    EXPECT_EQ(outcome.done, 1u);
    EXPECT_EQ(outcome.failed, 1u);
    EXPECT_TRUE(readFile(temp / "w/y2.bin") == patternBytes(200000));
}

// Fails the batch's commit in one way: a source written to as its new file
// takes its name, that name taken meanwhile, or a volume that cannot be
// flushed.
class FaultAtCommit final : public ForwardingFileSystem {
  public:
    enum class Fault { changed, nameTaken, flushFailed };
    FaultAtCommit(Fault fault, std::map<std::string, std::string> sources)
        : fault_(fault), sources_(std::move(sources)) {}
    IoError rename(const std::string& from, const std::string& to) override {
        const auto source = sources_.find(to);
        if (source != sources_.end() && fault_ != Fault::flushFailed) {
            FileHandle file = kNoFile;
            const IoError opened = fault_ == Fault::changed
                                       ? base().openAppend(source->second, file)
                                       : base().createNew(to, file);
            if (opened == IoError::ok) {
                base().write(file, "more\n", 5);
                base().close(file);
            }
        }
        return base().rename(from, to);
    }
    IoError flushVolume(FileHandle volume) override {
        return fault_ == Fault::flushFailed ? IoError::other : base().flushVolume(volume);
    }

  private:
    const Fault fault_;
    const std::map<std::string, std::string> sources_;
};

// A locked file that the batch fails to unlock at its commit keeps its
// attributes, as one that fails at once does: small or large.
TEST_F(UnlockRun, ALockedFileThatFailsAtTheCommitKeepsItsAttributes) {
    using Fault = FaultAtCommit::Fault;
    FileHandle volume = kNoFile;
    if (platformFileSystem().openVolume(temp.path(), volume) != IoError::ok)
        GTEST_SKIP() << "files on this volume are committed one by one";
    platformFileSystem().close(volume);
    int round = 0;
    for (Fault fault : {Fault::changed, Fault::nameTaken, Fault::flushFailed}) {
        SCOPED_TRACE(static_cast<int>(fault));
        const std::string folder = "round" + std::to_string(++round) + "/";
        const std::string large =
            lockedFile(folder + "large.bin", patternBytes(kLargeFileThreshold));
        const std::string small = lockedFile(folder + "small.txt", "small");
        const uint32_t before = attributesOf(small);
        ASSERT_EQ(before, fileAttributesAfterSetting(kAttrReadOnly | kAttrHidden));
        ASSERT_EQ(attributesOf(large), before);
        FaultAtCommit faulty(
            fault, {{temp / folder + "large.bin", large}, {temp / folder + "small.txt", small}});
        model.foundFiles = rows({large, small});
        RunOutcome outcome;
        {
            FileSystemOverride use(faulty);
            outcome = cmdUnlockFolder_Click(model, desktop);
        }
        EXPECT_EQ(outcome.done, 0u);
        EXPECT_EQ(outcome.failed, 2u);
        for (const std::string& file : {large, small}) {
            SCOPED_TRACE(file);
            EXPECT_TRUE(startsWithLockedMarker(file));
            EXPECT_EQ(attributesOf(file), before);
        }
    }
}

}  // namespace
}  // namespace vellumar::test
