// A second, deliberately literal implementation of the whole DAT -> MIDI conversion, written
// from the conversion rules step by step without any of the builder's code, and compared byte
// for byte with the builder's files on random frames and option sets. It follows the team's
// choices where the rules leave room: centre notes within 1 ... the device ceiling, a frequency
// of 0 or less read as 1 for the pitch, the previous low/high of a voice starting at its first
// note, a bend reference of 440 Hz before a channel's first centre note, and delta times beyond
// 0x0FFFFFFF carried by empty text events.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <map>
#include <random>
#include <set>
#include <vector>

#include "builder_tables.h"
#include "converter_window.h"
#include "frame_loader.h"
#include "messages.h"
#include "targets/targets.h"
#include "test_frames.h"

using Bytes = std::vector<uint8_t>;

namespace literal {

struct Options {
  int polyphony, usedChannels, device;
  bool pitchSort;
  double tempo;
  int timeBase, noteStartTime;
};

using Row = std::array<int32_t, 8>;

struct Conversion {
  const Options& o;
  int frameCount = 0;
  int32_t peakLevel = 1;
  std::vector<Row> level, frequency, pitch, segmentNote, busy;
  double gain[16384] = {};

  explicit Conversion(const Options& options) : o(options) {}

  int32_t expression(int32_t L) const {
    if (o.device == 0) return static_cast<int32_t>(std::trunc(L * 127.0 / peakLevel + 0.5));
    return static_cast<int32_t>(std::trunc(std::sqrt(L * 127.0 * 127.0 / peakLevel) + 0.5));
  }

  void load(const Bytes& file) {
    frameCount = static_cast<int>(file.size() / 64);
    // Three rows of zero slack, as the 1024 zero bytes after the data give.
    const std::size_t rows = static_cast<std::size_t>(frameCount) + 3;
    level.assign(rows, Row{});
    frequency.assign(rows, Row{});
    pitch.assign(rows, Row{});
    for (int f = 0; f < frameCount; ++f) {
      for (int k = 0; k < 8; ++k) {
        const uint8_t* p = file.data() + 64 * f + 8 * k;
        const auto le = [](const uint8_t* q) {
          return static_cast<int32_t>(q[0] | q[1] << 8 | q[2] << 16 | uint32_t{q[3]} << 24);
        };
        level[f][k] = le(p);
        frequency[f][k] = le(p + 4);
      }
    }
    for (int f = 0; f < frameCount; ++f)
      for (int k = 0; k < 8; ++k)
        if (level[f][k] > peakLevel) peakLevel = level[f][k];
    const int32_t threshold = peakLevel / 256;
    for (int f = 0; f < frameCount; ++f)
      for (int k = 0; k < o.usedChannels; ++k)
        if (level[f][k] < threshold || k >= o.polyphony) level[f][k] = 0;
    const double U[9] = {1.0, 0.898, 0.8108, 0.725, 0.6435, 0.5686, 0.4988, 0.4358, 0.379};
    const double D[9] = {1.0, 1.0826, 1.1761, 1.2672, 1.3586, 1.4449, 1.5258, 1.6027, 1.6736};
    for (int i = 0; i < 8; ++i) {
      for (int j = 0; j < 512; ++j) {
        gain[8192 + 512 * i + j] = ((512 - j) * U[i] + j * U[i + 1]) / 512.0;
        gain[8192 - 512 * i - j] = ((512 - j) * D[i] + j * D[i + 1]) / 512.0;
      }
    }
    for (int v = 12288; v <= 16383; ++v) gain[v] = U[8];
    for (int v = 0; v <= 4096; ++v) gain[v] = D[8];
    for (int f = 0; f < frameCount; ++f) {
      for (int k = 0; k < o.usedChannels; ++k) {
        int32_t v = frequency[f][k];
        if (v <= 0) v = 1;
        pitch[f][k] = static_cast<int32_t>(
            std::trunc(std::log(v / 10.0) / std::log(1.0194406437021448) - 109.12894968688775));
      }
    }
  }

