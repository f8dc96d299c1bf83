#include "partial_extraction.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <new>

namespace analyser {

namespace {

int64_t windowStart(const AnalysisSettings& settings, int32_t frame, int slot) {
  return int64_t{kMarginSamples} + int64_t{frame} * settings.frameLength +
         windowOffset(settings, slot);
}

}  // namespace

int32_t frameLengthFor(int32_t unitsPerSecond) {
  switch (unitsPerSecond) {
    case 15:
      return kFrameLengths[0];
    case 20:
      return kFrameLengths[1];
    case 30:
      return kFrameLengths[2];
    default:
      return kFrameLengths[3];
  }
}

int32_t frameCountFor(int32_t sampleCount, int32_t frameLength) {
  const int64_t count = (int64_t{sampleCount} + 2 * int64_t{frameLength} - 1) / frameLength;
  return static_cast<int32_t>(std::min<int64_t>(count, INT32_MAX));
}

int32_t windowOffset(const AnalysisSettings& settings, int slot) {
  if (settings.onsetShift != 1) return 0;
  switch (settings.unitsPerSecond) {
    case 15:
      return (slot % 4) * 735 - 2205;
    case 20:
      return (slot % 3) * 735 - 1470;
    case 30:
      return (slot % 2) * 735 - 735;
    default:
      return 0;
  }
}

void AnalyserTables::Free::operator()(int32_t* p) const {
  std::free(p);
}

AnalyserTables::AnalyserTables()
    : datImage(static_cast<std::size_t>(kFrames) * common::kNoteFrameBytes),
      frames_(static_cast<int32_t*>(
          std::calloc(static_cast<std::size_t>(3) * kFrames * kAnalysedSlots, sizeof(int32_t)))) {
  if (!frames_) throw std::bad_alloc();
}

void AnalyserTables::clear() {
  // Frames from touchedFrames_ on were never handed out for writing since the last clear.
  for (int table = 0; table < 3; ++table) {
    int32_t* first = frames_.get() + index(table, 0, 0);
    std::fill(first, first + static_cast<std::size_t>(touchedFrames_) * kAnalysedSlots, 0);
  }
  touchedFrames_ = 0;
  std::fill(datImage.begin(), datImage.begin() + datImageWritten_, 0);
  datImageWritten_ = 0;
}

void prepareAnalysis(AnalyserTables& tables) {
  buildSineCosineTable(tables.sineCosine);
  tables.clear();
}

const int32_t* analysisWindow(const WaveSignal& wave, const AnalysisSettings& settings,
                              int32_t frame, int slot) {
  return wave.residual + windowStart(settings, frame, slot);
}

void subtractPartial(const WaveSignal& wave, const AnalysisSettings& settings,
                     const AnalyserTables& tables, int32_t frame, int slot) {
  const int32_t level = tables.level(frame, slot);
  if (level == 0) return;  // a*sin(theta) is 0 throughout
  const double a = level;
  const double f = tables.frequency(frame, slot) / 10.0;
  const double delta = kFullTurn * f / kSampleRate;
  double theta = tables.phase(frame, slot) * kFullTurn / 65536;
  int32_t* out = wave.residual + windowStart(settings, frame, slot);
  for (int32_t i = 0; i < settings.frameLength; ++i) {
    // |a * sin| <= 2^31, so the truncation fits 64 bits; the difference wraps to 32 bits as a
    // two's-complement subtraction would, instead of overflowing.
    const auto partial = static_cast<int64_t>(a * std::sin(theta));
    out[i] = static_cast<int32_t>(int64_t{out[i]} - partial);
    theta += delta;
  }
}

void rebuildResidual(const WaveSignal& wave, const AnalysisSettings& settings,
                     const AnalyserTables& tables, int32_t frameCount, int slot) {
  std::copy(wave.signal, wave.signal + wave.bufferLength(), wave.residual);
  for (int32_t g = 0; g < frameCount; ++g) {
    for (int d = 0; d < kAnalysedSlots; ++d) {
      if (d != slot) subtractPartial(wave, settings, tables, g, d);
    }
  }
}

void storeEstimate(AnalyserTables& tables, int32_t frame, int slot,
                   const PartialEstimate& estimate) {
  tables.level(frame, slot) = estimate.level;
  tables.frequency(frame, slot) = frequencyTenths(estimate.frequency);
  tables.phase(frame, slot) = estimate.phase;
}

ExtractionResult extractPartials(const WaveSignal& wave, const AnalysisSettings& settings,
                                 AnalyserTables& tables, ProgressHook& hook,
                                 const EstimateFn& estimate) {
  const int32_t frameCount = frameCountFor(wave.sampleCount, settings.frameLength);
  if (frameCount > AnalyserTables::kFrames) return ExtractionResult::TooManyFrames;
  for (int pass = 0; pass < settings.passCount; ++pass) {
    for (int slot = 0; slot < kAnalysedSlots; ++slot) {
      rebuildResidual(wave, settings, tables, frameCount, slot);
      for (int32_t g = 0; g < frameCount; ++g) {
        hook.beginFrame();
        storeEstimate(tables, g, slot,
                      estimate(analysisWindow(wave, settings, g, slot), settings.frameLength));
        if (hook.endFrame(pass, slot, g) == FrameAnswer::Cancel) {
          return ExtractionResult::Cancelled;
        }
      }
    }
  }
  return ExtractionResult::Completed;
}

ExtractionResult extractPartials(const WaveSignal& wave, const AnalysisSettings& settings,
                                 AnalyserTables& tables, ProgressHook& hook) {
  PartialEstimator estimator(tables.sineCosine);
  return extractPartials(wave, settings, tables, hook, [&](const int32_t* window, int n) {
    return estimator.estimateReference(window, n);
  });
}

common::NoteFrames noteFramesFromTables(const AnalyserTables& tables, int32_t frameCount,
                                        const AnalysisSettings& settings) {
  common::NoteFrames frames;
  frames.voices = common::kSlotsPerFrame;
  frames.framesPerSecond = settings.unitsPerSecond;
  if (frameCount <= 0 || frameCount > AnalyserTables::kFrames) return frames;
  frames.slots.resize(static_cast<std::size_t>(frameCount) * common::kSlotsPerFrame);
  for (int32_t g = 0; g < frameCount; ++g) {
    for (int v = 0; v < kAnalysedSlots; ++v) {
      frames.at(g, v) = {tables.level(g, v), tables.frequency(g, v)};
    }
  }
  frames.at(frameCount - 1, 7) = {1 - settings.onsetShift, settings.unitsPerSecond};
  return frames;
}

int32_t buildDatImage(AnalyserTables& tables, int32_t frameCount,
                      const AnalysisSettings& settings) {
  if (frameCount <= 0 || frameCount > AnalyserTables::kFrames) return 0;
  const std::vector<uint8_t> image =
      common::encodeDat(noteFramesFromTables(tables, frameCount, settings));
  const auto bytes = static_cast<int32_t>(image.size());
  std::copy(image.begin(), image.end(), tables.datImageToWrite(bytes));
  return bytes;
}

}  // namespace analyser
