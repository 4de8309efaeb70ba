#pragma once
// The pace of one file's long work (a large file copied, a sealed file's
// chunks, a small locked file streamed or written in slices): between two
// chunks the window paints, and every few MiB the run asks whether the
// person cancelled. A cancel ends the work with IoError::cancelled before
// anything is committed, so the replace step takes the new file back and
// the source stands as it was.

#include <cstdint>

#include "engine/platform/file_system.h"
#include "engine/runs/desktop.h"

namespace vellumar {

class ChunkPace {
  public:
    explicit ChunkPace(Desktop& desktop) : desktop_(desktop) {}

    // Between two chunks, the one before being `bytes` long: IoError::cancelled
    // once the person asked to stop.
    IoError between(uint64_t bytes);

    // Work between two asks of the cancel request: a few MiB take some
    // milliseconds, soon enough for a person.
    static constexpr uint64_t kAskEvery = uint64_t{4} << 20;

  private:
    Desktop& desktop_;
    // The first boundary asks at once: a Cancel taken while the file was
    // starting (its progress lets the window take clicks) stops it there.
    uint64_t sinceAsked_ = kAskEvery;
};

}  // namespace vellumar
