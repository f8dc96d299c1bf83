// Signal and residual buffers for a recording held by a test or benchmark (the convert command
// takes them from the allocation registry instead), with the zero margins of the working form.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "wave_loader.h"

namespace wavetest {

struct OwnedWave {
  explicit OwnedWave(const std::vector<int32_t>& samples)
      : signal(samples.size() + 2 * analyser::kMarginSamples, 0),
        residual(signal.size(), 0x5A5A5A5A) {
    std::copy(samples.begin(), samples.end(), signal.begin() + analyser::kMarginSamples);
    wave.sampleCount = static_cast<int32_t>(samples.size());
    wave.signal = signal.data();
    wave.residual = residual.data();
  }
  std::vector<int32_t> signal;
  std::vector<int32_t> residual;
  analyser::WaveSignal wave;
};

}  // namespace wavetest
