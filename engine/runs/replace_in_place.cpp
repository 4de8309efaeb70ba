#include "engine/runs/replace_in_place.h"

#include <algorithm>

#include "engine/platform/kept_attributes.h"
#include "engine/platform/paths.h"
#include "engine/runs/chunk_pace.h"
#include "engine/runs/transfer.h"
#include "engine/runs/write_batch.h"

namespace vellumar {
namespace {

// Work written between two yields to the window.
constexpr size_t kYieldEvery = 64 * 1024;

// How the new file must be committed: in place of the source when the names
// are the same (a layer of the small format), otherwise never over an
// existing file.
AtomicFile::Mode outputMode(const std::string& target, const std::string& source) {
    return target == source ? AtomicFile::Mode::replaceExisting : AtomicFile::Mode::keepExisting;
}

// `batch` when it takes the new file `target` replacing `source` (content
// and all), or null when that must be committed on its own.
WriteBatch* batchTaking(WriteBatch* batch, const std::string& target, const std::string& source) {
    // In a batch the source goes only once the whole batch is durable. (A
    // layer written in place is never batched: it replaces its source.)
    return batch && target != source && batch->accepts(getFolderPart(target)) ? batch : nullptr;
}

// After the program changed the source's attributes itself (which moves its
// change time): the status to check at the removal from now on, or
// `changed` when the content changed since `asRead` was taken.
IoError restatAfterOwnChange(const std::string& path, FileStatus& asRead) {
    FileStatus now;
    if (IoError e = fileSystem().status(path, now); e != IoError::ok) return e;
    FileStatus expected = asRead;
    expected.changed = now.changed;
    if (!sameUnchanged(expected, now)) return IoError::changed;
    asRead = now;
    return IoError::ok;
}

// Commits `output`, then removes `source` (the output's standInFor()) unless
// the output took its place; in `batch` when it takes the file. On failure
// nothing is left of the output and the source stands; IoError::changed when
// the source changed after it was read.
IoError commitInPlaceOf(AtomicFile& output, const std::string& source, WriteBatch* batch) {
    FileSystem& fs = fileSystem();
    const std::string& target = output.finalPath();
    const bool inPlace = target == source;
    if (WriteBatch* taking = batchTaking(batch, target, source))
        return taking->adopt(output, source);
    if (IoError e = output.commit(); e != IoError::ok) {
        // When only the folder flush failed, the output has its name already.
        // In place, the old file is gone and the new one holds the same
        // content; beside the source, take the output back.
        if (output.committed()) {
            if (inPlace) return IoError::ok;
            fs.removeFile(target);
        }
        return e;
    }
    if (inPlace) return IoError::ok;
    if (IoError e = removeUnchangedSource(source, output.sourceAsRead()); e != IoError::ok) {
        // Take the output back only while the source is surely still there.
        if (fileExists(source)) fs.removeFile(target);
        return e;
    }
    // Makes the removal durable too; a crash before it leaves both files,
    // which loses nothing.
    fs.flushFolder(getFolderPart(target));
    return IoError::ok;
}

bool locking(const Replacement& step) {
    return step.direction == Replacement::Direction::lock;
}

// An unlock clears the source's attributes, so that it can be removed, and
// takes its status anew (the change moved its change time).
IoError clearForUnlock(const Replacement& step, ClearedAttributes& marks, FileStatus& asRead) {
    if (locking(step)) return IoError::ok;
    if (IoError e = marks.clear(); e != IoError::ok) return e;
    return restatAfterOwnChange(step.source, asRead);
}

IoError writeInSlices(AtomicFile& file, const std::string& text, Desktop& desktop) {
    ChunkPace pace(desktop);
    for (size_t at = 0; at < text.size(); at += kYieldEvery) {
        if (at > 0) {
            if (IoError e = pace.between(kYieldEvery); e != IoError::ok) return e;
        }
        if (IoError e = file.write(text.data() + at, std::min(kYieldEvery, text.size() - at));
            e != IoError::ok)
            return e;
    }
    return IoError::ok;
}

// Writes the new file, lists it, and commits it in place of the source.
IoError writeAndCommit(const Replacement& step, const FileStatus& asRead,
                       const ContentWriter& write) {
    FileSystem& fs = fileSystem();
    AtomicFile output(step.target, outputMode(step.target, step.source));
    output.standInFor(step.source, asRead);
    if (locking(step))
        output.keepTraits(AtomicFile::Traits::carry, step.plainAttributes);
    else
        output.keepTraits(AtomicFile::Traits::restore);
    IoError e = output.open();
    if (e == IoError::ok) e = write(output);
    if (FileStatus now; e == IoError::ok && step.lengthMustHold &&
                        (fs.status(step.source, now) != IoError::ok || now.size != asRead.size))
        e = IoError::changed;
    if (e == IoError::ok && step.openSource) {
        e = fs.close(*step.openSource);
        *step.openSource = kNoFile;
    }
    if (locking(step)) output.setAttributes(kLockedFileAttributes);
    // Listed before the source goes: a line whose file is missing is dropped
    // when the list is next read, a locked file missing from it is not.
    if (e == IoError::ok && locking(step) && !step.listPath.empty())
        e = appendListLine(step.batch, step.listPath, step.target);
    if (e == IoError::ok) e = commitInPlaceOf(output, step.source, step.batch);
    return e;
}

FileResult concluded(const Replacement& step, ClearedAttributes& marks, IoError e) {
    if (e != IoError::ok) return stepFailed(e, step.source, step.target);
    marks.keepCleared();
    return fileDone(step.target);
}

}  // namespace

Replacement lockReplacement(const std::string& source, const std::string& target,
                            const FileRequest& request) {
    Replacement step;
    step.source = source;
    step.target = target;
    step.batch = request.batch;
    step.listPath = request.listPath;
    step.plainAttributes = request.plainAttributes;
    return step;
}

Replacement unlockReplacement(const std::string& source, const std::string& target,
                              WriteBatch* batch) {
    Replacement step;
    step.direction = Replacement::Direction::unlock;
    step.source = source;
    step.target = target;
    step.batch = batch;
    return step;
}

FileResult replaceInPlace(const Replacement& step, FileStatus& sourceAsRead,
                          const ContentWriter& write) {
    ClearedAttributes marks(step.source);
    if (IoError e = clearForUnlock(step, marks, sourceAsRead); e != IoError::ok)
        return stepFailed(e, step.source, step.source);
    // A batch opens its hold on the volume before anything is written there.
    batchTaking(step.batch, step.target, step.source);
    return concluded(step, marks, writeAndCommit(step, sourceAsRead, write));
}

FileResult replaceWithContent(const Replacement& step, FileStatus& sourceAsRead,
                              std::string content, Desktop& desktop) {
    ClearedAttributes marks(step.source);
    if (IoError e = clearForUnlock(step, marks, sourceAsRead); e != IoError::ok)
        return stepFailed(e, step.source, step.source);
    WriteBatch* batch = batchTaking(step.batch, step.target, step.source);
    if (!batch) {
        const auto inSlices = [&](AtomicFile& output) {
            return writeInSlices(output, content, desktop);
        };
        return concluded(step, marks, writeAndCommit(step, sourceAsRead, inSlices));
    }
    if (locking(step)) {
        // Listed before the source goes, as above.
        if (!step.listPath.empty()) batch->appendLine(step.listPath, step.target);
        batch->adoptContent(step.target, step.source, sourceAsRead, std::move(content),
                            kLockedFileAttributes, AtomicFile::Traits::carry, step.plainAttributes);
    } else {
        batch->adoptContent(step.target, step.source, sourceAsRead, std::move(content), kAttrNormal,
                            AtomicFile::Traits::restore);
    }
    return concluded(step, marks, IoError::ok);
}

}  // namespace vellumar
