#include "builder_check.h"

#include <array>
#include <cmath>
#include <vector>

namespace smfcheck {
namespace {

using Bytes = std::vector<uint8_t>;

std::string inTrack(std::size_t track, std::size_t event, const std::string& what) {
  return "track " + std::to_string(track) + " event " + std::to_string(event) + ": " + what;
}

// Data bytes of set-up events 3 to 35 (control changes on 0xB0 + channel); event 31 is the
// channel volume, filled in per device.
constexpr std::array<std::array<uint8_t, 2>, 33> kSetupControls = {{
    {0x65, 0x00}, {0x64, 0x00}, {0x06, 0x18}, {0x63, 0x02}, {0x62, 0x00}, {0x06, 0x00},
    {0x26, 0x00}, {0x63, 0x03}, {0x62, 0x01}, {0x06, 0x00}, {0x26, 0x00}, {0x49, 0x00},
    {0x4B, 0x00}, {0x48, 0x00}, {0x63, 0x06}, {0x62, 0x00}, {0x06, 0x00}, {0x26, 0x00},
    {0x63, 0x06}, {0x62, 0x01}, {0x06, 0x7F}, {0x26, 0x00}, {0x5B, 0x00}, {0x63, 0x01},
    {0x62, 0x63}, {0x06, 0x00}, {0x62, 0x66}, {0x06, 0x00}, {0x07, 0x00}, {0x63, 0x02},
    {0x62, 0x02}, {0x06, 0x3C}, {0x26, 0x00},
}};

std::string checkSetupBlock(const Track& track, std::size_t t, const BuilderOptions& o) {
  const auto ch = static_cast<uint8_t>(t);
  if (track.events.size() < 37) return inTrack(t, 0, "fewer events than the set-up block");
  for (int m = 0; m < 36; ++m) {
    const Event& ev = track.events[static_cast<std::size_t>(m)];
    const double b = static_cast<double>(o.timeBase) * m / 50.0;
    const int64_t tick = o.timeBase + static_cast<int64_t>(b);
    if (ev.tick != tick) return inTrack(t, m, "set-up event at tick " + std::to_string(ev.tick));
    Bytes want;
    uint8_t status = 0xB0 + ch;
    if (m == 0) {
      status = 0xE0 + ch;
      want = {0x00, 0x40};
    } else if (m == 1) {
      want = {0x00, 0x08};
    } else if (m == 2) {
      status = 0xC0 + ch;
      want = {0x50};
    } else {
      const auto& pair = kSetupControls[static_cast<std::size_t>(m - 3)];
      want = {pair[0], pair[1]};
      if (m == 31) want[1] = o.device == 1 ? 0x7F : 0x64;
    }
    if (ev.status != status || ev.data != want) return inTrack(t, m, "set-up event differs");
    if (ev.runningStatus != (m >= 4)) return inTrack(t, m, "set-up running status differs");
  }
  return {};
}

std::string checkChannelEvents(const Track& track, std::size_t t, const BuilderOptions& o,
                               int64_t endTick) {
  const auto ch = static_cast<uint8_t>(t);
  int held = 0;
  for (std::size_t i = 36; i < track.events.size(); ++i) {
    const Event& ev = track.events[i];
    if (ev.status == 0xFF) {
      if (ev.metaType == 0x2F) {
        if (held != 0) return inTrack(t, i, "note still on at End of Track");
        if (ev.tick != endTick) {
          return inTrack(t, i,
                         "End of Track at tick " + std::to_string(ev.tick) + " instead of " +
                             std::to_string(endTick));
        }
        continue;
      }
      // Long waits are split by empty text events.
      if (ev.metaType != 0x01 || !ev.data.empty()) return inTrack(t, i, "unexpected meta event");
      continue;
    }
    if (ev.tick < o.noteStartTime) return inTrack(t, i, "channel event before the note start");
    if (ev.tick > endTick) return inTrack(t, i, "channel event after the last frame");
    if (ev.status == 0x90 + ch) {
      if (ev.data[1] == 0x7F) {
        if (held != 0) return inTrack(t, i, "note start while a note is held");
        if (ev.data[0] == 0) return inTrack(t, i, "note start of note 0");
        held = ev.data[0];
      } else if (ev.data[1] == 0x00) {
        if (held == 0 || ev.data[0] != held) return inTrack(t, i, "release of a note not held");
        held = 0;
      } else {
        return inTrack(t, i, "note velocity neither 127 nor 0");
      }
    } else if (ev.status == 0xB0 + ch) {
      if (ev.data[0] != 0x0B) return inTrack(t, i, "control change other than expression");
    } else if (ev.status != 0xE0 + ch) {
      return inTrack(t, i, "event of another kind or channel");
    }
  }
  return {};
}

std::string checkConductor(const Track& track, std::size_t t, const BuilderOptions& o) {
  const auto micros = static_cast<uint32_t>(60000000.0 / o.tempo + 0.5);
  const Bytes tempo = {static_cast<uint8_t>(micros >> 16), static_cast<uint8_t>(micros >> 8),
                       static_cast<uint8_t>(micros)};
  const Bytes gsReset = {0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7};
  const Bytes masterVolume = {0x7F, 0x7F, 0x04, 0x01, 0x00, 0x7F, 0xF7};
  const auto& e = track.events;
  if (e.size() != 4) return inTrack(t, 0, "conductor track not of four events");
  if (e[0].tick != 0 || e[0].status != 0xFF || e[0].metaType != 0x51 || e[0].data != tempo) {
    return inTrack(t, 0, "tempo event differs");
  }
  if (e[1].tick != 0 || e[1].status != 0xF0 || e[1].data != gsReset) {
    return inTrack(t, 1, "GS reset differs");
  }
  if (e[2].tick != o.timeBase || e[2].status != 0xF0 || e[2].data != masterVolume) {
    return inTrack(t, 2, "master volume differs");
  }
  if (e[3].tick != o.timeBase) return inTrack(t, 3, "End of Track not with the master volume");
  return {};
}

}  // namespace

int64_t framesToTicks(int32_t frameCount, int32_t timeBase, double tempo) {
  int64_t ticks = 0;
  double remainder = 0.0;
  for (int32_t k = 0; k < frameCount; ++k) {
    const double s = timeBase / 30.0 * tempo / 120.0 + remainder;
    const double whole = std::trunc(s);
    ticks += static_cast<int64_t>(whole);
    remainder = s - whole;
  }
  return ticks;
}

std::string checkBuilderOutput(const File& file, const BuilderOptions& o) {
  if (file.format != 1) return "format not 1";
  if (file.tracks.size() != static_cast<std::size_t>(o.usedChannels) + 1) {
    return "track count " + std::to_string(file.tracks.size());
  }
  if (file.division != static_cast<uint16_t>(o.timeBase)) return "division not the time base";
  const int64_t endTick =
      static_cast<int64_t>(o.noteStartTime) + framesToTicks(o.frameCount, o.timeBase, o.tempo);
  for (std::size_t t = 0; t + 1 < file.tracks.size(); ++t) {
    std::string error = checkSetupBlock(file.tracks[t], t, o);
    if (error.empty()) error = checkChannelEvents(file.tracks[t], t, o, endTick);
    if (!error.empty()) return error;
  }
  return checkConductor(file.tracks.back(), file.tracks.size() - 1, o);
}

}  // namespace smfcheck
