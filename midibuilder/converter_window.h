// Quorvel's convert command, independent of any front end: it reads and validates the options
// from the environment's controls, runs one conversion and shows one message.
#pragma once

#include "environment.h"

namespace midibuilder {

// Control ids of the converter window.
enum ConverterControl : int {
  kDatFileField = 1000,
  kBrowseButton = 1001,
  kConvertButton = 1002,
  kExitButton = 1003,
  kPolyphony4 = 1004,
  kPolyphony5 = 1005,
  kPolyphony6 = 1006,
  kTempoField = 1007,
  kTimeBaseField = 1008,
  kNoteStartField = 1009,
  kPitchSortOn = 1010,
  kPitchSortOff = 1011,
  kChannels4 = 1012,
  kChannels5 = 1013,
  kChannels6 = 1014,
  kChannels7 = 1015,
  kChannels8 = 1016,
  kHalvoran = 1017,
  kSc88 = 1018,
  kSc8850 = 1019,
  kMsgs = 1020,
};

// Initial texts of the number fields.
inline constexpr const char* kDefaultTempoText = "120.0";
inline constexpr const char* kDefaultTimeBaseText = "480";
inline constexpr const char* kDefaultNoteStartText = "1920";

class ConverterCommand {
 public:
  explicit ConverterCommand(common::Environment& env);
  ~ConverterCommand();
  // The convert command: validate, convert, show one message.
  void convert();
};

}  // namespace midibuilder
