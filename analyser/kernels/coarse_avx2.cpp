// Built with -mavx2 on x86 (see analyser/CMakeLists.txt); elsewhere it provides no kernel.
#include "coarse_kernels.h"

#if defined(__AVX2__)
#include "coarse_x86_impl.h"
#endif

namespace analyser::kernels {

CoarseKernelFn coarseSumsAvx2Kernel() {
#if defined(__AVX2__)
  return &x86::avx2Kernel;
#else
  return nullptr;
#endif
}

}  // namespace analyser::kernels
