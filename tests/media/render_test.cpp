#include "render.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

#include "alloc_registry.h"
#include "build.h"
#include "messages.h"
#include "recording.h"
#include "targets/targets.h"
#include "wave_test_support.h"

namespace {

// A format-0 file, 480 ticks per quarter at 120 quarters per minute (960 ticks a second):
// key 69 (440 Hz) from tick 960 to tick 1440, that is from 1.0 s to 1.5 s.
std::vector<uint8_t> oneNote() {
  return {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0x01, 0xE0, 'M', 'T', 'r', 'k', 0, 0, 0, 27,
          0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20,  // 500,000 us
                                                     // per quarter
          0x00, 0xC0, 80,                            // the sine program
          0x87, 0x40, 0x90, 69, 100,                 // +960: note on
          0x83, 0x60, 0x80, 69, 0,                   // +480: note off
          0x00, 0xFF, 0x2F, 0x00};
}

// Frames (stereo) before the first sample whose magnitude exceeds `threshold`.
std::size_t silentLead(const std::vector<int16_t>& stereo, int threshold = 64) {
  std::size_t i = 0;
  while (i < stereo.size() && std::abs(stereo[i]) <= threshold) ++i;
  return i / 2;
}

// Sign changes of the left channel in [first, first + count) frames.
int crossings(const std::vector<int16_t>& stereo, std::size_t first, std::size_t count) {
  int n = 0;
  for (std::size_t f = first + 1; f < first + count; ++f)
    n += (stereo[2 * f - 2] < 0) != (stereo[2 * f] < 0);
  return n;
}

TEST(RenderTest, DeterministicSineWithoutOrWithTheLeadIn) {
  std::vector<int16_t> cut, again, kept, fromTick;
  ASSERT_EQ(media::renderMidi(oneNote(), {}, cut), "");
  ASSERT_EQ(media::renderMidi(oneNote(), {}, again), "");
  EXPECT_EQ(cut, again);
  // Cut at the note-on: sound within the attack (a few ms), 0.5 s of note and the release.
  const auto onset = static_cast<double>(silentLead(cut));
  EXPECT_LT(onset, 0.005 * 44100);
  EXPECT_NEAR(cut.size() / 2.0, 0.6 * 44100, 0.02 * 44100);
  // 440 Hz: 2 x 440 x 0.25 sign changes in a quarter second of the steady note.
  EXPECT_NEAR(crossings(cut, 4410, 11025), 220, 2);

  media::RenderOptions keep;
  keep.keepLeadIn = true;
  ASSERT_EQ(media::renderMidi(oneNote(), keep, kept), "");
  EXPECT_NEAR(silentLead(kept) - onset, 44100, 64);  // one fluidsynth block
  // The same rendering, only shifted.
  ASSERT_GT(kept.size(), cut.size());
  EXPECT_TRUE(std::equal(cut.begin(), cut.end(), kept.end() - static_cast<long>(cut.size())));

  media::RenderOptions fromHalf;
  fromHalf.startTick = 480;  // 0.5 s: half a second of the lead-in stays
  ASSERT_EQ(media::renderMidi(oneNote(), fromHalf, fromTick), "");
  EXPECT_NEAR(silentLead(fromTick) - onset, 22050, 64);

  EXPECT_EQ(media::renderMidi({'R', 'I', 'F', 'F'}, {}, cut), msg::kUnsupportedFile);
}

TEST(RenderTest, FileIsA16BitStereoWaveBesideTheMidiFile) {
  wavetest::ScratchDir dir("media-render");
  const std::string mid = dir.file("song.mid");
  wavetest::writeFile(mid, oneNote());
  const std::string wav = media::renderedPathFor(mid);
  EXPECT_EQ(wav, dir.file("song-rendered.wav"));
  ASSERT_EQ(media::renderMidiFile(mid, wav, {}), "");
  media::Recording r;
  ASSERT_EQ(media::decodeRecording(wav, r), "");
  EXPECT_FALSE(r.info.converted);  // 44.1 kHz 16-bit PCM WAVE
  EXPECT_EQ(r.channels, 2);
  std::vector<int16_t> direct;
  ASSERT_EQ(media::renderMidi(oneNote(), {}, direct), "");
  EXPECT_EQ(r.samples, direct);
  EXPECT_EQ(media::renderMidiFile(dir.file("none.mid"), wav, {}), msg::kFileNotFound);
}

TEST(RenderTest, ProgressRisesToTheEndCancelStopsAndTheCapRefuses) {
  std::vector<double> seen;
  media::RenderOptions watched;
  watched.progress = [&seen](double fraction, double) { seen.push_back(fraction); };
  std::vector<int16_t> plain, stereo;
  ASSERT_EQ(media::renderMidi(oneNote(), {}, plain), "");
  ASSERT_EQ(media::renderMidi(oneNote(), watched, stereo), "");
  EXPECT_EQ(stereo, plain);
  ASSERT_GE(seen.size(), 3u);  // the start, once on the way (1.5 s is 1034 blocks), the end
  EXPECT_EQ(seen.front(), 0.0);
  EXPECT_EQ(seen.back(), 1.0);
  EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));

  const std::atomic<bool> stop{true};
  media::RenderOptions cancelled;
  cancelled.cancel = &stop;
  EXPECT_EQ(media::renderMidi(oneNote(), cancelled, stereo), msg::kCancelled);
  EXPECT_TRUE(stereo.empty());

  // Nothing but the end of the track, one second past the cap: 901 x 960 ticks.
  const std::vector<uint8_t> tooLong = {'M',  'T',  'h',  'd',  0,    0,    0,    6,    0,
                                        0,    0,    1,    0x01, 0xE0, 'M',  'T',  'r',  'k',
                                        0,    0,    0,    14,   0x00, 0xFF, 0x51, 0x03, 0x07,
                                        0xA1, 0x20, 0xB4, 0xE5, 0x40, 0xFF, 0x2F, 0x00};
  static_assert(media::kMaxRenderSeconds == 900);
  EXPECT_EQ(media::renderMidi(tooLong, {}, stereo), msg::kAudioTooLong);
}

}  // namespace

