// A plain file and its locked file side by side, as a run interrupted
// between its commit and the removal of its sources leaves them: the next
// run removes the side it turns away from when both hold the same content,
// and keeps both when they differ.

#include "locking/leftover_pairs.h"

#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <malloc.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#endif

#include "app/file_messages.h"
#include "engine/formats/locked_format.h"
#include "app/file_run_handlers.h"
#include "tests/locking/run_fixture.h"
#include "tests/support/forwarding_file_system.h"

namespace vellumar::test {
namespace {

const std::string kSmall = patternBytes(5000, 7);
const std::string kLarge = patternBytes(kLargeFileThreshold + 40000, 8);

// One byte changed at `at`, so sizes agree and only the content tells.
std::string changedAt(std::string content, size_t at) {
    content[at] = static_cast<char>(content[at] ^ 0x20);
    return content;
}

// One character of the second body line moved to the end of the first:
// lines of 71 and 69, the length of the whole and every character as before.
std::string linesOf71And69(std::string text) {
    const size_t firstLineEnd = kHeaderLength + 2 + 70;
    text.insert(firstLineEnd, 1, text[firstLineEnd + 2]);
    text.erase(firstLineEnd + 3, 1);
    return text;
}

struct Pair {
    const char* name;
    std::string lockedContent;  // what the locked file was made from
    std::string plainContent;   // what the plain file holds beside it
    // Done to the locked file's bytes after the lock; its unlock then finds this fault.
    std::string (*damage)(std::string) = nullptr;
    FormatFault fault = FormatFault::none;

