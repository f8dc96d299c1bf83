// Quorvel's whole conversion of the longest DAT file the analyser writes (36,001 frames), with
// the pitch sort on and polyphony 6, and the pitch sort alone.
#include <benchmark/benchmark.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>

#include "converter_window.h"
#include "frame_loader.h"
#include "note_frame.h"
#include "pitch_sort.h"

namespace {

namespace fs = std::filesystem;

// Six gliding partials with changing levels in every frame, voices crossing now and then.
std::vector<common::NoteFrame> glidingFrames(int count) {
  std::vector<common::NoteFrame> frames(static_cast<std::size_t>(count));
  for (int f = 0; f < count; ++f) {
    for (int k = 0; k < 6; ++k) {
      auto& slot = frames[static_cast<std::size_t>(f)].slots[static_cast<std::size_t>(k)];
      const double phase = std::sin(f * (0.002 + 0.0007 * k) + k);
      slot.frequency = static_cast<int32_t>(2000.0 * std::pow(2.0, 1.6 * phase + 0.3 * k));
      slot.level = 400000 + 37000 * ((f * 7 + k * 3) % 17);
    }
  }
  frames.back().slots[7] = {1, 60};
  return frames;
}

// Independent random partials in every frame: no continuity for the search to exploit.
std::vector<common::NoteFrame> randomFrames(int count) {
  std::mt19937 rng(7);
  std::uniform_int_distribution<int32_t> level(0, 1000000), freq(550, 80000);
  std::vector<common::NoteFrame> frames(static_cast<std::size_t>(count));
  for (auto& frame : frames) {
    for (int k = 0; k < 6; ++k) frame.slots[static_cast<std::size_t>(k)] = {level(rng), freq(rng)};
  }
  return frames;
}

std::string writeDat(const std::string& name, const std::vector<common::NoteFrame>& frames) {
  const fs::path path = fs::temp_directory_path() / name;
  std::vector<uint8_t> bytes(frames.size() * common::kNoteFrameBytes);
  for (std::size_t i = 0; i < frames.size(); ++i) {
    common::encodeNoteFrame(frames[i], bytes.data() + i * common::kNoteFrameBytes);
  }
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  return path.string();
}

void convertWhole(benchmark::State& state, const std::vector<common::NoteFrame>& frames,
                  const char* name) {
  const std::string input = writeDat(name, frames);
  auto tables = std::make_unique<midibuilder::BuilderTables>();
  common::AllocationRegistry registry;
  midibuilder::BuilderOptions options;  // pitch sort on, polyphony 6, 6 channels
  options.usedChannels = static_cast<int32_t>(state.range(0));
  for (auto _ : state) {
    const std::string message = midibuilder::convertDatFile(*tables, registry, options, input);
    registry.freeAll();
    if (!message.empty()) state.SkipWithError("conversion failed");
  }
  state.counters["bytes"] = static_cast<double>(tables->smfImage.size());
  fs::remove(input);
  fs::remove(fs::path(input).replace_extension(".mid"));
}

void BM_ConvertGliding(benchmark::State& state) {
  convertWhole(state, glidingFrames(36001), "quorvel-bench-gliding.dat");
}
BENCHMARK(BM_ConvertGliding)->Arg(6)->Arg(8)->Unit(benchmark::kMillisecond);

void BM_ConvertRandom(benchmark::State& state) {
  convertWhole(state, randomFrames(36001), "quorvel-bench-random.dat");
}
BENCHMARK(BM_ConvertRandom)->Arg(6)->Unit(benchmark::kMillisecond);

// The pitch sort alone on a prepared copy of the frames.
void BM_PitchSortRandom(benchmark::State& state) {
  const auto frames = randomFrames(36001);
  std::vector<uint8_t> pristine(frames.size() * common::kNoteFrameBytes + 1024, 0);
  for (std::size_t i = 0; i < frames.size(); ++i) {
    common::encodeNoteFrame(frames[i], pristine.data() + i * common::kNoteFrameBytes);
  }
  auto tables = std::make_unique<midibuilder::BuilderTables>();
  std::vector<uint8_t> work;
  for (auto _ : state) {
    state.PauseTiming();
    work = pristine;
    midibuilder::FrameSet set;
    set.buffer = work.data();
    set.frameCount = static_cast<int32_t>(frames.size());
    midibuilder::prepareFrames(*tables, set, midibuilder::BuilderOptions{});
    state.ResumeTiming();
    midibuilder::sortVoicesByPitch(*tables, set, 6);
    benchmark::DoNotOptimize(work.data());
  }
}
BENCHMARK(BM_PitchSortRandom)->Unit(benchmark::kMillisecond);

}  // namespace
