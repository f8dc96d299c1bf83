#include "spectrogram.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>

namespace {

constexpr double kPi = 3.141592653589793;

std::vector<uint8_t> waveImage(uint16_t format, uint16_t channels, uint16_t bits,
                               const std::vector<uint8_t>& data, bool extraChunk = false) {
  std::vector<uint8_t> b;
  auto u16 = [&](uint32_t v) { b.insert(b.end(), {uint8_t(v), uint8_t(v >> 8)}); };
  auto u32 = [&](uint32_t v) { u16(v & 0xFFFF), u16(v >> 16); };
  auto tag = [&](const char* t) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(t[i]));
  };
  tag("RIFF");
  u32(0);
  tag("WAVE");
  if (extraChunk) {
    tag("LIST");
    u32(3);
    b.insert(b.end(), {1, 2, 3, 0});  // odd size: one pad byte
  }
  tag("fmt ");
  u32(16);
  u16(format);
  u16(channels);
  u32(44100);
  u32(44100u * channels * bits / 8);
  u16(channels * bits / 8);
  u16(bits);
  tag("data");
  u32(static_cast<uint32_t>(data.size()));
  b.insert(b.end(), data.begin(), data.end());
  const uint32_t riff = static_cast<uint32_t>(b.size() - 8);
  for (int i = 0; i < 4; ++i) b[4 + i] = uint8_t(riff >> (8 * i));
  return b;
}

TEST(SpectrogramWave, MixesChannelsOfPcmAndFloat) {
  // Two stereo frames of 16-bit PCM: (16384, -16384) and (32767, 32767).
  tools::MonoSignal s;
  ASSERT_EQ(tools::parseWave(
                waveImage(1, 2, 16, {0x00, 0x40, 0x00, 0xC0, 0xFF, 0x7F, 0xFF, 0x7F}, true), s),
            "");
  EXPECT_EQ(s.channels, 2);
  EXPECT_EQ(s.sampleRate, 44100u);
  ASSERT_EQ(s.samples.size(), 2u);
  EXPECT_FLOAT_EQ(s.samples[0], 0.0f);
  EXPECT_NEAR(s.samples[1], 1.0f, 1e-4);

  std::vector<uint8_t> data(8);
  const float values[2] = {0.25f, -0.5f};
  std::memcpy(data.data(), values, 8);
  ASSERT_EQ(tools::parseWave(waveImage(3, 1, 32, data), s), "");
  ASSERT_EQ(s.samples.size(), 2u);
  EXPECT_FLOAT_EQ(s.samples[0], 0.25f);
  EXPECT_FLOAT_EQ(s.samples[1], -0.5f);
}

TEST(SpectrogramWave, RejectsWhatItCannotReadAndSurvivesLyingSizes) {
  tools::MonoSignal s;
  EXPECT_NE(tools::parseWave({}, s), "");
  EXPECT_NE(tools::parseWave(waveImage(1, 1, 8, {1, 2}), s), "");   // 8-bit
  EXPECT_NE(tools::parseWave(waveImage(2, 1, 16, {1, 2}), s), "");  // ADPCM
  EXPECT_NE(tools::parseWave(waveImage(1, 0, 16, {1, 2}), s), "");  // no channels
  std::vector<uint8_t> image = waveImage(1, 1, 16, {1, 2, 3, 4});
  // A data size far beyond the file: only the samples present are read.
  for (int i = 0; i < 4; ++i) image[40 + i] = 0xFF;
  ASSERT_EQ(tools::parseWave(image, s), "");
  EXPECT_EQ(s.samples.size(), 2u);
  // A fmt chunk claiming more bytes than the file has.
  image = waveImage(1, 1, 16, {1, 2});
  image[16] = 0xF0;
  image[17] = 0xFF;
  EXPECT_NE(tools::parseWave(image, s), "");
  // Every truncation of a valid file either parses or fails cleanly.
  image = waveImage(1, 2, 16, std::vector<uint8_t>(64, 7), true);
  for (size_t n = 0; n < image.size(); ++n) {
    std::vector<uint8_t> cut(image.begin(), image.begin() + static_cast<long>(n));
    tools::parseWave(cut, s);
  }
}

TEST(SpectrogramFft, MatchesTheDirectTransform) {
  std::mt19937 random(7);
  std::vector<std::complex<double>> x(64);
  for (auto& v : x) v = {double(random() % 1000) / 500 - 1, double(random() % 1000) / 500 - 1};
  std::vector<std::complex<double>> y = x;
  tools::fft(y);
  for (size_t k = 0; k < x.size(); ++k) {
    std::complex<double> sum = 0.0;
    for (size_t n = 0; n < x.size(); ++n) sum += x[n] * std::polar(1.0, -2 * kPi * k * n / 64.0);
    EXPECT_NEAR(std::abs(y[k] - sum), 0.0, 1e-9) << k;
  }
}

