#include "pitch_sort.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <limits>

namespace midibuilder {

namespace {

constexpr std::array<int32_t, 9> kFactorials = {40320, 5040, 720, 120, 24, 6, 2, 1, 1};
constexpr int kMaxVoices = 6;
constexpr int kMaxOrderings = 720;  // 6!

// Slots beyond six: the ordering from the assignment method, applied to the frames' slots.
void sortWideVoices(BuilderTables& tables, FrameSet& frames, int32_t n) {
  std::array<int64_t, kMaxChannels * kMaxChannels> term{};
  std::array<int32_t, kMaxChannels> order{};
  std::array<int32_t, kMaxChannels> level{}, frequency{}, pitch{};
  for (int32_t f = 1; f < frames.frameCount; ++f) {
    for (int32_t i = 0; i < n; ++i) {
      const int32_t levelB = frames.level(f - 1, i);
      const int32_t pitchB = tables.pitch(f - 1, i);
      for (int32_t j = 0; j < n; ++j) {
        term[static_cast<std::size_t>(i * n + j)] =
            pairingCost(frames.level(f, j), tables.pitch(f, j), levelB, pitchB);
      }
    }
    leastCostOrdering(term.data(), n, order.data());
    for (int32_t k = 0; k < n; ++k) {
      const auto at = static_cast<std::size_t>(k);
      level[at] = frames.level(f, k);
      frequency[at] = frames.frequency(f, k);
      pitch[at] = tables.pitch(f, k);
    }
    for (int32_t i = 0; i < n; ++i) {
      const auto from = static_cast<std::size_t>(order[static_cast<std::size_t>(i)]);
      frames.setLevel(f, i, level[from]);
      frames.setFrequency(f, i, frequency[from]);
      tables.pitch(f, i) = pitch[from];
    }
  }
}

}  // namespace

void leastCostOrdering(const int64_t* term, int32_t n, int32_t* order) {
  // The Hungarian method with potentials (rows: positions, columns: candidates), O(n^3). Costs
  // are sums of at most fifteen terms below 2^25, so 64-bit sums never overflow.
  constexpr int64_t kInfinity = std::numeric_limits<int64_t>::max() / 4;
  std::array<int64_t, kMaxChannels + 1> u{}, v{}, least{};
  std::array<int32_t, kMaxChannels + 1> rowOf{}, way{};  // rowOf[column]: 1-based row, 0 = none
  std::array<bool, kMaxChannels + 1> used{};
  const auto cost = [&](int32_t row, int32_t column) {
    return term[static_cast<std::size_t>((row - 1) * n + (column - 1))];
  };
  for (int32_t row = 1; row <= n; ++row) {
    rowOf[0] = row;
    int32_t column0 = 0;
    least.fill(kInfinity);
    used.fill(false);
    do {
      used[static_cast<std::size_t>(column0)] = true;
      const int32_t row0 = rowOf[static_cast<std::size_t>(column0)];
      int64_t delta = kInfinity;
      int32_t column1 = 0;
      for (int32_t j = 1; j <= n; ++j) {
        const auto at = static_cast<std::size_t>(j);
        if (used[at]) continue;
        const int64_t reduced = cost(row0, j) - u[static_cast<std::size_t>(row0)] - v[at];
        if (reduced < least[at]) {
          least[at] = reduced;
          way[at] = column0;
        }
        if (least[at] < delta) {
          delta = least[at];
          column1 = j;
        }
      }
      for (int32_t j = 0; j <= n; ++j) {
        const auto at = static_cast<std::size_t>(j);
        if (used[at]) {
          u[static_cast<std::size_t>(rowOf[at])] += delta;
          v[at] -= delta;
        } else {
          least[at] -= delta;
        }
      }
      column0 = column1;
    } while (rowOf[static_cast<std::size_t>(column0)] != 0);
    do {
      const int32_t column1 = way[static_cast<std::size_t>(column0)];
      rowOf[static_cast<std::size_t>(column0)] = rowOf[static_cast<std::size_t>(column1)];
      column0 = column1;
    } while (column0 != 0);
  }
  int64_t best = 0;
  int64_t unchanged = 0;
  for (int32_t j = 1; j <= n; ++j) {
    const int32_t row = rowOf[static_cast<std::size_t>(j)];
    order[row - 1] = j - 1;
    best += cost(row, j);
    unchanged += cost(j, j);
  }
  // The unchanged order wins every tie, as the first ordering does in the full search.
  if (unchanged <= best) {
    for (int32_t i = 0; i < n; ++i) order[i] = i;
  }
}

void buildPermutationTable(BuilderTables& tables, int32_t polyphony) {
  const int32_t n = polyphony;
  const int32_t orderings = kFactorials[static_cast<std::size_t>(8 - n)];
  for (int32_t x = 0; x < orderings; ++x) {
    std::array<int32_t, 8> list = {0, 1, 2, 3, 4, 5, 6, 7};
    for (int32_t i = 0; i < n; ++i) {
      const int32_t q = (x / kFactorials[static_cast<std::size_t>(9 - n + i)]) % (n - i);
      const int32_t taken = list[static_cast<std::size_t>(i + q)];
      for (int32_t m = i + q; m > i; --m) {
        list[static_cast<std::size_t>(m)] = list[static_cast<std::size_t>(m - 1)];
      }
      list[static_cast<std::size_t>(i)] = taken;
    }
    int32_t packed = 0;
    for (int k = 0; k < 8; ++k) packed |= list[static_cast<std::size_t>(k)] << (3 * k);
    tables.permutationTable[static_cast<std::size_t>(x)] = packed;
  }
}

int32_t pairingCost(int32_t levelA, int32_t pitchA, int32_t levelB, int32_t pitchB) {
  // Levels plus one in 64 bits: a level may be as large as INT32_MAX.
  const int64_t a = static_cast<int64_t>(levelA) + 1;
  const int64_t b = static_cast<int64_t>(levelB) + 1;
  const double ratio = a > b ? static_cast<double>(a) / static_cast<double>(b)
                             : static_cast<double>(b) / static_cast<double>(a);
  double loudness = ratio * 1000.0;
  if (loudness > 10000.0) loudness = 10000.0;
  // Levels of 0 or more give a ratio of at least 1, so loudness is 1000 ... 10000; a negative
  // level (never left in a voice slot by the level floor) is kept in range all the same.
  const int32_t loudnessTerm = loudness >= 0.0 ? static_cast<int32_t>(loudness) : 0;
  int32_t pitchTerm;
  if (a == 1 && b == 1) {
    pitchTerm = 0;
  } else if (a == 1 || b == 1) {
    pitchTerm = 1;
  } else {
    // Pitches come from the pitch table (-228 ... 887, never beyond +-1000), so this product
    // stays far below the 32-bit limit (10000 x 2000), and so does a sum of six of them.
    pitchTerm = std::abs(pitchA - pitchB);
  }
  return loudnessTerm * pitchTerm;
}

void sortVoicesByPitch(BuilderTables& tables, FrameSet& frames, int32_t polyphony) {
  const int32_t n = polyphony;
  if (n > kMaxVoices) return sortWideVoices(tables, frames, std::min(n, kMaxChannels));
  buildPermutationTable(tables, n);
  const int32_t orderings = kFactorials[static_cast<std::size_t>(8 - n)];

  // The orderings unpacked once: slot for each position, for the inner loop.
  std::array<std::array<uint8_t, kMaxVoices>, kMaxOrderings> order{};
  for (int32_t x = 0; x < orderings; ++x) {
    const int32_t packed = tables.permutationTable[static_cast<std::size_t>(x)];
    for (int32_t i = 0; i < n; ++i) {
      order[static_cast<std::size_t>(x)][static_cast<std::size_t>(i)] =
          static_cast<uint8_t>((packed >> (3 * i)) & 7);
    }
  }

  for (int32_t f = 1; f < frames.frameCount; ++f) {
    // term[i][j]: candidate slot j of frame f set against slot i of frame f - 1. Every
    // ordering's cost is a sum of n of these, so they are computed once per frame.
    std::array<std::array<int32_t, kMaxVoices>, kMaxVoices> term{};
    for (int32_t i = 0; i < n; ++i) {
      const int32_t levelB = frames.level(f - 1, i);
      const int32_t pitchB = tables.pitch(f - 1, i);
      for (int32_t j = 0; j < n; ++j) {
        term[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)] =
            pairingCost(frames.level(f, j), tables.pitch(f, j), levelB, pitchB);
      }
    }

    // restMin[i]: the least that positions i ... n-1 can add, whatever slots they take.
    std::array<int32_t, kMaxVoices + 1> restMin{};
    for (int32_t i = n - 1; i >= 0; --i) {
      const auto& row = term[static_cast<std::size_t>(i)];
      restMin[static_cast<std::size_t>(i)] = restMin[static_cast<std::size_t>(i + 1)] +
                                             *std::min_element(row.begin(), row.begin() + n);
    }

    // Exhaustive search in table order, the result exactly that of summing every ordering.
    // Terms are never negative, so once the sum of positions 0 ... i plus the least the other
    // positions can add reaches the best cost, no ordering that shares those first i + 1 slots
    // can be strictly cheaper; in lexicographic order they form one aligned run of (n-1-i)!
    // entries, which is skipped whole. A best cost of 0 cannot be beaten at all. Only strictly
    // lower sums replace the best, so the first of equal sums wins, as in the full search.
    int32_t bestCost = std::numeric_limits<int32_t>::max();
    int32_t bestIndex = 0;
    int32_t x = 0;
    while (x < orderings && bestCost > 0) {
      const auto& d = order[static_cast<std::size_t>(x)];
      int32_t sum = 0;
      int32_t i = 0;
      for (; i < n; ++i) {
        sum += term[static_cast<std::size_t>(i)][d[static_cast<std::size_t>(i)]];
        if (sum + restMin[static_cast<std::size_t>(i + 1)] >= bestCost) break;
      }
      if (i == n) {
        bestCost = sum;
        bestIndex = x;
        ++x;
      } else {
        const int32_t run = kFactorials[static_cast<std::size_t>(9 - n + i)];  // (n-1-i)!
        x = (x / run + 1) * run;
      }
    }
    if (bestIndex == 0) continue;  // the identity changes nothing

    const auto& d = order[static_cast<std::size_t>(bestIndex)];
    std::array<int32_t, kMaxVoices> level{}, frequency{}, pitch{};
    for (int32_t k = 0; k < n; ++k) {
      level[static_cast<std::size_t>(k)] = frames.level(f, k);
      frequency[static_cast<std::size_t>(k)] = frames.frequency(f, k);
      pitch[static_cast<std::size_t>(k)] = tables.pitch(f, k);
    }
    for (int32_t i = 0; i < n; ++i) {
      const std::size_t from = d[static_cast<std::size_t>(i)];
      frames.setLevel(f, i, level[from]);
      frames.setFrequency(f, i, frequency[from]);
      tables.pitch(f, i) = pitch[from];
    }
  }
}

}  // namespace midibuilder
