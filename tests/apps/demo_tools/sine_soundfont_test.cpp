#include "sine_soundfont.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "spectrogram.h"

namespace {

uint32_t le32(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}
uint16_t le16(const std::vector<uint8_t>& b, size_t at) {
  return static_cast<uint16_t>(b[at] | b[at + 1] << 8);
}
std::string tagAt(const std::vector<uint8_t>& b, size_t at) {
  return std::string(b.begin() + static_cast<long>(at), b.begin() + static_cast<long>(at) + 4);
}

struct Chunk {
  std::string tag;
  size_t body = 0;  // offset of the data after the 8-byte header
  size_t size = 0;
};

// The sub-chunks of the chunk body [begin, end), checking that each one, with its pad byte,
// fits exactly.
std::vector<Chunk> children(const std::vector<uint8_t>& b, size_t begin, size_t end) {
  std::vector<Chunk> out;
  size_t at = begin;
  while (at < end) {
    EXPECT_LE(at + 8, end);
    if (at + 8 > end) break;
    Chunk c{tagAt(b, at), at + 8, le32(b, at + 4)};
    EXPECT_LE(c.body + c.size, end) << c.tag;
    if (c.body + c.size > end) break;
    out.push_back(c);
    at = c.body + c.size + (c.size & 1);
  }
  EXPECT_EQ(at, end);
  return out;
}

std::string fixedName(const std::vector<uint8_t>& b, size_t at) {
  std::string s;
  for (size_t i = 0; i < 20 && b[at + i] != 0; ++i) s += static_cast<char>(b[at + i]);
  return s;
}

class SineSoundFontFile : public ::testing::Test {
 protected:
  void SetUp() override {
    image = media::buildSineSoundFont();
    ASSERT_GE(image.size(), 12u);
    ASSERT_EQ(tagAt(image, 0), "RIFF");
    ASSERT_EQ(le32(image, 4), image.size() - 8);
    ASSERT_EQ(tagAt(image, 8), "sfbk");
    std::vector<Chunk> lists = children(image, 12, image.size());
    ASSERT_EQ(lists.size(), 3u);
    const char* kinds[] = {"INFO", "sdta", "pdta"};
    for (size_t i = 0; i < 3; ++i) {
      ASSERT_EQ(lists[i].tag, "LIST");
      ASSERT_EQ(tagAt(image, lists[i].body), kinds[i]);
      for (const Chunk& c : children(image, lists[i].body + 4, lists[i].body + lists[i].size))
        sections[kinds[i]].push_back(c);
    }
  }
  const Chunk& find(const char* list, const std::string& tag) {
    for (const Chunk& c : sections[list])
      if (c.tag == tag) return c;
    ADD_FAILURE() << "missing " << tag;
    static Chunk none;
    return none;
  }
  std::vector<uint8_t> image;
  std::map<std::string, std::vector<Chunk>> sections;
};

TEST_F(SineSoundFontFile, InfoListNamesVersionEngineAndTitle) {
  const Chunk& ifil = find("INFO", "ifil");
  ASSERT_EQ(ifil.size, 4u);
  EXPECT_EQ(le16(image, ifil.body), 2);
  EXPECT_EQ(le16(image, ifil.body + 2), 1);
  for (const char* tag : {"isng", "INAM"}) {
    const Chunk& c = find("INFO", tag);
    // Zero-terminated, even length, at most 256 bytes.
    ASSERT_GT(c.size, 1u);
    EXPECT_EQ(c.size % 2, 0u) << tag;
    EXPECT_LE(c.size, 256u) << tag;
    EXPECT_EQ(image[c.body + c.size - 1], 0) << tag;
  }
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&image[find("INFO", "isng").body])),
            "EMU8000");
}

