#include "engine/formats/small_unlock_stream.h"

#include "engine/formats/locked_header.h"

namespace vellumar {

bool SmallUnlockStream::take(const char* data, size_t size, std::string& plain) {
    if (!reader_.take(data, size, &body_)) return false;
    if (!keyed_ && reader_.header().size() == kHeaderLength) {
        if (!headerVerifies(reader_.header())) return false;
        cipher_.keyString(reader_.header());
        keyed_ = true;
    }
    // Whole groups of four characters now; the rest comes with the next piece.
    const size_t whole = body_.size() - body_.size() % 4;
    if (!cipher_.shrinkXorPiece(body_.data(), whole, plain)) return false;
    body_.erase(0, whole);
    return true;
}

bool SmallUnlockStream::finish(std::string& plain) {
    return reader_.finish() && keyed_ && cipher_.shrinkXorPiece(body_.data(), body_.size(), plain);
}

}  // namespace vellumar
