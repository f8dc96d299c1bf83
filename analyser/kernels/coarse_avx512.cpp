// Built with -mavx512bw on x86 (see analyser/CMakeLists.txt); elsewhere it
// provides no kernel.
#include "coarse_kernels.h"

#if defined(__AVX512BW__)
#include "coarse_x86_impl.h"
#endif

namespace analyser::kernels {

CoarseKernelFn coarseSumsAvx512Kernel() {
#if defined(__AVX512BW__)
  return &x86::avx512Kernel<false>;
#else
  return nullptr;
#endif
}

}  // namespace analyser::kernels