TEST_F(SineSoundFontFile, HydraChunksInOrderWithWholeRecordsAndTerminals) {
  const std::vector<std::pair<std::string, size_t>> expected = {
      {"phdr", 38}, {"pbag", 4},  {"pmod", 10}, {"pgen", 4}, {"inst", 22},
      {"ibag", 4},  {"imod", 10}, {"igen", 4},  {"shdr", 46}};
  ASSERT_EQ(sections["pdta"].size(), expected.size());
  std::map<std::string, size_t> count;
  for (size_t i = 0; i < expected.size(); ++i) {
    const Chunk& c = sections["pdta"][i];
    EXPECT_EQ(c.tag, expected[i].first);
    EXPECT_EQ(c.size % expected[i].second, 0u) << c.tag;
    count[c.tag] = c.size / expected[i].second;
    EXPECT_GE(count[c.tag], 1u) << c.tag << " lacks its terminal record";
  }

  // Presets: bag indices rise and the terminal "EOP" points one past the last real bag.
  const Chunk& phdr = find("pdta", "phdr");
  std::map<std::pair<int, int>, std::string> presets;
  uint16_t previousBag = 0;
  for (size_t i = 0; i < count["phdr"]; ++i) {
    const size_t at = phdr.body + i * 38;
    const uint16_t bag = le16(image, at + 24);
    EXPECT_GE(bag, previousBag);
    previousBag = bag;
    if (i + 1 < count["phdr"])
      presets[{le16(image, at + 22), le16(image, at + 20)}] = fixedName(image, at);
    else
      EXPECT_EQ(fixedName(image, at), "EOP");
  }
  EXPECT_EQ(previousBag, count["pbag"] - 1);
  EXPECT_TRUE(presets.count({8, 80})) << "GS sine variation missing";
  EXPECT_TRUE(presets.count({0, 80})) << "capital tone missing";

  // Every preset zone selects instrument 0; the bags' generator indices end at the terminal.
  const Chunk& pbag = find("pdta", "pbag");
  EXPECT_EQ(le16(image, pbag.body + (count["pbag"] - 1) * 4), count["pgen"] - 1);
  const Chunk& pgen = find("pdta", "pgen");
  for (size_t i = 0; i + 1 < count["pgen"]; ++i) {
    EXPECT_EQ(le16(image, pgen.body + i * 4), 41);
    EXPECT_EQ(le16(image, pgen.body + i * 4 + 2), 0);
  }
  EXPECT_EQ(le32(image, pgen.body + (count["pgen"] - 1) * 4), 0u);

  const Chunk& inst = find("pdta", "inst");
  EXPECT_EQ(fixedName(image, inst.body + (count["inst"] - 1) * 22), "EOI");
  EXPECT_EQ(le16(image, inst.body + (count["inst"] - 1) * 22 + 20), count["ibag"] - 1);
  const Chunk& ibag = find("pdta", "ibag");
  EXPECT_EQ(le16(image, ibag.body + (count["ibag"] - 1) * 4), count["igen"] - 1);
  const Chunk& shdr = find("pdta", "shdr");
  EXPECT_EQ(fixedName(image, shdr.body + (count["shdr"] - 1) * 46), "EOS");
  EXPECT_EQ(count["shdr"], 2u);
}

TEST_F(SineSoundFontFile, InstrumentHoldsFullLevelLoopsAndKeepsPitch) {
  const Chunk& igen = find("pdta", "igen");
  std::map<uint16_t, int16_t> gens;
  uint16_t last = 0;
  for (size_t at = igen.body; at + 4 < igen.body + igen.size; at += 4) {
    last = le16(image, at);
    gens[last] = static_cast<int16_t>(le16(image, at + 2));
  }
  EXPECT_EQ(last, 53) << "sampleID must close the zone";
  EXPECT_EQ(gens[53], 0);
  EXPECT_EQ(gens.at(34), -12000);  // attack: the shortest there is
  EXPECT_EQ(gens.at(37), 0);       // sustain: no attenuation
  EXPECT_LT(gens.at(38), -2400);   // release under a quarter second
  EXPECT_GE(gens.at(38), -7200);   // but not an abrupt cut
  EXPECT_EQ(gens.at(54), 1);       // continuous loop
  EXPECT_EQ(gens.at(58), 69);
  EXPECT_EQ(gens.count(51) + gens.count(52), 0u) << "no tuning offsets";
}

