// The web page's engine: the analysis and build stages over bytes in memory, behind a small C
// interface that worker.js calls. One conversion runs at a time; its outcome stays here until
// the next one, and the worker copies what it needs out of the module's memory.
#include <emscripten/emscripten.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "analyser_window.h"
#include "analysis.h"
#include "build.h"
#include "builder_tables.h"
#include "cable_budget.h"
#include "control_model.h"
#include "converter_window.h"
#include "field_parsing.h"
#include "message_glosses.h"
#include "messages.h"
#include "methods/analysis_method.h"
#include "methods/seed_method.h"
#include "note_frames.h"
#include "targets/targets.h"
#include "tracked_method.h"
#include "wave_loader.h"
#include "wide_frames.h"

namespace {

// The page hears of the analysis through Module.onProgress, when the worker has set it.
EM_JS(void, reportProgress, (double fraction, double secondsLeft), {
  if (Module["onProgress"]) Module["onProgress"](fraction, secondsLeft);
});

enum Status : int32_t { kWritten = 0, kRefused = 1, kFailed = 2 };

struct Outcome {
  int32_t status = kFailed;
  std::string message;
  std::string english;
  std::string summary;  // the English line of what a cable budget did, as quorvel-cli prints it
  std::vector<uint8_t> bytes;  // the DAT (or wide) file, or the MIDI file
  common::NoteFrames frames;
  std::vector<int32_t> frequencies;
  std::vector<int32_t> levels;
};

Outcome& outcome() {
  static Outcome o;
  return o;
}

// The analysis runs on one thread and is cancelled by ending the worker, so the sink only
// passes the numbers on and lends the clocks.
class WorkerSink final : public analyser::ProgressSink {
 public:
  int64_t counterTicksPerSecond() override { return 1000000; }
  int64_t counterNow() override {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
  }
  int32_t clockMillis() override {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - start_)
                        .count();
    return static_cast<int32_t>(std::min<int64_t>(ms, INT32_MAX));
  }
  void progress(double fractionDone, double secondsLeft) override {
    reportProgress(fractionDone, secondsLeft);
  }
  bool cancelRequested() override { return false; }

 private:
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

// The controls a conversion reads its options from; nothing is shown here.
class Controls final : public common::MapEnvironment<> {
 public:
  explicit Controls(const common::ControlState& state) : MapEnvironment(state) {}
  void showMessage(std::string_view, common::MessageIcon) override {}
};

// "name=value" lines, as worker.js writes the page's options.
std::vector<std::pair<std::string, std::string>> optionLines(const char* text) {
  std::vector<std::pair<std::string, std::string>> lines;
  std::string_view rest = text != nullptr ? text : "";
  while (!rest.empty()) {
    const std::size_t end = rest.find('\n');
    const std::string_view line = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) continue;
    lines.emplace_back(std::string(line.substr(0, eq)), std::string(line.substr(eq + 1)));
  }
  return lines;
}

// Sets the model's option `name` as the command line's --name=value does; "" or what is wrong,
// in the command line's words. `known` is false when the model has no such option.
std::string applyOption(const common::ControlModel& model, const std::string& name,
                        const std::string& value, common::ControlState& controls, bool& known) {
  const std::string spelling = "--" + name;
  const common::ControlOption* option = model.find(spelling);
  known = option != nullptr;
  if (option == nullptr) return {};
  if (option->kind == common::ControlKind::Text) {
    controls.texts[option->textId] = value;
    return {};
  }
  const common::RadioChoice* choice = option->choice(value);
  if (choice == nullptr) {
    return "invalid value for " + spelling + ": '" + value + "' (choose " + option->valueList() +
           ")";
  }
  controls.check(choice->id);
  return {};
}

int32_t refuse(std::string message, std::string english) {
  Outcome& o = outcome();
  o.status = kRefused;
  o.message = std::move(message);
  o.english = std::move(english);
  return o.status;
}

// The English line the command lines print after a fixed message (none after success: then
// the meaning of the success message).
std::string englishFor(std::string_view message, std::string_view detail) {
  if (message == msg::kFinished) return std::string(msg::englishMeaning(message));
  return msg::glossLine(message, detail, false);
}

void appendJsonString(std::string& out, std::string_view text) {
  out.push_back('"');
  for (const char c : text) {
    if (c == '"' || c == '\\') {
      out.push_back('\\');
      out.push_back(c);
    } else if (c == '\n') {
      out.append("\\n");
    } else {
      out.push_back(c);
    }
  }
  out.push_back('"');
}

