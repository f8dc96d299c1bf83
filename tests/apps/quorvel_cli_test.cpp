// Runs the quorvel-cli program as a user would and checks its files, output and exit status.
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "cable_budget.h"
#include "converter_window.h"
#include "messages.h"
#include "smf_checker.h"
#include "targets/targets.h"
#include "test_frames.h"
#include "wide_frames.h"

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

namespace {

struct CliRun {
  int status = -1;
  std::string out, err;
};

std::string quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) {
    if (c == '\'') {
      q += "'\\''";
    } else {
      q += c;
    }
  }
  return q + "'";
}

std::string slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

Bytes frames(int count) {
  std::vector<common::NoteFrame> f(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    for (int k = 0; k < 6; ++k) {
      auto& slot = f[static_cast<std::size_t>(i)].slots[static_cast<std::size_t>(k)];
      slot.level = (i / 30 + k) % 4 == 0 ? 0 : 100000 + 5000 * ((i + 3 * k) % 11);
      slot.frequency =
          static_cast<int32_t>(1500.0 * std::pow(2.0, k * 0.5 + std::sin(i * 0.01 + k)));
    }
  }
  f.back().slots[7] = {1, 60};
  return testing_frames::encodeFrames(f);
}

class QuorvelCliTest : public ::testing::Test {
 protected:
  QuorvelCliTest()
      : dir_(std::string("cli-") +
             ::testing::UnitTest::GetInstance()->current_test_info()->name()) {}

  CliRun run(const std::vector<std::string>& args) {
    std::string command = quote(QUORVEL_CLI);
    // Appended piece by piece: GCC 12 at -O3 reports a false overlap (-Wrestrict) in
    // "literal" + std::string&&.
    for (const auto& a : args) command.append(" ").append(quote(a));
    command.append(" >").append(quote((dir_ / "stdout").string()));
    command.append(" 2>").append(quote((dir_ / "stderr").string()));
    CliRun r;
    const int raw = std::system(command.c_str());
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = slurp(dir_ / "stdout");
    r.err = slurp(dir_ / "stderr");
    return r;
  }
  // The file the convert command itself makes of `input` with these options.
  Bytes direct(const std::string& input, const midibuilder::BuilderOptions& options) {
    const fs::path copy = dir_ / "direct.dat";
    fs::copy_file(input, copy, fs::copy_options::overwrite_existing);
    auto tables = std::make_unique<midibuilder::BuilderTables>();
    common::AllocationRegistry registry;
    EXPECT_EQ(midibuilder::convertDatFile(*tables, registry, options, copy.string()), "");
    return testing_frames::readBytes(dir_ / "direct.mid");
  }

  testing_frames::TempDir dir_;
};

const std::string kFinishedLine = std::string(msg::kFinished) + "\n";

TEST_F(QuorvelCliTest, DefaultsMatchTheWindow) {
  const std::string input = (dir_ / "voice.dat").string();
  testing_frames::writeBytes(input, frames(400));
  const CliRun r = run({input});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, kFinishedLine);
  EXPECT_EQ(r.err, "");
  const Bytes out = testing_frames::readBytes(dir_ / "voice.mid");
  EXPECT_EQ(smf_check::check(out), "");
  EXPECT_EQ(out, direct(input, midibuilder::BuilderOptions{}));
}

TEST_F(QuorvelCliTest, EveryOptionReachesTheConversion) {
  const std::string input = (dir_ / "Voice.DAT").string();
  testing_frames::writeBytes(input, frames(400));
  const CliRun r =
      run({"--tempo", "97.5", "--time-base=960.7", "--note-start", "5000", "--polyphony", "4",
           "--channels=8", "--device", "sc-88", "--pitch-sort", "off", input});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, kFinishedLine);
  midibuilder::BuilderOptions o;
  o.tempo = 97.5;
  o.timeBase = 960;
  o.noteStartTime = 5000;
  o.polyphony = 4;
  o.usedChannels = 8;
  o.device = midibuilder::kDeviceSc88;
  o.pitchSort = false;
  const Bytes out = testing_frames::readBytes(dir_ / "Voice.mid");
  EXPECT_EQ(out, direct(input, o));
  EXPECT_NE(out, direct(input, midibuilder::BuilderOptions{}));

  for (const char* device : {"sc-8850", "msgs", "halvoran"}) {
    const CliRun again = run({"--device", device, "--polyphony", "5", "--channels", "7", input});
    EXPECT_EQ(again.status, 0) << device;
    EXPECT_EQ(smf_check::check(testing_frames::readBytes(dir_ / "Voice.mid")), "") << device;
  }
}

