#include "render.h"

#include <fluidsynth.h>

#include <algorithm>
#include <bit>
#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <memory>

#include "alloc_registry.h"
#include "file_io.h"
#include "messages.h"
#include "sine_soundfont.h"
#include "targets/targets.h"

namespace media {
namespace {

// The sine SoundFont plays the programs that the General MIDI and MPE files select.
static_assert(kGmSineProgram == midibuilder::targets::kGmProgram);
static_assert(kPressureSineProgram == midibuilder::targets::kMpeProgram);

// The name under which the SoundFont loader below finds the built-in image.
constexpr const char* kBuiltInName = "builtin:sine.sf2";
// Samples per fluidsynth block: each write renders exactly one block, so the player's events
// (processed at the start of a block) are known to the sample.
constexpr int kBlock = 64;
// The release after the player is done (the SoundFont's release is 62.5 ms).
constexpr int kTailFrames = kRenderRate / 10;
constexpr int64_t kMaxRenderFrames = int64_t{kRenderRate} * kMaxRenderSeconds;
// Blocks between two progress reports: about 1.5 s of sound, a few milliseconds of work.
constexpr int64_t kBlocksPerReport = 1024;
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

// Plain rounding, no dither: the output depends on the input alone. Rounds half away from zero
// as std::lround does, in a form the compiler vectorises: a float times 2^15 has at most 24
// significant bits below 2^15, so adding one half is exact in a double and truncating it
// rounds. Not a number is silence; infinities are clamped.
int16_t toSample16(float v) {
  double x = static_cast<double>(v) * 32768.0;
  x = x < -32768.0 ? -32768.0 : x > 32767.0 ? 32767.0 : x;
  x = x == x ? x : 0.0;
  return static_cast<int16_t>(static_cast<int32_t>(x + std::copysign(0.5, x)));
}

// The part of the whole work that one rendering covers, for the progress reports.
struct ProgressSpan {
  double from = 0.0;
  std::chrono::steady_clock::time_point started;
  double reached = 0.0;  // the last fraction of the whole reported
  // Reports `fraction` of this rendering as a fraction of the whole; the time left is
  // extrapolated from the time taken so far.
  void report(const RenderOptions& options, double fraction) {
    if (!options.progress) return;
    const double whole = from + (1.0 - from) * std::clamp(fraction, 0.0, 1.0);
    reached = whole;
    const double spent =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    options.progress(whole, whole > 0.0 ? spent * (1.0 - whole) / whole : -1.0);
  }
};

// Whether the player has played every event: the rendering then ends with the release of the
// last notes, as the player itself keeps playing for a grace period after its last event.
// fluid_player_get_total_ticks walks every event of the file, so it is asked as seldom as its
// answer can matter: the file's length is 0 while no file is loaded and the same value at any
// time one is, so while the current tick is below a length once seen, the answer is no.
class EndWatch {
 public:
  explicit EndWatch(fluid_player_t* player) : player_(player) {}
  bool ended() {
    if (fluid_player_get_status(player_) != FLUID_PLAYER_PLAYING) return true;
    const int current = fluid_player_get_current_tick(player_);
    if (known_ > 0 && current < known_) return false;
    const int total = fluid_player_get_total_ticks(player_);
    if (total > 0) known_ = total;
    return total > 0 && current >= total;
  }
  // The file's length in ticks, 0 while not known.
  int totalTicks() const { return known_; }

