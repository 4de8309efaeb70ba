// A locked or unlocked file keeps the owner and group of the file it
// replaces. Only root can make a file of another user, so these tests carry
// the label as-root (scripts/test runs them as root, the rest as a normal
// user).

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "engine/formats/large_file.h"
#include "engine/formats/small_file.h"
#include "tests/engine/formats/lock_fixture.h"

namespace vellumar {
namespace {

constexpr uid_t kOtherUser = 12345;
constexpr gid_t kOtherGroup = 23456;

struct stat statusOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return st;
}

TEST(Ownership, LockAndUnlockKeepTheOwnerGroupAndModeOfAnotherUsersFile) {
    if (::geteuid() != 0) GTEST_SKIP() << "only root can make a file of another user";
    for (const test::FormatRun& c : test::kFormatRuns) {
        SCOPED_TRACE(c.name);
        test::TempFolder temp;
        const std::string plain = temp.write("report.txt", test::patternBytes(c.length, 5));
        ASSERT_EQ(::chown(plain.c_str(), kOtherUser, kOtherGroup), 0);
        ASSERT_EQ(::chmod(plain.c_str(), 0640), 0);
        test::ScriptedDesktop desktop;

        const FileResult locked = c.lock(plain, desktop, {});
        ASSERT_TRUE(locked.done()) << static_cast<int>(locked.problem);
        struct stat st = statusOf(locked.output);
        EXPECT_EQ(st.st_uid, kOtherUser);
        EXPECT_EQ(st.st_gid, kOtherGroup);
        EXPECT_EQ(st.st_mode & 0070, 0040u);  // the group's read stays, and goes no further

        const FileResult unlocked = c.unlock(locked.output, desktop, {});
        ASSERT_TRUE(unlocked.done()) << static_cast<int>(unlocked.problem);
        st = statusOf(plain);
        EXPECT_EQ(st.st_uid, kOtherUser);
        EXPECT_EQ(st.st_gid, kOtherGroup);
        EXPECT_EQ(st.st_mode & 0777, 0640u);
        EXPECT_EQ(test::readFile(plain), test::patternBytes(c.length, 5));
    }
}

}  // namespace
}  // namespace vellumar
