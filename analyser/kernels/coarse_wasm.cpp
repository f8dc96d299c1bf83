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

#include "analysis_constants.h"

#if defined(__wasm_simd128__)
#include <wasm_simd128.h>

#include <vector>
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

// Adds the dot products of 16 samples (widened to 16 bits, in two vectors) and 16 signed
// entries (widened likewise): lanes 0 and 1 over the cosine groups (bytes 0-3 and 8-11),
// lanes 2 and 3 over the sine groups.
inline v128_t addByteDots(v128_t acc, v128_t uLow, v128_t uHigh, v128_t eLow, v128_t eHigh) {
  acc = wasm_i32x4_add(acc, wasm_i32x4_dot_i16x8(uLow, eLow));
  return wasm_i32x4_add(acc, wasm_i32x4_dot_i16x8(uHigh, eHigh));
}

// The dots of W windows with candidate row `row`; window w's samples, widened to 16 bits, at
// u16[w] block after block. Each row's bytes are widened once for all W windows.
template <int W>
void rowDots(const int8_t* row, const int16_t* const* u16, int blocks, int32_t* dotA,
             int32_t* dotB) {
  v128_t acc[W];
  for (int w = 0; w < W; ++w) acc[w] = wasm_i32x4_splat(0);
  for (int k = 0; k < 64 * blocks; k += 16) {
    const v128_t e = wasm_v128_load(row + k);
    const v128_t eLow = wasm_i16x8_extend_low_i8x16(e);
    const v128_t eHigh = wasm_i16x8_extend_high_i8x16(e);
    for (int w = 0; w < W; ++w) {
      acc[w] = addByteDots(acc[w], wasm_v128_load(u16[w] + k), wasm_v128_load(u16[w] + k + 8), eLow,
                           eHigh);
    }
  }
  for (int w = 0; w < W; ++w) {
    dotA[w] = wasm_i32x4_extract_lane(acc[w], 0) + wasm_i32x4_extract_lane(acc[w], 1);
    dotB[w] = wasm_i32x4_extract_lane(acc[w], 2) + wasm_i32x4_extract_lane(acc[w], 3);
  }
}

// Widens `blocks` blocks of 64 bytes, `stride` bytes apart, to 16 bits one after the other.
void widen(const uint8_t* u, int blocks, long stride, int16_t* out) {
  for (int block = 0; block < blocks; ++block, u += stride) {
    for (int k = 0; k < 64; k += 16, out += 16) {
      const v128_t bytes = wasm_v128_load(u + k);
      wasm_v128_store(out, wasm_u16x8_extend_low_u8x16(bytes));
      wasm_v128_store(out + 8, wasm_u16x8_extend_high_u8x16(bytes));
    }
  }
}

// The dots of every candidate for `count` windows (at most kCoarseBatchLimit); dotA and dotB
// receive window w's dots at offset w * step.
void allDots(BoundPlanView plan, const int16_t* const* u16, int count, int32_t* dotA, int32_t* dotB,
             long step) {
  for (int j = 0; j < plan.candidateCount; ++j) {
    int32_t a[4];
    int32_t b[4];
    for (int w0 = 0; w0 < count; w0 += 4) {
      const int group = count - w0 < 4 ? count - w0 : 4;
      const int16_t* const* windows = u16 + w0;
      switch (group) {
        case 4:
          rowDots<4>(plan.row(j), windows, plan.blockCount, a, b);
          break;
        case 3:
          rowDots<3>(plan.row(j), windows, plan.blockCount, a, b);
          break;
        case 2:
          rowDots<2>(plan.row(j), windows, plan.blockCount, a, b);
          break;
        default:
          rowDots<1>(plan.row(j), windows, plan.blockCount, a, b);
          break;
      }
      for (int w = 0; w < group; ++w) {
        dotA[(w0 + w) * step + j] = a[w];
        dotB[(w0 + w) * step + j] = b[w];
      }
    }
  }
}

// Room for the widened samples of a batch.
std::vector<int16_t>& widened(int count, int blocks) {
  thread_local std::vector<int16_t> scratch;
  const std::size_t size = static_cast<std::size_t>(count) * static_cast<std::size_t>(blocks) * 64;
  if (scratch.size() < size) scratch.resize(size);
  return scratch;
}

void windowDotsWasm(BoundPlanView plan, int j, const uint8_t* const* u, int count, int32_t* dotA,
                    int32_t* dotB) {
  std::vector<int16_t>& scratch = widened(1, plan.blockCount);
  const int16_t* window = scratch.data();
  for (int w = 0; w < count; ++w) {
    widen(u[w], plan.blockCount, 64, scratch.data());
    rowDots<1>(plan.row(j), &window, plan.blockCount, dotA + w, dotB + w);
  }
}

void dotsWasm(BoundPlanView plan, const uint8_t* u, int count, int32_t* dots) {
  std::vector<int16_t>& scratch = widened(count, plan.blockCount);
  const int16_t* windows[kCoarseBatchLimit];
  for (int w = 0; w < count; ++w) {
    windows[w] = scratch.data() + static_cast<long>(w) * plan.blockCount * 64;
    widen(u + 64 * w, plan.blockCount, 64L * count,
          scratch.data() + static_cast<long>(w) * plan.blockCount * 64);
  }
  allDots(plan, windows, count, dots, dots + plan.candidateCount, 2L * plan.candidateCount);
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
