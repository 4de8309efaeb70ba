// The running copy's lock and socket live only in a folder of the user's
// own that no one else can enter: another user who made the runtime folder
// first, or one open to others, could otherwise hold the lock (the program
// "already running" forever) or take the paths a later start hands over.

#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFile>
#include <QLockFile>
#include <QSysInfo>
#include <cstdlib>
#include <functional>
#include <map>
#include <string>

#include "app/instance_channel.h"
#include "app/single_instance.h"
#include "tests/support/temp_folder.h"

namespace vellumar {
namespace {

using test::TempFolder;

std::string bytes(const QString& path) {
    return QFile::encodeName(path).toStdString();
}
QString qpath(const std::string& path) {
    return QFile::decodeName(path.c_str());
}

unsigned modeOf(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return 0;
    return S_ISDIR(st.st_mode) ? (st.st_mode & 07777) : 0;
}

std::string userName() {
    const passwd* pw = ::getpwuid(::geteuid());
    return pw ? pw->pw_name : std::string();
}

// A process that ran and is gone.
pid_t deadProcess() {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    int status = 0;
    ::waitpid(child, &status, 0);
    return child;
}

// Keeps the environment the window's other tests set up.
class InstanceFolder : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* name : {"XDG_RUNTIME_DIR", "TMPDIR"})
            if (const char* value = std::getenv(name)) saved_[name] = value;
    }
    void TearDown() override {
        for (const char* name : {"XDG_RUNTIME_DIR", "TMPDIR"}) {
            const auto it = saved_.find(name);
            if (it == saved_.end())
                ::unsetenv(name);
            else
                ::setenv(name, it->second.c_str(), 1);
        }
    }
    // A folder open to every user, as /tmp is.
    static std::string sharedTemporaryFolder(const TempFolder& temp) {
        const std::string shared = temp.makeFolder("shared");
        ::chmod(shared.c_str(), 01777);
        ::setenv("TMPDIR", shared.c_str(), 1);
        return shared;
    }

  private:
    std::map<std::string, std::string> saved_;
};

TEST_F(InstanceFolder, OnlyAPrivateFolderOfTheUsersOwnHoldsTheLockAndTheDoor) {
    struct Case {
        const char* name;
        // Sets the scene; true when the runtime folder `run` is to be used.
        std::function<bool(const TempFolder&, std::string& run)> scene;
    };
    const Case cases[] = {
        {"a private runtime folder",
         [](const TempFolder& t, std::string& run) {
             run = t.makeFolder("run");
             ::chmod(run.c_str(), 0700);
             ::setenv("XDG_RUNTIME_DIR", run.c_str(), 1);
             return true;
         }},
        {"a runtime folder others can enter",
         [](const TempFolder& t, std::string& run) {
             run = t.makeFolder("run");
             ::chmod(run.c_str(), 0755);
             ::setenv("XDG_RUNTIME_DIR", run.c_str(), 1);
             return false;
         }},
        {"a link to a private folder",
         [](const TempFolder& t, std::string& run) {
             const std::string real = t.makeFolder("real");
             ::chmod(real.c_str(), 0700);
             run = t / "run";
             EXPECT_EQ(::symlink(real.c_str(), run.c_str()), 0);
             ::setenv("XDG_RUNTIME_DIR", run.c_str(), 1);
             return false;
         }},
        // su, sudo, ssh: no runtime folder; the one of the user's name in the
        // shared temporary folder may be anybody's, and so may the lock there.
        {"none, and one made first in the shared temporary folder",
         [](const TempFolder& t, std::string& run) {
             ::unsetenv("XDG_RUNTIME_DIR");
             run = sharedTemporaryFolder(t) + "/runtime-" + userName();
             ::mkdir(run.c_str(), 0755);
             ::chmod(run.c_str(), 0755);
             return false;
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder temp;
        std::string run;
        const bool useRun = c.scene(temp, run);
        const std::string folder = useRun ? run : temp.home() + "/runtime";

        // Someone else holds a lock in a runtime folder not to be used.
        QLockFile others(qpath(run + "/Tessarin.lock"));
        if (!useRun) others.tryLock(0);

        EXPECT_EQ(bytes(SingleInstance::lockPath(QStringLiteral("Tessarin"))),
                  folder + "/Tessarin.lock");
        EXPECT_EQ(bytes(InstanceChannel::serverName(QStringLiteral("Tessarin"))),
                  folder + "/Tessarin.socket");
        ASSERT_EQ(modeOf(folder), 0700u);
        // A lock left there by a copy that is gone is taken over.
        {
            QFile left(qpath(folder + "/Tessarin.lock"));
            ASSERT_TRUE(left.open(QIODevice::WriteOnly));
            left.write(QByteArray::number(deadProcess()) + "\napp_gui_tests\n" +
                       QSysInfo::machineHostName().toUtf8() + '\n');
        }
        SingleInstance instance;
        EXPECT_TRUE(instance.acquired());
        InstanceChannel channel;
        EXPECT_TRUE(channel.listen());
        struct stat st {};
        EXPECT_EQ(::lstat((folder + "/Tessarin.socket").c_str(), &st), 0);
        EXPECT_TRUE(S_ISSOCK(st.st_mode));
    }
}

// Neither the runtime folder nor the folder under the application directory
// is private: no lock and no door, and the program runs on.
TEST_F(InstanceFolder, WithoutAPrivateFolderTheProgramRunsWithoutLockOrDoor) {
    TempFolder temp;
    ::unsetenv("XDG_RUNTIME_DIR");
    sharedTemporaryFolder(temp);
    const std::string planted = temp.makeFolder("home/runtime");
    ::chmod(planted.c_str(), 0755);
    QLockFile others(qpath(planted + "/Tessarin.lock"));
    ASSERT_TRUE(others.tryLock(0));

    EXPECT_EQ(bytes(SingleInstance::lockPath(QStringLiteral("Tessarin"))), "");
    SingleInstance instance;
    EXPECT_TRUE(instance.acquired());
    InstanceChannel channel;
    EXPECT_FALSE(channel.listen());
    EXPECT_FALSE(InstanceChannel::send(OpenRequest{}, QStringLiteral("Tessarin"), 1000));
    EXPECT_EQ(test::listTree(temp.path()),
              "home\nhome/runtime\nhome/runtime/Tessarin.lock\nshared\n");
}

}  // namespace
}  // namespace vellumar
