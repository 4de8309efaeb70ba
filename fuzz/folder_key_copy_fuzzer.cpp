// The copy of the key a sealed folder carries, which anyone may have put
// there: opening it with the password either holds one identity more or
// leaves the keys as they were, and the copy is never changed.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz/fuzz_folder.h"
#include "locking/sealing_keys.h"

using namespace vellumar;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    const char* data = reinterpret_cast<const char*>(bytes);
    const std::string input(data, size);
    const std::string path = fuzz::writeInput(kFolderIdentityName, data, size);
    SealingKeys keys;
    keys.password = "pw";
    const AgeResult result = addFolderIdentity(fuzz::fuzzFolder(), keys);
    if (keys.identities.size() != (result.ok() ? 1u : 0u)) std::abort();
    if (fuzz::readBack(path) != input) std::abort();
    return 0;
}
