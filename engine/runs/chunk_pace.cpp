#include "engine/runs/chunk_pace.h"

namespace vellumar {

IoError ChunkPace::between(uint64_t bytes) {
    desktop_.yield();
    sinceAsked_ += bytes;
    if (sinceAsked_ < kAskEvery) return IoError::ok;
    sinceAsked_ = 0;
    return desktop_.cancelRequested() ? IoError::cancelled : IoError::ok;
}

}  // namespace vellumar
