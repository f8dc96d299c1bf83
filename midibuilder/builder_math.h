// The numeric conversions that several stages share. Every conversion from double to integer
// goes through truncClamped, so no value from a file (any int32 level or frequency) can reach
// an out-of-range conversion.
#pragma once

#include <cmath>
#include <cstdint>

namespace midibuilder {

// trunc(x) limited to lo ... hi; NaN gives lo. For integer bounds this equals limiting the
// truncated value, so it is what "truncate, then limit" computes wherever that is in range.
inline int32_t truncClamped(double x, int32_t lo, int32_t hi) {
  if (!(x >= lo)) return lo;  // also NaN
  if (x >= hi) return hi;
  return static_cast<int32_t>(x);
}

// 2^(1/36): one third of a semitone.
inline constexpr double kThirdSemitoneRatio = 1.0194406437021448;
// 36 x log2(8.175798915643707): MIDI note 0 in thirds of a semitone above 1 Hz.
inline constexpr double kNoteZeroThirds = 109.12894968688775;
inline constexpr double kNoteZeroHz = 8.175798915643707;
inline constexpr double kSemitoneRatio = 1.0594630943592953;  // 2^(1/12)

inline double logThirdSemitoneRatio() {
  static const double value = std::log(kThirdSemitoneRatio);
  return value;
}

// Pitch in thirds of a semitone above MIDI note 0, truncated; a frequency (tenths of a hertz) of
// 0 or less reads as 1, which gives -228. INT32_MAX gives 887, so the limits never bite; they
// keep pitch differences (and the pitch-sort costs built from them) small by construction.
inline int32_t pitchOfFrequency(int32_t frequency) {
  const int32_t v = frequency > 0 ? frequency : 1;
  const double pitch = std::log(v / 10.0) / logThirdSemitoneRatio() - kNoteZeroThirds;
  return truncClamped(pitch, -1000, 1000);
}

// The MIDI note number (truncated) of a frequency in tenths of a hertz, for frequencies above 0.
inline int32_t noteOfFrequency(int32_t frequency) {
  const int32_t v = frequency > 0 ? frequency : 1;
  const double note = (std::log(v / 10.0) / logThirdSemitoneRatio() - kNoteZeroThirds) / 3.0;
  return truncClamped(note, -1000, 1000);
}

// How a module's expression follows a level.
enum class LevelCurve : uint8_t { Linear, SquareRoot };

// Expression (0 to 127) of a level on the module's curve. Levels at or below 0 are silent; the
// result never exceeds 127.
inline int32_t expressionOfLevel(int32_t level, int32_t peakLevel, LevelCurve curve) {
  if (level <= 0) return 0;
  const double peak = peakLevel > 0 ? peakLevel : 1;
  const double x = curve == LevelCurve::Linear ? level * 127.0 / peak + 0.5
                                               : std::sqrt(level * 127.0 * 127.0 / peak) + 0.5;
  return truncClamped(x, 0, 127);
}

}  // namespace midibuilder
