#include "tracked_method.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstddef>
#include <optional>
#include <utility>
#include <vector>

#include "messages.h"
#include "progress_reporter.h"
#include "real_fft.h"

namespace media {

namespace {

constexpr double kPi = 3.141592653589793;
constexpr int64_t kRate = 44100;
// Peaks weaker than a sine of one 16-bit step (256 in the working form) are taken for noise:
// this keeps digital silence and dithering from making tracks.
constexpr double kAbsoluteFloor = 256.0;
// ProgressReporter counts what is left of six slots per frame over all passes; one pass whose
// frames are reported as its last slot leaves exactly the frames still to do.
constexpr int kLastSlot = 5;

struct Peak {
  double frequency;
  double amplitude;
  double rank;  // amplitude weighted by the tilt
};

struct Track {
  double frequency = 0.0;
  double amplitude = 0.0;
  double rank = 0.0;
  int voice = -1;  // the voice playing it, or -1
  bool continued = false;
};

class PeakPicker {
 public:
  PeakPicker(const TrackedParams& params, const analyser::WaveSignal& signal)
      : params_(params),
        signal_(signal),
        length_(static_cast<std::size_t>(std::max(params.windowLength, 16))),
        fft_(length_),
        window_(length_),
        power_(length_ / 2 + 1),
        residual_(length_ / 2 + 1) {
    for (std::size_t i = 0; i < length_; ++i)
      window_[i] = 0.5 - 0.5 * std::cos(2.0 * kPi * static_cast<double>(i) / length_);
    const double binHz = static_cast<double>(kRate) / static_cast<double>(length_);
    lowBin_ = std::max<std::size_t>(1, static_cast<std::size_t>(params.lowestHz / binHz));
    highBin_ = std::min(length_ / 2 - 1,
                        static_cast<std::size_t>(std::max(params.highestHz, 0.0) / binHz) + 1);
  }

  // The peaks of the window centred on sample `centre` of the recording, strongest first.
  const std::vector<Peak>& peaksAround(int64_t centre) {
    const int64_t start =
        int64_t{analyser::kMarginSamples} + centre - static_cast<int64_t>(length_ / 2);
    const int64_t end = signal_.bufferLength();
    double* in = fft_.input();
    for (std::size_t i = 0; i < length_; ++i) {
      const int64_t p = start + static_cast<int64_t>(i);
      in[i] = p >= 0 && p < end ? window_[i] * signal_.signal[p] : 0.0;
    }
    peaks_.clear();
    if (params_.subtractPeaks) {
      subtractedPeaks();
    } else {
      fft_.powers(power_.data());
      localMaxima();
    }
    const auto stronger = [](const Peak& x, const Peak& y) {
      return x.rank > y.rank || (x.rank == y.rank && x.frequency < y.frequency);
    };
    const auto keep = static_cast<std::size_t>(std::max(params_.peaksPerFrame, 1));
    if (peaks_.size() > keep) {
      std::partial_sort(peaks_.begin(), peaks_.begin() + static_cast<std::ptrdiff_t>(keep),
                        peaks_.end(), stronger);
      peaks_.resize(keep);
    } else {
      std::sort(peaks_.begin(), peaks_.end(), stronger);
    }
    return peaks_;
  }

 private:
  // A sine of amplitude A peaks at |X| = A * length / 4 under the Hann window.
  double toAmplitude() const { return 4.0 / static_cast<double>(length_); }
  double binHz() const { return static_cast<double>(kRate) / static_cast<double>(length_); }
  double floorPower() const { return std::pow(kAbsoluteFloor / toAmplitude(), 2.0); }

  // The vertex of the parabola through the log powers of bins k - 1, k, k + 1: the offset of
  // the peak from bin k (within half a bin) and its log power.
  std::pair<double, double> vertex(std::size_t k) const {
    const double la = std::log(power_[k - 1] + 1e-30);
    const double lb = std::log(power_[k] + 1e-30);
    const double lc = std::log(power_[k + 1] + 1e-30);
    const double curve = la - 2.0 * lb + lc;
    const double offset = curve < 0.0 ? std::clamp(0.5 * (la - lc) / curve, -0.5, 0.5) : 0.0;
    return {offset, lb - 0.25 * (la - lc) * offset};
  }

  void addPeak(double frequency, double amplitude) {
    const double rank = params_.rankTilt == 0.0
                            ? amplitude
                            : amplitude * std::pow(frequency / 1000.0, params_.rankTilt);
    peaks_.push_back({frequency, amplitude, rank});
  }

