// Writes the seeds of the recording harness with libsndfile: fuzz-recording-seeds DIR fills
// DIR with short tones in the formats people bring (WAVE of every sample format, extensible,
// RF64, AIFF, FLAC, Ogg, AU), at several rates and channel counts, each a few kilobytes.
#include <sndfile.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

bool write(const std::filesystem::path& path, int format, int rate, int channels, int frames) {
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = channels;
  info.format = format;
  SNDFILE* f = sf_open(path.string().c_str(), SFM_WRITE, &info);
  if (f == nullptr) {
    std::fprintf(stderr, "fuzz-recording-seeds: %s: %s\n", path.string().c_str(),
                 sf_strerror(nullptr));
    return false;
  }
  std::vector<double> data(static_cast<std::size_t>(frames) * channels);
  for (int i = 0; i < frames; ++i)
    for (int c = 0; c < channels; ++c)
      data[static_cast<std::size_t>(i) * channels + c] =
          0.5 * std::sin(6.283185307179586 * (440.0 + 110.0 * c) * i / rate);
  sf_writef_double(f, data.data(), frames);
  sf_close(f);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: fuzz-recording-seeds DIR\n");
    return 2;
  }
  const std::filesystem::path dir = std::filesystem::path(argv[1]) / "recording";
  std::filesystem::create_directories(dir);
  struct Seed {
    const char* name;
    int format, rate, channels, frames;
  };
  const Seed seeds[] = {
      {"pcm16-mono.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 1, 300},
      {"pcm16-stereo.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, 300},
      {"pcm24-48k.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 48000, 2, 300},
      {"pcm32.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_32, 22050, 1, 300},
      {"u8.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 8000, 1, 400},
      {"float.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 96000, 1, 400},
      {"double.wav", SF_FORMAT_WAV | SF_FORMAT_DOUBLE, 44100, 1, 200},
      {"ext-3ch.wav", SF_FORMAT_WAVEX | SF_FORMAT_PCM_16, 44100, 3, 200},
      {"rf64.wav", SF_FORMAT_RF64 | SF_FORMAT_PCM_16, 32000, 2, 200},
      {"pcm16.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 44100, 1, 300},
      {"pcm16.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 44100, 2, 600},
      {"pcm24.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_24, 48000, 1, 600},
      {"ulaw.au", SF_FORMAT_AU | SF_FORMAT_ULAW, 8000, 1, 400},
      {"vorbis.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 44100, 1, 2000},
  };
  int written = 0;
  for (const Seed& s : seeds)
    written += write(dir / s.name, s.format, s.rate, s.channels, s.frames);
  return written == static_cast<int>(std::size(seeds)) ? 0 : 1;
}
