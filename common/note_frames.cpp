#include "note_frames.h"

namespace common {

NoteFrames decodeDat(const uint8_t* bytes, std::size_t size) {
  NoteFrames frames;
  const int32_t count = frameCountForLength(static_cast<int64_t>(size));
  frames.slots.resize(static_cast<std::size_t>(count) * kSlotsPerFrame);
  for (int32_t f = 0; f < count; ++f) {
    const NoteFrame frame = decodeNoteFrame(bytes + static_cast<std::size_t>(f) * kNoteFrameBytes);
    for (int32_t k = 0; k < kSlotsPerFrame; ++k) frames.at(f, k) = frame.slots[k];
  }
  return frames;
}

bool fitsDat(const NoteFrames& frames) {
  return frames.voices >= 0 && frames.voices <= kSlotsPerFrame && frames.framesPerSecond == 60;
}

std::vector<uint8_t> encodeDat(const NoteFrames& frames) {
  const int32_t count = frames.frameCount();
  std::vector<uint8_t> out(static_cast<std::size_t>(count) * kNoteFrameBytes);
  for (int32_t f = 0; f < count; ++f) {
    NoteFrame frame;
    for (int32_t k = 0; k < frames.voices && k < kSlotsPerFrame; ++k)
      frame.slots[k] = frames.at(f, k);
    encodeNoteFrame(frame, out.data() + static_cast<std::size_t>(f) * kNoteFrameBytes);
  }
  return out;
}

}  // namespace common