  // Every local maximum of the power spectrum above the floor.
  void localMaxima() {
    const double floor = floorPower();
    for (std::size_t k = lowBin_; k <= highBin_; ++k) {
      const double b = power_[k];
      if (b <= floor || b <= power_[k - 1] || b < power_[k + 1]) continue;
      const auto [offset, logPower] = vertex(k);
      addPeak((static_cast<double>(k) + offset) * binHz(),
              toAmplitude() * std::exp(0.5 * logPower));
    }
  }

  // The strongest bin, refined by the parabola, is taken as a sine; its complex amplitude is
  // fitted to the three bins around it and its whole main lobe is subtracted from the
  // spectrum, so that a weaker partial on the skirt of a stronger one becomes a maximum in
  // turn. Repeated for as many peaks as a frame keeps, or until the floor.
  void subtractedPeaks() {
    fft_.execute();
    const std::size_t bins = length_ / 2 + 1;
    std::copy_n(fft_.spectrum(), bins, residual_.begin());
    for (std::size_t k = 0; k < bins; ++k) power_[k] = std::norm(residual_[k]);
    const double floor = floorPower();
    const auto wanted = static_cast<std::size_t>(std::max(params_.peaksPerFrame, 1));
    const double n = static_cast<double>(length_);
    constexpr int kReach = 4;  // bins either side that the subtraction reaches
    std::complex<double> kernel[2 * kReach + 1];
    std::size_t attempts = 0;
    // The strongest bin of every block of kBlock bins, so that finding the strongest bin after a
    // subtraction rescans only the blocks it touched.
    const std::size_t blocks = (highBin_ - lowBin_) / kBlock + 1;
    blockBest_.resize(blocks);
    for (std::size_t b = 0; b < blocks; ++b) rescanBlock(b);
    while (peaks_.size() < wanted) {
      std::size_t k = blockBest_[0];
      for (std::size_t b = 1; b < blocks; ++b) {
        if (power_[blockBest_[b]] > power_[k]) k = blockBest_[b];
      }
      if (power_[k] <= floor) break;
      const double centre = static_cast<double>(k) + vertex(k).first;
      // The Hann window's transform at x bins from the sine, for a long window:
      // e^(-i pi x (n - 1) / n) * n / 2 * sinc(x) / (1 - x^2).
      const std::size_t first = k >= kReach ? k - kReach : 0;
      const std::size_t last = std::min(bins - 1, k + kReach);
      // With j whole and x = j - centre: e^(-i pi x) = (-1)^j u and sin(pi x) = -(-1)^j Im u,
      // u = e^(i pi centre); the remaining factor e^(i pi x / n) is within 0.02 rad of 1, where
      // a short series is exact to double precision.
      const std::complex<double> u = std::polar(1.0, kPi * std::fmod(centre, 2.0));
      std::complex<double> fit = 0.0;
      double weight = 0.0;
      for (std::size_t j = first; j <= last; ++j) {
        const double x = static_cast<double>(j) - centre;
        const double sign = (j % 2 == 0) ? 1.0 : -1.0;
        const double a = kPi * x / n, a2 = a * a;
        const std::complex<double> phase =
            sign * u *
            std::complex<double>(1.0 - a2 / 2.0 + a2 * a2 / 24.0 - a2 * a2 * a2 / 720.0,
                                 a * (1.0 - a2 / 6.0 + a2 * a2 / 120.0));
        const double sine = -sign * u.imag();
        double shape;
        if (std::abs(x) < 1e-9) {
          shape = 1.0;
        } else if (std::abs(1.0 - x * x) < 1e-9) {
          shape = 0.5;
        } else {
          shape = sine / (kPi * x * (1.0 - x * x));
        }
        const std::complex<double> w = phase * (0.5 * n * shape);
        kernel[j - first] = w;
        if (j + 1 >= k && j <= k + 1) {
          fit += std::conj(w) * residual_[j];
          weight += std::norm(w);
        }
      }
      const std::complex<double> c = weight > 0.0 ? fit / weight : 0.0;
      const double amplitude = 2.0 * std::sqrt(std::norm(c));
      // What is left of a stronger sine close by is the error of its fit, not a partial.
      bool residue = false;
      for (const Peak& p : peaks_) {
        residue = residue || (std::abs(p.frequency / binHz() - centre) < 3.0 &&
                              amplitude < params_.residueRatio * p.amplitude);
      }
      if (!residue) addPeak(centre * binHz(), amplitude);
      if (++attempts >= 3 * wanted) break;
      for (std::size_t j = first; j <= last; ++j) {
        residual_[j] -= c * kernel[j - first];
        power_[j] = std::norm(residual_[j]);
      }
      power_[k] = 0.0;  // never the same bin twice, whatever the fit left there
      const std::size_t low = std::max(first, lowBin_), high = std::min(last, highBin_);
      for (std::size_t b = (low - lowBin_) / kBlock; b <= (high - lowBin_) / kBlock; ++b) {
        rescanBlock(b);
      }
    }
  }

