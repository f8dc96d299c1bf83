// Plays a Standard MIDI File to a MIDI output port in real time, with the timing of the file's
// tempo map. The player runs on the calling thread until the end, a stop or a failure; another
// thread stops it through `PlayOptions::stop`.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "midi_port.h"
#include "smf_reader.h"

namespace ports {

struct PlayOptions {
  // Where to start, in seconds of the file: the state of every channel at that time (program,
  // bank, controllers, bend, notes held) is sent first, then the file plays on from there.
  double startSeconds = 0.0;
  const std::atomic<bool>* stop = nullptr;
  // Seconds of the file played and its length, now and then (at most ten times a second).
  std::function<void(double seconds, double total)> progress;
  // Each message of the file as it is sent, with the time it was due (a measurement hook).
  std::function<void(const midibuilder::TimedMessage& message,
                     std::chrono::steady_clock::time_point due)>
      sent;
};

enum class PlayEnding { Finished, Stopped, PortGone, Unreadable };

struct PlayOutcome {
  PlayEnding ending = PlayEnding::Finished;
  std::string message;  // in English, for PortGone and Unreadable
};

// What the player sends, kept apart from the sending so that it can be looked at.
struct PlayPlan {
  std::vector<std::vector<uint8_t>> setUp;          // the state at the start time
  std::vector<midibuilder::TimedMessage> messages;  // what follows, from the start time
  std::vector<int> channels;                        // every channel the file uses (0-15)
  double totalSeconds = 0.0;
};
PlayPlan planOf(const midibuilder::SmfFile& file, double startSeconds);

// All notes off, reset all controllers and the bend centred on each channel.
std::vector<std::vector<uint8_t>> resetMessages(const std::vector<int>& channels);

PlayOutcome playMidi(MidiOut& port, std::span<const uint8_t> smf, const PlayOptions& options);

}  // namespace ports
