// The analyser's options as numbers: frame rate, onset shift and number of passes.
#pragma once

#include <cstdint>

namespace analyser {

struct AnalysisSettings {
  int32_t unitsPerSecond = 60;  // 15, 20, 30 or 60 frames per second
  int32_t frameLength = 735;    // 44100 / unitsPerSecond samples
  int32_t onsetShift = 0;       // 1: stagger the windows of the slots
  int32_t passCount = 1;        // 1, or 4 with the optimisation
};

}  // namespace analyser