TEST_F(QuorvelCliTest, RefusalsAndFailuresGoToStandardErrorWithStatusOne) {
  const std::string input = (dir_ / "a.dat").string();
  testing_frames::writeBytes(input, frames(10));
  struct Case {
    std::vector<std::string> args;
    std::string_view message;
  } cases[] = {
      {{"--channels", "4", "--polyphony", "5", "--tempo", "abc", input},
       msg::kChannelsBelowPolyphony},
      {{"--tempo", "abc", input}, msg::kTempoRange},
      {{"--tempo", "", input}, msg::kTempoRange},
      {{"--tempo", "inf", input}, msg::kTempoRange},
      {{"--time-base", "23", input}, msg::kTimeBaseRange},
      {{"--time-base", "961", input}, msg::kNoteStartTooEarly},
      {{(dir_ / "a.dat1").string()}, msg::kSpecifyDat},
      {{(dir_ / "missing.dat").string()}, msg::kFileNotFound},
  };
  for (const Case& c : cases) {
    const CliRun r = run(c.args);
    EXPECT_EQ(r.status, 1) << c.message;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.substr(0, r.err.find('\n') + 1), std::string(c.message) + "\n");
  }
  EXPECT_FALSE(fs::exists(dir_ / "a.mid"));
  // A trailing blank on the name is dropped, as in the window.
  const CliRun blank = run({input + "  "});
  EXPECT_EQ(blank.status, 0);
  EXPECT_TRUE(fs::exists(dir_ / "a.mid"));
}

TEST_F(QuorvelCliTest, UsageErrorsAndHelp) {
  for (const auto& args : std::vector<std::vector<std::string>>{{},
                                                                {"--tempo"},
                                                                {"--bogus", "x.dat"},
                                                                {"--device", "sc88", "x.dat"},
                                                                {"--polyphony", "7", "x.dat"},
                                                                {"--channels", "3", "x.dat"},
                                                                {"--pitch-sort", "yes", "x.dat"},
                                                                {"--device=", "x.dat"}}) {
    const CliRun r = run(args);
    EXPECT_EQ(r.status, 2) << (args.empty() ? "" : args[0]);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("--help"), std::string::npos);
  }
  const CliRun help = run({"--help"});
  EXPECT_EQ(help.status, 0);
  for (const char* option : {"--tempo", "--time-base", "--note-start", "--polyphony", "--channels",
                             "--device", "--pitch-sort", "halvoran", "sc-8850"}) {
    EXPECT_NE(help.out.find(option), std::string::npos) << option;
  }
}

// --budget reaches the build stage and tells what it did; values outside din and 1000 to
// 1000000 bytes a second are usage errors.
TEST_F(QuorvelCliTest, BudgetFitsTheFileAndRefusesAbsurdRates) {
  const std::string input = (dir_ / "v.dat").string();
  testing_frames::writeBytes(input, frames(400));
  const CliRun r = run({"--budget", "1000", input});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, kFinishedLine);
  EXPECT_EQ(r.err.rfind("budget: ", 0), 0u) << r.err;
  const Bytes fitted = midibuilder::fitCableBudget(direct(input, {}), 1000).bytes;
  EXPECT_EQ(testing_frames::readBytes(dir_ / "v.mid"), fitted);
  EXPECT_EQ(run({"--budget=DIN", input}).status, 0);
  for (const char* value : {"999", "1000001", "dinn", "", "-5"}) {
    const CliRun bad = run({"--budget", value, input});
    EXPECT_EQ(bad.status, 2) << value;
    EXPECT_NE(bad.err.find("--budget"), std::string::npos) << value;
  }
}

// A .wdat file takes --polyphony and --channels up to 15 (the polyphony at most its voices when
// above six); a DAT file keeps the window's buttons.
TEST_F(QuorvelCliTest, WideFileTakesUpToFifteenVoices) {
  common::NoteFrames f;
  f.voices = 9;
  f.framesPerSecond = 240;
  f.method = "tracked";
  for (int i = 0; i < 200 * 9; ++i) f.slots.push_back({100000 + i, 1000 + 50 * (i % 9)});
  const std::string input = (dir_ / "nine.wdat").string();
  ASSERT_EQ(common::writeWideFile(input, f), "");
  const std::string out = (dir_ / "out.mid").string();
  const CliRun r = run({"--polyphony", "9", "--channels=15", "-o", out, input});
  EXPECT_EQ(r.status, 0) << r.err;
  smf_check::File file;
  ASSERT_EQ(smf_check::check(testing_frames::readBytes(out), &file), "");
  EXPECT_EQ(file.trackCount, 16);

  const CliRun above = run({"--polyphony", "10", "--channels", "10", input});
  EXPECT_EQ(above.status, 1);
  EXPECT_EQ(above.err.substr(0, above.err.find('\n')), msg::kPolyphonyAboveVoices);
  EXPECT_EQ(run({"--polyphony", "16", input}).status, 2);
  EXPECT_EQ(run({"--channels", "9", input, (dir_ / "a.dat").string()}).status, 2);
  EXPECT_EQ(run({"-o", out, input, input}).status, 2);
}