 private:
  fluid_player_t* player_;
  int known_ = 0;
};

// The samples a rendering of `totalTicks` will have at the tempo now in force, so that its
// buffer is reserved once rather than grown and copied (a guess: a file whose tempo changes
// only makes the buffer grow as usual). 0 for a time code division.
std::size_t expectedValues(const std::vector<uint8_t>& smf, int totalTicks,
                           fluid_player_t* player) {
  const int division = (smf[12] << 8) | smf[13];
  const int tempo = fluid_player_get_midi_tempo(player);  // microseconds per quarter note
  if (division <= 0 || division >= 0x8000 || tempo <= 0) return 0;
  const double frames =
      static_cast<double>(totalTicks) * tempo / division * (kRenderRate / 1e6) + kTailFrames;
  const double capped = std::min(frames, static_cast<double>(kMaxRenderFrames + kBlock));
  return 2 * static_cast<std::size_t>(capped);
}

// One rendering at `gain` into 16-bit interleaved stereo with the magnitude of its largest
// value before rounding (1.0 = full scale). Unless the lead-in is kept, the frames before the
// one to start from are dropped as soon as it is known (none when nothing marks it), so that
// the rendering is never copied whole. With `stopAtClip` the rendering stops as soon as the peak
// reaches the clip level, as it is then made again anyway.
std::string renderOnce(const std::vector<uint8_t>& smf, const RenderOptions& options, double gain,
                       bool stopAtClip, ProgressSpan& span, std::vector<int16_t>& out,
                       float& peak) {
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
  if (options.soundFont.empty()) {
    fluid_sfloader_t* loader = new_fluid_defsfloader(s);
    if (loader == nullptr) return std::string(msg::kNoMemory);
    fluid_sfloader_set_callbacks(loader, openFont, readFont, seekFont, tellFont, closeFont);
    fluid_synth_add_sfloader(synth.get(), loader);  // the synth owns it from here
    if (fluid_synth_sfload(synth.get(), kBuiltInName, 1) == FLUID_FAILED) {
      return std::string(msg::kReadError);
    }
  } else if (fluid_synth_sfload(synth.get(), options.soundFont.c_str(), 1) == FLUID_FAILED) {
    // The library's own loader, from the file.
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
  bool leadInDropped = false;
  bool reserved = false;
  EndWatch end(player.get());
  span.report(options, 0.0);
  for (int64_t blocks = 0; tailLeft > 0; ++blocks) {
    if (!ending && end.ended()) ending = true;
    if (ending) tailLeft -= kBlock;
    if (frames >= kMaxRenderFrames) return std::string(msg::kAudioTooLong);
    if (options.cancel != nullptr && options.cancel->load(std::memory_order_relaxed)) {
      return std::string(msg::kCancelled);
    }
    if (!reserved && end.totalTicks() > 0) {
      reserved = true;
      out.reserve(expectedValues(smf, end.totalTicks(), player.get()));
    }
    if (blocks % kBlocksPerReport == kBlocksPerReport - 1 && end.totalTicks() > 0) {
      span.report(options, static_cast<double>(fluid_player_get_current_tick(player.get())) /
                               end.totalTicks());
    }
    if (stopAtClip && peak >= kClipLevel) break;
    marks.blockStart = frames;
    if (fluid_synth_write_float(synth.get(), kBlock, block, 0, 2, block, 1, 2) != FLUID_OK) {
      return std::string(msg::kWriteError);
    }
    int16_t samples[2 * kBlock];
    for (int i = 0; i < 2 * kBlock; ++i) {
      const float v = block[i];
      peak = std::max(peak, std::isfinite(v) ? std::fabs(v) : 0.0f);
      samples[i] = toSample16(v);
    }
    out.insert(out.end(), samples, samples + 2 * kBlock);
    frames += kBlock;
    if (!options.keepLeadIn && !leadInDropped && marks.startFrame >= 0) {
      out.erase(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(2 * marks.startFrame));
      leadInDropped = true;
    }
  }
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

std::string soundFontProblem(const std::string& path) {
  std::error_code error;
  const std::filesystem::path file = common::pathFromUtf8(path);
  if (!std::filesystem::exists(file, error)) return "there is no file " + path;
  if (std::filesystem::is_directory(file, error)) return path + " is a folder";
  std::ifstream in(file, std::ios::binary);
  char head[12] = {};
  if (!in || !in.read(head, sizeof head)) {
    return in.is_open() ? path + " is not a SoundFont 2 file (too short)"
                        : path + " cannot be read";
  }
  if (std::memcmp(head, "RIFF", 4) != 0 || std::memcmp(head + 8, "sfbk", 4) != 0) {
    return path + " is not a SoundFont 2 file";
  }
  return {};
}

const std::vector<uint8_t>& builtInSoundFont() {
  static const std::vector<uint8_t> image = media::buildSineSoundFont();
  return image;
}

std::string renderMidi(const std::vector<uint8_t>& smf, const RenderOptions& options,
                       std::vector<int16_t>& stereo) {
  stereo.clear();
  if (!looksLikeSmf(smf)) return std::string(msg::kUnsupportedFile);
  std::vector<int16_t> mix;
  double gain = options.gain;
  ProgressSpan span{0.0, std::chrono::steady_clock::now(), 0.0};
  for (int attempt = 0; attempt < 2; ++attempt) {
    float peak = 0.0f;
    std::string failure = renderOnce(smf, options, gain, attempt == 0, span, mix, peak);
    if (!failure.empty()) return failure;
    if (!(peak >= kClipLevel)) break;
    gain /= 2;  // as the sum of the partials reached full scale
    // The second rendering covers the rest of the bar, which so never goes back.
    span.from = span.reached;
  }
  span.report(options, 1.0);
  stereo.swap(mix);
  return {};
}

namespace {

// The 44-byte header of a canonical PCM WAVE of `sampleCount` 16-bit samples.
std::vector<uint8_t> waveHeader(std::size_t sampleCount, int channels, int rate) {
  const auto dataBytes = static_cast<uint32_t>(sampleCount * 2);
  // Made with its first bytes rather than inserted into an empty, reserved vector: GCC 12 at -O3
  // reports that insertion as an overflow (-Wstringop-overflow), falsely.
  std::vector<uint8_t> b{'R', 'I', 'F', 'F'};
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
  return b;
}

}  // namespace

std::vector<uint8_t> waveImage(const std::vector<int16_t>& samples, int channels, int rate) {
  std::vector<uint8_t> b = waveHeader(samples.size(), channels, rate);
  // The samples little-endian, stored in place: a loop the compiler vectorises.
  const std::size_t header = b.size();
  b.resize(header + samples.size() * 2);
  uint8_t* data = b.data() + header;
  for (std::size_t i = 0; i < samples.size(); ++i) {
    const auto v = static_cast<uint16_t>(samples[i]);
    data[2 * i] = static_cast<uint8_t>(v);
    data[2 * i + 1] = static_cast<uint8_t>(v >> 8);
  }
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
  if (stereo.size() * 2 + 44 > static_cast<std::size_t>(std::numeric_limits<int32_t>::max())) {
    return std::string(msg::kNoMemory);
  }
  if constexpr (std::endian::native == std::endian::little) {
    // The samples in memory already are the file's bytes: written from where they are.
    const std::vector<uint8_t> header = waveHeader(stereo.size(), 2, kRenderRate);
    return common::writeWholeFile(wavePath, {{header.data(), static_cast<int64_t>(header.size())},
                                             {reinterpret_cast<const uint8_t*>(stereo.data()),
                                              static_cast<int64_t>(stereo.size() * 2)}});
  }
  const std::vector<uint8_t> wave = waveImage(stereo, 2, kRenderRate);
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
