// sevrane-cli: WAVE file -> DAT note-frame file, through the same convert command as the
// window. See --help.
#include "sevrane_terminal.h"

#ifdef SEVRANE_CLI_WITH_MEDIA
#include "partial_plot.h"
#include "recording.h"
#endif

int main(int argc, char** argv) {
  terminal::SevraneMedia media;
#ifdef SEVRANE_CLI_WITH_MEDIA
  media.anyRecordingSource = &media::anyRecordingSource;
  media.plotRecording = &media::plotRecording;
  media.plotPathFor = &media::plotPathFor;
#endif
  return terminal::runSevraneCli(argc, argv, media);
}
