// Sealed files: the unseal of a file holding the input, with the identity
// it may be sealed for, either writes one new file under a usable name in
// place of the input, or leaves the input exactly as it was and nothing
// beside it.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "engine/sealing/age_keys.h"
#include "engine/sealing/sealed_lock.h"
#include "fuzz/fuzz_folder.h"

using namespace vellumar;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    static const AgeIdentity identity = [] {
        AgeIdentity parsed;
        if (!AgeIdentity::parse(
                "AGE-SECRET-KEY-1GFPYYSJZGFPYYSJZGFPYYSJZGFPYYSJZGFPYYSJZGFPYYSJZGFPQ4EGAEX",
                parsed))
            std::abort();
        return parsed;
    }();
    const char* data = reinterpret_cast<const char*>(bytes);
    const std::string input(data, size);
    const std::string path = fuzz::writeInput("k2mzq7.VKS", data, size);
    fuzz::QuietDesktop desktop;
    const FileResult result = unlockSealedFile(path, {identity}, desktop);
    const auto names = fuzz::namesInFolder();
    if (names.size() != 1) std::abort();  // a leftover, or nothing at all
    if (!result.done()) {
        if (names[0] != "k2mzq7.VKS" || fuzz::readBack(path) != input) std::abort();
        return 0;
    }
    if (names[0] == "k2mzq7.VKS" && fuzz::readBack(path) == input) std::abort();
    return 0;
}
