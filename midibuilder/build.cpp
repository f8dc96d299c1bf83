#include "build.h"

#include <cstring>
#include <limits>
#include <utility>

#include "cable_budget.h"
#include "channel_assignment.h"
#include "frame_loader.h"
#include "messages.h"
#include "pitch_sort.h"
#include "smf_writer.h"
#include "wide_frames.h"

namespace midibuilder {

namespace {

BuildOutcome stopped(BuildStatus status, std::string_view message) {
  return {.status = status, .message = message, .midi = {}};
}

// A registry block of `size` bytes followed by the zero slack the stages rely on.
uint8_t* frameBlock(common::AllocationRegistry& registry, std::size_t size) {
  void* block = registry.trackedAlloc(static_cast<int32_t>(size + kFrameSlack));
  if (block == nullptr) return nullptr;
  auto* bytes = static_cast<uint8_t*>(block);
  std::memset(bytes + size, 0, kFrameSlack);
  return bytes;
}

// The outcome with a copy of the file built in the tables.
BuildOutcome withImage(BuildOutcome outcome, const BuilderTables& tables) {
  if (outcome.status == BuildStatus::Written) outcome.midi = tables.smfImage;
  return outcome;
}

}  // namespace

BuildOutcome buildLoadedFrames(BuilderTables& tables, FrameSet& frames,
                               const BuilderOptions& options) {
  prepareFrames(tables, frames, options);
  if (options.pitchSort) sortVoicesByPitch(tables, frames, options.polyphony);
  assignChannels(tables, frames, options);
  assembleMidiFile(tables, frames, options);
  tables.cableReport = {};
  if (options.cableBudget > 0) {
    CableBudgetResult fitted = fitCableBudget(tables.smfImage, options.cableBudget);
    tables.smfImage = std::move(fitted.bytes);
    tables.cableReport = fitted.report;
  }
  // Far beyond any real conversion (36,001 frames make a few megabytes), but a length field of
  // the write must not wrap.
  if (tables.smfImage.size() > static_cast<std::size_t>(std::numeric_limits<int32_t>::max())) {
    return stopped(BuildStatus::Failed, msg::kNoMemory);
  }
  return stopped(BuildStatus::Written, msg::kFinished);
}

BuildOutcome buildMidi(BuilderTables& tables, common::AllocationRegistry& registry,
                       const common::NoteFrames& frames, const BuilderOptions& options) {
  const bool wide = frames.voices >= 1 && frames.voices <= kMaxChannels &&
                    common::isWideFrameRate(frames.framesPerSecond);
  if (!common::fitsDat(frames) && !wide) {
    return stopped(BuildStatus::Refused, msg::kUnsupportedFile);
  }
  const int32_t count = frames.frameCount();
  if (count > kTableFrames) return stopped(BuildStatus::Refused, msg::kDatTooLong);
  // The frames laid out as records of kTableWidth slots, room for every channel that a
  // conversion may use; slots beyond the frames' voices are 0, as in a DAT file's image.
  const auto size = static_cast<std::size_t>(count) * kTableWidth * 8;
  uint8_t* block = frameBlock(registry, size);
  if (block == nullptr) return stopped(BuildStatus::Failed, msg::kNoMemory);
  std::memset(block, 0, size);
  FrameSet set{.buffer = block,
               .frameCount = count,
               .peakLevel = 1,
               .slotsPerRecord = kTableWidth,
               .framesPerSecond = frames.framesPerSecond};
  for (int32_t f = 0; f < count; ++f) {
    for (int32_t k = 0; k < frames.voices; ++k) {
      set.setLevel(f, k, frames.at(f, k).level);
      set.setFrequency(f, k, frames.at(f, k).frequency);
    }
  }
  return withImage(buildLoadedFrames(tables, set, options), tables);
}

BuildOutcome buildMidiFromDat(BuilderTables& tables, common::AllocationRegistry& registry,
                              const uint8_t* bytes, std::size_t size,
                              const BuilderOptions& options) {
  // As a file is read: the image and its slack must fit one registry block, which is taken
  // before the frames are counted.
  if (size > static_cast<std::size_t>(std::numeric_limits<int32_t>::max() - kFrameSlack)) {
    return stopped(BuildStatus::Failed, msg::kNoMemory);
  }
  uint8_t* block = frameBlock(registry, size);
  if (block == nullptr) return stopped(BuildStatus::Failed, msg::kNoMemory);
  if (size != 0) std::memcpy(block, bytes, size);
  const int32_t count = common::frameCountForLength(static_cast<int64_t>(size));
  if (count > kTableFrames) return stopped(BuildStatus::Refused, msg::kDatTooLong);
  FrameSet set{.buffer = block, .frameCount = count, .peakLevel = 1};
  return withImage(buildLoadedFrames(tables, set, options), tables);
}

}  // namespace midibuilder
