#include "sevrane_terminal.h"

#include <signal.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "analyser_window.h"
#include "messages.h"
#ifdef _WIN32
#include "console.h"
#endif

namespace terminal {

namespace {

volatile sig_atomic_t interrupted = 0;

extern "C" void onSigint(int) {
  interrupted = 1;
}

bool parseInt(const char* text, long low, long high, long& value) {
  if (text == nullptr || *text == '\0') return false;
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(text, &end, 10);
  if (errno != 0 || *end != '\0' || v < low || v > high) return false;
  value = v;
  return true;
}

}  // namespace

ParseOutcome parseSevraneArguments(int argc, const char* const* argv, SevraneOptions& options,
                                   std::string& error) {
  bool haveFile = false;
  bool optionsEnded = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
      long value = 0;
      if (arg == "--") {
        optionsEnded = true;
      } else if (arg == "--help" || arg == "-h") {
        return ParseOutcome::Help;
      } else if (arg == "--optimise" || arg == "--optimize") {
        options.optimise = true;
      } else if (arg == "--onset-shift") {
        options.onsetShift = true;
      } else if (arg == "--quiet" || arg == "-q") {
        options.quiet = true;
      } else if (arg == "--unit" || arg == "--threads") {
        if (i + 1 >= argc) {
          error = arg + " needs a value";
          return ParseOutcome::UsageError;
        }
        const char* text = argv[++i];
        if (arg == "--unit") {
          if (!parseInt(text, 15, 60, value) ||
              (value != 15 && value != 20 && value != 30 && value != 60)) {
            error = std::string("--unit must be 15, 20, 30 or 60, not '") + text + "'";
            return ParseOutcome::UsageError;
          }
          options.unit = static_cast<int32_t>(value);
        } else {
          if (!parseInt(text, 0, 1024, value)) {
            error = std::string("--threads must be a number from 0 to 1024, not '") + text + "'";
            return ParseOutcome::UsageError;
          }
          options.threads = static_cast<int>(value);
        }
      } else {
        error = "unknown option " + arg;
        return ParseOutcome::UsageError;
      }
      continue;
    }
    if (haveFile) {
      error = "only one FILE may be given";
      return ParseOutcome::UsageError;
    }
    options.file = arg;
    haveFile = true;
  }
  if (!haveFile) {
    error = "no FILE given";
    return ParseOutcome::UsageError;
  }
  return ParseOutcome::Run;
}

std::string sevraneUsage() {
  return "Usage: sevrane-cli [--optimise] [--unit 15|20|30|60] [--onset-shift] [--quiet]\n"
         "                   [--threads N] FILE\n"
         "\n"
         "Analyses the WAVE file FILE (PCM, 44100 Hz, 16-bit, mono or stereo, at most 600\n"
         "seconds) into six sinusoidal partials per frame and writes them beside it as a DAT\n"
         "note-frame file: FILE without its last four characters, followed by \".dat\".\n"
         "FILE must end in \"wav\" (any case); trailing blanks are ignored.\n"
         "\n"
         "Options:\n"
         "  --optimise       re-estimate every partial in four passes instead of one\n"
         "                   (slower, about four times as long)\n"
         "  --unit N         frames per second: 15, 20, 30 or 60 (default 60, that is\n"
         "                   1/60-second frames, the timing the MIDI builder assumes)\n"
         "  --onset-shift    stagger the analysis windows of the six partials by\n"
         "                   multiples of 1/60 second (default: off)\n"
         "  --quiet, -q      no progress display on stderr\n"
         "  --threads N      worker threads for the estimates, 0 = all hardware threads\n"
         "                   (default 0)\n"
         "  --help, -h       show this text\n"
         "\n"
         "The outcome is one line: \"終了しました\" on stdout when the file was written,\n"
         "otherwise the reason on stderr. Ctrl-C cancels the analysis (\"中止しました\");\n"
         "nothing is written then.\n"
         "\n"
         "Exit status: 0 written, 1 refused or failed, 2 usage error, 130 cancelled.\n";
}

int sevraneExitStatus(const std::string& message) {
  if (message == msg::kFinished) return 0;
  if (message == msg::kCancelled) return 130;
  return 1;
}

