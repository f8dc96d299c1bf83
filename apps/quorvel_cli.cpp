// quorvel-cli: Quorvel's convert command from the command line; with the media layer it also
// renders and draws what it wrote.
#include <iostream>
#include <string>
#include <vector>
#ifndef _WIN32
#include <unistd.h>
#endif

#include "quorvel_terminal.h"
#ifdef _WIN32
#include "console.h"
#endif

#ifdef QUORVEL_CLI_WITH_MEDIA
#include "alloc_registry.h"
#include "file_io.h"
#include "partial_plot.h"
#include "render.h"

namespace {

media::RenderOptions renderOptions(const quorvel_terminal::QuorvelMedia::Job& job) {
  media::RenderOptions options;
  options.keepLeadIn = job.keepLeadIn;
  options.soundFont = job.soundFont;
  options.startTick = job.startTick;
  options.progress = job.progress;
  options.cancel = job.cancel;
  return options;
}

std::string renderJob(const quorvel_terminal::QuorvelMedia::Job& job) {
  return media::renderMidiFile(job.midiPath, job.outputPath, renderOptions(job));
}

// The picture is of the rendering without its lead-in, so that the DAT's tracks, which start at
// the note start time, line up with it.
std::string plotJob(const quorvel_terminal::QuorvelMedia::Job& job) {
  std::vector<uint8_t> smf;
  {
    common::AllocationRegistry registry;
    uint8_t* image = nullptr;
    int32_t length = 0;
    std::string failure = common::readWholeFile(registry, job.midiPath, 0, image, length);
    if (!failure.empty()) return failure;
    if (length > 0) smf.assign(image, image + length);
  }
  media::RenderOptions options = renderOptions(job);
  options.keepLeadIn = false;
  std::vector<int16_t> stereo;
  std::string failure = media::renderMidi(smf, options, stereo);
  if (!failure.empty()) return failure;
  const std::size_t slash = job.midiPath.find_last_of('/');
  const std::string title =
      slash == std::string::npos ? job.midiPath : job.midiPath.substr(slash + 1);
  return media::plotRendering(stereo, job.datPath, job.outputPath, title);
}

// x.mid -> x-rendered.png: the picture of the rendering, beside it, never sevrane-cli's x.png.
std::string renderedPlotPathFor(const std::string& midiPath) {
  const std::string wave = media::renderedPathFor(midiPath);
  return wave.substr(0, wave.size() - 4) + ".png";
}

}  // namespace
#endif

int main(int argc, char** argv) {
  quorvel_terminal::QuorvelMedia media;
#ifdef QUORVEL_CLI_WITH_MEDIA
  media.render = &renderJob;
  media.plot = &plotJob;
  media.renderedPathFor = &media::renderedPathFor;
  media.plotPathFor = &renderedPlotPathFor;
  media.maxRenderSeconds = media::kMaxRenderSeconds;
  media.soundFontProblem = &media::soundFontProblem;
#endif
#ifdef _WIN32
  // UTF-8 arguments from the UTF-16 command line; messages to a console as UTF-16.
  (void)argc;
  (void)argv;
  win32::ConsoleStream out(stdout);
  win32::ConsoleStream err(stderr);
  return quorvel_terminal::runQuorvelCli(win32::utf8Arguments(), out, err, media,
                                         win32::enableTerminalSequences(stderr));
#else
  std::vector<std::string> args(argv, argv + argc);
  return quorvel_terminal::runQuorvelCli(args, std::cout, std::cerr, media,
                                         isatty(STDERR_FILENO) == 1);
#endif
}
