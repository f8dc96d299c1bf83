#include "sine_soundfont.h"

#include <cmath>
#include <cstddef>
#include <string>

namespace media {
namespace {

class Writer {
 public:
  std::vector<uint8_t> bytes;

  void u8(uint8_t v) { bytes.push_back(v); }
  void u16(uint16_t v) {
    u8(static_cast<uint8_t>(v & 0xFF));
    u8(static_cast<uint8_t>(v >> 8));
  }
  void i16(int16_t v) { u16(static_cast<uint16_t>(v)); }
  void u32(uint32_t v) {
    u16(static_cast<uint16_t>(v & 0xFFFF));
    u16(static_cast<uint16_t>(v >> 16));
  }
  void tag(const char (&t)[5]) {
    for (int i = 0; i < 4; ++i) u8(static_cast<uint8_t>(t[i]));
  }
  // A fixed-width name field, zero-filled (names of 20 characters keep their last byte 0).
  void name(const std::string& s, size_t width) {
    for (size_t i = 0; i < width; ++i) u8(i < s.size() && i + 1 < width ? s[i] : 0);
  }

  // Opens a chunk and returns the position of its size field, closed by `end`.
  size_t begin(const char (&t)[5]) {
    tag(t);
    size_t at = bytes.size();
    u32(0);
    return at;
  }
  size_t beginList(const char (&t)[5]) {
    size_t at = begin("LIST");
    tag(t);
    return at;
  }
  void end(size_t at) {
    size_t size = bytes.size() - at - 4;
    if (size % 2 != 0) u8(0);  // chunks are padded to even length; the size excludes the pad
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>((size >> (8 * i)) & 0xFF);
  }

  // A zero-terminated string sub-chunk padded to even length, as INFO strings must be.
  void infoString(const char (&t)[5], const std::string& s) {
    tag(t);
    size_t size = s.size() + 1;
    if (size % 2 != 0) ++size;
    u32(static_cast<uint32_t>(size));
    for (size_t i = 0; i < size; ++i) u8(i < s.size() ? static_cast<uint8_t>(s[i]) : 0);
  }

