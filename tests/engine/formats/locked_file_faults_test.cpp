// Each platform call of each lock and unlock made to fail, and the process
// ended at each one: the content must survive every time, plain or in a
// complete locked file, and a failure must leave the source as it was.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "engine/formats/large_file.h"
#include "engine/formats/locked_header.h"
#include "engine/formats/small_file.h"
#include "tests/engine/formats/lock_fixture.h"
#include "tests/support/faulty_file_system.h"

namespace vellumar {
namespace {

using Names = std::vector<std::string>;
using test::lockLargeShown;
using test::lockSmallShown;
using test::unlockLargeShown;
using test::unlockSmallShown;

struct Scenario {
    const char* name;
    size_t length;
    int locksBefore;  // how often report.txt is locked before the operation
    bool locking;     // the operation locks (once more) or unlocks (one layer)
    const char* source;
    const char* target;
};

const Scenario kScenarios[] = {
    {"lock small", 53, 0, true, "report.txt", "ercbeg.gkt.VKL"},
    {"lock a further layer", 53, 1, true, "ercbeg.gkt.VKL", "ercbeg.gkt.VKL"},
    {"unlock small", 53, 1, false, "ercbeg.gkt.VKL", "report.txt"},
    {"unlock the outer layer", 53, 2, false, "ercbeg.gkt.VKL", "ercbeg.gkt.VKL"},
    {"lock large", 200001, 0, true, "report.txt", "ercbeg.gkt.VKW"},
    {"unlock large", 200001, 1, false, "ercbeg.gkt.VKW", "report.txt"},
    // Locked, longer than the unlock holds in memory: unlocked in pieces.
    {"Decrypt in pieces", kSmallFileInMemoryLimit * 3 / 4 + 10000, 1, false, "ercbeg.gkt.VKL",
     "report.txt"},
};

std::string plainOf(const Scenario& s) {
    return test::patternBytes(s.length, 7);
}

bool run(const Scenario& s, const std::string& path) {
    test::ScriptedDesktop desktop;
    const bool large =
        std::string(s.source).ends_with(".VKW") || std::string(s.target).ends_with(".VKW");
    if (s.locking) return large ? lockLargeShown(path, desktop) : lockSmallShown(path, desktop, true);
    return large ? unlockLargeShown(path, desktop) : unlockSmallShown(path, desktop);
}

// The scenario's source, made once: report.txt locked `locksBefore` times.
std::string sourceBytes(const Scenario& s) {
    test::TempFolder temp;
    std::string path = temp.write("report.txt", plainOf(s));
    Scenario lockOnce = s;
    lockOnce.locking = true;
    for (int i = 0; i < s.locksBefore; ++i) {
        platformFileSystem().setAttributes(path, kAttrNormal);  // as the lock run does first
        EXPECT_TRUE(run(lockOnce, path));
        path = temp / s.source;
    }
    return test::readFile(path);
}

int callsOf(const Scenario& s, const std::string& bytes) {
    test::TempFolder temp;
    const std::string source = temp.write(std::string("work/") + s.source, bytes);
    test::FaultyFileSystem counting;
    FileSystemOverride use(counting);
    EXPECT_TRUE(run(s, source));
    return counting.calls();
}

bool hasTemporary(const std::string& folder) {
    for (const std::string& name : test::namesIn(folder))
        if (isTemporaryName(name)) return true;
    return false;
}

TEST(LockFaults, AFailureAtAnyCallKeepsTheSourceAndLeavesNoTemporary) {
    for (const Scenario& s : kScenarios) {
        const std::string bytes = sourceBytes(s);
        const int calls = callsOf(s, bytes);
        for (int n = 1; n <= calls; ++n) {
            test::TempFolder temp;
            const std::string source = temp.write(std::string("work/") + s.source, bytes);
            test::FaultyFileSystem faulty;
            faulty.failAt(n);
            bool done;
            {
                FileSystemOverride use(faulty);
                done = run(s, source);
            }
            SCOPED_TRACE(testing::Message()
                         << s.name << ", call " << n << " (" << faulty.log()[n - 1] << ") "
                         << (done ? "done" : "failed"));
            ASSERT_TRUE(faulty.triggered());
            EXPECT_FALSE(hasTemporary(temp / "work"));
            EXPECT_FALSE(hasTemporary(temp.home()));
            if (done) {
                EXPECT_EQ(test::namesIn(temp / "work"), Names{s.target});
                EXPECT_EQ(test::unlockedContent(temp / "work/" + s.target, temp), plainOf(s));
            } else {
                EXPECT_EQ(test::namesIn(temp / "work"), Names{s.source});
                EXPECT_EQ(test::readFile(source), bytes);
            }
        }
    }
}

#ifndef _WIN32
TEST(LockFaults, ACrashAtAnyCallLeavesTheContentPlainOrInACompleteLockedFile) {
    for (const Scenario& s : kScenarios) {
        const std::string bytes = sourceBytes(s);
        const int calls = callsOf(s, bytes);
        for (int n = 1; n <= calls; ++n) {
            SCOPED_TRACE(testing::Message() << s.name << ", crash at call " << n);
            test::TempFolder temp;
            const std::string source = temp.write(std::string("work/") + s.source, bytes);
            const pid_t child = fork();
            ASSERT_NE(child, -1);
            if (child == 0) {
                test::FaultyFileSystem faulty;
                faulty.crashAt(n);
                FileSystemOverride use(faulty);
                run(s, source);
                _exit(0);
            }
            int status = 0;
            ASSERT_EQ(waitpid(child, &status, 0), child);
            ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 42) << "no crash";

            // Temporaries may stay behind; every other file holds the content.
            const Names names = test::namesIn(temp / "work", false);
            EXPECT_FALSE(names.empty());
            for (const std::string& name : names) {
                EXPECT_TRUE(name == s.source || name == s.target) << name;
                EXPECT_EQ(test::unlockedContent(temp / "work/" + name, temp), plainOf(s)) << name;
            }
        }
    }
}
#endif

}  // namespace
}  // namespace vellumar
