// Note frames in memory, as analysis methods produce them and the builder reads them: any number
// of voices, each frame a (level, frequency) pair per voice in the DAT file's units, at the
// method's frame rate. The DAT file is one way of storing them: eight slots a record at 60
// frames a second.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "note_frame.h"

namespace common {

struct NoteFrames {
  int32_t voices = kSlotsPerFrame;  // slots in every frame
  int32_t framesPerSecond = 60;
  std::string method = "seed";     // the analysis method that made them
  std::vector<PartialSlot> slots;  // frame after frame, `voices` slots each

  int32_t frameCount() const {
    return voices > 0 ? static_cast<int32_t>(slots.size() / static_cast<std::size_t>(voices)) : 0;
  }
  PartialSlot& at(int32_t frame, int32_t voice) { return slots[index(frame, voice)]; }
  const PartialSlot& at(int32_t frame, int32_t voice) const { return slots[index(frame, voice)]; }

 private:
  std::size_t index(int32_t frame, int32_t voice) const {
    return static_cast<std::size_t>(frame) * static_cast<std::size_t>(voices) +
           static_cast<std::size_t>(voice);
  }
};

// The frames of a DAT file image: eight voices, 60 frames a second, one frame per whole
// 64-byte record (an incomplete last record is ignored, as the builder does).
NoteFrames decodeDat(const uint8_t* bytes, std::size_t size);

// True when the frames can be stored as a DAT file without loss: at most eight voices at 60
// frames a second.
bool fitsDat(const NoteFrames& frames);

// The DAT image of frames that fit it: voices beyond the frames' own are zero slots.
std::vector<uint8_t> encodeDat(const NoteFrames& frames);

}  // namespace common
