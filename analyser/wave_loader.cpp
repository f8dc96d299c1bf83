#include "wave_loader.h"

#include <algorithm>
#include <cstring>
#include <system_error>
#include <thread>
#include <vector>

#include "file_io.h"
#include "messages.h"

namespace analyser {

namespace {

uint32_t readU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

uint16_t readU16(const uint8_t* p) {
  return static_cast<uint16_t>(static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8));
}

int16_t readS16(const uint8_t* p) {
  return static_cast<int16_t>(readU16(p));
}

LoadResult refuse(std::string_view text) {
  LoadResult result;
  result.status = LoadStatus::Refused;
  result.message = std::string(text);
  return result;
}

// Runs work(begin, end) over [0, count) in ranges, one per hardware thread for long
// recordings: what the conversion costs is mostly the first write to each page of the new
// buffer, and those page faults are served side by side. Where no thread can be started the
// range is converted here.
template <typename Work>
void inParallel(int32_t count, Work work) {
  constexpr int32_t kSamplesPerThread = 1 << 20;
  const unsigned hardware = std::thread::hardware_concurrency();
  const int threads = static_cast<int>(std::clamp<int64_t>(
      count / kSamplesPerThread, 1, hardware == 0 ? 1 : std::min(hardware, 8u)));
  auto range = [&](int t) {
    work(static_cast<int32_t>(int64_t{count} * t / threads),
         static_cast<int32_t>(int64_t{count} * (t + 1) / threads));
  };
  std::vector<std::thread> helpers;
  int started = 1;
  try {
    for (; started < threads; ++started) helpers.emplace_back(range, started);
  } catch (const std::system_error&) {
  }
  for (int t = started; t < threads; ++t) range(t);
  range(0);
  for (std::thread& helper : helpers) helper.join();
}

// The working signal from `sampleCount` frames of one or two channels; `sampleAt(i)` gives the
// i-th 16-bit value of the interleaved data.
template <typename SampleAt>
LoadResult buildSignal(common::AllocationRegistry& registry, int64_t sampleCount, int channels,
                       SampleAt sampleAt) {
  if (sampleCount < 0) return refuse(msg::kBadDataLength);
  if (sampleCount > kMaxSampleCount) return refuse(msg::kAudioTooLong);

  // At most 4 * 26,460,000 + 1,048,576 bytes: well inside a signed 32-bit size.
  const auto bufferBytes = static_cast<int32_t>(4 * sampleCount + kBufferSlackBytes);
  auto* signal = static_cast<int32_t*>(registry.trackedAlloc(bufferBytes));
  int32_t* residual = nullptr;
  if (signal != nullptr) residual = static_cast<int32_t*>(registry.trackedAlloc(bufferBytes));
  if (signal == nullptr || residual == nullptr) {
    registry.freeAll();
    LoadResult result;
    result.status = LoadStatus::MemoryFailure;
    result.message = std::string(msg::kNoMemory);
    return result;
  }

  const auto count = static_cast<int32_t>(sampleCount);
  std::fill(signal, signal + kMarginSamples, 0);
  int32_t* out = signal + kMarginSamples;
  auto convert = [&](int32_t begin, int32_t end) {
    if (channels == 1) {
      for (int32_t i = begin; i < end; ++i) out[i] = int32_t{sampleAt(int64_t{i})} * 256;
    } else {
      for (int32_t i = begin; i < end; ++i) {
        out[i] = (int32_t{sampleAt(2 * int64_t{i})} + int32_t{sampleAt(2 * int64_t{i} + 1)}) * 128;
      }
    }
  };
  inParallel(count, convert);
  std::fill(out + count, out + count + kMarginSamples, 0);

  LoadResult result;
  result.status = LoadStatus::Loaded;
  result.wave.sampleCount = count;
  result.wave.signal = signal;
  result.wave.residual = residual;
  return result;
}

}  // namespace

bool findChunk(const uint8_t* image, int64_t& position, int64_t limit, const char (&id)[5]) {
  while (position < limit) {
    if (std::memcmp(image + position, id, 4) == 0) return true;
    // 64-bit: position < 1024 and size < 2^32, so this never wraps.
    const int64_t next = position + int64_t{readU32(image + position + 4)} + 8;
    if (next >= limit) return false;
    position = next;
  }
  return false;
}

LoadResult loadWave(common::AllocationRegistry& registry, const std::string& path) {
  uint8_t* image = nullptr;
  int32_t length = 0;
  std::string readMessage = common::readWholeFile(registry, path, kWaveReadExtra, image, length);
  if (!readMessage.empty()) return refuse(readMessage);
  return loadWaveImage(registry, image, length);
}

LoadResult loadWaveImage(common::AllocationRegistry& registry, const uint8_t* image,
                         int32_t length) {
  // Every header position below lies under `limit` (at most the file size), and every field
  // read is within 48 bytes of such a position, so it stays inside the 4096 zero bytes that
  // follow the file image.
  const int64_t limit = std::min<int64_t>(length, kChunkSearchLimit);
  if (limit < 16) return refuse(msg::kUnsupportedFile);

  int64_t wavePos = 4;
  while (wavePos < limit && std::memcmp(image + wavePos, "WAVE", 4) != 0) ++wavePos;
  if (wavePos >= limit) return refuse(msg::kUnsupportedFile);

  int64_t fmtPos = wavePos + 4;
  if (!findChunk(image, fmtPos, limit, "fmt ")) return refuse(msg::kUnsupportedFile);
  const uint8_t* fmt = image + fmtPos;
  int64_t dataPos = fmtPos + int64_t{readU32(fmt + 4)} + 8;
  if (!findChunk(image, dataPos, limit, "data")) return refuse(msg::kUnsupportedFile);

  const uint16_t formatTag = readU16(fmt + 8);
  const uint16_t channels = readU16(fmt + 10);
  const uint32_t sampleRate = readU32(fmt + 12);
  const uint16_t bitsPerSample = readU16(fmt + 22);
  if (formatTag != 1 || (channels != 1 && channels != 2) ||
      (bitsPerSample != 8 && bitsPerSample != 16)) {
    return refuse(msg::kUnsupportedFile);
  }

  // Negative when the data chunk's header itself is cut off by the end of the file.
  const int64_t firstSample = dataPos + 8;
  const int64_t available = int64_t{length} - firstSample;
  const uint32_t dataSize = readU32(image + dataPos + 4);
  const WaveFormat format{true, sampleRate, bitsPerSample, dataSize};
  const auto refuseFormat = [&format](std::string_view text) {
    LoadResult result = refuse(text);
    result.format = format;
    return result;
  };
  if (int64_t{dataSize} > available) return refuseFormat(msg::kBadDataLength);
  if (sampleRate != 44100) return refuseFormat(msg::kNot44100);
  if (bitsPerSample != 16) return refuseFormat(msg::kNot16Bit);

  const int64_t frameBytes = int64_t{channels} * bitsPerSample / 8;
  const uint8_t* in = image + firstSample;
  LoadResult result = buildSignal(registry, int64_t{dataSize} / frameBytes, channels,
                                  [in](int64_t i) { return readS16(in + 2 * i); });
  result.format = format;
  return result;
}

LoadResult signalFromSamples(common::AllocationRegistry& registry, const int16_t* samples,
                             int64_t frameCount, int channels) {
  if (channels != 1 && channels != 2) return refuse(msg::kUnsupportedFile);
  return buildSignal(registry, frameCount, channels, [samples](int64_t i) { return samples[i]; });
}

}  // namespace analyser
