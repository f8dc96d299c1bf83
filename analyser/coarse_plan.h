// Precomputed coarse-search tables for one window length: the packed sine/cosine entries that
// the literal coarse search would look up, for every candidate and every sample, so that the
// fast kernels need neither phase arithmetic nor table look-ups.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "partial_estimator.h"

namespace analyser {

class CoarsePlan {
 public:
  // Samples per block: 32 cosines then 32 sines (as 16-bit values) per block and candidate.
  static constexpr int kBlock = 32;

  CoarsePlan(const SineCosineTable& table, int n);

  int frameLength() const { return n_; }
  // n rounded up to a whole number of blocks; quantised windows are zero-padded to this.
  int paddedLength() const { return padded_; }
  int blockCount() const { return padded_ / kBlock; }
  int candidateCount() const { return candidates_; }
  // Row of candidate j: blockCount() blocks of [32 cosines, 32 sines].
  const int16_t* row(int j) const {
    return entries_.data() + static_cast<size_t>(j) * static_cast<size_t>(2 * padded_);
  }
  size_t bytes() const { return entries_.size() * sizeof(int16_t); }

 private:
  int n_;
  int padded_;
  int candidates_;
  std::vector<int16_t> entries_;
};

// Shares one plan per length among the estimators of all threads. Only the most recently
// requested length is kept (the largest plan is about 12 MB); a plan still in use elsewhere
// lives on until its last user lets go.
class CoarsePlanCache {
 public:
  explicit CoarsePlanCache(const SineCosineTable& table) : table_(table) {}
  std::shared_ptr<const CoarsePlan> plan(int n);

 private:
  const SineCosineTable& table_;
  std::mutex mutex_;
  std::shared_ptr<const CoarsePlan> current_;
};

}  // namespace analyser
