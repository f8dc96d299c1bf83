#include "smf_writer.h"

#include <gtest/gtest.h>

#include <numeric>

#include "frame_loader.h"
#include "messages.h"
#include "midi_events.h"
#include "smf_checker.h"
#include "targets/targets.h"
#include "test_frames.h"

using midibuilder::BuilderOptions;
using midibuilder::BuilderTables;
using testing_frames::FrameImage;
using Bytes = std::vector<uint8_t>;

namespace {

Bytes slice(const Bytes& b, std::size_t from, std::size_t count) {
  return Bytes(b.begin() + static_cast<std::ptrdiff_t>(from),
               b.begin() + static_cast<std::ptrdiff_t>(from + count));
}

// The delta times of a set-up block, read back.
std::vector<uint32_t> setupDeltas(const Bytes& block) {
  smf_check::Track track;
  Bytes stream = block;
  stream.insert(stream.end(), {0x00, 0xFF, 0x2F, 0x00});
  EXPECT_EQ(smf_check::decode(stream, track), "");
  std::vector<uint32_t> deltas;
  uint64_t last = 0;
  for (std::size_t i = 0; i + 1 < track.events.size(); ++i) {
    deltas.push_back(static_cast<uint32_t>(track.events[i].tick - last));
    last = track.events[i].tick;
  }
  return deltas;
}

// The profile of a device radio value.
const midibuilder::TargetProfile& target(int device) {
  return *midibuilder::targets::forRadioValue(device);
}

TEST(SmfWriter, SetupBlockForTimeBase480) {
  Bytes block;
  midibuilder::writeSetupBlock(block, 0, 480, target(midibuilder::kDeviceHalvoran));
  EXPECT_EQ(block.size(), 112u);
  EXPECT_EQ(slice(block, 0, 19), (Bytes{0x83, 0x60, 0xE0, 0x00, 0x40, 0x09, 0xB0, 0x00, 0x08, 0x0A,
                                        0xC0, 0x50, 0x09, 0xB0, 0x65, 0x00, 0x0A, 0x64, 0x00}));
  const std::vector<uint32_t> deltas = setupDeltas(block);
  const std::vector<uint32_t> expected = {480, 9,  10, 9,  10, 10, 9,  10, 9,  10, 10, 9,
                                          10,  9,  10, 10, 9,  10, 9,  10, 10, 9,  10, 9,
                                          10,  10, 9,  10, 9,  10, 10, 9,  10, 9,  10, 10};
  EXPECT_EQ(deltas, expected);
  EXPECT_EQ(std::accumulate(deltas.begin() + 1, deltas.end(), 0u), 336u);
  // Event 31 is the channel volume: 100, or 127 for SC-88; channel nibble in the statuses.
  Bytes sc88;
  midibuilder::writeSetupBlock(sc88, 5, 480, target(midibuilder::kDeviceSc88));
  ASSERT_EQ(sc88.size(), 112u);
  std::size_t differences = 0;
  for (std::size_t i = 0; i < block.size(); ++i) differences += block[i] != sc88[i];
  EXPECT_EQ(differences, 5u);
  EXPECT_EQ(sc88[2], 0xE5);
  EXPECT_EQ(sc88[6], 0xB5);
  EXPECT_EQ(sc88[10], 0xC5);
  EXPECT_EQ(sc88[13], 0xB5);
  const Bytes volume{0x07, 0x64};
  const Bytes loud{0x07, 0x7F};
  EXPECT_NE(std::search(block.begin(), block.end(), volume.begin(), volume.end()), block.end());
  EXPECT_NE(std::search(sc88.begin(), sc88.end(), loud.begin(), loud.end()), sc88.end());
  for (int device : {midibuilder::kDeviceSc8850, midibuilder::kDeviceMsgs}) {
    Bytes other;
    midibuilder::writeSetupBlock(other, 0, 480, target(device));
    EXPECT_EQ(other, block);
  }
}

TEST(SmfWriter, SetupDeltasAtTheTimeBaseExtremes) {
  Bytes small;
  midibuilder::writeSetupBlock(small, 0, 24, target(0));
  const auto d = setupDeltas(small);
  EXPECT_EQ(d[0], 24u);
  for (std::size_t i = 1; i < d.size(); ++i) EXPECT_LE(d[i], 1u);
  EXPECT_EQ(std::accumulate(d.begin() + 1, d.end(), 0u), 16u);

  Bytes large;
  midibuilder::writeSetupBlock(large, 0, 16384, target(0));
  EXPECT_EQ(slice(large, 0, 4), (Bytes{0x81, 0x80, 0x00, 0xE0}));
  const auto dl = setupDeltas(large);
  EXPECT_EQ(std::accumulate(dl.begin() + 1, dl.end(), 0u), 16384u * 35 / 50);
}

TEST(SmfWriter, TempoBytes) {
  EXPECT_EQ(midibuilder::tempoMicroseconds(120), 500000);
  EXPECT_EQ(midibuilder::tempoMicroseconds(30), 0x1E8480);
  EXPECT_EQ(midibuilder::tempoMicroseconds(1000), 0x00EA60);
  EXPECT_EQ(midibuilder::tempoMicroseconds(137.5), 436364);
  EXPECT_EQ(436364, 0x06A88C);
}

TEST(SmfWriter, ConductorTrack) {
  Bytes track;
  midibuilder::writeConductorTrack(track, 120, 480, target(0));
  EXPECT_EQ(track, (Bytes{0x4D, 0x54, 0x72, 0x6B, 0x00, 0x00, 0x00, 0x23, 0x00, 0xFF, 0x51,
                          0x03, 0x07, 0xA1, 0x20, 0x00, 0xF0, 0x0A, 0x41, 0x10, 0x42, 0x12,
                          0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7, 0x83, 0x60, 0xF0, 0x07, 0x7F,
                          0x7F, 0x04, 0x01, 0x00, 0x7F, 0xF7, 0x00, 0xFF, 0x2F, 0x00}));
  Bytes slow;
  midibuilder::writeConductorTrack(slow, 30, 100, target(0));
  EXPECT_EQ(slice(slow, 4, 4), (Bytes{0, 0, 0, 34}));
  EXPECT_EQ(slice(slow, 12, 3), (Bytes{0x1E, 0x84, 0x80}));
  Bytes wide;
  midibuilder::writeConductorTrack(wide, 1000, 16384, target(0));
  EXPECT_EQ(slice(wide, 4, 4), (Bytes{0, 0, 0, 36}));
  EXPECT_EQ(slice(wide, 12, 3), (Bytes{0x00, 0xEA, 0x60}));
}

class AssembleTest : public ::testing::Test {
 protected:
  AssembleTest() : tables_(std::make_unique<BuilderTables>()) {
    midibuilder::buildBendGainTable(*tables_, midibuilder::targets::sc88().bendCorrection);
  }
  std::unique_ptr<BuilderTables> tables_;
};

TEST_F(AssembleTest, DefaultFileLayout) {
  FrameImage image(3);
  image.set.peakLevel = 1000;
  image.slot(0, 0, 1000, 4400);
  image.slot(1, 0, 500, 4400);
  tables_->segmentNote(0, 0) = 69;
  BuilderOptions options;  // 480, 120, 1920, 6 channels
  midibuilder::assembleMidiFile(*tables_, image.set, options);
  const Bytes& file = tables_->smfImage;
  EXPECT_EQ(slice(file, 0, 14), (Bytes{0x4D, 0x54, 0x68, 0x64, 0x00, 0x00, 0x00, 0x06, 0x00, 0x01,
                                       0x00, 0x07, 0x01, 0xE0}));
  smf_check::File parsed;
  ASSERT_EQ(smf_check::check(file, &parsed), "");
  ASSERT_EQ(parsed.tracks.size(), 7u);
  // Track 0: the set-up block, then the worked example's events from tick 1920.
  const Bytes events{0x88, 0x50, 0xE0, 0x00, 0x40, 0x00, 0xB0, 0x0B, 0x7F, 0x00, 0x90,
                     0x45, 0x7F, 0x10, 0xB0, 0x0B, 0x40, 0x00, 0xE0, 0x00, 0x40, 0x10,
                     0xB0, 0x0B, 0x00, 0x10, 0x90, 0x45, 0x00, 0x00, 0xFF, 0x2F, 0x00};
  EXPECT_EQ(slice(file, 14, 8), (Bytes{'M', 'T', 'r', 'k', 0, 0, 0, 112 + 33}));
  EXPECT_EQ(slice(file, 22 + 112, events.size()), events);
  EXPECT_EQ(parsed.tracks[0].events[36].tick, 1920u);
  // Silent channels: the set-up block and End of Track only.
  for (std::size_t t = 1; t < 6; ++t) {
    ASSERT_EQ(parsed.tracks[t].events.size(), 37u);
    EXPECT_EQ(parsed.tracks[t].events.back().tick, 1920u + 48);
  }
  // The conductor track comes last.
  Bytes conductor;
  midibuilder::writeConductorTrack(conductor, 120, 480, target(0));
  EXPECT_EQ(slice(file, file.size() - conductor.size(), conductor.size()), conductor);
}

TEST_F(AssembleTest, TrackCountAndDivisionFollowTheOptions) {
  FrameImage image(0);
  BuilderOptions options;
  options.usedChannels = 8;
  options.timeBase = 40000;
  options.noteStartTime = 80000;
  midibuilder::assembleMidiFile(*tables_, image.set, options);
  EXPECT_EQ(slice(tables_->smfImage, 10, 4), (Bytes{0x00, 0x09, 0x9C, 0x40}));
  smf_check::File parsed;
  ASSERT_EQ(smf_check::check(tables_->smfImage, &parsed), "");
  EXPECT_EQ(parsed.tracks.size(), 9u);
  EXPECT_EQ(parsed.tracks[0].events.back().tick, 80000u);

  options.usedChannels = 4;
  options.timeBase = 24;
  options.noteStartTime = 48;
  midibuilder::assembleMidiFile(*tables_, image.set, options);
  EXPECT_EQ(slice(tables_->smfImage, 10, 4), (Bytes{0x00, 0x05, 0x00, 0x18}));
  ASSERT_EQ(smf_check::check(tables_->smfImage, &parsed), "");
  EXPECT_EQ(parsed.tracks.size(), 5u);
  EXPECT_EQ(parsed.tracks[3].events.back().tick, 48u);
}

TEST(OutputPath, ReplacesTheLastThreeCharactersWithMid) {
  EXPECT_EQ(midibuilder::outputPathFor("song.dat"), "song.mid");
  EXPECT_EQ(midibuilder::outputPathFor("a.b.dat"), "a.b.mid");
  EXPECT_EQ(midibuilder::outputPathFor("mydat"), "mymid");
  EXPECT_EQ(midibuilder::outputPathFor("SONG.DAT"), "SONG.mid");
  EXPECT_EQ(midibuilder::outputPathFor("/tmp/dir.dat/x.Dat"), "/tmp/dir.dat/x.mid");
}

TEST_F(AssembleTest, BuildMidiFileWritesBesideTheInputAndReportsFailures) {
  testing_frames::TempDir dir("smf-write");
  FrameImage image(2);
  BuilderOptions options;
  const std::string input = (dir / "take.DAT").string();
  EXPECT_EQ(midibuilder::buildMidiFile(*tables_, image.set, options, input), "");
  EXPECT_EQ(testing_frames::readBytes(dir / "take.mid"), tables_->smfImage);
  const std::string unwritable = (dir / "missing" / "take.dat").string();
  EXPECT_EQ(midibuilder::buildMidiFile(*tables_, image.set, options, unwritable),
            msg::kCannotCreate);
}

}  // namespace
