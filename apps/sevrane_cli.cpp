// sevrane-cli: WAVE file -> DAT note-frame file, through the same convert command as the
// window. See --help.
#include <unistd.h>

#include <cstdio>
#include <string>

#include "analyser_window.h"
#include "sevrane_terminal.h"

int main(int argc, char** argv) {
  terminal::SevraneOptions options;
  std::string error;
  switch (terminal::parseSevraneArguments(argc, argv, options, error)) {
    case terminal::ParseOutcome::Help:
      std::fputs(terminal::sevraneUsage().c_str(), stdout);
      return 0;
    case terminal::ParseOutcome::UsageError:
      std::fprintf(stderr, "sevrane-cli: %s\n\n%s", error.c_str(),
                   terminal::sevraneUsage().c_str());
      return 2;
    case terminal::ParseOutcome::Run:
      break;
  }

  const bool showProgress = !options.quiet && isatty(STDERR_FILENO) == 1;
  terminal::TerminalEnvironment env(options, showProgress);
  analyser::AnalyserCommand command(env);
  command.setThreadCount(options.threads);
  env.setInterruptAction([&command] { command.requestCancel(); });
  terminal::installInterruptHandler();

  command.convert();
  return terminal::sevraneExitStatus(env.lastMessage());
}
