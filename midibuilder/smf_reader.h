// Reading Standard MIDI Files back: the tracks' events with absolute ticks, a tempo map from
// ticks to seconds, and the merged schedule a player sends. Any bytes are safe to give it: a
// file it cannot read is refused with an English message.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace midibuilder {

struct SmfEvent {
  int64_t tick = 0;  // absolute tick within its track
  // The whole message as sent: the status byte is included even where the file used running
  // status. A meta event is FF, its type and its data (no length); a system exclusive event is
  // F0 and its data (F7 included when present); an escaped event is F7 and the bytes it carries.
  std::vector<uint8_t> bytes;

  bool isMeta() const { return !bytes.empty() && bytes[0] == 0xFF; }
  bool isSysex() const { return !bytes.empty() && (bytes[0] == 0xF0 || bytes[0] == 0xF7); }
  // 0 ... 15 for a channel message, -1 otherwise.
  int channel() const {
    return !bytes.empty() && bytes[0] >= 0x80 && bytes[0] < 0xF0 ? bytes[0] & 0x0F : -1;
  }
  // The meta event's type, or -1.
  int metaType() const { return isMeta() && bytes.size() >= 2 ? bytes[1] : -1; }
};

struct SmfTrack {
  std::vector<SmfEvent> events;  // in file order, End of Track included when present
  // The whole MTrk chunk, its 8-byte header included, within the file's bytes: a caller can copy
  // the track verbatim.
  std::size_t chunkOffset = 0, chunkSize = 0;
};

struct SmfFile {
  int format = 1;
  int timeBase = 480;  // ticks per quarter note
  std::vector<SmfTrack> tracks;
};

struct SmfReadResult {
  std::optional<SmfFile> file;
  std::string error;  // in English; empty when `file` holds the file
};

// Reads a whole file. Refuses SMPTE time bases, truncated or malformed chunks, bad
// variable-length quantities and fewer tracks than the header declares; chunks of other types
// are skipped, as are bytes after a track's End of Track. A track without End of Track ends
// with its chunk.
SmfReadResult readSmf(std::span<const uint8_t> bytes);

// Ticks to seconds and back, from every track's tempo events (FF 51) and time signatures
// (FF 58). Where two tracks set one at the same tick, the later track wins.
class TempoMap {
 public:
  explicit TempoMap(const SmfFile& file);

  // 120 beats a minute before the first tempo event; negative ticks extend the first tempo.
  double secondsAt(int64_t tick) const;
  // The nearest tick to a time (the inverse of secondsAt), within +-2^53.
  int64_t tickAt(double seconds) const;
  // The tick of beat `beat` (1 = the bar's first, fractions allowed) of bar `bar` (1 = the
  // first), counting beats in the time signature's denominator; 4/4 before the first time
  // signature. A time signature that falls inside a bar starts a new bar there.
  int64_t tickOfBarBeat(int bar, double beat) const;

  struct Tempo {
    int64_t tick;
    double seconds;         // secondsAt(tick)
    uint32_t usPerQuarter;  // microseconds per quarter note from this tick on
  };
  struct TimeSignature {
    int64_t tick;
    int64_t bar;           // the bar number that starts at `tick`
    int numerator;         // beats in a bar
    int denominatorPower;  // a beat is a 1/2^denominatorPower note
  };
  const std::vector<Tempo>& tempos() const { return tempos_; }
  const std::vector<TimeSignature>& timeSignatures() const { return signatures_; }

 private:
  int timeBase_;
  std::vector<Tempo> tempos_;              // by tick, the first at tick 0
  std::vector<TimeSignature> signatures_;  // by tick, the first at tick 0
};

struct TimedMessage {
  double seconds;
  int64_t tick;
  int track;
  std::vector<uint8_t> bytes;  // as sent: an escaped (F7) event's bytes without the F7 marker
};

// Every non-meta event of every track merged in time order (ties: the lower track first, then
// file order): what a player sends and when.
std::vector<TimedMessage> scheduleOf(const SmfFile& file);

}  // namespace midibuilder