TEST_F(SineSoundFontFile, SampleIsASeamlessLoopAtTheRootKeysFrequency) {
  const Chunk& shdr = find("pdta", "shdr");
  const uint32_t start = le32(image, shdr.body + 20), end = le32(image, shdr.body + 24);
  const uint32_t loopStart = le32(image, shdr.body + 28), loopEnd = le32(image, shdr.body + 32);
  const uint32_t rate = le32(image, shdr.body + 36);
  EXPECT_EQ(image[shdr.body + 40], 69);
  EXPECT_EQ(image[shdr.body + 41], 0);
  EXPECT_EQ(le16(image, shdr.body + 44), 1);
  EXPECT_GE(loopStart, start + 8);
  EXPECT_LE(loopEnd + 8, end);
  EXPECT_GE(loopEnd - loopStart, 32u);

  const Chunk& smpl = find("sdta", "smpl");
  ASSERT_EQ(smpl.size, 2u * (end + 46));
  auto point = [&](size_t i) { return static_cast<int16_t>(le16(image, smpl.body + 2 * i)); };
  for (size_t i = end; i < end + 46; ++i) ASSERT_EQ(point(i), 0) << i;
  EXPECT_EQ(point(start), 0) << "the attack should start from silence";

  // Seamless: the points around the loop's end repeat those around its start.
  for (int d = -4; d <= 4; ++d) EXPECT_NEAR(point(loopEnd + d), point(loopStart + d), 1) << d;
  // The loop's fundamental is exactly 440 Hz (key 69): count rising zero crossings in it.
  int rising = 0;
  for (uint32_t i = loopStart; i < loopEnd; ++i)
    if (point(i) < 0 && point(i + 1) >= 0) ++rising;
  EXPECT_DOUBLE_EQ(static_cast<double>(rising) * rate / (loopEnd - loopStart), 440.0);
  int peak = 0;
  for (uint32_t i = start; i < end; ++i) peak = std::max(peak, std::abs(int{point(i)}));
  EXPECT_GT(peak, 16384);
}

TEST(SineSoundFont, ReleaseOptionReachesTheFile) {
  media::SineSoundFontOptions options;
  options.releaseTimecents = -6000;
  const std::vector<uint8_t> a = media::buildSineSoundFont(),
                             b = media::buildSineSoundFont(options);
  ASSERT_EQ(a.size(), b.size());
  EXPECT_EQ(a, media::buildSineSoundFont()) << "the file must be reproducible";
  size_t differences = 0;
  for (size_t i = 0; i < a.size(); ++i) differences += a[i] != b[i];
  EXPECT_EQ(differences, 2u);
}

// --- Rendering with FluidSynth -----------------------------------------------------------

void putVarLen(std::vector<uint8_t>& out, uint32_t v) {
  uint8_t groups[5];
  int n = 0;
  do {
    groups[n++] = v & 0x7F;
    v >>= 7;
  } while (v != 0);
  while (n-- > 0) out.push_back(static_cast<uint8_t>(groups[n] | (n > 0 ? 0x80 : 0)));
}

void putTrack(std::vector<uint8_t>& out, const std::vector<uint8_t>& events) {
  out.insert(out.end(), {'M', 'T', 'r', 'k'});
  const uint32_t n = static_cast<uint32_t>(events.size());
  out.insert(out.end(), {static_cast<uint8_t>(n >> 24), static_cast<uint8_t>(n >> 16),
                         static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n)});
  out.insert(out.end(), events.begin(), events.end());
}

