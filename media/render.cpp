#include "render.h"

#include <fluidsynth.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>

#include "alloc_registry.h"
#include "file_io.h"
#include "messages.h"
#include "sine_soundfont.h"

namespace media {
namespace {

// The name under which the SoundFont loader below finds the built-in image.
constexpr const char* kBuiltInName = "builtin:sine.sf2";
// Samples per fluidsynth block: each write renders exactly one block, so the player's events
// (processed at the start of a block) are known to the sample.
constexpr int kBlock = 64;
// The release after the player is done (the SoundFont's release is 62.5 ms).
constexpr int kTailFrames = kRenderRate / 10;
// Far beyond the builder's longest file (600 s plus the set-up); a file that plays longer is
// refused rather than buffered.
constexpr int64_t kMaxRenderFrames = int64_t{kRenderRate} * 900;
// A rendering whose peak reaches this is made again at half the gain.
constexpr double kClipLevel = 0.999;

struct MemoryReader {
  const std::vector<uint8_t>* image;
  long long position;
};

// libfluidsynth's file callbacks, reading the built-in image; every other name goes to the
// C library as usual.
void* openFont(const char* name) {
  if (std::strcmp(name, kBuiltInName) == 0) return new MemoryReader{&builtInSoundFont(), 0};
  return nullptr;
}
int readFont(void* buffer, fluid_long_long_t count, void* handle) {
  auto* r = static_cast<MemoryReader*>(handle);
  const auto size = static_cast<long long>(r->image->size());
  if (count < 0 || count > size - r->position) return FLUID_FAILED;
  std::memcpy(buffer, r->image->data() + r->position, static_cast<std::size_t>(count));
  r->position += count;
  return FLUID_OK;
}
int seekFont(void* handle, fluid_long_long_t offset, int origin) {
  auto* r = static_cast<MemoryReader*>(handle);
  const auto size = static_cast<long long>(r->image->size());
  const long long base = origin == SEEK_CUR ? r->position : origin == SEEK_END ? size : 0;
  if (offset < -base || offset > size - base) return FLUID_FAILED;
  r->position = base + offset;
  return FLUID_OK;
}
fluid_long_long_t tellFont(void* handle) {
  return static_cast<MemoryReader*>(handle)->position;
}
int closeFont(void* handle) {
  delete static_cast<MemoryReader*>(handle);
  return FLUID_OK;
}

struct Deleters {
  void operator()(fluid_settings_t* p) const { delete_fluid_settings(p); }
  void operator()(fluid_synth_t* p) const { delete_fluid_synth(p); }
  void operator()(fluid_player_t* p) const { delete_fluid_player(p); }
};

// Where the rendering's first kept frame lies, found while playing.
struct StartMarks {
  fluid_synth_t* synth = nullptr;
  int64_t blockStart = 0;   // the frame at which the block being rendered starts
  int64_t startTick = -1;   // wanted tick, -1: the first note-on
  int64_t startFrame = -1;  // the block in which that tick or note was played
};

int onEvent(void* data, fluid_midi_event_t* event) {
  auto* marks = static_cast<StartMarks*>(data);
  if (marks->startTick < 0 && marks->startFrame < 0 && fluid_midi_event_get_type(event) == 0x90 &&
      fluid_midi_event_get_velocity(event) > 0) {
    marks->startFrame = marks->blockStart;
  }
  return fluid_synth_handle_midi_event(marks->synth, event);
}

int onTick(void* data, int tick) {
  auto* marks = static_cast<StartMarks*>(data);
  if (marks->startTick >= 0 && marks->startFrame < 0 && tick >= marks->startTick) {
    marks->startFrame = marks->blockStart;
  }
  return FLUID_OK;
}

// Plain rounding, no dither: the output depends on the input alone.
int16_t toSample16(float v) {
  const double x = std::clamp(static_cast<double>(v) * 32768.0, -32768.0, 32767.0);
  return static_cast<int16_t>(std::lround(std::isfinite(x) ? x : 0.0));
}

// One rendering at `gain` into 16-bit interleaved stereo with the magnitude of its largest
// value before rounding (1.0 = full scale); the frame to start from goes to `startFrame`
// (0 when nothing marks it).
std::string renderOnce(const std::vector<uint8_t>& smf, const RenderOptions& options, double gain,
                       std::vector<int16_t>& out, float& peak, int64_t& startFrame) {
  std::unique_ptr<fluid_settings_t, Deleters> settings(new_fluid_settings());
  if (!settings) return std::string(msg::kNoMemory);
  fluid_settings_t* s = settings.get();
  fluid_settings_setnum(s, "synth.sample-rate", kRenderRate);
  fluid_settings_setnum(s, "synth.gain", gain);
  fluid_settings_setint(s, "synth.reverb.active", 0);
  fluid_settings_setint(s, "synth.chorus.active", 0);
  fluid_settings_setint(s, "synth.cpu-cores", 1);
  fluid_settings_setint(s, "synth.audio-channels", 1);
  // The player is clocked by the samples rendered, not by the wall clock: the same file gives
  // the same samples however fast the machine is.
  fluid_settings_setstr(s, "player.timing-source", "sample");

  std::unique_ptr<fluid_synth_t, Deleters> synth(new_fluid_synth(s));
  if (!synth) return std::string(msg::kNoMemory);
  fluid_sfloader_t* loader = new_fluid_defsfloader(s);
  if (loader == nullptr) return std::string(msg::kNoMemory);
  fluid_sfloader_set_callbacks(loader, openFont, readFont, seekFont, tellFont, closeFont);
  fluid_synth_add_sfloader(synth.get(), loader);  // the synth owns it from here
  if (fluid_synth_sfload(synth.get(), kBuiltInName, 1) == FLUID_FAILED) {
    return std::string(msg::kReadError);
  }

  std::unique_ptr<fluid_player_t, Deleters> player(new_fluid_player(synth.get()));
  if (!player) return std::string(msg::kNoMemory);
  StartMarks marks;
  marks.synth = synth.get();
  marks.startTick = options.startTick;
  fluid_player_set_playback_callback(player.get(), onEvent, &marks);
  fluid_player_set_tick_callback(player.get(), onTick, &marks);
  if (fluid_player_add_mem(player.get(), smf.data(), smf.size()) != FLUID_OK ||
      fluid_player_play(player.get()) != FLUID_OK) {
    return std::string(msg::kUnsupportedFile);
  }

  out.clear();
  peak = 0.0f;
  int64_t frames = 0;
  int64_t tailLeft = kTailFrames;
  // Dry (no effects) output: the left and right buffers interleaved by the stride of 2.
  float block[2 * kBlock];
  bool ending = false;
  while (tailLeft > 0) {
    // The player itself keeps playing for a grace period after its last event; the rendering
    // ends with the release of the last notes instead.
    const int total = fluid_player_get_total_ticks(player.get());
    if (fluid_player_get_status(player.get()) != FLUID_PLAYER_PLAYING ||
        (total > 0 && fluid_player_get_current_tick(player.get()) >= total)) {
      ending = true;
    }
    if (ending) tailLeft -= kBlock;
    if (frames >= kMaxRenderFrames) return std::string(msg::kNoMemory);
    marks.blockStart = frames;
    if (fluid_synth_write_float(synth.get(), kBlock, block, 0, 2, block, 1, 2) != FLUID_OK) {
      return std::string(msg::kWriteError);
    }
    for (float v : block) {
      peak = std::max(peak, std::isfinite(v) ? std::fabs(v) : 0.0f);
      out.push_back(toSample16(v));
    }
    frames += kBlock;
  }
  startFrame = marks.startFrame < 0 ? 0 : marks.startFrame;
  return {};
}

bool looksLikeSmf(const std::vector<uint8_t>& smf) {
  return smf.size() >= 14 && std::memcmp(smf.data(), "MThd", 4) == 0;
}

void putU32(std::vector<uint8_t>& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void putU16(std::vector<uint8_t>& b, uint32_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}

}  // namespace

const std::vector<uint8_t>& builtInSoundFont() {
  static const std::vector<uint8_t> image = tools::buildSineSoundFont();
  return image;
}

std::string renderMidi(const std::vector<uint8_t>& smf, const RenderOptions& options,
                       std::vector<int16_t>& stereo) {
  stereo.clear();
  if (!looksLikeSmf(smf)) return std::string(msg::kUnsupportedFile);
  std::vector<int16_t> mix;
  int64_t startFrame = 0;
  double gain = options.gain;
  for (int attempt = 0; attempt < 2; ++attempt) {
    float peak = 0.0f;
    std::string failure = renderOnce(smf, options, gain, mix, peak, startFrame);
    if (!failure.empty()) return failure;
    if (!(peak >= kClipLevel)) break;
    gain /= 2;  // as the sum of the partials reached full scale
  }
  const std::size_t first =
      options.keepLeadIn ? 0 : std::min(static_cast<std::size_t>(2 * startFrame), mix.size());
  stereo.assign(mix.begin() + static_cast<std::ptrdiff_t>(first), mix.end());
  return {};
}

std::vector<uint8_t> waveImage(const std::vector<int16_t>& samples, int channels, int rate) {
  const auto dataBytes = static_cast<uint32_t>(samples.size() * 2);
  std::vector<uint8_t> b;
  b.reserve(44 + samples.size() * 2);
  b.insert(b.end(), {'R', 'I', 'F', 'F'});
  putU32(b, 36 + dataBytes);
  b.insert(b.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  putU32(b, 16);
  putU16(b, 1);  // PCM
  putU16(b, static_cast<uint32_t>(channels));
  putU32(b, static_cast<uint32_t>(rate));
  putU32(b, static_cast<uint32_t>(rate * channels * 2));
  putU16(b, static_cast<uint32_t>(channels * 2));
  putU16(b, 16);
  b.insert(b.end(), {'d', 'a', 't', 'a'});
  putU32(b, dataBytes);
  for (int16_t v : samples) putU16(b, static_cast<uint16_t>(v));
  return b;
}

std::string renderMidiFile(const std::string& midiPath, const std::string& wavePath,
                           const RenderOptions& options) {
  std::vector<uint8_t> smf;
  {
    common::AllocationRegistry registry;
    uint8_t* image = nullptr;
    int32_t length = 0;
    std::string failure = common::readWholeFile(registry, midiPath, 0, image, length);
    if (!failure.empty()) return failure;
    if (length > 0) smf.assign(image, image + length);
  }
  std::vector<int16_t> stereo;
  std::string failure = renderMidi(smf, options, stereo);
  if (!failure.empty()) return failure;
  const std::vector<uint8_t> wave = waveImage(stereo, 2, kRenderRate);
  if (wave.size() > static_cast<std::size_t>(std::numeric_limits<int32_t>::max())) {
    return std::string(msg::kNoMemory);
  }
  return common::writeWholeFile(wavePath, wave.data(), static_cast<int32_t>(wave.size()));
}

std::string renderedPathFor(const std::string& midiPath) {
  const std::size_t slash = midiPath.find_last_of("/\\");
  const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  const std::size_t dot = midiPath.rfind('.');
  const bool hasExtension = dot != std::string::npos && dot > nameStart;
  return (hasExtension ? midiPath.substr(0, dot) : midiPath) + "-rendered.wav";
}

}  // namespace media
