// A strict reader of Standard MIDI Files for the tests: it checks the structure that players
// rely on and decodes channel events with their absolute ticks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace smf_check {

struct Event {
  uint64_t tick = 0;
  std::vector<uint8_t> bytes;  // status byte included, also under running status
};

struct Track {
  std::vector<Event> events;
};

struct File {
  int format = 0;
  int trackCount = 0;
  int division = 0;
  std::vector<Track> tracks;
};

namespace detail {

inline bool readVarLen(const std::vector<uint8_t>& d, std::size_t& i, std::size_t end,
                       uint32_t& value, std::string& error) {
  value = 0;
  for (int n = 0; n < 4; ++n) {
    if (i >= end) {
      error = "variable-length quantity runs past the chunk";
      return false;
    }
    const uint8_t b = d[i++];
    value = (value << 7) | (b & 0x7F);
    if ((b & 0x80) == 0) return true;
  }
  error = "variable-length quantity longer than 4 bytes";
  return false;
}

inline uint32_t be32(const std::vector<uint8_t>& d, std::size_t i) {
  return (uint32_t{d[i]} << 24) | (uint32_t{d[i + 1]} << 16) | (uint32_t{d[i + 2]} << 8) | d[i + 3];
}

// Decodes one track's events from `i` to `end`; returns an error text or "".
inline std::string decodeEvents(const std::vector<uint8_t>& d, std::size_t i, std::size_t end,
                                Track& track) {
  std::string error;
  uint64_t tick = 0;
  uint8_t running = 0;
  bool ended = false;
  while (i < end) {
    if (ended) return "events after End of Track";
    uint32_t delta = 0;
    if (!readVarLen(d, i, end, delta, error)) return error;
    if (delta > 0x0FFFFFFF) return "delta time too large";
    tick += delta;
    if (i >= end) return "event missing after delta time";
    Event ev;
    ev.tick = tick;
    uint8_t status = d[i];
    if (status < 0x80) {
      if (running == 0) return "running status without a preceding channel status";
      status = running;
    } else {
      ++i;
    }
    ev.bytes.push_back(status);
    if (status >= 0x80 && status <= 0xEF) {
      running = status;
      const int dataCount = (status & 0xF0) == 0xC0 || (status & 0xF0) == 0xD0 ? 1 : 2;
      for (int n = 0; n < dataCount; ++n) {
        if (i >= end) return "channel event cut short";
        if (d[i] >= 0x80) return "data byte with bit 7 set";
        ev.bytes.push_back(d[i++]);
      }
    } else if (status == 0xFF) {
      running = 0;
      if (i >= end) return "meta event cut short";
      const uint8_t type = d[i++];
      uint32_t length = 0;
      if (!readVarLen(d, i, end, length, error)) return error;
      if (i + length > end) return "meta event runs past the chunk";
      ev.bytes.push_back(type);
      ev.bytes.insert(ev.bytes.end(), d.begin() + static_cast<std::ptrdiff_t>(i),
                      d.begin() + static_cast<std::ptrdiff_t>(i + length));
      i += length;
      if (type == 0x2F) {
        if (length != 0) return "End of Track with data";
        ended = true;
      }
    } else if (status == 0xF0 || status == 0xF7) {
      running = 0;
      uint32_t length = 0;
      if (!readVarLen(d, i, end, length, error)) return error;
      if (i + length > end) return "system exclusive runs past the chunk";
      ev.bytes.insert(ev.bytes.end(), d.begin() + static_cast<std::ptrdiff_t>(i),
                      d.begin() + static_cast<std::ptrdiff_t>(i + length));
      i += length;
    } else {
      return "unexpected status byte";
    }
    track.events.push_back(std::move(ev));
  }
  if (!ended) return "track does not end with End of Track";
  return "";
}

}  // namespace detail

// Checks a whole file: header, chunk lengths, event syntax, End of Track at the end of every
// track, no bytes after the last chunk. Returns an error text, "" when the file is valid.
inline std::string check(const std::vector<uint8_t>& d, File* out = nullptr) {
  File file;
  if (d.size() < 14 || d[0] != 'M' || d[1] != 'T' || d[2] != 'h' || d[3] != 'd') {
    return "no header chunk";
  }
  if (detail::be32(d, 4) != 6) return "header length is not 6";
  file.format = (d[8] << 8) | d[9];
  file.trackCount = (d[10] << 8) | d[11];
  file.division = (d[12] << 8) | d[13];
  std::size_t i = 14;
  while (i < d.size()) {
    if (d.size() - i < 8) return "truncated chunk header";
    if (d[i] != 'M' || d[i + 1] != 'T' || d[i + 2] != 'r' || d[i + 3] != 'k') {
      return "chunk is not a track";
    }
    const uint32_t length = detail::be32(d, i + 4);
    if (length > d.size() - i - 8) return "track length runs past the file";
    Track track;
    const std::string error = detail::decodeEvents(d, i + 8, i + 8 + length, track);
    if (!error.empty()) {
      return "track " + std::to_string(file.tracks.size()) + ": " + error;
    }
    file.tracks.push_back(std::move(track));
    i += 8 + length;
  }
  if (static_cast<int>(file.tracks.size()) != file.trackCount) {
    return "track count differs from the header";
  }
  if (out != nullptr) *out = std::move(file);
  return "";
}

// Decodes a bare event stream (no chunk header) that ends with End of Track.
inline std::string decode(const std::vector<uint8_t>& d, Track& track) {
  return detail::decodeEvents(d, 0, d.size(), track);
}

}  // namespace smf_check