  void sortVoices() {
    const int n = o.polyphony;
    const int fact[9] = {40320, 5040, 720, 120, 24, 6, 2, 1, 1};
    std::vector<int32_t> table(fact[8 - n]);
    for (int x = 0; x < fact[8 - n]; ++x) {
      int L[8] = {0, 1, 2, 3, 4, 5, 6, 7};
      for (int i = 0; i < n; ++i) {
        const int q = (x / fact[9 - n + i]) % (n - i);
        const int taken = L[i + q];
        for (int m = i + q; m > i; --m) L[m] = L[m - 1];
        L[i] = taken;
      }
      int32_t e = 0;
      for (int k = 7; k >= 0; --k) e = e * 8 + L[k];
      table[x] = e;
    }
    for (int f = 1; f < frameCount; ++f) {
      int64_t bestCost = 2147483647;
      int bestIndex = 0;
      for (int x = 0; x < fact[8 - n]; ++x) {
        int64_t sum = 0;
        for (int i = 0; i < n; ++i) {
          const int d = (table[x] >> (3 * i)) & 7;
          const int64_t a = int64_t{level[f][d]} + 1;
          const int64_t b = int64_t{level[f - 1][i]} + 1;
          const double ratio = a > b ? static_cast<double>(a) / b : static_cast<double>(b) / a;
          double loud = ratio * 1000.0;
          if (loud > 10000.0) loud = 10000.0;
          int64_t pitchTerm = std::abs(pitch[f][d] - pitch[f - 1][i]);
          if (a == 1 || b == 1) pitchTerm = 1;
          if (a == 1 && b == 1) pitchTerm = 0;
          sum += static_cast<int64_t>(loud) * pitchTerm;
        }
        if (sum < bestCost) {
          bestCost = sum;
          bestIndex = x;
        }
      }
      const Row oldL = level[f], oldF = frequency[f], oldP = pitch[f];
      for (int i = 0; i < n; ++i) {
        const int d = (table[bestIndex] >> (3 * i)) & 7;
        level[f][i] = oldL[d];
        frequency[f][i] = oldF[d];
        pitch[f][i] = oldP[d];
      }
    }
  }

  int ceiling() const { return o.device == 1 || o.device == 3 ? 113 : 95; }

  int centre(int low, int high) const {
    int c = (low + high + 1) / 2;
    if (c > ceiling()) c = ceiling();
    return c < 1 ? 1 : c;
  }

  void close(int v, int s, int f, int c) {
    int target = v;
    if (o.usedChannels - o.polyphony > 0) {
      for (int k = 0; k < o.usedChannels; ++k) {
        bool qualifies = true;
        for (int g = s; g <= f + 2; ++g) qualifies = qualifies && busy[g][k] == 0;
        if (!qualifies) continue;
        for (int g = s; g <= f - 1; ++g) {
          busy[g][v] = 0;
          busy[g][k] = 1;
          std::swap(level[g][v], level[g][k]);
          std::swap(frequency[g][v], frequency[g][k]);
        }
        busy[s][v] = busy[s + 1][v] = busy[s + 2][v] = 1;
        for (int g = f; g <= f + 2; ++g) {
          busy[g][k] = 1;
          level[g][k] = 0;
          frequency[g][k] = 0;
        }
        target = k;
        break;
      }
    }
    segmentNote[s][target] = c;
  }

