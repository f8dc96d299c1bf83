#include "converter_window.h"

#include <cctype>
#include <string_view>

#include "build.h"
#include "field_parsing.h"
#include "file_io.h"
#include "frame_loader.h"
#include "messages.h"
#include "smf_writer.h"
#include "targets/targets.h"
#include "wide_frames.h"

namespace midibuilder {

namespace {

bool endsInDat(std::string_view path) {
  if (path.size() < 3) return false;
  const std::string_view tail = path.substr(path.size() - 3);
  return std::tolower(static_cast<unsigned char>(tail[0])) == 'd' &&
         std::tolower(static_cast<unsigned char>(tail[1])) == 'a' &&
         std::tolower(static_cast<unsigned char>(tail[2])) == 't';
}

}  // namespace

const common::ControlModel& converterControls() {
  using common::ControlKind;
  static const common::ControlModel model{
      kDatFileField,
      {
          {.kind = ControlKind::Text,
           .name = "tempo",
           .textId = kTempoField,
           .defaultValue = kDefaultTempoText,
           .valueName = "TEXT",
           .help = "tempo in quarter notes per minute, 30 to 1000, fractions\n"
                   "allowed (default 120.0)"},
          {.kind = ControlKind::Text,
           .name = "time-base",
           .textId = kTimeBaseField,
           .defaultValue = kDefaultTimeBaseText,
           .valueName = "TEXT",
           .help = "ticks per quarter note, 24 to 65535 (default 480)"},
          {.kind = ControlKind::Text,
           .name = "note-start",
           .textId = kNoteStartField,
           .defaultValue = kDefaultNoteStartText,
           .valueName = "TEXT",
           .help = "tick of the first frame, at least twice the time base\n"
                   "(default 1920)"},
          {.kind = ControlKind::Radio,
           .name = "polyphony",
           .choices = {{kPolyphony4, "4", 4}, {kPolyphony5, "5", 5}, {kPolyphony6, "6", 6}},
           .defaultValue = "6",
           .help = "voices played (default 6)"},
          {.kind = ControlKind::Radio,
           .name = "channels",
           .choices = {{kChannels4, "4", 4},
                       {kChannels5, "5", 5},
                       {kChannels6, "6", 6},
                       {kChannels7, "7", 7},
                       {kChannels8, "8", 8}},
           .defaultValue = "6",
           .help = "MIDI channels used, at least the polyphony (default 6)"},
          {.kind = ControlKind::Radio,
           .name = "device",
           .choices = {{kHalvoran, targets::halvoran().spelling, kDeviceHalvoran},
                       {kSc88, targets::sc88().spelling, kDeviceSc88},
                       {kSc8850, targets::sc8850().spelling, kDeviceSc8850},
                       {kMsgs, targets::msgs().spelling, kDeviceMsgs}},
           .defaultValue = "halvoran",
           .help = "sound module the file is set up for (default halvoran)"},
          {.kind = ControlKind::Radio,
           .name = "pitch-sort",
           .choices = {{kPitchSortOn, "on", 1}, {kPitchSortOff, "off", 0}},
           .defaultValue = "on",
           .help = "reorder voices to follow continuous pitches (default on)"},
      }};
  return model;
}

std::string convertDatFile(BuilderTables& tables, common::AllocationRegistry& registry,
                           const BuilderOptions& options, const std::string& inputPath,
                           const std::string& outputPath) {
  FrameSet frames;
  const std::string message = loadFrames(registry, inputPath, frames);
  if (!message.empty()) return message;
  const BuildOutcome outcome = buildLoadedFrames(tables, frames, options);
  if (outcome.status != BuildStatus::Written) return std::string(outcome.message);
  return common::writeWholeFile(outputPath.empty() ? outputPathFor(inputPath) : outputPath,
                                tables.smfImage.data(),
                                static_cast<int32_t>(tables.smfImage.size()));
}

std::string convertWideFile(BuilderTables& tables, common::AllocationRegistry& registry,
                            const BuilderOptions& options, const std::string& inputPath,
                            const std::string& outputPath) {
  common::NoteFrames frames;
  const std::string message = common::readWideFile(inputPath, frames);
  if (!message.empty()) return message;
  if (const std::string_view voices = checkWideVoices(options, frames); !voices.empty()) {
    return std::string(voices);
  }
  const BuildOutcome outcome = buildMidi(tables, registry, frames, options);
  if (outcome.status != BuildStatus::Written) return std::string(outcome.message);
  return common::writeWholeFile(outputPath.empty() ? outputPathFor(inputPath) : outputPath,
                                outcome.midi.data(), static_cast<int32_t>(outcome.midi.size()));
}

std::string_view checkConversionInput(std::string_view path, int32_t widePolyphony,
                                      int32_t wideChannels, BuilderOptions& options) {
  if (!endsInDat(path)) return msg::kSpecifyDat;
  if (common::isWidePath(path)) {
    if (widePolyphony > 0) options.polyphony = widePolyphony;
    if (wideChannels > 0) options.usedChannels = wideChannels;
    if (options.usedChannels < options.polyphony) return msg::kChannelsBelowPolyphony;
  }
  return {};
}

std::string_view checkWideVoices(const BuilderOptions& options, const common::NoteFrames& frames) {
  if (options.polyphony > frames.voices && options.polyphony > 6) return msg::kPolyphonyAboveVoices;
  return {};
}

bool readWideVoiceCount(const common::ControlOption& option, std::string_view value, int32_t& count,
                        std::string& beyond, std::string& error) {
  if (value.empty() || value.size() > 4 ||
      value.find_first_not_of("0123456789") != std::string_view::npos) {
    return false;
  }
  count = common::parseInteger(value);
  beyond.clear();
  if (option.choice(value) != nullptr) return false;
  const std::string refusal = "invalid value for --" + std::string(option.name) + ": '" +
                              std::string(value) + "' (choose " + option.valueList();
  if (count < 1 || count > kMaxChannels) {
    error = refusal + ", or 1 to 15 for a .wdat FILE)";
  } else {
    beyond = refusal + ")";
  }
  return true;
}

ConverterCommand::ConverterCommand(common::Environment& env,
                                   common::AllocationRegistry::AllocFn alloc,
                                   common::AllocationRegistry::FreeFn release)
    : env_(env),
      tables_(std::make_unique<BuilderTables>()),
      registry_(std::make_unique<common::AllocationRegistry>(alloc, release)) {}

ConverterCommand::~ConverterCommand() = default;

OptionCheck readBuilderOptions(const common::Environment& env) {
  BuilderChoices choices;
  // The last checked button of each group wins; a front end always has one checked.
  const common::ControlModel& model = converterControls();
  choices.usedChannels = common::checkedNumber(env, model.option("channels"), 6);
  choices.polyphony = common::checkedNumber(env, model.option("polyphony"), 6);
  choices.device = common::checkedNumber(env, model.option("device"), kDeviceHalvoran);
  choices.pitchSort = env.isRadioChecked(kPitchSortOn);
  choices.tempo = env.controlText(kTempoField);
  choices.timeBase = env.controlText(kTimeBaseField);
  choices.noteStart = env.controlText(kNoteStartField);
  return checkBuilderOptions(choices);
}

OptionCheck checkBuilderOptions(const BuilderChoices& choices) {
  OptionCheck check;
  BuilderOptions& options = check.options;
  options.usedChannels = choices.usedChannels;
  options.polyphony = choices.polyphony;
  options.device = choices.device;
  options.pitchSort = choices.pitchSort;

  const auto refuse = [&check](std::string_view text, int control) {
    check.message = text;
    check.control = control;
    return check;
  };
  if (options.usedChannels < options.polyphony) {
    return refuse(msg::kChannelsBelowPolyphony, kChannels4);
  }

  options.tempo = common::parseDecimal(choices.tempo);
  // Written so that no value outside the range (infinity included) passes.
  if (!(options.tempo >= 30.0 && options.tempo <= 1000.0)) {
    return refuse(msg::kTempoRange, kTempoField);
  }

  options.timeBase = common::parseInteger(choices.timeBase);
  if (options.timeBase < 24 || options.timeBase > 65535) {
    return refuse(msg::kTimeBaseRange, kTimeBaseField);
  }

  options.noteStartTime = common::parseInteger(choices.noteStart);
  if (options.noteStartTime < 2 * static_cast<int64_t>(options.timeBase)) {
    return refuse(msg::kNoteStartTooEarly, kNoteStartField);
  }
  return check;
}

void ConverterCommand::convert() {
  const auto refuse = [this](std::string_view text) {
    env_.showMessage(text, common::MessageIcon::Exclamation);
  };
  const OptionCheck check = readBuilderOptions(env_);
  if (!check.message.empty()) return refuse(check.message);
  BuilderOptions options = check.options;
  options.cableBudget = cableBudget_;
  options.target = target_;
  options.bendRange = bendRange_;

  const std::string path(common::trimTrailingSpace(env_.controlText(kDatFileField)));
  if (const std::string_view refusal =
          checkConversionInput(path, widePolyphony_, wideChannels_, options);
      !refusal.empty()) {
    return refuse(refusal);
  }

  std::string message;
  if (common::isWidePath(path)) {
    message = convertWideFile(*tables_, *registry_, options, path, outputPath_);
  } else {
    message = convertDatFile(*tables_, *registry_, options, path, outputPath_);
  }
  registry_->freeAll();
  if (message.empty()) message = msg::kFinished;
  env_.showMessage(message, common::MessageIcon::None);
}

}  // namespace midibuilder
