// Loads a RIFF WAVE file (PCM, 44100 Hz, 16-bit, mono or stereo) into the analyser's working
// signal: 24-bit-scaled samples framed by zero margins, plus an equally sized residual buffer.
#pragma once

#include <cstdint>
#include <string>

#include "alloc_registry.h"

namespace analyser {

// Zero samples before and after the recording, so that shifted and trailing analysis windows
// never leave the buffer.
inline constexpr int32_t kMarginSamples = 16384;
// 600 seconds at 44100 Hz.
inline constexpr int32_t kMaxSampleCount = 26460000;
// Zero bytes read after the file image, so header fields past a short file read as 0.
inline constexpr int32_t kWaveReadExtra = 4096;
// Chunk headers are looked for only inside this many leading bytes.
inline constexpr int64_t kChunkSearchLimit = 1024;
// Slack added to each signal buffer request.
inline constexpr int32_t kBufferSlackBytes = 1048576;

struct WaveSignal {
  int32_t sampleCount = 0;
  // sampleCount + 2 * kMarginSamples values each; sample i of the file is at kMarginSamples + i.
  // Both blocks belong to the allocation registry.
  int32_t* signal = nullptr;
  int32_t* residual = nullptr;

  int64_t bufferLength() const { return int64_t{sampleCount} + 2 * int64_t{kMarginSamples}; }
};

enum class LoadStatus {
  Loaded,
  Refused,        // `message` says why; the caller ends the conversion with it
  MemoryFailure,  // the signal buffers were not obtained; the registry has been freed already
};

// What the WAVE loader read of a file's format before it accepted or refused it; `known` is
// false when it did not get as far as both the format and the data chunk headers.
struct WaveFormat {
  bool known = false;
  uint32_t sampleRate = 0;
  uint16_t bitsPerSample = 0;
  uint32_t dataSize = 0;  // as the data chunk's header gives it
};

struct LoadResult {
  LoadStatus status = LoadStatus::Refused;
  std::string message;  // empty when loaded
  WaveSignal wave;
  WaveFormat format;
};

// Walks RIFF chunks from `position` while it is below `limit`: found when the four bytes at
// `position` equal `id` (position left at that header), otherwise steps over the chunk by its
// stored size plus 8 (no pad byte after an odd size). A step that reaches or passes `limit`
// ends the walk. The caller guarantees that 8 bytes are readable at every position below
// `limit`.
bool findChunk(const uint8_t* image, int64_t& position, int64_t limit, const char (&id)[5]);

// Reads and validates the file at `path` and builds the signal and residual buffers (the
// residual is left unfilled). On MemoryFailure every registry block has been released.
LoadResult loadWave(common::AllocationRegistry& registry, const std::string& path);

// The same checks and buffers over a file image already in memory: `length` bytes followed by
// kWaveReadExtra zero bytes (as loadWave reads a file). The image is left to the caller.
LoadResult loadWaveImage(common::AllocationRegistry& registry, const uint8_t* image,
                         int32_t length);

// Builds the signal and residual buffers from `frameCount` 16-bit frames of one or two
// channels (interleaved), mixed exactly as loadWave mixes a file's data: mono s * 256, stereo
// (L + R) * 128. More than kMaxSampleCount frames are refused before anything is allocated.
LoadResult signalFromSamples(common::AllocationRegistry& registry, const int16_t* samples,
                             int64_t frameCount, int channels);

}  // namespace analyser
