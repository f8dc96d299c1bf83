#include "song_merge.h"

#include <gtest/gtest.h>

#include <set>

#include "build.h"
#include "smf_checker.h"

using Bytes = std::vector<uint8_t>;

namespace {

using B = uint8_t;

// A song written by hand: each track a list of (delta, message) with End of Track added.
Bytes song(int format, int division,
           const std::vector<std::vector<std::pair<uint32_t, Bytes>>>& tracks) {
  Bytes out{
      'M',        'T', 'h', 'd', 0, 0, 0, 6, 0, B(format), 0, B(tracks.size()), B(division >> 8),
      B(division)};
  for (const auto& track : tracks) {
    Bytes events;
    for (const auto& [delta, message] : track) {  // deltas below 2^14
      if (delta > 127) events.push_back(B(0x80 | delta >> 7));
      events.push_back(B(delta & 0x7F));
      events.insert(events.end(), message.begin(), message.end());
    }
    events.insert(events.end(), {0, 0xFF, 0x2F, 0});
    const auto n = events.size();
    out.insert(out.end(), {'M', 'T', 'r', 'k', 0, 0, B(n >> 8), B(n)});
    out.insert(out.end(), events.begin(), events.end());
  }
  return out;
}

Bytes tempo(uint32_t us) {
  return {0xFF, 0x51, 3, B(us >> 16), B(us >> 8), B(us)};
}
Bytes note(int channel) {
  return {B(0x90 | channel), 60, 100};
}

// Six voices over 300 frames at changing levels and pitches, some of them silent at times.
common::NoteFrames speech() {
  common::NoteFrames frames;
  frames.voices = 6;
  for (int32_t i = 0; i < 300 * 6; ++i) {
    frames.slots.push_back({(i / 120 + i) % 3 ? 300000 + 999 * (i % 13) : 0, 1800 + 50 * (i % 97)});
  }
  return frames;
}

midibuilder::BuilderTables& tables() {
  static const auto tables = std::make_unique<midibuilder::BuilderTables>();
  return *tables;
}

midibuilder::MergeOutcome merge(const Bytes& s, const midibuilder::SongPosition& at) {
  common::AllocationRegistry registry;
  return midibuilder::mergeIntoSong(tables(), registry, speech(), {}, s, at);
}

TEST(SongMerge, SongKeptByteForByteAndSpeechAtItsSecondsThroughTempoChanges) {
  // 384 ticks a quarter: 120 bpm, 90 bpm from tick 1000, 200 bpm from tick 3000.
  const Bytes s = song(1, 384,
                       {{{0, tempo(500000)}, {1000, tempo(666667)}, {2000, tempo(300000)}},
                        {{0, note(0)}, {50, note(2)}, {700, note(9)}, {0, {0x80, 60, 0}}}});
  // Seconds to ticks, integrated here from the tempo list above.
  const auto oracleTick = [](double sec) {
    const double t1 = 1000 * 0.5 / 384, t2 = t1 + 2000 * 0.666667 / 384;
    if (sec < t1) return sec * 384 / 0.5;
    if (sec < t2) return 1000 + (sec - t1) * 384 / 0.666667;
    return 3000 + (sec - t2) * 384 / 0.3;
  };
  // The plain build: 480 ticks a quarter at 120 bpm, frame 0 at tick 1920.
  common::AllocationRegistry registry;
  const auto plain = midibuilder::buildMidi(tables(), registry, speech(), {});
  smf_check::File reference;
  ASSERT_EQ(smf_check::check(plain.midi, &reference), "");

  for (const double start : {4.0, 0.4}) {  // the set-up fits before the speech, or does not
    const auto outcome = merge(s, {.seconds = start});
    ASSERT_EQ(outcome.refusal, "");
    smf_check::File merged;
    ASSERT_EQ(smf_check::check(outcome.midi, &merged), "");
    EXPECT_EQ(merged.division, 384);
    ASSERT_EQ(merged.tracks.size(), 2u + 6u);  // the conductor is not taken
    EXPECT_TRUE(std::equal(s.begin() + 14, s.end(), outcome.midi.begin() + 14));

    std::set<int> channels;
    for (int t = 0; t < 6; ++t) {
      const auto& got = merged.tracks[static_cast<std::size_t>(t) + 2].events;
      const auto& want = reference.tracks[static_cast<std::size_t>(t)].events;
      ASSERT_EQ(got.size(), want.size());
      for (std::size_t i = 0; i + 1 < got.size(); ++i) {
        channels.insert(got[i].bytes[0] & 0x0F);
        Bytes moved = want[i].bytes;  // the same message on the channel it was moved to
        moved[0] = B((moved[0] & 0xF0) | (got[i].bytes[0] & 0x0F));
        EXPECT_EQ(got[i].bytes, moved);
        const double offset = (static_cast<double>(want[i].tick) - 1920) / 960;
        if (offset >= 0 || start > 1.5) {
          EXPECT_NEAR(static_cast<double>(got[i].tick), oracleTick(start + offset), 1.0);
        } else {  // the set-up moved earlier: its first message at the song's start
          EXPECT_LE(got[i].tick, static_cast<uint64_t>(oracleTick(start)));
          EXPECT_TRUE(i > 0 || got[i].tick == 0);
        }
      }
    }
    EXPECT_EQ(channels, (std::set<int>{1, 3, 4, 5, 6, 7}));  // free ones, 10 never
  }
}

TEST(SongMerge, RefusesTooFewChannelsAndUnreadableSongsAndTakesFormatZero) {
  std::vector<std::pair<uint32_t, Bytes>> busy;
  for (int c : {0, 1, 2, 3, 4, 5, 6, 10, 11, 12, 13}) busy.push_back({10, note(c)});
  auto outcome = merge(song(0, 96, {busy}), {});
  EXPECT_EQ(outcome.refusal, "the song leaves 4 channels free; the speech needs 6");
  EXPECT_TRUE(outcome.midi.empty());
  std::array<bool, 16> used{};
  used[2] = true;  // free runs: 1-2, 4-9 and 11-16 counted from 1
  EXPECT_EQ(midibuilder::pickChannels(used, 4, midibuilder::FreeChannels::Contiguous),
            (std::vector<int32_t>{3, 4, 5, 6}));
  EXPECT_TRUE(midibuilder::pickChannels(used, 7, midibuilder::FreeChannels::Contiguous).empty());

  outcome = merge(Bytes{'R', 'I', 'F', 'F'}, {});
  EXPECT_EQ(outcome.refusal.rfind("the song is not a readable MIDI file: ", 0), 0u);

  busy.resize(3);
  const Bytes zero = song(0, 96, {busy});
  outcome = merge(zero, {});
  smf_check::File merged;
  ASSERT_EQ(smf_check::check(outcome.midi, &merged), "");
  EXPECT_EQ(merged.format, 1);
  EXPECT_EQ(merged.trackCount, 7);
  EXPECT_TRUE(std::equal(zero.begin() + 14, zero.end(), outcome.midi.begin() + 14));
}

TEST(SongPosition, BarBeatThroughThreeFourThenSixEightAndItsSpellings) {
  // 480 ticks a quarter at 120 bpm (960 ticks a second): 3/4 for two bars, 6/8 from tick 2880.
  const Bytes s =
      song(1, 480, {{{0, {0xFF, 0x58, 4, 3, 2, 24, 8}}, {2880, {0xFF, 0x58, 4, 6, 3, 24, 8}}}});
  const auto file = *midibuilder::readSmf(s).file;
  const auto at = [&](std::string_view text) {
    const auto position = midibuilder::parseSongPosition(text);
    return position ? midibuilder::songSeconds(file, *position) : midibuilder::SongTime{-1, "?"};
  };
  EXPECT_EQ(at("1:1").seconds, 0.0);
  EXPECT_DOUBLE_EQ(at("2:3").seconds, (1440 + 960) / 960.0);
  EXPECT_DOUBLE_EQ(at("3:1").seconds, 2880 / 960.0);
  EXPECT_DOUBLE_EQ(at("4:2.5").seconds, (2880 + 6 * 240 + 1.5 * 240) / 960.0);
  EXPECT_EQ(at("4:7").refusal, "beat 7 is beyond bar 4, which has 6 beats");
  EXPECT_EQ(at("12.25").seconds, 12.25);
  for (const char* bad : {"", "-1", "1e3", "0:1", "1:0.5", "1:", ":2", "2.5.1", "x"}) {
    EXPECT_FALSE(midibuilder::parseSongPosition(bad)) << bad;
  }
}

}  // namespace
