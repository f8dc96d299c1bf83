// sevrane-cli: WAVE file -> DAT note-frame file, through the same convert command as the
// window. See --help.
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "analyser_window.h"
#include "sevrane_terminal.h"
#ifdef _WIN32
#include "console.h"
#endif

int main(int argc, char** argv) {
#ifdef _WIN32
  // The arguments as UTF-8, from the UTF-16 command line: the ANSI code page may not hold the
  // file's name.
  const std::vector<std::string> wide = win32::utf8Arguments();
  std::vector<char*> utf8;
  for (const std::string& a : wide) utf8.push_back(const_cast<char*>(a.c_str()));
  utf8.push_back(nullptr);
  argc = static_cast<int>(wide.size());
  argv = utf8.data();
#endif
  terminal::SevraneOptions options;
  std::string error;
  switch (terminal::parseSevraneArguments(argc, argv, options, error)) {
    case terminal::ParseOutcome::Help:
#ifdef _WIN32
      win32::writeText(stdout, terminal::sevraneUsage());
#else
      std::fputs(terminal::sevraneUsage().c_str(), stdout);
#endif
      return 0;
    case terminal::ParseOutcome::UsageError:
#ifdef _WIN32
      win32::writeText(stderr, "sevrane-cli: " + error + "\n\n" + terminal::sevraneUsage());
#else
      std::fprintf(stderr, "sevrane-cli: %s\n\n%s", error.c_str(),
                   terminal::sevraneUsage().c_str());
#endif
      return 2;
    case terminal::ParseOutcome::Run:
      break;
  }

#ifdef _WIN32
  // A console draws the progress line only with its escape sequences switched on.
  const bool showProgress = !options.quiet && win32::enableTerminalSequences(stderr);
#else
  const bool showProgress = !options.quiet && isatty(STDERR_FILENO) == 1;
#endif
  terminal::TerminalEnvironment env(options, showProgress);
  analyser::AnalyserCommand command(env);
  command.setThreadCount(options.threads);
  env.setInterruptAction([&command] { command.requestCancel(); });
  terminal::installInterruptHandler();

  command.convert();
  return terminal::sevraneExitStatus(env.lastMessage());
}
