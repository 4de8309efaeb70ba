// A Cancel taken while one long file is written, for every format and both
// directions: the new file is taken back, the source stands byte for byte
// with its name and marks, nothing is listed or recorded, and the run counts
// the file as not tried, like the files after it.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "engine/platform/atomic_file.h"
#include "engine/platform/paths.h"
#include "engine/platform/platform.h"
#include "engine/runs/write_batch.h"
#include "engine/sealing/sealed_lock.h"
#include "locking/file_operations.h"
#include "locking/sealing_keys.h"
#include "tests/engine/formats/lock_fixture.h"
#include "tests/support/temp_folder.h"

namespace vellumar::test {
namespace {

// Asks to stop once a new file is being written in `folder`: the cancel
// comes inside the file, while its temporary stands.
class CancelWhileWriting final : public ScriptedDesktop {
  public:
    explicit CancelWhileWriting(std::string folder) : folder_(std::move(folder)) {}
    bool cancelRequested() override {
        if (!asked) {
            const std::vector<std::string> names = namesIn(folder_);
            asked = std::any_of(names.begin(), names.end(), isTemporaryName);
        }
        return asked;
    }
    bool asked = false;

  private:
    std::string folder_;
};

uint32_t attributesOf(const std::string& path) {
    uint32_t attributes = 0;
    platformFileSystem().getAttributes(path, attributes);
    return attributes;
}

enum class Format { small, large, sealed };

// What a cancelled run must leave as it found it.
struct Standing {
    std::vector<std::string> names;  // the folder's, temporaries included
    std::string source;              // the file's bytes
    uint32_t attributes = 0;
    std::string hiddenList;  // the folder's ".hidden"
    std::string filesList;
    std::string home;  // every name in the application directory
};

Standing standing(const TempFolder& temp, const std::string& source) {
    const std::string folder = getFolderPart(source);
    return {namesIn(folder),
            readFile(source),
            attributesOf(source),
            readFile(folder + kSeparator + ".hidden"),
            readFile(applicationFile("files")),
            listTree(temp.home())};
}

void expectStillStanding(const Standing& now, const Standing& before) {
    EXPECT_EQ(now.names, before.names);
    // Compared, not printed: it is megabytes long.
    EXPECT_TRUE(now.source == before.source) << "the source's bytes changed";
    EXPECT_EQ(now.attributes, before.attributes);
    EXPECT_EQ(now.hiddenList, before.hiddenList);
    EXPECT_EQ(now.filesList, before.filesList);
    EXPECT_EQ(now.home, before.home);
}

TEST(CancelInsideAFile, TheFileStandsAsItWasAndCountsAsNotTried) {
    struct Case {
        const char* name;
        Format format;
        bool lock;
        size_t length;  // of the plain content
        bool batched;   // a batch takes a small file's content whole: none then
    } cases[] = {
        {"small lock, written in slices", Format::small, true, kLargeFileThreshold * 3 / 4, false},
        // Over the limit of unlocking in memory once locked.
        {"small unlock, streamed", Format::small, false, size_t{7} << 20, true},
        {"large lock", Format::large, true, kLargeFileThreshold + 1, true},
        {"large unlock", Format::large, false, kLargeFileThreshold + 1, true},
        {"sealed lock", Format::sealed, true, kLargeFileThreshold + 1, true},
        {"sealed unlock", Format::sealed, false, kLargeFileThreshold + 1, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder temp;
        SealingKeys keys;
        keys.add(AgeIdentity::generate());
        const AgeRecipient recipient = keys.recipient();
        std::string source = temp.write("w/content.bin", patternBytes(c.length));
        const std::string after = temp.write("w/after.txt", "after");
        ASSERT_EQ(platformFileSystem().setAttributes(source, kAttrArchive), IoError::ok);
        if (!c.lock) {
            // Locked and listed as "Encrypt File(s)" leaves it.
            ScriptedDesktop quiet;
            FileRequest request;
            request.listPath = applicationFile("files");
            request.plainAttributes = kAttrArchive;
            const FileResult locked =
                c.format == Format::sealed ? lockSealedFile(source, recipient, quiet, request)
                : c.format == Format::large ? lockLargeFile(source, quiet, request)
                                            : lockSmallFile(source, quiet, request);
            ASSERT_TRUE(locked.done());
            source = locked.output;
        }
        const Standing before = standing(temp, source);
        CancelWhileWriting desktop(getFolderPart(source));
        std::unique_ptr<WriteBatch> batch;
        if (c.batched) batch = std::make_unique<WriteBatch>(BatchThreads::callerOnly);

        RunReport report;
        if (c.lock) {
            LockOptions options;
            options.recordInFilesList = true;
            if (c.format == Format::sealed) options.sealFor = &recipient;
            report = lockFiles({source, after}, options, batch.get(), desktop);
        } else {
            UnlockOptions options;
            options.keys = &keys;
            report = unlockFiles({source, after}, options, batch.get(), desktop);
        }

        EXPECT_TRUE(desktop.asked) << "no cancel while the file was written";
        EXPECT_TRUE(report.cancelled);
        EXPECT_EQ(report.count(ItemStatus::notTried), 2u);
        EXPECT_EQ(report.items[0].file.problem, FileProblem::none);
        expectStillStanding(standing(temp, source), before);
        EXPECT_EQ(readFile(after), "after");
    }
}

}  // namespace
}  // namespace vellumar::test
