#include "recording.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "analyser_window.h"
#include "fake_environment.h"
#include "messages.h"
#include "note_frame.h"
#include "wave_test_support.h"

namespace {

constexpr double kTwoPi = 6.283185307179586;

// Writes `frames` frames of `channels` channels with libsndfile; value(frame, channel) is in
// full scale 1.0.
template <typename Value>
void writeSound(const std::string& path, int format, int rate, int channels, int frames,
                Value value) {
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = channels;
  info.format = format;
  SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
  ASSERT_NE(f, nullptr) << sf_strerror(nullptr);
  std::vector<double> data(static_cast<std::size_t>(frames) * channels);
  for (int i = 0; i < frames; ++i)
    for (int c = 0; c < channels; ++c)
      data[static_cast<std::size_t>(i) * channels + c] = value(i, c);
  ASSERT_EQ(sf_writef_double(f, data.data(), frames), frames);
  sf_close(f);
}

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class SourceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    env.checked = {analyser::kUnit60, analyser::kShiftOff, analyser::kOptimiseOff};
    env.clockStep = 1;
    env.counterStep = 10;
  }
  std::string convert(const std::string& path, bool withSource) {
    return withSource ? convertWith(path, media::anyRecordingSource()) : convertWith(path, {});
  }
  std::string convertWith(const std::string& path, const analyser::SignalSource& source) {
    common::AllocationRegistry registry;
    analyser::AnalyserCommand command(env, registry);
    if (source.load) command.setSignalSource(source);
    env.messages.clear();
    env.texts[analyser::kWaveFileField] = path;
    command.convert();
    EXPECT_EQ(env.messages.size(), 1u);
    return env.messages.empty() ? std::string() : env.messages.back().text;
  }
  wavetest::ScratchDir dir{"media-source"};
  fakeenv::FakeEnvironment env;
};

TEST_F(SourceTest, PlainWaveGivesTheSameDatAsTheLoaderItself) {
  for (uint32_t channels : {1u, 2u}) {
    std::vector<int16_t> samples(2 * 22050);
    for (std::size_t i = 0; i < samples.size(); ++i)
      samples[i] = static_cast<int16_t>(12000 * std::sin(i * 0.031) + (i % 7) * 300 - 900);
    const std::string wav = dir.file("plain.wav");
    wavetest::writeFile(wav, wavetest::canonical(samples, channels));
    ASSERT_EQ(convert(wav, false), msg::kFinished);
    const std::string expected = slurp(dir.file("plain.dat"));
    std::filesystem::remove(dir.file("plain.dat"));
    ASSERT_EQ(convert(wav, true), msg::kFinished);
    EXPECT_EQ(slurp(dir.file("plain.dat")), expected) << channels << " channel(s)";
    EXPECT_GT(expected.size(), 30u * 64);
  }
}

