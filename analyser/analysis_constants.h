// The numbers every part of the analyser must agree on bit for bit: the turn constants of all
// angle conversions, the sample rate, the window lengths, the frequency grids and the batch
// size of the fast estimator. Everything that needs one of them takes it from here.
#pragma once

#include <array>

namespace analyser {

// A full and a half turn in radians to 14 digits, as the algorithm defines them (not the exact
// constants of the maths library): the estimator's angles and phases and the synthesis use
// exactly these.
inline constexpr double kFullTurn = 6.2831853071796;
inline constexpr double kHalfTurn = 3.1415926535898;

inline constexpr int kSampleRate = 44100;

// Samples per frame (and per analysis window) at 15, 20, 30 and 60 frames per second.
inline constexpr std::array<int, 4> kFrameLengths = {2940, 2205, 1470, 735};
inline constexpr int kMaxFrameLength = 2940;
// The farthest a window starts before its frame: the onset shift at 1/15 s (3 x 735).
inline constexpr int kMaxWindowLead = 2205;

// The frequency grids: 55 * 128^(j / steps) Hz, evaluated at or below 8000 Hz only.
inline constexpr double kLowestFrequency = 55.0;
inline constexpr double kHighestFrequency = 8000.0;
// Coarse grid: index 1051 lies above 8000 Hz, so indices 0 .. 1050 are searched.
inline constexpr int kCoarseStepsPer128 = 1024;
inline constexpr int kCoarseCandidates = 1051;
// Fine levels 1 .. 6, each four times finer than the one before.
inline constexpr int kFineLevels = 6;
inline constexpr std::array<int, kFineLevels> kFineStepsPer128 = {4096,   16384,   65536,
                                                                  262144, 1048576, 4194304};

// Most windows the fast estimator searches together (one pass over the per-length tables),
// and so the frames per batch of the parallel extraction.
inline constexpr int kCoarseBatchLimit = 16;

}  // namespace analyser
