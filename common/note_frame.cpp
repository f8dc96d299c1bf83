#include "note_frame.h"

namespace common {

void encodeNoteFrame(const NoteFrame& frame, uint8_t* out) {
  for (int k = 0; k < kSlotsPerFrame; ++k) {
    writeInt32LE(out + 8 * k, frame.slots[k].level);
    writeInt32LE(out + 8 * k + 4, frame.slots[k].frequency);
  }
}

NoteFrame decodeNoteFrame(const uint8_t* in) {
  NoteFrame frame;
  for (int k = 0; k < kSlotsPerFrame; ++k) {
    frame.slots[k].level = readInt32LE(in + 8 * k);
    frame.slots[k].frequency = readInt32LE(in + 8 * k + 4);
  }
  return frame;
}

}  // namespace common
