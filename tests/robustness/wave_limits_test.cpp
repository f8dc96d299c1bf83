// The WAVE loader at its size limits: 600 seconds of stereo (the largest accepted input, the
// sample data sparse on disk), one sample frame more, a data chunk claiming 4 GiB, and a file
// beyond 2 GiB that must be refused before anything is allocated.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "alloc_registry.h"
#include "messages.h"
#include "scratch_dir.h"
#include "wave_loader.h"

namespace {

using namespace robustness;
using analyser::LoadStatus;

// A canonical 44-byte header for 16-bit 44100 Hz PCM whose data chunk declares `dataBytes`.
std::string header(uint32_t channels, uint32_t dataBytes) {
  std::string h;
  const auto u32 = [&h](uint32_t v) {
    for (int i = 0; i < 4; ++i) h.push_back(static_cast<char>(v >> (8 * i)));
  };
  const auto u16 = [&h](uint32_t v) {
    for (int i = 0; i < 2; ++i) h.push_back(static_cast<char>(v >> (8 * i)));
  };
  h += "RIFF";
  u32(36 + dataBytes);
  h += "WAVEfmt ";
  u32(16);
  u16(1);
  u16(channels);
  u32(44100);
  u32(44100 * channels * 2);
  u16(channels * 2);
  u16(16);
  h += "data";
  u32(dataBytes);
  return h;
}

// A stereo file of `frames` sample frames, sparse except for its last frame (L, R).
std::string sparseStereo(const ScratchDir& dir, uint32_t frames, int16_t left, int16_t right) {
  const std::string path = dir / "long.wav";
  put(path, header(2, frames * 4));
  fs::resize_file(path, 44 + uint64_t{frames} * 4);
  std::fstream f(path, std::ios::binary | std::ios::in | std::ios::out);
  f.seekp(static_cast<std::streamoff>(44 + uint64_t{frames - 1} * 4));
  const char last[4] = {static_cast<char>(left), static_cast<char>(left >> 8),
                        static_cast<char>(right), static_cast<char>(right >> 8)};
  f.write(last, 4);
  return path;
}

TEST(WaveLimits, SixHundredSecondsOfStereoLoadAndOneFrameMoreIsRefused) {
  ScratchDir dir;
  common::AllocationRegistry registry;
  {
    const auto r = analyser::loadWave(registry, sparseStereo(dir, 26460001, 1, 1));
    EXPECT_EQ(r.status, LoadStatus::Refused);
    EXPECT_EQ(r.message, msg::kAudioTooLong);
    EXPECT_EQ(registry.count(), 1);  // the file image only: no signal buffer was requested
    registry.freeAll();
  }
  const auto r = analyser::loadWave(registry, sparseStereo(dir, 26460000, -32768, -32768));
  ASSERT_EQ(r.status, LoadStatus::Loaded);
  EXPECT_EQ(r.wave.sampleCount, 26460000);
  EXPECT_EQ(registry.count(), 3);
  const int32_t* samples = r.wave.signal + analyser::kMarginSamples;
  EXPECT_EQ(samples[0], 0);
  EXPECT_EQ(samples[26459999], -8388608);  // full scale: (L + R) * 128
  for (int32_t i = 0; i < analyser::kMarginSamples; ++i) {
    ASSERT_EQ(samples[26460000 + i], 0);
    ASSERT_EQ(r.wave.signal[i], 0);
  }
}

TEST(WaveLimits, DataChunkClaimingFourGibibytesIsRefused) {
  ScratchDir dir;
  common::AllocationRegistry registry;
  put(dir / "claim.wav", header(1, 0xFFFFFFFF) + std::string(1000, '\x01'));
  const auto r = analyser::loadWave(registry, dir / "claim.wav");
  EXPECT_EQ(r.message, msg::kBadDataLength);
  EXPECT_LE(registry.count(), 1);
}

TEST(WaveLimits, FileBeyondTwoGibibytesIsRefusedWithoutAllocation) {
  ScratchDir dir;
  common::AllocationRegistry registry;
  const std::string path = dir / "huge.wav";
  put(path, header(2, 0x80000000u));
  fs::resize_file(path, 44 + uint64_t{0x80000000u});
  const auto r = analyser::loadWave(registry, path);
  EXPECT_EQ(r.message, msg::kNoMemory);
  EXPECT_EQ(registry.count(), 0);
}

}  // namespace
