// The list files under the list lock: writers in parallel, in other
// processes or on other threads, lose none of each other's lines.

#include "engine/lists/list_file.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "engine/lists/list_lock.h"
#include "engine/platform/platform.h"
#include "tests/support/temp_folder.h"

namespace vellumar {
namespace {

constexpr int kWriters = 6;
constexpr int kLinesEach = 25;

// Writer w adds its lines one read-modify-write at a time, alternating the
// two kinds: an append, and an edit that adds a line to what it read.
void addLines(const std::string& list, int writer) {
    for (int i = 0; i < kLinesEach; ++i) {
        const std::string line = "/w" + std::to_string(writer) + "/" + std::to_string(i);
        if (i % 2 == 0) {
            appendListLines(list, {line});
        } else {
            editListFile(list, [&line](std::vector<std::string>& lines) {
                lines.push_back(line);
                return true;
            });
        }
    }
}

void expectEveryLine(const std::string& list) {
    std::vector<std::string> lines;
    ASSERT_EQ(readListFile(list, lines), IoError::ok);
    EXPECT_EQ(lines.size(), size_t{kWriters * kLinesEach});
    const std::set<std::string> distinct(lines.begin(), lines.end());
    EXPECT_EQ(distinct.size(), size_t{kWriters * kLinesEach});
}

#ifndef _WIN32
TEST(ListFile, ProcessesChangingAListAtOnceLoseNoLine) {
    test::TempFolder temp;
    const std::string list = applicationFile("files");
    std::vector<pid_t> children;
    for (int w = 0; w < kWriters; ++w) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            addLines(list, w);
            _exit(0);
        }
        children.push_back(child);
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    expectEveryLine(list);
    EXPECT_EQ(test::listTree(temp.home()), "files\n");  // the lock leaves no file
}
#endif

// Threads of one process wait for each other, and a thread that holds the
// lock may take it again (an edit that appends) without waiting for itself.
TEST(ListFile, ThreadsChangingAListAtOnceLoseNoLineAndTheLockNests) {
    test::TempFolder temp;
    const std::string list = applicationFile("folders");
    std::vector<std::thread> threads;
    for (int w = 0; w < kWriters; ++w) threads.emplace_back(addLines, list, w);
    for (std::thread& thread : threads) thread.join();
    expectEveryLine(list);

    const ListLock outer;
    EXPECT_EQ(editListFile(list,
                           [&list](std::vector<std::string>& lines) {
                               appendListLines(list, {"/nested"});
                               lines.clear();
                               return true;
                           }),
              IoError::ok);
    EXPECT_EQ(test::readFile(list), "");
}

}  // namespace
}  // namespace vellumar
