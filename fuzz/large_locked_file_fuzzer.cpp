// The large locked format: the unlock of a file holding the input either
// restores exactly its content (the head through RC4, the rest as it is)
// or leaves the file exactly as it was.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "engine/formats/large_file.h"
#include "engine/formats/locked_format.h"
#include "engine/formats/locked_header.h"
#include "engine/formats/rc4.h"
#include "fuzz/fuzz_folder.h"

using namespace vellumar;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    const char* data = reinterpret_cast<const char*>(bytes);
    const std::string input(data, size);
    const FormatFault fault = checkLargeLockedStart(data, size, size);
    const std::string path = fuzz::writeInput("ercbeg.gkt.VKW", data, size);
    fuzz::QuietDesktop desktop;
    if (!unlockLargeFile(path, desktop).done()) {
        if (fuzz::namesInFolder().size() != 1 || fuzz::readBack(path) != input) std::abort();
        return 0;
    }
    if (fault != FormatFault::none || !headerVerifies(input.substr(0, kHeaderLength)))
        std::abort();  // a damaged file was unlocked
    const std::string content = input.substr(kHeaderLength + 1);
    const size_t head = content.size() % kChunkSize;
    const std::string expected =
        rc4Crypt(content.substr(0, head), "quorvelin") + content.substr(head);
    if (fuzz::readBack(fuzz::fuzzFolder() + "/report.txt") != expected) std::abort();
    return 0;
}
