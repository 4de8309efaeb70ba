// The list files: any text splits into lines that join and split back to
// the same lines, and a list file of any content can be read and added to.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/lists/list_file.h"
#include "fuzz/fuzz_folder.h"

using namespace vellumar;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    const std::string text(reinterpret_cast<const char*>(bytes), size);
    const std::vector<std::string> lines = splitListLines(text);
    if (splitListLines(joinListLines(lines)) != lines) std::abort();

    const std::string path = fuzz::writeInput("files", text.data(), text.size());
    std::vector<std::string> read;
    if (readListFile(path, read) != IoError::ok || read != lines) std::abort();
    if (appendListLines(path, {"/added/line"}) != IoError::ok) std::abort();
    if (readListFile(path, read) != IoError::ok || read.empty() || read.back() != "/added/line")
        std::abort();
    return 0;
}