  void generator(Sf2Generator g, int16_t amount) {
    u16(static_cast<uint16_t>(g));
    i16(amount);
  }
};

struct PresetEntry {
  const char* name;
  uint16_t bank;
  uint16_t program;
  bool pressure = false;  // the level follows channel pressure (the preset's modulators)
};

// Bank 8 program 80 is what the GS MIDI files select; bank 0 program 80 catches players that
// fall back to the capital tone when a variation is missing. Bank 0 and bank 128 program 0 are
// what a synthesiser gives every channel (and the percussion channel) at start-up and after a
// reset; with them present the file loads without "no preset" warnings. The General MIDI files
// select kGmSineProgram, the MPE files kPressureSineProgram. All play the same sine. Sorted by
// bank and program, as players expect.
constexpr PresetEntry kPresets[] = {
    {"Sine (default)", 0, 0}, {"Sine (GM)", 0, kGmSineProgram},
    {"Sine Lead", 0, 80},     {"Sine (pressure)", 0, kPressureSineProgram, true},
    {"Sine Wave", 8, 80},     {"Sine (percussion)", 128, 0},
};
static_assert(kGmSineProgram != 0 && kGmSineProgram != 80 && kGmSineProgram < kPressureSineProgram,
              "the presets stay sorted and distinct");
constexpr uint16_t kPresetCount = sizeof(kPresets) / sizeof(kPresets[0]);

// Modulator source operators: controller index in bits 0-6, bit 9 set for bipolar, linear.
constexpr uint16_t kPitchWheelSource = 0x020E;             // pitch wheel, -1 ... +1
constexpr uint16_t kPitchWheelSensitivitySource = 0x0010;  // RPN 0 value over 128, 0 ... 1
// The destination of the default pitch-wheel modulator as players implement it: the fine tune
// generator (the format names an "initial pitch" that is no generator of its own).
constexpr uint16_t kFineTuneGenerator = 52;

// A modulator record: sources, destination generator, amount, transform (always linear).
struct Modulator {
  uint16_t source;
  uint16_t destination;
  int16_t amount;
  uint16_t amountSource;
};

// The pressure preset's modulators. Preset-level modulators add to the instrument's and the
// players' default ones, so the level of channel pressure is added on the curve by which the
// default modulator attenuates for expression (concave, decreasing, up to 960 cB), and three
// default modulators are cancelled by their opposites: channel pressure to vibrato depth (50
// cents), note-on velocity to attenuation (960 cB) and velocity to filter cut-off (-2400 cents
// from velocity 64 up). The level is then the pressure alone, as it is the expression alone in
// the other presets (whose notes start at velocity 127).
constexpr uint16_t kChannelPressureConcaveDown = 0x050D;
constexpr uint16_t kChannelPressure = 0x000D;
constexpr uint16_t kVelocityConcaveDown = 0x0502;
constexpr uint16_t kVelocityLinearDown = 0x0102;
constexpr uint16_t kVelocitySwitch = 0x0C02;
constexpr uint16_t kInitialAttenuation = 48;
constexpr uint16_t kVibLfoToPitch = 6;
constexpr uint16_t kInitialFilterFc = 8;
constexpr Modulator kPressureModulators[] = {
    {kChannelPressureConcaveDown, kInitialAttenuation, 960, 0},
    {kChannelPressure, kVibLfoToPitch, -50, 0},
    {kVelocityConcaveDown, kInitialAttenuation, -960, 0},
    {kVelocityLinearDown, kInitialFilterFc, 2400, kVelocitySwitch},
};
constexpr uint16_t kPressureModulatorCount =
    sizeof(kPressureModulators) / sizeof(kPressureModulators[0]);

}  // namespace

std::vector<uint8_t> buildSineSoundFont(const SineSoundFontOptions& options) {
  Writer w;
  size_t riff = w.begin("RIFF");
  w.tag("sfbk");

  size_t info = w.beginList("INFO");
  w.tag("ifil");
  w.u32(4);
  w.u16(2);  // version 2.01
  w.u16(1);
  w.infoString("isng", "EMU8000");
  w.infoString("INAM", "Sine wave for speech resynthesis");
  w.infoString("ISFT", "make-sine-soundfont");
  w.end(info);

  size_t sdta = w.beginList("sdta");
  size_t smpl = w.begin("smpl");
  const double step = 6.283185307179586 * kSineLoopCycles / kSineLoopLength;
  for (uint32_t i = 0; i < kSineSampleEnd; ++i) {
    // The sample starts at phase 0, so the attack starts from silence without a click.
    double v = std::round(options.peak * std::sin(step * i));
    w.i16(static_cast<int16_t>(v));
  }
  for (uint32_t i = 0; i < kSampleGuardPoints; ++i) w.i16(0);
  w.end(smpl);
  w.end(sdta);

  size_t pdta = w.beginList("pdta");

  // Preset headers (38 bytes each): one zone per preset, then the terminal "EOP".
  size_t phdr = w.begin("phdr");
  for (uint16_t i = 0; i < kPresetCount; ++i) {
    w.name(kPresets[i].name, 20);
    w.u16(kPresets[i].program);
    w.u16(kPresets[i].bank);
    w.u16(i);  // first bag of this preset
    w.u32(0);  // library, genre, morphology: reserved
    w.u32(0);
    w.u32(0);
  }
  w.name("EOP", 20);
  w.u16(0);
  w.u16(0);
  w.u16(kPresetCount);
  w.u32(0);
  w.u32(0);
  w.u32(0);
  w.end(phdr);

  // Preset bags: bag i holds generator i and, for the pressure preset, its modulators; the
  // terminal bag closes the list.
  size_t pbag = w.begin("pbag");
  uint16_t modulators = 0;
  for (uint16_t i = 0; i <= kPresetCount; ++i) {
    w.u16(i);
    w.u16(modulators);
    if (i < kPresetCount && kPresets[i].pressure) modulators += kPressureModulatorCount;
  }
  w.end(pbag);

  size_t pmod = w.begin("pmod");
  for (const Modulator& m : kPressureModulators) {
    w.u16(m.source);
    w.u16(m.destination);
    w.i16(m.amount);
    w.u16(m.amountSource);
    w.u16(0);  // linear transform
  }
  for (int i = 0; i < 10; ++i) w.u8(0);  // terminal modulator
  w.end(pmod);

  size_t pgen = w.begin("pgen");
  for (uint16_t i = 0; i < kPresetCount; ++i) w.generator(Sf2Generator::kInstrument, 0);
  w.u32(0);  // terminal generator
  w.end(pgen);

  size_t inst = w.begin("inst");
  w.name("Sine", 20);
  w.u16(0);
  w.name("EOI", 20);
  w.u16(1);
  w.end(inst);

  constexpr uint16_t kInstrumentGenerators = 6;
  size_t ibag = w.begin("ibag");
  w.u16(0);
  w.u16(0);
  w.u16(kInstrumentGenerators);
  w.u16(1);
  w.end(ibag);

  // Pitch bend. The format's default modulator bends by 12700 cents times the bend-range
  // setting over 128, so a range of 24 semitones would reach only 2381 cents, and a partial
  // bent by a full octave would sound 10 cents flat. A modulator with the same sources and
  // destination replaces the default one; with 12800 the bend is exactly range x 100 cents.
  size_t imod = w.begin("imod");
  w.u16(kPitchWheelSource);
  w.u16(kFineTuneGenerator);
  w.i16(12800);
  w.u16(kPitchWheelSensitivitySource);
  w.u16(0);  // linear transform
  for (int i = 0; i < 10; ++i) w.u8(0);
  w.end(imod);

  // The note sounds at once and stays at full level while held: the MIDI file shapes the
  // level with expression, so the envelope must add nothing of its own. sampleID comes last.
  size_t igen = w.begin("igen");
  w.generator(Sf2Generator::kAttackVolEnv, -12000);  // the shortest attack, 1 ms
  w.generator(Sf2Generator::kSustainVolEnv, 0);      // no attenuation while held
  w.generator(Sf2Generator::kReleaseVolEnv, options.releaseTimecents);
  w.generator(Sf2Generator::kSampleModes, 1);  // loop continuously, also during release
  w.generator(Sf2Generator::kOverridingRootKey, kSineRootKey);
  w.generator(Sf2Generator::kSampleId, 0);
  w.u32(0);
  w.end(igen);

  // Sample header (46 bytes), then the terminal "EOS".
  size_t shdr = w.begin("shdr");
  w.name("Sine 440", 20);
  w.u32(0);
  w.u32(kSineSampleEnd);
  w.u32(kSineLoopStart);
  w.u32(kSineLoopEnd);
  w.u32(kSineSampleRate);
  w.u8(kSineRootKey);
  w.u8(0);   // pitch correction
  w.u16(0);  // sample link
  w.u16(1);  // mono sample
  w.name("EOS", 20);
  for (int i = 0; i < 26; ++i) w.u8(0);
  w.end(shdr);

  w.end(pdta);
  w.end(riff);
  return w.bytes;
}

}  // namespace media
