#include "build.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "converter_window.h"
#include "messages.h"
#include "smf_checker.h"
#include "targets/gs_sine.h"
#include "targets/targets.h"
#include "test_frames.h"
#include "wide_frames.h"

using midibuilder::BuildStatus;
using Bytes = std::vector<uint8_t>;

namespace {

// Six voices gliding and crossing over a few octaves at changing levels.
common::NoteFrames gliding(int32_t frameCount, int32_t voices) {
  common::NoteFrames frames;
  frames.voices = voices;
  frames.slots.resize(static_cast<std::size_t>(frameCount * voices));
  for (int32_t f = 0; f < frameCount; ++f) {
    for (int32_t k = 0; k < voices && k < 6; ++k) {
      const double phase = std::sin(f * (0.01 + 0.003 * k) + k);
      frames.at(f, k) = {400000 + 37000 * ((f * 7 + k * 3) % 17),
                         static_cast<int32_t>(2000.0 * std::pow(2.0, 1.6 * phase + 0.3 * k))};
    }
  }
  return frames;
}

class BuildTest : public ::testing::Test {
 protected:
  BuildTest() : tables_(std::make_unique<midibuilder::BuilderTables>()) {
    options_.device = midibuilder::kDeviceSc88;  // with the bend correction
    options_.usedChannels = 8;
  }
  std::unique_ptr<midibuilder::BuilderTables> tables_;
  common::AllocationRegistry registry_;
  midibuilder::BuilderOptions options_;
  testing_frames::TempDir dir_{"build"};
};

TEST_F(BuildTest, InMemoryStagesGiveTheBytesOfTheFilePath) {
  const common::NoteFrames frames = gliding(400, 6);
  Bytes dat = common::encodeDat(frames);
  dat.insert(dat.end(), 40, 0x7F);  // an incomplete last record, ignored
  testing_frames::writeBytes(dir_ / "a.dat", dat);
  ASSERT_EQ(midibuilder::convertDatFile(*tables_, registry_, options_, (dir_ / "a.dat").string()),
            "");
  const Bytes file = testing_frames::readBytes(dir_ / "a.mid");
  ASSERT_GT(file.size(), 10000u);

  const auto fromDat =
      midibuilder::buildMidiFromDat(*tables_, registry_, dat.data(), dat.size(), options_);
  const auto fromFrames = midibuilder::buildMidi(*tables_, registry_, frames, options_);
  for (const auto* outcome : {&fromDat, &fromFrames}) {
    EXPECT_EQ(outcome->status, BuildStatus::Written);
    EXPECT_EQ(outcome->message, msg::kFinished);
    EXPECT_EQ(outcome->midi, file);
  }
  registry_.freeAll();
}

TEST_F(BuildTest, MoreVoicesFramesOrMemoryThanTheBuilderHasAreRefused) {
  auto expect = [](const midibuilder::BuildOutcome& o, BuildStatus status, std::string_view text) {
    EXPECT_EQ(o.status, status);
    EXPECT_EQ(o.message, text);
    EXPECT_TRUE(o.midi.empty());
  };
  using midibuilder::buildMidi;
  expect(buildMidi(*tables_, registry_, gliding(3, 16), options_), BuildStatus::Refused,
         msg::kUnsupportedFile);
  common::NoteFrames slow = gliding(3, 6);
  slow.framesPerSecond = 50;
  expect(buildMidi(*tables_, registry_, slow, options_), BuildStatus::Refused,
         msg::kUnsupportedFile);
  common::NoteFrames full;
  full.slots.resize(static_cast<std::size_t>(midibuilder::kTableFrames) * 8);
  options_.pitchSort = false;
  EXPECT_EQ(buildMidi(*tables_, registry_, full, options_).status, BuildStatus::Written);
  full.slots.resize(full.slots.size() + 8);
  expect(buildMidi(*tables_, registry_, full, options_), BuildStatus::Refused, msg::kDatTooLong);
  const Bytes over = common::encodeDat(full);
  expect(midibuilder::buildMidiFromDat(*tables_, registry_, over.data(), over.size(), options_),
         BuildStatus::Refused, msg::kDatTooLong);
  registry_.freeAll();

  common::AllocationRegistry refusing([](std::size_t) -> void* { return nullptr; });
  expect(buildMidi(*tables_, refusing, gliding(3, 6), options_), BuildStatus::Failed,
         msg::kNoMemory);
  expect(midibuilder::buildMidiFromDat(*tables_, refusing, over.data(), over.size(), options_),
         BuildStatus::Failed, msg::kNoMemory);  // as a file: read before it is counted
}

// A profile that no radio button offers: another program and channel volume change those
// bytes of every channel track and nothing else.
TEST_F(BuildTest, ANewProfileChangesOnlyWhatItDescribes) {
  options_.device = midibuilder::kDeviceHalvoran;
  const common::NoteFrames frames = gliding(200, 6);
  const Bytes halvoran = midibuilder::buildMidi(*tables_, registry_, frames, options_).midi;

  auto setup = midibuilder::targets::gsSineSetup(90);
  setup[2] = midibuilder::programChange(81);
  midibuilder::TargetProfile custom = midibuilder::targets::halvoran();
  custom.setup = setup;
  options_.target = &custom;
  const Bytes changed = midibuilder::buildMidi(*tables_, registry_, frames, options_).midi;
  registry_.freeAll();

  ASSERT_EQ(changed.size(), halvoran.size());
  int programs = 0, volumes = 0, others = 0;
  for (std::size_t i = 1; i < changed.size(); ++i) {
    if (changed[i] == halvoran[i]) continue;
    const bool program = (halvoran[i - 1] & 0xF0) == 0xC0 && halvoran[i] == 80 && changed[i] == 81;
    const bool volume = halvoran[i - 1] == 0x07 && halvoran[i] == 100 && changed[i] == 90;
    programs += program;
    volumes += volume;
    others += !program && !volume;
  }
  EXPECT_EQ(programs, 8);
  EXPECT_EQ(volumes, 8);
  EXPECT_EQ(others, 0);
}

// Wide files: six voices at 60/s give the DAT file's bytes; fifteen voices take fifteen
// channels, never the drum channel; a frame lasts 1/rate s (960/rate ticks at 480 ticks a
// quarter note and 120 quarter notes a minute).
TEST_F(BuildTest, WideFramesTakeFifteenChannelsAtTheirOwnRate) {
  common::NoteFrames six = gliding(300, 6);
  six.method = "tracked";
  ASSERT_EQ(common::writeWideFile((dir_ / "six.wdat").string(), six), "");
  testing_frames::writeBytes(dir_ / "six.dat", common::encodeDat(six));
  ASSERT_EQ(
      midibuilder::convertWideFile(*tables_, registry_, options_, (dir_ / "six.wdat").string(),
                                   (dir_ / "wide.mid").string()),
      "");
  ASSERT_EQ(midibuilder::convertDatFile(*tables_, registry_, options_, (dir_ / "six.dat").string()),
            "");
  EXPECT_EQ(testing_frames::readBytes(dir_ / "wide.mid"),
            testing_frames::readBytes(dir_ / "six.mid"));

  common::NoteFrames all;
  all.voices = 15;
  all.slots.resize(300 * 15);
  for (int32_t f = 0; f < 300; ++f) {
    for (int32_t k = 0; k < 15; ++k)
      all.at(f, k) = {100000 + 997 * ((f + k) % 50), 1000 * (k + 2) + f};
  }
  options_.polyphony = options_.usedChannels = 15;
  smf_check::File file;
  ASSERT_EQ(
      smf_check::check(midibuilder::buildMidi(*tables_, registry_, all, options_).midi, &file), "");
  ASSERT_EQ(file.trackCount, 16);
  std::set<int> channels;
  for (int t = 0; t < 15; ++t) {
    for (const smf_check::Event& e : file.tracks[static_cast<std::size_t>(t)].events) {
      if (e.bytes[0] < 0xF0) channels.insert(e.bytes[0] & 0x0F);
    }
  }
  EXPECT_EQ(channels, (std::set<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 10, 11, 12, 13, 14, 15}));

  options_.polyphony = options_.usedChannels = 6;
  options_.timeBase = 480;
  options_.tempo = 120.0;
  for (const int32_t rate : {60, 120, 240}) {
    six.framesPerSecond = rate;
    ASSERT_EQ(
        smf_check::check(midibuilder::buildMidi(*tables_, registry_, six, options_).midi, &file),
        "");
    // Voice 0 sounds in every frame: one bend per frame on the first channel track.
    std::vector<uint64_t> bends;
    for (const smf_check::Event& e : file.tracks[0].events) {
      if (e.bytes[0] == 0xE0 && e.tick >= static_cast<uint64_t>(options_.noteStartTime))
        bends.push_back(e.tick);
    }
    ASSERT_EQ(bends.size(), 300u) << rate;
    for (std::size_t f = 0; f < bends.size(); ++f) {
      ASSERT_EQ(bends[f] - bends[0], f * static_cast<uint64_t>(960 / rate)) << rate << " " << f;
    }
  }
  registry_.freeAll();
}

}  // namespace
