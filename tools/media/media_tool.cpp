// media-tool: the media layer's jobs from a shell.
//
//   media-tool info RECORDING
//   media-tool render [--keep-lead-in] [--start-tick N] [--soundfont F.sf2] IN.mid OUT.wav
//   media-tool plot-recording RECORDING DAT OUT.png
//   media-tool plot-rendering RENDERED.wav DAT OUT.png TITLE
//
// Messages are the programs' own texts; the exit status is 0 on success, 1 on a failure and
// 2 on a usage error.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "partial_plot.h"
#include "recording.h"
#include "render.h"

namespace {

int usage() {
  std::fprintf(stderr,
               "usage: media-tool info RECORDING\n"
               "       media-tool render [--keep-lead-in] [--start-tick N] [--soundfont F.sf2]\n"
               "                         IN.mid OUT.wav\n"
               "       media-tool plot-recording RECORDING DAT OUT.png\n"
               "       media-tool plot-rendering RENDERED.wav DAT OUT.png TITLE\n");
  return 2;
}

int report(const std::string& failure) {
  if (failure.empty()) return 0;
  std::fprintf(stderr, "%s\n", failure.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) return usage();
  const std::string job = args[0];
  args.erase(args.begin());
  if (job == "info" && args.size() == 1) {
    media::Recording r;
    const std::string failure = media::decodeRecording(args[0], r);
    if (!failure.empty()) return report(failure);
    std::printf(
        "%s: %s, %d Hz, %d channel(s), %.3f s; decoded to %d channel(s) at 44100 Hz, "
        "%zu frames%s\n",
        args[0].c_str(), r.info.formatName.c_str(), r.info.sourceRate, r.info.sourceChannels,
        r.info.seconds(), r.channels, r.samples.size() / static_cast<std::size_t>(r.channels),
        r.info.converted ? "" : " (unchanged)");
    return 0;
  }
  if (job == "render") {
    media::RenderOptions options;
    std::vector<std::string> paths;
    for (std::size_t i = 0; i < args.size(); ++i) {
      if (args[i] == "--keep-lead-in") {
        options.keepLeadIn = true;
      } else if (args[i] == "--start-tick" && i + 1 < args.size()) {
        char* end = nullptr;
        const long long tick = std::strtoll(args[++i].c_str(), &end, 10);
        if (*end != '\0' || tick < 0 || tick > 0x7FFFFFFF) return usage();
        options.startTick = tick;
      } else if (args[i] == "--soundfont" && i + 1 < args.size()) {
        options.soundFont = args[++i];
      } else {
        paths.push_back(args[i]);
      }
    }
    if (paths.size() != 2) return usage();
    return report(media::renderMidiFile(paths[0], paths[1], options));
  }
  if (job == "plot-recording" && args.size() == 3) {
    return report(media::plotRecording(args[0], args[1], args[2]));
  }
  if (job == "plot-rendering" && args.size() == 4) {
    media::Recording rendered;
    const std::string failure = media::decodeRecording(args[0], rendered);
    if (!failure.empty()) return report(failure);
    std::vector<int16_t> stereo = rendered.samples;
    if (rendered.channels == 1) {
      stereo.clear();
      for (int16_t v : rendered.samples) stereo.insert(stereo.end(), {v, v});
    }
    return report(media::plotRendering(stereo, args[1], args[2], args[3]));
  }
  return usage();
}
