// The wide note-frame reader on any bytes: it must refuse with one of its fixed messages or
// accept an image that writes back byte for byte (the format has one spelling of every set of
// frames), and accepted frames must go through the build stage on every channel it has.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "build.h"
#include "messages.h"
#include "wide_frames.h"

namespace {

[[noreturn]] void fail(const std::string& what) {
  std::fprintf(stderr, "wide_reader_fuzz: %s\n", what.c_str());
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  static const auto tables = std::make_unique<midibuilder::BuilderTables>();
  common::NoteFrames frames;
  const std::string message = common::decodeWide(data, size, frames);
  if (!message.empty()) {
    if (message != msg::kUnsupportedFile && message != msg::kDatTooLong) {
      fail("unexpected message " + message);
    }
    return 0;
  }
  if (!common::fitsWide(frames)) fail("accepted frames that do not fit the format");
  const std::vector<uint8_t> again = common::encodeWide(frames);
  if (again.size() != size || !std::equal(again.begin(), again.end(), data)) {
    fail("accepted image does not write back unchanged");
  }
  midibuilder::BuilderOptions options;
  options.polyphony = frames.voices;
  options.usedChannels = midibuilder::kMaxChannels;
  options.device = static_cast<int32_t>(size % 4);
  common::AllocationRegistry registry;
  const midibuilder::BuildOutcome outcome =
      midibuilder::buildMidi(*tables, registry, frames, options);
  registry.freeAll();
  if (outcome.status != midibuilder::BuildStatus::Written || outcome.midi.size() < 14) {
    fail("accepted frames were not built");
  }
  return 0;
}
