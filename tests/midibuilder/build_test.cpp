#include "build.h"

#include <gtest/gtest.h>

#include <cmath>

#include "converter_window.h"
#include "messages.h"
#include "targets/gs_sine.h"
#include "targets/targets.h"
#include "test_frames.h"

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

}  // namespace