namespace {

// One voice at 440 Hz rising tenfold in level over half a second, then held, rendered.
std::vector<int16_t> risingTone(const midibuilder::TargetProfile& target) {
  common::NoteFrames frames;
  frames.voices = 4;
  frames.slots.resize(4 * 60);
  for (int32_t f = 0; f < 60; ++f) frames.at(f, 0) = {100 + 30 * std::min(f, 30), 4400};
  midibuilder::BuilderOptions options;
  options.target = &target;
  options.polyphony = options.usedChannels = 4;
  auto tables = std::make_unique<midibuilder::BuilderTables>();
  common::AllocationRegistry registry;
  const auto built = midibuilder::buildMidi(*tables, registry, frames, options);
  media::RenderOptions from;
  from.startTick = options.noteStartTime;
  std::vector<int16_t> stereo;
  EXPECT_EQ(media::renderMidi(built.midi, from, stereo), "");
  return stereo;
}

double rms(const std::vector<int16_t>& stereo, std::size_t first, std::size_t count) {
  double sum = 0;
  for (std::size_t f = first; f < first + count; ++f) sum += double(stereo[2 * f]) * stereo[2 * f];
  return std::sqrt(sum / count);
}

}  // namespace

TEST(RenderTest, PressureLevelsMatchExpressionLevelsWithoutVibrato) {
  // MPE sends the levels as pressure and strikes the note at its first, low level; the sine
  // SoundFont's pressure preset must sound as the GS preset does with expression.
  const std::vector<int16_t> gs = risingTone(midibuilder::targets::sc8850());
  const std::vector<int16_t> mpe = risingTone(midibuilder::targets::mpe());
  ASSERT_GE(std::min(gs.size(), mpe.size()), 2 * 44100u);
  for (std::size_t tenth = 0; tenth < 10; ++tenth) {
    const double a = rms(gs, tenth * 4410, 4410), b = rms(mpe, tenth * 4410, 4410);
    EXPECT_NEAR(20 * std::log10(b / a), 0.0, 0.5) << tenth;
  }
  EXPECT_NEAR(crossings(mpe, 22050, 11025), 220, 2);
}

TEST(RenderTest, AUsersSoundFontFileIsReadOrRefused) {
  // The built-in SoundFont read from a file sounds the same; a file that is none is refused.
  const auto dir = std::filesystem::temp_directory_path() / "render-sf2-test";
  std::filesystem::create_directories(dir);
  const std::vector<uint8_t>& sine = media::builtInSoundFont();
  std::ofstream((dir / "sine.sf2").string(), std::ios::binary)
      .write(reinterpret_cast<const char*>(sine.data()), static_cast<std::streamsize>(sine.size()));
  std::vector<int16_t> builtIn, fromFile;
  media::RenderOptions options;
  ASSERT_EQ(media::renderMidi(oneNote(), options, builtIn), "");
  options.soundFont = (dir / "sine.sf2").string();
  ASSERT_EQ(media::renderMidi(oneNote(), options, fromFile), "");
  EXPECT_EQ(fromFile, builtIn);
  options.soundFont = (dir / "none.sf2").string();
  EXPECT_EQ(media::renderMidi(oneNote(), options, fromFile), msg::kReadError);
  std::filesystem::remove_all(dir);
}