  void assignChannels() {
    const std::size_t rows = static_cast<std::size_t>(frameCount) + 3;
    segmentNote.assign(rows, Row{});
    busy.assign(rows, Row{});
    for (int f = 0; f < frameCount; ++f)
      for (int v = 0; v < o.polyphony; ++v) busy[f][v] = 1;
    const int limit = o.device == 1 || o.device == 3 ? 12 : 47;
    for (int v = 0; v < o.polyphony; ++v) {
      int start = 0, low = 1000, high = 0, prevLow = 0, prevHigh = 0;
      bool open = false, first = true;
      for (int f = 0; f < frameCount; ++f) {
        if (frequency[f][v] > 0 && expression(level[f][v]) >= 1) {
          const int note = static_cast<int>(
              std::trunc((std::log(frequency[f][v] / 10.0) / std::log(1.0194406437021448) -
                          109.12894968688775) /
                         3.0));
          if (first) prevLow = prevHigh = note, first = false;
          if (note < low) low = note;
          if (note > high) high = note;
          if (high - low >= limit) {
            const int c = centre(prevLow, prevHigh);
            low = high = note;
            close(v, start, f, c);
            start = f;
          }
          prevLow = low;
          prevHigh = high;
          open = true;
        } else if (open) {
          if (high != 0) close(v, start, f, centre(low, high));
          start = f + 1;
          low = 1000;
          high = 0;
          open = false;
        }
      }
      if (high != 0) segmentNote[start][v] = centre(low, high);
    }
  }

  Bytes out;
  int64_t pendingDelta = 0;
  int runningStatus = 0;

  void varLen(uint32_t value) {
    uint8_t groups[5];
    int n = 0;
    do groups[n++] = value & 0x7F, value >>= 7;
    while (value != 0);
    while (n > 1) out.push_back(groups[--n] | 0x80);
    out.push_back(groups[0]);
  }
  void delta() {
    while (pendingDelta > 0x0FFFFFFF) {
      varLen(0x0FFFFFFF);
      out.insert(out.end(), {0xFF, 0x01, 0x00});
      pendingDelta -= 0x0FFFFFFF;
      runningStatus = 0;
    }
    varLen(static_cast<uint32_t>(pendingDelta));
    pendingDelta = 0;
  }
  void event(int status, int d1, int d2) {
    delta();
    if (status != runningStatus) out.push_back(static_cast<uint8_t>(runningStatus = status));
    out.push_back(static_cast<uint8_t>(d1));
    out.push_back(static_cast<uint8_t>(d2));
  }

  void channelEvents(int ch) {
    pendingDelta = int64_t{o.noteStartTime} - o.timeBase - o.timeBase * 35 / 50;
    runningStatus = 0;
    double tickRemainder = 0.0, noteFrequency = 440.0;
    int heldNote = 0, pendingNote = 0, lastExpression = 0;
    bool channelSounding = false;
    for (int k = 0; k < frameCount; ++k) {
      if (segmentNote[k][ch] != 0) {
        if (heldNote != 0) event(0x90 + ch, heldNote, 0), heldNote = 0;
        pendingNote = segmentNote[k][ch];
        noteFrequency = 8.175798915643707 * std::pow(1.0594630943592953, pendingNote);
      }
      const int32_t L = level[k][ch];
      int expr = expression(L);
      if (expr != 0) {
        const double f = frequency[k][ch] / 10.0, p = noteFrequency;
        double bend;
        if (f <= 0) {
          bend = 0;
        } else if (f < p) {
          bend = std::trunc(
              (std::log(f) - std::log(p / 4)) / (std::log(p) - std::log(p / 4)) * 8192 + 0.5);
          bend = std::clamp(bend, 0.0, 8192.0);
        } else {
          bend = 16383 - std::trunc((std::log(4 * p) - std::log(f)) /
                                        (std::log(4 * p) - std::log(p)) * 8192 +
                                    0.5);
          bend = std::clamp(bend, 8192.0, 16383.0);
        }
        const int bendValue = static_cast<int>(bend);
        if (o.device == 1) {
          expr = static_cast<int>(std::trunc(
              std::sqrt(L * 127.0 * 127.0 / gain[bendValue] * 0.6435 / peakLevel) + 0.5));
        }
        if (expr > 127) expr = 127;
        if (expr > lastExpression) {
          event(0xE0 + ch, bendValue & 0x7F, bendValue >> 7);
          event(0xB0 + ch, 0x0B, expr);
        } else {
          if (expr != lastExpression) event(0xB0 + ch, 0x0B, expr);
          event(0xE0 + ch, bendValue & 0x7F, bendValue >> 7);
        }
        lastExpression = expr;
        if (pendingNote != 0) {
          event(0x90 + ch, pendingNote, 0x7F);
          heldNote = pendingNote;
          pendingNote = 0;
        }
        channelSounding = true;
      } else if (channelSounding) {
        event(0xB0 + ch, 0x0B, 0);
        channelSounding = false;
        lastExpression = 0;
      }
      const double s = o.timeBase / 30.0 * o.tempo / 120 + tickRemainder;
      pendingDelta += static_cast<int64_t>(std::trunc(s));
      tickRemainder = s - std::trunc(s);
    }
    if (heldNote != 0) event(0x90 + ch, heldNote, 0);
    delta();
    out.insert(out.end(), {0xFF, 0x2F, 0x00});
  }

