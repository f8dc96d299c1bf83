#include "frame_loader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "builder_math.h"
#include "messages.h"
#include "targets/targets.h"
#include "test_frames.h"

using midibuilder::BuilderTables;
using midibuilder::FrameSet;
using testing_frames::FrameImage;

namespace {

TEST(LoadFrames, CountsWholeRecordsAndIgnoresAnIncompleteOne) {
  testing_frames::TempDir dir("load-count");
  std::vector<uint8_t> bytes(130, 0xAB);
  testing_frames::writeBytes(dir / "a.dat", bytes);
  common::AllocationRegistry registry;
  FrameSet frames;
  EXPECT_EQ(midibuilder::loadFrames(registry, (dir / "a.dat").string(), frames), "");
  EXPECT_EQ(frames.frameCount, 2);
  EXPECT_EQ(registry.count(), 1);
  // The slack after the data is zero.
  for (int i = 130; i < 130 + midibuilder::kFrameSlack; ++i) ASSERT_EQ(frames.buffer[i], 0);

  testing_frames::writeBytes(dir / "empty.dat", {});
  FrameSet empty;
  EXPECT_EQ(midibuilder::loadFrames(registry, (dir / "empty.dat").string(), empty), "");
  EXPECT_EQ(empty.frameCount, 0);
  registry.freeAll();
}

TEST(LoadFrames, ReportsAMissingFile) {
  testing_frames::TempDir dir("load-missing");
  common::AllocationRegistry registry;
  FrameSet frames;
  EXPECT_EQ(midibuilder::loadFrames(registry, (dir / "none.dat").string(), frames),
            msg::kFileNotFound);
  EXPECT_EQ(frames.buffer, nullptr);
}

TEST(LoadFrames, TakesTheLongestAnalyserFileAndRefusesLongerOnes) {
  testing_frames::TempDir dir("load-long");
  common::AllocationRegistry registry;
  testing_frames::writeBytes(dir / "max.dat", std::vector<uint8_t>(36001 * 64 + 63, 0));
  FrameSet frames;
  EXPECT_EQ(midibuilder::loadFrames(registry, (dir / "max.dat").string(), frames), "");
  EXPECT_EQ(frames.frameCount, 36001);

  testing_frames::writeBytes(dir / "over.dat", std::vector<uint8_t>(36002 * 64, 0));
  FrameSet over;
  EXPECT_EQ(midibuilder::loadFrames(registry, (dir / "over.dat").string(), over), msg::kDatTooLong);
  EXPECT_EQ(over.frameCount, 0);
  registry.freeAll();
}

TEST(PeakSearch, VisitsAllEightSlotsAndNeverGoesBelowOne) {
  FrameImage image(3);
  EXPECT_EQ(midibuilder::findPeakLevel(image.set), 1);
  image.slot(1, 3, -5000, 4400);
  EXPECT_EQ(midibuilder::findPeakLevel(image.set), 1);
  image.slot(2, 7, 90000, 0);  // beyond every option's channels
  image.slot(0, 0, 80000, 4400);
  EXPECT_EQ(midibuilder::findPeakLevel(image.set), 90000);
  image.slot(0, 5, std::numeric_limits<int32_t>::max(), 4400);
  EXPECT_EQ(midibuilder::findPeakLevel(image.set), std::numeric_limits<int32_t>::max());
}

TEST(NormaliseLevels, AppliesTheFloorAndTheVoiceLimitToUsedChannelsOnly) {
  FrameImage image(2);
  image.slot(0, 0, 1000, 4400);
  image.slot(0, 1, 3, 4410);    // at the threshold 1000 / 256 = 3: stays
  image.slot(0, 2, 2, 4420);    // below: silenced, frequency kept
  image.slot(0, 3, -7, 4430);   // negative: silenced
  image.slot(1, 4, 900, 5000);  // polyphony 4: slots 4 and 5 silenced
  image.slot(1, 5, 900, 5000);
  image.slot(1, 6, 1, 6000);  // slots 6 and 7 untouched with 6 channels
  image.slot(1, 7, -3, 7000);
  image.set.peakLevel = midibuilder::findPeakLevel(image.set);
  ASSERT_EQ(image.set.peakLevel, 1000);
  midibuilder::normaliseLevels(image.set, 4, 6);
  EXPECT_EQ(image.set.level(0, 0), 1000);
  EXPECT_EQ(image.set.level(0, 1), 3);
  EXPECT_EQ(image.set.level(0, 2), 0);
  EXPECT_EQ(image.set.frequency(0, 2), 4420);
  EXPECT_EQ(image.set.level(0, 3), 0);
  EXPECT_EQ(image.set.level(1, 4), 0);
  EXPECT_EQ(image.set.frequency(1, 4), 5000);
  EXPECT_EQ(image.set.level(1, 5), 0);
  EXPECT_EQ(image.set.level(1, 6), 1);
  EXPECT_EQ(image.set.level(1, 7), -3);
}

TEST(BendGainTable, MatchesTheAnchorsAndSetsEveryEntry) {
  BuilderTables tables;
  std::fill(tables.bendGainTable.begin(), tables.bendGainTable.end(),
            std::numeric_limits<double>::quiet_NaN());
  midibuilder::buildBendGainTable(tables, midibuilder::targets::sc88().bendCorrection);
  const auto& g = tables.bendGainTable;
  EXPECT_DOUBLE_EQ(g[8192], 1.0);
  EXPECT_DOUBLE_EQ(g[8448], 0.949);
  EXPECT_DOUBLE_EQ(g[8704], 0.898);
  EXPECT_DOUBLE_EQ(g[10240], 0.6435);
  EXPECT_DOUBLE_EQ(g[12287], 0.3791109375);
  EXPECT_DOUBLE_EQ(g[12288], 0.379);
  EXPECT_DOUBLE_EQ(g[16383], 0.379);
  EXPECT_DOUBLE_EQ(g[7936], 1.0413);
  EXPECT_DOUBLE_EQ(g[4097], 1.6734615234375);
  EXPECT_DOUBLE_EQ(g[4096], 1.6736);
  EXPECT_DOUBLE_EQ(g[0], 1.6736);
  EXPECT_DOUBLE_EQ(tables.bendGainReference, 0.6435);
  for (int v = 0; v < midibuilder::kBendValues; ++v) {
    ASSERT_TRUE(g[static_cast<std::size_t>(v)] >= 0.379 && g[static_cast<std::size_t>(v)] <= 1.6736)
        << v;
    // Falls monotonically from the bottom to the top of the bend range.
    if (v > 0) {
      ASSERT_LE(g[static_cast<std::size_t>(v)], g[static_cast<std::size_t>(v - 1)]) << v;
    }
  }
}

TEST(PitchTable, CountsThirdsOfASemitoneAboveNoteZero) {
  EXPECT_EQ(midibuilder::pitchOfFrequency(4410), 207);
  EXPECT_EQ(midibuilder::pitchOfFrequency(2616), 179);
  EXPECT_EQ(midibuilder::pitchOfFrequency(1), -228);
  EXPECT_EQ(midibuilder::pitchOfFrequency(0), -228);
  EXPECT_EQ(midibuilder::pitchOfFrequency(-4400), -228);
  EXPECT_EQ(midibuilder::pitchOfFrequency(std::numeric_limits<int32_t>::min()), -228);
  const int32_t top = midibuilder::pitchOfFrequency(std::numeric_limits<int32_t>::max());
  EXPECT_GT(top, 800);
  EXPECT_LT(top, 1000);
  const int32_t a4 = midibuilder::pitchOfFrequency(4400);
  EXPECT_TRUE(a4 == 206 || a4 == 207);

  FrameImage image(2);
  image.slot(0, 0, 0, 4410);
  image.slot(1, 4, 0, 2616);
  image.slot(1, 6, 0, 4410);  // beyond usedChannels 5
  BuilderTables tables;
  tables.pitch(1, 6) = 12345;
  midibuilder::buildPitchTable(tables, image.set, 5);
  EXPECT_EQ(tables.pitch(0, 0), 207);
  EXPECT_EQ(tables.pitch(0, 1), -228);
  EXPECT_EQ(tables.pitch(1, 4), 179);
  EXPECT_EQ(tables.pitch(1, 6), 12345);
}

TEST(Expression, LinearForHalvoranSquareRootOtherwiseAndSafeAtTheExtremes) {
  // The level curve of each device's profile.
  const auto expressionOfLevel = [](int32_t level, int32_t peak, int device) {
    return midibuilder::expressionOfLevel(level, peak,
                                          midibuilder::targets::forRadioValue(device)->levelCurve);
  };
  EXPECT_EQ(expressionOfLevel(1000, 1000, 0), 127);
  EXPECT_EQ(expressionOfLevel(500, 1000, 0), 64);
  EXPECT_EQ(expressionOfLevel(500, 1000, 2), 90);  // sqrt(8064.5) = 89.8
  EXPECT_EQ(expressionOfLevel(0, 1000, 1), 0);
  EXPECT_EQ(expressionOfLevel(-1000, 1000, 1), 0);
  const int32_t max = std::numeric_limits<int32_t>::max();
  EXPECT_EQ(expressionOfLevel(max, max, 0), 127);
  EXPECT_EQ(expressionOfLevel(max, max, 3), 127);
  EXPECT_EQ(expressionOfLevel(max, 1, 3), 127);
  // Halvoran: from peak/256 to just below peak/254 the level rounds to 0.
  EXPECT_EQ(expressionOfLevel(3937, 1000000, 0), 0);
  EXPECT_EQ(expressionOfLevel(3937, 1000000, 1), 8);
}

}  // namespace
