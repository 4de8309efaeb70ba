// Recovery key files: reading one either holds every identity it names (and
// only identities spelled in it) or holds nothing, whatever the bytes.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz/fuzz_folder.h"
#include "locking/sealing_keys.h"

using namespace vellumar;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    const char* data = reinterpret_cast<const char*>(bytes);
    const std::string input(data, size);
    const std::string path = fuzz::writeInput("recovery-key.txt", data, size);
    SealingKeys keys;
    const AgeResult result = readRecoveryKey(path, keys);
    if (!result.ok() && !keys.identities.empty()) std::abort();
    if (result.ok() && keys.identities.empty()) std::abort();
    for (const AgeIdentity& identity : keys.identities)
        if (input.find(identity.encode()) == std::string::npos) std::abort();
    if (fuzz::readBack(path) != input) std::abort();
    return 0;
}
