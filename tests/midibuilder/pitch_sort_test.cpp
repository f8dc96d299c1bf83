#include "pitch_sort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <random>
#include <set>

#include "test_frames.h"

using midibuilder::BuilderTables;
using testing_frames::FrameImage;

namespace {

std::array<int, 8> unpack(int32_t packed) {
  std::array<int, 8> d{};
  for (int k = 0; k < 8; ++k) d[static_cast<std::size_t>(k)] = (packed >> (3 * k)) & 7;
  return d;
}

TEST(PermutationTable, ListsTheOrderingsLexicographically) {
  BuilderTables tables;
  midibuilder::buildPermutationTable(tables, 4);
  const auto& t = tables.permutationTable;
  EXPECT_EQ(unpack(t[0]), (std::array<int, 8>{0, 1, 2, 3, 4, 5, 6, 7}));
  EXPECT_EQ(unpack(t[1]), (std::array<int, 8>{0, 1, 3, 2, 4, 5, 6, 7}));
  EXPECT_EQ(unpack(t[6]), (std::array<int, 8>{1, 0, 2, 3, 4, 5, 6, 7}));
  EXPECT_EQ(unpack(t[23]), (std::array<int, 8>{3, 2, 1, 0, 4, 5, 6, 7}));

  for (int n : {4, 5, 6}) {
    midibuilder::buildPermutationTable(tables, n);
    std::array<int, 8> expected = {0, 1, 2, 3, 4, 5, 6, 7};
    int count = 0;
    do {
      ASSERT_EQ(unpack(t[static_cast<std::size_t>(count)]), expected) << n << " " << count;
      ++count;
    } while (std::next_permutation(expected.begin(), expected.begin() + n));
    EXPECT_EQ(count, n == 4 ? 24 : n == 5 ? 120 : 720);
  }
}

TEST(PairingCost, WeighsLoudnessRatioAndPitchDistance) {
  using midibuilder::pairingCost;
  EXPECT_EQ(pairingCost(100, 207, 100, 171), 36000);
  EXPECT_EQ(pairingCost(100, 171, 100, 171), 0);  // same pitch: free whatever the loudness
  EXPECT_EQ(pairingCost(5000, 171, 1, 171), 0);
  EXPECT_EQ(pairingCost(100, 210, 100, 207), 3000);  // one semitone
  EXPECT_EQ(pairingCost(99, 500, 0, -228), 10000);   // ratio 100, capped; silent pairing
  EXPECT_EQ(pairingCost(0, 500, 99, -228), 10000);
  EXPECT_EQ(pairingCost(1, 500, 0, -228), 2000);    // ratio 2, pitch term 1
  EXPECT_EQ(pairingCost(0, 300, 0, -100), 0);       // two silent slots
  EXPECT_EQ(pairingCost(199, 200, 99, 201), 2000);  // ratio 200/100
  const int32_t max = std::numeric_limits<int32_t>::max();
  EXPECT_EQ(pairingCost(max, 880, max, 870), 10000);
  EXPECT_EQ(pairingCost(max, 880, 0, 870), 10000);
}

// Frame 0: slot 0 at pitch 207, slot 1 at 171; frame 1 the other way round.
TEST(SortVoicesByPitch, SwapsCrossedVoicesTakingTheFirstCheapestOrdering) {
  FrameImage image(2);
  BuilderTables tables;
  image.slot(0, 0, 100, 4410);
  image.slot(0, 1, 100, 1000);
  image.slot(1, 0, 100, 1000);
  image.slot(1, 1, 100, 4410);
  image.slot(1, 2, 0, 777);
  image.slot(1, 3, 0, 888);
  image.slot(1, 4, 55, 999);  // beyond polyphony 4: never moved
  tables.pitch(0, 0) = 207;
  tables.pitch(0, 1) = 171;
  tables.pitch(0, 2) = tables.pitch(0, 3) = -228;
  tables.pitch(1, 0) = 171;
  tables.pitch(1, 1) = 207;
  tables.pitch(1, 2) = 10;
  tables.pitch(1, 3) = 20;
  midibuilder::sortVoicesByPitch(tables, image.set, 4);
  EXPECT_EQ(image.set.frequency(1, 0), 4410);
  EXPECT_EQ(image.set.frequency(1, 1), 1000);
  EXPECT_EQ(tables.pitch(1, 0), 207);
  EXPECT_EQ(tables.pitch(1, 1), 171);
  // (1,0,2,3) and (1,0,3,2) both cost 0: the first keeps slots 2 and 3 in place.
  EXPECT_EQ(image.set.frequency(1, 2), 777);
  EXPECT_EQ(image.set.frequency(1, 3), 888);
  EXPECT_EQ(tables.pitch(1, 2), 10);
  EXPECT_EQ(image.set.level(1, 4), 55);
  EXPECT_EQ(image.set.frequency(1, 4), 999);
  // Frame 0 is never reordered.
  EXPECT_EQ(image.set.frequency(0, 0), 4410);
}

TEST(SortVoicesByPitch, LeavesSilentFramesAndShortFilesAlone) {
  FrameImage image(3);
  BuilderTables tables;
  for (int f = 0; f < 3; ++f) {
    for (int k = 0; k < 6; ++k) {
      image.slot(f, k, 0, 1000 + 100 * k + f);
      tables.pitch(f, k) = 50 * k - f;
    }
  }
  const std::vector<uint8_t> before = image.bytes();
  midibuilder::sortVoicesByPitch(tables, image.set, 6);
  EXPECT_EQ(image.bytes(), before);

  FrameImage single(1);
  single.slot(0, 0, 100, 4400);
  const std::vector<uint8_t> one = single.bytes();
  midibuilder::sortVoicesByPitch(tables, single.set, 6);
  EXPECT_EQ(single.bytes(), one);
}

// The matching as a literal full search over the packed table, to hold the pruned search to.
void referenceSort(BuilderTables& tables, midibuilder::FrameSet& frames, int n) {
  midibuilder::buildPermutationTable(tables, n);
  const int orderings = n == 4 ? 24 : n == 5 ? 120 : 720;
  for (int f = 1; f < frames.frameCount; ++f) {
    int32_t best = 2147483647;
    int bestIndex = 0;
    for (int x = 0; x < orderings; ++x) {
      const int32_t entry = tables.permutationTable[static_cast<std::size_t>(x)];
      int32_t sum = 0;
      for (int i = 0; i < n; ++i) {
        const int d = (entry >> (3 * i)) & 7;
        const double a = frames.level(f, d) + 1.0;
        const double b = frames.level(f - 1, i) + 1.0;
        double loud = (a > b ? a / b : b / a) * 1000.0;
        if (loud > 10000.0) loud = 10000.0;
        int32_t pitch = std::abs(tables.pitch(f, d) - tables.pitch(f - 1, i));
        if (a == 1 || b == 1) pitch = 1;
        if (a == 1 && b == 1) pitch = 0;
        sum += static_cast<int32_t>(loud) * pitch;
      }
      if (sum < best) {
        best = sum;
        bestIndex = x;
      }
    }
    const int32_t entry = tables.permutationTable[static_cast<std::size_t>(bestIndex)];
    int32_t level[8], freq[8], pitch[8];
    for (int k = 0; k < n; ++k) {
      level[k] = frames.level(f, k);
      freq[k] = frames.frequency(f, k);
      pitch[k] = tables.pitch(f, k);
    }
    for (int i = 0; i < n; ++i) {
      const int d = (entry >> (3 * i)) & 7;
      frames.setLevel(f, i, level[d]);
      frames.setFrequency(f, i, freq[d]);
      tables.pitch(f, i) = pitch[d];
    }
  }
}

TEST(SortVoicesByPitch, AgreesWithTheFullSearchOnRandomFrames) {
  std::mt19937 rng(20261208);
  for (int n : {4, 5, 6}) {
    for (int round = 0; round < 4; ++round) {
      const int frameCount = 400;
      FrameImage fast(frameCount), slow(frameCount);
      BuilderTables fastTables, slowTables;
      // Few distinct levels and pitches, many silent slots: plenty of ties and zero costs.
      std::uniform_int_distribution<int> levelPick(0, 5), pitchPick(150, 160);
      // The last round: unrelated loud partials over the whole pitch range.
      std::uniform_int_distribution<int32_t> anyLevel(0, 1000000), anyPitch(-228, 890);
      const int32_t levels[6] = {0, 0, 1, 40, 41, 5000};
      for (int f = 0; f < frameCount; ++f) {
        for (int k = 0; k < 8; ++k) {
          const int32_t level = round == 3 ? anyLevel(rng) : levels[levelPick(rng)];
          const int32_t frequency = 1000 + f * 8 + k;
          const int32_t pitch = round == 3   ? anyPitch(rng)
                                : round == 2 ? pitchPick(rng) * 5
                                             : pitchPick(rng);
          fast.slot(f, k, level, frequency);
          slow.slot(f, k, level, frequency);
          fastTables.pitch(f, k) = slowTables.pitch(f, k) = pitch;
        }
      }
      const std::vector<uint8_t> original = fast.bytes();
      midibuilder::sortVoicesByPitch(fastTables, fast.set, n);
      ASSERT_NE(fast.bytes(), original);  // the data does get reordered
      referenceSort(slowTables, slow.set, n);
      ASSERT_EQ(fast.bytes(), slow.bytes()) << "n " << n << " round " << round;
      ASSERT_TRUE(std::equal(fastTables.pitchTable.begin(),
                             fastTables.pitchTable.begin() + frameCount * 8,
                             slowTables.pitchTable.begin()));
    }
  }
}

// Beyond six voices: the least cost of all 7! orderings, and the unchanged order on a tie.
TEST(LeastCostOrdering, FindsTheLeastOfEveryOrdering) {
  std::mt19937 rng(7);
  for (int round = 0; round < 40; ++round) {
    const int n = 7;
    // Few distinct costs in the early rounds: many orderings tie.
    std::uniform_int_distribution<int64_t> pick(0, round < 20 ? 2 : 20000000);
    std::array<int64_t, 49> term{};
    for (auto& t : term) t = pick(rng);
    const auto cost = [&](const std::array<int32_t, 7>& d) {
      int64_t sum = 0;
      for (int i = 0; i < n; ++i)
        sum += term[static_cast<std::size_t>(i * n + d[static_cast<std::size_t>(i)])];
      return sum;
    };
    std::array<int32_t, 7> d = {0, 1, 2, 3, 4, 5, 6};
    const int64_t unchanged = cost(d);
    int64_t least = unchanged;
    while (std::next_permutation(d.begin(), d.end())) least = std::min(least, cost(d));
    std::array<int32_t, 7> order{};
    midibuilder::leastCostOrdering(term.data(), n, order.data());
    ASSERT_EQ(cost(order), least) << round;
    if (unchanged == least) {
      ASSERT_EQ(order, (std::array<int32_t, 7>{0, 1, 2, 3, 4, 5, 6})) << round;
    }
  }
}

}  // namespace
