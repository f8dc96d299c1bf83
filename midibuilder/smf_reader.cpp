#include "smf_reader.h"

#include <algorithm>
#include <cmath>
#include <tuple>

namespace midibuilder {

namespace {

constexpr uint32_t kDefaultTempo = 500000;  // 120 beats a minute

uint32_t bigEndian(std::span<const uint8_t> b, std::size_t at, int count) {
  uint32_t value = 0;
  for (int i = 0; i < count; ++i) value = value << 8 | b[at + static_cast<std::size_t>(i)];
  return value;
}

std::string at(std::size_t offset, const std::string& what) {
  return what + " at byte " + std::to_string(offset);
}

// Reads one track's events from [i, end). Returns an error text or "".
class TrackParser {
 public:
  TrackParser(std::span<const uint8_t> bytes, std::size_t begin, std::size_t end)
      : b_(bytes), i_(begin), end_(end) {}

  std::string parse(std::vector<SmfEvent>& events) {
    int64_t tick = 0;
    uint8_t running = 0;
    while (i_ < end_) {
      uint32_t delta = 0;
      if (!varLen(delta)) return error_;
      tick += delta;  // at most 2^28 per event and fewer events than bytes: no overflow
      if (i_ >= end_) return at(i_, "event missing after its delta time");
      SmfEvent ev;
      ev.tick = tick;
      uint8_t status = b_[i_];
      if (status < 0x80) {
        if (running == 0) return at(i_, "data byte without a running status");
        status = running;
      } else {
        ++i_;
      }
      ev.bytes.push_back(status);
      if (status < 0xF0) {
        running = status;
        const int count = (status & 0xE0) == 0xC0 ? 1 : 2;  // program change, channel pressure
        for (int n = 0; n < count; ++n) {
          if (i_ >= end_) return at(i_, "channel message cut short");
          if (b_[i_] >= 0x80) return at(i_, "status byte inside a channel message");
          ev.bytes.push_back(b_[i_++]);
        }
      } else if (status == 0xFF || status == 0xF0 || status == 0xF7) {
        running = 0;  // meta and system exclusive events cancel running status
        if (status == 0xFF) {
          if (i_ >= end_) return at(i_, "meta event cut short");
          ev.bytes.push_back(b_[i_++]);
        }
        uint32_t length = 0;
        if (!varLen(length)) return error_;
        if (length > end_ - i_) return at(i_, "event data runs past the end of its track");
        ev.bytes.insert(ev.bytes.end(), b_.begin() + static_cast<std::ptrdiff_t>(i_),
                        b_.begin() + static_cast<std::ptrdiff_t>(i_ + length));
        i_ += length;
      } else {
        return at(i_ - 1, "status byte not allowed in a file");
      }
      const bool endOfTrack = ev.metaType() == 0x2F;
      events.push_back(std::move(ev));
      if (endOfTrack) break;
    }
    return "";
  }

 private:
  // A variable-length quantity of at most four bytes.
  bool varLen(uint32_t& value) {
    value = 0;
    for (int n = 0; n < 4; ++n) {
      if (i_ >= end_) {
        error_ = at(i_, "variable-length quantity runs past the end of its track");
        return false;
      }
      const uint8_t byte = b_[i_++];
      value = value << 7 | (byte & 0x7F);
      if ((byte & 0x80) == 0) return true;
    }
    error_ = at(i_ - 4, "variable-length quantity longer than four bytes");
    return false;
  }

