// Built with -mavx2 -mfma on x86 (see analyser/CMakeLists.txt); elsewhere it provides no kernel.
#include "fine_kernels.h"

#if defined(__AVX2__)
#define FINE_NAMESPACE avx2
#include "fine_impl.h"
#endif

namespace analyser::kernels {

FineKernelFn fineSumsAvx2Kernel() {
#if defined(__AVX2__)
  return &avx2::fineSums;
#else
  return nullptr;
#endif
}

}  // namespace analyser::kernels
