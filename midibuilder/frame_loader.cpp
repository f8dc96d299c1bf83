#include "frame_loader.h"

#include "builder_math.h"
#include "file_io.h"
#include "messages.h"
#include "targets/targets.h"

namespace midibuilder {

std::string loadFrames(common::AllocationRegistry& registry, const std::string& path,
                       FrameSet& frames) {
  uint8_t* block = nullptr;
  int32_t length = 0;
  std::string message = common::readWholeFile(registry, path, kFrameSlack, block, length);
  if (!message.empty()) return message;
  const int32_t count = common::frameCountForLength(length);
  if (count > kTableFrames) return std::string(msg::kDatTooLong);
  frames.buffer = block;
  frames.frameCount = count;
  frames.peakLevel = 1;
  return {};
}

int32_t findPeakLevel(const FrameSet& frames) {
  int32_t peak = 1;
  for (int32_t f = 0; f < frames.frameCount; ++f) {
    for (int32_t k = 0; k < frames.slotsPerRecord; ++k) {
      const int32_t level = frames.level(f, k);
      if (level > peak) peak = level;
    }
  }
  return peak;
}

void normaliseLevels(FrameSet& frames, int32_t polyphony, int32_t usedChannels) {
  const int32_t threshold = frames.peakLevel / 256;
  for (int32_t f = 0; f < frames.frameCount; ++f) {
    for (int32_t k = 0; k < usedChannels; ++k) {
      if (k >= polyphony || frames.level(f, k) < threshold) frames.setLevel(f, k, 0);
    }
  }
}

void buildBendGainTable(BuilderTables& tables, const BendCorrection& correction) {
  const std::array<double, 9>& up = correction.gainUp;
  const std::array<double, 9>& down = correction.gainDown;
  std::vector<double>& gain = tables.bendGainTable;
  for (int i = 0; i < 8; ++i) {
    for (int j = 0; j < 512; ++j) {
      gain[static_cast<std::size_t>(8192 + 512 * i + j)] =
          ((512 - j) * up[i] + j * up[i + 1]) / 512.0;
      gain[static_cast<std::size_t>(8192 - 512 * i - j)] =
          ((512 - j) * down[i] + j * down[i + 1]) / 512.0;
    }
  }
  for (int v = 12288; v < kBendValues; ++v) gain[static_cast<std::size_t>(v)] = up[8];
  for (int v = 0; v <= 4096; ++v) gain[static_cast<std::size_t>(v)] = down[8];
  tables.bendGainReference = correction.reference;
}

void buildPitchTable(BuilderTables& tables, const FrameSet& frames, int32_t usedChannels) {
  for (int32_t f = 0; f < frames.frameCount; ++f) {
    for (int32_t k = 0; k < usedChannels; ++k) {
      tables.pitch(f, k) = pitchOfFrequency(frames.frequency(f, k));
    }
  }
}

void prepareFrames(BuilderTables& tables, FrameSet& frames, const BuilderOptions& options) {
  frames.peakLevel = findPeakLevel(frames);
  normaliseLevels(frames, options.polyphony, options.usedChannels);
  const BendCorrection& correction = targetOf(options).bendCorrection;
  if (correction.enabled) buildBendGainTable(tables, correction);
  buildPitchTable(tables, frames, options.usedChannels);
}

}  // namespace midibuilder
