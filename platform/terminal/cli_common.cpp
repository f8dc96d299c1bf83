#include "cli_common.h"

#include <signal.h>

#include <cstring>

#include "messages.h"

#ifndef SEVRANE_QUORVEL_VERSION
#error "SEVRANE_QUORVEL_VERSION must name the project version"
#endif

namespace terminal {

namespace {

volatile sig_atomic_t interrupted = 0;

extern "C" void onSigint(int) {
  interrupted = 1;
}

int statusRank(int status) {
  switch (status) {
    case 0:
      return 0;
    case 1:
      return 1;
    case 130:
      return 2;
    default:
      return 3;  // usage errors and anything unforeseen
  }
}

}  // namespace

void installInterruptHandler() {
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
}

bool interruptReceived() {
  return interrupted != 0;
}

void clearInterrupt() {
  interrupted = 0;
}

int outcomeStatus(std::string_view message) {
  if (message == msg::kFinished) return 0;
  if (message == msg::kCancelled) return 130;
  return 1;
}

int worseStatus(int a, int b) {
  return statusRank(b) > statusRank(a) ? b : a;
}

OutcomeLines outcomeLines(std::string_view prefix, std::string_view message,
                          std::string_view gloss) {
  OutcomeLines lines;
  std::string& target = message == msg::kFinished ? lines.out : lines.err;
  target.append(prefix).append(message).append("\n");
  if (message != msg::kFinished && !gloss.empty()) {
    lines.err.append(prefix).append(gloss).append("\n");
  }
  return lines;
}

std::string noMediaError(std::string_view option) {
  return "this build has no media support (" + std::string(option) + ")";
}

std::string oneOutputError(std::string_view option) {
  return std::string(option) + "=OUT names one file; give it with a single FILE";
}

std::string versionText(std::string_view program) {
  return std::string(program) + " " + SEVRANE_QUORVEL_VERSION + "\n";
}

}  // namespace terminal
