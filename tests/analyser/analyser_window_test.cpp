#include "analyser_window.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "fake_environment.h"
#include "messages.h"
#include "note_frame.h"
#include "partial_extraction.h"
#include "wave_test_support.h"

namespace {

using analyser::AnalyserCommand;
using common::MessageIcon;
using wavetest::Bytes;

TEST(AnalyserSettingsTest, RadioGroupsGiveTheSettingsInTheirFixedOrder) {
  fakeenv::FakeEnvironment env;
  auto read = [&](std::set<int> checked) {
    env.checked = checked;
    return analyser::readAnalysisSettings(env);
  };
  const auto defaults = read({analyser::kUnit60, analyser::kShiftOff, analyser::kOptimiseOff});
  EXPECT_EQ(defaults.unitsPerSecond, 60);
  EXPECT_EQ(defaults.frameLength, 735);
  EXPECT_EQ(defaults.onsetShift, 0);
  EXPECT_EQ(defaults.passCount, 1);

  EXPECT_EQ(read({analyser::kOptimiseOn}).passCount, 4);
  EXPECT_EQ(read({}).passCount, 4);  // only "しない" gives one pass
  EXPECT_EQ(read({analyser::kShiftOn}).onsetShift, 1);
  EXPECT_EQ(read({analyser::kShiftOff}).onsetShift, 0);
  // 1/15 is the fall-back, not read from its button.
  EXPECT_EQ(read({}).unitsPerSecond, 15);
  EXPECT_EQ(read({}).frameLength, 2940);
  EXPECT_EQ(read({analyser::kUnit15}).unitsPerSecond, 15);
  EXPECT_EQ(read({analyser::kUnit20}).frameLength, 2205);
  EXPECT_EQ(read({analyser::kUnit30}).frameLength, 1470);
  // Tested 20, 30, 60 in order: the last checked one wins.
  EXPECT_EQ(read({analyser::kUnit20, analyser::kUnit30}).unitsPerSecond, 30);
  EXPECT_EQ(read({analyser::kUnit60, analyser::kUnit20}).unitsPerSecond, 60);
}

TEST(AnalyserPathTest, NamesAreCheckedAndMappedByTheirLastCharacters) {
  EXPECT_EQ(analyser::trimTrailingSpace("  a b.wav \t\r\n "), "  a b.wav");
  EXPECT_EQ(analyser::trimTrailingSpace("   "), "");
  EXPECT_TRUE(analyser::endsInWav("TAKE.WAV"));
  EXPECT_TRUE(analyser::endsInWav("takewav"));
  EXPECT_TRUE(analyser::endsInWav("wAv"));
  EXPECT_FALSE(analyser::endsInWav("take.wave"));
  EXPECT_FALSE(analyser::endsInWav("av"));
  EXPECT_FALSE(analyser::endsInWav(""));
  EXPECT_EQ(analyser::datPathFor("/d/TAKE.WAV"), "/d/TAKE.dat");
  EXPECT_EQ(analyser::datPathFor("takewav"), "tak.dat");
  EXPECT_EQ(analyser::datPathFor("声wav"), ".dat");  // four characters, not four bytes
  EXPECT_EQ(analyser::datPathFor("音声wav"), "音.dat");
  EXPECT_EQ(analyser::datPathFor("wav"), ".dat");  // never reaches before the start
}

class ConvertTest : public ::testing::Test {
 protected:
  void SetUp() override {
    env.checked = {analyser::kUnit60, analyser::kShiftOff, analyser::kOptimiseOff};
    env.clockStep = 1;
    env.counterStep = 10;
  }

  std::string wave(const std::string& name, const std::vector<int16_t>& samples) {
    const std::string path = dir.file(name);
    wavetest::writeFile(path, wavetest::canonical(samples));
    return path;
  }
  void convert(const std::string& fieldText) {
    env.texts[analyser::kWaveFileField] = fieldText;
    command.convert();
  }
  // The one message of the last conversion.
  const fakeenv::Shown& only() {
    EXPECT_EQ(env.messages.size(), 1u);
    return env.messages.back();
  }

