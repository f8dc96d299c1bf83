// Quorvel's program-wide state: the options of one conversion, the frames it works on, and the
// fixed tables that every conversion of the process reuses.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "cable_budget.h"
#include "note_frame.h"

namespace midibuilder {

// The values of the converter's device radio group; targets::forRadioValue gives their profiles.
enum Device : int32_t { kDeviceHalvoran = 0, kDeviceSc88 = 1, kDeviceSc8850 = 2, kDeviceMsgs = 3 };

struct TargetProfile;

// The options of one conversion, as the convert command has validated them.
struct BuilderOptions {
  int32_t polyphony = 6;     // 4 to 6 for a DAT file; up to kMaxChannels for wider frames
  int32_t usedChannels = 6;  // 4 to 8 for a DAT file, up to kMaxChannels; at least polyphony
  int32_t device = kDeviceHalvoran;
  // The output target when it is not the device's (a profile that no radio button offers);
  // targetOf() picks the one a conversion uses.
  const TargetProfile* target = nullptr;
  bool pitchSort = true;
  double tempo = 120.0;          // 30 to 1000 quarter notes per minute
  int32_t timeBase = 480;        // 24 to 65535 ticks per quarter note
  int32_t noteStartTime = 1920;  // at least 2 x timeBase
  // Bytes a second that the file's stream may take on a MIDI cable (fitCableBudget); 0 for no
  // limit, the file as built.
  int32_t cableBudget = 0;
  // Pitch-bend range in semitones, one the target allows; 0 for the target's own.
  int32_t bendRange = 0;
};

// The most channels a conversion uses: the sixteen MIDI channels less the drum channel 10.
inline constexpr int32_t kMaxChannels = 15;
// Entries per row of the per-frame tables (one per channel, and one to spare), and slots per
// record of the frame images that the build stage lays out for wide frames.
inline constexpr int32_t kTableWidth = 16;

// Rows of the per-frame tables: every DAT file the analyser writes (up to 36,001 frames) fits.
inline constexpr int32_t kTableFrames = common::kFrameCapacity;
// The channel occupancy search and marks reach two rows past the last frame.
inline constexpr int32_t kBusyRows = kTableFrames + 600;
inline constexpr int32_t kBendValues = 16384;
inline constexpr int32_t kPermutationCapacity = 40320;  // 8!
// The MIDI image starts with this much room and grows when a conversion needs more.
inline constexpr std::size_t kSmfInitialCapacity = 1048576;

struct BuilderTables {
  BuilderTables();

  // Rows of kTableWidth entries, one per frame (or occupancy row) and channel.
  std::vector<int32_t> pitchTable;        // kTableFrames rows, thirds of a semitone
  std::vector<int32_t> segmentNoteTable;  // kTableFrames rows, centre note where a note starts
  std::vector<int32_t> channelBusy;       // kBusyRows rows, 1 = taken or resting
  std::vector<double> bendGainTable;      // kBendValues
  double bendGainReference = 0.0;
  std::vector<int32_t> permutationTable;  // kPermutationCapacity packed orderings
  std::vector<uint8_t> smfImage;          // the MIDI file being built
  CableBudgetReport cableReport;          // what the last conversion's cable budget did

  int32_t& pitch(int32_t frame, int32_t slot) { return pitchTable[index(frame, slot)]; }
  int32_t& segmentNote(int32_t frame, int32_t slot) { return segmentNoteTable[index(frame, slot)]; }
  int32_t& busy(int32_t row, int32_t channel) { return channelBusy[index(row, channel)]; }

 private:
  static std::size_t index(int32_t row, int32_t slot) {
    return static_cast<std::size_t>(row) * kTableWidth + static_cast<std::size_t>(slot);
  }
};

// The frames of one conversion: a frame image (little-endian records of `slotsPerRecord`
// (level, frequency) slots, followed by at least 1024 zero bytes of slack) as loaded, rewritten in
// place by the later stages. A DAT file image has eight slots a record at 60 frames a second.
struct FrameSet {
  uint8_t* buffer = nullptr;
  int32_t frameCount = 0;
  int32_t peakLevel = 1;
  int32_t slotsPerRecord = common::kSlotsPerFrame;  // at least the channels used
  int32_t framesPerSecond = 60;                     // 60, 120 or 240

  int32_t level(int32_t frame, int32_t slot) const { return common::readInt32LE(at(frame, slot)); }
  int32_t frequency(int32_t frame, int32_t slot) const {
    return common::readInt32LE(at(frame, slot) + 4);
  }
  void setLevel(int32_t frame, int32_t slot, int32_t value) {
    common::writeInt32LE(at(frame, slot), value);
  }
  void setFrequency(int32_t frame, int32_t slot, int32_t value) {
    common::writeInt32LE(at(frame, slot) + 4, value);
  }

 private:
  uint8_t* at(int32_t frame, int32_t slot) const {
    return buffer + static_cast<std::ptrdiff_t>(frame) * slotsPerRecord * 8 + 8 * slot;
  }
};

}  // namespace midibuilder
