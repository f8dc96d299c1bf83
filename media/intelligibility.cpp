#include "intelligibility.h"

#include <soxr.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstddef>
#include <limits>

#include "real_fft.h"
#include "spectrum.h"

namespace media {

namespace {

constexpr double kPi = 3.141592653589793;
constexpr std::size_t kFrame = 256;  // 25.6 ms at 10 kHz
constexpr std::size_t kHop = kFrame / 2;
constexpr std::size_t kFftSize = 512;
constexpr int kBands = 15;
constexpr double kLowestCentre = 150.0;
constexpr std::size_t kSegment = 30;  // frames: 384 ms
constexpr double kDynamicRange = 40.0;
constexpr double kClipDb = -15.0;  // lowest signal-to-distortion ratio a band counts with
constexpr std::size_t kEnvelopeStep = 10;
// Added to norms so that an all-zero vector correlates as 0 instead of dividing by zero.
constexpr double kEps = std::numeric_limits<double>::epsilon();

using Matrix = std::vector<std::vector<double>>;  // [band][frame]

std::string resampleTo10k(const std::vector<float>& in, int rate, std::vector<double>& out) {
  out.clear();
  if (rate == kIntelligibilityRate) {
    out.assign(in.begin(), in.end());
    return "";
  }
  const auto length = static_cast<std::size_t>(
      std::ceil(static_cast<double>(in.size()) * kIntelligibilityRate / rate));
  out.resize(length + 1);
  std::size_t done = 0;
  const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT64_I);
  const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
  const soxr_error_t error =
      soxr_oneshot(rate, kIntelligibilityRate, 1, in.data(), in.size(), nullptr, out.data(),
                   out.size(), &done, &io, &quality, nullptr);
  if (error != nullptr) return std::string("resampling failed: ") + error;
  out.resize(done);
  return "";
}

// The symmetric Hann window of the published definition, without its zero end points.
const std::vector<double>& frameWindow() {
  static const std::vector<double> window = [] {
    std::vector<double> w(kFrame);
    for (std::size_t i = 0; i < kFrame; ++i)
      w[i] = 0.5 - 0.5 * std::cos(2.0 * kPi * static_cast<double>(i + 1) / (kFrame + 1));
    return w;
  }();
  return window;
}

// Frame starts 0, hop, ... strictly below length - kFrame, as the definition frames a signal.
std::size_t frameCount(std::size_t length) {
  return length > kFrame ? (length - kFrame - 1) / kHop + 1 : 0;
}

// Leaves out the frames in which the reference lies more than 40 dB below its loudest frame,
// from both signals, and overlap-adds the windowed frames that remain.
void removeSilentFrames(std::vector<double>& x, std::vector<double>& y) {
  const std::vector<double>& w = frameWindow();
  const std::size_t frames = frameCount(x.size());
  std::vector<double> energy(frames);
  double loudest = -std::numeric_limits<double>::infinity();
  for (std::size_t f = 0; f < frames; ++f) {
    double sum = 0.0;
    for (std::size_t i = 0; i < kFrame; ++i) {
      const double v = w[i] * x[f * kHop + i];
      sum += v * v;
    }
    energy[f] = 20.0 * std::log10(std::sqrt(sum) + kEps);
    loudest = std::max(loudest, energy[f]);
  }
  std::vector<double> xs, ys;
  std::size_t kept = 0;
  for (std::size_t f = 0; f < frames; ++f) {
    if (energy[f] <= loudest - kDynamicRange) continue;
    xs.resize(kept * kHop + kFrame, 0.0);
    ys.resize(kept * kHop + kFrame, 0.0);
    for (std::size_t i = 0; i < kFrame; ++i) {
      xs[kept * kHop + i] += w[i] * x[f * kHop + i];
      ys[kept * kHop + i] += w[i] * y[f * kHop + i];
    }
    ++kept;
  }
  x.swap(xs);
  y.swap(ys);
}

// The first band edge bins: the bins nearest to the edges 150 * 2^((2j - 1) / 6) Hz; band j
// takes bins [edge[j], edge'[j]) with edge' the nearest to 150 * 2^((2j + 1) / 6).
struct BandBins {
  std::size_t low[kBands];
  std::size_t high[kBands];
};

BandBins bandBins() {
  auto nearest = [](double hz) {
    std::size_t best = 0;
    double bestDistance = std::numeric_limits<double>::infinity();
    for (std::size_t k = 0; k <= kFftSize / 2; ++k) {
      const double d = std::abs(static_cast<double>(k) * kIntelligibilityRate / kFftSize - hz);
      if (d < bestDistance) bestDistance = d, best = k;  // the first of equals
    }
    return best;
  };
  BandBins b{};
  for (int j = 0; j < kBands; ++j) {
    const double centre = kLowestCentre * std::pow(2.0, j / 3.0);
    b.low[j] = nearest(centre * std::pow(2.0, -1.0 / 6.0));
    b.high[j] = nearest(centre * std::pow(2.0, 1.0 / 6.0));
  }
  return b;
}

// The 1/3-octave band magnitudes of every frame.
Matrix bandEnvelopes(const std::vector<double>& x) {
  static const BandBins bins = bandBins();
  const std::vector<double>& w = frameWindow();
  const std::size_t frames = frameCount(x.size());
  Matrix out(kBands, std::vector<double>(frames));
  RealFft fft(kFftSize);
  std::vector<double> power(kFftSize / 2 + 1);
  for (std::size_t f = 0; f < frames; ++f) {
    double* in = fft.input();
    for (std::size_t i = 0; i < kFrame; ++i) in[i] = w[i] * x[f * kHop + i];
    std::fill(in + kFrame, in + kFftSize, 0.0);
    fft.powers(power.data());
    for (int j = 0; j < kBands; ++j) {
      double sum = 0.0;
      for (std::size_t k = bins.low[j]; k < bins.high[j]; ++k) sum += power[k];
      out[static_cast<std::size_t>(j)][f] = std::sqrt(sum);
    }
  }
  return out;
}

double norm(const double* v, std::size_t n) {
  double sum = 0.0;
  for (std::size_t i = 0; i < n; ++i) sum += v[i] * v[i];
  return std::sqrt(sum);
}

// v minus its mean, divided by its norm (plus kEps).
void centreAndNormalise(double* v, std::size_t n, std::size_t stride) {
  double mean = 0.0;
  for (std::size_t i = 0; i < n; ++i) mean += v[i * stride];
  mean /= static_cast<double>(n);
  double sum = 0.0;
  for (std::size_t i = 0; i < n; ++i) {
    v[i * stride] -= mean;
    sum += v[i * stride] * v[i * stride];
  }
  const double scale = 1.0 / (std::sqrt(sum) + kEps);
  for (std::size_t i = 0; i < n; ++i) v[i * stride] *= scale;
}

// Mean over the segments ending at frames kSegment - 1 .. frames - 1 and over the bands of
// the correlation of each band's clipped envelope with the reference's.
double stoiOf(const Matrix& x, const Matrix& y, std::size_t segments) {
  const double clip = 1.0 + std::pow(10.0, -kClipDb / 20.0);
  double total = 0.0;
  double xs[kSegment], ys[kSegment];
  for (std::size_t m = 0; m < segments; ++m) {
    for (int j = 0; j < kBands; ++j) {
      const double* xb = x[static_cast<std::size_t>(j)].data() + m;
      const double* yb = y[static_cast<std::size_t>(j)].data() + m;
      const double alpha = norm(xb, kSegment) / (norm(yb, kSegment) + kEps);
      for (std::size_t n = 0; n < kSegment; ++n) {
        xs[n] = xb[n];
        ys[n] = std::min(alpha * yb[n], clip * xb[n]);
      }
      centreAndNormalise(xs, kSegment, 1);
      centreAndNormalise(ys, kSegment, 1);
      for (std::size_t n = 0; n < kSegment; ++n) total += xs[n] * ys[n];
    }
  }
  return total / static_cast<double>(segments * kBands);
}

// Mean over the segments of the mean over their frames of the correlation of the reference's
// and the degraded band vectors, each segment normalised band by band over time, then frame by
// frame over the bands.
double estoiOf(const Matrix& x, const Matrix& y, std::size_t segments) {
  double total = 0.0;
  double xs[kBands * kSegment], ys[kBands * kSegment];  // [band][frame]
  for (std::size_t m = 0; m < segments; ++m) {
    for (std::size_t j = 0; j < kBands; ++j) {
      std::copy_n(x[j].data() + m, kSegment, xs + j * kSegment);
      std::copy_n(y[j].data() + m, kSegment, ys + j * kSegment);
      centreAndNormalise(xs + j * kSegment, kSegment, 1);
      centreAndNormalise(ys + j * kSegment, kSegment, 1);
    }
    for (std::size_t n = 0; n < kSegment; ++n) {
      centreAndNormalise(xs + n, kBands, kSegment);
      centreAndNormalise(ys + n, kBands, kSegment);
      for (std::size_t j = 0; j < kBands; ++j) total += xs[j * kSegment + n] * ys[j * kSegment + n];
    }
  }
  return total / static_cast<double>(segments * kSegment);
}

// sum a[i] b[i + lag] over the indices both have, for lags -maxLag .. maxLag, through one FFT
// product (index lag + maxLag of the result).
std::vector<double> crossCorrelation(const std::vector<double>& a, const std::vector<double>& b,
                                     int maxLag) {
  std::size_t n = 1;
  while (n < a.size() + b.size()) n *= 2;
  std::vector<std::complex<double>> fa(n), fb(n);
  std::copy(a.begin(), a.end(), fa.begin());
  std::copy(b.begin(), b.end(), fb.begin());
  fftInPlace(fa);
  fftInPlace(fb);
  // conj(A) B, transformed forward once more and read backwards, is the correlation times n.
  for (std::size_t k = 0; k < n; ++k) fa[k] = std::conj(fa[k]) * fb[k];
  fftInPlace(fa);
  // With n >= a.size() + b.size() the circular correlation is the linear one for every lag
  // where the two overlap; lag `lag` sits at index (n - lag) mod n.
  const auto sizeA = static_cast<long long>(a.size());
  const auto sizeB = static_cast<long long>(b.size());
  const auto size = static_cast<long long>(n);
  std::vector<double> out(static_cast<std::size_t>(2 * maxLag + 1), 0.0);
  for (long long lag = -maxLag; lag <= maxLag; ++lag) {
    if (lag <= -sizeA || lag >= sizeB) continue;
    out[static_cast<std::size_t>(lag + maxLag)] =
        fa[static_cast<std::size_t>((size - lag) % size)].real();
  }
  return out;
}

std::vector<double> envelope(const std::vector<double>& x) {
  std::vector<double> e(x.size() / kEnvelopeStep);
  for (std::size_t i = 0; i < e.size(); ++i) {
    double sum = 0.0;
    for (std::size_t k = 0; k < kEnvelopeStep; ++k) sum += std::abs(x[i * kEnvelopeStep + k]);
    e[i] = sum;
  }
  double mean = 0.0;
  for (double v : e) mean += v;
  mean /= std::max<std::size_t>(e.size(), 1);
  for (double& v : e) v -= mean;
  return e;
}

}  // namespace

