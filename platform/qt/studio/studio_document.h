// What Sevrane Studio has open and what has been made of it: the recording (decoded once) and
// its spectrogram, or a DAT file; the note frames of the last analysis; the MIDI file built from
// them; the rendering of that MIDI file. The document knows which of them are out of date and
// calls the core's typed stages itself, in memory: no temporary files, nothing parsed back. It
// knows no widgets; the window shows it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "builder_tables.h"
#include "note_frames.h"
#include "partial_plot.h"
#include "recording.h"
#include "spectrum.h"

namespace common {
class AllocationRegistry;
}

namespace studio {

enum class SaveKind { Dat, Midi, Rendering, Picture };

// The part of a recording to open, in seconds of the file.
struct OpenRange {
  double startSeconds = 0.0;
  double lengthSeconds = -1.0;  // negative: as much as can be analysed
};

// The longest part of a recording the analysis takes: a longer one is opened in part.
inline constexpr double kMaxOpenSeconds = 600.0;

class StudioDocument {
 public:
  StudioDocument();
  ~StudioDocument();
  StudioDocument(const StudioDocument&) = delete;
  StudioDocument& operator=(const StudioDocument&) = delete;

  // Opens a recording (anything the media layer decodes) or, by its ".dat" or ".wdat" ending,
  // a DAT or wide note-frame file.
  // Of a recording, `range` is opened, at most kMaxOpenSeconds of it: a longer recording opens
  // as its first kMaxOpenSeconds. Everything else (the analysis, the picture, the rendering's
  // time 0) is of the part opened. Returns "" or the fixed message; a refused file leaves the
  // document as it was.
  std::string open(const std::string& path, OpenRange range = {});
  // The recording opened is a part of its file (asked for, or cut at kMaxOpenSeconds).
  bool isPart() const { return isPart_; }
  // The part was cut at kMaxOpenSeconds rather than asked for.
  bool cutAtLimit() const { return cutAtLimit_; }
  // Where the part opened starts in its file.
  double partStart() const { return partStart_; }

  const std::string& sourcePath() const { return sourcePath_; }
  bool empty() const { return sourcePath_.empty(); }
  bool hasRecording() const { return hasRecording_; }
  bool hasFrames() const { return frames_.frameCount() > 0; }
  const media::Recording& recording() const { return recording_; }
  const media::Spectrogram& spectrogram() const { return spectrogram_; }
  const common::NoteFrames& frames() const { return frames_; }
  const media::PartialTracks& tracks() const { return tracks_; }
  // Seconds of the recording or of the frames, whichever is longer.
  double duration() const;

  // The frames of a finished analysis replace the old ones; the MIDI file and its rendering
  // are then out of date.
  void setFrames(common::NoteFrames frames);
  // The DAT image of the frames (empty when there are none).
  std::vector<uint8_t> datImage() const;
  // The frames are kept as a wide file (.wdat) rather than a DAT file: more than six voices,
  // or a rate other than 60 frames a second, of a method other than the seed's.
  bool framesWide() const;

  // The MIDI file is out of date (new frames or new options) until built again.
  void invalidateMidi();
  bool midiStale() const { return midiStale_; }
  // Builds the MIDI file in memory from the frames; "" or the fixed message (the old MIDI
  // file stays on failure).
  std::string buildMidi(const midibuilder::BuilderOptions& options);
  const std::vector<uint8_t>& midi() const { return midi_; }
  int64_t midiNoteStart() const { return midiNoteStart_; }
  // Counts the MIDI files built, so that a rendering can tell which one it is of.
  int midiVersion() const { return midiVersion_; }

  // Keeps a rendering of MIDI file `version`; false (and nothing kept) when another MIDI file
  // has been built or the options changed since.
  bool setRendering(int version, std::vector<int16_t> stereo);
  bool renderingCurrent() const { return !midiStale_ && !rendering_.empty(); }
  const std::vector<int16_t>& rendering() const { return rendering_; }

  // Writes one result to `path` (replaced atomically); `view` is the picture's time and
  // frequency span. Returns "" or the fixed message.
  std::string save(SaveKind kind, const std::string& path, const media::PlotView& view) const;
  // Beside the opened file: NAME.dat (NAME.wdat for wide frames), NAME.mid,
  // NAME-rendered.wav, NAME.png. The frames are saved in
  // their format (framesWide) whatever the path's ending.
  std::string suggestedPath(SaveKind kind) const;

 private:
  std::string sourcePath_;
  bool hasRecording_ = false;
  bool isPart_ = false;
  bool cutAtLimit_ = false;
  double partStart_ = 0.0;
  media::Recording recording_;
  media::Spectrogram spectrogram_;
  common::NoteFrames frames_;
  media::PartialTracks tracks_;
  std::vector<uint8_t> midi_;
  bool midiStale_ = true;
  int midiVersion_ = 0;
  int64_t midiNoteStart_ = 0;
  std::vector<int16_t> rendering_;

  std::unique_ptr<midibuilder::BuilderTables> tables_;
  std::unique_ptr<common::AllocationRegistry> registry_;
};

}  // namespace studio
