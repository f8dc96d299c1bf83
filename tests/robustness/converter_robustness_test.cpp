// Quorvel's convert command at its limits and under failures: the longest DAT files, int32
// extremes, the most extreme timing, and every way a conversion can fail, each of which must
// leave an earlier MIDI file byte for byte and no other file behind.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "builder_check.h"
#include "converter_window.h"
#include "dat_files.h"
#include "file_io.h"
#include "messages.h"
#include "scratch_dir.h"
#include "scripted_environment.h"
#include "smf_check.h"

namespace {

using namespace robustness;
using namespace midibuilder;

bool refuseAll = false;
void* refusingAlloc(std::size_t size) {
  return refuseAll ? nullptr : std::malloc(size);
}

class ConverterRobustnessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    common::fileFaults() = {};
    refuseAll = false;
    setOptions(6, 6, 0, true);
    env_.texts[kTempoField] = "120.0";
    env_.texts[kTimeBaseField] = "480";
    env_.texts[kNoteStartField] = "1920";
  }
  void TearDown() override {
    common::fileFaults() = {};
    refuseAll = false;
  }

  void setOptions(int polyphony, int channels, int device, bool pitchSort) {
    env_.check(kPolyphony4 + polyphony - 4);
    env_.check(kChannels4 + channels - 4);
    env_.check(kHalvoran + device);
    env_.check(pitchSort ? kPitchSortOn : kPitchSortOff);
    options_.usedChannels = channels;
    options_.device = device;
  }
  void setTiming(const std::string& tempo, double tempoValue, int32_t timeBase, int32_t noteStart) {
    env_.texts[kTempoField] = tempo;
    env_.texts[kTimeBaseField] = std::to_string(timeBase);
    env_.texts[kNoteStartField] = std::to_string(noteStart);
    options_.tempo = tempoValue;
    options_.timeBase = timeBase;
    options_.noteStartTime = noteStart;
  }

  std::string convert(const std::string& path) {
    env_.messages.clear();
    env_.texts[kDatFileField] = path;
    command_.convert();
    EXPECT_EQ(env_.messages.size(), 1u);
    EXPECT_EQ(command_.registry().count(), 0);
    return env_.lastMessage();
  }

  // Converts `dat` and checks the MIDI file with the strict reader and the builder checks.
  smfcheck::File convertAndCheck(const DatImage& dat) {
    put(dir_ / "song.dat", dat.bytes());
    EXPECT_EQ(convert(dir_ / "song.dat"), msg::kFinished);
    const std::string midi = slurp(dir_.path() / "song.mid");
    smfcheck::File file;
    const std::string error =
        smfcheck::parse(reinterpret_cast<const uint8_t*>(midi.data()), midi.size(), file);
    EXPECT_EQ(error, "");
    options_.frameCount = dat.frameCount();
    if (error.empty()) {
      EXPECT_EQ(smfcheck::checkBuilderOutput(file, options_), "");
    }
    return file;
  }

  ScratchDir dir_;
  testkit::ScriptedEnvironment env_{midibuilder::converterControls()};
  ConverterCommand command_{env_, &refusingAlloc, &std::free};
  smfcheck::BuilderOptions options_;
};

TEST_F(ConverterRobustnessTest, EveryFailureKeepsTheEarlierMidiFileAndLeavesNothingElse) {
  const std::string earlier = "earlier MIDI file";
  put(dir_ / "song.dat", DatImage::speechLike(120).bytes());
  put(dir_ / "song.mid", earlier);
  put(dir_ / "gone.mid", earlier);
  fs::create_directory(dir_.path() / "folder.dat");
  put(dir_ / "folder.mid", earlier);
  put(dir_ / "long.dat", DatImage(common::kFrameCapacity + 1).bytes());
  put(dir_ / "long.mid", earlier);
  const std::vector<std::string> before = listing(dir_.path());

  struct Case {
    const char* name;
    std::string input;
    std::string_view message;
    std::function<void()> arrange;
  };
  const std::vector<Case> cases = {
      {"channels below polyphony", "song.dat", msg::kChannelsBelowPolyphony,
       [&] { setOptions(6, 5, 0, true); }},
      {"tempo", "song.dat", msg::kTempoRange, [&] { env_.texts[kTempoField] = "nan"; }},
      {"time base", "song.dat", msg::kTimeBaseRange, [&] { env_.texts[kTimeBaseField] = "65536"; }},
      {"note start", "song.dat", msg::kNoteStartTooEarly,
       [&] { env_.texts[kNoteStartField] = "959"; }},
      {"not a DAT name", "song.dat1", msg::kSpecifyDat, [] {}},
      {"missing input", "gone.dat", msg::kFileNotFound, [] {}},
      {"input is a folder", "folder.dat", msg::kCannotOpen, [] {}},
      {"input shrinks while read", "song.dat", msg::kReadError,
       [] { common::fileFaults().readLimit = 64; }},
      {"no memory", "song.dat", msg::kNoMemory, [] { refuseAll = true; }},
      {"longer than any analyser output", "long.dat", msg::kDatTooLong, [] {}},
      {"disk full while writing", "song.dat", msg::kWriteError,
       [] { common::fileFaults().writeLimit = 100; }},
      {"output cannot replace the earlier file", "song.dat", msg::kCannotCreate,
       [] { common::fileFaults().failRename = true; }},
  };
  for (const Case& c : cases) {
    SetUp();
    c.arrange();
    EXPECT_EQ(convert(dir_ / c.input), c.message) << c.name;
    TearDown();
    for (const char* name : {"song.mid", "gone.mid", "folder.mid", "long.mid"}) {
      EXPECT_EQ(slurp(dir_.path() / name), earlier) << c.name << ": " << name;
    }
    EXPECT_EQ(listing(dir_.path()), before) << c.name;
  }

  // And with nothing failing the earlier file is replaced, with no other file left.
  EXPECT_EQ(convert(dir_ / "song.dat"), msg::kFinished);
  EXPECT_NE(slurp(dir_.path() / "song.mid"), earlier);
  EXPECT_EQ(listing(dir_.path()), before);
}

