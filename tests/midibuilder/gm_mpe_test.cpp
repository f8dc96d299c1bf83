// The General MIDI and MPE targets and the bend range, read back from the files they build.
#include <gtest/gtest.h>

#include <cmath>

#include "build.h"
#include "smf_checker.h"
#include "targets/targets.h"

using Bytes = std::vector<uint8_t>;

namespace {

class GmMpeTest : public ::testing::Test {
 protected:
  GmMpeTest() : tables_(std::make_unique<midibuilder::BuilderTables>()) {}

  // The file of `frames` (voices x frame levels and frequencies) for `target`, decoded.
  smf_check::File build(const common::NoteFrames& frames, const midibuilder::TargetProfile& target,
                        int32_t channels, int32_t bendRange = 0) {
    midibuilder::BuilderOptions options;
    options.target = &target;
    options.polyphony = channels;
    options.usedChannels = channels;
    options.pitchSort = false;
    options.bendRange = bendRange;
    const auto outcome = midibuilder::buildMidi(*tables_, registry_, frames, options);
    registry_.freeAll();
    smf_check::File file;
    EXPECT_EQ(smf_check::check(outcome.midi, &file), "");
    return file;
  }

  std::unique_ptr<midibuilder::BuilderTables> tables_;
  common::AllocationRegistry registry_;
};

// Voice 0 at 440 Hz (level 360 of a peak of 1000), then at 523.3 Hz (full level); the other
// voices silent.
common::NoteFrames twoFrames(int32_t voices) {
  common::NoteFrames frames;
  frames.voices = voices;
  frames.framesPerSecond = voices > 6 ? 120 : 60;
  frames.slots.resize(static_cast<std::size_t>(2 * voices));
  frames.at(0, 0) = {360, 4400};
  frames.at(1, 0) = {1000, 5233};
  return frames;
}

std::vector<Bytes> eventsOf(const smf_check::Track& track) {
  std::vector<Bytes> events;
  for (const smf_check::Event& e : track.events) events.push_back(e.bytes);
  return events;
}
bool contains(const std::vector<Bytes>& events, const Bytes& bytes) {
  return std::find(events.begin(), events.end(), bytes) != events.end();
}

TEST_F(GmMpeTest, GeneralMidiStartsWithSystemOnAndSendsNoGsMessage) {
  const smf_check::File file = build(twoFrames(4), midibuilder::targets::gm(), 4);
  const std::vector<Bytes> conductor = eventsOf(file.tracks.back());
  ASSERT_GE(conductor.size(), 2u);
  EXPECT_EQ(conductor[1], (Bytes{0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7}));
  EXPECT_EQ(file.tracks.back().events[1].tick, 0u);
  for (const smf_check::Track& track : file.tracks) {
    for (const smf_check::Event& e : track.events) {
      ASSERT_FALSE(e.bytes.size() > 1 && e.bytes[0] == 0xF0 && e.bytes[1] == 0x41) << "GS SysEx";
      if ((e.bytes[0] & 0xF0) != 0xB0) continue;
      EXPECT_NE(e.bytes[1], 0x63) << "NRPN";
      EXPECT_NE(e.bytes[1], 0x62) << "NRPN";
      EXPECT_NE(e.bytes[1], 0x00) << "bank select";
    }
  }
  // The bend range, RPN 0 = 24 semitones, on the first channel.
  const std::vector<Bytes> channel = eventsOf(file.tracks[0]);
  EXPECT_TRUE(contains(channel, {0xB0, 0x65, 0x00}) && contains(channel, {0xB0, 0x64, 0x00}) &&
              contains(channel, {0xB0, 0x06, 24}));
}

TEST_F(GmMpeTest, MpeZoneCarriesItsMembersPressureAndStartingVelocity) {
  // Fifteen members: channel track 8 is MIDI channel 10, track 14 channel 16.
  const smf_check::File wide = build(twoFrames(15), midibuilder::targets::mpe(), 15);
  const std::vector<Bytes> conductor = eventsOf(wide.tracks.back());
  const std::vector<Bytes> configuration{{0xB0, 0x65, 0x00}, {0xB0, 0x64, 0x06}, {0xB0, 0x06, 15}};
  EXPECT_TRUE(std::search(conductor.begin(), conductor.end(), configuration.begin(),
                          configuration.end()) != conductor.end());
  EXPECT_EQ(wide.tracks[8].events[0].bytes, (Bytes{0xE9, 0x00, 0x40}));
  EXPECT_EQ(wide.tracks[14].events[0].bytes, (Bytes{0xEF, 0x00, 0x40}));

  const smf_check::File file = build(twoFrames(4), midibuilder::targets::mpe(), 4);
  EXPECT_TRUE(contains(eventsOf(file.tracks.back()), {0xB0, 0x06, 4}));
  // Voice 0 on channel 2: pressure on the square-root scale, sqrt(0.36) x 127 = 76.2, and the
  // note struck at that level; then full pressure. No expression.
  const std::vector<Bytes> events = eventsOf(file.tracks[0]);
  const auto pressure = std::find(events.begin(), events.end(), Bytes{0xD1, 76});
  ASSERT_NE(pressure, events.end());
  EXPECT_EQ(pressure[1], (Bytes{0x91, 71, 76}));
  EXPECT_TRUE(contains(events, {0xD1, 127}));
  EXPECT_TRUE(contains(events, {0xB1, 0x06, 48}));
  for (const Bytes& e : events) EXPECT_FALSE(e[0] == 0xB1 && e[1] == 0x0B) << "expression";
}

TEST_F(GmMpeTest, BendRangeSetsRpnZeroAndScalesTheBends) {
  // Notes 69 and 72 give one segment on centre 71 (493.88 Hz) at a range of 48 semitones: the
  // bend moves 8192 steps per 48 semitones, below the centre from 0 and above it up to 16383.
  const smf_check::File file = build(twoFrames(4), midibuilder::targets::mpe(), 4, 48);
  const std::vector<Bytes> events = eventsOf(file.tracks[0]);
  EXPECT_TRUE(contains(events, {0xB1, 0x06, 48}));
  const double centre = 440.0 * std::pow(2.0, 2.0 / 12);
  const double down = 12 * std::log2(440.0 / centre), up = 12 * std::log2(523.3 / centre);
  const auto below = static_cast<int>(std::floor(8192 * (1 + down / 48) + 0.5));
  const auto above = 16383 - static_cast<int>(std::floor(8192 * (1 - up / 48) + 0.5));
  EXPECT_EQ(below, 7851);
  EXPECT_TRUE(contains(
      events, {0xE1, static_cast<uint8_t>(below & 0x7F), static_cast<uint8_t>(below >> 7)}));
  EXPECT_TRUE(contains(
      events, {0xE1, static_cast<uint8_t>(above & 0x7F), static_cast<uint8_t>(above >> 7)}));
  EXPECT_EQ(
      std::count_if(events.begin(), events.end(), [](const Bytes& e) { return e[0] == 0x91; }),
      2);  // one note on, and its release

  // At 2 semitones notes 69 and 72 cannot share a centre: the second frame strikes note 72.
  const std::vector<Bytes> narrow =
      eventsOf(build(twoFrames(4), midibuilder::targets::gm(), 4, 2).tracks[0]);
  EXPECT_TRUE(contains(narrow, {0xB0, 0x06, 2}));
  EXPECT_TRUE(contains(narrow, {0x90, 69, 0x7F}));
  EXPECT_TRUE(contains(narrow, {0x90, 72, 0x7F}));
  EXPECT_FALSE(midibuilder::allowsBendRange(midibuilder::targets::gm(), 48));
}

}  // namespace