    bool paired() const { return !damage && lockedContent == plainContent; }
};

std::vector<Pair> pairs() {
    return {
        {"small", kSmall, kSmall},
        {"empty", "", ""},
        {"large", kLarge, kLarge},
        {"small, one byte apart", kSmall, changedAt(kSmall, 4321)},
        {"small, one byte more", kSmall, kSmall + "x"},
        // The RC4 head and the chunks copied as they are.
        {"large, apart in the head", kLarge, changedAt(kLarge, 10)},
        {"large, apart in a chunk", kLarge, changedAt(kLarge, kLarge.size() - 5)},
        // Same body characters, so only the line rule tells.
        {"small, lines of 71 and 69", kSmall, kSmall, linesOf71And69, FormatFault::lineLength},
    };
}

class LeftoverPairsTest : public Runs {
  protected:
    // The locked file made from one content (and damaged, where the row
    // says so), and the plain file beside it. `lockedBytes` is what the
    // locked file then holds.
    void makePair(const Pair& pair, std::string& plain, std::string& locked,
                  std::string& lockedBytes) {
        const std::string relative = std::string("w/") + pair.name + ".dat";
        locked = lockedFile(relative, pair.lockedContent);
        lockedBytes = readFile(locked);
        if (pair.damage) {
            lockedBytes = pair.damage(lockedBytes);
            rewrite(locked, lockedBytes);
        }
        plain = temp.write(relative, pair.plainContent);
    }
    void makePair(const Pair& pair, std::string& plain, std::string& locked) {
        std::string lockedBytes;
        makePair(pair, plain, locked, lockedBytes);
    }
    // New bytes for a locked file in w/, which keeps its attributes.
    void rewrite(const std::string& locked, const std::string& bytes) {
        const uint32_t attributes = attributesOf(locked);
        platformFileSystem().setAttributes(locked, kAttrNormal);
        temp.write("w/" + getFileName(locked), bytes);
        platformFileSystem().setAttributes(locked, attributes);
    }
};

TEST_F(LeftoverPairsTest, AnUnlockRunRemovesTheLockedFileOnlyWhenItHoldsThePlainContent) {
    for (const Pair& pair : pairs()) {
        SCOPED_TRACE(pair.name);
        std::string plain, locked, lockedBytes;
        makePair(pair, plain, locked, lockedBytes);
        const bool same = pair.paired();
        desktop.messages.clear();
        model.targetList = rows({locked});
        const RunOutcome outcome = cmdUnlock_Click(model, desktop);

        EXPECT_EQ(outcome.done, same ? 1u : 0u);
        EXPECT_TRUE(readFile(plain) == pair.plainContent);
        EXPECT_EQ(fileExists(locked), !same);
        if (pair.damage) {
            EXPECT_TRUE(readFile(locked) == lockedBytes);
            ASSERT_FALSE(desktop.messages.empty());
            EXPECT_EQ(desktop.messages.front(),
                      (Shown{damagedFileText(locked, describeFault(pair.fault)), Icon::critical,
                             kDamagedFileTitle}));
        } else if (!same) {
            EXPECT_TRUE(unlockedContent(locked, temp) == pair.lockedContent);
            ASSERT_FALSE(desktop.messages.empty());
            EXPECT_EQ(desktop.messages.front(),
                      (Shown{fileExistsText(plain), Icon::critical, kFileExistsTitle}));
        } else {
            EXPECT_EQ(desktop.messages, std::vector<Shown>{});
        }
    }
}

TEST_F(LeftoverPairsTest, ALockRunRemovesThePlainFileOnlyWhenTheLockedFileHoldsItsContent) {
    for (const Pair& pair : pairs()) {
        SCOPED_TRACE(pair.name);
        std::string plain, locked, lockedBytes;
        makePair(pair, plain, locked, lockedBytes);
        const bool same = pair.paired();
        desktop.messages.clear();
        model.targetList = rows({plain});
        const RunOutcome outcome = cmdLock_Click(model, desktop);

        EXPECT_EQ(outcome.done, same ? 1u : 0u);
        EXPECT_EQ(fileExists(plain), !same);
        // The locked file keeps one layer, whatever happened.
        EXPECT_TRUE(readFile(locked) == lockedBytes);
        if (!pair.damage) {
            EXPECT_TRUE(unlockedContent(locked, temp) == pair.lockedContent);
        }
        if (same) {
            EXPECT_EQ(desktop.messages, std::vector<Shown>{});
        } else {
            EXPECT_TRUE(readFile(plain) == pair.plainContent);
            ASSERT_FALSE(desktop.messages.empty());
            EXPECT_EQ(desktop.messages.front(),
                      (Shown{fileExistsText(locked), Icon::critical, kFileExistsTitle}));
        }
    }
}

// A locked file under another password, one the unlock refuses or would not
// give back under the plain name, or one the run itself is to lock, is no
// leftover: the plain file stays.
TEST_F(LeftoverPairsTest, ALockRunKeepsThePlainFileBesideALockedFileItCannotVouchFor) {
    std::string plain, locked;
    makePair({"foreign", kSmall, kSmall}, plain, locked);
    std::string text = readFile(locked);
    text[9] = text[9] == 'A' ? 'B' : 'A';  // the header no longer verifies
    platformFileSystem().setAttributes(locked, kAttrNormal);
    temp.write("w/" + getFileName(locked), text);
    EXPECT_FALSE(lockedHoldsPlainContent(locked, plain));

    // Nothing after the header: the unlock finds the large file damaged.
    makePair({"bare", kLarge, ""}, plain, locked);
    rewrite(locked, readFile(locked).substr(0, kHeaderLength + 1));
    EXPECT_FALSE(lockedHoldsPlainContent(locked, plain));

    // A plain file that is itself a sound locked file: the unlock takes it
    // for an inner layer and keeps the locked name.
    // (A lock refuses such a file; the pair is made by hand: the sound locked
    // file locked once more as a layer, then given the plain file's locked name.)
    const std::string inner = readFile(lockedFile("w/inner.dat", kSmall));
    const std::string layered = temp.write("w/layer.VKL", inner);
    ASSERT_TRUE(lockSmallShown(layered, desktop));
    plain = temp.write("w/layer.dat", inner);
    locked = lockedName(plain, ".VKL");
    ASSERT_EQ(platformFileSystem().rename(layered, locked), IoError::ok);
    EXPECT_FALSE(lockedHoldsPlainContent(locked, plain));

    std::string plain2, locked2;
    makePair({"row", kSmall, kSmall}, plain2, locked2);
    EXPECT_TRUE(lockedHoldsPlainContent(locked2, plain2));
    LeftoverPairs runOverBoth({plain2, locked2}, true);
    EXPECT_FALSE(runOverBoth.finish(plain2));
    EXPECT_TRUE(fileExists(plain2));
    LeftoverPairs runOverPlain({plain2}, true);
    EXPECT_TRUE(runOverPlain.finish(plain2));
    EXPECT_FALSE(fileExists(plain2));
    EXPECT_TRUE(unlockedContent(locked2, temp) == kSmall);
}

// The locked file refuses to go: it stays exactly as it was, attributes
// included, and the run goes on to find the plain name taken.
TEST_F(LeftoverPairsTest, ALockedFileThatCannotBeRemovedKeepsItsAttributes) {
    struct RemovalRefused final : ForwardingFileSystem {
        IoError removeFile(const std::string& p) override {
            return p == refused ? IoError::accessDenied : ForwardingFileSystem::removeFile(p);
        }
        std::string refused;
    } refusing;
    std::string plain, locked;
    makePair({"stuck", kSmall, kSmall}, plain, locked);
    const uint32_t attributes = attributesOf(locked);
    ASSERT_EQ(attributes, fileAttributesAfterSetting(kAttrReadOnly | kAttrHidden));
    refusing.refused = locked;
    FileSystemOverride use(refusing);
    model.targetList = rows({locked});
    const RunOutcome outcome = cmdUnlock_Click(model, desktop);

    EXPECT_EQ(outcome.done, 0u);
    EXPECT_EQ(attributesOf(locked), attributes);
    EXPECT_TRUE(readFile(plain) == kSmall);
    EXPECT_TRUE(unlockedContent(locked, temp) == kSmall);
    ASSERT_FALSE(desktop.messages.empty());
    EXPECT_EQ(desktop.messages.front(),
              (Shown{fileExistsText(plain), Icon::critical, kFileExistsTitle}));
}

#if !defined(_WIN32) && !defined(__SANITIZE_ADDRESS__)
// Address space of the process now, in bytes.
uint64_t addressSpace() {
    std::ifstream statm("/proc/self/statm");
    uint64_t pages = 0;
    statm >> pages;
    return pages * static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
}

// A small locked file longer than the unlock holds in memory, beside its
// plain file, under a memory limit well below the two files' length: they
// are compared in pieces and the locked leftover goes, without an abort.
TEST_F(LeftoverPairsTest, ALockedFileTooLongToHoldIsComparedInPieces) {
    const std::string content = patternBytes(7000000, 9);
    std::string plain = temp.write("w/long.dat", content);
    ASSERT_TRUE(lockSmallShown(plain, desktop));
    const std::string locked = lockedName(plain, ".VKL");
    ASSERT_GT(readFile(locked).size(), kSmallFileInMemoryLimit);
    plain = temp.write("w/long.dat", content);
    const pid_t child = fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        // Large blocks mapped and unmapped, and the heap's free top given
        // back, so that the limit counts what the comparison takes.
        mallopt(M_MMAP_THRESHOLD, 128 << 10);
        malloc_trim(0);
        const rlim_t limit = addressSpace() + (12 << 20);
        const rlimit cap{limit, limit};
        setrlimit(RLIMIT_AS, &cap);
        bool removed = false;
        try {
            removed = LeftoverPairs({locked}, false).finish(locked);
        } catch (...) {  // never back into the test runner from the child
        }
        _exit(removed ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_FALSE(fileExists(locked));
    EXPECT_TRUE(readFile(plain) == content);
}
#endif

}  // namespace
}  // namespace vellumar::test
