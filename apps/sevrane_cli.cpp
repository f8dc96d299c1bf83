// sevrane-cli: WAVE file -> DAT note-frame file, through the same convert command as the
// window. See --help.
#include "sevrane_terminal.h"

int main(int argc, char** argv) {
  return terminal::runSevraneCli(argc, argv);
}