std::vector<float> tone(double hz, size_t n, double amplitude = 0.5) {
  std::vector<float> x(n);
  for (size_t i = 0; i < n; ++i) x[i] = float(amplitude * std::sin(2 * kPi * hz * i / 44100.0));
  return x;
}

TEST(SpectrogramAnalysis, ToneLandsInItsBinAndQuietBinsSitOnTheFloor) {
  const tools::SpectrogramShape shape;
  // 43.066... Hz per bin: bin 20 is 861.3 Hz.
  const std::vector<float> x = tone(44100.0 * 20 / 1024, 8192);
  const size_t frames = tools::frameCount(x.size(), shape);
  EXPECT_EQ(frames, (8192 - 1024) / 256 + 1u);
  const std::vector<double> s = tools::logSpectrogram(x, 0, frames, shape, 60.0);
  ASSERT_EQ(s.size(), frames * shape.bins());
  const double top = *std::max_element(s.begin(), s.end());
  for (size_t f = 0; f < frames; ++f) {
    const auto row = s.begin() + static_cast<long>(f * shape.bins());
    EXPECT_EQ(std::max_element(row, row + static_cast<long>(shape.bins())) - row, 20);
    EXPECT_DOUBLE_EQ(row[400], top - 60.0);
  }
  // Frames past the end are silence: all at the floor.
  const std::vector<double> late = tools::logSpectrogram(x, 8192, 2, shape, 60.0);
  EXPECT_EQ(std::count(late.begin(), late.end(), late[0]), long(late.size()));
  EXPECT_EQ(tools::frameCount(1023, shape), 0u);
}

TEST(SpectrogramAnalysis, CorrelationAndShuffle) {
  const std::vector<double> a = {1, 2, 3, 4, 5, 6, 7, 8};
  std::vector<double> negated;
  for (double v : a) negated.push_back(-3 * v + 1);
  EXPECT_NEAR(tools::correlation(a, a), 1.0, 1e-12);
  EXPECT_NEAR(tools::correlation(a, negated), -1.0, 1e-12);
  EXPECT_EQ(tools::correlation(a, std::vector<double>(8, 2.0)), 0.0);

  // Rows of two values: the shuffle moves whole rows, keeps each exactly once, and depends only
  // on the seed.
  std::vector<double> rows;
  for (int r = 0; r < 50; ++r) rows.insert(rows.end(), {double(r), double(r) + 0.5});
  const std::vector<double> s1 = tools::shuffleFrames(rows, 2, 1);
  EXPECT_EQ(s1, tools::shuffleFrames(rows, 2, 1));
  EXPECT_NE(s1, tools::shuffleFrames(rows, 2, 2));
  EXPECT_NE(s1, rows);
  std::vector<double> firsts;
  for (size_t r = 0; r < 50; ++r) {
    EXPECT_EQ(s1[2 * r + 1], s1[2 * r] + 0.5);
    firsts.push_back(s1[2 * r]);
  }
  std::sort(firsts.begin(), firsts.end());
  for (int r = 0; r < 50; ++r) EXPECT_EQ(firsts[r], r);
}

TEST(SpectrogramAnalysis, FindsTheExactDelayOfACopy) {
  // Bursts of noise with silences: a delayed copy must be found to the sample, from an
  // expectation that is off by a few hundredths of a second either way.
  std::mt19937 random(3);
  std::vector<float> x(44100);
  for (size_t i = 0; i < x.size(); ++i)
    x[i] = (i / 3000) % 3 == 0 ? 0.0f : float(int(random() % 2001) - 1000) / 2000.0f;
  for (int64_t delay : {0, 1, 12345, 88200}) {
    std::vector<float> y(size_t(delay), 0.0f);
    y.insert(y.end(), x.begin(), x.end());
    y.resize(y.size() + 10000, 0.0f);
    for (int64_t guess : {delay - 700, delay + 900}) {
      EXPECT_EQ(tools::findDelay(x, y, guess, 1000, tools::SpectrogramShape{}), delay)
          << delay << " from " << guess;
    }
  }
}

TEST(SpectrogramAnalysis, PeakFrequencyWithinATenthOfAHertz) {
  for (double hz : {100.0, 440.0, 441.7, 3000.0}) {
    EXPECT_NEAR(tools::peakFrequency(tone(hz, 10000), 1000, 8192, 44100.0), hz, 0.1) << hz;
  }
}

}  // namespace
