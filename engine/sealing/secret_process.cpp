#include "engine/sealing/secret_process.h"

#ifdef __linux__
#include <sys/prctl.h>
#include <sys/resource.h>
#endif

#include "engine/sealing/age_primitives.h"

namespace vellumar {

void protectProcessSecrets() {
#ifdef __linux__
    const rlimit none{0, 0};
    ::setrlimit(RLIMIT_CORE, &none);
    ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
#endif
    ensureCryptoLibraryReady();
}

}  // namespace vellumar
