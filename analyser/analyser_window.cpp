#include "analyser_window.h"

#include <utility>

#include "analysis.h"
#include "file_io.h"
#include "messages.h"
#include "partial_extraction.h"
#include "progress_window.h"
#include "wave_loader.h"
#include "wide_frames.h"

namespace analyser {

// The progress window of one conversion: the command is busy from the moment it opens.
class AnalyserCommand::Sink final : public ProgressWindowSink {
 public:
  Sink(AnalyserCommand& command, int64_t ticksPerSecond)
      : ProgressWindowSink(command.env_, command.cancelFlag_, ticksPerSecond), command_(command) {}
  void started() override {
    ProgressWindowSink::started();
    command_.busyFlag_ = 1;
  }

 private:
  AnalyserCommand& command_;
};

const common::ControlModel& analyserControls() {
  using common::ControlKind;
  static const common::ControlModel model{
      kWaveFileField,
      {
          {.kind = ControlKind::Radio,
           .name = "optimise",
           .aliases = {"--optimize"},
           .choices = {{kOptimiseOff, "off", 1}, {kOptimiseOn, "on", 4}},
           .defaultValue = "off",
           .flagValue = "on",
           .help = "re-estimate every partial in four passes instead of one\n"
                   "(slower, about four times as long)"},
          {.kind = ControlKind::Radio,
           .name = "unit",
           .choices =
               {{kUnit15, "15", 15}, {kUnit20, "20", 20}, {kUnit30, "30", 30}, {kUnit60, "60", 60}},
           .defaultValue = "60",
           .valueName = "N",
           .help = "frames per second: 15, 20, 30 or 60 (default 60, that is\n"
                   "1/60-second frames, the timing the MIDI builder assumes)"},
          {.kind = ControlKind::Radio,
           .name = "onset-shift",
           .choices = {{kShiftOn, "on", 1}, {kShiftOff, "off", 0}},
           .defaultValue = "off",
           .flagValue = "on",
           .help = "stagger the analysis windows of the six partials by\n"
                   "multiples of 1/60 second (default: off)"},
      }};
  return model;
}

AnalysisSettings readAnalysisSettings(const common::Environment& env) {
  AnalysisSettings settings;
  settings.passCount = env.isRadioChecked(kOptimiseOff) ? 1 : 4;
  settings.onsetShift = env.isRadioChecked(kShiftOn) ? 1 : 0;
  // Without a checked unit the window's arithmetic falls back to 1/15 second.
  settings.unitsPerSecond = common::checkedNumber(env, analyserControls().option("unit"), 15);
  settings.frameLength = frameLengthFor(settings.unitsPerSecond);
  return settings;
}

std::string trimTrailingSpace(const std::string& text) {
  std::size_t end = text.size();
  while (end > 0) {
    const char c = text[end - 1];
    if (c != ' ' && c != '\t' && c != '\n' && c != '\r' && c != '\v' && c != '\f') break;
    --end;
  }
  return text.substr(0, end);
}

bool endsInWav(const std::string& path) {
  if (path.size() < 3) return false;
  const char* tail = path.data() + path.size() - 3;
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  return lower(tail[0]) == 'w' && lower(tail[1]) == 'a' && lower(tail[2]) == 'v';
}

std::string datPathFor(const std::string& wavePath) {
  std::size_t end = wavePath.size();
  for (int dropped = 0; dropped < 4 && end > 0; ++dropped) {
    --end;
    // Step back over UTF-8 continuation bytes to the start of the character.
    while (end > 0 && (static_cast<unsigned char>(wavePath[end]) & 0xC0) == 0x80) --end;
  }
  return wavePath.substr(0, end) + ".dat";
}

AnalyserCommand::AnalyserCommand(common::ProgressEnvironment& env)
    : env_(env),
      ownRegistry_(std::make_unique<common::AllocationRegistry>()),
      registry_(*ownRegistry_),
      analysis_(std::make_unique<AnalysisState>()) {}

AnalyserCommand::AnalyserCommand(common::ProgressEnvironment& env,
                                 common::AllocationRegistry& registry)
    : env_(env), registry_(registry), analysis_(std::make_unique<AnalysisState>()) {}

AnalyserCommand::~AnalyserCommand() = default;

bool AnalyserCommand::busy() const {
  return busyFlag_.load() == 1;
}

void AnalyserCommand::requestCancel() {
  cancelFlag_ = 1;
}

void AnalyserCommand::setThreadCount(int threads) {
  threads_ = threads < 0 ? 0 : threads;
}

void AnalyserCommand::setSignalSource(SignalSource source) {
  source_ = std::move(source);
}

void AnalyserCommand::finish(std::string message) {
  if (env_.progressWindowOpen()) env_.closeProgressWindow();
  registry_.freeAll();
  if (message.empty()) message = msg::kFinished;
  env_.showMessage(message, common::MessageIcon::None);
  busyFlag_ = 0;
}

void AnalyserCommand::convert() {
  AnalysisOptions options;
  options.settings = readAnalysisSettings(env_);
  if (busyFlag_.load() == 1) return;
  lastFormat_ = {};

  int64_t ticksPerSecond = 0;
  if (!env_.counterFrequency(ticksPerSecond) || ticksPerSecond <= 0) {
    env_.showMessage(msg::kNoCounter, common::MessageIcon::Exclamation);
    return;
  }

  const std::string path = trimTrailingSpace(env_.controlText(kWaveFileField));
  const bool ownSource = static_cast<bool>(source_.load);
  const bool acceptedName = ownSource && source_.anyExtension ? !path.empty() : endsInWav(path);
  if (!acceptedName) {
    env_.showMessage(msg::kSpecifyWave, common::MessageIcon::Exclamation);
    return;
  }

  const LoadResult loaded = ownSource ? source_.load(registry_, path) : loadWave(registry_, path);
  lastFormat_ = loaded.format;
  if (loaded.status == LoadStatus::MemoryFailure) {
    // The loader has released everything already; no progress window was opened.
    env_.showMessage(loaded.message, common::MessageIcon::None);
    return;
  }
  if (loaded.status != LoadStatus::Loaded) {
    finish(loaded.message);
    return;
  }

  options.method = method_;
  options.threads = threads_;
  options.voices = voices_;
  options.framesPerSecond = framesPerSecond_;
  Sink sink(*this, ticksPerSecond);
  const AnalysisOutcome outcome = analyse(*analysis_, loaded.wave, options, sink);
  switch (outcome.status) {
    case AnalysisStatus::Written:
      break;
    case AnalysisStatus::Cancelled:
      // A cancel from a terminal leaves its progress display up; take it down like the ending.
      if (env_.progressWindowOpen()) env_.closeProgressWindow();
      registry_.freeAll();
      env_.showMessage(outcome.message, common::MessageIcon::None);
      busyFlag_ = 0;
      return;
    case AnalysisStatus::Refused:
    case AnalysisStatus::Failed:
      finish(std::string(outcome.message));
      return;
  }

  const std::string datPath =
      ownSource && source_.outputPath ? source_.outputPath(path) : datPathFor(path);
  if (!common::storedAsDat(outcome.frames)) {
    writtenPath_ = outputPath_.empty() ? common::widePathFor(datPath) : outputPath_;
    finish(common::writeWideFile(writtenPath_, outcome.frames));
    return;
  }
  writtenPath_ = outputPath_.empty() ? datPath : outputPath_;
  const std::vector<uint8_t> image = common::encodeDat(outcome.frames);
  finish(common::writeWholeFile(writtenPath_, image.data(), static_cast<int32_t>(image.size())));
}

}  // namespace analyser
