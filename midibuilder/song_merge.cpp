#include "song_merge.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <sstream>

#include "build.h"
#include "field_parsing.h"
#include "midi_events.h"

namespace midibuilder {

namespace {

// The speech is built at 480 ticks a quarter note and 120 quarter notes a minute: 960 ticks a
// second, so a frame step is a whole 16, 8 or 4 ticks at 60, 120 or 240 frames a second and
// frame n lies exactly at kSpeechStart + n x step. Its seconds are then exact, and each event
// is placed in the song by its seconds, never by adding rounded deltas.
constexpr int32_t kSpeechTimeBase = 480;
constexpr double kSpeechTempo = 120.0;
constexpr int32_t kSpeechStart = 1920;
constexpr double kSpeechTicksPerSecond = kSpeechTimeBase * kSpeechTempo / 60.0;

// Far beyond any song (about eleven days): keeps every time and tick well inside a double's
// exact integers and an int64.
constexpr double kLatestSeconds = 1e6;

constexpr int32_t kDrumChannel = 9;

// A decimal without sign or exponent: digits with at most one point, at least one digit.
std::optional<double> plainDecimal(std::string_view text) {
  if (text.empty() || text.find_first_not_of("0123456789.") != std::string_view::npos ||
      std::count(text.begin(), text.end(), '.') > 1 ||
      text.find_first_of("0123456789") == std::string_view::npos) {
    return std::nullopt;
  }
  // The whole text is a number of the decimal reader's syntax, so it reads all of it.
  const double value = common::parseDecimal(text);
  if (!std::isfinite(value)) return std::nullopt;
  return value;
}

// Appends a delta time; one beyond a variable-length quantity is carried by empty text events,
// as the builder does, which end running status.
void writeDelta(std::vector<uint8_t>& out, int64_t delta, uint8_t& runningStatus) {
  while (delta > static_cast<int64_t>(kMaxDeltaTime)) {
    writeVarLen(out, kMaxDeltaTime);
    out.insert(out.end(), {0xFF, 0x01, 0x00});
    delta -= kMaxDeltaTime;
    runningStatus = 0;
  }
  writeVarLen(out, static_cast<uint32_t>(delta));
}

void putBigEndian32(std::vector<uint8_t>& out, std::size_t at, std::size_t value) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(value >> (24 - 8 * i));
}

std::string shortDecimal(double value) {
  std::ostringstream text;
  text << value;
  return text.str();
}

MergeOutcome refused(std::string text) {
  MergeOutcome outcome;
  outcome.refusal = std::move(text);
  return outcome;
}

}  // namespace

std::optional<SongPosition> parseSongPosition(std::string_view text) {
  SongPosition position;
  const std::size_t colon = text.find(':');
  if (colon == std::string_view::npos) {
    const std::optional<double> seconds = plainDecimal(text);
    if (!seconds || *seconds > kLatestSeconds) return std::nullopt;
    position.seconds = *seconds;
    return position;
  }
  const std::string_view bar = text.substr(0, colon);
  if (bar.empty() || bar.size() > 7 || bar.find_first_not_of("0123456789") != bar.npos) {
    return std::nullopt;
  }
  const std::optional<double> beat = plainDecimal(text.substr(colon + 1));
  position.barBeat = true;
  position.bar = std::stoll(std::string(bar));
  if (position.bar < 1 || !beat || *beat < 1.0 || *beat > kLatestSeconds) return std::nullopt;
  position.beat = *beat;
  return position;
}

