// A source that changes after it was read (a log written to, a file saved
// over) while a lock or unlock is under way must survive: it is kept as it
// now is, and its new file is taken back, in a write batch and file by file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/file_messages.h"
#include "engine/runs/write_batch.h"
#include "tests/engine/formats/lock_fixture.h"
#include "tests/support/forwarding_file_system.h"

namespace vellumar {
namespace {

using Names = std::vector<std::string>;
using test::lockLargeShown;
using test::lockSmallShown;
using test::unlockLargeShown;
using test::unlockSmallShown;

enum class Edit { append, swap };
const std::string kLine = "one more line\n";

// Edits the source once, right after it was read (when the handle it was
// read through is closed); files are batched only when asked.
class EditingFileSystem final : public test::ForwardingFileSystem {
  public:
    EditingFileSystem(std::string source, Edit edit, bool batched)
        : source_(std::move(source)), edit_(edit), batched_(batched) {}

    IoError openRead(const std::string& p, FileHandle& out) override {
        const IoError e = base().openRead(p, out);
        if (e == IoError::ok && p == source_ && !edited_) reading_ = out;
        return e;
    }
    IoError close(FileHandle f) override {
        const IoError e = base().close(f);
        if (f == reading_ && !edited_) {
            edited_ = true;
            edit();
        }
        return e;
    }
    IoError openVolume(const std::string& p, FileHandle& out) override {
        return batched_ ? base().openVolume(p, out) : IoError::unsupported;
    }
    bool edited() const { return edited_; }

  private:
    // A locked source is read-only: the person who edits it makes it
    // writable for the edit and read-only again, as root need not.
    void edit() {
        uint32_t attributes = 0;
        ASSERT_EQ(base().getAttributes(source_, attributes), IoError::ok);
        ASSERT_EQ(base().setAttributes(source_, attributes & ~kAttrReadOnly), IoError::ok);
        if (edit_ == Edit::append) {
            std::ofstream file(source_, std::ios::binary | std::ios::app);
            file << kLine;
            ASSERT_TRUE(file.flush()) << "the edit could not be written to " << source_;
        } else {
            // The same bytes, saved over it as editors do: another file now.
            const std::string bytes = test::readFile(source_);
            std::ofstream file(source_ + ".new", std::ios::binary);
            file << bytes;
            ASSERT_TRUE(file.flush()) << "the edit could not be written beside " << source_;
            file.close();
            std::filesystem::rename(source_ + ".new", source_);
        }
        ASSERT_EQ(base().setAttributes(source_, attributes), IoError::ok);
    }

    std::string source_;
    Edit edit_;
    bool batched_;
    FileHandle reading_ = kNoFile;
    bool edited_ = false;
};

struct Scenario {
    const char* name;
    size_t length;
    int locksBefore;  // how often report.txt is locked before the operation
    bool locking;
    const char* source;
    const char* target;
};

const Scenario kScenarios[] = {
    {"lock small", 53, 0, true, "report.txt", "ercbeg.gkt.VKL"},
    {"lock a further layer", 53, 1, true, "ercbeg.gkt.VKL", "ercbeg.gkt.VKL"},
    {"unlock small", 53, 1, false, "ercbeg.gkt.VKL", "report.txt"},
    {"unlock the outer layer", 53, 2, false, "ercbeg.gkt.VKL", "ercbeg.gkt.VKL"},
    {"lock large", 200001, 0, true, "report.txt", "ercbeg.gkt.VKW"},
    {"unlock large", 200001, 1, false, "ercbeg.gkt.VKW", "report.txt"},
};

bool run(const Scenario& s, bool locking, const std::string& path, Desktop& desktop,
         WriteBatch* batch = nullptr) {
    const bool large = s.length >= kLargeFileThreshold;
    if (locking)
        return large ? lockLargeShown(path, desktop, batch)
                     : lockSmallShown(path, desktop, true, batch);
    return large ? unlockLargeShown(path, desktop, batch) : unlockSmallShown(path, desktop, batch);
}

// Writes report.txt in `work` and locks it `locksBefore` times; returns the source.
std::string makeSource(const Scenario& s, const test::TempFolder& temp) {
    std::string path = temp.write("work/report.txt", test::patternBytes(s.length, 3));
    test::ScriptedDesktop quiet;
    for (int i = 0; i < s.locksBefore; ++i) {
        platformFileSystem().setAttributes(path, kAttrNormal);  // as the lock run does first
        EXPECT_TRUE(run(s, true, path, quiet));
        path = temp / (std::string("work/") + s.source);
    }
    if (s.locking) platformFileSystem().setAttributes(path, kAttrNormal);
    return path;
}

TEST(ChangedSource, ASourceChangedAfterItWasReadIsKeptAndItsNewFileTakenBack) {
    for (const Scenario& s : kScenarios) {
        for (const Edit edit : {Edit::append, Edit::swap}) {
            for (const bool batched : {false, true}) {
                const bool inPlace = std::string(s.source) == s.target;
                if (batched && inPlace) continue;  // a layer in place is never batched
                SCOPED_TRACE(testing::Message()
                             << s.name << (edit == Edit::append ? ", appended" : ", saved over")
                             << (batched ? ", batched" : ", file by file"));
                test::TempFolder temp;
                const std::string source = makeSource(s, temp);
                const std::string before = test::readFile(source);
                EditingFileSystem editing(source, edit, batched);
                test::ScriptedDesktop desktop;
                bool done = false;
                std::vector<BatchFailure> failures;
                {
                    FileSystemOverride use(editing);
                    WriteBatch batch;
                    // Where files are committed one by one, there is no batch to try.
                    if (batched && !batch.accepts(temp / "work")) continue;
                    done = run(s, s.locking, source, desktop, &batch);
                    failures = batch.commit();
                }
                ASSERT_TRUE(editing.edited());

                // Only the edited source is left, with no temporary beside it.
                EXPECT_EQ(test::namesIn(temp / "work"), Names{s.source});
                EXPECT_EQ(test::readFile(source), before + (edit == Edit::append ? kLine : ""));
                // An unlock looks again once it has cleared the attributes, and
                // may see the change itself before the batch does.
                if (batched && done) {
                    // Done as far as the engine knew; the commit took it back.
                    EXPECT_TRUE(done);
                    EXPECT_TRUE(desktop.messages.empty());
                    ASSERT_EQ(failures.size(), 1u);
                    EXPECT_EQ(failures[0].error, IoError::changed);
                    EXPECT_EQ(failures[0].source, source);
                    EXPECT_EQ(failures[0].target, temp / (std::string("work/") + s.target));
                } else {
                    EXPECT_TRUE(!s.locking || !batched) << "a lock is taken back by its batch";
                    EXPECT_FALSE(done);
                    EXPECT_TRUE(failures.empty());
                    EXPECT_EQ(desktop.messages,
                              (std::vector<test::Shown>{{changedDuringRunText(source, s.locking),
                                                         Icon::exclamation,
                                                         kChangedDuringRunTitle}}));
                }
            }
        }
    }
}

}  // namespace
}  // namespace vellumar