TEST_F(ConverterRobustnessTest, FullOrReadOnlyOutputFolderKeepsTheEarlierMidiFile) {
  SmallTmpfs disk(96);
  if (!disk.mounted()) GTEST_SKIP() << "tmpfs cannot be mounted here";
  const std::string earlier(40 * 1024, 'e');
  put(disk / "voice.dat", DatImage::speechLike(600).bytes());  // about 38 KiB
  put(disk / "voice.mid", earlier);
  EXPECT_EQ(convert(disk / "voice.dat"), msg::kWriteError);  // the new file needs ~60 KiB
  EXPECT_EQ(slurp(disk.path() / "voice.mid"), earlier);
  EXPECT_EQ(listing(disk.path()), (std::vector<std::string>{"voice.dat", "voice.mid"}));

  ASSERT_TRUE(disk.makeReadOnly());
  EXPECT_EQ(convert(disk / "voice.dat"), msg::kCannotCreate);
  EXPECT_EQ(slurp(disk.path() / "voice.mid"), earlier);
  EXPECT_EQ(listing(disk.path()), (std::vector<std::string>{"voice.dat", "voice.mid"}));
}

TEST_F(ConverterRobustnessTest, LongestDatFileConvertsOnEveryChannelLayout) {
  // 36,001 frames is what the analyser writes for 600 seconds; every voice sounding and moving
  // all the time gives the largest MIDI file.
  const DatImage dat = DatImage::speechLike(common::kFrameCapacity);
  setOptions(4, 8, 1, false);
  convertAndCheck(dat);
  setOptions(6, 6, 0, true);
  const smfcheck::File file = convertAndCheck(dat);
  EXPECT_GT(file.tracks[0].events.size(), 36000u);
}

TEST_F(ConverterRobustnessTest, Int32ExtremesOfLevelAndFrequencyGiveValidFiles) {
  DatImage dat(40);
  const int32_t values[] = {INT32_MAX, INT32_MIN, 0, -1, 1, 4400, 80000, INT32_MAX / 254};
  for (int32_t f = 0; f < dat.frameCount(); ++f) {
    for (int k = 0; k < 8; ++k) {
      dat.slot(f, k) = {values[(f + k) % 8], values[(f * 3 + k * 5) % 8]};
    }
  }
  dat.slot(0, 0) = {INT32_MAX, INT32_MAX};  // the peak: full level at 214 MHz
  for (int device = 0; device < 4; ++device) {
    for (const bool sort : {false, true}) {
      setOptions(4 + device % 3, 8, device, sort);
      convertAndCheck(dat);
    }
  }
}

TEST_F(ConverterRobustnessTest, ExtremeTimingSplitsLongWaitsAndKeepsEveryTick) {
  // Time base 65535 at tempo 1000 makes a frame 18,204.2 ticks; starting at tick 2^31 - 1 the
  // clock passes 2^31 at once, and 20,000 silent frames wait longer than one delta time holds.
  DatImage dat(common::kFrameCapacity);
  for (const int32_t f : {0, 1, 20001, 20002, 36000}) dat.slot(f, 0) = {1000, 4400};
  setOptions(4, 4, 0, false);
  setTiming("1000", 1000.0, 65535, 2147483647);
  const smfcheck::File file = convertAndCheck(dat);

  const auto& events = file.tracks[0].events;
  int splits = 0;
  std::vector<int64_t> noteStarts;
  for (const auto& ev : events) {
    if (ev.status == 0xFF && ev.metaType == 0x01) ++splits;
    if (ev.status == 0x90 && ev.data[1] == 0x7F) noteStarts.push_back(ev.tick);
  }
  // The wait before frame 0 (2^31 ticks less the set-up block) needs 7 splits, the silences
  // from frame 2 to 20001 and from 20003 to 36000 one each.
  EXPECT_EQ(splits, 9);
  const auto tickOf = [](int32_t frame) {
    return 2147483647 + smfcheck::framesToTicks(frame, 65535, 1000.0);
  };
  EXPECT_EQ(noteStarts, (std::vector<int64_t>{tickOf(0), tickOf(20001), tickOf(36000)}));
  EXPECT_EQ(file.tracks[0].endTick, tickOf(common::kFrameCapacity));

  // The slowest clock: time base 24 at tempo 30 is a fifth of a tick per frame.
  setTiming("30", 30.0, 24, 48);
  convertAndCheck(dat);
}

}  // namespace
