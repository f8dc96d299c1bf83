#include "wave_loader.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "messages.h"
#include "wave_test_support.h"

namespace {

using analyser::kMarginSamples;
using analyser::LoadResult;
using analyser::LoadStatus;
using wavetest::Bytes;
using wavetest::chunk;
using wavetest::fmtChunk;
using wavetest::riff;
using wavetest::samples16;

class WaveLoaderTest : public ::testing::Test {
 protected:
  LoadResult load(const Bytes& bytes) {
    const std::string path = dir.file("in.wav");
    wavetest::writeFile(path, bytes);
    return analyser::loadWave(registry, path);
  }
  std::string message(const Bytes& bytes) { return load(bytes).message; }

  wavetest::ScratchDir dir{"loader"};
  common::AllocationRegistry registry;
};

const std::string kUnsupported(msg::kUnsupportedFile);

TEST_F(WaveLoaderTest, MonoSamplesAreScaledAndFramedByZeroMargins) {
  const LoadResult r = load(wavetest::canonical({1, -1, 32767, -32768, 0}));
  ASSERT_EQ(r.status, LoadStatus::Loaded);
  EXPECT_EQ(r.message, "");
  ASSERT_EQ(r.wave.sampleCount, 5);
  const int32_t* s = r.wave.signal;
  for (int i = 0; i < kMarginSamples; ++i) ASSERT_EQ(s[i], 0) << i;
  EXPECT_EQ(s[kMarginSamples + 0], 256);
  EXPECT_EQ(s[kMarginSamples + 1], -256);
  EXPECT_EQ(s[kMarginSamples + 2], 32767 * 256);
  EXPECT_EQ(s[kMarginSamples + 3], -8388608);
  EXPECT_EQ(s[kMarginSamples + 4], 0);
  for (int i = 0; i < kMarginSamples; ++i) ASSERT_EQ(s[kMarginSamples + 5 + i], 0) << i;
  EXPECT_EQ(r.wave.bufferLength(), 5 + 2 * kMarginSamples);
  // The file image and the two buffers, all in the registry.
  EXPECT_EQ(registry.count(), 3);
  EXPECT_NE(r.wave.residual, nullptr);
  EXPECT_NE(r.wave.residual, r.wave.signal);
}

TEST_F(WaveLoaderTest, StereoIsTheScaledSumOfBothChannels) {
  // Ten data bytes: two whole stereo frames, the trailing half frame is dropped.
  Bytes data = samples16({100, 300, -32768, -32768, 7});
  const LoadResult r = load(riff({fmtChunk(1, 2, 44100, 16), chunk("data", data)}));
  ASSERT_EQ(r.status, LoadStatus::Loaded);
  ASSERT_EQ(r.wave.sampleCount, 2);
  EXPECT_EQ(r.wave.signal[kMarginSamples], 400 * 128);
  EXPECT_EQ(r.wave.signal[kMarginSamples + 1], -8388608);
  EXPECT_EQ(r.wave.signal[kMarginSamples + 2], 0);

  std::vector<int16_t> opposite;
  for (int i = 0; i < 1000; ++i) {
    const auto v = static_cast<int16_t>((i * 7919) % 32767 - 16000);
    opposite.push_back(v);
    opposite.push_back(static_cast<int16_t>(-v));
  }
  const LoadResult silent = load(wavetest::canonical(opposite, 2));
  ASSERT_EQ(silent.wave.sampleCount, 1000);
  for (int i = 0; i < 1000; ++i) ASSERT_EQ(silent.wave.signal[kMarginSamples + i], 0);
}

// Long recordings are converted in several ranges at once: every sample, the ones at the
// ranges' edges included, is still the scaled one (or the scaled sum of both channels).
TEST_F(WaveLoaderTest, LongRecordingsAreConvertedSampleForSample) {
  constexpr int kFrames = 3 * (1 << 20) + 7;
  for (uint32_t channels : {1u, 2u}) {
    std::vector<int16_t> values(static_cast<size_t>(kFrames) * channels);
    for (size_t i = 0; i < values.size(); ++i) {
      values[i] = static_cast<int16_t>((static_cast<int64_t>(i) * 40503) % 65536 - 32768);
    }
    const LoadResult r = load(wavetest::canonical(values, channels));
    ASSERT_EQ(r.status, LoadStatus::Loaded);
    ASSERT_EQ(r.wave.sampleCount, kFrames);
    for (int i = 0; i < kFrames; ++i) {
      const int32_t want =
          channels == 1
              ? values[static_cast<size_t>(i)] * 256
              : (values[2 * static_cast<size_t>(i)] + values[2 * static_cast<size_t>(i) + 1]) * 128;
      ASSERT_EQ(r.wave.signal[kMarginSamples + i], want) << channels << " channels, frame " << i;
    }
    EXPECT_EQ(r.wave.signal[kMarginSamples + kFrames], 0);
    registry.freeAll();
  }
}

TEST_F(WaveLoaderTest, HeaderIsFoundWithoutRiffTagAndChunksAreWalkedWithoutPadding) {
  Bytes noRiff(100, 'x');
  wavetest::putId(noRiff, "WAVE");
  for (const Bytes& c : {fmtChunk(1, 1, 44100, 16), chunk("data", samples16({5, 6}))}) {
    noRiff.insert(noRiff.end(), c.begin(), c.end());
  }
  const LoadResult r = load(noRiff);
  ASSERT_EQ(r.status, LoadStatus::Loaded);
  EXPECT_EQ(r.wave.sampleCount, 2);
  EXPECT_EQ(r.wave.signal[kMarginSamples + 1], 6 * 256);

  // An odd-sized chunk is followed directly by the next header...
  const Bytes odd = chunk("junk", {1, 2, 3});
  EXPECT_EQ(load(riff({fmtChunk(1, 1, 44100, 16), odd, chunk("data", samples16({9}))})).status,
            LoadStatus::Loaded);
  // ...so a pad byte after it puts the walk off the next header.
  Bytes padded = odd;
  padded.push_back(0);
  EXPECT_EQ(message(riff({fmtChunk(1, 1, 44100, 16), padded, chunk("data", samples16({9}))})),
            kUnsupported);
}

TEST_F(WaveLoaderTest, ChunkHeadersMustStartInsideTheFirst1024Bytes) {
  // The header up to the filler chunk takes 12 + 24 + 8 bytes; the filler's body sets where the
  // data header starts.
  auto withDataAt = [](int64_t offset) {
    return riff({fmtChunk(1, 1, 44100, 16), chunk("LIST", Bytes(size_t(offset - 44), 0)),
                 chunk("data", samples16({1, 2, 3}))});
  };
  EXPECT_EQ(load(withDataAt(1016)).status, LoadStatus::Loaded);
  EXPECT_EQ(message(withDataAt(1024)), kUnsupported);
  EXPECT_EQ(message(withDataAt(1200)), kUnsupported);

  // "WAVE" itself must also lie before byte 1024.
  Bytes late(1030, 'x');
  std::memcpy(late.data() + 1020, "WAVE", 4);
  EXPECT_EQ(message(late), kUnsupported);
}

TEST_F(WaveLoaderTest, StructuralFaultsAreUnsupported) {
  const Bytes data = chunk("data", samples16({1, 2}));
  EXPECT_EQ(message(riff({data, fmtChunk(1, 1, 44100, 16)})), kUnsupported);  // data first
  EXPECT_EQ(message(riff({fmtChunk(3, 1, 44100, 16), data})), kUnsupported);  // float
  EXPECT_EQ(message(riff({fmtChunk(0xFFFE, 1, 44100, 16), data})), kUnsupported);
  EXPECT_EQ(message(riff({fmtChunk(1, 0, 44100, 16), data})), kUnsupported);
  EXPECT_EQ(message(riff({fmtChunk(1, 3, 44100, 16), data})), kUnsupported);
  EXPECT_EQ(message(riff({fmtChunk(1, 1, 44100, 24), data})), kUnsupported);
  EXPECT_EQ(message(riff({fmtChunk(1, 1, 44100, 16)})), kUnsupported);  // no data chunk
  EXPECT_EQ(message(riff({data})), kUnsupported);                       // no fmt chunk
  Bytes tiny = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 0, 0, 0};
  EXPECT_EQ(message(tiny), kUnsupported);  // shorter than 16 bytes
  // A huge chunk size ends the walk instead of wrapping the position.
  EXPECT_EQ(message(riff({fmtChunk(1, 1, 44100, 16), chunk("LIST", {}, 0xFFFFFFFF), data})),
            kUnsupported);
}