  void rescanBlock(std::size_t b) {
    const std::size_t first = lowBin_ + b * kBlock;
    const std::size_t last = std::min(highBin_, first + kBlock - 1);
    std::size_t best = first;
    for (std::size_t j = first + 1; j <= last; ++j) {
      if (power_[j] > power_[best]) best = j;
    }
    blockBest_[b] = best;
  }

  const TrackedParams& params_;
  const analyser::WaveSignal& signal_;
  std::size_t length_;
  RealFft fft_;
  std::vector<double> window_;
  std::vector<double> power_;
  std::vector<std::complex<double>> residual_;
  static constexpr std::size_t kBlock = 16;
  std::vector<std::size_t> blockBest_;
  std::size_t lowBin_ = 1;
  std::size_t highBin_ = 1;
  std::vector<Peak> peaks_;
};

// Joins the peaks of a frame to the tracks of the one before: strongest peak first, each to the
// nearest track not yet continued within the jump limit. Tracks left over end (their voice is
// freed); peaks left over start tracks.
void continueTracks(const std::vector<Peak>& peaks, const TrackedParams& params,
                    std::vector<Track>& tracks, std::vector<int>& trackOfVoice) {
  for (Track& t : tracks) t.continued = false;
  const std::size_t previous = tracks.size();
  for (const Peak& peak : peaks) {
    const double limit = std::max(params.jumpHz, params.jumpRatio * peak.frequency);
    std::size_t best = previous;
    double bestDistance = limit;
    for (std::size_t i = 0; i < previous; ++i) {
      const double d = std::abs(tracks[i].frequency - peak.frequency);
      if (!tracks[i].continued && d <= bestDistance) best = i, bestDistance = d;
    }
    if (best < previous) {
      tracks[best] = {peak.frequency, peak.amplitude, peak.rank, tracks[best].voice, true};
    } else {
      tracks.push_back({peak.frequency, peak.amplitude, peak.rank, -1, true});
    }
  }
  std::erase_if(tracks, [&](const Track& t) {
    if (!t.continued && t.voice >= 0) trackOfVoice[static_cast<std::size_t>(t.voice)] = -1;
    return !t.continued;
  });
  for (std::size_t i = 0; i < tracks.size(); ++i) {
    if (tracks[i].voice >= 0)
      trackOfVoice[static_cast<std::size_t>(tracks[i].voice)] = static_cast<int>(i);
  }
}

// Puts the strongest tracks (a held one counting holdBonus times its level) on the voices: a
// held track keeps its voice, a track that drops out of the strongest frees it, and a newly
// picked track takes the free voice whose last frequency is nearest to its own.
void assignVoices(const TrackedParams& params, std::vector<Track>& tracks,
                  std::vector<int>& trackOfVoice, const std::vector<double>& lastFrequency,
                  std::vector<std::size_t>& order) {
  const std::size_t voices = trackOfVoice.size();
  order.resize(tracks.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  const auto weight = [&](std::size_t i) {
    return tracks[i].rank * (tracks[i].voice >= 0 ? params.holdBonus : 1.0);
  };
  const std::size_t picked = std::min(voices, order.size());
  std::partial_sort(order.begin(), order.begin() + static_cast<std::ptrdiff_t>(picked), order.end(),
                    [&](std::size_t a, std::size_t b) {
                      return weight(a) > weight(b) || (weight(a) == weight(b) && a < b);
                    });
  for (std::size_t r = picked; r < order.size(); ++r) {
    Track& t = tracks[order[r]];
    if (t.voice >= 0) trackOfVoice[static_cast<std::size_t>(t.voice)] = -1, t.voice = -1;
  }
  for (std::size_t r = 0; r < picked; ++r) {
    Track& t = tracks[order[r]];
    if (t.voice >= 0) continue;
    std::size_t best = voices;
    double bestDistance = 0.0;
    for (std::size_t v = 0; v < voices; ++v) {
      if (trackOfVoice[v] >= 0) continue;
      const double d = lastFrequency[v] > 0.0 ? std::abs(std::log(t.frequency / lastFrequency[v]))
                                              : 1e9;  // a voice never used: after the others
      if (best == voices || d < bestDistance) best = v, bestDistance = d;
    }
    t.voice = static_cast<int>(best);
    trackOfVoice[best] = static_cast<int>(order[r]);
  }
}

class TrackedMethod final : public analyser::AnalysisMethod {
 public:
  std::string_view name() const override { return kTrackedMethodName; }

  analyser::AnalysisOutcome run(const analyser::WaveSignal& signal,
                                const analyser::AnalysisOptions& options,
                                analyser::ProgressSink& sink) override {
    // Unasked, six voices at the rate of the settings' unit.
    const int32_t voices =
        std::clamp(options.voices > 0 ? options.voices : 6, kTrackedMinVoices, kTrackedMaxVoices);
    const int32_t rate = std::clamp(
        options.framesPerSecond > 0 ? options.framesPerSecond : options.settings.unitsPerSecond, 15,
        240);
    common::NoteFrames frames;
    if (!trackPartials(signal, rate, voices, TrackedParams{}, &sink, frames)) {
      return {analyser::AnalysisStatus::Cancelled, msg::kCancelled, {}};
    }
    return {analyser::AnalysisStatus::Written, msg::kFinished, std::move(frames)};
  }
};

}  // namespace

bool trackPartials(const analyser::WaveSignal& signal, int32_t framesPerSecond, int32_t voices,
                   const TrackedParams& params, analyser::ProgressSink* sink,
                   common::NoteFrames& frames) {
  const int64_t fps = std::max<int32_t>(framesPerSecond, 1);
  const auto voiceCount = static_cast<std::size_t>(std::max<int32_t>(voices, 1));
  // One frame more than the samples need, as the seed counts them.
  const int64_t frameCount = (int64_t{signal.sampleCount} * fps + 2 * kRate - 1) / kRate;
  frames = {};
  frames.voices = static_cast<int32_t>(voiceCount);
  frames.framesPerSecond = static_cast<int32_t>(fps);
  frames.method = std::string(kTrackedMethodName);
  frames.slots.assign(static_cast<std::size_t>(frameCount) * voiceCount, {});
  std::vector<double> amplitude(frames.slots.size(), 0.0);

  std::optional<analyser::ProgressReporter> reporter;
  if (sink != nullptr) {
    reporter.emplace(*sink);
    reporter->open(sink->counterTicksPerSecond(), 1, static_cast<int32_t>(frameCount));
  }

  PeakPicker picker(params, signal);
  std::vector<Track> tracks;
  std::vector<int> trackOfVoice(voiceCount, -1);
  std::vector<double> lastFrequency(voiceCount, 0.0);
  std::vector<std::size_t> order;
  double loudest = 0.0;
  for (int64_t g = 0; g < frameCount; ++g) {
    if (reporter) reporter->beginFrame();
    const int64_t centre = ((2 * g + 1) * kRate + fps) / (2 * fps);
    continueTracks(picker.peaksAround(centre), params, tracks, trackOfVoice);
    assignVoices(params, tracks, trackOfVoice, lastFrequency, order);
    const std::size_t row = static_cast<std::size_t>(g) * voiceCount;
    for (std::size_t v = 0; v < voiceCount; ++v) {
      if (trackOfVoice[v] >= 0) {
        const Track& t = tracks[static_cast<std::size_t>(trackOfVoice[v])];
        lastFrequency[v] = t.frequency;
        amplitude[row + v] = t.amplitude;
        loudest = std::max(loudest, t.amplitude);
      }
      // Tenths of a hertz; below 44100 Hz, so the rounding stays far inside int32.
      frames.slots[row + v].frequency = static_cast<int32_t>(std::lround(lastFrequency[v] * 10.0));
    }
    if (reporter && reporter->endFrame(0, kLastSlot, static_cast<int32_t>(g)) ==
                        analyser::FrameAnswer::Cancel) {
      frames = {};
      return false;
    }
  }
  // A peak's amplitude is at most 4 / length * sum |w x| <= 2^24 for 24-bit samples, and the
  // compressed level is below the loudest, so the rounding stays well inside int32.
  for (std::size_t i = 0; i < amplitude.size(); ++i) {
    if (amplitude[i] <= 0.0) continue;
    double level = loudest * std::pow(amplitude[i] / loudest, params.compression);
    // The builder silences levels below its peak / 256; a lifted level stays just above that.
    if (params.liftToFloor) level = std::max(level, std::ceil(loudest / 256.0) + 1.0);
    frames.slots[i].level = static_cast<int32_t>(std::clamp(std::llround(level), 1LL, 1LL << 30));
  }
  return true;
}

std::unique_ptr<analyser::AnalysisMethod> makeTrackedMethod() {
  return std::make_unique<TrackedMethod>();
}

void registerMediaMethods() {
  analyser::registerAnalysisMethod({kTrackedMethodName, &makeTrackedMethod});
}

}  // namespace media
