#include "coarse_kernels.h"

namespace analyser::kernels {

void coarseSumsPortable(PlanView plan, const int16_t* const* q, int count, CoarseSums* sums) {
  constexpr int kBlock = 32;
  for (int j = 0; j < plan.candidateCount; ++j) {
    const int16_t* row = plan.row(j);
    for (int w = 0; w < count; ++w) {
      uint32_t a = 0;
      uint32_t b = 0;
      for (int block = 0; block < plan.blockCount; ++block) {
        const int16_t* cosines = row + 2 * kBlock * block;
        const int16_t* sines = cosines + kBlock;
        const int16_t* samples = q[w] + kBlock * block;
        for (int lane = 0; lane < kBlock; ++lane) {
          a += static_cast<uint32_t>((int32_t{samples[lane]} * cosines[lane]) >> 16);
          b += static_cast<uint32_t>((int32_t{samples[lane]} * sines[lane]) >> 16);
        }
      }
      sums[j * count + w] = {static_cast<int32_t>(a), static_cast<int32_t>(b)};
    }
  }
}

}  // namespace analyser::kernels
