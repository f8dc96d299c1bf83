#include "converter_window.h"

#include <cctype>
#include <string_view>

#include "channel_assignment.h"
#include "field_parsing.h"
#include "frame_loader.h"
#include "messages.h"
#include "pitch_sort.h"
#include "smf_writer.h"

namespace midibuilder {

namespace {

// The value of the last checked button of a radio group, tested in order; `fallback` when none
// is checked (a front end always has one checked).
template <std::size_t N>
int32_t radioValue(const common::Environment& env, const int (&ids)[N], const int32_t (&values)[N],
                   int32_t fallback) {
  int32_t value = fallback;
  for (std::size_t i = 0; i < N; ++i) {
    if (env.isRadioChecked(ids[i])) value = values[i];
  }
  return value;
}

bool endsInDat(std::string_view path) {
  if (path.size() < 3) return false;
  const std::string_view tail = path.substr(path.size() - 3);
  return std::tolower(static_cast<unsigned char>(tail[0])) == 'd' &&
         std::tolower(static_cast<unsigned char>(tail[1])) == 'a' &&
         std::tolower(static_cast<unsigned char>(tail[2])) == 't';
}

}  // namespace

std::string convertDatFile(BuilderTables& tables, common::AllocationRegistry& registry,
                           const BuilderOptions& options, const std::string& inputPath) {
  FrameSet frames;
  std::string message = loadFrames(registry, inputPath, frames);
  if (!message.empty()) return message;
  prepareFrames(tables, frames, options);
  if (options.pitchSort) sortVoicesByPitch(tables, frames, options.polyphony);
  assignChannels(tables, frames, options);
  return buildMidiFile(tables, frames, options, inputPath);
}

ConverterCommand::ConverterCommand(common::Environment& env,
                                   common::AllocationRegistry::AllocFn alloc,
                                   common::AllocationRegistry::FreeFn release)
    : env_(env),
      tables_(std::make_unique<BuilderTables>()),
      registry_(std::make_unique<common::AllocationRegistry>(alloc, release)) {}

ConverterCommand::~ConverterCommand() = default;

OptionCheck readBuilderOptions(const common::Environment& env) {
  OptionCheck check;
  BuilderOptions& options = check.options;
  options.usedChannels = radioValue(
      env, {kChannels4, kChannels5, kChannels6, kChannels7, kChannels8}, {4, 5, 6, 7, 8}, 6);
  options.polyphony = radioValue(env, {kPolyphony4, kPolyphony5, kPolyphony6}, {4, 5, 6}, 6);
  options.device =
      radioValue(env, {kHalvoran, kSc88, kSc8850, kMsgs},
                 {kDeviceHalvoran, kDeviceSc88, kDeviceSc8850, kDeviceMsgs}, kDeviceHalvoran);
  options.pitchSort = env.isRadioChecked(kPitchSortOn);

  const auto refuse = [&check](std::string_view text, int control) {
    check.message = text;
    check.control = control;
    return check;
  };
  if (options.usedChannels < options.polyphony) {
    return refuse(msg::kChannelsBelowPolyphony, kChannels4);
  }

  options.tempo = common::parseDecimal(env.controlText(kTempoField));
  // Written so that no value outside the range (infinity included) passes.
  if (!(options.tempo >= 30.0 && options.tempo <= 1000.0)) {
    return refuse(msg::kTempoRange, kTempoField);
  }

  options.timeBase = common::parseInteger(env.controlText(kTimeBaseField));
  if (options.timeBase < 24 || options.timeBase > 65535) {
    return refuse(msg::kTimeBaseRange, kTimeBaseField);
  }

  options.noteStartTime = common::parseInteger(env.controlText(kNoteStartField));
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
  const BuilderOptions& options = check.options;

  const std::string path(common::trimTrailingSpace(env_.controlText(kDatFileField)));
  if (!endsInDat(path)) return refuse(msg::kSpecifyDat);

  std::string message = convertDatFile(*tables_, *registry_, options, path);
  registry_->trackedAlloc(0);
  if (message.empty()) message = msg::kFinished;
  env_.showMessage(message, common::MessageIcon::None);
}

}  // namespace midibuilder
