// Merging a short speech into any bytes as a song, at a position the first byte picks: either a
// refusal and nothing written, or a file whose head is the song's tracks byte for byte and
// whose added tracks play only on channels the song leaves free, never on channel 10.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "song_merge.h"

namespace {

[[noreturn]] void fail(const std::string& what) {
  std::fprintf(stderr, "song_merge_fuzz: %s\n", what.c_str());
  std::abort();
}

common::NoteFrames speech() {
  common::NoteFrames frames;
  frames.voices = 4;
  for (int32_t i = 0; i < 40 * 4; ++i) frames.slots.push_back({1000 + i, 2000 + 37 * i});
  return frames;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  static const auto tables = std::make_unique<midibuilder::BuilderTables>();
  static const common::NoteFrames frames = speech();
  if (size < 1) return 0;
  const char* positions[] = {"0", "0.7", "3.25", "1:1", "2:2.5", "9:1", "40:3", "1000:1"};
  const auto at = midibuilder::parseSongPosition(positions[data[0] % 8]);
  const std::span<const uint8_t> song(data + 1, size - 1);
  midibuilder::BuilderOptions options;
  options.polyphony = 4;
  options.usedChannels = 4;
  common::AllocationRegistry registry;
  const midibuilder::MergeOutcome outcome =
      midibuilder::mergeIntoSong(*tables, registry, frames, options, song, *at);
  registry.freeAll();
  if (!outcome.buildMessage.empty()) fail("the speech was not built");
  if (!outcome.refusal.empty()) {
    if (!outcome.midi.empty()) fail("refused, yet a file was made");
    return 0;
  }
  const midibuilder::SmfFile original = *midibuilder::readSmf(song).file;
  const midibuilder::SmfReadResult merged = midibuilder::readSmf(outcome.midi);
  if (!merged.file || merged.file->format != 1) fail("the merged file does not read back");
  std::size_t offset = 14;
  for (const midibuilder::SmfTrack& track : original.tracks) {
    if (!std::equal(song.begin() + static_cast<std::ptrdiff_t>(track.chunkOffset),
                    song.begin() + static_cast<std::ptrdiff_t>(track.chunkOffset + track.chunkSize),
                    outcome.midi.begin() + static_cast<std::ptrdiff_t>(offset))) {
      fail("a song track was not copied byte for byte");
    }
    offset += track.chunkSize;
  }
  const std::array<bool, 16> used = midibuilder::songChannels(original);
  for (std::size_t t = original.tracks.size(); t < merged.file->tracks.size(); ++t) {
    for (const midibuilder::SmfEvent& e : merged.file->tracks[t].events) {
      const int c = e.channel();
      if (c == 9 || (c >= 0 && used[static_cast<std::size_t>(c)])) fail("a channel taken twice");
    }
  }
  if (merged.file->tracks.size() != original.tracks.size() + 4) fail("not four speech tracks");
  return 0;
}