  void length(std::size_t at) {
    const std::size_t n = out.size() - at - 8;
    for (int i = 0; i < 4; ++i) out[at + 4 + i] = static_cast<uint8_t>(n >> (24 - 8 * i));
  }

  Bytes midiFile() {
    out = {'M',
           'T',
           'h',
           'd',
           0,
           0,
           0,
           6,
           0,
           1,
           0,
           static_cast<uint8_t>(o.usedChannels + 1),
           static_cast<uint8_t>(o.timeBase >> 8),
           static_cast<uint8_t>(o.timeBase & 0xFF)};
    const uint8_t setup[36][3] = {
        {0xE0, 0x00, 0x40}, {0xB0, 0x00, 0x08}, {0xC0, 0x50}, {0xB0, 0x65, 0x00}, {0x64, 0x00},
        {0x06, 0x18},       {0x63, 0x02},       {0x62, 0x00}, {0x06, 0x00},       {0x26, 0x00},
        {0x63, 0x03},       {0x62, 0x01},       {0x06, 0x00}, {0x26, 0x00},       {0x49, 0x00},
        {0x4B, 0x00},       {0x48, 0x00},       {0x63, 0x06}, {0x62, 0x00},       {0x06, 0x00},
        {0x26, 0x00},       {0x63, 0x06},       {0x62, 0x01}, {0x06, 0x7F},       {0x26, 0x00},
        {0x5B, 0x00},       {0x63, 0x01},       {0x62, 0x63}, {0x06, 0x00},       {0x62, 0x66},
        {0x06, 0x00},       {0x07, 0x00},       {0x63, 0x02}, {0x62, 0x02},       {0x06, 0x3C},
        {0x26, 0x00}};
    for (int ch = 0; ch < o.usedChannels; ++ch) {
      const std::size_t start = out.size();
      out.insert(out.end(), {'M', 'T', 'r', 'k', 0, 0, 0, 0});
      for (int M = 0; M < 36; ++M) {
        if (M == 0) {
          varLen(static_cast<uint32_t>(o.timeBase));
        } else {
          const double b = static_cast<double>(o.timeBase) * M / 50;
          const double before = static_cast<double>(o.timeBase) * (M - 1) / 50;
          varLen(static_cast<uint32_t>(std::trunc(b - std::trunc(before))));
        }
        if (M < 4) {
          out.push_back(static_cast<uint8_t>(setup[M][0] + ch));
          out.push_back(setup[M][1]);
          if (M != 2) out.push_back(setup[M][2]);
        } else {
          out.push_back(setup[M][0]);
          out.push_back(M == 31 ? (o.device == 1 ? 0x7F : 0x64) : setup[M][1]);
        }
      }
      channelEvents(ch);
      length(start);
    }
    const std::size_t start = out.size();
    const auto us = static_cast<uint32_t>(std::trunc(60000000 / o.tempo + 0.5));
    out.insert(out.end(), {'M', 'T', 'r', 'k', 0, 0, 0, 0, 0x00, 0xFF, 0x51, 0x03,
                           static_cast<uint8_t>(us >> 16), static_cast<uint8_t>(us >> 8),
                           static_cast<uint8_t>(us)});
    out.insert(out.end(),
               {0x00, 0xF0, 0x0A, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7});
    varLen(static_cast<uint32_t>(o.timeBase));
    out.insert(out.end(), {0xF0, 0x07, 0x7F, 0x7F, 0x04, 0x01, 0x00, 0x7F, 0xF7});
    out.insert(out.end(), {0x00, 0xFF, 0x2F, 0x00});
    length(start);
    return out;
  }
};

Bytes convert(const Bytes& file, const Options& o) {
  auto c = std::make_unique<Conversion>(o);
  c->load(file);
  if (o.pitchSort) c->sortVoices();
  c->assignChannels();
  return c->midiFile();
}

}  // namespace literal

