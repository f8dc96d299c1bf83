#include "sevrane_terminal.h"

#include <gtest/gtest.h>

#include "analyser_window.h"
#include "messages.h"
#include "partial_extraction.h"

namespace {

using terminal::ParseOutcome;
using terminal::SevraneOptions;

ParseOutcome parse(std::vector<const char*> args, SevraneOptions& options) {
  args.insert(args.begin(), "sevrane-cli");
  std::string error;
  return terminal::parseSevraneArguments(static_cast<int>(args.size()), args.data(), options,
                                         error);
}

TEST(SevraneTerminalTest, OptionsAnswerTheRadioButtonsFreely) {
  SevraneOptions options;
  ASSERT_EQ(
      parse({"--unit", "20", "--onset-shift", "--optimise", "--threads", "3", "x.wav"}, options),
      ParseOutcome::Run);
  EXPECT_EQ(options.threads, 3);
  terminal::TerminalEnvironment env(options, false);
  EXPECT_EQ(env.controlText(analyser::kWaveFileField), "x.wav");
  const analyser::AnalysisSettings s = analyser::readAnalysisSettings(env);
  EXPECT_EQ(s.unitsPerSecond, 20);
  EXPECT_EQ(s.frameLength, 2205);
  EXPECT_EQ(s.onsetShift, 1);
  EXPECT_EQ(s.passCount, 4);

  SevraneOptions defaults;
  ASSERT_EQ(parse({"--", "-odd name.wav"}, defaults), ParseOutcome::Run);
  EXPECT_EQ(defaults.files, std::vector<std::string>{"-odd name.wav"});
  terminal::TerminalEnvironment plain(defaults, false);
  const analyser::AnalysisSettings d = analyser::readAnalysisSettings(plain);
  EXPECT_EQ(d.unitsPerSecond, 60);
  EXPECT_EQ(d.onsetShift, 0);
  EXPECT_EQ(d.passCount, 1);
  // Without a terminal there is no progress display, but the pump still runs.
  EXPECT_FALSE(plain.openProgressWindow());
}

TEST(SevraneTerminalTest, ProgressLineShowsBarPercentageAndLabel) {
  EXPECT_EQ(terminal::TerminalEnvironment::progressLine("残り時間約12秒", 0.5),
            "[###############...............]  50%  残り時間約12秒");
  EXPECT_EQ(terminal::TerminalEnvironment::progressLine("x", 1.7),
            "[##############################] 100%  x");
  EXPECT_EQ(terminal::TerminalEnvironment::progressLine("x", -1.0),
            "[..............................]   0%  x");
}

TEST(SevraneTerminalTest, ExitStatusFollowsTheFinalMessage) {
  EXPECT_EQ(terminal::sevraneExitStatus(std::string(msg::kFinished)), 0);
  EXPECT_EQ(terminal::sevraneExitStatus(std::string(msg::kCancelled)), 130);
  EXPECT_EQ(terminal::sevraneExitStatus(std::string(msg::kNot44100)), 1);
  EXPECT_EQ(terminal::sevraneExitStatus(""), 1);
}

}  // namespace
