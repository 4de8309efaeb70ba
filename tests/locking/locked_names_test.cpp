// A lock run refuses a file whose locked name would differ only in case from
// a name of its folder, one there already or one the run gave: Windows could
// not tell the two apart once the folder is on a stick or a share. Nothing of
// a refused file changes.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/formats/locked_header.h"
#include "engine/platform/paths.h"
#include "engine/runs/write_batch.h"
#include "locking/file_operations.h"
#include "tests/engine/formats/lock_fixture.h"

namespace vellumar::test {
namespace {

std::string lockedFileName(const std::string& path) {
    return getFileName(lockedName(path, ".VKL"));
}

TEST(LockedNames, ALockedNameThatDiffersOnlyInCaseFromANameOfItsFolderIsRefused) {
    TempFolder temp;
    struct Row {
        std::string path;
        std::string content;
        std::string twin;  // the name it is refused for; empty: locked
    };
    // A file of someone else's, named as notes.txt locked but for case.
    const std::string foreign = temp.write("w/ABGRF.GKT.VKL", "not ours");
    std::vector<Row> rows = {
        {temp.write("w/notes.txt", "notes"), "notes", "ABGRF.GKT.VKL"},
        {temp.write("w/free.txt", "free"), "free", ""},
    };
#ifndef _WIN32
    // Twins among the plain names: the first is locked, the second would
    // be the twin of the name the run gave. The same with the Windows-1252
    // letters, which the scramble keeps as they are.
    const std::string upper = temp.write("w/Report.txt", "R");
    const std::string accented = temp.write("w/\xc3\x89t\xc3\xa9.txt", "E");
    rows.push_back({upper, "R", ""});
    rows.push_back({temp.write("w/report.txt", "r"), "r", lockedFileName(upper)});
    rows.push_back({accented, "E", ""});
    rows.push_back({temp.write("w/\xc3\xa9t\xc3\xa9.txt", "e"), "e", lockedFileName(accented)});
#endif
    std::vector<std::string> paths;
    for (const Row& row : rows) paths.push_back(row.path);

    ScriptedDesktop desktop;
    WriteBatch batch(BatchThreads::callerOnly);
    const RunReport report = lockFiles(paths, LockOptions{}, &batch, desktop);

    ASSERT_EQ(report.items.size(), rows.size());
    std::vector<std::string> names = {getFileName(foreign)};
    for (size_t i = 0; i < rows.size(); ++i) {
        const Row& row = rows[i];
        const ItemResult& item = report.items[i];
        SCOPED_TRACE(row.path);
        if (row.twin.empty()) {
            EXPECT_EQ(item.status, ItemStatus::done);
            names.push_back(lockedFileName(row.path));
        } else {
            EXPECT_EQ(item.status, ItemStatus::refused);
            EXPECT_EQ(item.refusal, Refusal::caseTwin);
            EXPECT_EQ(item.caseTwin, row.twin);
            EXPECT_EQ(readFile(row.path), row.content);
            names.push_back(getFileName(row.path));
        }
    }
    // Nothing else was made, not even a temporary.
    std::sort(names.begin(), names.end());
    EXPECT_EQ(namesIn(temp / "w"), names);
    EXPECT_EQ(readFile(foreign), "not ours");
}

}  // namespace
}  // namespace vellumar::test