void appendModel(std::string& out, const common::ControlModel& model) {
  out.push_back('[');
  bool first = true;
  for (const common::ControlOption& option : model.options) {
    if (!first) out.push_back(',');
    first = false;
    out.append("{\"name\":");
    appendJsonString(out, option.name);
    out.append(",\"kind\":");
    appendJsonString(out, option.kind == common::ControlKind::Text ? "text" : "radio");
    out.append(",\"help\":");
    appendJsonString(out, option.help);
    out.append(",\"default\":");
    appendJsonString(out, option.defaultValue);
    out.append(",\"flag\":");
    appendJsonString(out, option.flagValue);
    out.append(",\"choices\":[");
    for (std::size_t i = 0; i < option.choices.size(); ++i) {
      if (i > 0) out.push_back(',');
      out.append("{\"value\":");
      appendJsonString(out, option.choices[i].value);
      out.append(",\"number\":").append(std::to_string(option.choices[i].number)).append("}");
    }
    out.append("]}");
  }
  out.push_back(']');
}

}  // namespace

extern "C" {

// The options of both programs, the analysis methods and the sound modules, as JSON.
EMSCRIPTEN_KEEPALIVE const char* engine_controls() {
  media::registerMediaMethods();
  static std::string json;
  json = "{\"analyser\":";
  appendModel(json, analyser::analyserControls());
  json.append(",\"converter\":");
  appendModel(json, midibuilder::converterControls());
  json.append(",\"methods\":[");
  bool first = true;
  for (const analyser::MethodEntry& entry : analyser::analysisMethods()) {
    if (!first) json.push_back(',');
    first = false;
    appendJsonString(json, entry.name);
  }
  json.append("],\"targets\":[");
  first = true;
  for (const auto list : {midibuilder::targets::all(), midibuilder::targets::extra()}) {
    for (const midibuilder::TargetProfile* target : list) {
      if (!first) json.push_back(',');
      first = false;
      json.append("{\"spelling\":");
      appendJsonString(json, target->spelling);
      json.append(",\"name\":");
      appendJsonString(json, target->name);
      json.append("}");
    }
  }
  json.append("]}");
  return json.c_str();
}

// Analyses the WAVE file image `bytes` called `name` with the sevrane-cli options in
// `options` ("name=value" lines). Returns 0 written, 1 refused, 2 failed.
EMSCRIPTEN_KEEPALIVE int32_t engine_analyse(const uint8_t* bytes, int32_t size, const char* name,
                                            const char* options) {
  outcome() = Outcome{};
  media::registerMediaMethods();
  static analyser::AnalysisState state;

  common::ControlState controls(analyser::analyserControls());
  analyser::AnalysisOptions request;
  request.threads = 1;
  for (const auto& [key, value] : optionLines(options)) {
    bool known = false;
    const std::string error =
        applyOption(analyser::analyserControls(), key, value, controls, known);
    if (!error.empty()) return refuse(error, error);
    if (known) continue;
    if (key == "method") {
      request.method = value;
    } else if (key == "voices" || key == "frame-rate") {
      // As sevrane-cli reads them.
      int64_t number = 0;
      const bool taken = common::parseWholeInteger(value, 1, 1000, number) &&
                         (key == "voices" || common::isWideFrameRate(static_cast<int>(number)));
      if (!taken) {
        const std::string error = key == "voices"
                                      ? "--voices must be a number, not '" + value + "'"
                                      : "--frame-rate must be 60, 120 or 240, not '" + value + "'";
        return refuse(error, error);
      }
      (key == "voices" ? request.voices : request.framesPerSecond) = static_cast<int32_t>(number);
    } else {
      return refuse("unknown option: --" + key, "unknown option: --" + key);
    }
  }
  const Controls env(controls);
  request.settings = analyser::readAnalysisSettings(env);
  // As sevrane-cli checks them: the method, and the voices and frame rate it takes.
  if (const std::string error = analyser::checkMethodRequest(
          request.method, request.settings.unitsPerSecond, request.voices, request.framesPerSecond);
      !error.empty()) {
    return refuse(error, error);
  }

  const std::string path = analyser::trimTrailingSpace(name != nullptr ? name : "");
  if (!analyser::endsInWav(path)) {
    return refuse(std::string(msg::kSpecifyWave), englishFor(msg::kSpecifyWave, {}));
  }

  // The file image as loadWave reads one: the bytes, then zeros.
  common::AllocationRegistry registry;
  // As readWholeFile: an image that, with its zeros, would not fit a 32-bit size is refused.
  const bool fits = size >= 0 && size <= INT32_MAX - analyser::kWaveReadExtra;
  auto* image = fits ? static_cast<uint8_t*>(registry.trackedAlloc(size + analyser::kWaveReadExtra))
                     : nullptr;
  analyser::LoadResult loaded;
  if (image == nullptr) {
    loaded.status = analyser::LoadStatus::MemoryFailure;
    loaded.message = std::string(msg::kNoMemory);
  } else {
    std::memcpy(image, bytes, static_cast<std::size_t>(size));
    std::memset(image + size, 0, analyser::kWaveReadExtra);
    loaded = analyser::loadWaveImage(registry, image, size);
  }
  Outcome& o = outcome();
  if (loaded.status != analyser::LoadStatus::Loaded) {
    registry.freeAll();
    std::string detail;
    const analyser::WaveFormat& format = loaded.format;
    if (format.known && loaded.message == msg::kNot44100) {
      detail = std::to_string(format.sampleRate) + " Hz";
    } else if (format.known && loaded.message == msg::kNot16Bit) {
      detail = std::to_string(format.bitsPerSample) + "-bit samples";
    }
    o.status = loaded.status == analyser::LoadStatus::MemoryFailure ? kFailed : kRefused;
    o.message = loaded.message;
    o.english = englishFor(o.message, detail);
    return o.status;
  }

  WorkerSink sink;
  analyser::AnalysisOutcome result = analyser::analyse(state, loaded.wave, request, sink);
  registry.freeAll();
  o.message = std::string(result.message);
  o.english = englishFor(o.message, {});
  if (result.status != analyser::AnalysisStatus::Written) {
    o.status = result.status == analyser::AnalysisStatus::Refused ? kRefused : kFailed;
    return o.status;
  }
  o.status = kWritten;
  o.frames = std::move(result.frames);
  o.bytes =
      common::storedAsDat(o.frames) ? common::encodeDat(o.frames) : common::encodeWide(o.frames);
  o.frequencies.reserve(o.frames.slots.size());
  o.levels.reserve(o.frames.slots.size());
  for (const common::PartialSlot& slot : o.frames.slots) {
    o.frequencies.push_back(slot.frequency);
    o.levels.push_back(slot.level);
  }
  return o.status;
}

// Builds the MIDI file from the DAT (or .wdat) image `bytes` called `name` with the
// quorvel-cli options in `options`. Returns 0 written, 1 refused, 2 failed.
EMSCRIPTEN_KEEPALIVE int32_t engine_build(const uint8_t* bytes, int32_t size, const char* name,
                                          const char* options) {
  outcome() = Outcome{};
  static midibuilder::BuilderTables tables;
  const common::ControlModel& model = midibuilder::converterControls();
  common::ControlState controls(model);
  // What quorvel-cli takes beyond the window's controls: --device gm|mpe, --bend-range and
  // --budget, with its words for a value it does not take.
  const midibuilder::TargetProfile* target = nullptr;
  int32_t bendRange = 0;
  int32_t budget = 0;
  int32_t widePolyphony = 0;
  int32_t wideChannels = 0;
  std::string polyphonyBeyond;
  std::string channelsBeyond;
  for (const auto& [key, value] : optionLines(options)) {
    if (key == "device") target = midibuilder::targets::extraForValue(value);
    if (target != nullptr && key == "device") continue;
    if (key == "bend-range") {
      bendRange = 0;
      for (const int32_t allowed : {2, 12, 24, 48}) {
        if (value == std::to_string(allowed)) bendRange = allowed;
      }
      if (bendRange == 0) {
        const std::string error =
            "invalid value for --bend-range: '" + value + "' (choose 2, 12, 24 or 48)";
        return refuse(error, error);
      }
      continue;
    }
    if (key == "budget") {
      budget = midibuilder::parseCableBudget(value);
      if (budget == 0) {
        const std::string error = midibuilder::cableBudgetRefusal(value);
        return refuse(error, error);
      }
      continue;
    }
    // --polyphony and --channels as whole numbers: a .wdat file may take 1 to 15 of them,
    // beyond the model's buttons.
    if (key == "polyphony" || key == "channels") {
      const bool polyphony = key == "polyphony";
      std::string error;
      if (midibuilder::readWideVoiceCount(model.option(key), value,
                                          polyphony ? widePolyphony : wideChannels,
                                          polyphony ? polyphonyBeyond : channelsBeyond, error)) {
        if (!error.empty()) return refuse(error, error);
        continue;
      }
    }
    bool known = false;
    const std::string error = applyOption(model, key, value, controls, known);
    if (!error.empty()) return refuse(error, error);
    if (!known) return refuse("unknown option: --" + key, "unknown option: --" + key);
  }
  const std::string path(common::trimTrailingSpace(name != nullptr ? name : ""));
  const bool wide = common::isWidePath(path);
  for (const std::string* beyond : {&polyphonyBeyond, &channelsBeyond}) {
    if (!beyond->empty() && !wide) return refuse(*beyond, *beyond);
  }
  const Controls env(controls);
  if (bendRange != 0) {
    const midibuilder::TargetProfile* chosen =
        target != nullptr ? target
                          : midibuilder::targets::forRadioValue(common::checkedNumber(
                                env, model.option("device"), midibuilder::kDeviceHalvoran));
    const std::string error =
        chosen != nullptr ? midibuilder::bendRangeRefusal(*chosen, bendRange) : std::string();
    if (!error.empty()) return refuse(error, error);
  }
  midibuilder::OptionCheck check = midibuilder::readBuilderOptions(env);
  check.options.target = target;
  check.options.bendRange = bendRange;
  check.options.cableBudget = budget;
  const auto refuseFixed = [](std::string_view text) {
    return refuse(std::string(text), msg::writeFailureLine(text, {}, {}));
  };
  if (!check.message.empty()) return refuseFixed(check.message);
  if (const std::string_view refusal =
          midibuilder::checkConversionInput(path, widePolyphony, wideChannels, check.options);
      !refusal.empty()) {
    return refuseFixed(refusal);
  }

  common::AllocationRegistry registry;
  midibuilder::BuildOutcome built;
  if (wide) {
    common::NoteFrames frames;
    const std::string message = common::decodeWide(bytes, static_cast<std::size_t>(size), frames);
    if (!message.empty()) return refuseFixed(message);
    if (const std::string_view voices = midibuilder::checkWideVoices(check.options, frames);
        !voices.empty()) {
      return refuseFixed(voices);
    }
    built = midibuilder::buildMidi(tables, registry, frames, check.options);
  } else {
    built = midibuilder::buildMidiFromDat(tables, registry, bytes, static_cast<std::size_t>(size),
                                          check.options);
  }
  registry.freeAll();
  Outcome& o = outcome();
  o.status = built.status == midibuilder::BuildStatus::Written   ? kWritten
             : built.status == midibuilder::BuildStatus::Refused ? kRefused
                                                                 : kFailed;
  o.message = std::string(built.message);
  o.english = o.status == kWritten ? std::string(msg::englishMeaning(o.message))
                                   : msg::writeFailureLine(o.message, {}, {});
  o.bytes = std::move(built.midi);
  if (o.status == kWritten && budget > 0)
    o.summary = midibuilder::cableBudgetSummary(tables.cableReport);
  return o.status;
}

EMSCRIPTEN_KEEPALIVE const char* engine_message() {
  return outcome().message.c_str();
}
EMSCRIPTEN_KEEPALIVE const char* engine_english() {
  return outcome().english.c_str();
}
EMSCRIPTEN_KEEPALIVE const char* engine_summary() {
  return outcome().summary.c_str();
}
EMSCRIPTEN_KEEPALIVE const uint8_t* engine_output() {
  return outcome().bytes.data();
}
EMSCRIPTEN_KEEPALIVE int32_t engine_output_size() {
  return static_cast<int32_t>(outcome().bytes.size());
}
EMSCRIPTEN_KEEPALIVE int32_t engine_voices() {
  return outcome().frames.voices;
}
EMSCRIPTEN_KEEPALIVE int32_t engine_frames_per_second() {
  return outcome().frames.framesPerSecond;
}
EMSCRIPTEN_KEEPALIVE int32_t engine_frame_count() {
  return outcome().frames.frameCount();
}
EMSCRIPTEN_KEEPALIVE const int32_t* engine_frequencies() {
  return outcome().frequencies.data();
}
EMSCRIPTEN_KEEPALIVE const int32_t* engine_levels() {
  return outcome().levels.data();
}

}  // extern "C"
