// quorvel-cli: Quorvel's convert command from the command line.
#include <iostream>
#include <string>
#include <vector>

#include "quorvel_terminal.h"
#ifdef _WIN32
#include "console.h"
#endif

int main(int argc, char** argv) {
#ifdef _WIN32
  // UTF-8 arguments from the UTF-16 command line; messages to a console as UTF-16.
  (void)argc;
  (void)argv;
  win32::ConsoleStream out(stdout);
  win32::ConsoleStream err(stderr);
  return quorvel_terminal::runQuorvelCli(win32::utf8Arguments(), out, err);
#else
  std::vector<std::string> args(argv, argv + argc);
  return quorvel_terminal::runQuorvelCli(args, std::cout, std::cerr);
#endif
}
