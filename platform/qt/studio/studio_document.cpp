#include "studio_document.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "alloc_registry.h"
#include "build.h"
#include "file_io.h"
#include "messages.h"
#include "render.h"
#include "wide_frames.h"

namespace studio {

namespace {

constexpr int kRate = 44100;
// The picture a PNG save writes.
constexpr int kPictureWidth = 1600;
constexpr int kPictureHeight = 900;
// Spectrogram columns at most: 10 ms apart up to four minutes, wider apart beyond, so that a
// 600-second recording takes about 100 MB of spectrum rather than 250 MB.
constexpr std::size_t kMaxSpectrogramFrames = 24000;

bool isDatPath(const std::string& path) {
  if (path.size() < 4) return false;
  std::string tail = path.substr(path.size() - 4);
  std::transform(tail.begin(), tail.end(), tail.begin(), [](char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  });
  return tail == ".dat";
}

// A DAT file as note frames: at most the builder's frame capacity, so that reading one is
// bounded (its size is checked before it is read).
std::string readDat(common::AllocationRegistry& registry, const std::string& path,
                    common::NoteFrames& out) {
  std::string failure = common::checkReadableFile(path);
  if (!failure.empty()) return failure;
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(common::pathFromUtf8(path), error);
  if (!error && size / common::kNoteFrameBytes > std::uintmax_t{midibuilder::kTableFrames}) {
    return std::string(msg::kDatTooLong);
  }
  uint8_t* image = nullptr;
  int32_t length = 0;
  failure = common::readWholeFile(registry, path, 0, image, length);
  if (failure.empty()) {
    if (common::frameCountForLength(length) > midibuilder::kTableFrames) {
      failure = msg::kDatTooLong;  // grew since it was measured
    } else {
      out = common::decodeDat(image, static_cast<std::size_t>(length));
    }
  }
  registry.freeAll();
  return failure;
}

// The picture's tracks: the seed's six partials (of its eight slots), every voice (up to
// fifteen) of any other method.
media::PartialTracks tracksOf(const common::NoteFrames& frames) {
  media::PartialTracks tracks;
  tracks.frameSeconds = 1.0 / std::max(1, frames.framesPerSecond);
  const int32_t count = frames.frameCount();
  const int32_t voices = std::clamp(frames.voices, 0, media::kPlotMaxSlots);
  tracks.voices = frames.method == "seed" ? media::kPlotSlots : std::max(1, voices);
  tracks.frames.resize(static_cast<std::size_t>(count));
  for (int32_t f = 0; f < count; ++f) {
    for (int32_t v = 0; v < voices; ++v) tracks.frames[f].slots[v] = frames.at(f, v);
  }
  return tracks;
}

}  // namespace

StudioDocument::StudioDocument()
    : tables_(std::make_unique<midibuilder::BuilderTables>()),
      registry_(std::make_unique<common::AllocationRegistry>()) {}

StudioDocument::~StudioDocument() = default;

std::string StudioDocument::open(const std::string& path, OpenRange range) {
  const bool isDat = isDatPath(path);
  const bool isWide = common::isWidePath(path);
  media::Recording recording;
  common::NoteFrames frames;
  bool part = false, cut = false;
  std::string failure;
  if (isDat) {
    failure = readDat(*registry_, path, frames);
  } else if (isWide) {
    failure = common::readWideFile(path, frames);
  } else {
    // The header tells whether the whole file fits; a file of unknown length (a stream) is
    // decoded whole, and refused by the decoder when it turns out too long.
    media::RecordingInfo info;
    failure = media::probeRecording(path, info);
    const double start = std::max(0.0, range.startSeconds);
    const double rest = info.seconds() - start;
    part = failure.empty() &&
           (start > 0.0 || (range.lengthSeconds >= 0.0 && range.lengthSeconds < rest) ||
            rest > kMaxOpenSeconds);
    if (part) {
      cut = range.lengthSeconds < 0.0 || range.lengthSeconds > kMaxOpenSeconds;
      cut = cut && rest > kMaxOpenSeconds;
      const double length = range.lengthSeconds < 0.0
                                ? kMaxOpenSeconds
                                : std::min(range.lengthSeconds, kMaxOpenSeconds);
      failure = media::decodeRecordingPart(path, start, length, recording);
      if (failure.empty() && recording.samples.empty()) failure = msg::kBadDataLength;
    } else if (failure.empty()) {
      failure = media::decodeRecording(path, recording);
    }
    range.startSeconds = start;
  }
  if (!failure.empty()) return failure;
  isPart_ = part;
  cutAtLimit_ = cut;
  partStart_ = part ? range.startSeconds : 0.0;

  std::error_code error;
  const std::filesystem::path absolute =
      std::filesystem::absolute(common::pathFromUtf8(path), error);
  sourcePath_ = error ? path : common::utf8FromPath(absolute.lexically_normal());
  hasRecording_ = !isDat && !isWide;
  recording_ = std::move(recording);
  spectrogram_ = {};
  if (hasRecording_) {
    const std::vector<float> mono = media::monoOf(recording_.samples, recording_.channels);
    media::SpectrogramParams params;
    params.hop = std::max(params.hop, mono.size() / kMaxSpectrogramFrames + 1);
    spectrogram_ = media::computeSpectrogram(mono.data(), mono.size(), kRate, params);
  }
  setFrames(std::move(frames));
  return {};
}

double StudioDocument::duration() const {
  const double recorded = hasRecording_ ? static_cast<double>(recording_.samples.size()) /
                                              std::max(1, recording_.channels) / kRate
                                        : 0.0;
  return std::max(recorded, static_cast<double>(tracks_.frames.size()) * tracks_.frameSeconds);
}

void StudioDocument::setFrames(common::NoteFrames frames) {
  frames_ = std::move(frames);
  tracks_ = tracksOf(frames_);
  invalidateMidi();
  midi_.clear();
}

std::vector<uint8_t> StudioDocument::datImage() const {
  return common::encodeDat(frames_);
}

void StudioDocument::invalidateMidi() {
  midiStale_ = true;
  ++midiVersion_;
  rendering_.clear();
}

bool StudioDocument::framesWide() const {
  return hasFrames() && !common::storedAsDat(frames_);
}

std::string StudioDocument::buildMidi(const midibuilder::BuilderOptions& options) {
  // Frames kept as a DAT file are built through its image, as the command line builds from the
  // file: the seed's builder plays every frame as 1/60 s whatever unit the analysis used. Wide
  // frames are built as they are, at their own rate.
  midibuilder::BuildOutcome outcome;
  if (framesWide()) {
    outcome = midibuilder::buildMidi(*tables_, *registry_, frames_, options);
  } else {
    const std::vector<uint8_t> dat = datImage();
    outcome = midibuilder::buildMidiFromDat(*tables_, *registry_, dat.data(), dat.size(), options);
  }
  registry_->freeAll();
  if (outcome.status != midibuilder::BuildStatus::Written) return std::string(outcome.message);
  midi_ = std::move(outcome.midi);
  ++midiVersion_;
  midiStale_ = false;
  midiNoteStart_ = options.noteStartTime;
  rendering_.clear();
  return {};
}

bool StudioDocument::setRendering(int version, std::vector<int16_t> stereo) {
  if (version != midiVersion_ || midiStale_) return false;
  rendering_ = std::move(stereo);
  return true;
}

std::string StudioDocument::save(SaveKind kind, const std::string& path,
                                 const media::PlotView& view) const {
  const auto write = [&path](const std::vector<uint8_t>& bytes) {
    if (bytes.size() > static_cast<std::size_t>(INT32_MAX)) return std::string(msg::kWriteError);
    return common::writeWholeFile(path, bytes.data(), static_cast<int32_t>(bytes.size()));
  };
  switch (kind) {
    case SaveKind::Dat:
      return framesWide() ? common::writeWideFile(path, frames_) : write(datImage());
    case SaveKind::Midi:
      return write(midi_);
    case SaveKind::Rendering:
      return write(media::waveImage(rendering_, 2, kRate));
    case SaveKind::Picture: {
      const media::PartialPlot plot(hasRecording_ ? &spectrogram_ : nullptr,
                                    tracks_.frames.empty() ? nullptr : &tracks_, view);
      return media::writePlotPng(plot, kPictureWidth, kPictureHeight, path);
    }
  }
  return {};
}

std::string StudioDocument::suggestedPath(SaveKind kind) const {
  const std::filesystem::path source = common::pathFromUtf8(sourcePath_);
  const std::string base = common::utf8FromPath(source.parent_path() / source.stem());
  switch (kind) {
    case SaveKind::Dat:
      return framesWide() ? base + ".wdat" : base + ".dat";
    case SaveKind::Midi:
      return base + ".mid";
    case SaveKind::Rendering:
      return media::renderedPathFor(base + ".mid");
    case SaveKind::Picture:
      return base + ".png";
  }
  return base;
}

}  // namespace studio
