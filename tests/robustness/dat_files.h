// DAT images for the robustness tests, built frame by frame.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "note_frame.h"

namespace robustness {

class DatImage {
 public:
  explicit DatImage(int32_t frames) : frames_(static_cast<std::size_t>(frames)) {}
  common::PartialSlot& slot(int32_t frame, int k) {
    return frames_[static_cast<std::size_t>(frame)].slots[static_cast<std::size_t>(k)];
  }
  int32_t frameCount() const { return static_cast<int32_t>(frames_.size()); }
  std::string bytes() const {
    std::string out(frames_.size() * common::kNoteFrameBytes, '\0');
    for (std::size_t i = 0; i < frames_.size(); ++i) {
      common::encodeNoteFrame(frames_[i],
                              reinterpret_cast<uint8_t*>(out.data()) + i * common::kNoteFrameBytes);
    }
    return out;
  }

  // Six partials gliding and fading in cycles, with short gaps: every voice sounds in most
  // frames and changes pitch and level all the time (the densest kind of MIDI output).
  static DatImage speechLike(int32_t frames) {
    DatImage image(frames);
    for (int32_t f = 0; f < frames; ++f) {
      if (f % 97 >= 90) continue;  // a short pause
      const double base = 110.0 + 90.0 * std::sin(f * 0.013) + 40.0 * std::sin(f * 0.07);
      for (int k = 0; k < 6; ++k) {
        const double hz = base * (k + 1) * (1.0 + 0.004 * k * std::sin(f * 0.05));
        const double level = 3.0e6 / (k + 1) * (1.2 + std::sin(f * 0.031 + k));
        image.slot(f, k) = {static_cast<int32_t>(level), static_cast<int32_t>(hz * 10.0 + 0.5)};
      }
    }
    return image;
  }

 private:
  std::vector<common::NoteFrame> frames_;
};

}  // namespace robustness
