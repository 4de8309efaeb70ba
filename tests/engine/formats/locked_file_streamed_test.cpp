// Small locked files too long to unlock in memory: they are read in pieces,
// checked whole before anything is written, and unlocked in bounded memory.
#include <gtest/gtest.h>

#include <functional>

#ifndef _WIN32
#include <malloc.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#endif

#include "engine/formats/locked_header.h"
#include "engine/formats/small_file.h"
#include "tests/engine/formats/lock_fixture.h"
#include "tests/support/file_attributes.h"

namespace vellumar {
namespace {

using Names = std::vector<std::string>;
using test::Shown;

// Plain bytes whose locked file is just above the in-memory limit.
constexpr size_t kPlainLength = kSmallFileInMemoryLimit * 3 / 4 + 100000;

// report.txt locked once or more; returns the locked path.
std::string lockedReport(const test::TempFolder& temp, const std::string& plain, int layers) {
    std::string path = temp.write("report.txt", plain);
    test::ScriptedDesktop desktop;
    for (int i = 0; i < layers; ++i) {
        platformFileSystem().setAttributes(path, kAttrNormal);
        EXPECT_TRUE(lockSmallShown(path, desktop));
        path = temp / "ercbeg.gkt.VKL";
    }
    return path;
}

TEST(StreamedUnlock, ALongLockedFileUnlocksLayerByLayer) {
    test::TempFolder temp;
    test::ScriptedDesktop desktop;
    const std::string plain = test::patternBytes(kPlainLength, 3);
    const std::string locked = lockedReport(temp, plain, 2);
    ASSERT_GT(std::stoull(fileSizeText(locked)), kSmallFileInMemoryLimit);

    ASSERT_TRUE(unlockSmallShown(locked, desktop));
    EXPECT_EQ(test::namesIn(temp.path()), (Names{"ercbeg.gkt.VKL", "home"}));
    ASSERT_TRUE(unlockSmallShown(locked, desktop));
    EXPECT_EQ(test::namesIn(temp.path()), (Names{"home", "report.txt"}));
    EXPECT_TRUE(test::readFile(temp / "report.txt") == plain);
    EXPECT_TRUE(desktop.messages.empty());
}

// The damage sits at the very end, read last: still nothing is written.
TEST(StreamedUnlock, DamageAnywhereKeepsTheFileAsItIs) {
    struct Case {
        const char* name;
        std::function<void(std::string&)> edit;
        Shown shown;
    };
    test::TempFolder temp;
    const std::string plain = test::patternBytes(kPlainLength, 4);
    const std::string locked = lockedReport(temp, plain, 1);
    const std::string sound = test::readFile(locked);
    const Shown password{"Sorry, this is not the correct password!", Icon::exclamation, "Secret"};
    auto damaged = [&](const std::string& cause) {
        return Shown{"The locked file " + locked + " is damaged and cannot be unlocked: " + cause +
                         ". It was kept as it is.",
                     Icon::critical, "Damaged File"};
    };
    const Case cases[] = {
        {"verifier edited", [](std::string& s) { s[20] = s[20] == 'a' ? 'b' : 'a'; }, password},
        {"character below ';' in the last line", [](std::string& s) { s[s.size() - 3] = '!'; },
         damaged("it holds a character that no locked file holds")},
        {"\"A\" appended", [](std::string& s) { s += "A"; },
         damaged("something follows a line shorter than 70 characters, which only the last line "
                 "may be")},
        {"last line end lost", [](std::string& s) { s.resize(s.size() - 2); },
         damaged("a line is not ended by CR LF")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string edited = sound;
        c.edit(edited);
        platformFileSystem().setAttributes(locked, kAttrNormal);
        temp.write("ercbeg.gkt.VKL", edited);
        platformFileSystem().setAttributes(locked, kAttrReadOnly | kAttrHidden);
        test::ScriptedDesktop desktop;

        EXPECT_FALSE(unlockSmallShown(locked, desktop));
        EXPECT_EQ(desktop.messages, std::vector<Shown>{c.shown});
        EXPECT_EQ(test::namesIn(temp.path()), (Names{"ercbeg.gkt.VKL", "home"}));
        EXPECT_TRUE(test::readFile(locked) == edited);
        uint32_t attributes = 0;
        platformFileSystem().getAttributes(locked, attributes);
        EXPECT_EQ(attributes, test::fileAttributesAfterSetting(kAttrReadOnly | kAttrHidden));
    }
}

#if !defined(_WIN32) && !defined(__SANITIZE_ADDRESS__)
// Address space of the process now, in bytes.
uint64_t addressSpace() {
    std::ifstream statm("/proc/self/statm");
    uint64_t pages = 0;
    statm >> pages;
    return pages * static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
}

// Under a memory limit well below what holding the file takes, the unlock
// neither aborts nor fails: a long file is never held in memory, and a
// shorter one that finds no room to be held is unlocked in pieces instead.
TEST(StreamedUnlock, ALockedFileLargerThanTheMemoryAtHandUnlocks) {
    struct Case {
        size_t plainLength;
        uint64_t headroom;
    } cases[] = {
        {30 << 20, 48 << 20}, {6000000, 12 << 20},  // locked, just below the in-memory limit
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.plainLength);
        test::TempFolder temp;
        const std::string plain = test::patternBytes(c.plainLength, 5);
        const std::string locked = lockedReport(temp, plain, 1);
        const pid_t child = fork();
        ASSERT_NE(child, -1);
        if (child == 0) {
            // Large blocks mapped and unmapped, and the heap's free top given
            // back, so that the limit counts what the unlock takes.
            mallopt(M_MMAP_THRESHOLD, 128 << 10);
            malloc_trim(0);
            const rlim_t limit = addressSpace() + c.headroom;
            const rlimit cap{limit, limit};
            setrlimit(RLIMIT_AS, &cap);
            test::ScriptedDesktop desktop;
            bool unlocked = false;
            try {
                unlocked = unlockSmallShown(locked, desktop) && desktop.messages.empty();
            } catch (...) {
            }
            _exit(unlocked ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
        EXPECT_EQ(WEXITSTATUS(status), 0);
        EXPECT_EQ(test::namesIn(temp.path()), (Names{"home", "report.txt"}));
        EXPECT_TRUE(test::readFile(temp / "report.txt") == plain);
    }
}
#endif

}  // namespace
}  // namespace vellumar
