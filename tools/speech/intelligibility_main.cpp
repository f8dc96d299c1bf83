// intelligibility REFERENCE DEGRADED: the STOI and ESTOI of DEGRADED (any recording libsndfile
// reads, channels averaged) against REFERENCE, after aligning it in time.
//
//   intelligibility [--max-delay SECONDS] REFERENCE DEGRADED
//
// Prints "stoi 0.8123  estoi 0.6543  delay 0.0120 s"; exit status 0, 1 on a failure, 2 on a
// usage error.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "intelligibility.h"
#include "recording.h"
#include "spectrum.h"

namespace {

int usage() {
  std::fprintf(stderr, "usage: intelligibility [--max-delay SECONDS] REFERENCE DEGRADED\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  media::IntelligibilityOptions options;
  if (args.size() == 4 && args[0] == "--max-delay") {
    char* end = nullptr;
    options.maxDelaySeconds = std::strtod(args[1].c_str(), &end);
    if (end == args[1].c_str() || *end != '\0' || !(options.maxDelaySeconds >= 0.0)) {
      return usage();
    }
    args.erase(args.begin(), args.begin() + 2);
  }
  if (args.size() != 2) return usage();
  std::vector<float> signals[2];
  for (int i = 0; i < 2; ++i) {
    media::Recording r;
    const std::string failure = media::decodeRecording(args[static_cast<std::size_t>(i)], r);
    if (!failure.empty()) {
      std::fprintf(stderr, "%s: %s\n", args[static_cast<std::size_t>(i)].c_str(), failure.c_str());
      return 1;
    }
    signals[i] = media::monoOf(r.samples, r.channels);
  }
  media::IntelligibilityScores scores;
  const std::string failure =
      media::measureIntelligibility(signals[0], 44100, signals[1], 44100, options, scores);
  if (!failure.empty()) {
    std::fprintf(stderr, "intelligibility: %s\n", failure.c_str());
    return 1;
  }
  std::printf("stoi %.4f  estoi %.4f  delay %.4f s\n", scores.stoi, scores.estoi,
              scores.delaySeconds);
  return 0;
}
