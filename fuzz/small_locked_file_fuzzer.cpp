// The small locked format: the structural reader, fed whole and in pieces
// of sizes the input chooses, must agree with itself; the unlock of a file
// holding the input either succeeds or leaves the file exactly as it was.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "engine/formats/cipher.h"
#include "engine/formats/locked_format.h"
#include "engine/formats/small_file.h"
#include "fuzz/fuzz_folder.h"

using namespace vellumar;

namespace {

struct Read {
    bool sound;
    FormatFault fault;
    std::string header, body;
};

Read readInPieces(const char* data, size_t size, size_t piece) {
    SmallFormatReader reader;
    Read read{true, FormatFault::none, {}, {}};
    for (size_t at = 0; at < size && read.sound; at += piece)
        read.sound = reader.take(data + at, std::min(piece, size - at), &read.body);
    read.sound = reader.finish();
    read.fault = reader.fault();
    read.header = reader.header();
    return read;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    const char* data = reinterpret_cast<const char*>(bytes);
    const Read whole = readInPieces(data, size, size ? size : 1);
    const size_t piece = size ? 1 + bytes[size - 1] % 97 : 1;
    const Read pieces = readInPieces(data, size, piece);
    if (whole.sound != pieces.sound || whole.fault != pieces.fault ||
        whole.header != pieces.header || (whole.sound && whole.body != pieces.body))
        std::abort();
    if (whole.sound != (whole.fault == FormatFault::none)) std::abort();

    if (whole.sound) {
        // Unlocked whole or piece by piece, the keystream running on: the same bytes.
        Cipher one, many;
        one.keyString(whole.header);
        std::string plainWhole, plainPieces;
        const bool shrunk = one.shrinkXorPiece(whole.body.data(), whole.body.size(), plainWhole);
        many.keyString(whole.header);
        size_t at = 0;
        for (; whole.body.size() - at > 4 * piece; at += 4 * piece)
            many.shrinkXorPiece(whole.body.data() + at, 4 * piece, plainPieces);
        many.shrinkXorPiece(whole.body.data() + at, whole.body.size() - at, plainPieces);
        if (!shrunk || plainWhole != plainPieces) std::abort();
    }

    const std::string path = fuzz::writeInput("ercbeg.gkt.VKL", data, size);
    fuzz::QuietDesktop desktop;
    if (!unlockSmallFile(path, desktop).done()) {
        // Refused or failed: the file stands as it was, alone.
        if (fuzz::namesInFolder().size() != 1 || fuzz::readBack(path) != std::string(data, size))
            std::abort();
    } else if (!whole.sound) {
        std::abort();  // a damaged file was unlocked
    }
    return 0;
}
