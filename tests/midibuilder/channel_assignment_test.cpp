#include "channel_assignment.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "builder_math.h"
#include "targets/targets.h"
#include "test_frames.h"

using midibuilder::BuilderOptions;
using midibuilder::BuilderTables;
using testing_frames::FrameImage;

namespace {

// A frequency (tenths of a hertz) a quarter semitone above MIDI note n: its note is n.
int32_t freqOf(int note) {
  return static_cast<int32_t>(std::lround(81.75798915643707 * std::pow(2.0, (note + 0.25) / 12)));
}

BuilderOptions optionsFor(int device, int polyphony, int channels) {
  BuilderOptions o;
  o.device = device;
  o.polyphony = polyphony;
  o.usedChannels = channels;
  return o;
}

class ChannelAssignmentTest : public ::testing::Test {
 protected:
  void SetUp() override { tables_ = std::make_unique<BuilderTables>(); }
  // Voice 0 plays `notes` (0 = silent frame); everything else is silent.
  FrameImage voice0(const std::vector<int>& notes) {
    FrameImage image(static_cast<int32_t>(notes.size()));
    image.set.peakLevel = 1000;
    for (std::size_t f = 0; f < notes.size(); ++f) {
      if (notes[f] != 0) image.slot(static_cast<int32_t>(f), 0, 1000, freqOf(notes[f]));
    }
    return image;
  }
  int32_t note(int32_t frame, int32_t ch) { return tables_->segmentNote(frame, ch); }
  int32_t busy(int32_t frame, int32_t ch) { return tables_->busy(frame, ch); }
  std::unique_ptr<BuilderTables> tables_;
};

TEST_F(ChannelAssignmentTest, NoteComesFromTheFrequency) {
  EXPECT_EQ(midibuilder::noteOfFrequency(4410), 69);
  EXPECT_EQ(midibuilder::noteOfFrequency(2616), 59);
  for (int n = 1; n < 128; ++n) ASSERT_EQ(midibuilder::noteOfFrequency(freqOf(n)), n);
}

TEST_F(ChannelAssignmentTest, WithoutSpareChannelsSegmentsStayOnTheirVoice) {
  FrameImage image(6);
  image.set.peakLevel = 1000;
  for (int f = 0; f < 6; ++f) {
    image.slot(f, 0, 1000, freqOf(f < 3 ? 40 : 90));  // range 50: splits at frame 3
    image.slot(f, 3, f == 2 ? 0 : 1000, freqOf(70));
  }
  const std::vector<uint8_t> before = image.bytes();
  midibuilder::assignChannels(*tables_, image.set, optionsFor(0, 4, 4));
  EXPECT_EQ(image.bytes(), before);
  EXPECT_EQ(note(0, 0), 40);
  EXPECT_EQ(note(3, 0), 90);
  EXPECT_EQ(note(0, 3), 70);
  EXPECT_EQ(note(3, 3), 70);
  int entries = 0;
  for (int f = 0; f < 6; ++f) {
    for (int ch = 0; ch < 8; ++ch) entries += note(f, ch) != 0;
  }
  EXPECT_EQ(entries, 4);
}

TEST_F(ChannelAssignmentTest, MovesAClosedSegmentToASpareChannelWithThreeRestingFrames) {
  FrameImage image = voice0({60, 60, 60, 60, 60, 0, 62, 62, 62, 62});
  midibuilder::assignChannels(*tables_, image.set, optionsFor(0, 4, 5));
  EXPECT_EQ(note(0, 4), 60);
  EXPECT_EQ(note(0, 0), 0);
  EXPECT_EQ(note(6, 0), 62);  // the last open segment stays
  for (int f = 0; f < 5; ++f) {
    EXPECT_EQ(image.set.level(f, 4), 1000);
    EXPECT_EQ(image.set.frequency(f, 4), freqOf(60));
    EXPECT_EQ(image.set.level(f, 0), 0);
    EXPECT_EQ(image.set.frequency(f, 0), 0);
    EXPECT_EQ(busy(f, 4), 1);
  }
  for (int f = 5; f < 8; ++f) {
    EXPECT_EQ(busy(f, 4), 1);
    EXPECT_EQ(image.set.level(f, 4), 0);
    EXPECT_EQ(image.set.frequency(f, 4), 0);
  }
  EXPECT_EQ(busy(8, 4), 0);
  EXPECT_EQ(busy(0, 0) + busy(1, 0) + busy(2, 0), 3);
  EXPECT_EQ(busy(3, 0) + busy(4, 0), 0);
  EXPECT_EQ(image.set.frequency(6, 0), freqOf(62));
}

TEST_F(ChannelAssignmentTest, ASegmentStartsAfterTheFirstSilentFrameOfAGap) {
  FrameImage image = voice0({60, 60, 60, 60, 60, 0, 0, 62, 62, 62});
  midibuilder::assignChannels(*tables_, image.set, optionsFor(0, 4, 5));
  EXPECT_EQ(note(0, 4), 60);
  EXPECT_EQ(note(6, 0), 62);
  EXPECT_EQ(note(7, 0), 0);
}

TEST_F(ChannelAssignmentTest, ARestingSpareChannelIsNotFree) {
  FrameImage image = voice0({60, 60, 60, 60, 60, 0, 62, 62, 0, 0, 0});
  midibuilder::assignChannels(*tables_, image.set, optionsFor(0, 4, 5));
  EXPECT_EQ(note(0, 4), 60);
  EXPECT_EQ(note(6, 0), 62);
  EXPECT_EQ(note(6, 4), 0);
  EXPECT_EQ(image.set.frequency(6, 0), freqOf(62));
}

TEST_F(ChannelAssignmentTest, SplitsWhenTheRangeReachesTheDeviceLimit) {
  FrameImage split = voice0({60, 60, 60, 73, 73});
  midibuilder::assignChannels(*tables_, split.set, optionsFor(1, 4, 4));
  EXPECT_EQ(note(0, 0), 60);
  EXPECT_EQ(note(3, 0), 73);

  FrameImage twelve = voice0({60, 72, 72});
  midibuilder::assignChannels(*tables_, twelve.set, optionsFor(1, 4, 4));
  EXPECT_EQ(note(0, 0), 60);
  EXPECT_EQ(note(1, 0), 72);

  FrameImage eleven = voice0({60, 71, 71});
  midibuilder::assignChannels(*tables_, eleven.set, optionsFor(1, 4, 4));
  EXPECT_EQ(note(0, 0), 66);
  EXPECT_EQ(note(1, 0), 0);

  // Halvoran allows a range of 46 in one segment.
  FrameImage wide = voice0({40, 86, 87});
  midibuilder::assignChannels(*tables_, wide.set, optionsFor(0, 4, 4));
  EXPECT_EQ(note(0, 0), 63);
  EXPECT_EQ(note(2, 0), 87);
}

TEST_F(ChannelAssignmentTest, ASplitSegmentMovesAndItsChannelRestsAfterIt) {
  FrameImage image = voice0({60, 60, 60, 73, 73});
  midibuilder::assignChannels(*tables_, image.set, optionsFor(1, 4, 5));
  EXPECT_EQ(note(0, 4), 60);
  EXPECT_EQ(note(3, 0), 73);
  for (int f = 3; f < 6; ++f) {
    EXPECT_EQ(busy(f, 4), 1);
    EXPECT_EQ(image.set.level(f, 4), 0);
  }
  EXPECT_EQ(image.set.frequency(3, 0), freqOf(73));
}

TEST_F(ChannelAssignmentTest, CentreIsTheRoundedUpMiddleUnderTheCeiling) {
  struct Case {
    int device, low, high, centre;
  } cases[] = {
      {0, 50, 61, 56}, {0, 50, 60, 55}, {2, 100, 110, 95}, {1, 100, 110, 105}, {3, 120, 127, 113}};
  for (const Case& c : cases) {
    FrameImage image = voice0({c.low, c.high, 0});
    midibuilder::assignChannels(*tables_, image.set, optionsFor(c.device, 4, 4));
    EXPECT_EQ(note(0, 0), c.centre) << c.device << " " << c.low << "-" << c.high;
  }
}

TEST_F(ChannelAssignmentTest, SoundingNeedsAFrequencyAndAnExpressionOfOne) {
  const auto curve = [](int device) {
    return midibuilder::targets::forRadioValue(device)->levelCurve;
  };
  FrameImage image(4);
  image.set.peakLevel = 1000000;
  image.slot(0, 0, 3937, 4400);  // survives the level floor, rounds to 0 on Halvoran
  image.slot(1, 0, 1000, 0);     // no frequency
  image.slot(2, 0, 3938, 4400);
  image.slot(3, 0, 1000, -5);
  EXPECT_FALSE(midibuilder::isSounding(image.set, 0, 0, curve(0)));
  EXPECT_TRUE(midibuilder::isSounding(image.set, 0, 0, curve(1)));
  EXPECT_FALSE(midibuilder::isSounding(image.set, 1, 0, curve(1)));
  EXPECT_TRUE(midibuilder::isSounding(image.set, 2, 0, curve(0)));
  EXPECT_FALSE(midibuilder::isSounding(image.set, 3, 0, curve(2)));
}

TEST_F(ChannelAssignmentTest, ExtremeFrequenciesGiveCentresWithinOneToTheCeiling) {
  FrameImage image(12);
  image.set.peakLevel = std::numeric_limits<int32_t>::max();
  const int32_t freqs[] = {1,    5,  std::numeric_limits<int32_t>::max(), 3, 0,
                           2,    90, std::numeric_limits<int32_t>::max(), 1, 1,
                           4400, 1};
  for (int f = 0; f < 12; ++f) {
    image.slot(f, 0, std::numeric_limits<int32_t>::max(), freqs[f]);
    image.slot(f, 1, std::numeric_limits<int32_t>::max() - f, freqs[11 - f]);
  }
  for (int device = 0; device < 4; ++device) {
    FrameImage copy = image;
    midibuilder::assignChannels(*tables_, copy.set, optionsFor(device, 4, 8));
    const int ceiling = midibuilder::targets::forRadioValue(device)->noteCeiling;
    int entries = 0;
    for (int f = 0; f < 14; ++f) {
      for (int ch = 0; ch < 8; ++ch) {
        const int32_t n = note(f, ch);
        if (n != 0) ++entries;
        ASSERT_TRUE(n == 0 || (n >= 1 && n <= ceiling)) << device << " " << f << " " << ch;
      }
    }
    EXPECT_GT(entries, 2);
  }
}

}  // namespace
