// What both terminal programs share beyond the option grammar: Ctrl-C as a flag, exit
// statuses of a batch, the lines one outcome prints, and --version.
#pragma once

#include <string>
#include <string_view>

namespace terminal {

// Installs a SIGINT handler that only raises a flag (a second SIGINT ends the process the
// usual way) and reports whether one has arrived. SIGINT ignored at start stays ignored.
void installInterruptHandler();
bool interruptReceived();
void clearInterrupt();

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

// "NAME VERSION\n", the version being the project's.
std::string versionText(std::string_view program);

}  // namespace terminal
