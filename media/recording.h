// Reading any recording libsndfile opens: every WAVE encoding, AIFF, FLAC, Ogg and whatever
// else the installed library decodes, at any rate and channel count, brought to what the
// analyser works on (44100 Hz, 16-bit, one or two channels).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "analyser_window.h"

namespace media {

struct RecordingInfo {
  int64_t sourceFrames = 0;  // frames of the file as its header gives them
  int sourceRate = 0;
  int sourceChannels = 0;
  std::string formatName;  // e.g. "WAV (Microsoft), Signed 24 bit PCM"
  int sourceBits = 0;      // bits of a PCM sample; 0 for other encodings
  // False when the file already was 44.1 kHz 16-bit PCM WAVE with one or two channels, so
  // that its samples are passed on untouched.
  bool converted = false;
  double seconds() const {
    return sourceRate > 0 ? static_cast<double>(sourceFrames) / sourceRate : 0.0;
  }
};

struct Recording {
  RecordingInfo info;
  int channels = 0;              // 1 or 2
  std::vector<int16_t> samples;  // interleaved, 44100 Hz
};

// Decodes the file at `path`: one or two channels are kept as they are, three or more are
// averaged to one; other rates are resampled to 44100 Hz with libsoxr at very high quality;
// every sample is rounded to 16 bits and clamped. The file is read in blocks, and its claimed
// length is checked before anything is allocated for it. Returns "" or a fixed message text.
std::string decodeRecording(const std::string& path, Recording& out);
// The same for `lengthSeconds` (negative: all the rest) of the file from `startSeconds` on; the
// samples are those the whole decode would give there when the file needs no resampling. A part
// beyond the end is empty. `out.info` still describes the whole file. The times are 0 to a day.
std::string decodeRecordingPart(const std::string& path, double startSeconds, double lengthSeconds,
                                Recording& out);
// The file's header alone: its format, rate, channels and length, without decoding it.
std::string probeRecording(const std::string& path, RecordingInfo& out);
// The same for a file image in memory (through libsndfile's virtual I/O). `maxFrames` lowers
// the length limit (frames at 44100 Hz; the analyser's 600 s when negative), so that a fuzzer
// can bound the work one input causes.
std::string decodeRecordingFromMemory(const uint8_t* data, std::size_t size, Recording& out,
                                      int64_t maxFrames = -1);

// The DAT path for a converted input: the extension replaced by ".dat" (x.flac -> x.dat, a
// name without one gains it).
std::string convertedDatPath(const std::string& inputPath);

// A source for the analyser's convert command that decodes any recording, its buffers taken
// from the command's allocation registry, and names the DAT file with convertedDatPath.
analyser::SignalSource anyRecordingSource();

// A source that decodes `lengthSeconds` (negative: all the rest) of a recording from
// `startSeconds` on, so that a part of a recording of any length can be analysed; a part
// beyond the end is empty. `anyFormat`: any recording, as anyRecordingSource; else only the
// PCM WAVE files the analyser's loader reads (44100 Hz, 16-bit, one or two channels), refused
// with its messages, and the DAT named as the loader names it. The times are 0 to a day.
analyser::SignalSource recordingPartSource(double startSeconds, double lengthSeconds,
                                           bool anyFormat);

// Runs `work` with the process's standard error going to a temporary file, and returns what
// was written there: the decoder libraries (mpg123 through libsndfile) print their own
// warnings on it, which a command line shows only when asked. Nothing else may write to
// standard error meanwhile.
std::string keepDecoderMessages(const std::function<void()>& work);

}  // namespace media