TEST_F(WaveLoaderTest, ValueChecksComeInTheirFixedOrder) {
  const Bytes data = chunk("data", samples16({1, 2}));
  EXPECT_EQ(message(riff({fmtChunk(1, 1, 44100, 8), data})), msg::kNot16Bit);
  EXPECT_EQ(message(riff({fmtChunk(1, 1, 48000, 16), data})), msg::kNot44100);
  EXPECT_EQ(message(riff({fmtChunk(1, 1, 48000, 8), data})), msg::kNot44100);
  // The length check precedes the rate check.
  const Bytes longData = chunk("data", samples16({1, 2}), 100);
  EXPECT_EQ(message(riff({fmtChunk(1, 1, 48000, 16), longData})), msg::kBadDataLength);
  EXPECT_EQ(message(riff({fmtChunk(1, 1, 44100, 16), longData})), msg::kBadDataLength);
  // Declared size equal to what follows is fine.
  EXPECT_EQ(load(riff({fmtChunk(1, 1, 44100, 16), chunk("data", samples16({1, 2}), 4)})).status,
            LoadStatus::Loaded);
}

TEST_F(WaveLoaderTest, DataHeaderCutOffByTheEndOfTheFileIsABadLength) {
  // The file ends right after the "data" id: its size reads 0 from the zero run, but the
  // bytes available after the header are negative.
  Bytes b = riff({fmtChunk(1, 1, 44100, 16)});
  wavetest::putId(b, "data");
  EXPECT_EQ(message(b), msg::kBadDataLength);
}

