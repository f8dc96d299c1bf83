// Built with -mavx2 -mfma on x86 (see analyser/CMakeLists.txt); elsewhere it provides no kernel.
#include "fine_kernels.h"

#if defined(__AVX2__)
#define FINE_NAMESPACE avx2
#include "fine_impl.h"
#endif

namespace analyser::kernels {

FineKernels fineKernelsAvx2() {
#if defined(__AVX2__)
  return {&avx2::fineSums, &avx2::goertzelSums};
#else
  return {};
#endif
}

}  // namespace analyser::kernels