TEST_F(SourceTest, SineAt48kHz24BitIsAnalysedAsTheSameSineAt44100) {
  auto sine = [](double rate) {
    return [rate](int i, int) { return 0.5 * std::sin(kTwoPi * 440.0 * i / rate); };
  };
  writeSound(dir.file("a4.take.wav48"), SF_FORMAT_WAV | SF_FORMAT_PCM_24, 48000, 2, 48000,
             sine(48000));
  ASSERT_EQ(convert(dir.file("a4.take.wav48"), true), msg::kFinished);
  // The oracle: the same sine made at 44100 Hz, 16-bit, analysed without the source. The
  // estimate itself moves by up to a hertz from frame to frame with the sine's phase.
  writeSound(dir.file("native.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, 44100,
             sine(44100));
  ASSERT_EQ(convert(dir.file("native.wav"), false), msg::kFinished);
  const std::string dat = slurp(dir.file("a4.take.dat"));
  const std::string native = slurp(dir.file("native.dat"));
  ASSERT_GE(dat.size(), 60u * 64);
  ASSERT_GE(native.size(), 60u * 64);
  auto slot0 = [](const std::string& image, int k) {
    return common::decodeNoteFrame(reinterpret_cast<const uint8_t*>(image.data()) + 64 * k)
        .slots[0];
  };
  double sum = 0;
  // The steady middle, clear of the onset and the end.
  for (int k = 10; k < 49; ++k) {
    EXPECT_GT(slot0(dat, k).level, 0) << k;
    EXPECT_NEAR(slot0(dat, k).frequency, slot0(native, k).frequency, 2) << k;
    sum += slot0(dat, k).frequency;
  }
  EXPECT_NEAR(sum / 39, 4400, 2);
}

TEST_F(SourceTest, RefusalsUseTheFixedTexts) {
  const std::string text = dir.file("notes.txt");
  std::ofstream(text) << "not a recording at all, just words\n";
  EXPECT_EQ(convert(text, true), msg::kUnsupportedFile);
  EXPECT_EQ(convert(dir.file("missing.flac"), true), msg::kFileNotFound);
  std::filesystem::create_directory(dir.file("folder.wav"));
  EXPECT_EQ(convert(dir.file("folder.wav"), true), msg::kCannotOpen);
  EXPECT_EQ(convert("", true), msg::kSpecifyWave);
  EXPECT_FALSE(std::filesystem::exists(dir.file("notes.dat")));
}

int allocations = 0;
void* countingAlloc(std::size_t size) {
  ++allocations;
  return std::malloc(size);
}

TEST_F(SourceTest, OverlongRecordingIsRefusedBeforeAnyAllocation) {
  // 601 s at 100 Hz: a small file that becomes 26.5 million frames at 44100 Hz.
  const std::string path = dir.file("long.wav");
  writeSound(path, SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 100, 1, 60100, [](int, int) { return 0.0; });
  common::AllocationRegistry registry(&countingAlloc, &std::free);
  allocations = 0;
  const analyser::LoadResult result = media::anyRecordingSource().load(registry, path);
  EXPECT_EQ(result.message, msg::kAudioTooLong);
  EXPECT_EQ(allocations, 0);
}

TEST(DecodeTest, FloatFlacAndManyChannelsArriveAs16BitAt44100) {
  wavetest::ScratchDir dir("media-decode");
  auto value = [](int i, int c) { return 0.25 * std::sin(0.01 * i) + 0.1 * c; };
  // Expected: the same values rounded to 16 bits, independently of the decoder.
  auto expected = [&](int i, int c) { return std::lround(value(i, c) * 32768.0); };
  struct Case {
    const char* name;
    int format;
    int channels;
  };
  for (const Case& c : {Case{"f.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2},
                        Case{"f.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_24, 1},
                        Case{"f.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 4}}) {
    const std::string path = dir.file(c.name);
    writeSound(path, c.format, 44100, c.channels, 4410, value);
    media::Recording r;
    ASSERT_EQ(media::decodeRecording(path, r), "") << c.name;
    EXPECT_TRUE(r.info.converted);
    EXPECT_EQ(r.info.sourceChannels, c.channels);
    const int channels = c.channels <= 2 ? c.channels : 1;
    ASSERT_EQ(r.channels, channels);
    ASSERT_EQ(r.samples.size(), 4410u * channels) << c.name;
    for (int i = 0; i < 4410; i += 7) {
      double want = 0;
      if (c.channels <= 2) {
        want = static_cast<double>(expected(i, channels - 1));
      } else {
        for (int k = 0; k < c.channels; ++k) want += value(i, k);
        want = want / c.channels * 32768.0;
      }
      // The 16- and 24-bit files were themselves rounded once on writing.
      EXPECT_NEAR(r.samples[static_cast<std::size_t>(i) * channels + channels - 1], want, 1.0)
          << c.name << " frame " << i;
    }
  }
  EXPECT_EQ(media::convertedDatPath("/a.b/take.FLAC"), "/a.b/take.dat");
  EXPECT_EQ(media::convertedDatPath("/a.b/take"), "/a.b/take.dat");
}

TEST_F(SourceTest, APartIsAnalysedAsThatPartAloneEvenOfAnOverlongRecording) {
  std::vector<int16_t> samples(2 * 3 * 44100);
  for (std::size_t i = 0; i < samples.size(); ++i)
    samples[i] = static_cast<int16_t>(9000 * std::sin(i * 0.0173) + 4000 * std::sin(i * 0.071));
  const std::string whole = dir.file("whole.wav");
  wavetest::writeFile(whole, wavetest::canonical(samples, 2));
  // The oracle: the samples from 1 s to 2.5 s as a file of their own, read by the loader.
  const std::vector<int16_t> cut(samples.begin() + 2 * 44100, samples.begin() + 2 * 110250);
  wavetest::writeFile(dir.file("cut.wav"), wavetest::canonical(cut, 2));
  ASSERT_EQ(convert(dir.file("cut.wav"), false), msg::kFinished);
  const std::string expected = slurp(dir.file("cut.dat"));
  for (bool anyFormat : {false, true}) {
    std::filesystem::remove(dir.file("whole.dat"));
    ASSERT_EQ(convertWith(whole, media::recordingPartSource(1.0, 1.5, anyFormat)), msg::kFinished);
    EXPECT_EQ(slurp(dir.file("whole.dat")), expected) << anyFormat;
  }

  // 601 s at 100 Hz is refused whole; its last 6 s are read (a length past the end ends there).
  const std::string longer = dir.file("long.wav");
  writeSound(longer, SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 100, 1, 60100, [](int, int) { return 0.1; });
  common::AllocationRegistry registry;
  EXPECT_EQ(media::recordingPartSource(595, 10, true).load(registry, longer).message, "");
  // Only what the loader reads unless any format is asked for, refused as it refuses.
  EXPECT_EQ(media::recordingPartSource(0, 1, false).load(registry, longer).message, msg::kNot44100);
}

TEST(DecoderMessagesTest, WhatGoesToStandardErrorMeanwhileIsReturnedInstead) {
  testing::internal::CaptureStderr();
  const std::string kept =
      media::keepDecoderMessages([] { std::fprintf(stderr, "said %d\n", 42); });
  std::fprintf(stderr, "after");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "after");
  EXPECT_EQ(kept, "said 42\n");
}

}  // namespace
