#include "spectrogram.h"

#include "spectrum.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>
#include <random>

namespace tools {
namespace {

constexpr double kPi = 3.141592653589793;

uint32_t le32(const std::vector<uint8_t>& b, size_t at) {
  return static_cast<uint32_t>(b[at]) | static_cast<uint32_t>(b[at + 1]) << 8 |
         static_cast<uint32_t>(b[at + 2]) << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}
uint16_t le16(const std::vector<uint8_t>& b, size_t at) {
  return static_cast<uint16_t>(b[at] | b[at + 1] << 8);
}
bool tagIs(const std::vector<uint8_t>& b, size_t at, const char* tag) {
  return std::equal(tag, tag + 4, b.begin() + static_cast<std::ptrdiff_t>(at));
}

std::vector<double> hann(size_t n) {
  std::vector<double> w(n);
  for (size_t i = 0; i < n; ++i) w[i] = 0.5 - 0.5 * std::cos(2.0 * kPi * i / n);
  return w;
}

}  // namespace

std::string parseWave(const std::vector<uint8_t>& image, MonoSignal& out) {
  if (image.size() < 12 || !tagIs(image, 0, "RIFF") || !tagIs(image, 8, "WAVE"))
    return "not a RIFF WAVE file";
  uint16_t format = 0, channels = 0, bits = 0;
  uint32_t rate = 0;
  bool haveFormat = false;
  size_t dataAt = 0, dataSize = 0;
  bool haveData = false;
  size_t at = 12;
  // Chunk sizes come from the file: every step is checked against the image size, in size_t,
  // before it is used.
  while (image.size() - at >= 8) {
    const size_t size = le32(image, at + 4);
    const size_t body = at + 8;
    const size_t available = image.size() - body;
    if (tagIs(image, at, "fmt ")) {
      if (size < 16 || size > available) return "bad fmt chunk";
      format = le16(image, body);
      channels = le16(image, body + 2);
      rate = le32(image, body + 4);
      bits = le16(image, body + 14);
      if (format == 0xFFFE) {
        if (size < 26) return "bad fmt chunk";
        format = le16(image, body + 24);  // first two bytes of the sub-format GUID
      }
      haveFormat = true;
    } else if (tagIs(image, at, "data")) {
      dataAt = body;
      dataSize = std::min(size, available);  // a writer cut short may leave the size too large
      haveData = true;
      break;
    }
    if (size > available) break;
    at = body + size + (size & 1);
    if (at > image.size()) break;
  }
  if (!haveFormat) return "no fmt chunk";
  if (!haveData) return "no data chunk";
  if (channels == 0) return "no channels";
  if (rate == 0) return "sample rate 0";
  size_t bytesPerSample = 0;
  if (format == 1 && bits == 16) {
    bytesPerSample = 2;
  } else if (format == 3 && bits == 32) {
    bytesPerSample = 4;
  } else {
    return "only 16-bit PCM and 32-bit float are supported";
  }
  const size_t frameBytes = bytesPerSample * channels;
  const size_t frames = dataSize / frameBytes;
  out.sampleRate = rate;
  out.channels = channels;
  out.samples.assign(frames, 0.0f);
  for (size_t f = 0; f < frames; ++f) {
    double sum = 0.0;
    for (size_t c = 0; c < channels; ++c) {
      const size_t p = dataAt + f * frameBytes + c * bytesPerSample;
      if (bytesPerSample == 2) {
        sum += static_cast<int16_t>(le16(image, p)) / 32768.0;
      } else {
        const uint32_t u = le32(image, p);
        float v;
        static_assert(sizeof v == sizeof u);
        std::memcpy(&v, &u, sizeof v);
        sum += std::isfinite(v) ? v : 0.0;
      }
    }
    out.samples[f] = static_cast<float>(sum / channels);
  }
  return "";
}

std::string readWave(const std::string& path, MonoSignal& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return "cannot open " + path;
  std::vector<uint8_t> image((std::istreambuf_iterator<char>(in)),
                             std::istreambuf_iterator<char>());
  std::string error = parseWave(image, out);
  return error.empty() ? error : path + ": " + error;
}

void fft(std::vector<std::complex<double>>& data) {
  media::fftInPlace(data);
}

size_t frameCount(size_t length, const SpectrogramShape& shape) {
  return length < shape.frameLength ? 0 : (length - shape.frameLength) / shape.hop + 1;
}

std::vector<double> logSpectrogram(const std::vector<float>& x, int64_t start, size_t frames,
                                   const SpectrogramShape& shape, double rangeDb) {
  const size_t bins = shape.bins();
  const std::vector<double> window = hann(shape.frameLength);
  std::vector<double> out(frames * bins);
  std::vector<double> frame(shape.frameLength);
  const int64_t length = static_cast<int64_t>(x.size());
  for (size_t f = 0; f < frames; ++f) {
    const int64_t first = start + static_cast<int64_t>(f * shape.hop);
    for (size_t i = 0; i < shape.frameLength; ++i) {
      const int64_t p = first + static_cast<int64_t>(i);
      frame[i] = p >= 0 && p < length ? x[static_cast<size_t>(p)] * window[i] : 0.0;
    }
    const std::vector<double> power = media::powerSpectrum(frame);
    for (size_t k = 0; k < bins; ++k) {
      // 1e-20 keeps log10 finite for exact zeros; the floor below replaces those values anyway.
      out[f * bins + k] = 10.0 * std::log10(power[k] + 1e-20);
    }
  }
  if (!out.empty()) {
    const double floor = *std::max_element(out.begin(), out.end()) - rangeDb;
    for (double& v : out) v = std::max(v, floor);
  }
  return out;
}

double correlation(const std::vector<double>& a, const std::vector<double>& b) {
  const size_t n = std::min(a.size(), b.size());
  if (n == 0) return 0.0;
  double ma = 0.0, mb = 0.0;
  for (size_t i = 0; i < n; ++i) {
    ma += a[i];
    mb += b[i];
  }
  ma /= n;
  mb /= n;
  double sab = 0.0, saa = 0.0, sbb = 0.0;
  for (size_t i = 0; i < n; ++i) {
    sab += (a[i] - ma) * (b[i] - mb);
    saa += (a[i] - ma) * (a[i] - ma);
    sbb += (b[i] - mb) * (b[i] - mb);
  }
  if (saa <= 0.0 || sbb <= 0.0) return 0.0;
  return sab / std::sqrt(saa * sbb);
}

std::vector<double> shuffleFrames(const std::vector<double>& spectrogram, size_t bins,
                                  uint64_t seed) {
  const size_t frames = bins == 0 ? 0 : spectrogram.size() / bins;
  std::vector<size_t> order(frames);
  for (size_t i = 0; i < frames; ++i) order[i] = i;
  // Fisher-Yates with the raw output of mt19937_64, whose sequence the standard fixes, so the
  // same seed gives the same order with every library (the distributions are not portable).
  std::mt19937_64 random(seed);
  for (size_t i = frames; i > 1; --i) std::swap(order[i - 1], order[random() % i]);
  std::vector<double> out(frames * bins);
  for (size_t f = 0; f < frames; ++f) {
    std::copy_n(spectrogram.begin() + static_cast<std::ptrdiff_t>(order[f] * bins), bins,
                out.begin() + static_cast<std::ptrdiff_t>(f * bins));
  }
  return out;
}

int64_t findDelay(const std::vector<float>& reference, const std::vector<float>& delayed,
                  int64_t expected, int64_t radius, const SpectrogramShape& shape) {
  const size_t frames = frameCount(reference.size(), shape);
  if (frames == 0) return std::max<int64_t>(expected, 0);
  // Prefix sums of squares give the energy of any frame of `delayed` in constant time, so every
  // lag of the search costs one pass over the frames.
  std::vector<double> prefix(delayed.size() + 1, 0.0);
  for (size_t i = 0; i < delayed.size(); ++i)
    prefix[i + 1] = prefix[i] + double{delayed[i]} * delayed[i];
  auto energyDb = [&](int64_t first) {
    const int64_t size = static_cast<int64_t>(delayed.size());
    const int64_t a = std::clamp<int64_t>(first, 0, size);
    const int64_t b = std::clamp<int64_t>(first + static_cast<int64_t>(shape.frameLength), 0, size);
    return 10.0 *
           std::log10(prefix[static_cast<size_t>(b)] - prefix[static_cast<size_t>(a)] + 1e-10);
  };
  std::vector<double> ref(frames);
  for (size_t f = 0; f < frames; ++f) {
    double e = 0.0;
    for (size_t i = 0; i < shape.frameLength; ++i) {
      const double v = reference[f * shape.hop + i];
      e += v * v;
    }
    ref[f] = 10.0 * std::log10(e + 1e-10);
  }
  int64_t best = std::max<int64_t>(expected, 0);
  double bestScore = -std::numeric_limits<double>::infinity();
  std::vector<double> trial(frames);
  for (int64_t lag = std::max<int64_t>(expected - radius, 0); lag <= expected + radius; ++lag) {
    for (size_t f = 0; f < frames; ++f)
      trial[f] = energyDb(lag + static_cast<int64_t>(f * shape.hop));
    const double score = correlation(ref, trial);
    if (score > bestScore) {
      bestScore = score;
      best = lag;
    }
  }
  return best;
}

double peakFrequency(const std::vector<float>& x, size_t start, size_t length, double sampleRate) {
  const std::vector<double> window = hann(length);
  std::vector<double> frame(length);
  for (size_t i = 0; i < length; ++i)
    frame[i] = start + i < x.size() ? x[start + i] * window[i] : 0.0;
  const std::vector<double> power = media::powerSpectrum(frame);
  size_t peak = 1;
  for (size_t k = 1; k < length / 2; ++k)
    if (power[k] > power[peak]) peak = k;
  // Logarithms of the magnitudes, |X| = sqrt(power).
  const double a = std::log(std::sqrt(power[peak - 1]) + 1e-30);
  const double b = std::log(std::sqrt(power[peak]) + 1e-30);
  const double c = std::log(std::sqrt(power[peak + 1]) + 1e-30);
  const double denominator = a - 2.0 * b + c;
  const double shift = denominator != 0.0 ? 0.5 * (a - c) / denominator : 0.0;
  return (peak + shift) * sampleRate / length;
}

}  // namespace tools
