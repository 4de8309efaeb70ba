#pragma once
// Which vector kernels the processor can run. Tests switch them off to hold
// the portable kernels to the same results.

namespace vellumar {

#if defined(__x86_64__) && defined(__GNUC__)
#define VELLUMAR_X86_KERNELS 1
#endif

bool hasAvx2();
void setVectorKernelsAllowed(bool allowed);

}  // namespace vellumar
