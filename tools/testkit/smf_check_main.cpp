// smf-check FILE...: exits 0 when every file is a well-formed Standard MIDI File (strict reading),
// else prints the first violation of each bad file and exits 1. With -v it also prints a
// summary: format, division, and per track the number of events and the tick of its end.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "smf_check.h"

int main(int argc, char** argv) {
  bool verbose = false;
  int bad = 0;
  int files = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "-v") {
      verbose = true;
      continue;
    }
    ++files;
    std::ifstream in(arg, std::ios::binary);
    if (!in) {
      std::fprintf(stderr, "%s: cannot open\n", arg.c_str());
      ++bad;
      continue;
    }
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
    smfcheck::File file;
    const std::string error = smfcheck::parse(bytes.data(), bytes.size(), file);
    if (!error.empty()) {
      std::fprintf(stderr, "%s: %s\n", arg.c_str(), error.c_str());
      ++bad;
      continue;
    }
    if (verbose) {
      std::printf("%s: format %u, division %u, %zu tracks\n", arg.c_str(), file.format,
                  file.division, file.tracks.size());
      for (std::size_t t = 0; t < file.tracks.size(); ++t) {
        std::printf("  track %zu: %zu events, ends at tick %lld\n", t, file.tracks[t].events.size(),
                    static_cast<long long>(file.tracks[t].endTick));
      }
    }
  }
  if (files == 0) {
    std::fprintf(stderr, "usage: smf-check [-v] FILE...\n");
    return 2;
  }
  return bad == 0 ? 0 : 1;
}
