// Built with -mavx512f -mavx512dq on x86 (see analyser/CMakeLists.txt); elsewhere it provides
// nothing and the portable synthesis serves.
#include "synthesis_kernels.h"

#if defined(__AVX512F__) && defined(__AVX512DQ__)
// GCC 12 reports its own AVX-512 intrinsics (the 64-to-32-bit narrowing) as possibly
// uninitialised.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
#endif
#include <immintrin.h>

namespace analyser::kernels::synthesis_avx512 {

// trunc(values[k]) applied to window[base + k], k < 8, if no value lies within `margin` of a
// truncation step. Every |value| is below 2^32, so the truncations fit 64 bits, and their low
// 32 bits wrap into the window as the one-by-one subtraction does.
inline bool applyEight(int32_t* window, int base, const double* values, double margin,
                       bool addBack) {
  const __m512d v = _mm512_loadu_pd(values);
  const __m512d m = _mm512_set1_pd(margin);
  const __m512i low = _mm512_cvttpd_epi64(_mm512_sub_pd(v, m));
  const __m512i high = _mm512_cvttpd_epi64(_mm512_add_pd(v, m));
  if (_mm512_cmpneq_epi64_mask(low, high) != 0) return false;
  const __m256i partial = _mm512_cvtepi64_epi32(_mm512_cvttpd_epi64(v));
  auto* at = reinterpret_cast<__m256i*>(window + base);
  const __m256i samples = _mm256_loadu_si256(at);
  _mm256_storeu_si256(
      at, addBack ? _mm256_add_epi32(samples, partial) : _mm256_sub_epi32(samples, partial));
  return true;
}

}  // namespace analyser::kernels::synthesis_avx512

#define SYNTHESIS_NAMESPACE kernels::synthesis_avx512
#include "synthesis_impl.h"

namespace analyser::kernels {

bool subtractSineAvx512Available() {
  return true;
}
void subtractSineAvx512(int32_t* window, int from, int to, double a, double theta0, double delta,
                        bool addBack) {
  synthesis_avx512::subtractSine(window, from, to, a, theta0, delta, addBack);
}

}  // namespace analyser::kernels

#else

namespace analyser::kernels {

bool subtractSineAvx512Available() {
  return false;
}
void subtractSineAvx512(int32_t*, int, int, double, double, double, bool) {}

}  // namespace analyser::kernels

#endif
