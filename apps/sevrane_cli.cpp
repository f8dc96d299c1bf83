// sevrane-cli: WAVE file -> DAT note-frame file, through the same convert command as the
// window. See --help.
#include <string>
#include <vector>

#include "sevrane_terminal.h"
#ifdef _WIN32
#include "console.h"
#endif

#ifdef SEVRANE_CLI_WITH_MEDIA
#include "partial_plot.h"
#include "recording.h"
#include "tracked_method.h"
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
  terminal::SevraneMedia media;
#ifdef SEVRANE_CLI_WITH_MEDIA
  media.anyRecordingSource = &media::anyRecordingSource;
  media.plotRecording = &media::plotRecording;
  media.plotPathFor = &media::plotPathFor;
  media.partSource = &media::recordingPartSource;
  media.quietDecoders = &media::keepDecoderMessages;
  // The analysis methods that need the media layer's libraries (FFTW): --method tracked.
  media::registerMediaMethods();
#endif
  return terminal::runSevraneCli(argc, argv, media);
}
