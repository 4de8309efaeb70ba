// A folder the program makes is flushed into its parent before anything is
// written below it.

#include "engine/platform/durable_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "engine/platform/paths.h"
#include "engine/platform/platform.h"
#include "tests/support/forwarding_file_system.h"
#include "tests/support/temp_folder.h"

namespace vellumar::test {
namespace {

// Records each call that makes or flushes a folder, with the entries the
// flushed folder held by then.
class FolderRecorder : public ForwardingFileSystem {
  public:
    IoError createFolder(const std::string& p) override {
        calls.push_back("create " + p);
        return ForwardingFileSystem::createFolder(p);
    }
    IoError flushFolder(const std::string& p) override {
        std::vector<FolderEntry> entries;
        base().listFolder(p, entries);
        std::string names;
        for (const FolderEntry& entry : entries) names += " " + entry.name;
        calls.push_back("flush " + addBackslash(p) + ":" + names);
        return ForwardingFileSystem::flushFolder(p);
    }
    std::vector<std::string> calls;
};

TEST(DurableFolder, TheParentIsFlushedOnceTheFolderIsThere) {
    TempFolder temp;
    const std::string root = addBackslash(temp.makeFolder("w"));
    FolderRecorder recorder;
    FileSystemOverride use(recorder);
    EXPECT_EQ(makeFolderDurably(root + "made"), IoError::ok);
    EXPECT_EQ(makeFolderDurably(root + "made"), IoError::exists);
    EXPECT_EQ(recorder.calls, (std::vector<std::string>{"create " + root + "made",
                                                        "flush " + root + ": made",
                                                        "create " + root + "made"}));
}

#ifndef _WIN32
// The application directory and each folder made on the way to it.
TEST(DurableFolder, TheApplicationDirectoryIsFlushedIntoItsParent) {
    TempFolder temp;
    const std::string root = addBackslash(temp.makeFolder("w"));
    const std::string saved = temp.home();
    ::setenv("TESSARIN_HOME", (root + "new/app").c_str(), 1);
    FolderRecorder recorder;
    {
        FileSystemOverride use(recorder);
        EXPECT_EQ(applicationDirectory(), root + "new/app");
        applicationDirectory();  // there already: nothing more to flush
    }
    ::setenv("TESSARIN_HOME", saved.c_str(), 1);
    EXPECT_EQ(recorder.calls, (std::vector<std::string>{"flush " + root + ": new",
                                                        "flush " + root + "new/: app"}));
}
#endif

}  // namespace
}  // namespace vellumar::test
