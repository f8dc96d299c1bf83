#include "converter_window.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>
#include <random>
#include <set>

#include "messages.h"
#include "smf_checker.h"
#include "test_frames.h"

using midibuilder::ConverterCommand;
using Bytes = std::vector<uint8_t>;
namespace fs = std::filesystem;

namespace {

// A scripted window: the window's controls in their initial state, and the messages shown.
class FakeWindow : public common::MapEnvironment<> {
 public:
  FakeWindow() : MapEnvironment(midibuilder::converterControls()) {}
  void showMessage(std::string_view text, common::MessageIcon icon) override {
    shown.emplace_back(std::string(text), icon);
  }
  // Checks exactly one button of the group that holds `first` ... `last`.
  void choose(int /*first*/, int /*last*/, int id) { check(id); }

  std::vector<std::pair<std::string, common::MessageIcon>> shown;
};

constexpr auto kExclamation = common::MessageIcon::Exclamation;
constexpr auto kNone = common::MessageIcon::None;

// DAT frames: `voices` gliding partials, all loud, in every frame.
Bytes denseFrames(int frameCount, int voices) {
  std::vector<common::NoteFrame> frames(static_cast<std::size_t>(frameCount));
  for (int f = 0; f < frameCount; ++f) {
    for (int k = 0; k < voices; ++k) {
      auto& slot = frames[static_cast<std::size_t>(f)].slots[static_cast<std::size_t>(k)];
      // Each voice sweeps up and down over about three octaves at its own rate, so segments
      // split often and voices cross.
      const double phase = std::sin(f * (0.002 + 0.0007 * k) + k);
      slot.frequency = static_cast<int32_t>(2000.0 * std::pow(2.0, 1.6 * phase + 0.3 * k));
      // A different loudness in every frame: an expression event next to every bend.
      slot.level = 400000 + 37000 * ((f * 7 + k * 3) % 17);
    }
    frames[static_cast<std::size_t>(f)].slots[7] = {1, 60};
  }
  return testing_frames::encodeFrames(frames);
}

class ConvertCommandTest : public ::testing::Test {
 protected:
  ConvertCommandTest() : dir_(::testing::UnitTest::GetInstance()->current_test_info()->name()) {}

  // Runs the command; returns the single message it showed.
  std::pair<std::string, common::MessageIcon> run() {
    window_.shown.clear();
    ConverterCommand command(window_);
    command.convert();
    EXPECT_EQ(command.registry().count(), 0);
    EXPECT_EQ(window_.shown.size(), 1u);
    return window_.shown.empty() ? std::make_pair(std::string(), kNone) : window_.shown.front();
  }
  std::string datFile(const std::string& name, const Bytes& bytes) {
    testing_frames::writeBytes(dir_ / name, bytes);
    return (dir_ / name).string();
  }
  void expectRefused(std::string_view message) {
    const auto [text, icon] = run();
    EXPECT_EQ(text, message);
    EXPECT_EQ(icon, kExclamation);
  }
  void expectFinished() {
    const auto [text, icon] = run();
    EXPECT_EQ(text, msg::kFinished);
    EXPECT_EQ(icon, kNone);
  }

