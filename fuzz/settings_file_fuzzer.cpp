// The settings file of the locked-items store (an INI file): any content
// can be read, and a value written into it reads back as written.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "engine/lists/registry_store.h"
#include "fuzz/fuzz_folder.h"

using namespace vellumar;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    const std::string root =
        fuzz::writeInput("store.ini", reinterpret_cast<const char*>(bytes), size);
    std::string value;
    readRegValue(root, kLockedVklFile, "abgrf.gkt", "S", "", value);
    readRegValue(root, "Settings", "Password", "S", "none", value);
    if (writeRegValue(root, kLockedVklFile, "ercbeg.gkt", "S", "/tmp/ercbeg.gkt.VKL") != 0)
        std::abort();
    if (readRegValue(root, kLockedVklFile, "ercbeg.gkt", "S", "", value) != 0 ||
        value != "/tmp/ercbeg.gkt.VKL")
        std::abort();
    deleteRegValue(root, kLockedVklFile, "ercbeg.gkt");
    return 0;
}
