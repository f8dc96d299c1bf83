// The coarse kernels in WebAssembly SIMD (built with -msimd128 by the web build); elsewhere
// this file provides no kernel.
//
// Exactness: each product q * entry is formed in full in a 32-bit lane (extending multiply)
// and shifted right arithmetically by 16, which is floor(q * entry / 65536), the literal
// search's term; lanes and the final horizontal sum add modulo 2^32, so the sums equal the
// literal sequential ones whatever the order. The pruning's byte dot products widen both
// operands to 16 bits and add pairs into 32-bit lanes: every product lies within 255 x 128
// and a whole window sums to less than 2^27, so no lane overflows.
#include "coarse_kernels.h"

#if defined(__wasm_simd128__)
#include <wasm_simd128.h>
#endif

namespace analyser::kernels {

#if defined(__wasm_simd128__)

namespace {

inline int32_t horizontalSum(v128_t v) {
  return wasm_i32x4_extract_lane(v, 0) + wasm_i32x4_extract_lane(v, 1) +
         wasm_i32x4_extract_lane(v, 2) + wasm_i32x4_extract_lane(v, 3);
}

// The sum of floor(x_i * e_i / 65536) over eight 16-bit lanes, added to acc lane-wise.
inline v128_t addProducts(v128_t acc, v128_t x, v128_t e) {
  acc = wasm_i32x4_add(acc, wasm_i32x4_shr(wasm_i32x4_extmul_low_i16x8(x, e), 16));
  return wasm_i32x4_add(acc, wasm_i32x4_shr(wasm_i32x4_extmul_high_i16x8(x, e), 16));
}

// The sums of every candidate for W windows starting at q[w0]; the 2 W accumulators stay in
// registers.
template <int W>
void group(PlanView plan, const int16_t* const* q, int count, int w0, CoarseSums* sums) {
  const int16_t* samples[W];
  for (int w = 0; w < W; ++w) samples[w] = q[w0 + w];
  const int eighths = 4 * plan.blockCount;  // eight-sample steps per window
  for (int j = 0; j < plan.candidateCount; ++j) {
    const int16_t* row = plan.row(j);
    v128_t accA[W];
    v128_t accB[W];
    for (int w = 0; w < W; ++w) accA[w] = accB[w] = wasm_i32x4_splat(0);
    for (int step = 0; step < eighths; ++step) {
      // Block b holds 32 cosines then 32 sines.
      const int16_t* entries = row + 64 * (step / 4) + 8 * (step % 4);
      const v128_t c = wasm_v128_load(entries);
      const v128_t s = wasm_v128_load(entries + 32);
      for (int w = 0; w < W; ++w) {
        const v128_t x = wasm_v128_load(samples[w] + 8 * step);
        accA[w] = addProducts(accA[w], x, c);
        accB[w] = addProducts(accB[w], x, s);
      }
    }
    for (int w = 0; w < W; ++w) {
      sums[j * count + w0 + w] = {horizontalSum(accA[w]), horizontalSum(accB[w])};
    }
  }
}

void coarseSumsWasm(PlanView plan, const int16_t* const* q, int count, CoarseSums* sums) {
  int w0 = 0;
  for (; count - w0 >= 4; w0 += 4) group<4>(plan, q, count, w0, sums);
  switch (count - w0) {
    case 3:
      group<3>(plan, q, count, w0, sums);
      break;
    case 2:
      group<2>(plan, q, count, w0, sums);
      break;
    case 1:
      group<1>(plan, q, count, w0, sums);
      break;
    default:
      break;
  }
}

void planRowsWasm(PlanView plan, const int16_t* q, const int* rows, int rowCount,
                  CoarseSums* sums) {
  for (int r = 0; r < rowCount; ++r) {
    PlanView single = plan;
    single.entries = plan.row(rows[r]);
    single.candidateCount = 1;
    group<1>(single, &q, 1, 0, sums + r);
  }
}

// Adds the byte dot products of 16 unsigned samples and 16 signed entries: lanes 0 and 1 over
// the cosine groups (bytes 0-3 and 8-11), lanes 2 and 3 over the sine groups.
inline v128_t addByteDots(v128_t acc, v128_t u, v128_t e) {
  acc = wasm_i32x4_add(
      acc, wasm_i32x4_dot_i16x8(wasm_u16x8_extend_low_u8x16(u), wasm_i16x8_extend_low_i8x16(e)));
  return wasm_i32x4_add(
      acc, wasm_i32x4_dot_i16x8(wasm_u16x8_extend_high_u8x16(u), wasm_i16x8_extend_high_i8x16(e)));
}

// One window's dots with candidate row `row`: u at `u` block after block, `stride` bytes apart.
inline void windowDot(const int8_t* row, const uint8_t* u, int blocks, long stride, int32_t& a,
                      int32_t& b) {
  v128_t acc = wasm_i32x4_splat(0);
  for (int block = 0; block < blocks; ++block, u += stride, row += 64) {
    for (int k = 0; k < 64; k += 16) {
      acc = addByteDots(acc, wasm_v128_load(u + k), wasm_v128_load(row + k));
    }
  }
  a = wasm_i32x4_extract_lane(acc, 0) + wasm_i32x4_extract_lane(acc, 1);
  b = wasm_i32x4_extract_lane(acc, 2) + wasm_i32x4_extract_lane(acc, 3);
}

void windowDotsWasm(BoundPlanView plan, int j, const uint8_t* const* u, int count, int32_t* dotA,
                    int32_t* dotB) {
  for (int w = 0; w < count; ++w)
    windowDot(plan.row(j), u[w], plan.blockCount, 64, dotA[w], dotB[w]);
}

void dotsWasm(BoundPlanView plan, const uint8_t* u, int count, int32_t* dots) {
  for (int w = 0; w < count; ++w) {
    int32_t* cosines = dots + static_cast<long>(2 * w) * plan.candidateCount;
    int32_t* sines = cosines + plan.candidateCount;
    for (int j = 0; j < plan.candidateCount; ++j) {
      windowDot(plan.row(j), u + 64 * w, plan.blockCount, 64L * count, cosines[j], sines[j]);
    }
  }
}

}  // namespace

CoarseKernelFn coarseSumsWasmSimdKernel() {
  return &coarseSumsWasm;
}

PruningKernels pruningKernelsWasmSimd() {
  PruningKernels kernels = pruningKernelsPortable();
  kernels.dots = &dotsWasm;
  kernels.windowDots = &windowDotsWasm;
  kernels.planRows = &planRowsWasm;
  return kernels;
}

#else

CoarseKernelFn coarseSumsWasmSimdKernel() {
  return nullptr;
}

PruningKernels pruningKernelsWasmSimd() {
  return {};
}

#endif

}  // namespace analyser::kernels