TEST_F(WaveLoaderTest, OnlyTheDeclaredDataSizeIsUsed) {
  Bytes list = chunk("LIST", Bytes(40, 0x7F));
  const LoadResult r =
      load(riff({fmtChunk(1, 1, 44100, 16), chunk("data", samples16({3, 4})), list}));
  ASSERT_EQ(r.status, LoadStatus::Loaded);
  ASSERT_EQ(r.wave.sampleCount, 2);
  EXPECT_EQ(r.wave.signal[kMarginSamples + 2], 0);

  EXPECT_EQ(load(wavetest::canonical({})).wave.sampleCount, 0);
  const LoadResult oneByte = load(riff({fmtChunk(1, 1, 44100, 16), chunk("data", {0x55})}));
  ASSERT_EQ(oneByte.status, LoadStatus::Loaded);
  EXPECT_EQ(oneByte.wave.sampleCount, 0);
  for (int i = 0; i < 2 * kMarginSamples; ++i) ASSERT_EQ(oneByte.wave.signal[i], 0);
}

TEST_F(WaveLoaderTest, ReaderMessagesPassThroughUnchanged) {
  EXPECT_EQ(analyser::loadWave(registry, dir.file("missing.wav")).message, msg::kFileNotFound);
  EXPECT_EQ(analyser::loadWave(registry, dir.path().string()).message, msg::kCannotOpen);
}

// A mono file of `frames` samples, made sparse so that it takes neither disk space nor time to
// write; the last sample is set so that the end of the data can be checked.
std::string writeLongMono(const wavetest::ScratchDir& dir, int64_t frames) {
  const std::string path = dir.file("long.wav");
  const Bytes header = riff({fmtChunk(1, 1, 44100, 16), chunk("data", {}, frames * 2)});
  wavetest::writeFile(path, header);
  std::filesystem::resize_file(path, header.size() + uint64_t(frames) * 2);
  std::fstream f(path, std::ios::binary | std::ios::in | std::ios::out);
  f.seekp(std::streamoff(header.size() + uint64_t(frames - 1) * 2));
  const char last[2] = {0x34, 0x12};
  f.write(last, 2);
  return path;
}

