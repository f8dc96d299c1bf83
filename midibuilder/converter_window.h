// Quorvel's convert command, independent of any front end: it reads and validates the options
// from the environment's controls, runs one conversion and shows one message.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "alloc_registry.h"
#include "builder_tables.h"
#include "control_model.h"
#include "environment.h"
#include "note_frames.h"

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

// The converter window's controls: number fields and radio groups with their command-line
// spellings and the window's initial state.
const common::ControlModel& converterControls();

// The MIDI options as a front end holds them before they are checked: the radio groups'
// numbers and the number fields' texts as typed.
struct BuilderChoices {
  int32_t polyphony = 6;
  int32_t usedChannels = 6;
  int32_t device = kDeviceHalvoran;
  bool pitchSort = true;
  std::string tempo = kDefaultTempoText;
  std::string timeBase = kDefaultTimeBaseText;
  std::string noteStart = kDefaultNoteStartText;
};

// The MIDI options as the window's controls give them, checked in the window's order; `message`
// is the first refusal (empty when every option passes) and `control` the control it is about:
// kChannels4 for the channel and polyphony groups, else the number field (0 when none fails).
struct OptionCheck {
  BuilderOptions options;
  std::string_view message;
  int control = 0;
};
OptionCheck readBuilderOptions(const common::Environment& env);
// The same checks of options given directly.
OptionCheck checkBuilderOptions(const BuilderChoices& choices);

// One whole conversion of a DAT file with validated options: the file read into a registry
// block, the build stage (build.h) over it, the MIDI file written beside the input. Returns the
// message text (empty on success). The registry's blocks stay recorded; the caller frees them.
// `outputPath` replaces the name beside the input when it is not empty.
std::string convertDatFile(BuilderTables& tables, common::AllocationRegistry& registry,
                           const BuilderOptions& options, const std::string& inputPath,
                           const std::string& outputPath = {});

// The same for a wide note-frame file (.wdat): read whole and checked, then the build stage over
// its frames. A polyphony above both the file's voices and six is refused
// (kPolyphonyAboveVoices); fewer voices than the polyphony leave the other channels silent, as
// a DAT file's empty slots do.
std::string convertWideFile(BuilderTables& tables, common::AllocationRegistry& registry,
                            const BuilderOptions& options, const std::string& inputPath,
                            const std::string& outputPath = {});

// What a conversion of the file `path` checks before reading it, in this order: a name ending in
// "dat" in any case (kSpecifyDat); then, for a .wdat file, the voices and channels beyond the
// window's buttons (0 keeps the window's choice) and channels at least the polyphony
// (kChannelsBelowPolyphony). Returns the fixed message, or an empty view when all pass;
// `options` then holds what the file is built with.
std::string_view checkConversionInput(std::string_view path, int32_t widePolyphony,
                                      int32_t wideChannels, BuilderOptions& options);
// kPolyphonyAboveVoices when a wide file's frames have fewer voices than a polyphony above six;
// an empty view otherwise.
std::string_view checkWideVoices(const BuilderOptions& options, const common::NoteFrames& frames);

// --polyphony or --channels given as digits, as quorvel-cli reads it: a .wdat file may take 1 to
// kMaxChannels beyond the window's buttons. Returns false when `value` is not digits or names a
// button, for the model to read as usual; true when the number is taken here. Digits always set
// `count` and clear `beyond`; a number taken here sets `beyond` (the usage error to give when the
// file is a DAT file) or, when no file takes it, `error`.
bool readWideVoiceCount(const common::ControlOption& option, std::string_view value, int32_t& count,
                        std::string& beyond, std::string& error);

class ConverterCommand {
 public:
  // The command owns the program-wide tables and the allocation registry; `alloc` and `release`
  // replace the registry's allocator (tests use them to refuse memory).
  explicit ConverterCommand(common::Environment& env,
                            common::AllocationRegistry::AllocFn alloc = nullptr,
                            common::AllocationRegistry::FreeFn release = nullptr);
  ~ConverterCommand();
  ConverterCommand(const ConverterCommand&) = delete;
  ConverterCommand& operator=(const ConverterCommand&) = delete;

  // The convert command: validate, convert, show one message. A name ending in ".wdat" is read
  // as a wide note-frame file, any other name ending in "dat" as a DAT file.
  void convert();

  // Voices and channels for wide files beyond the window's buttons (up to kMaxChannels); 0
  // keeps the window's choice. The channels must still be at least the polyphony.
  void setWideVoices(int32_t polyphony, int32_t channels) {
    widePolyphony_ = polyphony;
    wideChannels_ = channels;
  }
  // The output target when it is none of the device buttons' (null: the window's choice), and
  // the bend range (0: the target's own). The caller has checked that the target takes it.
  void setTarget(const TargetProfile* target, int32_t bendRange) {
    target_ = target;
    bendRange_ = bendRange;
  }
  // Where the MIDI file goes; empty (the default) for beside the input.
  void setOutputPath(std::string path) { outputPath_ = std::move(path); }

  // Bytes a second for the stream on a MIDI cable (BuilderOptions::cableBudget); 0, the
  // default, for none. The last conversion's report says what fitting it did.
  void setCableBudget(int32_t bytesPerSecond) { cableBudget_ = bytesPerSecond; }
  const CableBudgetReport& cableReport() const { return tables_->cableReport; }

  const common::AllocationRegistry& registry() const { return *registry_; }

 private:
  common::Environment& env_;
  std::unique_ptr<BuilderTables> tables_;
  std::unique_ptr<common::AllocationRegistry> registry_;
  int32_t widePolyphony_ = 0;
  int32_t wideChannels_ = 0;
  const TargetProfile* target_ = nullptr;
  int32_t bendRange_ = 0;
  std::string outputPath_;
  int32_t cableBudget_ = 0;
};

}  // namespace midibuilder
