// The terminal twin of Sevrane's window: the command-line options answer the radio buttons,
// the FILE argument is the file-name field, the progress window is a line on stderr, and
// SIGINT plays the part of the progress window's cancel button.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "environment.h"

namespace terminal {

struct SevraneOptions {
  bool optimise = false;    // four passes instead of one
  int32_t unit = 60;        // frames per second: 15, 20, 30 or 60
  bool onsetShift = false;  // stagger the slots' analysis windows
  bool quiet = false;       // no progress display
  int threads = 0;          // worker threads for the estimates, 0 = all
  std::string file;         // taken exactly as the file-name field would hold it
};

enum class ParseOutcome { Run, Help, UsageError };

// Parses argv; on UsageError `error` says what was wrong.
ParseOutcome parseSevraneArguments(int argc, const char* const* argv, SevraneOptions& options,
                                   std::string& error);
std::string sevraneUsage();

// Exit status for the message a conversion ended with: 0 finished, 130 cancelled, 1 otherwise.
int sevraneExitStatus(const std::string& message);

// Installs a SIGINT handler that only raises a flag (a second SIGINT ends the process the
// usual way) and reports whether one has arrived. SIGINT ignored at start stays ignored.
void installInterruptHandler();
bool interruptReceived();
void clearInterrupt();

class TerminalEnvironment : public common::ProgressEnvironment {
 public:
  // `showProgress`: draw the progress line on stderr (callers pass isatty && !quiet).
  TerminalEnvironment(const SevraneOptions& options, bool showProgress);

  // Called by the message pump when SIGINT has arrived.
  void setInterruptAction(std::function<void()> action) { onInterrupt_ = std::move(action); }

  // The last message shown ("" when none).
  const std::string& lastMessage() const { return lastMessage_; }

  std::string controlText(int id) const override;
  void setControlText(int id, std::string_view text) override;
  bool isRadioChecked(int id) const override;
  // One line: stdout for "終了しました", stderr for everything else.
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
  SevraneOptions options_;
  bool showProgress_;
  bool progressOpen_ = false;
  bool lineDrawn_ = false;
  int64_t lastDrawMillis_ = -1000;
  std::chrono::steady_clock::time_point start_;
  std::function<void()> onInterrupt_;
  std::string lastMessage_;
};

}  // namespace terminal