TEST_F(WaveLoaderTest, AtMost600SecondsAreAccepted) {
  {
    const std::string path = writeLongMono(dir, analyser::kMaxSampleCount + 1);
    const LoadResult r = analyser::loadWave(registry, path);
    EXPECT_EQ(r.message, msg::kAudioTooLong);
    EXPECT_EQ(registry.count(), 1);  // only the file image; no buffers were requested
    registry.freeAll();
    std::filesystem::remove(path);
  }
  const std::string path = writeLongMono(dir, analyser::kMaxSampleCount);
  const LoadResult r = analyser::loadWave(registry, path);
  std::filesystem::remove(path);
  ASSERT_EQ(r.status, LoadStatus::Loaded);
  ASSERT_EQ(r.wave.sampleCount, analyser::kMaxSampleCount);
  const int32_t* end = r.wave.signal + kMarginSamples + analyser::kMaxSampleCount;
  EXPECT_EQ(end[-1], 0x1234 * 256);
  EXPECT_EQ(end[-2], 0);
  EXPECT_EQ(end[kMarginSamples - 1], 0);
}

// Refuses the request with the given 1-based number (file image = 1, signal = 2, residual = 3)
// and counts releases.
int refuseRequest = 0;
int requestNumber = 0;
int releases = 0;

void* refusingAlloc(std::size_t size) {
  return ++requestNumber == refuseRequest ? nullptr : std::malloc(size);
}
void countingFree(void* p) {
  ++releases;
  std::free(p);
}

TEST(WaveLoaderMemoryTest, ABufferRefusalFreesEverythingAndSaysSo) {
  wavetest::ScratchDir dir("loader-mem");
  const std::string path = dir.file("in.wav");
  wavetest::writeFile(path, wavetest::canonical({1, 2, 3}));
  for (int refused : {2, 3}) {
    refuseRequest = refused;
    requestNumber = 0;
    releases = 0;
    common::AllocationRegistry registry(&refusingAlloc, &countingFree);
    const LoadResult r = analyser::loadWave(registry, path);
    EXPECT_EQ(r.status, LoadStatus::MemoryFailure) << refused;
    EXPECT_EQ(r.message, msg::kNoMemory);
    EXPECT_EQ(registry.count(), 0);
    // Refusing the signal buffer means the residual is never asked for.
    EXPECT_EQ(requestNumber, refused);
    EXPECT_EQ(releases, refused - 1);
  }
  // A refused file image is an ordinary reader failure, reported back to the caller.
  refuseRequest = 1;
  requestNumber = 0;
  common::AllocationRegistry registry(&refusingAlloc, &countingFree);
  const LoadResult r = analyser::loadWave(registry, path);
  EXPECT_EQ(r.status, LoadStatus::Refused);
  EXPECT_EQ(r.message, msg::kNoMemory);
}

TEST(FindChunkTest, WalksBySizePlusEightAndStopsAtTheLimit) {
  Bytes image = chunk("abcd", Bytes(5, 0));
  const Bytes second = chunk("efgh", Bytes(2, 0));
  image.insert(image.end(), second.begin(), second.end());
  image.resize(image.size() + 16, 0);

  int64_t pos = 0;
  EXPECT_TRUE(analyser::findChunk(image.data(), pos, 30, "efgh"));
  EXPECT_EQ(pos, 13);
  pos = 0;
  EXPECT_TRUE(analyser::findChunk(image.data(), pos, 30, "abcd"));
  EXPECT_EQ(pos, 0);
  // A limit at the second header: the step reaches the limit and the walk ends.
  pos = 0;
  EXPECT_FALSE(analyser::findChunk(image.data(), pos, 13, "efgh"));
  pos = 0;
  EXPECT_FALSE(analyser::findChunk(image.data(), pos, 30, "zzzz"));
  pos = 40;
  EXPECT_FALSE(analyser::findChunk(image.data(), pos, 30, "abcd"));
}

}  // namespace