// Time base 480, tempo 120 (the default): 960 ticks are one second. Channel 0 plays key 69 on
// bank 8 program 80 for one second, then bends it up twelve semitones with a bend range of 24
// (bend value 12288) for a second; channel 1 plays key 57 on bank 0 program 80 in the third.
std::vector<uint8_t> pitchTestMidi() {
  std::vector<uint8_t> file = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, 3, 0x01, 0xE0};
  std::vector<uint8_t> conductor = {0x00, 0xF0, 0x0A, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00,
                                    0x7F, 0x00, 0x41, 0xF7, 0x00, 0xFF, 0x2F, 0x00};
  putTrack(file, conductor);
  auto voice = [](uint8_t ch, uint8_t bank, uint8_t key, uint32_t startTick, bool bend) {
    std::vector<uint8_t> e;
    const uint8_t cc = static_cast<uint8_t>(0xB0 + ch);
    for (auto [c, v] : {std::pair<uint8_t, uint8_t>{0, bank}, {101, 0}, {100, 0}, {6, 24}}) {
      e.push_back(0);
      e.insert(e.end(), {cc, c, v});
    }
    e.insert(e.end(), {0, static_cast<uint8_t>(0xC0 + ch), 80});
    putVarLen(e, startTick);
    e.insert(e.end(), {static_cast<uint8_t>(0x90 + ch), key, 127});
    putVarLen(e, 960);
    if (bend) {
      e.insert(e.end(), {static_cast<uint8_t>(0xE0 + ch), 12288 & 0x7F, 12288 >> 7});
      putVarLen(e, 960);
    }
    e.insert(e.end(), {static_cast<uint8_t>(0x90 + ch), key, 0, 0, 0xFF, 0x2F, 0x00});
    return e;
  };
  putTrack(file, voice(0, 8, 69, 0, true));
  putTrack(file, voice(1, 0, 57, 1920, false));
  return file;
}

void writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  ASSERT_TRUE(out.flush()) << path;
}

TEST(SineSoundFontRendering, LoadsWithoutWarningsAndSoundsAtThePlayedPitch) {
  if (std::strlen(FLUIDSYNTH_EXECUTABLE) == 0) GTEST_SKIP() << "fluidsynth is not installed";
  const std::string dir = TEST_SCRATCH_DIR;
  const std::string sf2 = dir + "/pitch_test.sf2", mid = dir + "/pitch_test.mid",
                    wav = dir + "/pitch_test.wav", log = dir + "/pitch_test.log";
  writeFile(sf2, media::buildSineSoundFont());
  writeFile(mid, pitchTestMidi());
  std::remove(wav.c_str());
  const std::string command = std::string("\"") + FLUIDSYNTH_EXECUTABLE +
                              "\" -ni -q -R 0 -C 0 -g 0.5 -r 44100 -F \"" + wav + "\" \"" + sf2 +
                              "\" \"" + mid + "\" >\"" + log + "\" 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0);

  std::ifstream in(log);
  const std::string output((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(output.find("warning"), std::string::npos) << output;
  EXPECT_EQ(output.find("error"), std::string::npos) << output;

  tools::MonoSignal rendered;
  ASSERT_EQ(tools::readWave(wav, rendered), "");
  ASSERT_EQ(rendered.sampleRate, 44100u);
  ASSERT_GE(rendered.samples.size(), 3u * 44100);
  // 8192 samples from the middle of each second, clear of the attack and the bend.
  const double expected[] = {440.0, 880.0, 220.0};
  for (int second = 0; second < 3; ++second) {
    const size_t start = second * 44100 + 18000;
    EXPECT_NEAR(tools::peakFrequency(rendered.samples, start, 8192, 44100.0), expected[second],
                expected[second] * 0.002)
        << "second " << second;
    float peak = 0.0f;
    for (size_t i = start; i < start + 8192; ++i)
      peak = std::max(peak, std::abs(rendered.samples[i]));
    EXPECT_GT(peak, 0.05f) << "second " << second;
  }
}

}  // namespace
