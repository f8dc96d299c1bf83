// The wide note-frame file (.wdat): note frames of any analysis method with up to fifteen voices
// at 60, 120 or 240 frames a second. Unlike the headerless DAT file it describes itself:
//
//   offset  size  field (integers are little-endian int32)
//        0     8  magic "WDAT" 0D 0A 1A 0A
//        8     4  version, 1
//       12     4  voices per frame, 1 to 15
//       16     4  frames per second: 60, 120 or 240
//       20     4  frame count, 0 to kFrameCapacity
//       24     4  length of the method name, 1 to 32
//       28     n  method name: ASCII letters, digits, '-' and '_'
//     28+n        frames: frame count x voices x (level, frequency), in the DAT file's units
//
// and nothing after the last frame. Which of the two formats a file is follows from its name
// and, for a wide file, its magic: a ".dat" path is always read as a DAT file, a ".wdat" path
// only ever as a wide file.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "note_frames.h"

namespace common {

inline constexpr std::array<uint8_t, 8> kWideMagic = {'W', 'D', 'A', 'T', 0x0D, 0x0A, 0x1A, 0x0A};
inline constexpr int32_t kWideVersion = 1;
inline constexpr int32_t kWideMaxVoices = 15;
inline constexpr int32_t kWideMaxMethodName = 32;
inline constexpr std::size_t kWideFixedHeaderBytes = 28;
// The largest well-formed file: every longer one is refused before it is read.
inline constexpr int64_t kWideMaxFileBytes =
    static_cast<int64_t>(kWideFixedHeaderBytes) + kWideMaxMethodName +
    static_cast<int64_t>(kFrameCapacity) * kWideMaxVoices * 8;

// Whether the frame rate is one a wide file holds: 60, 120 or 240 frames a second.
bool isWideFrameRate(int32_t framesPerSecond);

// Whether `frames` can be written as a wide file: 1 to 15 voices, a wide frame rate, a valid
// method name, whole frames and at most kFrameCapacity of them.
bool fitsWide(const NoteFrames& frames);

// Whether an analysis's frames are stored as a DAT file: the seed's always (the DAT is its
// own format, at any of its units), any other method's when they are six voices or fewer at
// 60 frames a second, so that the seed's converter window plays them. Otherwise they are
// stored as a wide file.
bool storedAsDat(const NoteFrames& frames);

// True for a path ending in ".wdat" (any case, trailing blanks ignored).
bool isWidePath(std::string_view path);

// The wide file's name for a DAT file's name: a final ".dat" (any case) becomes ".wdat", any
// other name gets ".wdat" added.
std::string widePathFor(std::string_view datPath);

// The file image of frames that fit a wide file.
std::vector<uint8_t> encodeWide(const NoteFrames& frames);

// Reads a wide file image into `frames`. Returns "" on success; a malformed image (wrong magic
// or version, a field out of its range, a size that is not exactly what the header says) gives
// "このファイルは扱えません", a frame count beyond kFrameCapacity "ＤＡＴファイルが長すぎます".
std::string decodeWide(const uint8_t* bytes, std::size_t size, NoteFrames& frames);

// Reads the wide file at `path` (UTF-8): the file messages for a missing or unreadable file, a
// file longer than kWideMaxFileBytes refused unread, then decodeWide.
std::string readWideFile(const std::string& path, NoteFrames& frames);

// Writes `frames` as a wide file at `path`, replacing it atomically.
std::string writeWideFile(const std::string& path, const NoteFrames& frames);

}  // namespace common