  std::span<const uint8_t> b_;
  std::size_t i_;
  std::size_t end_;
  std::string error_;
};

int64_t roundedTick(double ticks) {
  // Beyond 2^53 a double no longer holds every tick; no file reaches that far.
  constexpr double kLimit = 9007199254740992.0;
  if (!(ticks > -kLimit)) return static_cast<int64_t>(-kLimit);
  if (!(ticks < kLimit)) return static_cast<int64_t>(kLimit);
  return static_cast<int64_t>(std::llround(ticks));
}

}  // namespace

SmfReadResult readSmf(std::span<const uint8_t> bytes) {
  SmfReadResult result;
  const auto fail = [&](std::string error) {
    result.error = std::move(error);
    return result;
  };
  if (bytes.size() < 14 || bytes[0] != 'M' || bytes[1] != 'T' || bytes[2] != 'h' ||
      bytes[3] != 'd') {
    return fail("not a Standard MIDI File (no MThd header)");
  }
  const uint32_t headerSize = bigEndian(bytes, 4, 4);
  if (headerSize < 6) return fail("header chunk shorter than 6 bytes");
  if (headerSize > bytes.size() - 8) return fail("header chunk runs past the end of the file");
  SmfFile file;
  file.format = static_cast<int>(bigEndian(bytes, 8, 2));
  if (file.format > 2) return fail("unknown format " + std::to_string(file.format));
  const uint32_t declared = bigEndian(bytes, 10, 2);
  const uint32_t division = bigEndian(bytes, 12, 2);
  if ((division & 0x8000) != 0) return fail("SMPTE time division is not supported");
  if (division == 0) return fail("time division of 0 ticks per quarter note");
  file.timeBase = static_cast<int>(division);

  std::size_t i = 8 + static_cast<std::size_t>(headerSize);
  while (i < bytes.size() && file.tracks.size() < declared) {
    if (bytes.size() - i < 8) return fail(at(i, "truncated chunk header"));
    const uint32_t size = bigEndian(bytes, i + 4, 4);
    if (size > bytes.size() - i - 8) return fail(at(i, "chunk runs past the end of the file"));
    const bool isTrack =
        bytes[i] == 'M' && bytes[i + 1] == 'T' && bytes[i + 2] == 'r' && bytes[i + 3] == 'k';
    if (isTrack) {
      SmfTrack track;
      track.chunkOffset = i;
      track.chunkSize = 8 + static_cast<std::size_t>(size);
      const std::string error = TrackParser(bytes, i + 8, i + 8 + size).parse(track.events);
      if (!error.empty()) {
        return fail("track " + std::to_string(file.tracks.size() + 1) + ": " + error);
      }
      file.tracks.push_back(std::move(track));
    }
    i += 8 + static_cast<std::size_t>(size);
  }
  if (file.tracks.size() < declared) {
    return fail("file ends after " + std::to_string(file.tracks.size()) + " of " +
                std::to_string(declared) + " tracks");
  }
  result.file = std::move(file);
  return result;
}

TempoMap::TempoMap(const SmfFile& file) : timeBase_(file.timeBase > 0 ? file.timeBase : 480) {
  // (tick, track, index, event): sorted so that the last entry of a tick is the one that holds.
  std::vector<std::tuple<int64_t, std::size_t, std::size_t, const SmfEvent*>> tempoEvents,
      signatureEvents;
  for (std::size_t t = 0; t < file.tracks.size(); ++t) {
    const auto& events = file.tracks[t].events;
    for (std::size_t n = 0; n < events.size(); ++n) {
      const SmfEvent& e = events[n];
      // A tempo of 0 would stop time; such events are ignored.
      if (e.metaType() == 0x51 && e.bytes.size() == 5 && bigEndian(e.bytes, 2, 3) != 0) {
        tempoEvents.emplace_back(e.tick, t, n, &e);
      } else if (e.metaType() == 0x58 && e.bytes.size() >= 4 && e.bytes[2] != 0 &&
                 e.bytes[3] <= 16) {
        signatureEvents.emplace_back(e.tick, t, n, &e);
      }
    }
  }
  std::sort(tempoEvents.begin(), tempoEvents.end());
  std::sort(signatureEvents.begin(), signatureEvents.end());

  tempos_.push_back({0, 0.0, kDefaultTempo});
  for (const auto& [tick, track, index, e] : tempoEvents) {
    const uint32_t us = bigEndian(e->bytes, 2, 3);
    const Tempo& last = tempos_.back();
    if (tick <= last.tick) {
      // A negative tick cannot occur in a read file; treat it as the start.
      tempos_.back().usPerQuarter = us;
      continue;
    }
    const double seconds =
        last.seconds + static_cast<double>(tick - last.tick) * last.usPerQuarter / 1e6 / timeBase_;
    tempos_.push_back({tick, seconds, us});
  }

  signatures_.push_back({0, 1, 4, 2});
  for (const auto& [tick, track, index, e] : signatureEvents) {
    const int numerator = e->bytes[2];
    const int power = e->bytes[3];
    const TimeSignature& last = signatures_.back();
    if (tick <= last.tick) {
      signatures_.back().numerator = numerator;
      signatures_.back().denominatorPower = power;
      continue;
    }
    // Whole bars since the last change, and a started bar counts as one.
    const double barTicks =
        4.0 * timeBase_ * last.numerator / std::ldexp(1.0, last.denominatorPower);
    // Bar numbers saturate at 2^53, far beyond any file, so that the count cannot overflow.
    constexpr double kMaxBar = 9007199254740992.0;
    const double bars = std::ceil(static_cast<double>(tick - last.tick) / barTicks);
    const auto bar = static_cast<int64_t>(std::min(static_cast<double>(last.bar) + bars, kMaxBar));
    signatures_.push_back({tick, bar, numerator, power});
  }
}

double TempoMap::secondsAt(int64_t tick) const {
  auto it = std::upper_bound(tempos_.begin(), tempos_.end(), tick,
                             [](int64_t t, const Tempo& tempo) { return t < tempo.tick; });
  const Tempo& tempo = it == tempos_.begin() ? tempos_.front() : *(it - 1);
  return tempo.seconds +
         static_cast<double>(tick - tempo.tick) * tempo.usPerQuarter / 1e6 / timeBase_;
}

int64_t TempoMap::tickAt(double seconds) const {
  if (std::isnan(seconds)) return 0;
  auto it = std::upper_bound(tempos_.begin(), tempos_.end(), seconds,
                             [](double s, const Tempo& tempo) { return s < tempo.seconds; });
  const Tempo& tempo = it == tempos_.begin() ? tempos_.front() : *(it - 1);
  return roundedTick(static_cast<double>(tempo.tick) +
                     (seconds - tempo.seconds) * 1e6 * timeBase_ / tempo.usPerQuarter);
}

int64_t TempoMap::tickOfBarBeat(int bar, double beat) const {
  auto it = std::upper_bound(signatures_.begin(), signatures_.end(), bar,
                             [](int b, const TimeSignature& s) { return b < s.bar; });
  const TimeSignature& s = it == signatures_.begin() ? signatures_.front() : *(it - 1);
  const double beatTicks = 4.0 * timeBase_ / std::ldexp(1.0, s.denominatorPower);
  return roundedTick(static_cast<double>(s.tick) +
                     (static_cast<double>(bar - s.bar) * s.numerator + (beat - 1.0)) * beatTicks);
}

std::vector<TimedMessage> scheduleOf(const SmfFile& file) {
  const TempoMap map(file);
  std::vector<TimedMessage> out;
  for (std::size_t t = 0; t < file.tracks.size(); ++t) {
    for (const SmfEvent& e : file.tracks[t].events) {
      if (e.bytes.empty() || e.isMeta()) continue;
      TimedMessage m{map.secondsAt(e.tick), e.tick, static_cast<int>(t), {}};
      // An escaped event carries raw bytes: the F7 only marks it in the file.
      const auto from = e.bytes[0] == 0xF7 ? e.bytes.begin() + 1 : e.bytes.begin();
      m.bytes.assign(from, e.bytes.end());
      if (!m.bytes.empty()) out.push_back(std::move(m));
    }
  }
  // Tracks were appended in order and each in file order: a stable sort by tick keeps the ties.
  std::stable_sort(out.begin(), out.end(),
                   [](const TimedMessage& a, const TimedMessage& b) { return a.tick < b.tick; });
  return out;
}

}  // namespace midibuilder
