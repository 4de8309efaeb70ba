#pragma once
// The one sequence every format follows to turn a file into its locked or
// unlocked form in place: the new file is written in full to an AtomicFile
// beside the source (or handed to the write batch), takes the source's
// permissions, owner and kept attributes, is recorded in the list before
// the source goes, and is committed; only then is the source removed, and
// only while it is unchanged. Any failure takes the new file back and leaves
// the source exactly as it was, its attributes included. A format supplies
// only what differs: the content.

#include <cstdint>
#include <functional>
#include <string>

#include "engine/platform/atomic_file.h"
#include "engine/platform/file_system.h"
#include "engine/runs/desktop.h"
#include "engine/runs/file_request.h"
#include "engine/runs/file_result.h"

namespace vellumar {

class WriteBatch;

// What a locked file is marked with, whatever its format.
constexpr uint32_t kLockedFileAttributes = kAttrReadOnly | kAttrHidden;

struct Replacement {
    enum class Direction {
        // The new file carries what it keeps of the plain file (its
        // `plainAttributes` among them), is marked kLockedFileAttributes, and
        // with a `listPath` is added to that list before the plain file goes.
        lock,
        // The locked source's attributes are cleared first, so that it can be
        // removed, and come back if it stays; the new file takes back what
        // the locked file kept.
        unlock,
    };
    Direction direction = Direction::lock;
    std::string source;
    std::string target;  // the source itself for a layer written in place
    WriteBatch* batch = nullptr;
    std::string listPath;
    uint32_t plainAttributes = kAttrNormal;
    // The source, open for the writer: closed before the commit (Windows
    // refuses to remove an open file).
    FileHandle* openSource = nullptr;
    // A writer that streams the source: once it is done, the source must
    // still have its length as read, or a file that grew meanwhile (a log
    // being written) would lose its end.
    bool lengthMustHold = false;
};

// Locking `source` into `target` as `request` asks it.
Replacement lockReplacement(const std::string& source, const std::string& target,
                            const FileRequest& request);
// Unlocking `source` into `target`.
Replacement unlockReplacement(const std::string& source, const std::string& target,
                              WriteBatch* batch);

// Writes the new file's whole content into `output`, which is open.
using ContentWriter = std::function<IoError(AtomicFile& output)>;

// Turns `step.source` into `step.target` with the content `write` gives.
// `sourceAsRead` is the source's status as it was when it was first read
// (an unlock takes it anew once it cleared the attributes). Done with the
// target as output, or the step that failed (stepFailed), nothing left of
// the new file and the source as it was.
FileResult replaceInPlace(const Replacement& step, FileStatus& sourceAsRead,
                          const ContentWriter& write);

// The same for a content held whole in memory: a write batch that takes the
// file takes the content as it is; otherwise it is written in slices, the
// window painting between two of them.
FileResult replaceWithContent(const Replacement& step, FileStatus& sourceAsRead,
                              std::string content, Desktop& desktop);

}  // namespace vellumar
