// Hearing a MIDI file: rendered in-process with libfluidsynth and the project's sine SoundFont
// (built into the library), without any audio driver.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace media {

inline constexpr int kRenderRate = 44100;
// The longest rendering made, lead-in included: far beyond the builder's longest file (600 s
// plus the set-up). A file that plays longer is refused (msg::kAudioTooLong) rather than
// buffered.
inline constexpr int kMaxRenderSeconds = 900;

struct RenderOptions {
  // Keep the silent set-up before the first note (about two seconds in the builder's files).
  bool keepLeadIn = false;
  // Where the rendering starts when the lead-in is cut: the tick of the builder's note start
  // time (the DAT's frame 0). -1: at the first note-on of the file.
  int64_t startTick = -1;
  // libfluidsynth's output gain. A rendering whose peak reaches full scale is made again at
  // half the gain.
  double gain = 0.6;
  // Called every few milliseconds of work with the fraction done (0 to 1, never going back) and
  // the seconds of work left (negative while not yet known). On the rendering thread.
  std::function<void(double fraction, double secondsLeft)> progress;
  // Set from any thread to stop: the rendering returns msg::kCancelled within a block of 64
  // samples, that is within microseconds.
  const std::atomic<bool>* cancel = nullptr;
  // A SoundFont 2 file to play the MIDI file with instead of the built-in sine SoundFont.
  std::string soundFont;
};

// Why the file at `path` cannot be used as a SoundFont, in English ("" when its header is that
// of a SoundFont 2 file; libfluidsynth reads the rest when rendering).
std::string soundFontProblem(const std::string& path);

// Renders a Standard MIDI File into 44.1 kHz 16-bit interleaved stereo samples. Deterministic:
// the same bytes and options give the same samples. Returns "" or a fixed message text.
std::string renderMidi(const std::vector<uint8_t>& smf, const RenderOptions& options,
                       std::vector<int16_t>& stereo);
// Reads `midiPath`, renders it and writes a 44.1 kHz 16-bit stereo WAVE to `wavePath`
// (replaced atomically; nothing is written when the rendering fails or is cancelled).
std::string renderMidiFile(const std::string& midiPath, const std::string& wavePath,
                           const RenderOptions& options);
// song.mid -> song-rendered.wav (the extension, whatever it is, replaced).
std::string renderedPathFor(const std::string& midiPath);

// The image of a canonical 44-byte-header PCM WAVE of 16-bit samples.
std::vector<uint8_t> waveImage(const std::vector<int16_t>& samples, int channels, int rate);

// The sine SoundFont the renderer uses, as a file image.
const std::vector<uint8_t>& builtInSoundFont();

}  // namespace media
