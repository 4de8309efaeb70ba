#include "engine/write_batch.h"

#include <set>

#include "engine/list_file.h"
#include "engine/names.h"

namespace vellumar {
namespace {

WriteBatch* currentBatch = nullptr;

}  // namespace

WriteBatch::WriteBatch() : previous_(currentBatch) {
    currentBatch = this;
}

WriteBatch::~WriteBatch() {
    commit();
    currentBatch = previous_;
}

WriteBatch* WriteBatch::current() {
    return currentBatch;
}

bool WriteBatch::accepts(const std::string& folder) {
    auto known = folders_.find(folder);
    if (known != folders_.end()) return known->second.first;
    FileSystem& fs = fileSystem();
    const std::string where = folder.empty() ? std::string(".") : folder;
    FileStatus status;
    bool batched = fs.canFlushVolume(where) && fs.status(where, status) == IoError::ok;
    folders_[folder] = {batched, status.volume};
    return batched;
}

IoError WriteBatch::adopt(AtomicFile& output, const std::string& source) {
    Entry entry;
    entry.target = output.finalPath();
    entry.source = source;
    const std::string folder = GetFolderPart(entry.target);
    if (!accepts(folder)) return IoError::unsupported;
    entry.folder = folder;
    entry.volume = folders_[folder].second;
    if (IoError e = output.handOver(entry.temporary); e != IoError::ok) return e;
    FileStatus status;
    if (fileSystem().status(entry.temporary, status) == IoError::ok) bytes_ += status.size;
    entries_.push_back(std::move(entry));
    return IoError::ok;
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

void WriteBatch::fail(Entry& entry, IoError error, std::vector<BatchFailure>& failures) {
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

// Flushes each volume that holds a live entry once; returns each volume's result.
std::map<uint64_t, IoError> WriteBatch::flushVolumes(const std::vector<Entry>& entries) {
    std::map<uint64_t, IoError> results;
    for (const Entry& entry : entries) {
        if (!entry.live || results.count(entry.volume)) continue;
        results[entry.volume] = fileSystem().flushVolume(entry.folder);
    }
    return results;
}

std::vector<BatchFailure> WriteBatch::commit() {
    std::vector<Entry> entries = std::move(entries_);
    auto lines = std::move(lines_);
    entries_.clear();
    lines_.clear();
    bytes_ = 0;
    std::vector<BatchFailure> failures;
    FileSystem& fs = fileSystem();

    // The new files' content first.
    auto flushed = flushVolumes(entries);
    for (Entry& entry : entries) {
        if (IoError e = flushed[entry.volume]; entry.live && e != IoError::ok)
            fail(entry, e, failures);
    }
    // Listed before any source goes: a line naming a missing file is dropped
    // when the list is next read, a locked file missing from it is not.
    for (const auto& [path, added] : lines) {
        if (IoError e = AppendListLines(path, added); e != IoError::ok) {
            for (Entry& entry : entries) {
                if (entry.live) fail(entry, e, failures);
            }
        }
    }
    for (Entry& entry : entries) {
        if (!entry.live) continue;
        if (IoError e = fs.rename(entry.temporary, entry.target); e != IoError::ok) {
            fail(entry, e, failures);
            continue;
        }
        entry.named = true;
    }
    // The commit point: the names are durable.
    flushed = flushVolumes(entries);
    for (Entry& entry : entries) {
        if (IoError e = flushed[entry.volume]; entry.live && e != IoError::ok)
            fail(entry, e, failures);
    }
    for (Entry& entry : entries) {
        if (!entry.live) continue;
        if (IoError e = fs.removeFile(entry.source); e != IoError::ok) {
            // Take the new file back only while the source is surely still there.
            if (FileExists(entry.source)) {
                fail(entry, e, failures);
            } else {
                entry.live = false;
                failures.push_back({entry.source, entry.target, e});
            }
        }
    }
    // Makes the removals durable too; a crash before it leaves both files.
    flushVolumes(entries);
    return failures;
}

}  // namespace vellumar
