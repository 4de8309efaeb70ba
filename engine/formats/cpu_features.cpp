#include "engine/formats/cpu_features.h"

namespace vellumar {
namespace {
bool allowed = true;
}

bool hasAvx2() {
#ifdef VELLUMAR_X86_KERNELS
    static const bool supported = __builtin_cpu_supports("avx2");
    return allowed && supported;
#else
    return false;
#endif
}

void setVectorKernelsAllowed(bool value) { allowed = value; }

}  // namespace vellumar
