// Built with -mavx512f -mavx512vl -mfma on x86 (see analyser/CMakeLists.txt): the same kernel
// as fine_avx2.cpp with 32 vector registers, which hold all of its running sums and rotations.
// Elsewhere it provides no kernel.
#include "fine_kernels.h"

#if defined(__AVX512VL__)
#define FINE_NAMESPACE avx512
#include "fine_batch_impl.h"
#endif

namespace analyser::kernels {

FineKernels fineKernelsAvx512() {
#if defined(__AVX512VL__)
  return {&avx512::fineSums, &avx512::goertzelSums, &avx512::batchReinschSums,
          &avx512::batchGoertzelSums};
#else
  return {};
#endif
}

}  // namespace analyser::kernels
