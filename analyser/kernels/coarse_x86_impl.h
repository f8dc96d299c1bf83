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

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

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

inline void avx512PlanRows(PlanView plan, const int16_t* q, const int* rows, int rowCount,
                           CoarseSums* sums) {
  for (int r = 0; r < rowCount; ++r) {
    CoarseSums out[1] = {};
#if defined(__AVX512VNNI__)
    avx512Range<1, true>(plan.row(rows[r]), &q, 0, plan.blockCount, out);
#else
    avx512Range<1, false>(plan.row(rows[r]), &q, 0, plan.blockCount, out);
#endif
    sums[r] = out[0];
  }
}

#endif

#if defined(__AVX512VNNI__)
// Dot products of W windows' 8-bit samples with one candidate's 8-bit row: each dword lane
// of the accumulator sums four products (unsigned sample x signed entry), the even lanes over
// cosines and the odd ones over sines. Every product lies within 255 x 127, so a whole window
// (at most 2944 samples) sums to less than 2^27 in magnitude: no lane can overflow.
// acc + the byte dot products of unsigned u and signed e, in place: GCC 12 copies the
// accumulators between registers around every _mm512_dpbusd_epi32 of an unrolled loop, which
// cost as much as the products themselves.
inline __m512i dotBytes(__m512i acc, __m512i u, __m512i e) {
  asm("vpdpbusd %2, %1, %0" : "+v"(acc) : "v"(u), "v"(e));
  return acc;
}

// Blocks [b0, b1) of every candidate for the W windows of a batch; the first range stores its
// sums, later ones add to them (modulo 2^32, though no sum comes near it). The windows' blocks
// are interleaved, so one pointer and constant offsets reach all of them.
template <int W>
void vnniDots(BoundPlanView plan, const uint8_t* u, int b0, int b1, bool first, int32_t* dots) {
  for (int j = 0; j < plan.candidateCount; ++j) {
    __m512i acc[W];
#pragma GCC unroll 16
    for (int w = 0; w < W; ++w) acc[w] = _mm512_setzero_si512();
    const int8_t* row = plan.row(j);
    const uint8_t* samples = u + 64L * W * b0;
    for (int block = b0; block < b1; ++block, samples += 64 * W) {
      const __m512i entries = _mm512_loadu_si512(row + 64 * block);
#pragma GCC unroll 16
      for (int w = 0; w < W; ++w) {
        acc[w] = dotBytes(acc[w], _mm512_loadu_si512(samples + 64 * w), entries);
      }
    }
#pragma GCC unroll 16
    for (int w = 0; w < W; ++w) {
      // Even lanes to lane 0, odd lanes to lane 1.
      const __m256i x =
          _mm256_add_epi32(_mm512_castsi512_si256(acc[w]), _mm512_extracti64x4_epi64(acc[w], 1));
      __m128i y = _mm_add_epi32(_mm256_castsi256_si128(x), _mm256_extracti128_si256(x, 1));
      y = _mm_add_epi32(y, _mm_shuffle_epi32(y, 0x4E));
      int32_t& a = dots[static_cast<long>(2 * w) * plan.candidateCount + j];
      int32_t& b = dots[static_cast<long>(2 * w + 1) * plan.candidateCount + j];
      a = first ? _mm_cvtsi128_si32(y) : a + _mm_cvtsi128_si32(y);
      b = first ? _mm_extract_epi32(y, 1) : b + _mm_extract_epi32(y, 1);
    }
  }
}

template <int... I>
constexpr auto vnniDotsTable(std::integer_sequence<int, I...>) {
  return std::array<void (*)(BoundPlanView, const uint8_t*, int, int, bool, int32_t*),
                    sizeof...(I)>{&vnniDots<I + 1>...};
}

// All windows of a batch (up to 16) run over each row together, so the rows are read once.
// The samples are taken in ranges of at most 24 blocks (1.5 KB per window), so that those of
// 16 windows stay in the first-level cache while every row passes.
inline void avx512VnniDots(BoundPlanView plan, const uint8_t* u, int count, int32_t* dots) {
  static constexpr auto kGroups = vnniDotsTable(std::make_integer_sequence<int, 16>{});
  constexpr int kRangeBlocks = 24;
  const int ranges = (plan.blockCount + kRangeBlocks - 1) / kRangeBlocks;
  for (int r = 0; r < ranges; ++r) {
    kGroups[static_cast<size_t>(count - 1)](plan, u, plan.blockCount * r / ranges,
                                            plan.blockCount * (r + 1) / ranges, r == 0, dots);
  }
}

