#include "coarse_plan.h"

namespace analyser {

namespace {

// e / 257 rounded to nearest (never a half, 257 being odd).
int8_t round8(int16_t e) {
  const int v = e;
  return static_cast<int8_t>(v >= 0 ? (v + 128) / 257 : -((128 - v) / 257));
}

}  // namespace

CoarsePlan::CoarsePlan(const SineCosineTable& table, int n)
    : n_(n),
      padded_((n + kBlock - 1) / kBlock * kBlock),
      candidates_(kCoarseCandidates),
      entries_(static_cast<size_t>(kCoarseCandidates) * static_cast<size_t>(2 * padded_), 0),
      boundEntries_(entries_.size(), 0),
      columnSums_(static_cast<size_t>(2 * kCoarseCandidates), 0) {
  // The literal search runs over n rounded up to even; the appended zero sample and the
  // padding contribute floor(0 * entry / 65536) = 0, so their entries stay 0.
  const int n2 = n + (n % 2);
  for (int j = 0; j < candidates_; ++j) {
    int16_t* out = entries_.data() + static_cast<size_t>(j) * static_cast<size_t>(2 * padded_);
    const uint32_t step = coarsePhaseStep(j);
    int8_t* bound =
        boundEntries_.data() + static_cast<size_t>(j) * static_cast<size_t>(2 * padded_);
    uint32_t accumulator = 0;
    for (int i = 0; i < n2; ++i) {
      const uint32_t k = accumulator >> 16;
      const int block = i / kBlock;
      const int lane = i % kBlock;
      out[2 * kBlock * block + lane] = table.cosine(k);
      out[2 * kBlock * block + kBlock + lane] = table.sine(k);
      const int8_t c = round8(table.cosine(k));
      const int8_t s = round8(table.sine(k));
      int8_t* group = bound + 2 * kBlock * block + 8 * (lane / 4) + lane % 4;
      group[0] = c;
      group[4] = s;
      columnSums_[static_cast<size_t>(2 * j)] += c;
      columnSums_[static_cast<size_t>(2 * j + 1)] += s;
      accumulator += step;
    }
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
