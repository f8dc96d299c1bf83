// The intelligibility measure where its definition fixes the answer: a signal against itself
// scores 1, a delayed copy is found and aligned, and white noise added at a falling
// signal-to-noise ratio gives falling scores.
#include "intelligibility.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "speech_like_signal.h"

namespace {

constexpr int kRate = 44100;

std::vector<float> speech(int seconds) {
  const std::vector<int16_t> s = speechlike::generate(kRate * seconds, 7);
  return std::vector<float>(s.begin(), s.end());
}

media::IntelligibilityScores measure(const std::vector<float>& x, const std::vector<float>& y) {
  media::IntelligibilityScores scores;
  EXPECT_EQ(media::measureIntelligibility(x, kRate, y, kRate, {}, scores), "");
  return scores;
}

TEST(Intelligibility, IdenticalSignalsScoreOneAndADelayedCopyIsAligned) {
  const std::vector<float> x = speech(4);
  const media::IntelligibilityScores same = measure(x, x);
  EXPECT_NEAR(same.stoi, 1.0, 1e-6);
  EXPECT_NEAR(same.estoi, 1.0, 1e-6);
  EXPECT_EQ(same.delaySeconds, 0.0);
  EXPECT_GT(same.segments, 100);

  // 1234 samples at 44.1 kHz are 279.8 samples at 10 kHz: found to the nearest sample, the
  // fifth of a sample left is far below the 25.6 ms frames.
  std::vector<float> later(1234, 0.0f);
  later.insert(later.end(), x.begin(), x.end());
  const media::IntelligibilityScores aligned = measure(x, later);
  EXPECT_NEAR(aligned.delaySeconds, 1234.0 / kRate, 0.6e-4);
  EXPECT_GT(aligned.stoi, 0.999);
  EXPECT_GT(aligned.estoi, 0.999);
  // Without the search the same copy loses much of its score.
  media::IntelligibilityScores unaligned;
  media::measureIntelligibility(x, kRate, later, kRate, {0.0}, unaligned);
  EXPECT_LT(unaligned.stoi, 0.95);
}

TEST(Intelligibility, NoiseAtFallingSignalToNoiseRatioGivesFallingScores) {
  const std::vector<float> x = speech(4);
  double power = 0.0;
  for (float v : x) power += static_cast<double>(v) * v;
  power /= static_cast<double>(x.size());
  std::mt19937 rng(3);
  std::normal_distribution<double> gauss(0.0, 1.0);
  std::vector<double> noise(x.size());
  for (double& v : noise) v = gauss(rng);

  double lastStoi = 1.0, lastEstoi = 1.0;
  for (const double snrDb : {20.0, 10.0, 0.0, -10.0}) {
    const double gain = std::sqrt(power / std::pow(10.0, snrDb / 10.0));
    std::vector<float> y(x.size());
    for (std::size_t i = 0; i < x.size(); ++i) y[i] = static_cast<float>(x[i] + gain * noise[i]);
    const media::IntelligibilityScores s = measure(x, y);
    EXPECT_LT(s.stoi, lastStoi) << snrDb << " dB";
    EXPECT_LT(s.estoi, lastEstoi) << snrDb << " dB";
    lastStoi = s.stoi;
    lastEstoi = s.estoi;
  }
  EXPECT_LT(lastStoi, 0.8);  // -10 dB of white noise leaves little
}

TEST(Intelligibility, RefusesTooLittleSound) {
  const std::vector<float> x = speech(4);
  const std::vector<float> shortX(x.begin(), x.begin() + kRate / 4);
  media::IntelligibilityScores scores;
  EXPECT_NE(media::measureIntelligibility(shortX, kRate, shortX, kRate, {}, scores), "");
  EXPECT_NE(media::measureIntelligibility(x, 0, x, kRate, {}, scores), "");
}

}  // namespace
