// Precomputed coarse-search tables for one window length: the packed sine/cosine entries that
// the literal coarse search would look up, for every candidate and every sample, so that the
// fast kernels need neither phase arithmetic nor table look-ups; and the same entries rounded
// to 8 bits, from which the pruning kernels bound every candidate's sums cheaply.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "aligned_storage.h"
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
  // Row of candidate j: blockCount() blocks of [32 cosines, 32 sines]. Each row is built on
  // first use (by any thread; others asking at once wait): the pruned search needs only the
  // rows of the candidates it sums exactly, and memory is taken only for those.
  const int16_t* row(int j) const {
    std::call_once(rowBuilt_[static_cast<size_t>(j)], [this, j] { buildRow(j); });
    return rowAddress(j);
  }
  // The first row, with every row built: for the kernels that run over all of them.
  const int16_t* allRows() const {
    for (int j = 0; j < candidates_; ++j) row(j);
    return rowAddress(0);
  }
  // Entry e of the table stands for kBoundScale * round8(e) + a residual of at most
  // kBoundResidual in magnitude: e / 257 rounded to nearest lies in [-127, 127] for every
  // |e| <= 32767, and 257 being odd, e / 257 is never a half, so |e - 257 round8(e)| <= 128.
  static constexpr int kBoundScale = 257;
  static constexpr int kBoundResidual = 128;
  // Row of candidate j in 8 bits: blockCount() blocks of 64 bytes; in block b, for m = 0 .. 7,
  // four cosines then four sines of samples 32 b + 4 m .. 32 b + 4 m + 3.
  const int8_t* boundRow(int j) const {
    return boundEntries_.data() + static_cast<size_t>(j) * static_cast<size_t>(2 * padded_);
  }
  // Per candidate: the sum of its 8-bit cosines and the sum of its 8-bit sines.
  const int32_t* boundColumnSums() const { return columnSums_.data(); }

 private:
  void buildRow(int j) const;
  int16_t* rowAddress(int j) const {
    return static_cast<int16_t*>(entries_.data()) +
           static_cast<size_t>(j) * static_cast<size_t>(2 * padded_);
  }

  const SineCosineTable& table_;
  int n_;
  int padded_;
  int candidates_;
  AlignedVector<int8_t> boundEntries_;
  std::vector<int32_t> columnSums_;
  // Zeroed memory, so that rows never built take no pages.
  ZeroedBlock entries_;
  std::unique_ptr<std::once_flag[]> rowBuilt_;
};

// Shares one plan per length among the estimators of all threads. Only the most recently
// requested length is kept (the largest plan is about 6 MB, 18 MB with the 16-bit rows); a plan
// still in use elsewhere lives on until its last user lets go.
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
