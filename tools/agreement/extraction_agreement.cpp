// extraction-agreement FILE [UNITS [PASSES [ONSET_SHIFT]]]
//
// Extracts the partials of a WAVE file twice: with the fast paths (pruned coarse search, vector
// fine search and recurrence synthesis, as the convert command runs), and with the literal
// coarse decision, fine search and synthesis (every coarse candidate summed exactly, library
// sine and cosine per sample). The exact coarse sums of the vector kernels are those of the
// literal loop (tested and fuzzed), so the second is the literal extraction. Prints how many
// stored values (level, frequency, phase) differ and by how much, and the first few of them.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "alloc_registry.h"
#include "parallel_extraction.h"
#include "wave_loader.h"

namespace {

struct QuietHook : analyser::ProgressHook {
  void beginFrame() override {}
  analyser::FrameAnswer endFrame(int, int, int32_t) override {
    return analyser::FrameAnswer::Continue;
  }
};

}  // namespace

int main(int argc, char** argv) {
  using namespace analyser;
  if (argc < 2) {
    std::fprintf(stderr, "usage: extraction-agreement FILE [UNITS [PASSES [ONSET_SHIFT]]]\n");
    return 2;
  }
  AnalysisSettings settings;
  settings.unitsPerSecond = argc > 2 ? std::atoi(argv[2]) : 60;
  settings.frameLength = frameLengthFor(settings.unitsPerSecond);
  settings.passCount = argc > 3 ? std::atoi(argv[3]) : 1;
  settings.onsetShift = argc > 4 ? std::atoi(argv[4]) : 0;

  common::AllocationRegistry registry;
  const LoadResult loaded = loadWave(registry, argv[1]);
  if (loaded.status != LoadStatus::Loaded) {
    std::fprintf(stderr, "%s\n", loaded.message.c_str());
    return 1;
  }
  const char* names[3] = {"level", "frequency", "phase"};
  const int32_t frames = frameCountFor(loaded.wave.sampleCount, settings.frameLength);
  QuietHook hook;

  AnalyserTables fast;
  prepareAnalysis(fast);
  extractPartialsParallel(loaded.wave, settings, fast, hook, {});

  AnalyserTables literal;
  prepareAnalysis(literal);
  ExtractionOptions literalOptions;
  literalOptions.finePath = FinePath::Reference;
  literalOptions.fastSynthesis = false;
  literalOptions.coarsePruning = false;
  extractPartialsParallel(loaded.wave, settings, literal, hook, literalOptions);

  int64_t values[3] = {};
  int64_t differing[3] = {};
  int64_t largest[3] = {};
  for (int32_t g = 0; g < frames; ++g) {
    for (int s = 0; s < kAnalysedSlots; ++s) {
      const int64_t want[3] = {literal.level(g, s), literal.frequency(g, s), literal.phase(g, s)};
      const int64_t got[3] = {fast.level(g, s), fast.frequency(g, s), fast.phase(g, s)};
      for (int k = 0; k < 3; ++k) {
        int64_t d = std::llabs(want[k] - got[k]);
        if (k == 2) d = std::min<int64_t>(d, 65536 - d);
        ++values[k];
        differing[k] += d != 0;
        if (d != 0 && differing[0] + differing[1] + differing[2] <= 10) {
          std::printf("frame %d slot %d: %s %lld -> %lld (level %lld, frequency %lld)\n", g, s,
                      names[k], static_cast<long long>(want[k]), static_cast<long long>(got[k]),
                      static_cast<long long>(want[0]), static_cast<long long>(want[1]));
        }
        largest[k] = std::max(largest[k], d);
      }
    }
  }
  int64_t total = 0;
  int64_t totalDiffering = 0;
  for (int k = 0; k < 3; ++k) {
    std::printf("%-9s %lld of %lld differ, largest difference %lld\n", names[k],
                static_cast<long long>(differing[k]), static_cast<long long>(values[k]),
                static_cast<long long>(largest[k]));
    total += values[k];
    totalDiffering += differing[k];
  }
  std::printf("all       %lld of %lld differ (%.6f %%)\n", static_cast<long long>(totalDiffering),
              static_cast<long long>(total), 100.0 * totalDiffering / std::max<int64_t>(total, 1));
  registry.freeAll();
  return 0;
}