  testing_frames::TempDir dir_;
  FakeWindow window_;
};

TEST_F(ConvertCommandTest, ChecksTheOptionsInOrder) {
  window_.texts[midibuilder::kDatFileField] = "nothing.wav";
  window_.texts[midibuilder::kTempoField] = "0";
  window_.texts[midibuilder::kTimeBaseField] = "0";
  window_.texts[midibuilder::kNoteStartField] = "0";
  window_.choose(1012, 1016, midibuilder::kChannels4);
  window_.choose(1004, 1006, midibuilder::kPolyphony5);
  expectRefused(msg::kChannelsBelowPolyphony);
  window_.choose(1012, 1016, midibuilder::kChannels5);  // equal passes
  expectRefused(msg::kTempoRange);
  window_.texts[midibuilder::kTempoField] = "120.0";
  expectRefused(msg::kTimeBaseRange);
  window_.texts[midibuilder::kTimeBaseField] = "480";
  expectRefused(msg::kNoteStartTooEarly);
  window_.texts[midibuilder::kNoteStartField] = "960";
  expectRefused(msg::kSpecifyDat);
  EXPECT_TRUE(fs::is_empty(dir_.path()));
}

TEST_F(ConvertCommandTest, TempoRange) {
  window_.texts[midibuilder::kDatFileField] = "x.wav";  // refused after the tempo
  for (const char* ok : {"30", "1000", "97.5", "1e3", "  120", "100.0bpm", ".5e3", "30."}) {
    window_.texts[midibuilder::kTempoField] = ok;
    expectRefused(msg::kSpecifyDat);
  }
  for (const char* bad : {"29.9", "1000.5", "abc", "", "inf", "nan", "0x40", "1e400", "-120",
                          "1e-400", "29.99999999"}) {
    window_.texts[midibuilder::kTempoField] = bad;
    expectRefused(msg::kTempoRange);
  }
}

TEST_F(ConvertCommandTest, TimeBaseAndNoteStart) {
  window_.texts[midibuilder::kDatFileField] = "x.wav";
  window_.texts[midibuilder::kNoteStartField] = "131070";
  for (const char* ok : {"24", "65535", "480.5", " +960"}) {
    window_.texts[midibuilder::kTimeBaseField] = ok;
    expectRefused(msg::kSpecifyDat);
  }
  for (const char* bad : {"23", "65536", "", "x480", "99999999999", "-480"}) {
    window_.texts[midibuilder::kTimeBaseField] = bad;
    expectRefused(msg::kTimeBaseRange);
  }
  window_.texts[midibuilder::kNoteStartField] = "1920";
  window_.texts[midibuilder::kTimeBaseField] = "960";
  expectRefused(msg::kSpecifyDat);
  window_.texts[midibuilder::kTimeBaseField] = "961";
  expectRefused(msg::kNoteStartTooEarly);
  window_.texts[midibuilder::kTimeBaseField] = "65535";
  window_.texts[midibuilder::kNoteStartField] = "131070";
  expectRefused(msg::kSpecifyDat);
  window_.texts[midibuilder::kNoteStartField] = "99999999999";  // saturates: no upper bound
  expectRefused(msg::kSpecifyDat);
}

TEST_F(ConvertCommandTest, PathEndingAndOutputName) {
  for (const char* bad : {"", "da", "x.dat1", "x.dat.", "x.dta", "x.ｄａｔ"}) {
    window_.texts[midibuilder::kDatFileField] = bad;
    expectRefused(msg::kSpecifyDat);
  }
  const Bytes frames = denseFrames(5, 6);
  struct Case {
    std::string input, typed, output;
  } cases[] = {{"a.b.dat", "a.b.dat", "a.b.mid"},
               {"mydat", "mydat", "mymid"},
               {"SONG.DAT", "SONG.DAT", "SONG.mid"},
               {"blank.dat", "blank.dat  \t", "blank.mid"}};
  for (const Case& c : cases) {
    datFile(c.input, frames);
    window_.texts[midibuilder::kDatFileField] = (dir_ / c.typed).string();
    expectFinished();
    const Bytes out = testing_frames::readBytes(dir_ / c.output);
    EXPECT_EQ(smf_check::check(out), "") << c.output;
  }
  EXPECT_FALSE(fs::exists(dir_ / "blank.mid  \t"));
}

TEST_F(ConvertCommandTest, FileFailuresCarryNoIcon) {
  window_.texts[midibuilder::kDatFileField] = (dir_ / "missing.dat").string();
  auto [text, icon] = run();
  EXPECT_EQ(text, msg::kFileNotFound);
  EXPECT_EQ(icon, kNone);
  EXPECT_FALSE(fs::exists(dir_ / "missing.mid"));

  // More whole frames than any analyser output: refused, an earlier file left alone.
  datFile("long.dat", Bytes(36002 * 64, 0));
  testing_frames::writeBytes(dir_ / "long.mid", {1, 2, 3});
  window_.texts[midibuilder::kDatFileField] = (dir_ / "long.dat").string();
  std::tie(text, icon) = run();
  EXPECT_EQ(text, msg::kDatTooLong);
  EXPECT_EQ(icon, kNone);
  EXPECT_EQ(testing_frames::readBytes(dir_ / "long.mid"), (Bytes{1, 2, 3}));

  // No memory for the file image.
  datFile("short.dat", denseFrames(3, 6));
  window_.texts[midibuilder::kDatFileField] = (dir_ / "short.dat").string();
  window_.shown.clear();
  {
    ConverterCommand command(window_, [](std::size_t) -> void* { return nullptr; });
    command.convert();
    EXPECT_EQ(command.registry().count(), 0);
  }
  ASSERT_EQ(window_.shown.size(), 1u);
  EXPECT_EQ(window_.shown[0].first, msg::kNoMemory);
  EXPECT_EQ(window_.shown[0].second, kNone);
  EXPECT_FALSE(fs::exists(dir_ / "short.mid"));

  // The MIDI file cannot be created: a folder is in the way.
  fs::create_directory(dir_ / "short.mid");
  std::tie(text, icon) = run();
  EXPECT_EQ(text, msg::kCannotCreate);
  EXPECT_EQ(icon, kNone);
}

TEST_F(ConvertCommandTest, TheOptionsReachTheFile) {
  const std::string input = datFile("opts.dat", denseFrames(20, 6));
  window_.texts[midibuilder::kDatFileField] = input;
  window_.texts[midibuilder::kTempoField] = "97.5";
  window_.texts[midibuilder::kTimeBaseField] = "480.5";
  window_.texts[midibuilder::kNoteStartField] = "5000";
  window_.choose(1012, 1016, midibuilder::kChannels8);
  window_.choose(1017, 1020, midibuilder::kSc88);
  expectFinished();
  smf_check::File file;
  ASSERT_EQ(smf_check::check(testing_frames::readBytes(dir_ / "opts.mid"), &file), "");
  EXPECT_EQ(file.division, 480);
  ASSERT_EQ(file.tracks.size(), 9u);
  // 60000000 / 97.5 = 615384.6: 615385 (0x0963D9) microseconds.
  EXPECT_EQ(file.tracks[8].events[0].bytes, (Bytes{0xFF, 0x51, 0x09, 0x63, 0xD9}));
  // SC-88 volume in the set-up block; frame 0 at the note start time.
  EXPECT_EQ(file.tracks[0].events[31].bytes, (Bytes{0xB0, 0x07, 0x7F}));
  EXPECT_EQ(file.tracks[0].events[36].tick, 5000u);
}

TEST_F(ConvertCommandTest, PitchSortOnlyRunsWhenChosen) {
  const std::string input = datFile("sort.dat", denseFrames(300, 6));
  window_.texts[midibuilder::kDatFileField] = input;
  expectFinished();
  const Bytes sorted = testing_frames::readBytes(dir_ / "sort.mid");
  window_.choose(1010, 1011, midibuilder::kPitchSortOff);
  expectFinished();
  const Bytes unsorted = testing_frames::readBytes(dir_ / "sort.mid");
  EXPECT_NE(sorted, unsorted);
  EXPECT_EQ(smf_check::check(sorted), "");
  EXPECT_EQ(smf_check::check(unsorted), "");
}

// The longest analyser output, every voice sounding in every frame, checked strictly under
// several option sets; the image outgrows its initial 1 MiB.
TEST_F(ConvertCommandTest, LongDenseConversionsBuildValidFiles) {
  const std::string input = datFile("dense.dat", denseFrames(36001, 6));
  window_.texts[midibuilder::kDatFileField] = input;
  struct Setup {
    int channels, polyphony, device, sort;
    const char *tempo, *timeBase, *noteStart;
  } setups[] = {
      {midibuilder::kChannels8, midibuilder::kPolyphony6, midibuilder::kHalvoran, 1, "120.0", "480",
       "1920"},
      {midibuilder::kChannels8, midibuilder::kPolyphony4, midibuilder::kSc88, 0, "1000", "65535",
       "2147483647"},
      {midibuilder::kChannels7, midibuilder::kPolyphony5, midibuilder::kMsgs, 1, "30", "24", "48"},
      {midibuilder::kChannels6, midibuilder::kPolyphony6, midibuilder::kSc8850, 0, "137.5", "960",
       "1920"},
  };
  for (const Setup& s : setups) {
    window_.choose(1012, 1016, s.channels);
    window_.choose(1004, 1006, s.polyphony);
    window_.choose(1017, 1020, s.device);
    window_.choose(1010, 1011, s.sort ? midibuilder::kPitchSortOn : midibuilder::kPitchSortOff);
    window_.texts[midibuilder::kTempoField] = s.tempo;
    window_.texts[midibuilder::kTimeBaseField] = s.timeBase;
    window_.texts[midibuilder::kNoteStartField] = s.noteStart;
    expectFinished();
    const Bytes out = testing_frames::readBytes(dir_ / "dense.mid");
    smf_check::File file;
    ASSERT_EQ(smf_check::check(out, &file), "") << s.device;
    EXPECT_EQ(file.trackCount, s.channels - midibuilder::kChannels4 + 5);
    if (s.channels == midibuilder::kChannels8 && s.device == midibuilder::kHalvoran) {
      EXPECT_GT(out.size(), 1048576u);
    }
    // Every voice track starts notes; spare channels receive moved segments.
    for (int t = 0; t < file.trackCount - 1; ++t) {
      int starts = 0;
      for (const auto& e : file.tracks[static_cast<std::size_t>(t)].events) {
        starts += (e.bytes[0] & 0xF0) == 0x90 && e.bytes.size() == 3 && e.bytes[2] == 0x7F;
      }
      EXPECT_GT(starts, 0) << "device " << s.device << " track " << t;
    }
  }
}

// Whatever a file holds (any int32 level or frequency), every device converts it into a valid
// file without undefined behaviour (run under the sanitizers as well).
TEST_F(ConvertCommandTest, ArbitraryFileContentsConvertSafely) {
  constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
  constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
  const int32_t picks[] = {kMin, kMin + 1, -4400, -1,   0,     1,        2,
                           5,    80,       549,   4400, 80000, kMax - 1, kMax};
  std::mt19937 rng(99);
  std::uniform_int_distribution<int> which(0, 15);
  std::uniform_int_distribution<int32_t> any(kMin, kMax);
  std::vector<common::NoteFrame> frames(3000);
  for (auto& frame : frames) {
    for (auto& slot : frame.slots) {
      const int a = which(rng), b = which(rng);
      slot.level = a < 14 ? picks[a] : any(rng);
      slot.frequency = b < 14 ? picks[b] : any(rng);
    }
  }
  window_.texts[midibuilder::kDatFileField] =
      datFile("wild.dat", testing_frames::encodeFrames(frames));
  window_.choose(1012, 1016, midibuilder::kChannels8);
  for (int device = midibuilder::kHalvoran; device <= midibuilder::kMsgs; ++device) {
    window_.choose(1017, 1020, device);
    for (int polyphony = midibuilder::kPolyphony4; polyphony <= midibuilder::kPolyphony6;
         ++polyphony) {
      window_.choose(1004, 1006, polyphony);
      expectFinished();
      ASSERT_EQ(smf_check::check(testing_frames::readBytes(dir_ / "wild.mid")), "")
          << device << " " << polyphony;
    }
  }
}

}  // namespace
