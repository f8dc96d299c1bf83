// The DAT note-frame file: headerless little-endian 64-byte records of eight (level, frequency)
// slots. Encoding is explicit byte by byte so it is right on any host.
#pragma once

#include <array>
#include <cstdint>

namespace common {

struct PartialSlot {
  int32_t level = 0;      // linear amplitude, 0 = silent
  int32_t frequency = 0;  // tenths of a hertz
};

struct NoteFrame {
  std::array<PartialSlot, 8> slots{};
};

inline constexpr int32_t kNoteFrameBytes = 64;
inline constexpr int32_t kSlotsPerFrame = 8;
// Both programs hold this many frames: a 600-second recording at 1/60 s needs 36,001.
inline constexpr int32_t kFrameCapacity = 36001;

inline int32_t readInt32LE(const uint8_t* p) {
  const uint32_t u = static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
                     (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
  return static_cast<int32_t>(u);
}

inline void writeInt32LE(uint8_t* p, int32_t value) {
  const auto u = static_cast<uint32_t>(value);
  p[0] = static_cast<uint8_t>(u);
  p[1] = static_cast<uint8_t>(u >> 8);
  p[2] = static_cast<uint8_t>(u >> 16);
  p[3] = static_cast<uint8_t>(u >> 24);
}

// Number of whole records in a file of `length` bytes; an incomplete last record is ignored.
inline int32_t frameCountForLength(int64_t length) {
  return length <= 0 ? 0 : static_cast<int32_t>(length / kNoteFrameBytes);
}

void encodeNoteFrame(const NoteFrame& frame, uint8_t* out);  // writes 64 bytes
NoteFrame decodeNoteFrame(const uint8_t* in);                // reads 64 bytes

}  // namespace common
