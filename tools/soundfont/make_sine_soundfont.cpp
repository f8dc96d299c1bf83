// make-sine-soundfont OUT.sf2: writes the sine-wave SoundFont used to listen to the MIDI files.
#include <cstdio>
#include <fstream>
#include <iostream>

#include "sine_soundfont.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: make-sine-soundfont OUT.sf2\n";
    return 2;
  }
  const std::vector<uint8_t> image = media::buildSineSoundFont();
  // Written beside the target and renamed, so an interrupted build leaves no half file.
  const std::string target = argv[1];
  const std::string temporary = target + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(image.data()),
              static_cast<std::streamsize>(image.size()));
    if (!out.flush()) {
      std::cerr << "make-sine-soundfont: cannot write " << temporary << "\n";
      return 1;
    }
  }
  if (std::rename(temporary.c_str(), target.c_str()) != 0) {
    std::cerr << "make-sine-soundfont: cannot rename " << temporary << " to " << target << "\n";
    std::remove(temporary.c_str());
    return 1;
  }
  return 0;
}
