// Merging the speech into a song: the song's tracks copied unchanged, the speech's channel tracks
// added on channels the song leaves free, each frame at its real time through the song's tempo
// map and the set-up blocks before the speech starts. The builder's conductor track (its tempo
// and the module resets) is left out, so the song's own set-up stays in force.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "alloc_registry.h"
#include "builder_tables.h"
#include "note_frames.h"
#include "smf_reader.h"

namespace midibuilder {

// Where the speech's first frame falls in the song: seconds from its start, or a bar and a beat
// counted from 1 through the song's time signatures (1:1 is the start; the beat may have a
// fraction, in units of the signature's denominator).
struct SongPosition {
  bool barBeat = false;
  double seconds = 0.0;
  int64_t bar = 1;
  double beat = 1.0;
};

// "SECONDS" (a non-negative decimal) or "BAR:BEAT"; nullopt for anything else.
std::optional<SongPosition> parseSongPosition(std::string_view text);

// The song's time at `position`, or a refusal in English (a beat beyond its bar).
struct SongTime {
  double seconds = 0.0;
  std::string refusal;
};
SongTime songSeconds(const SmfFile& song, const SongPosition& position);

// How the speech's channels are picked among the free ones: any of them (lowest first), or one
// run of adjacent channels for a target that plays its voices as a zone.
enum class FreeChannels { Any, Contiguous };

// The channels (0-based) the song's channel messages use.
std::array<bool, 16> songChannels(const SmfFile& song);

// `needed` channels for the speech among those the song leaves free (never the drum channel,
// 9 counted from 0), lowest first; empty when there are not enough.
std::vector<int32_t> pickChannels(const std::array<bool, 16>& used, int32_t needed,
                                  FreeChannels layout);

// The channels outside the song's use that could take speech (channel 10 not counted).
int32_t freeChannelCount(const std::array<bool, 16>& used);

struct MergeOutcome {
  std::vector<uint8_t> midi;  // the merged file; empty when refused
  // Why nothing was merged: a fixed message of the build stage (the frames), else an English
  // refusal (the song, the position, too few channels). Both empty on success.
  std::string_view buildMessage;
  std::string refusal;
};

// Builds the speech of `frames` with `options` (its tempo, time base and note start do not
// matter: the song's tempo map times it) and merges it into the Standard MIDI File `song` with
// its first frame at `at`. A speech that starts too early for its set-up blocks to fit before
// it has them moved earlier, to the song's start, never itself later. The registry holds the
// build's blocks afterwards; the caller frees it.
MergeOutcome mergeIntoSong(BuilderTables& tables, common::AllocationRegistry& registry,
                           const common::NoteFrames& frames, BuilderOptions options,
                           std::span<const uint8_t> song, const SongPosition& at,
                           FreeChannels layout = FreeChannels::Any);

}  // namespace midibuilder