namespace {

// Frames that look like analyser output: voices that glide, jump, fade and pause, with levels
// near the floor and the sounding limits, a few exact equal-tempered frequencies, and now and
// then a value no analyser writes (frequency 0 under a level, a negative level, a frequency of
// a few hertz or beyond 8 kHz).
Bytes randomDat(std::mt19937& rng, int frames) {
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  const auto chance = [&](double p) { return unit(rng) < p; };
  const int32_t peak = chance(0.2) ? 1 + static_cast<int32_t>(unit(rng) * 300)
                                   : 1000 + static_cast<int32_t>(unit(rng) * 8000000);
  std::vector<common::NoteFrame> out(static_cast<std::size_t>(frames));
  for (int k = 0; k < 8; ++k) {
    double logHz = std::log(55.0) + unit(rng) * std::log(8000.0 / 55.0);
    double level = unit(rng) * peak;
    bool on = chance(0.7);
    for (int f = 0; f < frames; ++f) {
      if (chance(0.08)) on = !on;
      if (chance(0.05)) logHz = std::log(55.0) + unit(rng) * std::log(8000.0 / 55.0);
      logHz = std::clamp(logHz + (unit(rng) - 0.5) * 0.06, std::log(5.0), std::log(9000.0));
      level = std::clamp(level * std::exp((unit(rng) - 0.5) * 0.8), 0.0, double(peak));
      auto& slot = out[static_cast<std::size_t>(f)].slots[static_cast<std::size_t>(k)];
      slot.frequency = static_cast<int32_t>(std::exp(logHz) * 10 + 0.5);
      slot.level = on ? static_cast<int32_t>(level) : 0;
      if (chance(0.03)) slot.level = peak / 256 + static_cast<int32_t>(unit(rng) * 3) - 1;
      if (chance(0.02)) slot.frequency = (440 * 10) << static_cast<int>(unit(rng) * 3);
      if (chance(0.01)) slot.frequency = 0;
      if (chance(0.005)) slot.level = -static_cast<int32_t>(unit(rng) * peak);
      if (chance(0.005)) slot.frequency = static_cast<int32_t>(unit(rng) * 100);
    }
  }
  if (frames > 0 && chance(0.3)) out.back().slots[7] = {1, 60};
  // Now and then a file of arbitrary values, extremes of the 32-bit range included.
  if (chance(0.1)) {
    const int32_t picks[] = {INT32_MIN, -4400, -1, 0, 1, 2, 5, 80, 549, 4400, 80000, INT32_MAX};
    std::uniform_int_distribution<int32_t> any(INT32_MIN, INT32_MAX);
    for (auto& frame : out) {
      for (auto& slot : frame.slots) {
        slot.level = chance(0.8) ? picks[static_cast<std::size_t>(unit(rng) * 12)] : any(rng);
        slot.frequency = chance(0.8) ? picks[static_cast<std::size_t>(unit(rng) * 12)] : any(rng);
      }
    }
  }
  if (frames > 0) out[0].slots[static_cast<std::size_t>(unit(rng) * 8)].level = peak;
  Bytes bytes = testing_frames::encodeFrames(out);
  // Now and then a trailing part-record of 0 to 62 zero bytes. Appended rather than resized to:
  // GCC 12 at -O3 cannot see that size() + n stays small and warns of a huge memset.
  if (chance(0.1)) {
    const std::size_t tail = static_cast<std::size_t>(unit(rng) * 63);
    bytes.insert(bytes.end(), tail, uint8_t{0});
  }
  return bytes;
}

class LiteralReferenceTest : public ::testing::Test {
 protected:
  LiteralReferenceTest()
      : tables_(std::make_unique<midibuilder::BuilderTables>()), dir_("literal") {}