// One row against windows u[0 .. W-1] at once: the row's blocks are loaded once for all of
// them, and the 2 W accumulators are independent chains.
template <int W>
inline void vnniWindowGroup(BoundPlanView plan, const int8_t* row, const uint8_t* const* u,
                            int32_t* dotA, int32_t* dotB) {
  __m512i acc0[W];
  __m512i acc1[W];
#pragma GCC unroll 4
  for (int w = 0; w < W; ++w) acc0[w] = acc1[w] = _mm512_setzero_si512();
  int block = 0;
  for (; block + 1 < plan.blockCount; block += 2) {
    const __m512i e0 = _mm512_loadu_si512(row + 64 * block);
    const __m512i e1 = _mm512_loadu_si512(row + 64 * block + 64);
#pragma GCC unroll 4
    for (int w = 0; w < W; ++w) {
      acc0[w] = dotBytes(acc0[w], _mm512_loadu_si512(u[w] + 64 * block), e0);
      acc1[w] = dotBytes(acc1[w], _mm512_loadu_si512(u[w] + 64 * block + 64), e1);
    }
  }
  if (block < plan.blockCount) {
    const __m512i e0 = _mm512_loadu_si512(row + 64 * block);
#pragma GCC unroll 4
    for (int w = 0; w < W; ++w) {
      acc0[w] = dotBytes(acc0[w], _mm512_loadu_si512(u[w] + 64 * block), e0);
    }
  }
#pragma GCC unroll 4
  for (int w = 0; w < W; ++w) {
    const __m512i acc = _mm512_add_epi32(acc0[w], acc1[w]);
    const __m256i x =
        _mm256_add_epi32(_mm512_castsi512_si256(acc), _mm512_extracti64x4_epi64(acc, 1));
    __m128i y = _mm_add_epi32(_mm256_castsi256_si128(x), _mm256_extracti128_si256(x, 1));
    y = _mm_add_epi32(y, _mm_shuffle_epi32(y, 0x4E));
    dotA[w] = _mm_cvtsi128_si32(y);
    dotB[w] = _mm_extract_epi32(y, 1);
  }
}

inline void avx512VnniWindowDots(BoundPlanView plan, int j, const uint8_t* const* u, int count,
                                 int32_t* dotA, int32_t* dotB) {
  const int8_t* row = plan.row(j);
  int w = 0;
  for (; w + 4 <= count; w += 4) vnniWindowGroup<4>(plan, row, u + w, dotA + w, dotB + w);
  switch (count - w) {
    case 3:
      vnniWindowGroup<3>(plan, row, u + w, dotA + w, dotB + w);
      break;
    case 2:
      vnniWindowGroup<2>(plan, row, u + w, dotA + w, dotB + w);
      break;
    case 1:
      vnniWindowGroup<1>(plan, row, u + w, dotA + w, dotB + w);
      break;
    default:
      break;
  }
}

// boundBytesPortable 32 samples at a time, in 16-bit lanes. The rounding is done as
// ((q >> (s - 1)) + 1) >> 1, which equals (q + 2^(s-1)) >> s without its overflow; for s = 1
// the samples lie within +-256, so q + 1 cannot overflow either. Every h lies in [-128, 127]
// and every l within +-256, so the 16-bit lanes hold them exactly.
inline BoundBytesSums avx512BoundBytes(const int16_t* q, int padded, int shift, uint8_t* u,
                                       int blockStride, uint8_t* low8) {
  const __m512i ones = _mm512_set1_epi16(1);
  const __m512i top = _mm512_set1_epi16(127);
  const __m256i bias = _mm256_set1_epi8(static_cast<char>(0x80));
  // Dword k of the 32 bytes (samples 4k .. 4k + 3) to dwords 2k and 2k + 1 of the block.
  const __m512i twice = _mm512_setr_epi32(0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7);
  const __m128i down = _mm_cvtsi32_si128(shift > 0 ? shift - 1 : 0);
  const __m128i up = _mm_cvtsi32_si128(shift);
  __m512i low = _mm512_setzero_si512();
  __m512i magnitude = _mm512_setzero_si512();
  __m512i excess = _mm512_setzero_si512();
  int nonZero = 0;
  for (int block = 0; block < padded / 32; ++block) {
    const __m512i v = _mm512_loadu_si512(q + 32 * block);
    __m512i h = v;
    if (shift > 0) h = _mm512_srai_epi16(_mm512_add_epi16(_mm512_sra_epi16(v, down), ones), 1);
    h = _mm512_min_epi16(h, top);
    const __m512i l = _mm512_sub_epi16(v, _mm512_sll_epi16(h, up));
    const __m512i stored = _mm512_min_epi16(l, top);
    // Pairs of 16-bit values into 32-bit lanes: no sum can overflow there.
    low = _mm512_add_epi32(low, _mm512_madd_epi16(_mm512_abs_epi16(l), ones));
    // |q| of -32768 is 32768: taken as unsigned 16 bits, widened by a zero-extending multiply.
    const __m512i absV = _mm512_abs_epi16(v);
    magnitude = _mm512_add_epi32(magnitude,
                                 _mm512_add_epi32(_mm512_and_si512(absV, _mm512_set1_epi32(0xFFFF)),
                                                  _mm512_srli_epi32(absV, 16)));
    excess = _mm512_add_epi32(excess, _mm512_madd_epi16(_mm512_sub_epi16(l, stored), ones));
    nonZero += __builtin_popcount(_mm512_test_epi16_mask(v, v));
    const __m256i hBytes = _mm256_xor_si256(_mm512_cvtepi16_epi8(h), bias);
    const __m256i lBytes = _mm256_xor_si256(_mm512_cvtepi16_epi8(stored), bias);
    _mm512_storeu_si512(u + static_cast<long>(blockStride) * block,
                        _mm512_permutexvar_epi32(twice, _mm512_castsi256_si512(hBytes)));
    _mm512_storeu_si512(low8 + 64L * block,
                        _mm512_permutexvar_epi32(twice, _mm512_castsi256_si512(lBytes)));
  }
  BoundBytesSums sums;
  sums.low = _mm512_reduce_add_epi32(low);
  sums.magnitude = _mm512_reduce_add_epi32(magnitude);
  sums.excess = _mm512_reduce_add_epi32(excess);
  sums.nonZero = nonZero;
  return sums;
}

