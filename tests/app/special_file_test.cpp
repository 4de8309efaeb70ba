// A pipe named like a locked file, given to an unlock run: refused by name,
// never opened. A pipe without a writer makes a blocking open wait forever;
// the alarm ends the test instead, should that come back.
#ifndef _WIN32

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/file_run_handlers.h"
#include "tests/locking/run_fixture.h"

namespace vellumar::test {
namespace {

class SpecialFiles : public Runs {};

TEST_F(SpecialFiles, APipeNamedLikeALockedFileIsRefusedByName) {
    const std::string small = lockedFile("w/small.txt", "small");
    const std::string pipe = temp / "w/pipe.VKL";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    alarm(30);
    for (auto run : {&cmdUnlockFolder_Click, &cmdUnlock_Click}) {
        model.targetList = model.foundFiles = rows({pipe, small});
        desktop.messages.clear();
        const RunOutcome outcome = run(model, desktop);
        EXPECT_EQ(desktop.messages,
                  (std::vector<Shown>{
                      {pipe + " is not a regular file and can not be unlocked.", Icon::none, "Vellumar"}}));
        EXPECT_EQ(outcome.refused, 1u);
        if (run == &cmdUnlockFolder_Click) {
            EXPECT_EQ(outcome.done, 1u);
            // Locked again for the second run.
            EXPECT_EQ(readFile(temp / "w/small.txt"), "small");
            lockedFile("w/small.txt", "small");
        }
    }
    alarm(0);
    struct stat st;
    ASSERT_EQ(lstat(pipe.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

}  // namespace
}  // namespace vellumar::test

#endif