int alignmentDelay(const std::vector<double>& reference, const std::vector<double>& degraded,
                   int maxLag) {
  if (maxLag <= 0 || reference.empty() || degraded.empty()) return 0;
  const int envelopeLag = maxLag / static_cast<int>(kEnvelopeStep);
  int coarse = 0;
  if (envelopeLag > 0) {
    const std::vector<double> c =
        crossCorrelation(envelope(reference), envelope(degraded), envelopeLag);
    const auto best = std::max_element(c.begin(), c.end()) - c.begin();
    coarse = (static_cast<int>(best) - envelopeLag) * static_cast<int>(kEnvelopeStep);
  }
  // The signals themselves within one envelope step of it, summed directly.
  const int step = static_cast<int>(kEnvelopeStep);
  int bestLag = coarse;
  double bestSum = -std::numeric_limits<double>::infinity();
  for (int lag = std::max(-maxLag, coarse - step); lag <= std::min(maxLag, coarse + step); ++lag) {
    double sum = 0.0;
    const std::ptrdiff_t first = std::max<std::ptrdiff_t>(0, -lag);
    const std::ptrdiff_t last =
        std::min<std::ptrdiff_t>(static_cast<std::ptrdiff_t>(reference.size()),
                                 static_cast<std::ptrdiff_t>(degraded.size()) - lag);
    for (std::ptrdiff_t i = first; i < last; ++i)
      sum += reference[static_cast<std::size_t>(i)] * degraded[static_cast<std::size_t>(i + lag)];
    if (sum > bestSum) bestSum = sum, bestLag = lag;
  }
  return bestLag;
}

