// The tracking analysis ("tracked"): short-time spectra at the frame rate, spectral peaks
// refined by a parabola through the log magnitudes, peaks joined into partial tracks from frame
// to frame by nearest frequency, and the strongest tracks of every frame played on voices that
// keep their track while it lives. It needs FFTW, so it lives here and joins the core's method
// registry through registerMediaMethods().
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "methods/analysis_method.h"
#include "note_frames.h"

namespace media {

inline constexpr std::string_view kTrackedMethodName = "tracked";
inline constexpr int32_t kTrackedMinVoices = 4;
inline constexpr int32_t kTrackedMaxVoices = 15;

// The method's numeric choices; the defaults are the ones the intelligibility measurements
// favoured.
struct TrackedParams {
  int windowLength = 1024;  // samples (Hann), centred on the middle of each frame
  double lowestHz = 70.0;   // peaks outside lowestHz .. highestHz are not tracked
  double highestHz = 8000.0;
  // A track continues to the nearest peak within max(jumpHz, jumpRatio * frequency).
  double jumpHz = 40.0;
  double jumpRatio = 0.06;
  // A track that already holds a voice counts this many times its level when the strongest
  // tracks of a frame are picked, so that two tracks of about equal level do not swap voices.
  double holdBonus = 1.5;
  // Levels become peak * (level / peak)^compression, peak being the loudest level of the
  // recording: 1 keeps them linear, smaller values lift quiet passages above the builder's
  // floor of peak / 256.
  double compression = 1.2;
  // Raise every level that the compression leaves below the builder's floor to just above it.
  bool liftToFloor = false;
  int peaksPerFrame = 40;  // only the strongest peaks of a frame are tracked
  // Peaks and tracks are ranked by level * (frequency / 1 kHz)^rankTilt, so that a positive
  // tilt lets weaker upper partials (the consonants and the higher formants) win voices from
  // the strong low harmonics. Levels are written as measured.
  double rankTilt = 0.0;
  // Peaks found one after the other, each sine's main lobe subtracted from the spectrum before
  // the next is looked for, instead of the local maxima of the spectrum.
  bool subtractPeaks = true;
  // With subtractPeaks, a peak within three bins of a stronger one found before it and weaker
  // than residueRatio times its level is taken for what the stronger one's fit left behind.
  double residueRatio = 0.03;
};

// The note frames of `signal` (the analyser's working form), `voices` slots a frame at
// `framesPerSecond`; frame g is the spectrum around the middle of samples
// [g * 44100 / framesPerSecond, (g + 1) * 44100 / framesPerSecond). Levels are linear amplitudes
// of the working form (compressed as the params say), frequencies in tenths of a hertz; a voice
// without a track is silent and keeps the frequency it last had. `sink` (may be null) is told
// the progress once per frame; returns false when it asked to cancel.
bool trackPartials(const analyser::WaveSignal& signal, int32_t framesPerSecond, int32_t voices,
                   const TrackedParams& params, analyser::ProgressSink* sink,
                   common::NoteFrames& frames);

// The method for the registry: voices from options.voices (brought into 4 .. 15) and the frame
// rate from options.settings.unitsPerSecond (brought into 15 .. 240).
std::unique_ptr<analyser::AnalysisMethod> makeTrackedMethod();

// Adds the media layer's methods ("tracked") to the analysis method registry; a front end calls
// it once at start-up, and calling it again does nothing.
void registerMediaMethods();

}  // namespace media