  // The builder's file for `dat` under `o`, through the whole conversion from the file.
  Bytes builderFile(const Bytes& dat, const literal::Options& o) {
    const auto input = dir_ / "in.dat";
    testing_frames::writeBytes(input, dat);
    midibuilder::BuilderOptions options;
    options.polyphony = o.polyphony;
    options.usedChannels = o.usedChannels;
    options.device = o.device;
    options.pitchSort = o.pitchSort;
    options.tempo = o.tempo;
    options.timeBase = o.timeBase;
    options.noteStartTime = o.noteStartTime;
    const std::string message =
        midibuilder::convertDatFile(*tables_, registry_, options, input.string());
    registry_.freeAll();
    EXPECT_EQ(message, "");
    return testing_frames::readBytes(dir_ / "in.mid");
  }

  std::unique_ptr<midibuilder::BuilderTables> tables_;
  common::AllocationRegistry registry_;
  testing_frames::TempDir dir_;
};

// The first byte where two files differ, for the failure message.
std::size_t firstDifference(const Bytes& a, const Bytes& b) {
  std::size_t i = 0;
  while (i < a.size() && i < b.size() && a[i] == b[i]) ++i;
  return i;
}

TEST_F(LiteralReferenceTest, RandomFramesAndOptionsGiveIdenticalFiles) {
  std::mt19937 rng(20261208);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  const double tempos[] = {120.0, 97.3, 30.0, 1000.0, 137.5, 59.94, 333.3};
  const int timeBases[] = {480, 24, 97, 65535, 960, 25, 1000, 16383, 16384, 127, 128};
  int compared = 0;
  for (int round = 0; round < 240; ++round) {
    literal::Options o{};
    o.polyphony = 4 + round % 3;
    o.usedChannels = o.polyphony + static_cast<int>(unit(rng) * (9 - o.polyphony));
    o.device = (round / 3) % 4;
    o.pitchSort = (round / 12) % 2 == 0;
    o.tempo = round % 5 == 4 ? 30.0 + unit(rng) * 970.0 : tempos[round % 7];
    o.timeBase = round % 6 == 5 ? 24 + static_cast<int>(unit(rng) * 65511)
                                : timeBases[static_cast<std::size_t>(round / 2) % 11];
    o.noteStartTime = 2 * o.timeBase + (round % 4 == 0 ? 0 : static_cast<int>(unit(rng) * 5000));
    const int frames = round % 10 == 0 ? static_cast<int>(unit(rng) * 4) : 20 + round % 140;
    const Bytes dat = randomDat(rng, frames);
    const Bytes expected = literal::convert(dat, o);
    const Bytes actual = builderFile(dat, o);
    ASSERT_EQ(actual.size(), expected.size()) << "round " << round;
    ASSERT_TRUE(actual == expected)
        << "round " << round << ": first difference at byte " << firstDifference(actual, expected);
    ++compared;
  }
  EXPECT_EQ(compared, 240);
}

// Every entry of the gain table is the interpolation evaluated as written, two rounded products,
// a rounded sum and a division, bit for bit: a build that fuses the multiply and add changes
// the last bit of about 1,400 entries (and with them, now and then, an SC-88 expression).
TEST(LiteralBendGain, EveryEntryIsTheWrittenInterpolationBitForBit) {
  auto tables = std::make_unique<midibuilder::BuilderTables>();
  midibuilder::buildBendGainTable(*tables, midibuilder::targets::sc88().bendCorrection);
  const double U[9] = {1.0, 0.898, 0.8108, 0.725, 0.6435, 0.5686, 0.4988, 0.4358, 0.379};
  const double D[9] = {1.0, 1.0826, 1.1761, 1.2672, 1.3586, 1.4449, 1.5258, 1.6027, 1.6736};
  int differing = 0;
  for (int i = 0; i < 8; ++i) {
    for (int j = 0; j < 512; ++j) {
      // Stored products cannot be fused into the sum.
      volatile double up0 = (512 - j) * U[i], up1 = j * U[i + 1];
      volatile double down0 = (512 - j) * D[i], down1 = j * D[i + 1];
      const double up = (up0 + up1) / 512.0, down = (down0 + down1) / 512.0;
      differing += tables->bendGainTable[static_cast<std::size_t>(8192 + 512 * i + j)] != up;
      differing += tables->bendGainTable[static_cast<std::size_t>(8192 - 512 * i - j)] != down;
    }
  }
  EXPECT_EQ(differing, 0);
}

// The note start time at the top of the integer range waits longer than one delta time holds;
// a slow clock at the largest time base and tempo adds about 18,204 ticks per frame.
TEST_F(LiteralReferenceTest, ExtremeTimingGivesIdenticalFiles) {
  std::mt19937 rng(7);
  for (int device = 0; device < 4; ++device) {
    const Bytes dat = randomDat(rng, 200);
    const literal::Options o{6, 8, device, device % 2 == 0, 1000.0, 65535, 2147483647};
    const Bytes expected = literal::convert(dat, o);
    const Bytes actual = builderFile(dat, o);
    ASSERT_TRUE(actual == expected) << "device " << device << ": first difference at byte "
                                    << firstDifference(actual, expected);
  }
}

// The window's fields and radio buttons as the convert command reads them.
class ScriptedWindow : public common::MapEnvironment<> {
 public:
  void showMessage(std::string_view text, common::MessageIcon) override { shown = text; }

