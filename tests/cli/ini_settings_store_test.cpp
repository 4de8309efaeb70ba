// The command line's settings file on its own: every byte comes back, the
// forms another writer may leave are read as the window reads them, and a
// rewrite leaves every other line of the file as it was.

#include "cli/ini_settings_store.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "engine/platform/paths.h"
#include "tests/cli/ini_forms.h"
#include "tests/support/forwarding_file_system.h"
#include "tests/support/temp_folder.h"

namespace vellumar::test {
namespace {

const std::string kKey = "\x91\xA2\xB4\xB4\xB8\xB0\xB3\xA5";  // encodeText("Password")

std::string allBytesFrom(int first) {
    std::string text;
    for (int c = first; c <= 255; ++c) text += static_cast<char>(c);
    return text;
}

unsigned modeOf(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 0777 : 0u;
}

class IniSettings : public ::testing::Test {
  protected:
    std::string conf() const { return temp / "config/Tessarin.conf"; }
    TempFolder temp;
    IniSettingsStore store{temp / "config"};
};

TEST_F(IniSettings, EveryValueComesBackAndAFreshFileIsPrivate) {
    EXPECT_EQ(store.getSetting("Tessarin", "Settings", kKey), "");
    EXPECT_EQ(store.settingsFilePath("Tessarin"), conf());
    for (const std::string& value :
         {allBytesFrom(97), allBytesFrom(0), std::string(), std::string("@at"),
          std::string(" spaced "), std::string("a;b,c=d \"q\" \\"),
          std::string("\x01"
                      "2aF\x7f")}) {
        ASSERT_TRUE(store.saveSetting("Tessarin", "Settings", kKey, value));
        EXPECT_EQ(store.getSetting("Tessarin", "Settings", kKey), value);
        EXPECT_EQ(IniSettingsStore(temp / "config").getSetting("Tessarin", "Settings", kKey),
                  value);
    }
    EXPECT_EQ(modeOf(conf()), 0600u);
    EXPECT_EQ(store.getSetting("Tessarin", "Other", kKey), "");
    EXPECT_EQ(store.getSetting("Other", "Settings", kKey), "");
}

// Lines of other sections and keys, comments and odd spacing stay byte for
// byte; the value takes the place of the old one, and a new key goes at the
// end of its section.
TEST_F(IniSettings, ARewriteChangesTheOneEntryAlone) {
    const std::string before =
        "; kept\r\n[General]\nroot = 1 \n\n[Settings]\nOther=\"a;b\"\nk=old\nk=older\n"
        "Tail=x\\\n  continued\n\n[Z]\nk=z";
    temp.write("config/Tessarin.conf", before);
    ASSERT_TRUE(store.saveSetting("Tessarin", "Settings", "k", "new"));
    EXPECT_EQ(readFile(conf()),
              "; kept\r\n[General]\nroot = 1 \n\n[Settings]\nOther=\"a;b\"\nk=new\n"
              "Tail=x\\\n  continued\n\n[Z]\nk=z");
    ASSERT_TRUE(store.saveSetting("Tessarin", "Settings", "n", "1"));
    ASSERT_TRUE(store.saveSetting("Tessarin", "Z", "m", "2"));
    ASSERT_TRUE(store.saveSetting("Tessarin", "New Section", "p", "3"));
    EXPECT_EQ(readFile(conf()),
              "; kept\r\n[General]\nroot = 1 \n\n[Settings]\nOther=\"a;b\"\nk=new\n"
              "Tail=x\\\n  continued\nn=1\n\n[Z]\nk=z\nm=2\n\n[New%20Section]\np=3\n");
    EXPECT_EQ(store.getSetting("Tessarin", "", "root"), "1");
    EXPECT_EQ(store.getSetting("Tessarin", "Settings", "Tail"), "x  continued");
    EXPECT_EQ(store.getSetting("Tessarin", "Settings", "Other"), "a;b");

    // A last line that ends in an escape takes no line put after it.
    for (const char* last : {"k=a\\", "k=a\\\n", "k=a\\\r"}) {
        SCOPED_TRACE(last);
        temp.write("config/Tessarin.conf", std::string("[S]\n") + last);
        ASSERT_TRUE(store.saveSetting("Tessarin", "S", "j", "b"));
        EXPECT_EQ(store.getSetting("Tessarin", "S", "k"), "a");
        EXPECT_EQ(store.getSetting("Tessarin", "S", "j"), "b");
    }
    // A byte order mark stays first.
    temp.write("config/Tessarin.conf", "\xEF\xBB\xBF[S]\nk=1\n");
    ASSERT_TRUE(store.saveSetting("Tessarin", "S", "j", "b"));
    EXPECT_EQ(readFile(conf()), "\xEF\xBB\xBF[S]\nk=1\nj=b\n");
}

// What the window's QSettings makes of what a person or another writer may
// leave in the file.
TEST_F(IniSettings, ReadsTheFormsOtherWritersLeave) {
    for (const IniFormCase& c : kIniForms) {
        SCOPED_TRACE(c.file);
        temp.write("config/Tessarin.conf", c.file);
        EXPECT_EQ(store.getSetting("Tessarin", "S", "k"), c.value);
    }
    temp.write("config/Tessarin.conf", "\xEF\xBB\xBF[General]\nk=root\n[%General]\nk=group\n");
    EXPECT_EQ(store.getSetting("Tessarin", "", "k"), "root");
    EXPECT_EQ(store.getSetting("Tessarin", "General", "k"), "group");
}

// Ends the run when `work` has not returned within a minute: reading the
// files below takes milliseconds when linear and most of an hour when not.
template <class Work>
void finishesWithinAMinute(Work work) {
    std::promise<void> done;
    std::future<void> finished = done.get_future();
    std::thread watchdog([&finished] {
        if (finished.wait_for(std::chrono::minutes(1)) == std::future_status::timeout) {
            std::fputs("the settings file is still being read after a minute\n", stderr);
            std::_Exit(1);
        }
    });
    work();
    done.set_value();
    watchdog.join();
}

// A long continued line after many blanks, within the size the store reads.
TEST_F(IniSettings, ALongContinuedLineIsReadInLinearTime) {
    const size_t pieces = 700000;
    std::string file = "[Settings]\n" + std::string(1500000, ' ') + "a=x\\\n";
    for (size_t i = 0; i < pieces; ++i) file += "y\\\n";
    file += "\nk=found\n";
    temp.write("config/Tessarin.conf", file);
    finishesWithinAMinute([&] {
        EXPECT_EQ(store.getSetting("Tessarin", "Settings", "k"), "found");
        EXPECT_EQ(store.getSetting("Tessarin", "Settings", "a"), "x" + std::string(pieces, 'y'));
        ASSERT_TRUE(store.saveSetting("Tessarin", "Settings", "k", "kept"));
    });
    EXPECT_EQ(readFile(conf()), file.substr(0, file.size() - 6) + "kept\n");
}

// A file larger than the program could have made is neither read nor
// rewritten, and the reason names it.
TEST_F(IniSettings, AFileTooLargeToReadIsLeftAsItIsAndNamed) {
    std::vector<std::string> problems;
    store.onProblem([&problems](const std::string& p) { problems.push_back(p); });
    const std::string atLimit =
        "[Settings]\nk=v\n;" + std::string(IniSettingsStore::kMaxFileSize - 17, 'c') + "\n";
    ASSERT_EQ(atLimit.size(), IniSettingsStore::kMaxFileSize);
    temp.write("config/Tessarin.conf", atLimit);
    EXPECT_EQ(store.getSetting("Tessarin", "Settings", "k"), "v");

    const std::string over = atLimit + ";";
    temp.write("config/Tessarin.conf", over);
    EXPECT_EQ(store.getSetting("Tessarin", "Settings", "k"), "");
    EXPECT_FALSE(store.saveSetting("Tessarin", "Settings", "k", "new"));
    EXPECT_EQ(readFile(conf()), over);
    const std::string problem = "the settings file " + conf() + " is too large to read";
    EXPECT_EQ(problems, (std::vector<std::string>{problem, problem}));
    EXPECT_EQ(listTree(temp / "config"), "Tessarin.conf\n");
}

// The file holds the shifted password: one left open to others is closed up
// when it is read, and one that cannot be read is never replaced, as its
// other settings would be lost.
TEST_F(IniSettings, KeepsTheFilePrivateAndAnUnreadableOneWhole) {
    temp.write("config/Tessarin.conf", "[Settings]\nk=v\n");
    ASSERT_EQ(::chmod(conf().c_str(), 0644), 0);
    EXPECT_EQ(store.getSetting("Tessarin", "Settings", "k"), "v");
    EXPECT_EQ(modeOf(conf()), 0600u);

    temp.makeFolder("config/Blocked.conf");
    EXPECT_FALSE(store.saveSetting("Blocked", "Settings", "k", "v"));
    EXPECT_EQ(store.getSetting("Blocked", "Settings", "k"), "");
    EXPECT_EQ(listTree(temp / "config"), "Blocked.conf\nTessarin.conf\n");
}

// A settings file that is a link (into a folder of dotfiles) stays one: the
// file it leads to is rewritten, as the window's QSettings rewrites it.
TEST_F(IniSettings, ALinkedFileIsRewrittenWhereItLeads) {
    const std::string real = temp.write("dotfiles/tessarin.conf", "[Other]\nk=kept\n");
    temp.makeFolder("config");
    ASSERT_EQ(::symlink("../dotfiles/tessarin.conf", conf().c_str()), 0);
    ASSERT_TRUE(store.saveSetting("Tessarin", "Settings", kKey, "new"));
    struct stat st;
    ASSERT_EQ(::lstat(conf().c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(readFile(real), "[Other]\nk=kept\n\n[Settings]\n%91%A2%B4%B4%B8%B0%B3%A5=new\n");
    EXPECT_EQ(listTree(temp / "dotfiles"), "tessarin.conf\n");
    EXPECT_EQ(store.getSetting("Tessarin", "Settings", kKey), "new");
    EXPECT_EQ(store.getSetting("Tessarin", "Other", "k"), "kept");
}

// The folders made for the file are flushed into their parents before the
// file is written, so that a crash does not take the new file with them.
TEST_F(IniSettings, NewFoldersAreFlushedIntoTheirParents) {
    struct Recorder : ForwardingFileSystem {
        IoError flushFolder(const std::string& p) override {
            FileStatus status;
            base().status(p + "config", status);
            flushed.push_back(p + (status.kind == EntryKind::folder ? " holding config" : ""));
            return ForwardingFileSystem::flushFolder(p);
        }
        std::vector<std::string> flushed;
    } recorder;
    {
        FileSystemOverride use(recorder);
        ASSERT_TRUE(store.saveSetting("Tessarin", "Settings", kKey, "value"));
    }
    const std::string root = addBackslash(temp.path());
    EXPECT_NE(std::find(recorder.flushed.begin(), recorder.flushed.end(), root + " holding config"),
              recorder.flushed.end());
}

}  // namespace
}  // namespace vellumar::test
