// Built with -mavx512bw -mavx512vnni on x86 (see analyser/CMakeLists.txt); elsewhere it
// provides no kernel.
#include "coarse_kernels.h"

#if defined(__AVX512BW__) && defined(__AVX512VNNI__)
#include "coarse_x86_impl.h"
#endif

namespace analyser::kernels {

CoarseKernelFn coarseSumsAvx512VnniKernel() {
#if defined(__AVX512BW__) && defined(__AVX512VNNI__)
  return &x86::avx512Kernel<true>;
#else
  return nullptr;
#endif
}

PruningKernels pruningKernelsAvx512Vnni() {
#if defined(__AVX512BW__) && defined(__AVX512VNNI__)
  return {&x86::avx512VnniDots, &x86::avx512Bounds,         &x86::avx512Keep,
          &x86::avx512PlanRows, &x86::avx512VnniWindowDots, &x86::avx512BoundBytes};
#else
  return {};
#endif
}

}  // namespace analyser::kernels
