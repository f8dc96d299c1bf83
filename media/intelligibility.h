// The short-time objective intelligibility of a degraded signal against its clean reference:
// STOI (correlation of clipped, normalised 1/3-octave band envelopes over 384 ms segments) and
// its extended form ESTOI (correlation of whole spectro-temporal segments, each normalised over
// time and then over frequency). 1.0 means the degraded signal is the reference itself.
//
// Both signals are brought to 10 kHz, the degraded one is aligned in time to the reference,
// frames in which the reference is more than 40 dB below its loudest frame are left out of
// both, and the 256-sample Hann frames (50% overlap, 512-point FFT) are grouped into 15
// 1/3-octave bands from 150 Hz.
#pragma once

#include <string>
#include <vector>

namespace media {

inline constexpr int kIntelligibilityRate = 10000;

struct IntelligibilityOptions {
  // Look for the delay of the degraded signal within this many seconds either way; 0 takes
  // the signals as they are.
  double maxDelaySeconds = 0.5;
};

struct IntelligibilityScores {
  double stoi = 0.0;
  double estoi = 0.0;
  // How much later the degraded signal starts than the reference (negative: earlier).
  double delaySeconds = 0.0;
  int segments = 0;  // the 384 ms segments the scores average over
};

// Mono signals, full scale 1.0, each at its own rate. Returns "" or why there is no score:
// a rate that is not positive, or too little sound after the silent frames are left out (the
// scores need at least one segment of 30 frames, about 0.4 s).
std::string measureIntelligibility(const std::vector<float>& reference, int referenceRate,
                                   const std::vector<float>& degraded, int degradedRate,
                                   const IntelligibilityOptions& options,
                                   IntelligibilityScores& scores);

// The delay (in samples, positive when `degraded` is later) within +-maxLag that best lines
// `degraded` up with `reference`: the envelopes (mean magnitude per 10 samples) are
// cross-correlated over the whole range, then the signals themselves within one envelope step
// of the best envelope lag.
int alignmentDelay(const std::vector<double>& reference, const std::vector<double>& degraded,
                   int maxLag);

}  // namespace media
