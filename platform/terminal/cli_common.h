// What both terminal programs share beyond the option grammar: Ctrl-C as a flag, exit
// statuses of a batch, the lines one outcome prints, and --version.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace terminal {

// Installs a SIGINT handler that only raises a flag (a second SIGINT ends the process the
// usual way) and reports whether one has arrived. SIGINT ignored at start stays ignored.
void installInterruptHandler();
bool interruptReceived();
void clearInterrupt();
// The same flag for work that polls a std::atomic (a rendering's cancel flag).
const std::atomic<bool>& interruptFlag();

// Exit status for the message a conversion ended with: 0 finished, 130 cancelled, 1 otherwise.
int outcomeStatus(std::string_view message);
// The worse of two exit statuses, for a batch: 2 (usage) > 130 (cancelled) > 1 (refused or
// failed) > 0 (written).
int worseStatus(int a, int b);

// What one outcome prints: the message on stdout for success, else on stderr followed by its
// English gloss (when there is one). `prefix` ("take.wav: " in a batch) starts every line.
struct OutcomeLines {
  std::string out;
  std::string err;
};
OutcomeLines outcomeLines(std::string_view prefix, std::string_view message,
                          std::string_view gloss);

// Usage errors of the media options: built without the media layer, and an explicit output
// name given for several FILEs.
std::string noMediaError(std::string_view option);
std::string oneOutputError(std::string_view option);

// The progress line on stderr: "[####....]  42%  LABEL", redrawn in place at most ten times a
// second and wiped when done. Draws nothing when not enabled (not a terminal, or --quiet).
class ProgressLine {
 public:
  ProgressLine(std::function<void(const std::string&)> write, bool enabled);
  void draw(std::string_view label, double fractionDone);
  void clear();
  // The line for a fraction done and a label, without control characters.
  static std::string text(std::string_view label, double fractionDone);

 private:
  std::function<void(const std::string&)> write_;
  bool enabled_;
  bool drawn_ = false;
  int64_t lastDrawMillis_ = -1000;
};

// The names of the FILEs that would write the same output, one "a and b would both write c"
// per output; empty when every output is different. `outputsOf` gives the files one FILE
// writes; names are compared after resolving "." and ".." and symbolic links of the folders.
std::string sharedOutputs(
    const std::vector<std::string>& files,
    const std::function<std::vector<std::string>(const std::string&)>& outputsOf);

// Makes common::writeWholeFile flush each file, and then its folder, to the disk (fsync).
void installDurableWrites();

// "NAME VERSION\n", the version being the project's.
std::string versionText(std::string_view program);

}  // namespace terminal
