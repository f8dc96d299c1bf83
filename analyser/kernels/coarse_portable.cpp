#include "coarse_kernels.h"

#include <algorithm>
#include <cmath>
#include <vector>

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

namespace {

void windowDotsPortable(BoundPlanView plan, int j, const uint8_t* const* u, int count,
                        int32_t* dotA, int32_t* dotB) {
  const int bytes = plan.blockCount * 64;
  const int8_t* row = plan.row(j);
  for (int w = 0; w < count; ++w) {
    int32_t a = 0;
    int32_t b = 0;
    // Groups of 8 bytes: four cosines, then four sines, of the same four samples.
    for (int k = 0; k < bytes; k += 8) {
      for (int i = 0; i < 4; ++i) {
        a += int32_t{u[w][k + i]} * row[k + i];
        b += int32_t{u[w][k + 4 + i]} * row[k + 4 + i];
      }
    }
    dotA[w] = a;
    dotB[w] = b;
  }
}

BoundBytesSums boundBytesPortable(const int16_t* q, int padded, int shift, uint8_t* u,
                                  int blockStride, uint8_t* low8) {
  const int half = shift == 0 ? 0 : 1 << (shift - 1);
  BoundBytesSums sums;
  for (int i = 0; i < padded; ++i) {
    const int v = q[i];
    const int h = std::min((v + half) >> shift, 127);
    const int l = v - h * (1 << shift);
    const int stored = std::min(l, 127);
    sums.low += std::abs(l);
    sums.magnitude += std::abs(v);
    sums.excess += l - stored;
    sums.nonZero += v != 0 ? 1 : 0;
    // Block of 32 samples = 64 bytes: each group of four samples twice over.
    const int at = 8 * ((i % 32) / 4) + i % 4;
    uint8_t* to = u + blockStride * (i / 32) + at;
    to[0] = to[4] = static_cast<uint8_t>((h + 128) & 0xFF);
    uint8_t* lowTo = low8 + 64 * (i / 32) + at;
    lowTo[0] = lowTo[4] = static_cast<uint8_t>((stored + 128) & 0xFF);
  }
  return sums;
}

void dotsPortable(BoundPlanView plan, const uint8_t* u, int count, int32_t* dots) {
  std::vector<uint8_t> window(static_cast<size_t>(plan.blockCount) * 64);
  for (int w = 0; w < count; ++w) {
    for (int b = 0; b < plan.blockCount; ++b) {
      std::copy_n(u + 64 * (static_cast<long>(b) * count + w), 64, window.begin() + 64 * b);
    }
    int32_t* cosines = dots + static_cast<long>(2 * w) * plan.candidateCount;
    for (int j = 0; j < plan.candidateCount; ++j) {
      const uint8_t* bytes = window.data();
      windowDotsPortable(plan, j, &bytes, 1, cosines + j, cosines + plan.candidateCount + j);
    }
  }
}

void planRowsPortable(PlanView plan, const int16_t* q, const int* rows, int rowCount,
                      CoarseSums* sums) {
  for (int r = 0; r < rowCount; ++r) {
    PlanView single = plan;
    single.entries = plan.row(rows[r]);
    single.candidateCount = 1;
    coarseSumsPortable(single, &q, 1, sums + r);
  }
}

double boundsPortable(const int32_t* dotA, const int32_t* dotB, const int32_t* columnSums,
                      int candidates, double scale, double centre, double radius, double* upper) {
  double bestLower = 0.0;
  for (int j = 0; j < candidates; ++j) {
    const double pa = std::abs((dotA[j] - 128.0 * columnSums[2 * j]) * scale - centre);
    const double pb = std::abs((dotB[j] - 128.0 * columnSums[2 * j + 1]) * scale - centre);
    const double la = std::max(pa - radius, 0.0);
    const double lb = std::max(pb - radius, 0.0);
    bestLower = std::max(bestLower, la * la + lb * lb);
    upper[j] = (pa + radius) * (pa + radius) + (pb + radius) * (pb + radius);
  }
  return bestLower;
}

int keepPortable(const double* upper, int candidates, double threshold, int* kept) {
  int count = 0;
  for (int j = 0; j < candidates; ++j) {
    kept[count] = j;
    count += upper[j] >= threshold ? 1 : 0;
  }
  return count;
}

}  // namespace

PruningKernels pruningKernelsPortable() {
  return {&dotsPortable,     &boundsPortable,     &keepPortable,
          &planRowsPortable, &windowDotsPortable, &boundBytesPortable};
}

}  // namespace analyser::kernels
