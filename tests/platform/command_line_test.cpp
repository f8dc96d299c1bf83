#include "command_line.h"

#include <gtest/gtest.h>

#include "analyser_window.h"
#include "converter_window.h"

namespace {

using namespace midibuilder;
using terminal::LineOutcome;

terminal::ParsedLine parse(const common::ControlModel& model, std::vector<std::string> args,
                           common::ControlState& controls) {
  terminal::ProgramLine line;
  line.name = "prog";
  line.model = &model;
  return terminal::parseLine(line, args, controls);
}

TEST(CommandLineTest, BothFormsAnyCaseAndDoubleDashEndsOptions) {
  common::ControlState controls(converterControls());
  const terminal::ParsedLine p =
      parse(converterControls(),
            {"--tempo=97.5", "--device", "SC-88", "--pitch-sort=OFF", "a.dat", "--", "--b.dat"},
            controls);
  ASSERT_EQ(p.outcome, LineOutcome::Run) << p.error;
  EXPECT_EQ(p.files, (std::vector<std::string>{"a.dat", "--b.dat"}));
  EXPECT_EQ(controls.text(kTempoField), "97.5");
  EXPECT_EQ(controls.text(kTimeBaseField), "480");  // untouched: the window's initial text
  EXPECT_EQ(controls.checked, (std::set<int>{kSc88, kPitchSortOff, kPolyphony6, kChannels6}));

  common::ControlState sevrane(analyser::analyserControls());
  ASSERT_EQ(
      parse(analyser::analyserControls(), {"--optimize", "--unit=20", "x.wav"}, sevrane).outcome,
      LineOutcome::Run);
  EXPECT_EQ(sevrane.checked,
            (std::set<int>{analyser::kOptimiseOn, analyser::kUnit20, analyser::kShiftOff}));
}

TEST(CommandLineTest, UsageErrorsAreOneLineAndVersionAndHelpWin) {
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {}, {"--optimise=on", "x"}, {"--unit"}, {"--unit", "25", "x"}, {"--bogus", "x"}}) {
    common::ControlState controls(analyser::analyserControls());
    const terminal::ParsedLine p = parse(analyser::analyserControls(), args, controls);
    EXPECT_EQ(p.outcome, LineOutcome::UsageError) << (args.empty() ? "" : args[0]);
    EXPECT_FALSE(p.error.empty());
    EXPECT_EQ(p.error.find('\n'), std::string::npos) << p.error;
  }
  EXPECT_EQ(terminal::usageErrorText("prog", "no FILE given"),
            "prog: no FILE given\nTry 'prog --help'.\n");
  common::ControlState controls(converterControls());
  EXPECT_EQ(parse(converterControls(), {"x.dat", "--version", "--bogus"}, controls).outcome,
            LineOutcome::Version);
  EXPECT_EQ(parse(converterControls(), {"-h", "--tempo"}, controls).outcome, LineOutcome::Help);
  EXPECT_EQ(terminal::baseName("/usr/local/bin/quorvel-cli", "x"), "quorvel-cli");
}

TEST(CommandLineTest, CheckingAButtonClearsOnlyItsGroup) {
  common::ControlState state(converterControls());
  state.check(kChannels8);
  state.check(kMsgs);
  EXPECT_EQ(state.checked, (std::set<int>{kChannels8, kMsgs, kPolyphony6, kPitchSortOn}));
  EXPECT_EQ(state.text(kNoteStartField), kDefaultNoteStartText);
  state.resetToDefaults();
  EXPECT_EQ(state.checked, (std::set<int>{kChannels6, kHalvoran, kPolyphony6, kPitchSortOn}));
}

}  // namespace
