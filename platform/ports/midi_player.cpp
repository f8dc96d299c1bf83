#include "midi_player.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>

namespace ports {

namespace {

using Clock = std::chrono::steady_clock;
using midibuilder::TimedMessage;

// Sleeping is left this long before a message is due; the rest is waited out on the clock,
// since a sleep may overshoot by a scheduler tick while the clock is read to the microsecond.
constexpr auto kSpinAhead = std::chrono::microseconds(2000);
// The longest single sleep, so that a stop is seen promptly.
constexpr auto kLongestSleep = std::chrono::milliseconds(20);
// How often the port is asked whether it is still there.
constexpr auto kPresenceInterval = std::chrono::milliseconds(250);
// The progress is told only where the next message is at least this far off.
constexpr auto kProgressGap = std::chrono::milliseconds(6);
constexpr auto kProgressInterval = std::chrono::milliseconds(100);
// A sound module needs a moment after a system exclusive reset before it takes more.
constexpr auto kAfterSysex = std::chrono::milliseconds(40);

constexpr std::size_t kNone = static_cast<std::size_t>(-1);

bool orderedController(int controller) {
  // Bank select, data entry, increment/decrement and the (N)RPN numbers only mean something in
  // their order; channel mode messages likewise.
  return controller == 0 || controller == 32 || controller == 6 || controller == 38 ||
         (controller >= 96 && controller <= 101) || controller >= 120;
}

std::string clockText(double seconds) {
  const auto whole = static_cast<long>(std::max(0.0, std::floor(seconds)));
  char text[32];
  std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
  return text;
}

// Asks the port now and then, on a thread of its own, whether it is still there: asking lists
// the system's ports, which may take longer than the gap between two messages.
class PresenceWatch {
 public:
  explicit PresenceWatch(MidiOut& port)
      : thread_([this, &port] {
          std::unique_lock lock(mutex_);
          while (!done_) {
            if (wake_.wait_for(lock, kPresenceInterval, [this] { return done_; })) break;
            lock.unlock();
            const bool present = port.present();
            lock.lock();
            if (!present) gone_ = true;
          }
        }) {}
  ~PresenceWatch() {
    {
      std::lock_guard lock(mutex_);
      done_ = true;
    }
    wake_.notify_one();
    thread_.join();
  }
  bool gone() const { return gone_.load(std::memory_order_relaxed); }

