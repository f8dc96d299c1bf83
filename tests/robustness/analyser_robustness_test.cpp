// Sevrane's convert command under every way a conversion can end without a DAT file: each must
// give its message, keep an earlier DAT file byte for byte, leave no other file and release
// all memory.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "alloc_registry.h"
#include "analyser_window.h"
#include "file_io.h"
#include "messages.h"
#include "note_frame.h"
#include "scratch_dir.h"
#include "scripted_environment.h"

namespace {

using namespace robustness;
using namespace analyser;

bool refuseLarge = false;
// Refuses the signal buffers (anything of a mebibyte or more) while set.
void* refusingAlloc(std::size_t size) {
  return refuseLarge && size >= 1048576 ? nullptr : std::malloc(size);
}

// A mono 16-bit 44100 Hz file of a 440 Hz tone; `rate`, `bits` and `declared` spoil it.
std::string waveFile(int frames, uint32_t rate = 44100, uint32_t bits = 16, int64_t declared = -1) {
  std::string data;
  for (int i = 0; i < frames; ++i) {
    const auto v = static_cast<int16_t>(8000.0 * ((i * 440 * 2 / 44100) % 2 ? 1 : -1));
    data.push_back(static_cast<char>(v));
    data.push_back(static_cast<char>(v >> 8));
  }
  std::string h;
  const auto u32 = [&h](uint32_t v) {
    for (int i = 0; i < 4; ++i) h.push_back(static_cast<char>(v >> (8 * i)));
  };
  const auto u16 = [&h](uint32_t v) {
    for (int i = 0; i < 2; ++i) h.push_back(static_cast<char>(v >> (8 * i)));
  };
  h += "RIFF";
  u32(static_cast<uint32_t>(36 + data.size()));
  h += "WAVEfmt ";
  u32(16);
  u16(1);
  u16(1);
  u32(rate);
  u32(rate * bits / 8);
  u16(bits / 8);
  u16(bits);
  h += "data";
  u32(declared >= 0 ? static_cast<uint32_t>(declared) : static_cast<uint32_t>(data.size()));
  return h + data;
}

class AnalyserRobustnessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    common::fileFaults() = {};
    refuseLarge = false;
    env_.checked = {kUnit60, kShiftOff, kOptimiseOff};
    env_.hasCounter = true;
    env_.onPump = nullptr;
    env_.clockStep = 1;
  }
  void TearDown() override { SetUp(); }

  std::string convert(const std::string& path) {
    env_.messages.clear();
    env_.texts[kWaveFileField] = path;
    command_.convert();
    EXPECT_EQ(env_.messages.size(), 1u);
    EXPECT_EQ(registry_.count(), 0);
    EXPECT_FALSE(env_.progressOpen);
    EXPECT_FALSE(command_.busy());
    return env_.lastMessage();
  }

  ScratchDir dir_;
  testkit::ScriptedEnvironment env_;
  common::AllocationRegistry registry_{&refusingAlloc, &std::free};
  AnalyserCommand command_{env_, registry_};
};

