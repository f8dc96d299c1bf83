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
#pragma GCC diagnostic ignored "-Wuninitialized"
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
// Adds the products of blocks [b0, b1) of one candidate row to the sums of W windows.
template <int W, bool kDotProduct>
inline void avx512Range(const int16_t* row, const int16_t* const* samples, int b0, int b1,
                        CoarseSums* out) {
  const __m512i ones = _mm512_set1_epi16(1);
  __m512i accA[W];
  __m512i accB[W];
#pragma GCC unroll 16
  for (int w = 0; w < W; ++w) accA[w] = accB[w] = _mm512_setzero_si512();
  auto accumulate = [&](int w, __m512i pc, __m512i ps) {
    if constexpr (kDotProduct) {
#if defined(__AVX512VNNI__)
      accA[w] = _mm512_dpwssd_epi32(accA[w], pc, ones);
      accB[w] = _mm512_dpwssd_epi32(accB[w], ps, ones);
#endif
    } else {
      accA[w] = _mm512_add_epi32(accA[w], _mm512_madd_epi16(pc, ones));
      accB[w] = _mm512_add_epi32(accB[w], _mm512_madd_epi16(ps, ones));
    }
  };
  int block = b0;
  // Two blocks at a time: table entries lie within +-32767, so each multiply-high lies in
  // [-16384, 16383] and the sum of two fits 16 bits exactly; one widening add then serves
  // both blocks.
  for (; block + 1 < b1; block += 2) {
    const __m512i c0 = _mm512_loadu_si512(row + 64 * block);
    const __m512i s0 = _mm512_loadu_si512(row + 64 * block + 32);
    const __m512i c1 = _mm512_loadu_si512(row + 64 * block + 64);
    const __m512i s1 = _mm512_loadu_si512(row + 64 * block + 96);
#pragma GCC unroll 16
    for (int w = 0; w < W; ++w) {
      const __m512i x0 = _mm512_loadu_si512(samples[w] + 32 * block);
      const __m512i x1 = _mm512_loadu_si512(samples[w] + 32 * block + 32);
      accumulate(w, _mm512_add_epi16(_mm512_mulhi_epi16(x0, c0), _mm512_mulhi_epi16(x1, c1)),
                 _mm512_add_epi16(_mm512_mulhi_epi16(x0, s0), _mm512_mulhi_epi16(x1, s1)));
    }
  }
  if (block < b1) {
    const __m512i c = _mm512_loadu_si512(row + 64 * block);
    const __m512i s = _mm512_loadu_si512(row + 64 * block + 32);
#pragma GCC unroll 16
    for (int w = 0; w < W; ++w) {
      const __m512i x = _mm512_loadu_si512(samples[w] + 32 * block);
      accumulate(w, _mm512_mulhi_epi16(x, c), _mm512_mulhi_epi16(x, s));
    }
  }
#pragma GCC unroll 16
  for (int w = 0; w < W; ++w) {
    // Modulo 2^32, like the lanes themselves.
    out[w].a = static_cast<int32_t>(static_cast<uint32_t>(out[w].a) +
                                    static_cast<uint32_t>(horizontalSum(accA[w])));
    out[w].b = static_cast<int32_t>(static_cast<uint32_t>(out[w].b) +
                                    static_cast<uint32_t>(horizontalSum(accB[w])));
  }
}

// The same for a run-time window count of 1 to 8.
template <bool kDotProduct>
inline void avx512RangeAny(int count, const int16_t* row, const int16_t* const* samples, int b0,
                           int b1, CoarseSums* out) {
  switch (count) {
    case 8:
      avx512Range<8, kDotProduct>(row, samples, b0, b1, out);
      break;
    case 7:
      avx512Range<7, kDotProduct>(row, samples, b0, b1, out);
      break;
    case 6:
      avx512Range<6, kDotProduct>(row, samples, b0, b1, out);
      break;
    case 5:
      avx512Range<5, kDotProduct>(row, samples, b0, b1, out);
      break;
    case 4:
      avx512Range<4, kDotProduct>(row, samples, b0, b1, out);
      break;
    case 3:
      avx512Range<3, kDotProduct>(row, samples, b0, b1, out);
      break;
    case 2:
      avx512Range<2, kDotProduct>(row, samples, b0, b1, out);
      break;
    case 1:
      avx512Range<1, kDotProduct>(row, samples, b0, b1, out);
      break;
    default:
      break;
  }
}

// Candidates are taken in chunks of rows that fit the second-level cache, and every group of
// up to 8 windows runs over a chunk before the next chunk is read, so a batch of 16 windows
// reads the tables from memory (or the shared cache) only once.
template <bool kDotProduct>
void avx512Kernel(PlanView plan, const int16_t* const* q, int count, CoarseSums* sums) {
  constexpr long kChunkBytes = 512 * 1024;
  const long rowBytes = static_cast<long>(plan.blockCount) * 128;
  const int chunk = static_cast<int>(kChunkBytes / rowBytes > 0 ? kChunkBytes / rowBytes : 1);
  for (int j0 = 0; j0 < plan.candidateCount; j0 += chunk) {
    const int j1 = j0 + chunk < plan.candidateCount ? j0 + chunk : plan.candidateCount;
    for (int w0 = 0; w0 < count; w0 += 8) {
      const int group = count - w0 < 8 ? count - w0 : 8;
      for (int j = j0; j < j1; ++j) {
        CoarseSums out[8] = {};
        avx512RangeAny<kDotProduct>(group, plan.row(j), q + w0, 0, plan.blockCount, out);
        for (int w = 0; w < group; ++w) sums[j * count + w0 + w] = out[w];
      }
    }
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
