// Quorvel's terminal front end: the converter window's controls filled from the command line,
// and the final message printed on one line (stdout for success, stderr otherwise, followed
// there by its English gloss).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "cli_common.h"
#include "control_model.h"
#include "environment.h"

namespace midibuilder {
struct TargetProfile;
}

namespace quorvel_terminal {

class TerminalWindow : public common::MapEnvironment<> {
 public:
  // Starts with the window's defaults.
  TerminalWindow(std::ostream& out, std::ostream& err);

  void showMessage(std::string_view text, common::MessageIcon icon) override;

  // Starts every printed line (the file name in a batch).
  void setLinePrefix(std::string prefix) { prefix_ = std::move(prefix); }
  // Prints a failure after the conversion (rendering, picture) as a message is printed, with
  // `english` as its English line.
  void reportFailure(std::string_view text, std::string_view english);
  // While held, the success message is kept rather than printed, until printHeldSuccess():
  // a run that renders says "終了しました" only when everything it was asked for is written.
  void holdSuccess(bool hold) { holdSuccess_ = hold; }
  void printHeldSuccess();

  // The message shown last, and whether it was the success message.
  const std::string& lastMessage() const { return lastMessage_; }
  void clearLastMessage() { lastMessage_.clear(); }
  bool succeeded() const;

 private:
  std::ostream& out_;
  std::ostream& err_;
  std::string prefix_;
  std::string lastMessage_;
  bool holdSuccess_ = false;
};

enum class ArgumentOutcome { Run, Help, Version, UsageError };

struct ArgumentResult {
  ArgumentOutcome outcome = ArgumentOutcome::Run;
  std::string error;               // for UsageError
  std::vector<std::string> files;  // for Run
  bool render = false;             // --render[=OUT.wav]
  std::string renderPath;
  bool keepLeadIn = false;
  bool plot = false;  // --plot[=OUT.png]
  std::string plotPath;
  bool quiet = false;      // -q, --quiet: no progress display
  std::string outputPath;  // -o, --output: the MIDI file of a single FILE
  int32_t budget = 0;      // --budget: bytes a second on the cable, 0 for none
  // The last --polyphony and --channels given as whole numbers (0 when none): for a .wdat FILE
  // they may go beyond the window's buttons, up to 15.
  int32_t polyphony = 0;
  int32_t channels = 0;
  // The usage errors that these values are for a DAT FILE when they name no button ("" when
  // the last value given names one).
  std::string polyphonyBeyondButtons;
  std::string channelsBeyondButtons;
  std::string mergeSong;   // --merge-into SONG.mid
  std::string mergeAt;     // --at SECONDS|BAR:BEAT
  bool listPorts = false;  // --list-ports
  bool play = false;       // --play[=PORT]
  std::string playPort;
  // --device naming a target beyond the window's buttons (null when the last names a button).
  const midibuilder::TargetProfile* target = nullptr;
  int32_t bendRange = 0;  // --bend-range (0: the target's own)
  std::string soundFont;  // --soundfont: the rendering's SoundFont instead of the sine one
};

// Reads the options into the window's controls and returns the FILE arguments.
ArgumentResult parseArguments(const std::vector<std::string>& args, TerminalWindow& window);

std::string usageText(std::string_view program);

// What the media layer lends the program when it is built with it; without it --render and
// --plot are usage errors.
struct QuorvelMedia {
  struct Job {
    std::string midiPath;    // the file just written
    std::string datPath;     // the DAT it came from
    std::string outputPath;  // the WAVE or picture to write
    bool keepLeadIn = false;
    std::string soundFont;  // "" for the built-in sine SoundFont
    int64_t startTick = 0;  // the note start time: where the DAT's frame 0 sounds
    // For the rendering: the fraction done and the seconds left, now and then; and the flag
    // that stops it (the job then returns msg::kCancelled).
    std::function<void(double fraction, double secondsLeft)> progress;
    const std::atomic<bool>* cancel = nullptr;
  };
  // Each returns "" or a fixed message.
  std::function<std::string(const Job&)> render;  // --render: a WAVE of the MIDI file
  std::function<std::string(const Job&)> plot;    // --plot: a picture of that rendering
  std::function<std::string(const std::string&)> renderedPathFor;  // x.mid -> x-rendered.wav
  std::function<std::string(const std::string&)> plotPathFor;      // x.mid -> x-rendered.png
  int maxRenderSeconds = 0;  // the longest rendering made (msg::kAudioTooLong beyond it)
  // Why a file cannot serve as a SoundFont, in English ("" when it can).
  std::function<std::string(const std::string&)> soundFontProblem;
};

// The whole program: parse, convert every FILE, report. Returns the exit status (0 success,
// 1 refusal or failure, 2 usage error, 130 interrupted; the worst of them for several FILEs).
// `progress`: draw the rendering's progress line on `err` (a terminal, and no --quiet).
int runQuorvelCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                  const QuorvelMedia& media = {}, bool progress = false);

}  // namespace quorvel_terminal
