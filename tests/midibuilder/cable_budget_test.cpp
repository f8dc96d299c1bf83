#include "cable_budget.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <tuple>

#include "build.h"
#include "smf_checker.h"

using Bytes = std::vector<uint8_t>;

namespace {

// Voices gliding and swelling independently, every voice restarting a note now and then.
common::NoteFrames restless(int32_t frameCount, int32_t voices) {
  common::NoteFrames frames;
  frames.voices = voices;
  for (int32_t f = 0; f < frameCount; ++f) {
    for (int32_t k = 0; k < voices; ++k) {
      const double phase = std::sin(f * (0.05 + 0.007 * k) + k);
      const bool gap = (f + 13 * k) % 97 < 4;
      frames.slots.push_back({gap ? 0 : 200000 + 30000 * ((f * 5 + k * 3) % 13),
                              static_cast<int32_t>(1500.0 * std::pow(2.0, 2.0 * phase + 0.2 * k))});
    }
  }
  return frames;
}

// The cable as the test sees it: every track's channel and system exclusive messages merged by
// tick (ties by track, then file order), timed by the one tempo of the conductor track.
struct Sent {
  double seconds;
  Bytes bytes;
};
std::vector<Sent> cableStream(const Bytes& midi) {
  smf_check::File file;
  EXPECT_EQ(smf_check::check(midi, &file), "");
  double usPerQuarter = 500000;
  std::vector<std::tuple<uint64_t, std::size_t, std::size_t>> order;
  for (std::size_t t = 0; t < file.tracks.size(); ++t) {
    for (std::size_t n = 0; n < file.tracks[t].events.size(); ++n) {
      const Bytes& b = file.tracks[t].events[n].bytes;
      if (b[0] == 0xFF && b[1] == 0x51) usPerQuarter = b[2] << 16 | b[3] << 8 | b[4];
      if (b[0] != 0xFF) order.emplace_back(file.tracks[t].events[n].tick, t, n);
    }
  }
  std::sort(order.begin(), order.end());
  std::vector<Sent> stream;
  for (const auto& [tick, t, n] : order) {
    stream.push_back({tick * usPerQuarter / 1e6 / file.division, file.tracks[t].events[n].bytes});
  }
  return stream;
}

// Windows [t, t + 100 ms) from each message over bytesPerSecond / 10, counting a status byte
// only where it changes and never after system exclusive.
int windowsOver(const std::vector<Sent>& stream, int bytesPerSecond) {
  std::vector<int> sizes;
  int running = -1;
  for (const Sent& m : stream) {
    const bool channel = m.bytes[0] < 0xF0;
    sizes.push_back(static_cast<int>(m.bytes.size()) - (channel && m.bytes[0] == running));
    running = channel ? m.bytes[0] : -1;
  }
  int over = 0;
  for (std::size_t i = 0; i < stream.size(); ++i) {
    int sum = 0;
    for (std::size_t j = i; j < stream.size() && stream[j].seconds < stream[i].seconds + 0.1; ++j) {
      sum += sizes[j];
    }
    over += sum > bytesPerSecond * 0.1;
  }
  return over;
}

// The note-ons and note-offs in the order sent, and how late the latest of them is in `later`.
Bytes notesOf(const std::vector<Sent>& stream, const std::vector<Sent>* earlier = nullptr,
              double* delay = nullptr) {
  Bytes notes;
  std::vector<double> times;
  for (const Sent& m : stream) {
    if ((m.bytes[0] & 0xE0) != 0x80) continue;
    notes.insert(notes.end(), m.bytes.begin(), m.bytes.end());
    times.push_back(m.seconds);
  }
  if (earlier != nullptr) {
    std::size_t n = 0;
    for (const Sent& m : *earlier) {
      if ((m.bytes[0] & 0xE0) == 0x80 && n < times.size()) {
        *delay = std::max(*delay, times[n++] - m.seconds);
      }
    }
  }
  return notes;
}

// Fifteen voices at the DIN rate, six on a third of it, each at 60 and 240 frames a second
// (whose updates come four times as often): no window over, every note in its order, and the
// thinning done by leaving out updates, the notes at most 50 ms late.
TEST(CableBudget, FitsEveryWindowAndKeepsEveryNoteInOrder) {
  auto tables = std::make_unique<midibuilder::BuilderTables>();
  for (const auto& [voices, rate, budget] :
       {std::tuple{15, 60, midibuilder::kDinBytesPerSecond}, {6, 60, 1000}, {15, 240, 3125}}) {
    SCOPED_TRACE(std::to_string(voices) + " voices at " + std::to_string(rate));
    common::NoteFrames frames = restless(4 * rate, voices);
    frames.framesPerSecond = rate;
    midibuilder::BuilderOptions options;
    options.device = midibuilder::kDeviceSc8850;
    options.polyphony = options.usedChannels = voices;
    common::AllocationRegistry registry;
    const Bytes plain = midibuilder::buildMidi(*tables, registry, frames, options).midi;
    options.cableBudget = budget;
    const Bytes fitted = midibuilder::buildMidi(*tables, registry, frames, options).midi;
    registry.freeAll();

    const auto before = cableStream(plain), after = cableStream(fitted);
    EXPECT_GT(windowsOver(before, budget), 100);
    EXPECT_EQ(windowsOver(after, budget), 0);
    double delay = 0;
    EXPECT_EQ(notesOf(after, &before, &delay), notesOf(before));
    EXPECT_LE(delay, 0.05);
    EXPECT_GT(tables->cableReport.droppedUpdates, 0);
  }
}

TEST(CableBudget, AStreamThatFitsOrBytesThatAreNoMidiFileComeBackUnchanged) {
  auto tables = std::make_unique<midibuilder::BuilderTables>();
  common::AllocationRegistry registry;
  midibuilder::BuilderOptions options;
  const Bytes plain = midibuilder::buildMidi(*tables, registry, restless(120, 6), options).midi;
  registry.freeAll();
  const auto stream = cableStream(plain);
  int bytes = 0;
  for (const Sent& m : stream) bytes += static_cast<int>(m.bytes.size());
  // Ten times every byte a second is more than any window holds.
  const auto fits = midibuilder::fitCableBudget(plain, 10 * bytes);
  EXPECT_EQ(fits.bytes, plain);
  EXPECT_FALSE(fits.report.rewritten);
  const Bytes junk{'M', 'T', 'h', 'd', 1, 2, 3};
  EXPECT_EQ(midibuilder::fitCableBudget(junk, 3125).bytes, junk);
}

}  // namespace
