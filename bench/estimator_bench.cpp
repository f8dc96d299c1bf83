// Per-estimate cost of the literal reference kernel and of every fast path, on the same
// speech-like and random windows, for all four window lengths. Prints, after Google
// Benchmark's own table, each path's speed as a ratio to the reference of the same run.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "partial_estimator.h"
#include "speech_like_signal.h"

namespace {

using analyser::CoarsePath;
using analyser::FinePath;
using analyser::PartialEstimate;
using analyser::PartialEstimator;

constexpr int kLengths[] = {735, 1470, 2205, 2940};
constexpr int kWindows = PartialEstimator::kMaxBatch;

analyser::SineCosineTable& table() {
  static analyser::SineCosineTable t = [] {
    analyser::SineCosineTable built;
    analyser::buildSineCosineTable(built);
    return built;
  }();
  return t;
}

// kWindows non-silent windows of n samples: cut from the speech-like recording, or noise.
std::vector<std::vector<int32_t>> windows(const std::string& kind, int n) {
  std::vector<std::vector<int32_t>> out;
  if (kind == "random") {
    std::mt19937 rng(static_cast<uint32_t>(n));
    std::uniform_int_distribution<int32_t> value(-8388608, 8388607);
    for (int w = 0; w < kWindows; ++w) {
      std::vector<int32_t> x(static_cast<size_t>(n));
      for (auto& v : x) v = value(rng);
      out.push_back(std::move(x));
    }
    return out;
  }
  const auto signal = speechlike::workingForm(speechlike::generate(44100 * 4, 3));
  for (size_t start = 0; out.size() < kWindows && start + n <= signal.size(); start += 5000) {
    std::vector<int32_t> x(signal.begin() + static_cast<long>(start),
                           signal.begin() + static_cast<long>(start) + n);
    bool silent = true;
    for (int32_t v : x) silent = silent && v == 0;
    if (!silent) out.push_back(std::move(x));
  }
  return out;
}

void referenceEstimate(benchmark::State& state, std::string kind, int n) {
  const auto ws = windows(kind, n);
  PartialEstimator estimator(table());
  size_t k = 0;
  for (auto _ : state) {
    PartialEstimate e = estimator.estimateReference(ws[k % ws.size()].data(), n);
    benchmark::DoNotOptimize(e);
    ++k;
  }
  state.counters["estimates"] = 1;
}

void fastEstimate(benchmark::State& state, std::string kind, int n, CoarsePath coarse,
                  FinePath fine, int batch) {
  if (!analyser::coarsePathAvailable(coarse) || !analyser::finePathAvailable(fine)) {
    state.SkipWithError("path not available on this processor");
    return;
  }
  const auto ws = windows(kind, n);
  std::vector<const int32_t*> pointers;
  for (const auto& w : ws) pointers.push_back(w.data());
  PartialEstimator estimator(table());
  estimator.setPaths(coarse, fine);
  estimator.estimate(ws[0].data(), n);  // builds the per-length tables outside the timing
  std::vector<PartialEstimate> results(pointers.size());
  for (auto _ : state) {
    estimator.estimateBatch(pointers.data(), batch, n, results.data());
    benchmark::DoNotOptimize(results.data());
  }
  state.counters["estimates"] = batch;
}

// The coarse search alone (sums and winner choice, no fine search).
void coarseOnly(benchmark::State& state, std::string kind, int n, CoarsePath coarse, int batch) {
  if (!analyser::coarsePathAvailable(coarse)) {
    state.SkipWithError("path not available on this processor");
    return;
  }
  const auto ws = windows(kind, n);
  std::vector<const int32_t*> pointers;
  for (const auto& w : ws) pointers.push_back(w.data());
  PartialEstimator estimator(table());
  estimator.setPaths(coarse, FinePath::Portable);
  int winners[kWindows];
  estimator.coarseWinners(pointers.data(), 1, n, winners);
  for (auto _ : state) {
    estimator.coarseWinners(pointers.data(), batch, n, winners);
    benchmark::DoNotOptimize(winners);
  }
  state.counters["estimates"] = batch;
}

// Collects CPU microseconds per estimate (less disturbed than wall time by other work on a
// shared machine) and prints them as ratios to the reference.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.error_occurred || run.iterations == 0) continue;
      const auto it = run.counters.find("estimates");
      const double perIteration = it == run.counters.end() ? 1.0 : it->second.value;
      const double micros = run.GetAdjustedCPUTime() * 1e6 /
                            benchmark::GetTimeUnitMultiplier(run.time_unit) / perIteration;
      micros_[run.benchmark_name()] = micros;
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    std::printf("\n%-48s %14s %10s\n", "per estimate, single thread", "CPU microseconds",
                "x faster");
    for (const auto& [name, micros] : micros_) {
      // name: estimate/<kind>/<n>/<path>; the reference of the same kind and length.
      const std::string prefix = name.substr(0, name.rfind('/') + 1);
      const auto ref = micros_.find(prefix + "reference");
      const double ratio = ref == micros_.end() ? 0.0 : ref->second / micros;
      std::printf("%-48s %14.1f %10.1f\n", name.c_str(), micros, ratio);
    }
  }

 private:
  std::map<std::string, double> micros_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  for (const char* kind : {"speech", "random"}) {
    for (int n : kLengths) {
      const std::string base = std::string("estimate/") + kind + "/" + std::to_string(n) + "/";
      benchmark::RegisterBenchmark((base + "reference").c_str(), referenceEstimate,
                                   std::string(kind), n)
          ->Unit(benchmark::kMicrosecond);
      for (CoarsePath coarse :
           {CoarsePath::Portable, CoarsePath::Avx2, CoarsePath::Avx512, CoarsePath::Avx512Vnni}) {
        const std::string name =
            base + analyser::pathName(coarse) + "+" + analyser::pathName(analyser::bestFinePath());
        benchmark::RegisterBenchmark(name.c_str(), fastEstimate, std::string(kind), n, coarse,
                                     analyser::bestFinePath(), kWindows)
            ->Unit(benchmark::kMicrosecond);
      }
      const CoarsePath best = analyser::bestCoarsePath();
      for (CoarsePath coarse : {CoarsePath::Avx2, best}) {
        for (int batch : {1, 8, kWindows}) {
          benchmark::RegisterBenchmark(
              (base + analyser::pathName(coarse) + "-coarse-only-batch" + std::to_string(batch))
                  .c_str(),
              coarseOnly, std::string(kind), n, coarse, batch)
              ->Unit(benchmark::kMicrosecond);
        }
      }
      benchmark::RegisterBenchmark((base + analyser::pathName(best) + "+reference-fine").c_str(),
                                   fastEstimate, std::string(kind), n, best, FinePath::Reference,
                                   kWindows)
          ->Unit(benchmark::kMicrosecond);
      benchmark::RegisterBenchmark((base + analyser::pathName(best) + "+" +
                                    analyser::pathName(analyser::bestFinePath()) + "-single")
                                       .c_str(),
                                   fastEstimate, std::string(kind), n, best,
                                   analyser::bestFinePath(), 1)
          ->Unit(benchmark::kMicrosecond);
    }
  }
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