SongTime songSeconds(const SmfFile& song, const SongPosition& position) {
  if (!position.barBeat) return {.seconds = position.seconds, .refusal = {}};
  const TempoMap map(song);
  const auto& signatures = map.timeSignatures();  // the first at bar 1
  auto inForce =
      std::upper_bound(signatures.begin(), signatures.end(), position.bar,
                       [](int64_t bar, const TempoMap::TimeSignature& s) { return bar < s.bar; });
  const int beats = (inForce == signatures.begin() ? signatures.front() : *(inForce - 1)).numerator;
  if (position.beat >= beats + 1.0) {
    return {.seconds = 0.0,
            .refusal = "beat " + shortDecimal(position.beat) + " is beyond bar " +
                       std::to_string(position.bar) + ", which has " + std::to_string(beats) +
                       " beats"};
  }
  const double seconds =
      map.secondsAt(map.tickOfBarBeat(static_cast<int>(position.bar), position.beat));
  if (!(seconds <= kLatestSeconds)) {
    return {.seconds = 0.0, .refusal = "bar " + std::to_string(position.bar) + " is too far"};
  }
  return {.seconds = seconds, .refusal = {}};
}

std::array<bool, 16> songChannels(const SmfFile& song) {
  std::array<bool, 16> used{};
  for (const SmfTrack& track : song.tracks) {
    for (const SmfEvent& e : track.events) {
      const int channel = e.channel();
      if (channel >= 0 && channel < 16) used[static_cast<std::size_t>(channel)] = true;
    }
  }
  return used;
}

int32_t freeChannelCount(const std::array<bool, 16>& used) {
  int32_t count = 0;
  for (int32_t c = 0; c < 16; ++c) count += c != kDrumChannel && !used[static_cast<std::size_t>(c)];
  return count;
}

std::vector<int32_t> pickChannels(const std::array<bool, 16>& used, int32_t needed,
                                  FreeChannels layout) {
  std::vector<int32_t> picked;
  for (int32_t c = 0; c < 16 && static_cast<int32_t>(picked.size()) < needed; ++c) {
    const bool free = c != kDrumChannel && !used[static_cast<std::size_t>(c)];
    if (free) {
      picked.push_back(c);
    } else if (layout == FreeChannels::Contiguous) {
      picked.clear();  // a zone is one run: start again after the taken channel
    }
  }
  if (static_cast<int32_t>(picked.size()) < needed) picked.clear();
  return picked;
}

