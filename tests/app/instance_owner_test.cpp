// A folder of another user never holds the running copy's lock, however
// private it is. Only root can make one, so these tests carry the label
// as-root (scripts/test runs them as root, the rest as a normal user).

#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QLockFile>
#include <cstdlib>
#include <string>

#include "app/single_instance.h"
#include "tests/support/temp_folder.h"

namespace vellumar {
namespace {

constexpr uid_t kOtherUser = 12345;

std::string lockFolder() {
    const std::string path =
        QFile::encodeName(SingleInstance::lockPath(QStringLiteral("Tessarin"))).toStdString();
    return path.substr(0, path.rfind('/'));
}

std::string othersFolder(const test::TempFolder& temp, const std::string& relative) {
    const std::string folder = temp.makeFolder(relative);
    EXPECT_EQ(::chown(folder.c_str(), kOtherUser, kOtherUser), 0);
    EXPECT_EQ(::chmod(folder.c_str(), 0700), 0);
    return folder;
}

TEST(InstanceOwner, AnotherUsersFolderNeverHoldsTheLock) {
    if (::geteuid() != 0) GTEST_SKIP() << "only root can make a folder of another user";
    const char* kept = std::getenv("XDG_RUNTIME_DIR");
    const std::string runtime = kept ? kept : "";

    {
        SCOPED_TRACE("the runtime folder is another user's");
        test::TempFolder temp;
        ::setenv("XDG_RUNTIME_DIR", othersFolder(temp, "run").c_str(), 1);
        EXPECT_EQ(lockFolder(), temp.home() + "/runtime");
    }
    {
        // su, sudo, ssh: another user made the runtime folder of this user's
        // name in the shared temporary folder, and holds a lock beside it.
        SCOPED_TRACE("no runtime folder, and another user's in the shared temporary folder");
        test::TempFolder temp;
        ::unsetenv("XDG_RUNTIME_DIR");
        const std::string shared = temp.makeFolder("shared");
        ::chmod(shared.c_str(), 01777);
        const passwd* pw = ::getpwuid(::geteuid());
        othersFolder(temp, std::string("shared/runtime-") + (pw ? pw->pw_name : "root"));
        const char* tmp = std::getenv("TMPDIR");
        const std::string keptTmp = tmp ? tmp : "";
        ::setenv("TMPDIR", shared.c_str(), 1);
        QLockFile others(QFile::decodeName((shared + "/Tessarin.lock").c_str()));
        ASSERT_TRUE(others.tryLock(0));

        EXPECT_EQ(lockFolder(), temp.home() + "/runtime");
        SingleInstance instance;
        EXPECT_TRUE(instance.acquired());
        if (tmp)
            ::setenv("TMPDIR", keptTmp.c_str(), 1);
        else
            ::unsetenv("TMPDIR");
    }
    {
        SCOPED_TRACE("the folder under the application directory is another user's");
        test::TempFolder temp;
        ::unsetenv("XDG_RUNTIME_DIR");
        othersFolder(temp, "home/runtime");
        EXPECT_EQ(SingleInstance::lockPath(QStringLiteral("Tessarin")).toStdString(), "");
    }

    if (kept)
        ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    else
        ::unsetenv("XDG_RUNTIME_DIR");
}

}  // namespace
}  // namespace vellumar