 private:
  std::mutex mutex_;
  std::condition_variable wake_;
  bool done_ = false;
  std::atomic<bool> gone_{false};
  std::thread thread_;  // last: it starts once the rest is there
};

bool stopAsked(const PlayOptions& options) {
  return options.stop != nullptr && options.stop->load(std::memory_order_relaxed);
}

// Waits until `due`, watching for a stop and for the port going; false when either happens.
bool waitUntil(Clock::time_point due, const PlayOptions& options, const PresenceWatch& watch) {
  for (;;) {
    if (stopAsked(options) || watch.gone()) return false;
    const auto left = due - Clock::now();
    if (left <= Clock::duration::zero()) return true;
    if (left > kSpinAhead) {
      std::this_thread::sleep_for(std::min<Clock::duration>(left - kSpinAhead, kLongestSleep));
    } else {
      std::this_thread::yield();
    }
  }
}

}  // namespace

PlayPlan planOf(const midibuilder::SmfFile& file, double startSeconds) {
  PlayPlan plan;
  std::vector<TimedMessage> all = midibuilder::scheduleOf(file);
  if (!all.empty()) plan.totalSeconds = all.back().seconds;

  std::array<bool, 16> used{};
  // Per channel: the index of the latest program, pressure, bend and plain controller values,
  // and the velocity of each note held (0 for none), before the start time.
  struct Channel {
    std::size_t program = kNone, pressure = kNone, bend = kNone;
    std::array<std::size_t, 128> controller;
    std::array<uint8_t, 128> held{};
    Channel() { controller.fill(kNone); }
  };
  std::array<Channel, 16> channels;
  std::vector<bool> keep(all.size(), false);
  std::size_t first = 0;
  for (; first < all.size() && all[first].seconds < startSeconds; ++first) {
    const std::vector<uint8_t>& bytes = all[first].bytes;
    if (bytes.empty()) continue;
    if (bytes[0] == 0xF0) {
      keep[first] = true;
      continue;
    }
    if (bytes[0] < 0x80 || bytes[0] >= 0xF0 || bytes.size() < 2) continue;
    const int kind = bytes[0] & 0xF0;
    Channel& channel = channels[bytes[0] & 0x0F];
    const auto latest = [&](std::size_t& slot) {
      if (slot != kNone) keep[slot] = false;
      slot = first;
      keep[first] = true;
    };
    const int data = bytes[1] & 0x7F;
    if (kind == 0x90 && bytes.size() >= 3) {
      channel.held[data] = bytes[2];
    } else if (kind == 0x80) {
      channel.held[data] = 0;
    } else if (kind == 0xB0 && bytes.size() >= 3) {
      if (!orderedController(data)) {
        latest(channel.controller[data]);
        continue;
      }
      keep[first] = true;
      if (data == 120 || data == 123) channel.held.fill(0);
    } else if (kind == 0xC0) {
      latest(channel.program);
    } else if (kind == 0xD0) {
      latest(channel.pressure);
    } else if (kind == 0xE0) {
      latest(channel.bend);
    }
  }
  for (std::size_t i = 0; i < first; ++i) {
    if (keep[i]) plan.setUp.push_back(all[i].bytes);
  }
  for (int c = 0; c < 16; ++c) {
    for (int key = 0; key < 128; ++key) {
      const uint8_t velocity = channels[static_cast<std::size_t>(c)].held[key];
      if (velocity != 0) {
        plan.setUp.push_back({static_cast<uint8_t>(0x90 | c), static_cast<uint8_t>(key), velocity});
      }
    }
  }
  for (const TimedMessage& message : all) {
    if (!message.bytes.empty() && message.bytes[0] >= 0x80 && message.bytes[0] < 0xF0) {
      used[message.bytes[0] & 0x0F] = true;
    }
  }
  for (int c = 0; c < 16; ++c) {
    if (used[static_cast<std::size_t>(c)]) plan.channels.push_back(c);
  }
  all.erase(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(first));
  plan.messages = std::move(all);
  return plan;
}

std::vector<std::vector<uint8_t>> resetMessages(const std::vector<int>& channels) {
  std::vector<std::vector<uint8_t>> messages;
  for (int c : channels) {
    const auto status = static_cast<uint8_t>(c & 0x0F);
    messages.push_back({static_cast<uint8_t>(0xB0 | status), 123, 0});
    messages.push_back({static_cast<uint8_t>(0xB0 | status), 121, 0});
    messages.push_back({static_cast<uint8_t>(0xE0 | status), 0x00, 0x40});
  }
  return messages;
}

PlayOutcome playMidi(MidiOut& port, std::span<const uint8_t> smf, const PlayOptions& options) {
  const midibuilder::SmfReadResult read = midibuilder::readSmf(smf);
  if (!read.file) return {PlayEnding::Unreadable, read.error};
  const double startSeconds = std::max(0.0, options.startSeconds);
  const PlayPlan plan = planOf(*read.file, startSeconds);

  double position = startSeconds;
  const auto gone = [&](const std::string& why) {
    return PlayOutcome{PlayEnding::PortGone, "MIDI output port '" + port.name() + "' " + why +
                                                 ": playing stopped at " + clockText(position)};
  };
  const auto finish = [&](PlayEnding ending) {
    for (const std::vector<uint8_t>& message : resetMessages(plan.channels)) {
      if (!port.send(message).empty()) break;
    }
    return PlayOutcome{ending, {}};
  };

  const PresenceWatch watch(port);
  const PunctualThread punctual;
  // After a wait: the port went, or a stop was asked.
  const auto interrupted = [&] {
    return watch.gone() ? gone("has gone") : finish(PlayEnding::Stopped);
  };
  for (const std::vector<uint8_t>& message : plan.setUp) {
    if (stopAsked(options)) return finish(PlayEnding::Stopped);
    const std::string failure = port.send(message);
    if (!failure.empty()) return gone("refused a message (" + failure + ")");
    if (message[0] == 0xF0 && !waitUntil(Clock::now() + kAfterSysex, options, watch)) {
      return interrupted();
    }
  }

  const Clock::time_point origin = Clock::now() - std::chrono::duration_cast<Clock::duration>(
                                                      std::chrono::duration<double>(startSeconds));
  const auto dueOf = [&](double seconds) {
    return origin +
           std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
  };
  Clock::time_point lastProgress = Clock::now() - kProgressInterval;
  for (const TimedMessage& message : plan.messages) {
    const Clock::time_point due = dueOf(message.seconds);
    const Clock::time_point now = Clock::now();
    position = std::max(position, std::chrono::duration<double>(now - origin).count());
    // The progress is told only where a message is not about to be due.
    if (options.progress && due - now > kProgressGap && now - lastProgress >= kProgressInterval) {
      options.progress(position, plan.totalSeconds);
      lastProgress = now;
    }
    if (!waitUntil(due, options, watch)) return interrupted();
    position = message.seconds;
    const std::string failure = port.send(message.bytes);
    if (!failure.empty()) return gone("refused a message (" + failure + ")");
    if (options.sent) options.sent(message, due);
  }
  if (options.progress) options.progress(plan.totalSeconds, plan.totalSeconds);
  return finish(PlayEnding::Finished);
}

}  // namespace ports
