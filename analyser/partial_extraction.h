// Analysis by synthesis: each of six partial slots per frame is estimated on the residue left
// after the current estimates of the other five slots have been synthesised and subtracted.
// The frame tables and the DAT image are fixed storage that lives as long as the program.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "aligned_storage.h"
#include "analysis_settings.h"
#include "note_frame.h"
#include "note_frames.h"
#include "partial_estimator.h"
#include "progress_hook.h"
#include "wave_loader.h"

namespace analyser {

inline constexpr int kAnalysedSlots = 6;

// 2940 for 15, 2205 for 20, 1470 for 30, 735 for anything else.
int32_t frameLengthFor(int32_t unitsPerSecond);

// (sampleCount + 2 * frameLength - 1) / frameLength: one frame more than the samples need, so
// at least 1. 26,460,000 samples at 735 give 36,001 frames, which the tables hold.
int32_t frameCountFor(int32_t sampleCount, int32_t frameLength);

// Where the window of `slot` starts relative to its frame, in samples (0 without the shift).
int32_t windowOffset(const AnalysisSettings& settings, int slot);

class AnalyserTables {
 public:
  static constexpr int32_t kFrames = common::kFrameCapacity;

  AnalyserTables();

  // Zeroes the three frame tables and the DAT image over their whole capacity.
  void clear();

  int32_t& level(int32_t frame, int slot) { return entry(0, frame, slot); }
  int32_t& frequency(int32_t frame, int slot) { return entry(1, frame, slot); }
  int32_t& phase(int32_t frame, int slot) { return entry(2, frame, slot); }
  int32_t level(int32_t frame, int slot) const { return frames_[index(0, frame, slot)]; }
  int32_t frequency(int32_t frame, int slot) const { return frames_[index(1, frame, slot)]; }
  int32_t phase(int32_t frame, int slot) const { return frames_[index(2, frame, slot)]; }

  SineCosineTable sineCosine;
  // kFrames * 64 bytes, zero until written (pages never written are never mapped in).
  ZeroedVector<uint8_t> datImage;
  // The first `bytes` of the DAT image, to be written; clear() zeroes what was handed out.
  uint8_t* datImageToWrite(int32_t bytes) {
    if (bytes > datImageWritten_) datImageWritten_ = bytes;
    return datImage.data();
  }

 private:
  static std::size_t index(int table, int32_t frame, int slot) {
    return (static_cast<std::size_t>(table) * kFrames + static_cast<std::size_t>(frame)) *
               kAnalysedSlots +
           static_cast<std::size_t>(slot);
  }
  // Writable access marks the frame as possibly non-zero, so that clear() need only zero the
  // frames below the highest one handed out (a short recording touches little of the tables).
  int32_t& entry(int table, int32_t frame, int slot) {
    if (frame >= touchedFrames_) touchedFrames_ = frame + 1;
    return frames_[index(table, frame, slot)];
  }
  struct Free {
    void operator()(int32_t* p) const;
  };
  // The three tables one after the other, from zeroed memory (calloc: pages the conversion
  // never reaches are never written, nor even mapped in).
  std::unique_ptr<int32_t[], Free> frames_;
  int32_t touchedFrames_ = 0;
  int32_t datImageWritten_ = 0;
};

// Set-up before a conversion's progress window opens: builds the sine/cosine table and clears
// the frame tables and the DAT image.
void prepareAnalysis(AnalyserTables& tables);

// Estimates the strongest partial of `n` working-form samples starting at `window`.
using EstimateFn = std::function<PartialEstimate(const int32_t* window, int n)>;

enum class ExtractionResult {
  Completed,
  Cancelled,
  TooManyFrames,  // the input needs more frames than the tables hold; nothing was done
};

// The window of frame g and slot s inside the residual buffer.
const int32_t* analysisWindow(const WaveSignal& wave, const AnalysisSettings& settings,
                              int32_t frame, int slot);

// Subtracts the synthesised partial of (frame, slot), as the tables hold it, from the residual
// over that slot's window: value -= trunc(level * sin(theta)), theta starting at the stored
// phase and advancing by 2 pi f / 44100 per sample (accumulated).
void subtractPartial(const WaveSignal& wave, const AnalysisSettings& settings,
                     const AnalyserTables& tables, int32_t frame, int slot);

// First half of a slot pass: the residual becomes a copy of the whole signal buffer (margins
// included), minus every other slot's partial in every frame. After this the estimates of the
// pass depend only on the residual, so they may be computed in any order.
void rebuildResidual(const WaveSignal& wave, const AnalysisSettings& settings,
                     const AnalyserTables& tables, int32_t frameCount, int slot);

// Stores one estimate: level, frequency in tenths of a hertz (rounded), phase.
void storeEstimate(AnalyserTables& tables, int32_t frame, int slot,
                   const PartialEstimate& estimate);

// Runs passCount passes over the six slots; the hook is called around every estimate and may
// cancel. Requires prepareAnalysis (or at least cleared tables for a custom `estimate`).
ExtractionResult extractPartials(const WaveSignal& wave, const AnalysisSettings& settings,
                                 AnalyserTables& tables, ProgressHook& hook,
                                 const EstimateFn& estimate);
// The same with the reference estimator on tables.sineCosine.
ExtractionResult extractPartials(const WaveSignal& wave, const AnalysisSettings& settings,
                                 AnalyserTables& tables, ProgressHook& hook);

// Frames 0 .. frameCount-1 of the tables as note frames of eight voices at unitsPerSecond:
// the six analysed slots, slots 6 and 7 empty, and the settings entry (1 - onsetShift,
// unitsPerSecond) in slot 7 of the last frame. No frames when frameCount is out of range.
common::NoteFrames noteFramesFromTables(const AnalyserTables& tables, int32_t frameCount,
                                        const AnalysisSettings& settings);

// Lays noteFramesFromTables out as NoteFrame records in tables.datImage. Returns the number of
// bytes, frameCount * 64 (0 when frameCount is out of range).
int32_t buildDatImage(AnalyserTables& tables, int32_t frameCount, const AnalysisSettings& settings);

}  // namespace analyser
