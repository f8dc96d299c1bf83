// Decoding any recording, on arbitrary bytes: libsndfile reads the image from memory, the
// samples are mixed, resampled and rounded, and the result goes through the analyser's
// conversion into its working signal. Every outcome must be one of the fixed texts, and a
// decoded recording must be one or two whole channels within the length limit, whose working
// signal is the loader's mixing of exactly those samples.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "messages.h"
#include "recording.h"
#include "wave_loader.h"

namespace {

[[noreturn]] void fail(const std::string& what) {
  std::fprintf(stderr, "recording_fuzz: %s\n", what.c_str());
  std::abort();
}

bool fixedText(const std::string& m) {
  return m == msg::kUnsupportedFile || m == msg::kAudioTooLong || m == msg::kNoMemory ||
         m == msg::kReadError || m == msg::kCannotOpen;
}

// Five seconds at 44100 Hz: a few kilobytes of FLAC or a tiny sample rate can claim minutes,
// and the length limit is the same code at any value.
constexpr int64_t kMaxFrames = 5 * 44100;

}  // namespace

// libvorbis keeps a block it allocated when it gives up on a malformed stream; that leak is the
// library's, not this code's, and would otherwise end every run early.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:vorbis_info_init\nleak:libvorbis.so\nleak:libogg.so\n";
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  media::Recording r;
  const std::string message = media::decodeRecordingFromMemory(data, size, r, kMaxFrames);
  if (!message.empty()) {
    if (!fixedText(message)) fail("unexpected message: " + message);
    if (!r.samples.empty()) fail("samples left after a failure");
    return 0;
  }
  if (r.channels != 1 && r.channels != 2) fail("channel count " + std::to_string(r.channels));
  if (r.info.sourceChannels < 1 || r.info.sourceRate < 1) fail("source format not recorded");
  if ((r.info.sourceChannels <= 2) != (r.channels == r.info.sourceChannels)) {
    fail("channels not kept or not averaged");
  }
  if (r.samples.size() % static_cast<std::size_t>(r.channels) != 0) fail("a partial frame");
  const auto frames = static_cast<int64_t>(r.samples.size()) / r.channels;
  if (frames > kMaxFrames) fail("longer than the limit");

  common::AllocationRegistry registry;
  const analyser::LoadResult loaded =
      analyser::signalFromSamples(registry, r.samples.data(), frames, r.channels);
  if (loaded.status != analyser::LoadStatus::Loaded) fail("working signal not built");
  const int32_t* signal = loaded.wave.signal + analyser::kMarginSamples;
  for (int64_t i = 0; i < frames; ++i) {
    const int32_t expected = r.channels == 1 ? r.samples[static_cast<std::size_t>(i)] * 256
                                             : (r.samples[static_cast<std::size_t>(2 * i)] +
                                                r.samples[static_cast<std::size_t>(2 * i + 1)]) *
                                                   128;
    if (signal[i] != expected) fail("sample " + std::to_string(i) + " mixed differently");
  }
  registry.freeAll();
  return 0;
}
