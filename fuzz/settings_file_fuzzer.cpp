// The settings file of the locked-items store (an INI file): any content
// can be read, and a value written into it reads back as written.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "engine/registry_store.h"
#include "fuzz/fuzz_folder.h"

using namespace vellumar;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    const std::string root =
        fuzz::writeInput("store.ini", reinterpret_cast<const char*>(bytes), size);
    std::string value;
    ReadRegValue(root, kLockedVklFile, "abgrf.gkt", "S", "", value);
    ReadRegValue(root, "Settings", "Password", "S", "none", value);
    if (WriteRegValue(root, kLockedVklFile, "ercbeg.gkt", "S", "/tmp/ercbeg.gkt.VKL") != 0)
        std::abort();
    if (ReadRegValue(root, kLockedVklFile, "ercbeg.gkt", "S", "", value) != 0 ||
        value != "/tmp/ercbeg.gkt.VKL")
        std::abort();
    DeleteRegValue(root, kLockedVklFile, "ercbeg.gkt");
    return 0;
}