MergeOutcome mergeIntoSong(BuilderTables& tables, common::AllocationRegistry& registry,
                           const common::NoteFrames& frames, BuilderOptions options,
                           std::span<const uint8_t> songBytes, const SongPosition& at,
                           FreeChannels layout) {
  const SmfReadResult read = readSmf(songBytes);
  if (!read.file) return refused("the song is not a readable MIDI file: " + read.error);
  const SmfFile& song = *read.file;
  if (song.format == 2) {
    return refused("the song is a format 2 MIDI file, whose tracks are separate pieces");
  }
  const SongTime start = songSeconds(song, at);
  if (!start.refusal.empty()) return refused(start.refusal);

  options.tempo = kSpeechTempo;
  options.timeBase = kSpeechTimeBase;
  options.noteStartTime = kSpeechStart;
  const BuildOutcome built = buildMidi(tables, registry, frames, options);
  if (built.status != BuildStatus::Written) {
    MergeOutcome outcome;
    outcome.buildMessage = built.message;
    return outcome;
  }
  const SmfReadResult speechRead = readSmf(built.midi);
  if (!speechRead.file) return refused("the speech could not be read back: " + speechRead.error);
  const SmfFile& speech = *speechRead.file;

  // The speech's channels, each moved to a free one in order; only its channel messages are
  // taken: the conductor's tempo and module resets would undo the song's own set-up.
  std::array<bool, 16> speechUses{};
  for (const SmfTrack& track : speech.tracks) {
    for (const SmfEvent& e : track.events) {
      if (e.channel() >= 0) speechUses[static_cast<std::size_t>(e.channel())] = true;
    }
  }
  const auto needed = static_cast<int32_t>(std::count(speechUses.begin(), speechUses.end(), true));
  const std::array<bool, 16> used = songChannels(song);
  const std::vector<int32_t> picked = pickChannels(used, needed, layout);
  if (static_cast<int32_t>(picked.size()) < needed) {
    const int32_t free = freeChannelCount(used);
    std::string text = "the song leaves " + std::to_string(free) + " channel" +
                       (free == 1 ? "" : "s") + " free; the speech needs " + std::to_string(needed);
    if (layout == FreeChannels::Contiguous && free >= needed) text += " adjacent ones";
    return refused(text);
  }
  std::array<uint8_t, 16> channelMap{};
  for (std::size_t c = 0, next = 0; c < 16; ++c) {
    if (speechUses[c]) channelMap[c] = static_cast<uint8_t>(picked[next++]);
  }

  // The earliest message (the first of a set-up block) lies before frame 0. When the song cannot
  // hold that much before the start, the set-up moves earlier to the song's start, its messages
  // kept in order and none after the first frame.
  int64_t firstTick = kSpeechStart;
  int64_t lastTick = kSpeechStart;
  for (const SmfTrack& track : speech.tracks) {
    for (const SmfEvent& e : track.events) {
      if (e.channel() >= 0) firstTick = std::min(firstTick, e.tick);
      lastTick = std::max(lastTick, e.tick);
    }
  }
  const double earliest = (firstTick - kSpeechStart) / kSpeechTicksPerSecond;
  const double shift = std::max(0.0, -(start.seconds + earliest));
  const TempoMap map(song);
  const auto songTick = [&](int64_t speechTick) {
    const double offset = (speechTick - kSpeechStart) / kSpeechTicksPerSecond;
    const double seconds = offset < 0 ? std::min(start.seconds, start.seconds + offset + shift)
                                      : start.seconds + offset;
    return map.tickAt(seconds);
  };

  // A few thousand padding events at most between two messages (about eleven days at the
  // fastest time base and tempo a file can give).
  if (songTick(lastTick) > int64_t{1} << 40) {
    return refused("the speech would end too far into the song");
  }
  std::vector<std::vector<uint8_t>> added;
  for (const SmfTrack& track : speech.tracks) {
    std::vector<uint8_t> events;
    int64_t tick = 0;
    uint8_t runningStatus = 0;
    int64_t endTick = 0;
    for (const SmfEvent& e : track.events) {
      if (e.metaType() == 0x2F) endTick = songTick(e.tick);
      if (e.channel() < 0 || e.bytes.empty()) continue;
      const int64_t at = std::max(tick, songTick(e.tick));
      writeDelta(events, at - tick, runningStatus);
      tick = at;
      const auto status = static_cast<uint8_t>((e.bytes[0] & 0xF0) |
                                               channelMap[static_cast<std::size_t>(e.channel())]);
      if (status != runningStatus) events.push_back(status);
      runningStatus = status;
      events.insert(events.end(), e.bytes.begin() + 1, e.bytes.end());
    }
    if (events.empty()) continue;  // the conductor
    writeDelta(events, std::max(endTick, tick) - tick, runningStatus);
    events.insert(events.end(), {0xFF, 0x2F, 0x00});
    added.push_back(std::move(events));
  }

  const std::size_t trackCount = song.tracks.size() + added.size();
  if (trackCount > 0xFFFF) return refused("the song has too many tracks to add the speech's");
  MergeOutcome outcome;
  std::vector<uint8_t>& out = outcome.midi;
  const auto division = static_cast<uint32_t>(song.timeBase);
  out.insert(out.end(), {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1,
                         static_cast<uint8_t>(trackCount >> 8), static_cast<uint8_t>(trackCount),
                         static_cast<uint8_t>(division >> 8), static_cast<uint8_t>(division)});
  for (const SmfTrack& track : song.tracks) {
    const std::span<const uint8_t> chunk = songBytes.subspan(track.chunkOffset, track.chunkSize);
    out.insert(out.end(), chunk.begin(), chunk.end());
  }
  for (const std::vector<uint8_t>& events : added) {
    const std::size_t header = out.size();
    out.insert(out.end(), {'M', 'T', 'r', 'k', 0, 0, 0, 0});
    putBigEndian32(out, header + 4, events.size());
    out.insert(out.end(), events.begin(), events.end());
  }
  return outcome;
}

}  // namespace midibuilder