TEST_F(QuorvelCliTest, BatchNamesEachOutcomeAndGlossesRefusals) {
  const std::string a = (dir_ / "a.dat").string();
  const std::string missing = (dir_ / "missing.dat").string();
  testing_frames::writeBytes(a, frames(10));
  const CliRun r = run({a, missing, "--device=MSGS"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, a + ": " + kFinishedLine);
  EXPECT_EQ(r.err, missing + ": " + std::string(msg::kFileNotFound) + "\n" + missing +
                       ": file not found\n");
  midibuilder::BuilderOptions o;
  o.device = midibuilder::kDeviceMsgs;
  EXPECT_EQ(testing_frames::readBytes(dir_ / "a.mid"), direct(a, o));

  const CliRun refused = run({"--tempo", "20", a});
  EXPECT_EQ(refused.err, std::string(msg::kTempoRange) + "\ngive a tempo from 30 to 1000\n");
  const CliRun version = run({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out.rfind("quorvel-cli ", 0), 0u);
}

#ifdef CLI_WITH_MEDIA
TEST_F(QuorvelCliTest, RenderAndPlotWriteBesideTheMidiFile) {
  const std::string input = (dir_ / "voice.dat").string();
  testing_frames::writeBytes(input, frames(120));
  const CliRun r = run({"--render", "--plot", input});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, kFinishedLine);
  const Bytes cut = testing_frames::readBytes(dir_ / "voice-rendered.wav");
  ASSERT_GT(cut.size(), 44u);
  EXPECT_EQ(std::string(cut.begin(), cut.begin() + 4), "RIFF");
  const Bytes png = testing_frames::readBytes(dir_ / "voice-rendered.png");
  ASSERT_GT(png.size(), 8u);
  EXPECT_EQ(std::string(png.begin() + 1, png.begin() + 4), "PNG");

  // The lead-in is the note start: 1920 ticks at 480 per quarter note and 120 per minute, 2 s
  // of 4-byte stereo frames.
  const CliRun kept = run({"--render=" + (dir_ / "kept.wav").string(), "--keep-lead-in", input});
  EXPECT_EQ(kept.status, 0) << kept.err;
  const double extra = double(testing_frames::readBytes(dir_ / "kept.wav").size()) - cut.size();
  EXPECT_NEAR(extra, 2.0 * 44100 * 4, 0.05 * 44100 * 4);

  const CliRun twoNames = run({"--render=x.wav", input, input});
  EXPECT_EQ(twoNames.status, 2);
  EXPECT_EQ(std::count(twoNames.err.begin(), twoNames.err.end(), '\n'), 2);
}

TEST_F(QuorvelCliTest, ARenderOverTheCapSaysSoAndWritesNoRenderingAndNoSuccess) {
  const std::string input = (dir_ / "far.dat").string();
  testing_frames::writeBytes(input, frames(60));
  // A lead-in of 870000 ticks at 960 a second: 906 s, past the renderer's 900 s.
  const CliRun r = run({"--render", "--note-start", "870000", input});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  const std::string mid = (dir_ / "far.mid").string();
  const std::string wav = (dir_ / "far-rendered.wav").string();
  EXPECT_EQ(r.err, std::string(msg::kAudioTooLong) +
                       "\nthe MIDI file plays longer than 900 seconds, the longest rendering "
                       "made; " +
                       mid + " was written, " + wav + " was not\n");
  EXPECT_TRUE(fs::exists(mid));
  EXPECT_FALSE(fs::exists(wav));
}
#endif

TEST_F(QuorvelCliTest, ABatchWhoseFilesWouldWriteOneOutputIsRefusedBeforeAnyWork) {
  const std::string lower = (dir_ / "take.dat").string();
  const std::string upper = (dir_ / "take.DAT").string();
  testing_frames::writeBytes(lower, frames(60));
  testing_frames::writeBytes(upper, frames(60));
  const CliRun r = run({lower, upper});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err.substr(0, r.err.find('\n')), "quorvel-cli: " + lower + " and " + upper +
                                                   " would both write " +
                                                   (dir_ / "take.mid").string());
  EXPECT_FALSE(fs::exists(dir_ / "take.mid"));
}