void installInterruptHandler() {
#ifdef _WIN32
  // The C runtime delivers Ctrl-C as SIGINT and resets the handler on delivery, so a second
  // Ctrl-C ends the process at once, as below.
  if (signal(SIGINT, &onSigint) == SIG_IGN) signal(SIGINT, SIG_IGN);
#else
  // A program started with Ctrl-C ignored (nohup, a background job of a script) keeps it
  // ignored, as the shell meant.
  struct sigaction current;
  if (sigaction(SIGINT, nullptr, &current) == 0 && current.sa_handler == SIG_IGN) return;
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = &onSigint;
  sigemptyset(&action.sa_mask);
  // The first Ctrl-C asks for a clean cancel; a second one ends the process at once.
  action.sa_flags = SA_RESETHAND;
  sigaction(SIGINT, &action, nullptr);
#endif
}

bool interruptReceived() {
  return interrupted != 0;
}
void clearInterrupt() {
  interrupted = 0;
}

TerminalEnvironment::TerminalEnvironment(const SevraneOptions& options, bool showProgress)
    : options_(options), showProgress_(showProgress), start_(std::chrono::steady_clock::now()) {}

std::string TerminalEnvironment::controlText(int id) const {
  return id == analyser::kWaveFileField ? options_.file : std::string();
}

void TerminalEnvironment::setControlText(int id, std::string_view text) {
  if (id == analyser::kWaveFileField) options_.file = std::string(text);
}

bool TerminalEnvironment::isRadioChecked(int id) const {
  switch (id) {
    case analyser::kUnit15:
      return options_.unit == 15;
    case analyser::kUnit20:
      return options_.unit == 20;
    case analyser::kUnit30:
      return options_.unit == 30;
    case analyser::kUnit60:
      return options_.unit == 60;
    case analyser::kShiftOn:
      return options_.onsetShift;
    case analyser::kShiftOff:
      return !options_.onsetShift;
    case analyser::kOptimiseOff:
      return !options_.optimise;
    case analyser::kOptimiseOn:
      return options_.optimise;
    default:
      return false;
  }
}

void TerminalEnvironment::showMessage(std::string_view text, common::MessageIcon) {
  lastMessage_ = std::string(text);
  std::FILE* out = text == msg::kFinished ? stdout : stderr;
#ifdef _WIN32
  win32::writeText(out, std::string(text) + "\n");
#else
  std::fprintf(out, "%.*s\n", static_cast<int>(text.size()), text.data());
  std::fflush(out);
#endif
}

bool TerminalEnvironment::counterFrequency(int64_t& ticksPerSecond) {
  using Period = std::chrono::steady_clock::period;
  if (Period::num != 1 || Period::den <= 0) return false;
  ticksPerSecond = static_cast<int64_t>(Period::den);
  return true;
}

int64_t TerminalEnvironment::counterNow() {
  return static_cast<int64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
}

int32_t TerminalEnvironment::clockMillis() {
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::steady_clock::now() - start_)
                      .count();
  // Milliseconds since start-up; a run of more than 24 days stays at the top of the range.
  return static_cast<int32_t>(std::min<int64_t>(ms, INT32_MAX));
}

bool TerminalEnvironment::openProgressWindow() {
  progressOpen_ = showProgress_;
  lineDrawn_ = false;
  return progressOpen_;
}

void TerminalEnvironment::closeProgressWindow() {
  if (lineDrawn_) {
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
  }
  lineDrawn_ = false;
  progressOpen_ = false;
}

std::string TerminalEnvironment::progressLine(std::string_view label, double fractionDone) {
  constexpr int kWidth = 30;
  const double f = std::isfinite(fractionDone) ? std::clamp(fractionDone, 0.0, 1.0) : 0.0;
  const int filled = static_cast<int>(f * kWidth);
  std::string line = "[";
  line.append(static_cast<std::size_t>(filled), '#');
  line.append(static_cast<std::size_t>(kWidth - filled), '.');
  char percent[16];
  std::snprintf(percent, sizeof percent, "] %3d%%  ", static_cast<int>(f * 100));
  line += percent;
  line += label;
  return line;
}

void TerminalEnvironment::refreshProgress(std::string_view label, double fractionDone) {
  if (!progressOpen_) return;
  // The hook already refreshes at most every 100 ms; this keeps the terminal to ten lines a
  // second whatever calls it.
  const int64_t now = clockMillis();
  if (now - lastDrawMillis_ < 100) return;
  lastDrawMillis_ = now;
  const std::string line = progressLine(label, fractionDone);
#ifdef _WIN32
  win32::writeText(stderr, "\r" + line + "\033[K");
#else
  std::fprintf(stderr, "\r%s\033[K", line.c_str());
  std::fflush(stderr);
#endif
  lineDrawn_ = true;
}

void TerminalEnvironment::pumpMessages() {
  if (interruptReceived() && onInterrupt_) onInterrupt_();
}

}  // namespace terminal