  std::string shown;
};

// From the texts typed into the window to the file: every radio button of every group, and
// number fields written as a person might type them.
TEST_F(LiteralReferenceTest, TheConvertCommandFromTheWindowGivesIdenticalFiles) {
  std::mt19937 rng(31);
  const Bytes dat = randomDat(rng, 120);
  const auto input = dir_ / "typed.dat";
  testing_frames::writeBytes(input, dat);
  struct Case {
    int channels, polyphony, device;
    bool sort;
    const char *tempo, *timeBase, *noteStart;
    literal::Options expected;
  } cases[] = {
      {1012, 1004, 1017, true, "120.0", "480", "1920", {4, 4, 0, true, 120.0, 480, 1920}},
      {1013, 1005, 1018, false, " 97.3bpm", "97.9", "+200", {5, 5, 1, false, 97.3, 97, 200}},
      {1014, 1004, 1019, true, "1e3", "65535", "131070", {4, 6, 2, true, 1000.0, 65535, 131070}},
      {1015, 1006, 1020, false, "30.", "24", "48", {6, 7, 3, false, 30.0, 24, 48}},
      {1016, 1005, 1018, true, "333.3", "1000", "99999", {5, 8, 1, true, 333.3, 1000, 99999}},
  };
  for (const Case& c : cases) {
    ScriptedWindow window;
    window.texts = {{midibuilder::kDatFileField, input.string() + " "},
                    {midibuilder::kTempoField, c.tempo},
                    {midibuilder::kTimeBaseField, c.timeBase},
                    {midibuilder::kNoteStartField, c.noteStart}};
    window.checked = {c.channels, c.polyphony, c.device,
                      c.sort ? midibuilder::kPitchSortOn : midibuilder::kPitchSortOff};
    midibuilder::ConverterCommand command(window);
    command.convert();
    ASSERT_EQ(window.shown, msg::kFinished) << c.tempo;
    const Bytes expected = literal::convert(dat, c.expected);
    const Bytes actual = testing_frames::readBytes(dir_ / "typed.mid");
    EXPECT_TRUE(actual == expected)
        << c.tempo << ": first difference at byte " << firstDifference(actual, expected);
  }
}

}  // namespace
