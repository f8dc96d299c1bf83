#include "smf_writer.h"

#include <cmath>
#include <limits>

#include "builder_math.h"
#include "file_io.h"
#include "messages.h"
#include "midi_events.h"

namespace midibuilder {

namespace {

void putBigEndian32(std::vector<uint8_t>& out, std::size_t at, uint32_t value) {
  out[at] = static_cast<uint8_t>(value >> 24);
  out[at + 1] = static_cast<uint8_t>(value >> 16);
  out[at + 2] = static_cast<uint8_t>(value >> 8);
  out[at + 3] = static_cast<uint8_t>(value);
}

// "MTrk" and a length to be filled in; returns the chunk's start.
std::size_t beginTrack(std::vector<uint8_t>& out) {
  const std::size_t start = out.size();
  out.insert(out.end(), {'M', 'T', 'r', 'k', 0, 0, 0, 0});
  return start;
}

void endTrack(std::vector<uint8_t>& out, std::size_t start) {
  putBigEndian32(out, start + 4, static_cast<uint32_t>(out.size() - start - 8));
}

// Set-up events 1 ... 35 after their status bytes (event 31's value is per device).
struct SetupEvent {
  uint8_t bytes[3];
  uint8_t size;
};
constexpr int kVolumeEvent = 31;
constexpr SetupEvent kSetupEvents[36] = {
    {{0xE0, 0x00, 0x40}, 3}, {{0xB0, 0x00, 0x08}, 3}, {{0xC0, 0x50, 0x00}, 2},
    {{0xB0, 0x65, 0x00}, 3}, {{0x64, 0x00}, 2},       {{0x06, 0x18}, 2},
    {{0x63, 0x02}, 2},       {{0x62, 0x00}, 2},       {{0x06, 0x00}, 2},
    {{0x26, 0x00}, 2},       {{0x63, 0x03}, 2},       {{0x62, 0x01}, 2},
    {{0x06, 0x00}, 2},       {{0x26, 0x00}, 2},       {{0x49, 0x00}, 2},
    {{0x4B, 0x00}, 2},       {{0x48, 0x00}, 2},       {{0x63, 0x06}, 2},
    {{0x62, 0x00}, 2},       {{0x06, 0x00}, 2},       {{0x26, 0x00}, 2},
    {{0x63, 0x06}, 2},       {{0x62, 0x01}, 2},       {{0x06, 0x7F}, 2},
    {{0x26, 0x00}, 2},       {{0x5B, 0x00}, 2},       {{0x63, 0x01}, 2},
    {{0x62, 0x63}, 2},       {{0x06, 0x00}, 2},       {{0x62, 0x66}, 2},
    {{0x06, 0x00}, 2},       {{0x07, 0x64}, 2},       {{0x63, 0x02}, 2},
    {{0x62, 0x02}, 2},       {{0x06, 0x3C}, 2},       {{0x26, 0x00}, 2},
};

}  // namespace

int32_t tempoMicroseconds(double tempo) {
  return truncClamped(60000000 / tempo + 0.5, 0, 0xFFFFFF);
}

std::string outputPathFor(const std::string& inputPath) {
  const std::size_t keep = inputPath.size() >= 3 ? inputPath.size() - 3 : 0;
  return inputPath.substr(0, keep) + "mid";
}

void writeSetupBlock(std::vector<uint8_t>& out, int32_t channel, int32_t timeBase, int32_t device) {
  double previous = 0.0;  // b(M - 1)
  for (int m = 0; m < 36; ++m) {
    if (m == 0) {
      writeVarLen(out, static_cast<uint32_t>(timeBase));
    } else {
      // Event M lies at timeBase + trunc(timeBase x M / 50): the deltas carry the truncation.
      const double b = static_cast<double>(timeBase) * m / 50;
      writeVarLen(out, static_cast<uint32_t>(truncClamped(b - std::trunc(previous), 0, 65535)));
      previous = b;
    }
    const SetupEvent& e = kSetupEvents[m];
    for (int i = 0; i < e.size; ++i) {
      uint8_t byte = e.bytes[i];
      if (i == 0 && m < 4) byte = static_cast<uint8_t>(byte + channel);  // status bytes
      if (m == kVolumeEvent && i == 1) byte = device == kDeviceSc88 ? 0x7F : 0x64;
      out.push_back(byte);
    }
  }
}

void writeConductorTrack(std::vector<uint8_t>& out, double tempo, int32_t timeBase) {
  const std::size_t start = beginTrack(out);
  const auto us = static_cast<uint32_t>(tempoMicroseconds(tempo));
  out.insert(out.end(), {0x00, 0xFF, 0x51, 0x03, static_cast<uint8_t>(us >> 16),
                         static_cast<uint8_t>(us >> 8), static_cast<uint8_t>(us)});
  out.insert(out.end(),
             {0x00, 0xF0, 0x0A, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7});
  writeVarLen(out, static_cast<uint32_t>(timeBase));
  out.insert(out.end(), {0xF0, 0x07, 0x7F, 0x7F, 0x04, 0x01, 0x00, 0x7F, 0xF7});
  out.insert(out.end(), {0x00, 0xFF, 0x2F, 0x00});
  endTrack(out, start);
}

void assembleMidiFile(BuilderTables& tables, const FrameSet& frames,
                      const BuilderOptions& options) {
  std::vector<uint8_t>& out = tables.smfImage;
  out.clear();
  const auto tracks = static_cast<uint32_t>(options.usedChannels + 1);
  const auto division = static_cast<uint32_t>(options.timeBase);
  out.insert(out.end(), {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, static_cast<uint8_t>(tracks >> 8),
                         static_cast<uint8_t>(tracks), static_cast<uint8_t>(division >> 8),
                         static_cast<uint8_t>(division)});
  // Ticks from the set-up block's last event to the note start time.
  const int64_t startDelta = static_cast<int64_t>(options.noteStartTime) - options.timeBase -
                             static_cast<int64_t>(std::trunc(options.timeBase * 35.0 / 50));
  for (int32_t ch = 0; ch < options.usedChannels; ++ch) {
    const std::size_t start = beginTrack(out);
    writeSetupBlock(out, ch, options.timeBase, options.device);
    emitChannelEvents(tables, frames, options, ch, startDelta, out);
    endTrack(out, start);
  }
  writeConductorTrack(out, options.tempo, options.timeBase);
}

std::string buildMidiFile(BuilderTables& tables, const FrameSet& frames,
                          const BuilderOptions& options, const std::string& inputPath) {
  assembleMidiFile(tables, frames, options);
  // Far beyond any real conversion (36,001 frames make a few megabytes), but a length field of
  // the write must not wrap.
  if (tables.smfImage.size() > static_cast<std::size_t>(std::numeric_limits<int32_t>::max())) {
    return std::string(msg::kNoMemory);
  }
  return common::writeWholeFile(outputPathFor(inputPath), tables.smfImage.data(),
                                static_cast<int32_t>(tables.smfImage.size()));
}

}  // namespace midibuilder
