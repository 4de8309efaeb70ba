// A plain file and its locked file side by side, as a run interrupted
// between its commit and the removal of its sources leaves them: the next
// run removes the side it turns away from when both hold the same content,
// and keeps both when they differ.

#include "locking/leftover_pairs.h"

#include <gtest/gtest.h>

#include "engine/engine_messages.h"
#include "locking/file_runs.h"
#include "tests/locking/run_fixture.h"

namespace vellumar::test {
namespace {

const std::string kSmall = patternBytes(5000, 7);
const std::string kLarge = patternBytes(kLargeFileThreshold + 40000, 8);

// One byte changed at `at`, so sizes agree and only the content tells.
std::string changedAt(std::string content, size_t at) {
    content[at] = static_cast<char>(content[at] ^ 0x20);
    return content;
}

struct Pair {
    const char* name;
    std::string lockedContent;  // what the locked file was made from
    std::string plainContent;   // what the plain file holds beside it
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
    };
}

class LeftoverPairsTest : public Runs {
  protected:
    // The locked file made from one content, and the plain file beside it.
    void makePair(const Pair& pair, std::string& plain, std::string& locked) {
        const std::string relative = std::string("w/") + pair.name + ".dat";
        locked = lockedFile(relative, pair.lockedContent);
        plain = temp.write(relative, pair.plainContent);
    }
};

TEST_F(LeftoverPairsTest, AnUnlockRunRemovesTheLockedFileOnlyWhenItHoldsThePlainContent) {
    for (const Pair& pair : pairs()) {
        SCOPED_TRACE(pair.name);
        std::string plain, locked;
        makePair(pair, plain, locked);
        const bool same = pair.lockedContent == pair.plainContent;
        desktop.messages.clear();
        model.ListFiles = rows({locked});
        const RunOutcome outcome = cmdUnlock_Click(model, desktop);

        EXPECT_EQ(outcome.done, same ? 1u : 0u);
        EXPECT_TRUE(readFile(plain) == pair.plainContent);
        EXPECT_EQ(FileExists(locked), !same);
        if (!same) {
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
        std::string plain, locked;
        makePair(pair, plain, locked);
        const bool same = pair.lockedContent == pair.plainContent;
        desktop.messages.clear();
        model.ListFiles = rows({plain});
        const RunOutcome outcome = cmdLock_Click(model, desktop);

        EXPECT_EQ(outcome.done, same ? 1u : 0u);
        EXPECT_EQ(FileExists(plain), !same);
        // The locked file keeps one layer, whatever happened.
        EXPECT_TRUE(unlockedContent(locked, temp) == pair.lockedContent);
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

// A locked file under another password, or one the run itself is to lock,
// is no leftover: the plain file stays.
TEST_F(LeftoverPairsTest, ALockRunKeepsThePlainFileBesideALockedFileItCannotVouchFor) {
    std::string plain, locked;
    makePair({"foreign", kSmall, kSmall}, plain, locked);
    std::string text = readFile(locked);
    text[9] = text[9] == 'A' ? 'B' : 'A';  // the header no longer verifies
    platformFileSystem().setAttributes(locked, kAttrNormal);
    temp.write("w/" + GetFileName(locked), text);
    EXPECT_FALSE(LockedHoldsPlainContent(locked, plain));

    std::string plain2, locked2;
    makePair({"row", kSmall, kSmall}, plain2, locked2);
    EXPECT_TRUE(LockedHoldsPlainContent(locked2, plain2));
    LeftoverPairs runOverBoth({plain2, locked2}, true);
    EXPECT_FALSE(runOverBoth.finish(plain2));
    EXPECT_TRUE(FileExists(plain2));
    LeftoverPairs runOverPlain({plain2}, true);
    EXPECT_TRUE(runOverPlain.finish(plain2));
    EXPECT_FALSE(FileExists(plain2));
    EXPECT_TRUE(unlockedContent(locked2, temp) == kSmall);
}

}  // namespace
}  // namespace vellumar::test
