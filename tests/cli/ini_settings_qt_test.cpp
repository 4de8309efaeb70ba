// The command line's settings file against the window's QSettings: what one
// writes the other reads, byte for byte, and a file the window keeps other
// settings in keeps them.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFile>
#include <QLockFile>
#include <QSettings>
#include <QString>
#include <barrier>
#include <string>
#include <thread>
#include <vector>

#include "app/qt_settings_store.h"
#include "cli/ini_file_lock.h"
#include "cli/ini_settings_store.h"
#include "tests/cli/ini_forms.h"
#include "tests/support/temp_folder.h"

namespace vellumar::test {
namespace {

const std::string kKey = "\x91\xA2\xB4\xB4\xB8\xB0\xB3\xA5";  // encodeText("Password")

std::string bytesFrom(int first, int last = 255) {
    std::string text;
    for (int c = first; c <= last; ++c) text += static_cast<char>(c);
    return text;
}

// Texts the store may have to keep: the shifted password's bytes, every
// byte, nothing, and what the file's syntax gives a meaning to.
const std::vector<std::string> kValues = {
    bytesFrom(97),
    bytesFrom(0),
    "",
    "@at",
    " spaced ",
    "a;b,c=d #\"q\" \\ [x]",
    "\x01"
    "2aF\x7f\x1f"
    "g",
    std::string("\0"
                "7",
                2),
};

// QSettings finds the file where the command line does: in the test's folder.
class SettingsFile : public ::testing::Test {
  protected:
    SettingsFile() {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           QString::fromStdString(temp / "config"));
    }
    std::string conf() const { return temp / "config/Tessarin.conf"; }

    TempFolder temp;
    QtSettingsStore qt;
    IniSettingsStore ini{temp / "config"};
};

TEST_F(SettingsFile, WhatOneWritesTheOtherReads) {
    for (size_t i = 0; i < kValues.size(); ++i) {
        const std::string& value = kValues[i];
        SCOPED_TRACE(i);
        ASSERT_TRUE(qt.saveSetting("Tessarin", "Settings", kKey, value));
        EXPECT_EQ(ini.getSetting("Tessarin", "Settings", kKey), value);
        const std::string qtFile = readFile(conf());

        ASSERT_TRUE(ini.saveSetting("Tessarin", "Settings", kKey, value + "+"));
        EXPECT_EQ(qt.getSetting("Tessarin", "Settings", kKey), value + "+");
        ASSERT_TRUE(ini.saveSetting("Tessarin", "Settings", kKey, value));
        EXPECT_EQ(qt.getSetting("Tessarin", "Settings", kKey), value);
        // The very bytes QSettings writes.
        EXPECT_EQ(readFile(conf()), qtFile);
    }
}

TEST_F(SettingsFile, KeysAndSectionsOfEveryByteMeetInTheSameEntry) {
    // '/' separates groups, so it stands in no key.
    const std::vector<std::string> keys = {bytesFrom(128), bytesFrom(1, '/' - 1),
                                           bytesFrom('/' + 1, 127), "General"};
    for (const std::string& key : keys) {
        for (const std::string& section : {std::string("Settings"), std::string("A b%c"), key}) {
            ASSERT_TRUE(qt.saveSetting("Tessarin", section, key, "by Qt"));
            EXPECT_EQ(ini.getSetting("Tessarin", section, key), "by Qt");
            ASSERT_TRUE(ini.saveSetting("Tessarin", section, key, "by the command line"));
            EXPECT_EQ(qt.getSetting("Tessarin", section, key), "by the command line");
        }
    }
}

TEST_F(SettingsFile, OtherSettingsInTheFileStayAsTheWindowLeftThem) {
    {
        QSettings settings(QSettings::NativeFormat, QSettings::UserScope, "Tessarin");
        settings.setValue("rootKey", "root");
        settings.setValue("Window/geometry", QByteArray("\x01\x02\xFF geometry", 12));
        settings.setValue("Window/size", 42);
        settings.setValue("Window/recent", QStringList{"a", "b,c"});
        settings.setValue("Settings/Other", "other");
        settings.setValue("Settings/" + QString::fromLatin1(kKey.c_str()), "old");
        settings.sync();
        ASSERT_EQ(settings.status(), QSettings::NoError);
    }
    ASSERT_TRUE(ini.saveSetting("Tessarin", "Settings", kKey, bytesFrom(97)));
    ASSERT_TRUE(ini.saveSetting("Tessarin", "Settings", "New", ""));
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, "Tessarin");
    EXPECT_EQ(settings.value("rootKey").toString(), "root");
    EXPECT_EQ(settings.value("Window/geometry").toByteArray(),
              QByteArray("\x01\x02\xFF geometry", 12));
    EXPECT_EQ(settings.value("Window/size").toInt(), 42);
    EXPECT_EQ(settings.value("Window/recent").toStringList(), (QStringList{"a", "b,c"}));
    EXPECT_EQ(settings.value("Settings/Other").toString(), "other");
    EXPECT_EQ(qt.getSetting("Tessarin", "Settings", kKey), bytesFrom(97));
    EXPECT_TRUE(settings.contains("Settings/New"));
    EXPECT_EQ(settings.value("Settings/New").toString(), "");
    EXPECT_EQ(settings.allKeys().size(), 7);
}

