// A SoundFont 2 file with one looped sine wave, playable as the GS sine lead (bank 8,
// program 80), as the plain bank-0 program 80, as the General MIDI files' program and, with
// its level following channel pressure, as the MPE files' program, for rendering the MIDI files
// of the demo with a software synthesiser.
#pragma once

#include <cstdint>
#include <vector>

namespace media {

// The sample: a whole number of cycles of 440 Hz at 44100 Hz. 2205 samples hold exactly 22
// cycles, so the loop closes without a phase jump and key 69 sounds at 440 Hz with no pitch
// correction.
inline constexpr uint32_t kSineSampleRate = 44100;
inline constexpr uint32_t kSineLoopLength = 2205;
inline constexpr uint32_t kSineLoopCycles = 22;
inline constexpr uint8_t kSineRootKey = 69;
// At least 8 points before the loop and after it, as the format asks for interpolation.
inline constexpr uint32_t kSineLoopStart = 8;
inline constexpr uint32_t kSineLoopEnd = kSineLoopStart + kSineLoopLength;
inline constexpr uint32_t kSineSampleEnd = kSineLoopEnd + 8;
// Every sample is followed by 46 zero points in the smpl chunk.
inline constexpr uint32_t kSampleGuardPoints = 46;

// The bank-0 programs that the General MIDI and the MPE files select (the builder's profiles
// name the same numbers).
inline constexpr uint16_t kGmSineProgram = 78;
inline constexpr uint16_t kPressureSineProgram = 81;

// Generator numbers used by the file.
enum class Sf2Generator : uint16_t {
  kAttackVolEnv = 34,
  kSustainVolEnv = 37,
  kReleaseVolEnv = 38,
  kInstrument = 41,
  kSampleId = 53,
  kSampleModes = 54,
  kOverridingRootKey = 58,
};

struct SineSoundFontOptions {
  // Peak of the 16-bit sample; a little below full scale leaves room for interpolation.
  int16_t peak = 30000;
  // Release time in timecents: -4800 is 2^-4 s, 62.5 ms, short enough that a finished note
  // does not smear into the next one and long enough not to click.
  int16_t releaseTimecents = -4800;
};

// Builds the whole file image (RIFF "sfbk").
std::vector<uint8_t> buildSineSoundFont(const SineSoundFontOptions& options = {});

}  // namespace media
