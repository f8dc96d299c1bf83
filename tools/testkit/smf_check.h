// A strict reader of Standard MIDI Files, for tests and fuzz harnesses: it accepts a file only
// when every chunk length is exact, every track ends in End of Track, every data byte is below
// 0x80, every delta time is a well-formed variable-length quantity of at most 0x0FFFFFFF and
// running status follows a channel status only. On success it lists the events of every track
// with their absolute ticks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace smfcheck {

struct Event {
  int64_t tick = 0;    // absolute tick in its track
  uint32_t delta = 0;  // delta time as written
  uint8_t status = 0;  // channel status (0x80..0xEF), 0xF0/0xF7 (system exclusive) or 0xFF (meta)
  bool runningStatus = false;  // the status byte was left out
  uint8_t metaType = 0;        // meta events only
  std::vector<uint8_t> data;   // channel data bytes, meta data or system-exclusive body
};

struct Track {
  std::vector<Event> events;
  int64_t endTick = 0;  // tick of the End of Track event
};

struct File {
  uint16_t format = 0;
  uint16_t division = 0;
  std::vector<Track> tracks;
};

// Parses `size` bytes. Returns the empty text on success, else a description of the first
// violation found (with its byte offset).
std::string parse(const uint8_t* bytes, std::size_t size, File& out);

}  // namespace smfcheck