// boundsPortable eight candidates at a time: the same operations in the same order (every
// intermediate is exact or rounded once, as there), so the two give the same bounds.
inline double avx512Bounds(const int32_t* dotA, const int32_t* dotB, const int32_t* columnSums,
                           int candidates, double scale, double centre, double radius,
                           double* upper) {
  const __m512d vScale = _mm512_set1_pd(scale);
  const __m512d vCentre = _mm512_set1_pd(centre);
  const __m512d vRadius = _mm512_set1_pd(radius);
  const __m512d zero = _mm512_setzero_pd();
  const __m512d bias = _mm512_set1_pd(128.0);
  // Column sums are stored in pairs (cosines, sines): even and odd dwords.
  const __m512i evens = _mm512_set_epi32(0, 0, 0, 0, 0, 0, 0, 0, 14, 12, 10, 8, 6, 4, 2, 0);
  const __m512i odds = _mm512_set_epi32(0, 0, 0, 0, 0, 0, 0, 0, 15, 13, 11, 9, 7, 5, 3, 1);
  __m512d best = zero;
  int j = 0;
  for (; j + 8 <= candidates; j += 8) {
    const __m512i columns = _mm512_loadu_si512(columnSums + 2 * j);
    const __m512d ca =
        _mm512_cvtepi32_pd(_mm512_castsi512_si256(_mm512_permutexvar_epi32(evens, columns)));
    const __m512d cb =
        _mm512_cvtepi32_pd(_mm512_castsi512_si256(_mm512_permutexvar_epi32(odds, columns)));
    const __m512d da =
        _mm512_cvtepi32_pd(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(dotA + j)));
    const __m512d db =
        _mm512_cvtepi32_pd(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(dotB + j)));
    const __m512d pa = _mm512_abs_pd(
        _mm512_sub_pd(_mm512_mul_pd(_mm512_sub_pd(da, _mm512_mul_pd(bias, ca)), vScale), vCentre));
    const __m512d pb = _mm512_abs_pd(
        _mm512_sub_pd(_mm512_mul_pd(_mm512_sub_pd(db, _mm512_mul_pd(bias, cb)), vScale), vCentre));
    const __m512d la = _mm512_max_pd(_mm512_sub_pd(pa, vRadius), zero);
    const __m512d lb = _mm512_max_pd(_mm512_sub_pd(pb, vRadius), zero);
    best = _mm512_max_pd(best, _mm512_add_pd(_mm512_mul_pd(la, la), _mm512_mul_pd(lb, lb)));
    const __m512d ha = _mm512_add_pd(pa, vRadius);
    const __m512d hb = _mm512_add_pd(pb, vRadius);
    _mm512_storeu_pd(upper + j, _mm512_add_pd(_mm512_mul_pd(ha, ha), _mm512_mul_pd(hb, hb)));
  }
  double bestLower = _mm512_reduce_max_pd(best);
  for (; j < candidates; ++j) {
    const double pa = std::abs((dotA[j] - 128.0 * columnSums[2 * j]) * scale - centre);
    const double pb = std::abs((dotB[j] - 128.0 * columnSums[2 * j + 1]) * scale - centre);
    const double la = std::max(pa - radius, 0.0);
    const double lb = std::max(pb - radius, 0.0);
    bestLower = std::max(bestLower, la * la + lb * lb);
    upper[j] = (pa + radius) * (pa + radius) + (pb + radius) * (pb + radius);
  }
  return bestLower;
}

inline int avx512Keep(const double* upper, int candidates, double threshold, int* kept) {
  const __m512d vThreshold = _mm512_set1_pd(threshold);
  const __m512i step = _mm512_set1_epi32(16);
  __m512i index = _mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
  int count = 0;
  int j = 0;
  for (; j + 16 <= candidates; j += 16) {
    const __mmask8 low = _mm512_cmp_pd_mask(_mm512_loadu_pd(upper + j), vThreshold, _CMP_GE_OQ);
    const __mmask8 high =
        _mm512_cmp_pd_mask(_mm512_loadu_pd(upper + j + 8), vThreshold, _CMP_GE_OQ);
    const auto keep = static_cast<__mmask16>(low | (high << 8));
    _mm512_mask_compressstoreu_epi32(kept + count, keep, index);
    count += __builtin_popcount(keep);
    index = _mm512_add_epi32(index, step);
  }
  for (; j < candidates; ++j) {
    kept[count] = j;
    count += upper[j] >= threshold ? 1 : 0;
  }
  return count;
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
