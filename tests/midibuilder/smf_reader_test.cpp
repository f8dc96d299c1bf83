#include "smf_reader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <set>

#include "build.h"
#include "smf_checker.h"

using Bytes = std::vector<uint8_t>;

namespace {

Bytes header(int format, int tracks, int division) {
  return {'M',
          'T',
          'h',
          'd',
          0,
          0,
          0,
          6,
          0,
          static_cast<uint8_t>(format),
          0,
          static_cast<uint8_t>(tracks),
          static_cast<uint8_t>(division >> 8),
          static_cast<uint8_t>(division)};
}

void addTrack(Bytes& file, std::initializer_list<uint8_t> events) {
  const auto n = static_cast<uint32_t>(events.size());
  file.insert(file.end(),
              {'M', 'T', 'r', 'k', static_cast<uint8_t>(n >> 24), static_cast<uint8_t>(n >> 16),
               static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n)});
  file.insert(file.end(), events);
}

// Six voices gliding over eight channels, with the set-up blocks written in running status.
TEST(SmfReader, ReadsTheBuildersFileAsTheTestCheckerDecodesIt) {
  common::NoteFrames frames;
  frames.voices = 6;
  for (int32_t f = 0; f < 120; ++f) {
    for (int32_t k = 0; k < 6; ++k) {
      frames.slots.push_back({300000 + 20000 * ((f + k) % 9), 2000 + 300 * k + 11 * f});
    }
  }
  auto tables = std::make_unique<midibuilder::BuilderTables>();
  common::AllocationRegistry registry;
  midibuilder::BuilderOptions options;
  options.usedChannels = 8;
  const Bytes midi = midibuilder::buildMidi(*tables, registry, frames, options).midi;
  registry.freeAll();

  smf_check::File expected;
  ASSERT_EQ(smf_check::check(midi, &expected), "");
  const auto read = midibuilder::readSmf(midi);
  ASSERT_TRUE(read.file) << read.error;
  EXPECT_EQ(read.file->timeBase, expected.division);
  ASSERT_EQ(read.file->tracks.size(), 9u);
  std::size_t end = 14;
  std::set<int> channels[9], all;  // one channel a track, none in the conductor
  for (std::size_t t = 0; t < 9; ++t) {
    const auto& track = read.file->tracks[t];
    EXPECT_EQ(track.chunkOffset, end);
    end += track.chunkSize;
    ASSERT_EQ(track.events.size(), expected.tracks[t].events.size());
    for (std::size_t n = 0; n < track.events.size(); ++n) {
      const auto& e = track.events[n];
      EXPECT_EQ(e.tick, static_cast<int64_t>(expected.tracks[t].events[n].tick));
      EXPECT_EQ(e.bytes, expected.tracks[t].events[n].bytes);
      if (e.channel() >= 0) channels[t].insert(e.channel());
    }
    if (t < 8) {
      EXPECT_EQ(channels[t].size(), 1u);
    }
  }
  EXPECT_EQ(end, midi.size());
  for (const auto& c : channels) all.insert(c.begin(), c.end());
  EXPECT_EQ(all.size(), 8u);
}

// Conductor at 120 bpm, then 60 bpm at tick 192 (96 ticks a quarter note), overruled at that
// tick by a later track's 240 bpm; 3/4 from the start, 2/2 from the middle of bar 2 (tick 432).
TEST(SmfReader, RunningStatusTemposAndBarsAsWorkedOutByHand) {
  Bytes file = header(1, 2, 96);
  addTrack(file, {0x00, 0xFF, 0x58, 0x04, 3,    2,    24,   8,        //
                  0x81, 0x40, 0xFF, 0x51, 0x03, 0x0F, 0x42, 0x40,     // tick 192: 1,000,000 us
                  0x81, 0x70, 0xFF, 0x58, 0x04, 2,    1,    24,   8,  // tick 432: 2/2
                  0x00, 0xFF, 0x2F, 0x00});
  addTrack(file, {0x00, 0x91, 0x3C, 0x40,                    // tick 0
                  0x81, 0x40, 0x3C, 0x00,                    // tick 192, running status
                  0x00, 0xFF, 0x51, 0x03, 0x03, 0xD0, 0x90,  // tick 192: 250,000 us
                  0x00, 0xF0, 0x03, 0x7E, 0x09, 0xF7,        // cancels running status
                  0x60, 0xC1, 0x05, 0x00, 0x05,              // tick 288 and 288
                  0x00, 0xFF, 0x2F, 0x00});
  const auto read = midibuilder::readSmf(file);
  ASSERT_TRUE(read.file) << read.error;
  const auto& events = read.file->tracks[1].events;
  ASSERT_EQ(events.size(), 7u);
  EXPECT_EQ(events[1].bytes, (Bytes{0x91, 0x3C, 0x00}));
  EXPECT_EQ(events[5].bytes, (Bytes{0xC1, 0x05}));
  EXPECT_EQ(events[5].tick, 288);

  const midibuilder::TempoMap map(*read.file);
  EXPECT_DOUBLE_EQ(map.secondsAt(192), 1.0);
  EXPECT_DOUBLE_EQ(map.secondsAt(288), 1.25);
  EXPECT_EQ(map.tickAt(1.25), 288);
  EXPECT_EQ(map.tickAt(0.499), 96);
  EXPECT_EQ(map.tickOfBarBeat(2, 1.5), 3 * 96 + 48);
  EXPECT_EQ(map.tickOfBarBeat(3, 1), 432);  // the change starts bar 3
  EXPECT_EQ(map.tickOfBarBeat(4, 2), 432 + 4 * 96 + 192);

  const auto schedule = midibuilder::scheduleOf(*read.file);
  ASSERT_EQ(schedule.size(), 5u);  // no meta events
  EXPECT_EQ(schedule[2].bytes, (Bytes{0xF0, 0x7E, 0x09, 0xF7}));
  EXPECT_EQ(schedule[4].bytes, (Bytes{0xC1, 0x05}));
  EXPECT_DOUBLE_EQ(schedule[4].seconds, 1.25);
  EXPECT_EQ(schedule[4].track, 1);
}

TEST(SmfReader, RefusesMalformedFiles) {
  const auto refused = [](const Bytes& b) { return !midibuilder::readSmf(b).file; };
  Bytes good = header(0, 1, 96);
  addTrack(good, {0x00, 0x90, 0x3C, 0x40, 0x00, 0xFF, 0x2F, 0x00});
  ASSERT_FALSE(refused(good));

  EXPECT_TRUE(refused(Bytes(good.begin(), good.end() - 1)));     // truncated chunk
  EXPECT_TRUE(refused(Bytes(good.begin(), good.begin() + 20)));  // truncated chunk header
  Bytes smpte = good;
  smpte[12] = 0xE7;  // -25 frames a second, 40 ticks a frame
  smpte[13] = 40;
  EXPECT_TRUE(refused(smpte));
  Bytes tooMany = good;
  tooMany[11] = 2;
  EXPECT_TRUE(refused(tooMany));
  Bytes bad = header(0, 1, 96);
  addTrack(bad, {0x80, 0x80, 0x80, 0x80, 0x00, 0x90, 0x3C, 0x40});  // five-byte delta
  EXPECT_TRUE(refused(bad));
  bad = header(0, 1, 96);
  addTrack(bad, {0x00, 0x3C, 0x40});  // data without a status
  EXPECT_TRUE(refused(bad));
  bad = header(0, 1, 96);
  addTrack(bad, {0x00, 0xFF, 0x01, 0x05, 'a'});  // meta longer than its track
  EXPECT_TRUE(refused(bad));
}

}  // namespace
