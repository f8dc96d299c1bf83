// How the DAT -> MIDI harness reads its input: a 15-byte option block, then the DAT image.
// The seed generator writes inputs in the same layout.
//
//  byte 0      device (low 2 bits)            byte 7      time base mode
//  byte 1      polyphony 4 + b % 3            bytes 8-9   time base value (big-endian)
//  byte 2      channels 4 + b % 5             byte 10     note start mode
//  byte 3      bit 0 pitch sort, bit 1 a      bytes 11-14 note start value (big-endian)
//              blank after the path
//  byte 4      tempo mode
//  bytes 5-6   tempo value (big-endian)
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace fuzzinput {

inline constexpr std::size_t kDatOptionBytes = 15;

// Texts whose meaning the number grammar fixes without overflow.
inline constexpr const char* kOddTempoTexts[] = {
    "1e3",   " 97.5", "97.5abc", "",     "abc",     "29.9", "1000.5",
    "+1000", "-120",  "0x1F4",   ".5e2", "\t120",   "3e1",  "1000.0000000001",
    "nan",   "inf",   "30.",     "1e",   "120e+0x", "-0"};
inline constexpr const char* kOddTimeBaseTexts[] = {
    "23", "65536", "480.5", "-480", " 480", "480x", "", "0", "+960", "24", "65535", "0x1E0"};
inline constexpr const char* kOddNoteStartTexts[] = {
    "2147483647", "-2147483648", "1920abc", "", "+3000", " 131070", "2147483646", "1e9"};

struct DatOptions {
  int device = 0;
  int polyphony = 6;
  int usedChannels = 6;
  bool pitchSort = true;
  bool trailingBlank = false;
  std::string tempoText;
  std::string timeBaseText;
  std::string noteStartText;
};

template <std::size_t N>
const char* pick(const char* const (&texts)[N], uint32_t v) {
  return texts[v % N];
}

inline std::string formatted(const char* format, double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, format, value);
  return buffer;
}

inline DatOptions decodeDatOptions(const uint8_t* p) {
  DatOptions o;
  o.device = p[0] & 3;
  o.polyphony = 4 + p[1] % 3;
  o.usedChannels = 4 + p[2] % 5;
  o.pitchSort = (p[3] & 1) != 0;
  o.trailingBlank = (p[3] & 2) != 0;

  const uint32_t tempoValue = (uint32_t{p[5]} << 8) | p[6];
  switch (p[4] % 8) {
    case 5:
      o.tempoText = std::to_string(tempoValue);
      break;
    case 6:
      o.tempoText = pick(kOddTempoTexts, tempoValue);
      break;
    case 7:
      o.tempoText = formatted("%.17g", 30.0 + tempoValue / 65535.0 * 970.0);
      break;
    default:
      o.tempoText = formatted("%.6f", 30.0 + tempoValue * 970.0 / 65535.0);
      break;
  }

  const uint32_t timeBaseValue = (uint32_t{p[8]} << 8) | p[9];
  uint32_t timeBase = timeBaseValue < 24 ? 24 : timeBaseValue;
  switch (p[7] % 8) {
    case 5:
      o.timeBaseText = (timeBaseValue & 1) ? "65535" : "24";
      timeBase = (timeBaseValue & 1) ? 65535 : 24;
      break;
    case 6:
      o.timeBaseText = pick(kOddTimeBaseTexts, timeBaseValue);
      timeBase = 480;
      break;
    case 7:
      o.timeBaseText = std::to_string(timeBaseValue);
      break;
    default:
      o.timeBaseText = std::to_string(timeBase);
      break;
  }

  const uint32_t start =
      (uint32_t{p[11]} << 24) | (uint32_t{p[12]} << 16) | (uint32_t{p[13]} << 8) | p[14];
  switch (p[10] % 8) {
    case 4:
      o.noteStartText = std::to_string(2147483647 - static_cast<int64_t>(start % 1000));
      break;
    case 5:
      o.noteStartText = std::to_string(2 * int64_t{timeBase});
      break;
    case 6:
      o.noteStartText = pick(kOddNoteStartTexts, start);
      break;
    case 7:
      o.noteStartText = std::to_string(static_cast<int32_t>(start));
      break;
    default:
      o.noteStartText = std::to_string(2 * int64_t{timeBase} + start % 100000);
      break;
  }
  return o;
}

}  // namespace fuzzinput
