// The MIDI file reader on any bytes: it must refuse with a message or return tracks whose chunks
// lie within the bytes and start with their header, whose events are well-formed messages in
// tick order; the tempo map and the merged schedule must follow from them in time order. The
// cable budget pass over an accepted file must give a file that reads, with every note kept.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "cable_budget.h"
#include "smf_reader.h"

namespace {

[[noreturn]] void fail(const std::string& what) {
  std::fprintf(stderr, "smf_reader_fuzz: %s\n", what.c_str());
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const auto read = midibuilder::readSmf({data, size});
  if (!read.file) {
    if (read.error.empty()) fail("refused without a message");
    return 0;
  }
  const midibuilder::SmfFile& file = *read.file;
  if (file.timeBase < 1 || file.timeBase > 0x7FFF) fail("time base out of range");
  std::size_t events = 0;
  for (const auto& track : file.tracks) {
    if (track.chunkSize < 8 || track.chunkOffset > size ||
        track.chunkSize > size - track.chunkOffset || data[track.chunkOffset] != 'M' ||
        data[track.chunkOffset + 3] != 'k') {
      fail("track chunk outside the bytes");
    }
    int64_t tick = 0;
    for (const auto& e : track.events) {
      if (e.tick < tick || e.bytes.empty()) fail("event out of order or empty");
      tick = e.tick;
      if (e.channel() >= 0) {
        const std::size_t expected = (e.bytes[0] & 0xE0) == 0xC0 ? 2 : 3;
        if (e.bytes.size() != expected || e.bytes[1] >= 0x80 || e.bytes.back() >= 0x80) {
          fail("malformed channel message");
        }
      }
      events += !e.isMeta();
    }
  }
  const midibuilder::TempoMap map(file);
  const auto schedule = midibuilder::scheduleOf(file);
  if (schedule.size() > events) fail("schedule holds more than the tracks' messages");
  for (std::size_t i = 1; i < schedule.size(); ++i) {
    const auto& a = schedule[i - 1];
    const auto& b = schedule[i];
    if (b.tick < a.tick || (b.tick == a.tick && b.track < a.track) || !(b.seconds >= a.seconds) ||
        !std::isfinite(b.seconds)) {
      fail("schedule out of order");
    }
  }
  (void)map.tickAt(schedule.empty() ? 0.0 : schedule.back().seconds);
  (void)map.tickOfBarBeat(static_cast<int>(size % 4096) - 8, 1.5);

  const auto notes = [](const std::vector<midibuilder::TimedMessage>& messages) {
    std::size_t n = 0;
    for (const auto& m : messages) n += (m.bytes[0] & 0xE0) == 0x80;
    return n;
  };
  const auto fitted =
      midibuilder::fitCableBudget({data, size}, 1000 + static_cast<int>(size % 3000));
  const auto again = midibuilder::readSmf(fitted.bytes);
  if (!again.file) fail("the budget pass wrote a file that does not read: " + again.error);
  if (notes(midibuilder::scheduleOf(*again.file)) != notes(schedule)) fail("the budget lost notes");
  return 0;
}
