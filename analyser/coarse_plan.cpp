#include "coarse_plan.h"

#include <algorithm>
#include <cstdlib>
#include <new>

namespace analyser {

namespace {

// e / 257 rounded to nearest (never a half, 257 being odd).
int8_t round8(int16_t e) {
  const int v = e;
  return static_cast<int8_t>(v >= 0 ? (v + 128) / 257 : -((128 - v) / 257));
}

}  // namespace

CoarsePlan::CoarsePlan(const SineCosineTable& table, int n)
    : table_(table),
      n_(n),
      padded_((n + kBlock - 1) / kBlock * kBlock),
      candidates_(kCoarseCandidates),
      boundEntries_(static_cast<size_t>(kCoarseCandidates) * static_cast<size_t>(2 * padded_)),
      columnSums_(static_cast<size_t>(2 * kCoarseCandidates), 0),
      entries_(static_cast<size_t>(kCoarseCandidates) * static_cast<size_t>(2 * padded_) *
               sizeof(int16_t)),
      rowBuilt_(std::make_unique<std::once_flag[]>(kCoarseCandidates)) {
  // The 8-bit cosine and sine of every table entry, side by side.
  std::vector<uint16_t> rounded(65536);
  for (uint32_t k = 0; k < 65536; ++k) {
    rounded[k] = static_cast<uint16_t>(static_cast<uint8_t>(round8(table.cosine(k))) |
                                       static_cast<uint8_t>(round8(table.sine(k))) << 8);
  }
  // The literal search runs over n rounded up to even; the appended zero sample and the
  // padding contribute floor(0 * entry / 65536) = 0, so their entries are 0.
  const int n2 = n + (n % 2);
  for (int j = 0; j < candidates_; ++j) {
    const uint32_t step = coarsePhaseStep(j);
    int8_t* bound =
        boundEntries_.data() + static_cast<size_t>(j) * static_cast<size_t>(2 * padded_);
    // The last block, which holds the padding, is cleared first (the others are all written).
    std::fill(bound + 2 * kBlock * (n2 / kBlock), bound + 2 * padded_, int8_t{0});
    int32_t cosineSum = 0;
    int32_t sineSum = 0;
    uint32_t accumulator = 0;
    for (int i = 0; i < n2; ++i) {
      const uint16_t pair = rounded[accumulator >> 16];
      const auto c = static_cast<int8_t>(pair & 0xFF);
      const auto s = static_cast<int8_t>(pair >> 8);
      // Block of 32 samples = 64 bytes: groups of four cosines, then four sines.
      int8_t* group = bound + 2 * kBlock * (i / kBlock) + 8 * ((i % kBlock) / 4) + i % 4;
      group[0] = c;
      group[4] = s;
      cosineSum += c;
      sineSum += s;
      accumulator += step;
    }
    columnSums_[static_cast<size_t>(2 * j)] = cosineSum;
    columnSums_[static_cast<size_t>(2 * j + 1)] = sineSum;
  }
}

void CoarsePlan::buildRow(int j) const {
  // Entries of the padding stay 0 (the memory comes zeroed).
  int16_t* out = rowAddress(j);
  const int n2 = n_ + (n_ % 2);
  const uint32_t step = coarsePhaseStep(j);
  uint32_t accumulator = 0;
  for (int i = 0; i < n2; ++i) {
    const uint32_t k = accumulator >> 16;
    const int block = i / kBlock;
    const int lane = i % kBlock;
    out[2 * kBlock * block + lane] = table_.cosine(k);
    out[2 * kBlock * block + kBlock + lane] = table_.sine(k);
    accumulator += step;
  }
}

std::shared_ptr<const CoarsePlan> CoarsePlanCache::plan(int n) {
  std::lock_guard lock(mutex_);
  if (!current_ || current_->frameLength() != n) {
    current_.reset();  // release the old plan first, so two never sit here together
    current_ = std::make_shared<const CoarsePlan>(table_, n);
  }
  return current_;
}

}  // namespace analyser
