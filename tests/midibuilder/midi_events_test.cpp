#include "midi_events.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "frame_loader.h"
#include "smf_checker.h"
#include "targets/targets.h"
#include "test_frames.h"

using midibuilder::BuilderOptions;
using midibuilder::BuilderTables;
using testing_frames::FrameImage;
using Bytes = std::vector<uint8_t>;

namespace {

Bytes varLen(uint32_t value) {
  Bytes out;
  midibuilder::writeVarLen(out, value);
  return out;
}

TEST(WriteVarLen, UsesSevenBitsPerByteMostSignificantFirst) {
  EXPECT_EQ(varLen(0), (Bytes{0x00}));
  EXPECT_EQ(varLen(127), (Bytes{0x7F}));
  EXPECT_EQ(varLen(128), (Bytes{0x81, 0x00}));
  EXPECT_EQ(varLen(480), (Bytes{0x83, 0x60}));
  EXPECT_EQ(varLen(16383), (Bytes{0xFF, 0x7F}));
  EXPECT_EQ(varLen(16384), (Bytes{0x81, 0x80, 0x00}));
  EXPECT_EQ(varLen(2097151), (Bytes{0xFF, 0xFF, 0x7F}));
  EXPECT_EQ(varLen(2097152), (Bytes{0x81, 0x80, 0x80, 0x00}));
  EXPECT_EQ(varLen(0x0FFFFFFF), (Bytes{0xFF, 0xFF, 0xFF, 0x7F}));
  EXPECT_EQ(varLen(0x10000000), (Bytes{0xFF, 0xFF, 0xFF, 0x7F}));
  EXPECT_EQ(varLen(0xFFFFFFFF), (Bytes{0xFF, 0xFF, 0xFF, 0x7F}));
}

TEST(BendValue, IsLinearInLogFrequencyOverTwoOctavesEachWay) {
  const double a4 = midibuilder::noteFrequencyHz(69);
  EXPECT_NEAR(a4, 440.0, 1e-9);
  EXPECT_EQ(midibuilder::bendValueFor(4400, a4), 8192);
  EXPECT_EQ(midibuilder::bendValueFor(1100, a4), 0);
  EXPECT_EQ(midibuilder::bendValueFor(500, a4), 0);
  EXPECT_EQ(midibuilder::bendValueFor(17600, a4), 16383);
  EXPECT_EQ(midibuilder::bendValueFor(std::numeric_limits<int32_t>::max(), a4), 16383);
  // The upper branch counts down from 16383: an octave up is 16383 - 4096.
  EXPECT_EQ(midibuilder::bendValueFor(8800, a4), 12287);
  EXPECT_EQ(midibuilder::bendValueFor(2200, a4), 4096);
  EXPECT_EQ(midibuilder::bendValueFor(0, a4), 0);
  EXPECT_EQ(midibuilder::bendValueFor(-4400, a4), 0);
  EXPECT_EQ(midibuilder::bendValueFor(std::numeric_limits<int32_t>::min(), a4), 0);
  // One semitone up: 341.33 steps.
  EXPECT_EQ(
      midibuilder::bendValueFor(static_cast<int32_t>(std::lround(4400 * 1.0594630943592953)), a4),
      8533);
}

// One channel track's events for a few frames of channel 0.
class EventsTest : public ::testing::Test {
 protected:
  EventsTest() : tables_(std::make_unique<BuilderTables>()) {
    midibuilder::buildBendGainTable(*tables_, midibuilder::targets::sc88().bendCorrection);
  }
  Bytes emit(const FrameImage& image, int64_t startDelta, int channel = 0) {
    Bytes out;
    midibuilder::emitChannelEvents(*tables_, image.set, options_, channel, startDelta, out);
    return out;
  }
  // Events after decoding (ticks from the start value), checked for syntax on the way.
  std::vector<smf_check::Event> events(const Bytes& out) {
    smf_check::Track track;
    const std::string error = smf_check::decode(out, track);
    EXPECT_EQ(error, "");
    return track.events;
  }
  std::unique_ptr<BuilderTables> tables_;
  BuilderOptions options_;
};

TEST_F(EventsTest, WorkedExample) {
  FrameImage image(3);
  image.set.peakLevel = 1000;
  image.slot(0, 0, 1000, 4400);
  image.slot(1, 0, 500, 4400);
  image.slot(2, 0, 0, 4400);
  tables_->segmentNote(0, 0) = 69;
  EXPECT_EQ(emit(image, 1104),
            (Bytes{0x88, 0x50, 0xE0, 0x00, 0x40, 0x00, 0xB0, 0x0B, 0x7F, 0x00, 0x90,
                   0x45, 0x7F, 0x10, 0xB0, 0x0B, 0x40, 0x00, 0xE0, 0x00, 0x40, 0x10,
                   0xB0, 0x0B, 0x00, 0x10, 0x90, 0x45, 0x00, 0x00, 0xFF, 0x2F, 0x00}));
}

TEST_F(EventsTest, AChannelThatNeverSoundsGetsOnlyEndOfTrack) {
  FrameImage image(5);
  image.slot(2, 3, 1000, 4400);  // another channel
  tables_->segmentNote(1, 3) = 69;
  EXPECT_EQ(emit(image, 1104), (Bytes{0x89, 0x20, 0xFF, 0x2F, 0x00}));  // 1104 + 5 x 16
}

TEST_F(EventsTest, SilenceKeepsTheNoteUntilTheNextSegmentStarts) {
  FrameImage image(6);
  image.set.peakLevel = 1000;
  image.slot(0, 1, 1000, 4400);
  image.slot(1, 1, 1000, 4400);
  image.slot(4, 1, 1000, 5230);  // C5 plus a little
  tables_->segmentNote(0, 1) = 69;
  tables_->segmentNote(3, 1) = 72;  // starts in a silent frame: pending until frame 4
  const auto ev = events(emit(image, 0, 1));
  ASSERT_EQ(ev.size(), 12u);
  EXPECT_EQ(ev[3].bytes, (Bytes{0xE1, 0x00, 0x40}));  // frame 1: equal expression, bend only
  EXPECT_EQ(ev[3].tick, 16u);
  EXPECT_EQ(ev[4].bytes, (Bytes{0xB1, 0x0B, 0x00}));  // frame 2: silence, no release
  EXPECT_EQ(ev[4].tick, 32u);
  EXPECT_EQ(ev[5].bytes, (Bytes{0x91, 69, 0x00}));  // frame 3: release at the segment start
  EXPECT_EQ(ev[5].tick, 48u);
  EXPECT_EQ(ev[6].bytes[0], 0xE1);  // frame 4: bend, expression, note start
  EXPECT_EQ(ev[6].tick, 64u);
  EXPECT_EQ(ev[7].bytes, (Bytes{0xB1, 0x0B, 0x7F}));
  EXPECT_EQ(ev[8].bytes, (Bytes{0x91, 72, 0x7F}));
  EXPECT_EQ(ev[8].tick, 64u);
  EXPECT_EQ(ev[9].bytes, (Bytes{0xB1, 0x0B, 0x00}));  // frame 5
  EXPECT_EQ(ev[10].bytes, (Bytes{0x91, 72, 0x00}));   // after the last frame
  EXPECT_EQ(ev[10].tick, 96u);
}

TEST_F(EventsTest, ANewSegmentWhileSoundingReleasesBendsAndStartsAtOneTick) {
  FrameImage image(2);
  image.set.peakLevel = 1000;
  image.slot(0, 0, 1000, 4400);
  image.slot(1, 0, 800, 4940);
  tables_->segmentNote(0, 0) = 69;
  tables_->segmentNote(1, 0) = 71;
  const auto ev = events(emit(image, 0));
  ASSERT_EQ(ev.size(), 9u);
  EXPECT_EQ(ev[3].bytes, (Bytes{0x90, 69, 0x00}));
  EXPECT_EQ(ev[4].bytes, (Bytes{0xB0, 0x0B, 102}));  // falling: expression before the bend
  EXPECT_EQ(ev[5].bytes[0], 0xE0);
  EXPECT_EQ(ev[6].bytes, (Bytes{0x90, 71, 0x7F}));
  for (int i = 3; i < 7; ++i) EXPECT_EQ(ev[static_cast<std::size_t>(i)].tick, 16u);
  EXPECT_EQ(ev[7].bytes, (Bytes{0x90, 71, 0x00}));
  EXPECT_EQ(ev[7].tick, 32u);
}

TEST_F(EventsTest, SlowClocksCarryTheFractionOfATick) {
  options_.timeBase = 24;
  options_.tempo = 30;
  const int frames = 100;
  FrameImage image(frames);
  image.set.peakLevel = 1000;
  for (int f = 0; f < frames; ++f) image.slot(f, 0, 1000, 4400);
  tables_->segmentNote(0, 0) = 69;
  const auto ev = events(emit(image, 0));
  // One bend per frame (equal expression after the first frame).
  std::vector<uint64_t> bendTicks;
  for (const auto& e : ev) {
    if (e.bytes[0] == 0xE0) bendTicks.push_back(e.tick);
  }
  ASSERT_EQ(bendTicks.size(), static_cast<std::size_t>(frames));
  EXPECT_EQ(bendTicks[4], 0u);
  for (std::size_t k = 1; k < bendTicks.size(); ++k) {
    const uint64_t step = bendTicks[k] - bendTicks[k - 1];
    ASSERT_LE(step, 1u);
  }
  // 100 frames of 0.2 ticks: 20 ticks, give or take the last rounding.
  EXPECT_GE(ev.back().tick, 19u);
  EXPECT_LE(ev.back().tick, 20u);
  EXPECT_NEAR(static_cast<double>(bendTicks[50]), 10.0, 1.0);
}

TEST_F(EventsTest, Sc88CorrectsTheLevelForTheBendAndLimitsItTo127) {
  options_.device = midibuilder::kDeviceSc88;
  FrameImage image(2);
  image.set.peakLevel = 1000;
  image.slot(0, 0, 1000, 4400);
  image.slot(1, 0, 1000, 8800);  // an octave up: gain 0.3791, 165 before the limit
  tables_->segmentNote(0, 0) = 69;
  const auto ev = events(emit(image, 0));
  ASSERT_GE(ev.size(), 5u);
  EXPECT_EQ(ev[1].bytes, (Bytes{0xB0, 0x0B, 102}));
  EXPECT_EQ(ev[3].bytes, (Bytes{0xE0, 12287 & 0x7F, 12287 >> 7}));
  EXPECT_EQ(ev[4].bytes, (Bytes{0xB0, 0x0B, 127}));

  // The other square-root devices send the plain value.
  options_.device = midibuilder::kDeviceMsgs;
  const auto plain = events(emit(image, 0));
  EXPECT_EQ(plain[1].bytes, (Bytes{0xB0, 0x0B, 127}));
}

TEST_F(EventsTest, ASoundingFrameWithoutFrequencyBendsToTheBottom) {
  FrameImage image(1);
  image.set.peakLevel = 1000;
  image.slot(0, 0, 1000, 0);
  tables_->segmentNote(0, 0) = 69;
  const auto ev = events(emit(image, 0));
  EXPECT_EQ(ev[0].bytes, (Bytes{0xE0, 0x00, 0x00}));
}

TEST_F(EventsTest, BeforeAnyCentreNoteTheBendRefersToA440) {
  FrameImage image(1);
  image.set.peakLevel = 1000;
  image.slot(0, 0, 1000, 4400);
  const auto ev = events(emit(image, 0));
  ASSERT_EQ(ev.size(), 3u);
  EXPECT_EQ(ev[0].bytes, (Bytes{0xE0, 0x00, 0x40}));
}

TEST_F(EventsTest, CentreNotesOutsideTheDeviceRangeStayValidDataBytes) {
  FrameImage image(3);
  image.set.peakLevel = 1000;
  for (int f = 0; f < 3; ++f) image.slot(f, 0, 1000, 4400);
  tables_->segmentNote(0, 0) = 300;
  tables_->segmentNote(1, 0) = -40;
  tables_->segmentNote(2, 0) = std::numeric_limits<int32_t>::min();
  const auto ev = events(emit(image, 0));
  std::vector<int> started;
  for (const auto& e : ev) {
    if (e.bytes[0] == 0x90 && e.bytes[2] == 0x7F) started.push_back(e.bytes[1]);
  }
  EXPECT_EQ(started, (std::vector<int>{95, 1, 1}));
}

TEST_F(EventsTest, DeltaTimesBeyondOneQuantityAreCarriedByEmptyTextEvents) {
  FrameImage image(2);
  image.set.peakLevel = 1000;
  image.slot(0, 0, 1000, 4400);
  tables_->segmentNote(0, 0) = 69;
  const int64_t start = 2 * int64_t{0x0FFFFFFF} + 5;
  const Bytes out = emit(image, start);
  const Bytes head{0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0x01, 0x00, 0xFF, 0xFF,
                   0xFF, 0x7F, 0xFF, 0x01, 0x00, 0x05, 0xE0, 0x00, 0x40};
  ASSERT_GE(out.size(), head.size());
  EXPECT_TRUE(std::equal(head.begin(), head.end(), out.begin()));
  const auto ev = events(out);
  EXPECT_EQ(ev[2].tick, static_cast<uint64_t>(start));
}

TEST_F(EventsTest, ALongSilenceAtExtremeSettingsSplitsAndRepeatsTheStatus) {
  options_.timeBase = 65535;
  options_.tempo = 1000;
  const int frames = 36001;
  FrameImage image(frames);
  image.set.peakLevel = 1000;
  image.slot(0, 0, 1000, 4400);
  image.slot(frames - 1, 0, 1000, 4400);
  tables_->segmentNote(0, 0) = 69;
  const Bytes out = emit(image, 0);
  const auto ev = events(out);
  int texts = 0;
  for (std::size_t i = 0; i < ev.size(); ++i) {
    if (ev[i].bytes[0] == 0xFF && ev[i].bytes[1] == 0x01) {
      ++texts;
      ASSERT_EQ(ev[i].bytes.size(), 2u);
    }
  }
  // About 655 million ticks between the two sounding frames: two full text events.
  EXPECT_EQ(texts, 2);
  const double step = 65535 / 30.0 * 1000 / 120;
  const auto& bend = ev[ev.size() - 4];  // silence, text, text, bend ... release, end
  EXPECT_EQ(bend.bytes[0], 0xE0);
  EXPECT_NEAR(static_cast<double>(bend.tick), step * (frames - 1), 2.0);
  // The status byte after the text event is written again.
  std::size_t lastText = 0;
  for (std::size_t i = 0; i + 2 < out.size(); ++i) {
    if (out[i] == 0xFF && out[i + 1] == 0x01 && out[i + 2] == 0x00) lastText = i;
  }
  ASSERT_GT(lastText, 0u);
  std::size_t j = lastText + 3;
  while (out[j] & 0x80) ++j;  // the delta time
  EXPECT_EQ(out[j + 1], 0xE0);
}

}  // namespace
