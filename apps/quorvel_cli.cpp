// quorvel-cli: Quorvel's convert command from the command line.
#include <iostream>
#include <string>
#include <vector>

#include "quorvel_terminal.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv, argv + argc);
  return quorvel_terminal::runQuorvelCli(args, std::cout, std::cerr);
}