std::string measureIntelligibility(const std::vector<float>& reference, int referenceRate,
                                   const std::vector<float>& degraded, int degradedRate,
                                   const IntelligibilityOptions& options,
                                   IntelligibilityScores& scores) {
  scores = {};
  if (referenceRate <= 0 || degradedRate <= 0) return "the sample rates must be positive";
  std::vector<double> x, y;
  std::string failure = resampleTo10k(reference, referenceRate, x);
  if (failure.empty()) failure = resampleTo10k(degraded, degradedRate, y);
  if (!failure.empty()) return failure;

  const double maxDelay = std::clamp(options.maxDelaySeconds, 0.0, 60.0);
  const int delay =
      alignmentDelay(x, y, static_cast<int>(std::lround(maxDelay * kIntelligibilityRate)));
  if (delay > 0) y.erase(y.begin(), y.begin() + std::min<std::ptrdiff_t>(delay, y.size()));
  if (delay < 0) x.erase(x.begin(), x.begin() + std::min<std::ptrdiff_t>(-delay, x.size()));
  const std::size_t length = std::min(x.size(), y.size());
  x.resize(length);
  y.resize(length);
  scores.delaySeconds = static_cast<double>(delay) / kIntelligibilityRate;

  removeSilentFrames(x, y);
  const Matrix xb = bandEnvelopes(x);
  const Matrix yb = bandEnvelopes(y);
  const std::size_t frames = xb[0].size();
  if (frames < kSegment) return "too little sound to measure (less than 0.4 s)";
  const std::size_t segments = frames - kSegment + 1;
  scores.segments = static_cast<int>(segments);
  scores.stoi = stoiOf(xb, yb, segments);
  scores.estoi = estoiOf(xb, yb, segments);
  return "";
}

}  // namespace media
