#include "smf_check.h"

#include <cstring>

namespace smfcheck {
namespace {

class Reader {
 public:
  Reader(const uint8_t* bytes, std::size_t begin, std::size_t end)
      : bytes_(bytes), pos_(begin), end_(end) {}

  std::size_t pos() const { return pos_; }
  bool atEnd() const { return pos_ >= end_; }
  std::size_t left() const { return end_ - pos_; }
  uint8_t peek() const { return bytes_[pos_]; }
  uint8_t take() { return bytes_[pos_++]; }

  // A variable-length quantity: at most four bytes, no leading 0x80 byte (the shortest form).
  bool quantity(uint32_t& value, std::string& error, const char* what) {
    const std::size_t start = pos_;
    value = 0;
    for (int n = 0; n < 4; ++n) {
      if (atEnd()) {
        error = std::string(what) + " runs past the end of the track at " + std::to_string(start);
        return false;
      }
      const uint8_t b = take();
      if (n == 0 && b == 0x80) {
        error = std::string(what) + " is not in its shortest form at " + std::to_string(start);
        return false;
      }
      value = (value << 7) | (b & 0x7Fu);
      if ((b & 0x80) == 0) return true;
    }
    error = std::string(what) + " is longer than four bytes at " + std::to_string(start);
    return false;
  }

 private:
  const uint8_t* bytes_;
  std::size_t pos_;
  std::size_t end_;
};

uint32_t be32(const uint8_t* p) {
  return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
         (static_cast<uint32_t>(p[2]) << 8) | p[3];
}
uint16_t be16(const uint8_t* p) {
  return static_cast<uint16_t>((p[0] << 8) | p[1]);
}

int channelDataCount(uint8_t status) {
  const uint8_t kind = status & 0xF0;
  return (kind == 0xC0 || kind == 0xD0) ? 1 : 2;
}

std::string at(const char* what, std::size_t offset) {
  return std::string(what) + " at " + std::to_string(offset);
}

std::string parseTrack(const uint8_t* bytes, std::size_t begin, std::size_t end, Track& track) {
  Reader r(bytes, begin, end);
  uint8_t running = 0;  // 0: no running status in force
  int64_t tick = 0;
  std::string error;
  while (!r.atEnd()) {
    Event ev;
    if (!r.quantity(ev.delta, error, "delta time")) return error;
    tick += ev.delta;
    ev.tick = tick;
    if (r.atEnd()) return at("event missing after its delta time", r.pos());
    const std::size_t eventStart = r.pos();
    uint8_t status = r.peek();
    if (status < 0x80) {
      if (running == 0) return at("running status without an earlier channel status", eventStart);
      status = running;
      ev.runningStatus = true;
    } else {
      r.take();
    }
    ev.status = status;

    if (status < 0xF0) {
      running = status;
      for (int i = 0; i < channelDataCount(status); ++i) {
        if (r.atEnd()) return at("channel event cut off", eventStart);
        const uint8_t b = r.take();
        if (b >= 0x80) return at("data byte 0x80 or above", r.pos() - 1);
        ev.data.push_back(b);
      }
    } else if (status == 0xFF) {
      running = 0;  // meta events cancel running status
      if (r.atEnd()) return at("meta event cut off", eventStart);
      ev.metaType = r.take();
      if (ev.metaType >= 0x80) return at("meta type 0x80 or above", r.pos() - 1);
      uint32_t length = 0;
      if (!r.quantity(length, error, "meta length")) return error;
      if (length > r.left()) return at("meta event runs past the end of the track", eventStart);
      for (uint32_t i = 0; i < length; ++i) ev.data.push_back(r.take());
      if (ev.metaType == 0x51 && length != 3) return at("Set Tempo not 3 bytes long", eventStart);
      if (ev.metaType == 0x2F) {
        if (length != 0) return at("End of Track with data", eventStart);
        if (!r.atEnd()) return at("bytes after End of Track", r.pos());
        track.endTick = tick;
        track.events.push_back(std::move(ev));
        return {};
      }
    } else if (status == 0xF0 || status == 0xF7) {
      running = 0;  // system exclusive cancels running status
      uint32_t length = 0;
      if (!r.quantity(length, error, "system exclusive length")) return error;
      if (length > r.left())
        return at("system exclusive runs past the end of the track", eventStart);
      for (uint32_t i = 0; i < length; ++i) ev.data.push_back(r.take());
      if (status == 0xF0) {
        if (ev.data.empty() || ev.data.back() != 0xF7) {
          return at("system exclusive not ended by F7", eventStart);
        }
        for (std::size_t i = 0; i + 1 < ev.data.size(); ++i) {
          if (ev.data[i] >= 0x80) return at("system exclusive byte 0x80 or above", eventStart);
        }
      }
    } else {
      return at("status byte not allowed in a file", eventStart);
    }
    track.events.push_back(std::move(ev));
  }
  return at("track without End of Track ending", end);
}

}  // namespace

std::string parse(const uint8_t* bytes, std::size_t size, File& out) {
  out = File{};
  if (size < 14 || std::memcmp(bytes, "MThd", 4) != 0) return "no MThd header chunk";
  if (be32(bytes + 4) != 6) return "header chunk length not 6";
  out.format = be16(bytes + 8);
  const uint16_t trackCount = be16(bytes + 10);
  out.division = be16(bytes + 12);
  if (out.format > 2) return "format above 2";
  if (trackCount == 0) return "no tracks";
  if (out.format == 0 && trackCount != 1) return "format 0 with more than one track";
  if (out.division == 0) return "division 0";

  std::size_t pos = 14;
  for (uint16_t t = 0; t < trackCount; ++t) {
    if (size - pos < 8) return at("track chunk header missing", pos);
    if (std::memcmp(bytes + pos, "MTrk", 4) != 0) return at("chunk is not MTrk", pos);
    const uint32_t length = be32(bytes + pos + 4);
    if (length > size - pos - 8) return at("track length runs past the end of the file", pos);
    Track track;
    const std::string error = parseTrack(bytes, pos + 8, pos + 8 + length, track);
    if (!error.empty()) return "track " + std::to_string(t) + ": " + error;
    out.tracks.push_back(std::move(track));
    pos += 8 + static_cast<std::size_t>(length);
  }
  if (pos != size) return at("bytes after the last track", pos);
  return {};
}

}  // namespace smfcheck
