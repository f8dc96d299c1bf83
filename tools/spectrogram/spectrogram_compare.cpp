// spectrogram-compare: does a resynthesised recording still resemble the original?
//
//   spectrogram-compare [--delay SECONDS] [--search SECONDS] [--min-margin M] [--seed N]
//                       ORIGINAL.wav RENDERED.wav
//
// Finds the delay of RENDERED against ORIGINAL near --delay (the time at which the rendering
// starts to play the original's first frame), then prints the correlation of the two
// log-magnitude spectrograms (mono, 1024-sample frames, hop 256) and, as the baseline, the
// correlation of the original's spectrogram with a copy whose frames are shuffled in time.
// Exit status: 0 when the first exceeds the baseline by at least --min-margin (default 0),
// 1 when it does not, 2 on a usage or file error.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

#include "spectrogram.h"

namespace {

int usage() {
  std::cerr << "usage: spectrogram-compare [--delay SECONDS] [--search SECONDS] [--min-margin M]"
               " [--seed N] ORIGINAL.wav RENDERED.wav\n";
  return 2;
}

bool parseNumber(const char* text, double low, double high, double& value) {
  char* end = nullptr;
  value = std::strtod(text, &end);
  return end != text && *end == '\0' && std::isfinite(value) && value >= low && value <= high;
}

}  // namespace

int main(int argc, char** argv) {
  double delaySeconds = 0.0, searchSeconds = 0.25, minMargin = 0.0, seed = 1.0;
  std::string paths[2];
  int pathCount = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    double* target = arg == "--delay"        ? &delaySeconds
                     : arg == "--search"     ? &searchSeconds
                     : arg == "--min-margin" ? &minMargin
                     : arg == "--seed"       ? &seed
                                             : nullptr;
    if (target != nullptr) {
      // Bounds keep the sample counts derived from these values far inside int64_t.
      if (i + 1 >= argc || !parseNumber(argv[i + 1], arg == "--min-margin" ? -2.0 : 0.0,
                                        arg == "--seed" ? 4294967295.0 : 3600.0, *target))
        return usage();
      ++i;
    } else if (!arg.empty() && arg[0] != '-' && pathCount < 2) {
      paths[pathCount++] = arg;
    } else {
      return usage();
    }
  }
  if (pathCount != 2) return usage();

  tools::MonoSignal original, rendered;
  for (auto [path, signal] : {std::pair{&paths[0], &original}, std::pair{&paths[1], &rendered}}) {
    const std::string error = tools::readWave(*path, *signal);
    if (!error.empty()) {
      std::cerr << "spectrogram-compare: " << error << "\n";
      return 2;
    }
  }
  if (original.sampleRate != rendered.sampleRate) {
    std::cerr << "spectrogram-compare: sample rates differ (" << original.sampleRate << " and "
              << rendered.sampleRate << ")\n";
    return 2;
  }
  const tools::SpectrogramShape shape;
  const size_t frames = tools::frameCount(original.samples.size(), shape);
  if (frames < 2) {
    std::cerr << "spectrogram-compare: the original is shorter than two frames\n";
    return 2;
  }

  const double rate = original.sampleRate;
  const auto expected = static_cast<int64_t>(std::llround(delaySeconds * rate));
  const auto radius = static_cast<int64_t>(std::llround(searchSeconds * rate));
  const int64_t delay =
      tools::findDelay(original.samples, rendered.samples, expected, radius, shape);

  const std::vector<double> a = tools::logSpectrogram(original.samples, 0, frames, shape);
  const std::vector<double> b = tools::logSpectrogram(rendered.samples, delay, frames, shape);
  const std::vector<double> shuffled =
      tools::shuffleFrames(a, shape.bins(), static_cast<uint64_t>(seed));
  const double resemblance = tools::correlation(a, b);
  const double baseline = tools::correlation(a, shuffled);

  std::printf("delay: %lld samples (%.4f s; expected %.4f s)\n", static_cast<long long>(delay),
              delay / rate, expected / rate);
  std::printf("compared: %zu frames of %zu bins\n", frames, shape.bins());
  std::printf("correlation original/rendered: %.4f\n", resemblance);
  std::printf("correlation original/shuffled: %.4f\n", baseline);
  std::printf("margin: %.4f (required %.4f)\n", resemblance - baseline, minMargin);
  return resemblance - baseline >= minMargin ? 0 : 1;
}