TEST_F(AnalyserRobustnessTest, EveryFailureKeepsTheEarlierDatFileAndLeavesNothingElse) {
  const std::string earlier = "earlier DAT file";
  const std::vector<std::pair<std::string, std::string>> inputs = {
      {"voice", waveFile(4410)},           {"rate", waveFile(4410, 48000)},
      {"width", waveFile(4410, 44100, 8)}, {"claim", waveFile(100, 44100, 16, 0xFFFFFFFF)},
      {"junk", std::string(500, 'x')},
  };
  for (const auto& [name, bytes] : inputs) {
    put(dir_ / (name + ".wav"), bytes);
    put(dir_ / (name + ".dat"), earlier);
  }
  // 600 s and one sample frame, sparse on disk.
  put(dir_ / "long.wav", waveFile(0, 44100, 16, 52920002));
  fs::resize_file(dir_.path() / "long.wav", 44 + 52920002);
  put(dir_ / "long.dat", earlier);
  put(dir_ / "gone.dat", earlier);
  fs::create_directory(dir_.path() / "folder.wav");
  put(dir_ / "folder.dat", earlier);
  const std::vector<std::string> before = listing(dir_.path());

  struct Case {
    const char* name;
    std::string input;
    std::string_view message;
    std::function<void()> arrange;
  };
  const std::vector<Case> cases = {
      {"no counter", "voice.wav", msg::kNoCounter, [&] { env_.hasCounter = false; }},
      {"not a WAVE name", "voice.dat", msg::kSpecifyWave, [] {}},
      {"missing input", "gone.wav", msg::kFileNotFound, [] {}},
      {"input is a folder", "folder.wav", msg::kCannotOpen, [] {}},
      {"input shrinks while read", "voice.wav", msg::kReadError,
       [] { common::fileFaults().readLimit = 40; }},
      {"not a WAVE file", "junk.wav", msg::kUnsupportedFile, [] {}},
      {"data longer than the file", "claim.wav", msg::kBadDataLength, [] {}},
      {"48000 Hz", "rate.wav", msg::kNot44100, [] {}},
      {"8-bit", "width.wav", msg::kNot16Bit, [] {}},
      {"longer than 600 s", "long.wav", msg::kAudioTooLong, [] {}},
      {"no memory for the signal", "voice.wav", msg::kNoMemory, [] { refuseLarge = true; }},
      {"cancelled", "voice.wav", msg::kCancelled,
       [&] {
         env_.clockStep = 500;  // every frame is a refresh, so the cancel is seen at once
         env_.onPump = [&](int) { command_.requestCancel(); };
       }},
      {"disk full while writing", "voice.wav", msg::kWriteError,
       [] { common::fileFaults().writeLimit = 64; }},
      {"output cannot replace the earlier file", "voice.wav", msg::kCannotCreate,
       [] { common::fileFaults().failRename = true; }},
  };
  for (const Case& c : cases) {
    SetUp();
    c.arrange();
    EXPECT_EQ(convert(dir_ / c.input), c.message) << c.name;
    TearDown();
    for (const std::string& name : before) {
      if (name.size() > 4 && name.substr(name.size() - 4) == ".dat") {
        EXPECT_EQ(slurp(dir_.path() / name), earlier) << c.name << ": " << name;
      }
    }
    EXPECT_EQ(listing(dir_.path()), before) << c.name;
  }

  // With nothing failing, the earlier file is replaced by 0.1 s of analysis: 7 frames.
  EXPECT_EQ(convert(dir_ / "voice.wav"), msg::kFinished);
  EXPECT_EQ(fs::file_size(dir_.path() / "voice.dat"), 7u * common::kNoteFrameBytes);
  EXPECT_EQ(listing(dir_.path()), before);
}

TEST_F(AnalyserRobustnessTest, FullOrReadOnlyOutputFolderKeepsTheEarlierDatFile) {
  SmallTmpfs disk(64);
  if (!disk.mounted()) GTEST_SKIP() << "tmpfs cannot be mounted here";
  const std::string earlier(20 * 1024, 'e');
  // The 86 KiB recording stays outside the small disk; a link beside the output names it.
  put(dir_ / "voice.wav", waveFile(44100));
  fs::create_symlink(dir_.path() / "voice.wav", disk.path() / "voice.wav");
  put(disk / "voice.dat", earlier);
  put(disk / "filler", std::string(44 * 1024, 'f'));  // fills the last page
  EXPECT_EQ(convert(disk / "voice.wav"), msg::kWriteError);
  EXPECT_EQ(slurp(disk.path() / "voice.dat"), earlier);
  EXPECT_EQ(listing(disk.path()), (std::vector<std::string>{"filler", "voice.dat", "voice.wav"}));

  fs::remove(disk.path() / "filler");
  ASSERT_TRUE(disk.makeReadOnly());
  EXPECT_EQ(convert(disk / "voice.wav"), msg::kCannotCreate);
  EXPECT_EQ(slurp(disk.path() / "voice.dat"), earlier);
}

}  // namespace
