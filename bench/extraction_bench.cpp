// Whole extractions of a 60-second speech-like recording at 1/60 s (one pass and four), on one
// thread and on all, against the literal extraction (reference estimator, library sines) of a
// one-second excerpt; the table at the end gives wall microseconds per estimate and the ratio
// to the reference of the same run.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "parallel_extraction.h"
#include "speech_like_signal.h"

namespace {

using namespace analyser;

struct OwnedWave {
  explicit OwnedWave(const std::vector<int32_t>& samples)
      : signal(samples.size() + 2 * kMarginSamples, 0), residual(signal.size(), 0) {
    std::copy(samples.begin(), samples.end(), signal.begin() + kMarginSamples);
    wave.sampleCount = static_cast<int32_t>(samples.size());
    wave.signal = signal.data();
    wave.residual = residual.data();
  }
  std::vector<int32_t> signal;
  std::vector<int32_t> residual;
  WaveSignal wave;
};

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

void literalExtraction(benchmark::State& state, int passes) {
  OwnedWave wave(recording(1));
  AnalyserTables tables;
  QuietHook hook;
  for (auto _ : state) {
    prepareAnalysis(tables);
    extractPartials(wave.wave, sixtieth(passes), tables, hook);  // the reference estimator
  }
  estimatesCounter(state, wave, passes);
}

void fastExtraction(benchmark::State& state, int passes, int threads) {
  OwnedWave wave(recording(60));  // generated outside the timing
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
      if (run.error_occurred || run.iterations == 0) continue;
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
    const Row* reference = nullptr;
    for (const Row& row : rows_) {
      if (row.name.find("literal") != std::string::npos) reference = &row;
    }
    // Wall time is what a user waits; process CPU time (all threads) shows the work itself
    // and is less disturbed by other programs on a shared machine.
    std::printf("\n%-36s %8s %8s %11s %11s %9s %9s\n", "extraction", "wall s", "cpu s",
                "wall us/est", "cpu us/est", "x (wall)", "x (cpu)");
    for (const Row& row : rows_) {
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
  benchmark::RegisterBenchmark("extraction/literal/1s/passes:1", literalExtraction, 1)
      ->Unit(benchmark::kSecond)
      ->Iterations(1)
      ->MeasureProcessCPUTime()
      ->UseRealTime();
  for (int passes : {1, 4}) {
    for (int threads : {1, 0}) {
      const std::string name = "extraction/fast/60s/passes:" + std::to_string(passes) +
                               "/threads:" + (threads == 0 ? "all" : std::to_string(threads));
      benchmark::RegisterBenchmark(name.c_str(), fastExtraction, passes, threads)
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
