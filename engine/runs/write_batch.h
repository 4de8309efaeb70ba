#pragma once
// Locking or unlocking many files one flush at a time spends most of the
// run waiting for the disk. Within a batch the new files are written
// without flushing each one, then, for all of them at once:
//   1. one flush of each volume makes their content durable;
//   2. the list-file lines the batch gathered are written (each list once);
//   3. each new file takes its name (never over an existing file);
//   4. a second flush makes those names durable: the commit point;
//   5. only then are the sources removed, and a last flush follows.
// A crash at any instant still leaves the source, or the complete new file,
// or both; a temporary left behind carries the recognisable temporary name.
// A source that changed after it was read (a log written to meanwhile) is
// kept, and its new file taken back: it fails with IoError::changed.
// Volumes that cannot be flushed whole (and every volume on Windows) are
// never batched: their files are committed one by one as usual.
//
// A small file's new content can be handed over whole: the batch writes it
// under a temporary name itself, and an error there fails that file at the
// commit like any later step would (its source stands).
//
// Other threads may help (BatchThreads): one writes the handed-over contents
// while the run reads and transforms the next files, and one takes half of
// the names and removals. On the caller's thread alone everything happens in
// order, so that a test can count every call: handed-over contents are then
// written when the commit starts (or when too much waits).
//
// A batch is handed to the operations that use it; nothing finds it through
// process-wide state.

#include <cstdint>
#include <future>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "engine/platform/atomic_file.h"
#include "engine/platform/file_system.h"

namespace vellumar {

class BackgroundWriter;

// A file that a batch could not commit: the source still stands.
struct BatchFailure {
    std::string source;
    std::string target;
    IoError error = IoError::ok;
    // The new file could not even be written (its content was handed over).
    bool unwritten = false;
};

enum class BatchThreads {
    helpers,     // a writer thread and a helper for the names and removals
    callerOnly,  // everything on the caller's thread, in order
    // Helpers on the platform's file system; the caller's thread alone when
    // a test put its own file system in place, so that its calls keep their order.
    automatic,
};

class WriteBatch {
  public:
    explicit WriteBatch(BatchThreads threads = BatchThreads::automatic);
    // Commits what is still pending.
    ~WriteBatch();
    WriteBatch(const WriteBatch&) = delete;
    WriteBatch& operator=(const WriteBatch&) = delete;

    // Whether files in this folder can be batched.
    bool accepts(const std::string& folder);
    // Takes over a completely written output that replaces `source` (a
    // different file, as the output's standInFor() gave it). Ok means it
    // will be committed with the batch.
    IoError adopt(AtomicFile& output, const std::string& source);
    // Takes the whole content of a new file `target` that replaces `source`
    // (a different file, in a folder the batch accepts, with its status as
    // it was opened for reading) and writes it with the given attributes,
    // and what it keeps of its source (AtomicFile::keepTraits), before the
    // commit.
    void adoptContent(const std::string& target, const std::string& source,
                      const FileStatus& sourceAsRead, std::string content, uint32_t attributes,
                      AtomicFile::Traits traits = AtomicFile::Traits::none,
                      uint32_t plainAttributes = kAttrNormal);
    // A line to add to a list file with the batch, before any source goes.
    void appendLine(const std::string& listPath, const std::string& line);
    // True when the path is the source of a file waiting in the batch: done
    // with, though it still stands until the commit.
    bool replacing(const std::string& path) const { return sources_.count(path) != 0; }
    // True when a new file waiting in the batch is to take this name.
    bool writing(const std::string& target) const { return targets_.count(target) != 0; }

    // Time to commit: enough files or bytes are waiting. The limits bound
    // the room the new files take beside their sources.
    bool full() const;
    // Commits everything pending; returns the files that could not be.
    std::vector<BatchFailure> commit();

    static constexpr size_t kMaxFiles = 20000;
    static constexpr uint64_t kMaxBytes = uint64_t{1} << 30;
    // Handed-over contents held in memory at most, waiting to be written.
    // Small, as the run (and the window with it) waits while it is reached.
    static constexpr uint64_t kMaxWaitingBytes = uint64_t{8} << 20;

  private:
    struct PendingWrite;
    struct Entry {
        std::shared_ptr<PendingWrite> write;  // content handed over, written by the batch
        std::string temporary;
        std::string target;
        std::string source;
        std::string folder;
        FileStatus sourceAsRead;
        uint64_t volume = 0;
        bool named = false;  // the new file holds its final name
        bool live = true;    // still on its way to commit
    };
    using Failures = std::vector<BatchFailure>;
    static void fail(Entry& entry, IoError error, Failures& failures);
    std::map<uint64_t, IoError> flushVolumes(const std::vector<Entry>& entries) const;
    void flushOrFail(std::vector<Entry>& entries, Failures& failures) const;
    static void name(Entry& entry, Failures& failures);
    static void removeSource(Entry& entry, Failures& failures);
    // Runs `step` on every live entry, half of them on the helper thread.
    void forEachLive(std::vector<Entry>& entries, void (*step)(Entry&, Failures&),
                     Failures& failures);
    bool helped() const;
    static Entry newEntry(const std::string& target, const std::string& source,
                          const FileStatus& sourceAsRead);
    // Takes the entry into the batch, with the bytes its new file holds.
    void admit(Entry entry, uint64_t bytes);
    // Waits until every handed-over content is written (or writes them).
    void finishWrites(std::vector<Entry>& entries, Failures& failures);

    bool helped_;
    std::vector<Entry> entries_;
    std::set<std::string> sources_;
    std::set<std::string> targets_;
    std::vector<std::pair<std::string, std::vector<std::string>>> lines_;
    uint64_t bytes_ = 0;
    std::unique_ptr<BackgroundWriter> writer_;
    // folder -> whether it can be batched, and its volume
    std::map<std::string, std::pair<bool, uint64_t>> folders_;
    // volume -> the handle its flushes go through, open for the whole batch
    std::map<uint64_t, FileHandle> volumes_;
};

}  // namespace vellumar
