// The terminal twin of Sevrane's window: the command-line options answer the radio buttons,
// each FILE argument in turn is the file-name field, the progress window is a line on stderr,
// and SIGINT plays the part of the progress window's cancel button.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "analyser_window.h"
#include "cli_common.h"
#include "control_model.h"
#include "environment.h"

namespace terminal {

struct SevraneOptions {
  // The window's radio buttons, starting from its initial state.
  common::ControlState controls;
  bool quiet = false;  // no progress display
  int threads = 0;     // worker threads for the estimates, 0 = all
  // Taken exactly as the file-name field would hold them.
  std::vector<std::string> files;
  bool convert = false;         // read any recording through the media layer
  bool plot = false;            // draw the picture of each analysed recording
  std::string plotPath;         // its name when given (one FILE only); else beside the DAT
  double startSeconds = 0.0;    // --start: where the analysed part begins
  double lengthSeconds = -1.0;  // --length: how long it is at most (negative: to the end)
  bool debug = false;           // --debug: show the decoder libraries' own messages
  bool ranged() const { return startSeconds > 0.0 || lengthSeconds >= 0.0; }
  std::string method = "seed";  // --method: the analysis method by name
  int32_t voices = 0;           // --voices (0: the method's default)
  int32_t frameRate = 0;        // --frame-rate (0: the method's default)
  std::string outputPath;       // -o, --output: the note-frame file of a single FILE

  SevraneOptions();
};

enum class ParseOutcome { Run, Help, Version, UsageError };

// Parses argv; on UsageError `error` says what was wrong (one line).
ParseOutcome parseSevraneArguments(int argc, const char* const* argv, SevraneOptions& options,
                                   std::string& error);
std::string sevraneUsage();

// Exit status for the message a conversion ended with: 0 finished, 130 cancelled, 1 otherwise.
int sevraneExitStatus(const std::string& message);

class TerminalEnvironment : public common::MapEnvironment<common::ProgressEnvironment> {
 public:
  // `showProgress`: draw the progress line on stderr (callers pass isatty && !quiet). The file
  // field holds the first FILE.
  TerminalEnvironment(const SevraneOptions& options, bool showProgress);

  // Called by the message pump when SIGINT has arrived.
  void setInterruptAction(std::function<void()> action) { onInterrupt_ = std::move(action); }
  // Starts every printed line (the file name in a batch).
  void setLinePrefix(std::string prefix) { prefix_ = std::move(prefix); }
  const std::string& linePrefix() const { return prefix_; }
  // The English line printed after a message other than the success message ("" for none).
  void setGlosser(std::function<std::string(std::string_view)> glosser) {
    glosser_ = std::move(glosser);
  }

  // The last message shown ("" when none).
  const std::string& lastMessage() const { return lastMessage_; }
  void clearLastMessage() { lastMessage_.clear(); }

  // One line: stdout for "終了しました", stderr for everything else, then its gloss.
  void showMessage(std::string_view text, common::MessageIcon icon) override;

  bool counterFrequency(int64_t& ticksPerSecond) override;
  int64_t counterNow() override;
  int32_t clockMillis() override;

  bool openProgressWindow() override;
  void closeProgressWindow() override;
  bool progressWindowOpen() const override { return progressOpen_; }
  void refreshProgress(std::string_view label, double fractionDone) override;
  void pumpMessages() override;

  // The progress line for a fraction done and a label, without control characters.
  static std::string progressLine(std::string_view label, double fractionDone);

 private:
  bool showProgress_;
  bool progressOpen_ = false;
  bool lineDrawn_ = false;
  int64_t lastDrawMillis_ = -1000;
  std::chrono::steady_clock::time_point start_;
  std::function<void()> onInterrupt_;
  std::function<std::string(std::string_view)> glosser_;
  std::string prefix_;
  std::string lastMessage_;
};

// The English line for a refusal: the gloss of `message`, with the file's actual rate or
// sample size as the loader read them (`format`) when it refused them (`converting` false).
// `convertHint`: say that --convert would read it, where it would (a data length the header gives
// as unknown included). `partHint`: say that --start and --length would take a part of a recording
// too long. A write failure names the path and the system's reason.
std::string sevraneGloss(std::string_view message, const analyser::WaveFormat& format,
                         bool converting, bool convertHint, bool partHint = false);

// What the media layer lends the program when it is built with it; without it the options
// that need it are usage errors.
struct SevraneMedia {
  std::function<analyser::SignalSource()> anyRecordingSource;  // --convert
  // --plot: the picture of a recording with its DAT's tracks; "" or a fixed message.
  std::function<std::string(const std::string& recording, const std::string& dat,
                            const std::string& png)>
      plotRecording;
  std::function<std::string(const std::string& output)> plotPathFor;  // x.dat -> x.png
  // --start/--length: a source reading that part of a recording (`anyFormat`: as --convert,
  // else only what the WAVE loader reads). Lengths in seconds; negative length: to the end.
  std::function<analyser::SignalSource(double start, double length, bool anyFormat)> partSource;
  // Runs `work` with the decoder libraries' own messages to stderr kept back; returns them.
  std::function<std::string(const std::function<void()>& work)> quietDecoders;
};

// The whole program: parse, convert every FILE, report. Returns the exit status.
int runSevraneCli(int argc, const char* const* argv, const SevraneMedia& media = {});

}  // namespace terminal
