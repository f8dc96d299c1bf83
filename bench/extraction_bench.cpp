// Whole extractions at 1/60 s: 13 seconds of speech-like signal in one pass on one thread, by
// the fast paths and by the literal extraction (reference estimator, library sines in the
// synthesis), run once each on the same signal; and 60 seconds (one pass and four) on one
// thread and on all, against the literal extraction of a one-second excerpt. The table at the
// end gives wall and CPU microseconds per estimate and the ratio to the literal extraction of
// the same length (per estimate, the one-second excerpt's, for the 60-second runs).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "owned_wave.h"
#include "parallel_extraction.h"
#include "speech_like_signal.h"

namespace {

using namespace analyser;

using wavetest::OwnedWave;

struct QuietHook : ProgressHook {
  void beginFrame() override {}
  FrameAnswer endFrame(int, int, int32_t) override { return FrameAnswer::Continue; }
};

const std::vector<int32_t>& recording(int32_t seconds) {
  static std::map<int32_t, std::vector<int32_t>> cache;
  auto& r = cache[seconds];
  if (r.empty()) r = speechlike::workingForm(speechlike::generate(44100 * seconds, 1));
  return r;
}

AnalysisSettings sixtieth(int passes) {
  return {60, 735, 0, passes};
}

void estimatesCounter(benchmark::State& state, const OwnedWave& wave, int passes) {
  state.counters["estimates"] =
      static_cast<double>(passes) * kAnalysedSlots * frameCountFor(wave.wave.sampleCount, 735);
}

void literalExtraction(benchmark::State& state, int32_t seconds, int passes) {
  OwnedWave wave(recording(seconds));
  AnalyserTables tables;
  QuietHook hook;
  for (auto _ : state) {
    prepareAnalysis(tables);
    extractPartials(wave.wave, sixtieth(passes), tables, hook);  // the reference estimator
  }
  estimatesCounter(state, wave, passes);
}

void fastExtraction(benchmark::State& state, int32_t seconds, int passes, int threads) {
  OwnedWave wave(recording(seconds));  // generated outside the timing
  AnalyserTables tables;
  QuietHook hook;
  ExtractionOptions options;
  options.threads = threads;
  for (auto _ : state) {
    prepareAnalysis(tables);
    extractPartialsParallel(wave.wave, sixtieth(passes), tables, hook, options);
  }
  estimatesCounter(state, wave, passes);
}

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.error_occurred || run.iterations == 0 || run.run_type == Run::RT_Aggregate) {
        continue;
      }
      const double unit = benchmark::GetTimeUnitMultiplier(run.time_unit);
      const double wall = run.GetAdjustedRealTime() / unit;
      const double cpu = run.GetAdjustedCPUTime() / unit;
      const double estimates = run.counters.at("estimates").value;
      rows_.push_back(
          {run.benchmark_name(), wall, cpu, wall * 1e6 / estimates, cpu * 1e6 / estimates});
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    auto lengthOf = [](const std::string& name) {
      const size_t end = name.find("s/passes");
      const size_t begin = name.rfind('/', end) + 1;
      return name.substr(begin, end - begin);
    };
    // Wall time is what a user waits; process CPU time (all threads) shows the work itself
    // and is less disturbed by other programs on a shared machine.
    std::printf("\n%-36s %8s %8s %11s %11s %9s %9s\n", "extraction", "wall s", "cpu s",
                "wall us/est", "cpu us/est", "x (wall)", "x (cpu)");
    for (const Row& row : rows_) {
      // The literal extraction of the same length, else any (per estimate).
      const Row* reference = nullptr;
      for (const Row& other : rows_) {
        if (other.name.find("literal") == std::string::npos) continue;
        if (reference == nullptr || lengthOf(other.name) == lengthOf(row.name)) reference = &other;
      }
      const std::string name = row.name.substr(0, row.name.find("/iterations"));
      std::printf("%-36s %8.2f %8.2f %11.1f %11.1f %9.1f %9.1f\n", name.c_str(), row.wall, row.cpu,
                  row.wallPerEstimate, row.cpuPerEstimate,
                  reference ? reference->wallPerEstimate / row.wallPerEstimate : 0.0,
                  reference ? reference->cpuPerEstimate / row.cpuPerEstimate : 0.0);
    }
  }

 private:
  struct Row {
    std::string name;
    double wall;
    double cpu;
    double wallPerEstimate;
    double cpuPerEstimate;
  };
  std::vector<Row> rows_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  // The literal extraction of 13 s takes some seconds (about 4,700 literal estimates).
  for (int32_t seconds : {13, 1}) {
    benchmark::RegisterBenchmark(
        ("extraction/literal/" + std::to_string(seconds) + "s/passes:1").c_str(), literalExtraction,
        seconds, 1)
        ->Unit(benchmark::kSecond)
        ->Iterations(1)
        ->MeasureProcessCPUTime()
        ->UseRealTime();
  }
  benchmark::RegisterBenchmark("extraction/fast/13s/passes:1/threads:1", fastExtraction, 13, 1, 1)
      ->Unit(benchmark::kSecond)
      ->Iterations(5)
      ->MeasureProcessCPUTime()
      ->UseRealTime();
  for (int passes : {1, 4}) {
    for (int threads : {1, 0}) {
      const std::string name = "extraction/fast/60s/passes:" + std::to_string(passes) +
                               "/threads:" + (threads == 0 ? "all" : std::to_string(threads));
      benchmark::RegisterBenchmark(name.c_str(), fastExtraction, 60, passes, threads)
          ->Unit(benchmark::kSecond)
          ->Iterations(1)
          ->MeasureProcessCPUTime()
          ->UseRealTime();
    }
  }
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
