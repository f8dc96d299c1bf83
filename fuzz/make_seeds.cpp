// Writes the seed corpora of the fuzz harnesses: fuzz-seeds DIR creates DIR/wave-loader,
// DIR/dat-to-midi, DIR/number-fields, DIR/estimator, DIR/wide-reader and DIR/smf-reader, each
// filled with small inputs made here (canonical and odd WAVE files, DAT images under several
// option blocks, number texts, analysis windows, MIDI files from the builder).
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "build.h"
#include "dat_fuzz_input.h"
#include "note_frame.h"
#include "wide_frames.h"

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

namespace {

void save(const fs::path& dir, const std::string& name, const Bytes& bytes) {
  std::ofstream out(dir / name, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

void le16(Bytes& b, uint32_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}
void le32(Bytes& b, uint32_t v) {
  le16(b, v & 0xFFFF);
  le16(b, v >> 16);
}
void tag(Bytes& b, const char* id) {
  b.insert(b.end(), id, id + 4);
}

struct Format {
  uint32_t tag = 1, channels = 1, rate = 44100, bits = 16;
};

Bytes fmtChunk(const Format& f) {
  Bytes b;
  tag(b, "fmt ");
  le32(b, 16);
  le16(b, f.tag);
  le16(b, f.channels);
  le32(b, f.rate);
  le32(b, f.rate * f.channels * f.bits / 8);
  le16(b, f.channels * f.bits / 8);
  le16(b, f.bits);
  return b;
}

Bytes samples(uint32_t frames, uint32_t channels) {
  Bytes b;
  for (uint32_t i = 0; i < frames; ++i) {
    for (uint32_t c = 0; c < channels; ++c) {
      const double v = 20000.0 * std::sin(i * 0.0627 * (c + 1)) + 3000.0 * std::sin(i * 0.31);
      le16(b, static_cast<uint32_t>(static_cast<int32_t>(v)) & 0xFFFF);
    }
  }
  return b;
}

Bytes wave(const Format& f, const Bytes& data, const Bytes& before = {}, uint32_t dataSize = 0,
           bool useSize = false) {
  Bytes body;
  tag(body, "WAVE");
  body.insert(body.end(), before.begin(), before.end());
  const Bytes fmt = fmtChunk(f);
  body.insert(body.end(), fmt.begin(), fmt.end());
  tag(body, "data");
  le32(body, useSize ? dataSize : static_cast<uint32_t>(data.size()));
  body.insert(body.end(), data.begin(), data.end());
  Bytes file;
  tag(file, "RIFF");
  le32(file, static_cast<uint32_t>(body.size()));
  file.insert(file.end(), body.begin(), body.end());
  return file;
}

// The wave-loader harness takes one control byte before the file (1 or 2: refuse the signal
// or the residual buffer).
void saveWave(const fs::path& dir, const std::string& name, const Bytes& file,
              uint8_t control = 0) {
  Bytes input = {control};
  input.insert(input.end(), file.begin(), file.end());
  save(dir, name, input);
}

void waveSeeds(const fs::path& dir) {
  const Format mono;
  Format stereo;
  stereo.channels = 2;
  saveWave(dir, "mono", wave(mono, samples(300, 1)));
  saveWave(dir, "stereo", wave(stereo, samples(200, 2)));
  saveWave(dir, "refuse-signal", wave(stereo, samples(20, 2)), 1);
  saveWave(dir, "refuse-residual", wave(mono, samples(20, 1)), 2);
  saveWave(dir, "empty-data", wave(mono, {}));
  saveWave(dir, "odd-data", wave(mono, Bytes{1, 2, 3}));
  Bytes list;
  tag(list, "LIST");
  le32(list, 5);
  list.insert(list.end(), {'a', 'b', 'c', 'd', 'e'});
  saveWave(dir, "odd-chunk-first", wave(stereo, samples(50, 2), list));
  Format eight = mono;
  eight.bits = 8;
  saveWave(dir, "eight-bit", wave(eight, samples(40, 1)));
  Format rate = stereo;
  rate.rate = 48000;
  saveWave(dir, "48000", wave(rate, samples(40, 2)));
  Format floating = mono;
  floating.tag = 3;
  saveWave(dir, "float", wave(floating, samples(40, 1)));
  saveWave(dir, "size-too-large", wave(mono, samples(40, 1), {}, 0xFFFFFFFFu, true));
  Bytes w = wave(mono, samples(64, 1));
  w[0] = 'X';  // no RIFF tag, still loads
  saveWave(dir, "no-riff", w);
  Bytes late;
  tag(late, "JUNK");
  le32(late, 1000);
  late.resize(late.size() + 1000, 0);
  saveWave(dir, "data-after-1024", wave(mono, samples(20, 1), late));
  // The data chunk before the format chunk.
  Bytes swapped;
  tag(swapped, "RIFF");
  le32(swapped, 0);
  tag(swapped, "WAVE");
  tag(swapped, "data");
  le32(swapped, 4);
  le32(swapped, 0x12345678);
  const Bytes fmt = fmtChunk(mono);
  swapped.insert(swapped.end(), fmt.begin(), fmt.end());
  saveWave(dir, "data-before-fmt", swapped);
  saveWave(dir, "short", Bytes{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'});
}

common::NoteFrame frameOf(std::initializer_list<std::pair<int32_t, int32_t>> slots) {
  common::NoteFrame f;
  int k = 0;
  for (const auto& [level, frequency] : slots) f.slots[k++] = {level, frequency};
  return f;
}

Bytes image(const std::vector<common::NoteFrame>& frames) {
  Bytes b(frames.size() * common::kNoteFrameBytes);
  for (std::size_t i = 0; i < frames.size(); ++i) {
    common::encodeNoteFrame(frames[i], b.data() + i * common::kNoteFrameBytes);
  }
  return b;
}

std::vector<std::pair<std::string, Bytes>> datImages() {
  std::vector<std::pair<std::string, Bytes>> images;
  images.push_back(
      {"worked", image({frameOf({{1000, 4400}}), frameOf({{500, 4400}}), frameOf({{0, 4400}})})});
  std::vector<common::NoteFrame> glide;
  for (int g = 0; g < 90; ++g) {
    common::NoteFrame f;
    const bool gap = g % 30 >= 24;
    for (int k = 0; k < 6; ++k) {
      const double hz = (100.0 + 20.0 * g) * (k + 1) * (k % 2 ? 1.01 : 1.0);
      f.slots[k] = {gap ? 0 : 4000000 / (k + 1) / (1 + (g + k) % 3),
                    static_cast<int32_t>(hz * 10.0 + 0.5)};
    }
    glide.push_back(f);
  }
  glide.back().slots[7] = {1, 60};
  images.push_back({"glide", image(glide)});
  std::vector<common::NoteFrame> silent(
      10, frameOf({{0, 550}, {0, 550}, {0, 550}, {0, 550}, {0, 550}, {0, 550}}));
  silent.back().slots[7] = {1, 60};
  images.push_back({"silent", image(silent)});
  images.push_back(
      {"extremes", image({frameOf({{INT32_MAX, INT32_MAX},
                                   {INT32_MIN, 4400},
                                   {1000, 0},
                                   {INT32_MAX, -4400},
                                   {5, INT32_MIN},
                                   {INT32_MAX, 1}}),
                          frameOf({{INT32_MAX, 80000},
                                   {INT32_MAX, 550},
                                   {-1, -1},
                                   {INT32_MAX, 4},
                                   {INT32_MAX, 2000000000},
                                   {0, 0}}),
                          frameOf({{1, 4400}, {INT32_MAX / 254, 4400}, {INT32_MAX, 2616}})})});
  Bytes ragged = image({frameOf({{100, 4410}}), frameOf({{100, 2616}})});
  ragged.push_back(0x7F);
  ragged.push_back(0xFF);
  images.push_back({"ragged", ragged});
  images.push_back({"empty", {}});
  return images;
}

Bytes options(uint8_t device, uint8_t poly, uint8_t channels, uint8_t flags, uint8_t tempoMode,
              uint16_t tempo, uint8_t tbMode, uint16_t tb, uint8_t startMode, uint32_t start) {
  return {device,
          poly,
          channels,
          flags,
          tempoMode,
          static_cast<uint8_t>(tempo >> 8),
          static_cast<uint8_t>(tempo),
          tbMode,
          static_cast<uint8_t>(tb >> 8),
          static_cast<uint8_t>(tb),
          startMode,
          static_cast<uint8_t>(start >> 24),
          static_cast<uint8_t>(start >> 16),
          static_cast<uint8_t>(start >> 8),
          static_cast<uint8_t>(start)};
}

void datSeeds(const fs::path& dir) {
  // Mode numbers as in dat_fuzz_input.h: tempo mode 5 = the value as an integer text; time base
  // mode 0 = the value; note start mode 0 = twice the time base plus the value, 4 = INT32_MAX,
  // 5 = twice the time base; mode 6 picks an odd text.
  const std::vector<std::pair<std::string, Bytes>> blocks = {
      {"defaults", options(0, 2, 2, 1, 5, 120, 0, 480, 0, 960)},
      {"sc88-sortoff", options(1, 0, 4, 0, 5, 97, 0, 96, 5, 0)},
      {"sc8850-spare", options(2, 1, 3, 3, 5, 240, 0, 960, 0, 7)},
      {"msgs-4-of-8", options(3, 0, 4, 1, 5, 60, 0, 24, 0, 0)},
      {"extreme", options(0, 2, 4, 1, 5, 1000, 0, 65535, 4, 0)},
      {"slowest", options(1, 2, 2, 1, 5, 30, 0, 24, 5, 0)},
      {"odd-texts", options(0, 2, 2, 1, 6, 0, 6, 2, 6, 4)},
      {"refused-channels", options(0, 2, 0, 1, 5, 120, 0, 480, 0, 960)},
  };
  for (const auto& [imageName, dat] : datImages()) {
    for (const auto& [blockName, block] : blocks) {
      Bytes input = block;
      input.insert(input.end(), dat.begin(), dat.end());
      save(dir, blockName + "-" + imageName, input);
    }
  }
}

void fieldSeeds(const fs::path& dir) {
  const char* texts[] = {
      "120.0", "1e3",   " -5",      "abc",         "0x10",        "inf",
      "nan",   "1e400", "-1e-400",  "99999999999", "-2147483649", ".5",
      "5.",    "+.e5",  "\t\n 42x", "2147483647",  "4.9e-324",    "1.7976931348623157e308",
      "480.5", "",      "  ",       "007",         "1e+",         "-.5E-3"};
  int n = 0;
  for (const char* t : texts) {
    const std::string s = t;
    save(dir, "text-" + std::to_string(n++), Bytes(s.begin(), s.end()));
  }
}

}  // namespace

// Estimator inputs: a control byte (length, mono or stereo, batch), then 16-bit samples.
void estimatorSeeds(const fs::path& dir) {
  const auto windowOf = [](uint8_t control, int count, auto sample) {
    Bytes b = {control};
    for (int i = 0; i < count; ++i) le16(b, static_cast<uint32_t>(sample(i)) & 0xFFFF);
    return b;
  };
  save(dir, "tone-2940", windowOf(0, 2940, [](int i) {
         return static_cast<int32_t>(12000 * std::sin(i * 2 * 3.14159265 * 440 / 44100));
       }));
  save(dir, "two-tones-735", windowOf(3, 735, [](int i) {
         return static_cast<int32_t>(9000 * std::sin(i * 0.05) + 9000 * std::sin(i * 0.9));
       }));
  save(dir, "full-scale-square",
       windowOf(1, 2205, [](int i) { return i % 50 < 25 ? 32767 : -32768; }));
  save(dir, "stereo-negative-full", windowOf(4 | 8, 64, [](int) { return -32768; }));
  save(dir, "alternating", windowOf(2, 1470, [](int i) { return i % 2 ? 32767 : -32768; }));
  save(dir, "impulse", windowOf(8, 100, [](int i) { return i == 0 ? 32767 : 0; }));
  save(dir, "silence", Bytes{0});
}

// Wide note-frame files: one voice to fifteen, at each frame rate, and no frames at all.
void wideSeeds(const fs::path& dir) {
  for (const auto& [voices, rate, count] :
       {std::tuple{1, 60, 5}, {6, 60, 40}, {9, 120, 20}, {15, 240, 12}, {15, 60, 0}}) {
    common::NoteFrames f;
    f.voices = voices;
    f.framesPerSecond = rate;
    f.method = voices == 1 ? "seed" : "tracked";
    for (int i = 0; i < voices * count; ++i) {
      f.slots.push_back({i % 7 == 0 ? 0 : 200000 + 1000 * i, 1100 + 900 * (i % voices)});
    }
    const Bytes image = common::encodeWide(f);
    save(dir, "wide-" + std::to_string(voices) + "-" + std::to_string(rate), image);
  }
}

// MIDI files as the builder writes them for each target, six and fifteen voices, and a short
// hand-made one with running status, tempo and time signature events and a system exclusive.
void smfSeeds(const fs::path& dir) {
  auto tables = std::make_unique<midibuilder::BuilderTables>();
  for (const auto& [voices, device] : {std::tuple{6, 0}, {6, 3}, {15, 1}}) {
    common::NoteFrames f;
    f.voices = voices;
    for (int i = 0; i < voices * 30; ++i) {
      f.slots.push_back({i % 5 == 0 ? 0 : 300000 + 900 * i, 1500 + 700 * (i % voices) + 3 * i});
    }
    midibuilder::BuilderOptions options;
    options.polyphony = voices;
    options.usedChannels = voices < 8 ? 8 : voices;
    options.device = device;
    common::AllocationRegistry registry;
    const Bytes midi = midibuilder::buildMidi(*tables, registry, f, options).midi;
    registry.freeAll();
    save(dir, "built-" + std::to_string(voices) + "-" + std::to_string(device), midi);
  }
  save(dir, "hand-made",
       Bytes{'M',  'T',  'h',  'd',  0,    0,    0,    6,    0,    0,    0,    1,    0,
             96,   'M',  'T',  'r',  'k',  0,    0,    0,    30,   0x00, 0xFF, 0x51, 0x03,
             0x07, 0xA1, 0x20, 0x00, 0xFF, 0x58, 0x04, 3,    2,    24,   8,    0x00, 0x90,
             0x3C, 0x40, 0x60, 0x3C, 0x00, 0x00, 0xF0, 0x01, 0xF7, 0x00, 0xFF, 0x2F, 0x00});
}

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: fuzz-seeds DIR\n");
    return 2;
  }
  const fs::path root = argv[1];
  const fs::path wave = root / "wave-loader", dat = root / "dat-to-midi",
                 fields = root / "number-fields", estimator = root / "estimator",
                 wide = root / "wide-reader", smf = root / "smf-reader";
  for (const auto& d : {wave, dat, fields, estimator, wide, smf}) fs::create_directories(d);
  smfSeeds(smf);
  wideSeeds(wide);
  estimatorSeeds(estimator);
  waveSeeds(wave);
  datSeeds(dat);
  fieldSeeds(fields);
  return 0;
}
