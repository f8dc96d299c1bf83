// The tracking analysis of 60 seconds of speech-like signal on one thread, at 6 and 15 voices
// and 60, 120 and 240 frames a second, beside the seed's one-pass extraction on one thread. The
// "realtime" counter is seconds of recording analysed per second of wall time.
#include <benchmark/benchmark.h>

#include <vector>

#include "owned_wave.h"
#include "parallel_extraction.h"
#include "speech_like_signal.h"
#include "tracked_method.h"

namespace {

constexpr int32_t kSeconds = 60;

const wavetest::OwnedWave& recording() {
  static const wavetest::OwnedWave wave(
      speechlike::workingForm(speechlike::generate(44100 * kSeconds, 1)));
  return wave;
}

void realTimeCounter(benchmark::State& state) {
  state.counters["realtime"] =
      benchmark::Counter(kSeconds, benchmark::Counter::kIsIterationInvariantRate);
}

void tracked(benchmark::State& state) {
  const auto& wave = recording();  // generated outside the timing
  common::NoteFrames frames;
  for (auto _ : state) {
    media::trackPartials(wave.wave, static_cast<int32_t>(state.range(1)),
                         static_cast<int32_t>(state.range(0)), {}, nullptr, frames);
    benchmark::DoNotOptimize(frames.slots.data());
  }
  realTimeCounter(state);
}
BENCHMARK(tracked)
    ->ArgNames({"voices", "fps"})
    ->Args({6, 60})
    ->Args({15, 60})
    ->Args({15, 120})
    ->Args({15, 240})
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

struct QuietHook : analyser::ProgressHook {
  void beginFrame() override {}
  analyser::FrameAnswer endFrame(int, int, int32_t) override {
    return analyser::FrameAnswer::Continue;
  }
};

void seedOnePass(benchmark::State& state) {
  // The seed's extraction writes its residual into the signal's second buffer.
  wavetest::OwnedWave wave(speechlike::workingForm(speechlike::generate(44100 * kSeconds, 1)));
  analyser::AnalyserTables tables;
  QuietHook hook;
  analyser::ExtractionOptions options;
  options.threads = 1;
  for (auto _ : state) {
    analyser::prepareAnalysis(tables);
    analyser::extractPartialsParallel(wave.wave, {60, 735, 0, 1}, tables, hook, options);
  }
  realTimeCounter(state);
}
// The extraction runs its estimates on a worker thread even when it has one: the process's CPU
// time counts it.
BENCHMARK(seedOnePass)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

}  // namespace
