// DAT -> MIDI through the whole convert command: options and DAT image come from the input.
// Every outcome is checked: the message must be the one the options and the file call for;
// a written MIDI file must pass the strict reader and the builder's output checks; a refusal
// must leave the earlier output file byte for byte, and no temporary file may be left.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "builder_check.h"
#include "converter_window.h"
#include "dat_fuzz_input.h"
#include "messages.h"
#include "note_frame.h"
#include "reference_fields.h"
#include "scripted_environment.h"
#include "smf_check.h"

namespace fs = std::filesystem;
using midibuilder::ConverterControl;

namespace {

const std::string kEarlierOutput = "earlier output, kept on every failure";

[[noreturn]] void fail(const std::string& what) {
  std::fprintf(stderr, "dat_to_midi_fuzz: %s\n", what.c_str());
  std::abort();
}

std::string slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void put(const fs::path& p, const void* data, std::size_t size) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
  if (!out) fail("cannot write " + p.string());
}

struct Expected {
  std::string_view message;
  bool exclamation = false;
  smfcheck::BuilderOptions options;
};

Expected expectedOutcome(const fuzzinput::DatOptions& o, std::size_t datSize) {
  Expected e;
  e.exclamation = true;
  if (o.usedChannels < o.polyphony) return e.message = msg::kChannelsBelowPolyphony, e;
  const fuzzref::Decimal tempo = fuzzref::readDecimal(o.tempoText);
  if (!(tempo.value >= 30.0 && tempo.value <= 1000.0)) return e.message = msg::kTempoRange, e;
  const fuzzref::Integer timeBase = fuzzref::readInteger(o.timeBaseText);
  if (timeBase.value < 24 || timeBase.value > 65535) return e.message = msg::kTimeBaseRange, e;
  const fuzzref::Integer noteStart = fuzzref::readInteger(o.noteStartText);
  if (!noteStart.fitsInt32) fail("note start text outside the int32 range: " + o.noteStartText);
  if (noteStart.value < 2 * timeBase.value) return e.message = msg::kNoteStartTooEarly, e;
  e.exclamation = false;
  const int64_t frames = static_cast<int64_t>(datSize) / common::kNoteFrameBytes;
  if (frames > common::kFrameCapacity) return e.message = msg::kDatTooLong, e;
  e.message = msg::kFinished;
  e.options.usedChannels = o.usedChannels;
  e.options.device = o.device;
  e.options.tempo = tempo.value;
  e.options.timeBase = static_cast<int32_t>(timeBase.value);
  e.options.noteStartTime = static_cast<int32_t>(noteStart.value);
  e.options.frameCount = static_cast<int32_t>(frames);
  return e;
}

struct Harness {
  fs::path dir;
  fs::path input;
  fs::path output;
  testkit::ScriptedEnvironment env;
  midibuilder::ConverterCommand command{env};

  Harness() {
    dir =
        fs::temp_directory_path() / ("dat-to-midi-fuzz-" + std::to_string(std::random_device{}()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    input = dir / "in.dat";
    output = dir / "in.mid";
  }
  ~Harness() {
    std::error_code ec;
    fs::remove_all(dir, ec);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size < fuzzinput::kDatOptionBytes) return 0;
  static Harness h;
  const fuzzinput::DatOptions o = fuzzinput::decodeDatOptions(data);
  const uint8_t* dat = data + fuzzinput::kDatOptionBytes;
  const std::size_t datSize = size - fuzzinput::kDatOptionBytes;
  put(h.input, dat, datSize);
  put(h.output, kEarlierOutput.data(), kEarlierOutput.size());

  auto& env = h.env;
  env.messages.clear();
  env.checked.clear();
  env.texts.clear();
  env.checked.insert(midibuilder::kHalvoran + o.device);
  env.checked.insert(midibuilder::kPolyphony4 + (o.polyphony - 4));
  env.checked.insert(midibuilder::kChannels4 + (o.usedChannels - 4));
  env.checked.insert(o.pitchSort ? midibuilder::kPitchSortOn : midibuilder::kPitchSortOff);
  env.texts[midibuilder::kTempoField] = o.tempoText;
  env.texts[midibuilder::kTimeBaseField] = o.timeBaseText;
  env.texts[midibuilder::kNoteStartField] = o.noteStartText;
  env.texts[midibuilder::kDatFileField] = h.input.string() + (o.trailingBlank ? " \t" : "");

  h.command.convert();

  const Expected e = expectedOutcome(o, datSize);
  const std::string context = " (tempo '" + o.tempoText + "', time base '" + o.timeBaseText +
                              "', note start '" + o.noteStartText + "')";
  if (env.messages.size() != 1) fail("not exactly one message" + context);
  if (env.messages[0].text != e.message) {
    fail("message '" + env.messages[0].text + "' instead of '" + std::string(e.message) + "'" +
         context);
  }
  const bool exclamation = env.messages[0].icon == common::MessageIcon::Exclamation;
  if (exclamation != e.exclamation) fail("wrong icon" + context);
  if (h.command.registry().count() != 0) fail("registry not freed" + context);

  const std::string written = slurp(h.output);
  if (e.message == msg::kFinished) {
    smfcheck::File file;
    const auto* bytes = reinterpret_cast<const uint8_t*>(written.data());
    std::string error = smfcheck::parse(bytes, written.size(), file);
    if (error.empty()) error = smfcheck::checkBuilderOutput(file, e.options);
    if (!error.empty()) fail("bad MIDI file: " + error + context);
  } else if (written != kEarlierOutput) {
    fail("a failed conversion changed the earlier output" + context);
  }
  int entries = 0;
  for (const auto& entry : fs::directory_iterator(h.dir)) {
    (void)entry;
    ++entries;
  }
  if (entries != 2) fail("files left beside the input" + context);
  return 0;
}
