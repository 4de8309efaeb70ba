#include "engine/runs/write_batch.h"

#include <system_error>

#include "engine/runs/background_writer.h"
#include "engine/lists/list_file.h"
#include "engine/platform/paths.h"
#include "engine/runs/transfer.h"

namespace vellumar {
namespace {

// Starts `work` on a thread of its own; runs it here when no thread can be had.
template <typename Work>
std::future<void> beside(Work work) {
    try {
        return std::async(std::launch::async, work);
    } catch (const std::system_error&) {
        work();
        return {};
    }
}

void await(std::future<void>& work) {
    if (work.valid()) work.get();
}

}  // namespace

// A handed-over content and, once written, the temporary holding it.
struct WriteBatch::PendingWrite {
    std::string target;
    std::string source;
    FileStatus sourceAsRead;
    std::string content;
    uint32_t attributes = kAttrNormal;
    AtomicFile::Traits traits = AtomicFile::Traits::none;
    uint32_t plainAttributes = kAttrNormal;
    std::string temporary;
    IoError error = IoError::ok;

    void run() {
        AtomicFile file(target);
        file.standInFor(source, sourceAsRead);
        file.keepTraits(traits, plainAttributes);
        IoError e = file.open();
        if (e == IoError::ok) e = file.write(content);
        file.setAttributes(attributes);
        if (e == IoError::ok) e = file.handOver(temporary);
        error = e;  // on failure the file's destructor removes the temporary
        content = std::string();
    }
};

WriteBatch::WriteBatch(BatchThreads threads)
    : helped_(threads == BatchThreads::helpers ||
              (threads == BatchThreads::automatic && &fileSystem() == &platformFileSystem())) {}

WriteBatch::~WriteBatch() {
    commit();
    for (const auto& [id, volume] : volumes_) fileSystem().close(volume);
}

bool WriteBatch::helped() const {
    return helped_;
}

bool WriteBatch::accepts(const std::string& folder) {
    auto known = folders_.find(folder);
    if (known != folders_.end()) return known->second.first;
    FileSystem& fs = fileSystem();
    const std::string where = folder.empty() ? std::string(".") : folder;
    FileStatus status;
    bool batched = fs.status(where, status) == IoError::ok;
    // The volume's handle is opened before anything of the batch is written
    // there, so that its flushes report every write error of the batch.
    if (batched && !volumes_.count(status.volume)) {
        FileHandle volume = kNoFile;
        batched = fs.openVolume(where, volume) == IoError::ok;
        if (batched) volumes_[status.volume] = volume;
    }
    folders_[folder] = {batched, status.volume};
    return batched;
}

WriteBatch::Entry WriteBatch::newEntry(const std::string& target, const std::string& source,
                                       const FileStatus& sourceAsRead) {
    Entry entry;
    entry.target = target;
    entry.source = source;
    entry.sourceAsRead = sourceAsRead;
    entry.folder = getFolderPart(target);
    return entry;
}

void WriteBatch::admit(Entry entry, uint64_t bytes) {
    bytes_ += bytes;
    sources_.insert(entry.source);
    targets_.insert(entry.target);
    entries_.push_back(std::move(entry));
}

IoError WriteBatch::adopt(AtomicFile& output, const std::string& source) {
    Entry entry = newEntry(output.finalPath(), source, output.sourceAsRead());
    if (!accepts(entry.folder)) return IoError::unsupported;
    entry.volume = folders_[entry.folder].second;
    if (IoError e = output.handOver(entry.temporary); e != IoError::ok) return e;
    admit(std::move(entry), output.bytesWritten());
    return IoError::ok;
}

void WriteBatch::adoptContent(const std::string& target, const std::string& source,
                              const FileStatus& sourceAsRead, std::string content,
                              uint32_t attributes, AtomicFile::Traits traits,
                              uint32_t plainAttributes) {
    Entry entry = newEntry(target, source, sourceAsRead);
    accepts(entry.folder);
    entry.volume = folders_[entry.folder].second;
    const uint64_t bytes = content.size();
    entry.write = std::make_shared<PendingWrite>();
    entry.write->target = target;
    entry.write->source = source;
    entry.write->sourceAsRead = sourceAsRead;
    entry.write->content = std::move(content);
    entry.write->attributes = attributes;
    entry.write->traits = traits;
    entry.write->plainAttributes = plainAttributes;
    if (!writer_) writer_ = std::make_unique<BackgroundWriter>(helped(), kMaxWaitingBytes);
    writer_->post([write = entry.write] { write->run(); }, bytes);
    admit(std::move(entry), bytes);
}

void WriteBatch::finishWrites(std::vector<Entry>& entries, Failures& failures) {
    if (writer_) writer_->drain();
    for (Entry& entry : entries) {
        if (!entry.write) continue;
        if (entry.write->error == IoError::ok) {
            entry.temporary = std::move(entry.write->temporary);
        } else {
            entry.live = false;  // nothing of it is left on disk
            failures.push_back({entry.source, entry.target, entry.write->error, true});
        }
        entry.write.reset();
    }
}

void WriteBatch::appendLine(const std::string& listPath, const std::string& line) {
    for (auto& [path, lines] : lines_) {
        if (path == listPath) {
            lines.push_back(line);
            return;
        }
    }
    lines_.push_back({listPath, {line}});
}

bool WriteBatch::full() const {
    return entries_.size() >= kMaxFiles || bytes_ >= kMaxBytes;
}

void WriteBatch::fail(Entry& entry, IoError error, Failures& failures) {
    FileSystem& fs = fileSystem();
    if (entry.named) {
        fs.removeFile(entry.target);  // the source still stands
    } else {
        fs.setAttributes(entry.temporary, kAttrNormal);
        fs.removeFile(entry.temporary);
    }
    entry.live = false;
    failures.push_back({entry.source, entry.target, error});
}

// Flushes each volume that holds a live entry once.
std::map<uint64_t, IoError> WriteBatch::flushVolumes(const std::vector<Entry>& entries) const {
    std::map<uint64_t, IoError> flushed;
    for (const Entry& entry : entries) {
        if (entry.live && !flushed.count(entry.volume))
            flushed[entry.volume] = fileSystem().flushVolume(volumes_.at(entry.volume));
    }
    return flushed;
}

// Flushes the volumes; the entries of a volume whose flush failed fail with it.
void WriteBatch::flushOrFail(std::vector<Entry>& entries, Failures& failures) const {
    std::map<uint64_t, IoError> flushed = flushVolumes(entries);
    for (Entry& entry : entries) {
        if (IoError e = flushed[entry.volume]; entry.live && e != IoError::ok)
            fail(entry, e, failures);
    }
}

void WriteBatch::name(Entry& entry, Failures& failures) {
    if (IoError e = fileSystem().rename(entry.temporary, entry.target); e != IoError::ok) {
        fail(entry, e, failures);
        return;
    }
    entry.named = true;
    dropTemporaryMark(entry.target);
}

void WriteBatch::removeSource(Entry& entry, Failures& failures) {
    // Looked at right before it goes: the batch may have waited long.
    IoError e = removeUnchangedSource(entry.source, entry.sourceAsRead);
    if (e == IoError::ok) return;
    // Take the new file back only while the source is surely still there.
    if (fileExists(entry.source)) {
        fail(entry, e, failures);
    } else {
        entry.live = false;
        failures.push_back({entry.source, entry.target, e});
    }
}

void WriteBatch::forEachLive(std::vector<Entry>& entries, void (*step)(Entry&, Failures&),
                             Failures& failures) {
    auto run = [&entries, step](size_t from, size_t to, Failures& out) {
        for (size_t i = from; i < to; ++i) {
            if (entries[i].live) step(entries[i], out);
        }
    };
    const size_t half = helped() ? entries.size() / 2 : 0;
    Failures theirs;
    std::future<void> helper;
    if (half > 0) helper = beside([&] { run(0, half, theirs); });
    run(half, entries.size(), failures);
    await(helper);
    failures.insert(failures.end(), theirs.begin(), theirs.end());
}

std::vector<BatchFailure> WriteBatch::commit() {
    std::vector<Entry> entries = std::move(entries_);
    auto lines = std::move(lines_);
    entries_.clear();
    sources_.clear();
    targets_.clear();
    lines_.clear();
    bytes_ = 0;
    Failures failures;
    finishWrites(entries, failures);

    // The new files' content first.
    flushOrFail(entries, failures);
    // Listed before any source goes: a line naming a missing file is dropped
    // when the list is next read, a locked file missing from it is not. The
    // files that failed already are left out now.
    std::set<std::string> gone;
    for (const Entry& entry : entries) {
        if (!entry.live) gone.insert(entry.target);
    }
    for (const Entry& entry : entries) {
        if (entry.live) gone.erase(entry.target);
    }
    for (auto& [path, added] : lines) {
        std::erase_if(added, [&gone](const std::string& line) { return gone.count(line) != 0; });
        if (added.empty()) continue;
        if (IoError e = appendListLines(path, added); e != IoError::ok) {
            for (Entry& entry : entries) {
                if (entry.live) fail(entry, e, failures);
            }
        }
    }
    forEachLive(entries, name, failures);
    // The commit point: the names are durable.
    flushOrFail(entries, failures);
    forEachLive(entries, removeSource, failures);
    // Makes the removals durable too; a crash before it leaves both files,
    // so its result changes nothing.
    flushVolumes(entries);
    return failures;
}

}  // namespace vellumar