  wavetest::ScratchDir dir{"convert"};
  fakeenv::FakeEnvironment env;
  common::AllocationRegistry registry;
  AnalyserCommand command{env, registry};
};

std::vector<int16_t> tone(int count) {
  std::vector<int16_t> s(count);
  for (int i = 0; i < count; ++i) s[i] = static_cast<int16_t>(8000 * std::sin(i * 0.0627));
  return s;
}

TEST_F(ConvertTest, RefusalsCarryTheExclamationIconAndTouchNothing) {
  const std::string path = wave("take.wav", {1, 2, 3});
  env.hasCounter = false;
  convert(path);
  EXPECT_EQ(only().text, msg::kNoCounter);
  EXPECT_EQ(only().icon, MessageIcon::Exclamation);
  env.messages.clear();
  env.hasCounter = true;
  env.frequency = 0;  // a counter that cannot time anything
  convert(path);
  EXPECT_EQ(only().text, msg::kNoCounter);

  env.frequency = 1000000;
  for (const std::string& bad : {dir.file("take.wave"), std::string(""), std::string("wa")}) {
    env.messages.clear();
    convert(bad);
    EXPECT_EQ(only().text, msg::kSpecifyWave) << bad;
    EXPECT_EQ(only().icon, MessageIcon::Exclamation);
  }
  EXPECT_EQ(env.windowOpens, 0);
  EXPECT_EQ(registry.count(), 0);
  EXPECT_FALSE(std::filesystem::exists(dir.file("take.dat")));
}

TEST_F(ConvertTest, FileAndFormatFailuresEndWithoutIconOrOutput) {
  convert(dir.file("missing.wav"));
  EXPECT_EQ(only().text, msg::kFileNotFound);
  EXPECT_EQ(only().icon, MessageIcon::None);
  env.messages.clear();
  const std::string path = dir.file("rate.wav");
  wavetest::writeFile(path, wavetest::canonical({1, 2}, 1, 48000));
  convert(path);
  EXPECT_EQ(only().text, msg::kNot44100);
  EXPECT_EQ(only().icon, MessageIcon::None);
  EXPECT_EQ(env.windowOpens, 0);
  EXPECT_EQ(registry.count(), 0);
  EXPECT_FALSE(command.busy());
  EXPECT_FALSE(std::filesystem::exists(dir.file("rate.dat")));
}

TEST_F(ConvertTest, EmptyRecordingGivesOneSilentFrameWithTheSettingsEntry) {
  convert(wave("take.wav", {}));
  EXPECT_EQ(only().text, msg::kFinished);
  EXPECT_EQ(only().icon, MessageIcon::None);
  EXPECT_FALSE(only().progressWindowWasOpen);
  const Bytes dat = wavetest::readFile(dir.file("take.dat"));
  ASSERT_EQ(dat.size(), 64u);
  const common::NoteFrame f = common::decodeNoteFrame(dat.data());
  for (int s = 0; s < 6; ++s) {
    EXPECT_EQ(f.slots[s].level, 0);
    EXPECT_EQ(f.slots[s].frequency, 550);
  }
  EXPECT_EQ(f.slots[6].level, 0);
  EXPECT_EQ(f.slots[6].frequency, 0);
  EXPECT_EQ(f.slots[7].level, 1);
  EXPECT_EQ(f.slots[7].frequency, 60);
  EXPECT_EQ(env.windowOpens, 1);
  EXPECT_EQ(env.windowCloses, 1);
  EXPECT_EQ(registry.count(), 0);
  EXPECT_FALSE(command.busy());
}

TEST_F(ConvertTest, OneSecondGives61FramesAt60And16At15) {
  const std::string path = wave("sec.wav", tone(44100));
  convert(path);
  EXPECT_EQ(only().text, msg::kFinished);
  Bytes dat = wavetest::readFile(dir.file("sec.dat"));
  ASSERT_EQ(dat.size(), 3904u);
  EXPECT_EQ(Bytes(dat.end() - 8, dat.end()), (Bytes{1, 0, 0, 0, 0x3C, 0, 0, 0}));
  // The tone (about 440 Hz) is the strongest partial of a frame inside the recording; the
  // last frame lies wholly past the end and is silent.
  const common::NoteFrame mid = common::decodeNoteFrame(dat.data() + 64 * 30);
  EXPECT_NEAR(mid.slots[0].frequency, 4399, 15);
  EXPECT_NEAR(mid.slots[0].level, 8000 * 256, 8000 * 256 / 50);
  const common::NoteFrame last = common::decodeNoteFrame(dat.data() + 64 * 60);
  for (int s = 0; s < 6; ++s) EXPECT_EQ(last.slots[s].level, 0);

  env.messages.clear();
  env.checked = {analyser::kShiftOff, analyser::kOptimiseOff};  // falls back to 1/15
  convert(path);
  EXPECT_EQ(only().text, msg::kFinished);
  dat = wavetest::readFile(dir.file("sec.dat"));
  ASSERT_EQ(dat.size(), 1024u);
  EXPECT_EQ(Bytes(dat.end() - 8, dat.end()), (Bytes{1, 0, 0, 0, 15, 0, 0, 0}));
}

TEST_F(ConvertTest, TrailingBlanksAndUpperCaseNamesMapToTheirDatFile) {
  const std::string upper = wave("TAKE.WAV", {});
  convert(upper + "  \t");
  EXPECT_EQ(only().text, msg::kFinished);
  EXPECT_TRUE(std::filesystem::exists(dir.file("TAKE.dat")));
  env.messages.clear();
  convert(wave("takewav", {}));
  EXPECT_EQ(only().text, msg::kFinished);
  EXPECT_TRUE(std::filesystem::exists(dir.file("tak.dat")));
}

TEST_F(ConvertTest, CancelWritesNothingAndKeepsAnEarlierDat) {
  const std::string path = wave("take.wav", tone(4000));
  const Bytes earlier = {9, 8, 7};
  wavetest::writeFile(dir.file("take.dat"), earlier);
  env.clockStep = 200;  // every check refreshes
  env.onPump = [&] { command.requestCancel(); };
  convert(path);
  EXPECT_EQ(only().text, msg::kCancelled);
  EXPECT_EQ(only().icon, MessageIcon::None);
  EXPECT_FALSE(env.windowOpen);
  EXPECT_EQ(wavetest::readFile(dir.file("take.dat")), earlier);
  EXPECT_EQ(registry.count(), 0);
  EXPECT_FALSE(command.busy());
  // The pump that raised the flag ran once; the next check saw it.
  EXPECT_EQ(env.pumps, 1);

  // The next conversion clears the flag again and completes.
  env.onPump = nullptr;
  env.messages.clear();
  convert(path);
  EXPECT_EQ(only().text, msg::kFinished);
  EXPECT_EQ(wavetest::readFile(dir.file("take.dat")).size(), 7u * 64);  // (4000 + 1469) / 735
}

TEST_F(ConvertTest, ConvertWhileBusyIsIgnored) {
  const std::string path = wave("take.wav", tone(1000));
  env.clockStep = 200;
  int nested = 0;
  env.onPump = [&] {
    ++nested;
    EXPECT_TRUE(command.busy());
    command.convert();  // a second click on "変換"
  };
  convert(path);
  EXPECT_GT(nested, 0);
  EXPECT_EQ(only().text, msg::kFinished);
  EXPECT_EQ(env.windowOpens, 1);
  EXPECT_FALSE(command.busy());
}

TEST_F(ConvertTest, OutputFailureClosesTheWindowBeforeTheMessage) {
  const std::string path = wave("take.wav", {});
  std::filesystem::create_directory(dir.file("take.dat"));
  convert(path);
  EXPECT_EQ(only().text, msg::kCannotCreate);
  EXPECT_EQ(only().icon, MessageIcon::None);
  EXPECT_FALSE(only().progressWindowWasOpen);
  EXPECT_EQ(registry.count(), 0);
}

int refuseFrom = 0;
int requests = 0;
void* refuseSignalBuffer(std::size_t size) {
  return ++requests == refuseFrom ? nullptr : std::malloc(size);
}

TEST(ConvertMemoryTest, BufferRefusalShowsTheMemoryMessageWithoutAWindow) {
  wavetest::ScratchDir dir("convert-mem");
  const std::string path = dir.file("take.wav");
  wavetest::writeFile(path, wavetest::canonical({1, 2, 3}));
  fakeenv::FakeEnvironment env;
  env.checked = {analyser::kUnit60, analyser::kOptimiseOff};
  env.texts[analyser::kWaveFileField] = path;
  refuseFrom = 2;  // the file image is request 1
  requests = 0;
  common::AllocationRegistry registry(&refuseSignalBuffer, &std::free);
  AnalyserCommand command(env, registry);
  command.convert();
  ASSERT_EQ(env.messages.size(), 1u);
  EXPECT_EQ(env.messages[0].text, msg::kNoMemory);
  EXPECT_EQ(env.messages[0].icon, MessageIcon::None);
  EXPECT_EQ(env.windowOpens, 0);
  EXPECT_EQ(registry.count(), 0);
  EXPECT_FALSE(command.busy());
  EXPECT_FALSE(std::filesystem::exists(dir.file("take.dat")));
}

}  // namespace
