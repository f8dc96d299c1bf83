// analyse-method: one analysis method on one recording, written as a DAT file.
//
//   analyse-method [--method NAME] [--voices N] [--frame-rate F] [--set NAME=VALUE]... IN OUT.dat
//
// NAME is any registered method ("seed", "tracked"; default "seed"); --voices (default 6) and
// --frame-rate (default 60) are passed in the analysis options. --set changes one of the
// tracking analysis's numeric choices (window, lowest, highest, jump-hz, jump-ratio, hold,
// compression, peaks, tilt, subtract, residue, lift) and runs it directly, for measuring the
// choices. Frames that a DAT cannot hold (more than eight voices, or not 60 frames a second) are
// refused. Exit status 0, 1 on a failure, 2 on a usage error.
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "alloc_registry.h"
#include "analysis.h"
#include "file_io.h"
#include "note_frames.h"
#include "recording.h"
#include "tracked_method.h"

namespace {

int usage() {
  std::fprintf(stderr,
               "usage: analyse-method [--method NAME] [--voices N] [--frame-rate F] "
               "[--set NAME=VALUE]... IN OUT.dat\n");
  return 2;
}

struct QuietSink final : analyser::ProgressSink {
  int64_t counterTicksPerSecond() override { return 1000; }
  int64_t counterNow() override { return 0; }
  int32_t clockMillis() override { return 0; }
  void progress(double, double) override {}
  bool cancelRequested() override { return false; }
};

bool setParam(media::TrackedParams& p, const std::string& name, double value) {
  const std::map<std::string, double*> doubles = {
      {"lowest", &p.lowestHz},      {"highest", &p.highestHz},   {"jump-hz", &p.jumpHz},
      {"jump-ratio", &p.jumpRatio}, {"hold", &p.holdBonus},      {"compression", &p.compression},
      {"tilt", &p.rankTilt},        {"residue", &p.residueRatio}};
  if (auto it = doubles.find(name); it != doubles.end()) {
    *it->second = value;
    return true;
  }
  if (name == "subtract" || name == "lift") {
    (name == "subtract" ? p.subtractPeaks : p.liftToFloor) = value != 0.0;
    return true;
  }
  if (name == "window" || name == "peaks") {
    if (!(value >= 16 && value <= 65536)) return false;
    (name == "window" ? p.windowLength : p.peaksPerFrame) = static_cast<int>(value);
    return true;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  media::registerMediaMethods();
  analyser::AnalysisOptions options;
  options.voices = 6;
  media::TrackedParams params;
  bool tuned = false;
  std::vector<std::string> paths;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--method" && hasValue) {
      options.method = argv[++i];
    } else if ((arg == "--voices" || arg == "--frame-rate") && hasValue) {
      const long value = std::strtol(argv[++i], nullptr, 10);
      if (value < 1 || value > 1000) return usage();
      (arg == "--voices" ? options.voices : options.settings.unitsPerSecond) =
          static_cast<int32_t>(value);
    } else if (arg == "--set" && hasValue) {
      const std::string setting = argv[++i];
      const auto equals = setting.find('=');
      if (equals == std::string::npos ||
          !setParam(params, setting.substr(0, equals),
                    std::strtod(setting.c_str() + equals + 1, nullptr))) {
        return usage();
      }
      tuned = true;
    } else if (!arg.empty() && arg[0] != '-') {
      paths.push_back(arg);
    } else {
      return usage();
    }
  }
  if (paths.size() != 2) return usage();

  media::Recording recording;
  std::string failure = media::decodeRecording(paths[0], recording);
  if (!failure.empty()) {
    std::fprintf(stderr, "%s: %s\n", paths[0].c_str(), failure.c_str());
    return 1;
  }
  common::AllocationRegistry registry;
  const analyser::LoadResult loaded = analyser::signalFromSamples(
      registry, recording.samples.data(),
      static_cast<int64_t>(recording.samples.size()) / recording.channels, recording.channels);
  if (loaded.status != analyser::LoadStatus::Loaded) {
    std::fprintf(stderr, "%s: %s\n", paths[0].c_str(), loaded.message.c_str());
    return 1;
  }
  QuietSink sink;
  common::NoteFrames frames;
  if (tuned) {
    if (options.method != media::kTrackedMethodName) return usage();
    media::trackPartials(loaded.wave, options.settings.unitsPerSecond, options.voices, params,
                         &sink, frames);
  } else {
    analyser::AnalysisState state;
    analyser::AnalysisOutcome outcome = analyser::analyse(state, loaded.wave, options, sink);
    if (outcome.status != analyser::AnalysisStatus::Written) {
      std::fprintf(stderr, "%s\n", std::string(outcome.message).c_str());
      return outcome.status == analyser::AnalysisStatus::Refused ? 2 : 1;
    }
    frames = std::move(outcome.frames);
  }
  if (!common::fitsDat(frames)) {
    std::fprintf(stderr, "analyse-method: %d voices at %d frames a second do not fit a DAT file\n",
                 frames.voices, frames.framesPerSecond);
    return 1;
  }
  const std::vector<uint8_t> image = common::encodeDat(frames);
  failure = common::writeWholeFile(paths[1], image.data(), static_cast<int32_t>(image.size()));
  registry.freeAll();
  if (!failure.empty()) {
    std::fprintf(stderr, "%s: %s\n", paths[1].c_str(), failure.c_str());
    return 1;
  }
  return 0;
}
