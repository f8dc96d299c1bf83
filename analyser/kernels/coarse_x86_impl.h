// The vector coarse kernels, instantiated by coarse_avx2.cpp and coarse_avx512*.cpp with their
// own instruction-set options. Only included where those options are set.
//
// Exactness: a 16 x 16 bit multiply-high is floor(q * entry / 65536) for every pair of
// 16-bit values, which is each product of the literal search. Two neighbouring products are
// then added into one 32-bit lane (by multiply-add with ones, or dot-product accumulate);
// every lane and the final horizontal sum are additions modulo 2^32, so the result equals the
// literal sequential sum taken modulo 2^32, whatever the order.
//
// The loops over the W windows of a group are unrolled so that the 2 W accumulators stay in
// registers (16 for AVX-512, of 32; 8 for AVX2, of 16).
#pragma once

// GCC 12 reports its own AVX-512 intrinsics (256-bit extracts) as possibly uninitialised.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#include <immintrin.h>

#include "coarse_kernels.h"

namespace analyser::kernels::x86 {

#if defined(__AVX2__)
inline int32_t horizontalSum(__m256i v) {
  __m128i x = _mm_add_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
  x = _mm_add_epi32(x, _mm_shuffle_epi32(x, 0x4E));
  x = _mm_add_epi32(x, _mm_shuffle_epi32(x, 0xB1));
  return _mm_cvtsi128_si32(x);
}
#endif

#if defined(__AVX512BW__)
inline int32_t horizontalSum(__m512i v) {
  const __m256i high = _mm512_extracti64x4_epi64(v, 1);
  return horizontalSum(_mm256_add_epi32(_mm512_castsi512_si256(v), high));
}
#endif

#if defined(__AVX512BW__)
template <int W, bool kDotProduct>
void avx512Group(PlanView plan, const int16_t* const* q, int count, int w0, CoarseSums* sums) {
  const __m512i ones = _mm512_set1_epi16(1);
  const int blocks = plan.blockCount;
  const int16_t* samples[W];
  for (int w = 0; w < W; ++w) samples[w] = q[w0 + w];
  for (int j = 0; j < plan.candidateCount; ++j) {
    const int16_t* row = plan.row(j);
    __m512i accA[W];
    __m512i accB[W];
#pragma GCC unroll 16
    for (int w = 0; w < W; ++w) accA[w] = accB[w] = _mm512_setzero_si512();
    for (int block = 0; block < blocks; ++block) {
      const __m512i c = _mm512_loadu_si512(row + 64 * block);
      const __m512i s = _mm512_loadu_si512(row + 64 * block + 32);
#pragma GCC unroll 16
      for (int w = 0; w < W; ++w) {
        const __m512i x = _mm512_loadu_si512(samples[w] + 32 * block);
        const __m512i pc = _mm512_mulhi_epi16(x, c);
        const __m512i ps = _mm512_mulhi_epi16(x, s);
        if constexpr (kDotProduct) {
#if defined(__AVX512VNNI__)
          accA[w] = _mm512_dpwssd_epi32(accA[w], pc, ones);
          accB[w] = _mm512_dpwssd_epi32(accB[w], ps, ones);
#endif
        } else {
          accA[w] = _mm512_add_epi32(accA[w], _mm512_madd_epi16(pc, ones));
          accB[w] = _mm512_add_epi32(accB[w], _mm512_madd_epi16(ps, ones));
        }
      }
    }
#pragma GCC unroll 16
    for (int w = 0; w < W; ++w) {
      sums[j * count + w0 + w] = {horizontalSum(accA[w]), horizontalSum(accB[w])};
    }
  }
}

template <bool kDotProduct>
void avx512Kernel(PlanView plan, const int16_t* const* q, int count, CoarseSums* sums) {
  int w0 = 0;
  for (; count - w0 >= 8; w0 += 8) avx512Group<8, kDotProduct>(plan, q, count, w0, sums);
  switch (count - w0) {
    case 7:
      avx512Group<7, kDotProduct>(plan, q, count, w0, sums);
      break;
    case 6:
      avx512Group<6, kDotProduct>(plan, q, count, w0, sums);
      break;
    case 5:
      avx512Group<5, kDotProduct>(plan, q, count, w0, sums);
      break;
    case 4:
      avx512Group<4, kDotProduct>(plan, q, count, w0, sums);
      break;
    case 3:
      avx512Group<3, kDotProduct>(plan, q, count, w0, sums);
      break;
    case 2:
      avx512Group<2, kDotProduct>(plan, q, count, w0, sums);
      break;
    case 1:
      avx512Group<1, kDotProduct>(plan, q, count, w0, sums);
      break;
    default:
      break;
  }
}
#endif

#if defined(__AVX2__)
template <int W>
void avx2Group(PlanView plan, const int16_t* const* q, int count, int w0, CoarseSums* sums) {
  const __m256i ones = _mm256_set1_epi16(1);
  const int blocks = plan.blockCount;
  const int16_t* samples[W];
  for (int w = 0; w < W; ++w) samples[w] = q[w0 + w];
  for (int j = 0; j < plan.candidateCount; ++j) {
    const int16_t* row = plan.row(j);
    __m256i accA[W];
    __m256i accB[W];
#pragma GCC unroll 16
    for (int w = 0; w < W; ++w) accA[w] = accB[w] = _mm256_setzero_si256();
    for (int half = 0; half < 2 * blocks; ++half) {
      const int16_t* entries = row + 64 * (half / 2) + 16 * (half % 2);
      const __m256i c = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(entries));
      const __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(entries + 32));
#pragma GCC unroll 16
      for (int w = 0; w < W; ++w) {
        const __m256i x =
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(samples[w] + 16 * half));
        accA[w] = _mm256_add_epi32(accA[w], _mm256_madd_epi16(_mm256_mulhi_epi16(x, c), ones));
        accB[w] = _mm256_add_epi32(accB[w], _mm256_madd_epi16(_mm256_mulhi_epi16(x, s), ones));
      }
    }
#pragma GCC unroll 16
    for (int w = 0; w < W; ++w) {
      sums[j * count + w0 + w] = {horizontalSum(accA[w]), horizontalSum(accB[w])};
    }
  }
}

inline void avx2Kernel(PlanView plan, const int16_t* const* q, int count, CoarseSums* sums) {
  int w0 = 0;
  for (; count - w0 >= 4; w0 += 4) avx2Group<4>(plan, q, count, w0, sums);
  switch (count - w0) {
    case 3:
      avx2Group<3>(plan, q, count, w0, sums);
      break;
    case 2:
      avx2Group<2>(plan, q, count, w0, sums);
      break;
    case 1:
      avx2Group<1>(plan, q, count, w0, sums);
      break;
    default:
      break;
  }
}
#endif

}  // namespace analyser::kernels::x86