// The forms the command line's own test reads are what QSettings reads.
// A folder for each: QSettings takes a file of the same size and time for
// the one it has read.
TEST_F(SettingsFile, ReadsEveryFormAsQSettingsDoes) {
    int folder = 0;
    for (const IniFormCase& c : kIniForms) {
        SCOPED_TRACE(c.file);
        const std::string config = temp / ("forms" + std::to_string(folder++));
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           QString::fromStdString(config));
        temp.write(config.substr(temp.path().size() + 1) + "/Tessarin.conf", c.file);
        EXPECT_EQ(qt.getSetting("Tessarin", "S", "k"), c.value);
        EXPECT_EQ(IniSettingsStore(config).getSetting("Tessarin", "S", "k"), c.value);
    }
}

// The window and the command line rewriting the file at once, each a key of
// its own, many times over: every key either wrote is there at the end.
TEST_F(SettingsFile, WritesAtOnceWithTheWindowLoseNothing) {
    // Other settings make each rewrite take a while, as a real file does.
    {
        QSettings settings(QSettings::NativeFormat, QSettings::UserScope, "Tessarin");
        for (int i = 0; i < 300; ++i)
            settings.setValue(QStringLiteral("Window/entry%1").arg(i), QString(40, 'w'));
    }
    const int rounds = 40, writesPerRound = 4;
    std::barrier start(2);
    std::thread window([&start] {
        for (int round = 0; round < rounds; ++round) {
            start.arrive_and_wait();
            for (int i = 0; i < writesPerRound; ++i) {
                QSettings settings(QSettings::NativeFormat, QSettings::UserScope, "Tessarin");
                settings.setValue(QStringLiteral("Settings/window%1_%2").arg(round).arg(i), "w");
                settings.sync();
            }
        }
    });
    for (int round = 0; round < rounds; ++round) {
        start.arrive_and_wait();
        for (int i = 0; i < writesPerRound; ++i)
            EXPECT_TRUE(ini.saveSetting("Tessarin", "Settings",
                                        "cli" + std::to_string(round) + "_" + std::to_string(i),
                                        "c"));
    }
    window.join();
    int lost = 0;
    for (int round = 0; round < rounds; ++round) {
        for (int i = 0; i < writesPerRound; ++i) {
            const std::string suffix = std::to_string(round) + "_" + std::to_string(i);
            lost += ini.getSetting("Tessarin", "Settings", "window" + suffix) != "w";
            lost += ini.getSetting("Tessarin", "Settings", "cli" + suffix) != "c";
        }
    }
    EXPECT_EQ(lost, 0);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(conf() + ".lock")));
}

// The lock is QLockFile's own: the same lines, and while one side holds it
// the other waits, taking it for nobody's left over.
TEST_F(SettingsFile, TheLockIsTheOneQLockFileTakes) {
    const std::string lockPath = temp / "config.lock";
    const QString qtPath = QString::fromStdString(lockPath);
    {
        QLockFile qtLock(qtPath);
        ASSERT_TRUE(qtLock.tryLock(0));
        EXPECT_EQ(readFile(lockPath), IniFileLock::contents());
        IniFileLock ours(lockPath);
        EXPECT_EQ(ours.take(std::chrono::milliseconds(50)), IniFileLock::Outcome::busy);
    }
    IniFileLock ours(lockPath);
    ASSERT_EQ(ours.take(std::chrono::milliseconds(0)), IniFileLock::Outcome::taken);
    EXPECT_EQ(readFile(lockPath), IniFileLock::contents());
    QLockFile qtLock(qtPath);
    EXPECT_FALSE(qtLock.tryLock(50));
    EXPECT_EQ(qtLock.error(), QLockFile::LockFailedError);
    ours.release();
    EXPECT_TRUE(qtLock.tryLock(0));
}

// A lock whose process is gone is taken over at once; one held by a
// running process keeps the settings as they are and says why.
TEST_F(SettingsFile, ALeftOverLockIsTakenOverAndAHeldOneNamed) {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    ASSERT_GT(child, 0);
    ASSERT_EQ(::waitpid(child, nullptr, 0), child);
    std::string leftOver = IniFileLock::contents();
    leftOver.replace(0, leftOver.find('\n'), std::to_string(child));
    temp.write("config/Tessarin.conf.lock", leftOver);
    ASSERT_TRUE(ini.saveSetting("Tessarin", "Settings", "k", "after"));
    EXPECT_EQ(qt.getSetting("Tessarin", "Settings", "k"), "after");
    EXPECT_FALSE(QFile::exists(QString::fromStdString(conf() + ".lock")));

    std::vector<std::string> problems;
    IniSettingsStore waiting(temp / "config", std::chrono::milliseconds(100));
    waiting.onProblem([&problems](const std::string& p) { problems.push_back(p); });
    QLockFile held(QString::fromStdString(conf() + ".lock"));
    ASSERT_TRUE(held.tryLock(0));
    const std::string before = readFile(conf());
    EXPECT_FALSE(waiting.saveSetting("Tessarin", "Settings", "k", "while held"));
    EXPECT_EQ(readFile(conf()), before);
    EXPECT_EQ(problems, std::vector<std::string>{"the settings file " + conf() +
                                                 " is locked by another program"});
}

}  // namespace
}  // namespace vellumar::test