TEST_F(QuorvelCliTest, TheLongestAnalyserFileConverts) {
  const std::string input = (dir_ / "long.dat").string();
  testing_frames::writeBytes(input, frames(36001));
  const CliRun r = run({"--channels", "8", input});
  EXPECT_EQ(r.status, 0) << r.err;
  smf_check::File file;
  ASSERT_EQ(smf_check::check(testing_frames::readBytes(dir_ / "long.mid"), &file), "");
  EXPECT_EQ(file.trackCount, 9);

  testing_frames::writeBytes(dir_ / "longer.dat", Bytes(36002 * 64, 0));
  const CliRun refused = run({(dir_ / "longer.dat").string()});
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.err.substr(0, refused.err.find('\n') + 1),
            std::string(msg::kDatTooLong) + "\n");
  EXPECT_FALSE(fs::exists(dir_ / "longer.mid"));
}

TEST_F(QuorvelCliTest, MergeIntoWritesBesideTheSongAndNeverOverIt) {
  const std::string input = (dir_ / "take.dat").string();
  testing_frames::writeBytes(input, frames(200));
  // One track of 96 ticks a quarter playing on channels 1 to 11 (0 to 10 counted from 0).
  Bytes song{'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0, 96, 'M', 'T', 'r', 'k', 0, 0, 0, 37};
  for (uint8_t c = 0; c < 11; ++c) song.insert(song.end(), {0, static_cast<uint8_t>(0xC0 | c), 1});
  song.insert(song.end(), {0, 0xFF, 0x2F, 0});
  const fs::path songPath = dir_ / "song.mid";
  testing_frames::writeBytes(songPath, song);

  const CliRun r = run({"--merge-into", songPath.string(), "--at", "2:1.5", "--channels", "4",
                        "--polyphony", "4", input});
  EXPECT_EQ(r.status, 0) << r.err;
  smf_check::File merged;
  EXPECT_EQ(smf_check::check(testing_frames::readBytes(dir_ / "song-with-take.mid"), &merged), "");
  EXPECT_EQ(merged.trackCount, 5);  // --channels 4 of the 5 free
  EXPECT_EQ(testing_frames::readBytes(songPath), song);

  const CliRun over = run({"--merge-into", songPath.string(), "--at", "0", "-o",
                           (dir_ / "." / "song.mid").string(), "--channels", "5", input});
  EXPECT_EQ(over.status, 1);
  EXPECT_EQ(testing_frames::readBytes(songPath), song);
  const CliRun crowded = run({"--merge-into", songPath.string(), "--at", "0", input});
  EXPECT_EQ(crowded.status, 1);
  EXPECT_EQ(crowded.err, "quorvel-cli: the song leaves 5 channels free; the speech needs 6\n");
}

}  // namespace

TEST_F(QuorvelCliTest, TargetsBeyondTheButtonsBendRangesAndSoundFonts) {
  const std::string input = (dir_ / "voice.dat").string();
  testing_frames::writeBytes(input, frames(60));
  // --device mpe (any case) and --bend-range reach the conversion.
  const std::string out = (dir_ / "mpe.mid").string();
  const CliRun mpe = run({"--device", "MPE", "--bend-range", "12", "-o", out, input});
  EXPECT_EQ(mpe.status, 0) << mpe.err;
  midibuilder::BuilderOptions options;
  options.target = &midibuilder::targets::mpe();
  options.bendRange = 12;
  EXPECT_EQ(testing_frames::readBytes(out), direct(input, options));

  // Ranges the target does not take, or none at all, are usage errors naming the choices.
  const CliRun gs = run({"--device", "sc-88", "--bend-range", "48", input});
  EXPECT_EQ(gs.status, 2);
  EXPECT_NE(gs.err.find("(choose 2, 12 or 24)"), std::string::npos) << gs.err;
  EXPECT_EQ(run({"--bend-range", "7", input}).status, 2);

  // A SoundFont that is missing or not one is refused before anything is written.
  fs::remove(dir_ / "voice.mid");
  const CliRun missing = run({"--render", "--soundfont", (dir_ / "none.sf2").string(), input});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("cannot use the SoundFont"), std::string::npos) << missing.err;
  EXPECT_EQ(run({"--render", "--soundfont", input, input}).status, 1);  // not a SoundFont
  EXPECT_FALSE(fs::exists(dir_ / "voice.mid"));
  EXPECT_EQ(run({"--soundfont", input, input}).status, 2);  // nothing to render
}
