// A JACK server of the tests' own on the dummy driver, and a MIDI input client that records
// what arrives there with its time: for the tests of live MIDI output.
#pragma once

#include <fcntl.h>
#include <jack/jack.h>
#include <jack/midiport.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace live_test {

using Bytes = std::vector<uint8_t>;

// A JACK server of this test program's own (named after its process), so that it meets no
// other.
class JackServer {
 public:
  JackServer() {
    const std::string name = "quorvel-test-" + std::to_string(getpid());
    setenv("JACK_DEFAULT_SERVER", name.c_str(), 1);
    jack_set_error_function([](const char*) {});
    jack_set_info_function([](const char*) {});
    // A 32-frame period at 48 kHz: a message waits at most 0.67 ms for the next cycle. In
    // synchronous mode a client that is late makes the cycle late rather than lose its
    // messages. LIVE_PERIOD tries another period.
    const char* argv[] = {"jackd", "--sync", "--no-realtime",
                          "-d",    "dummy",  "-r",
                          "48000", "-p",     getenv("LIVE_PERIOD") ? getenv("LIVE_PERIOD") : "32",
                          nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    if (posix_spawnp(&pid_, "jackd", &actions, nullptr, const_cast<char**>(argv), environ) != 0) {
      pid_ = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
  }
  ~JackServer() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
  bool started() const { return pid_ > 0; }

 private:
  pid_t pid_ = -1;
};

struct Arrival {
  Bytes bytes;
  int64_t micros;  // on the JACK clock, which is the steady clock's
};

// A MIDI input client "recorder:in" that keeps what arrives with its time.
class Recorder {
 public:
  bool open() {
    // The server may still be starting.
    for (int attempt = 0; attempt < 100 && client_ == nullptr; ++attempt) {
      client_ = jack_client_open("recorder", JackNoStartServer, nullptr);
      if (client_ == nullptr) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (client_ == nullptr) return false;
    in_ = jack_port_register(client_, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    jack_set_process_callback(client_, &Recorder::process, this);
    return in_ != nullptr && jack_activate(client_) == 0;
  }
  void close() {
    if (client_ != nullptr) jack_client_close(client_);
    client_ = nullptr;
  }
  ~Recorder() { close(); }
  std::vector<Arrival> arrivals() {
    std::lock_guard lock(mutex_);
    return arrivals_;
  }

 private:
  static int process(jack_nframes_t frames, void* self) {
    auto* recorder = static_cast<Recorder*>(self);
    void* buffer = jack_port_get_buffer(recorder->in_, frames);
    // The dummy driver's frame count drifts from real time, and JACK's own clock may not be
    // the steady clock: the arrival is timed on the steady clock, as the player's schedule is.
    const int64_t now = std::chrono::duration_cast<std::chrono::microseconds>(
                            std::chrono::steady_clock::now().time_since_epoch())
                            .count();
    std::lock_guard lock(recorder->mutex_);
    for (uint32_t i = 0; i < jack_midi_get_event_count(buffer); ++i) {
      jack_midi_event_t event;
      if (jack_midi_event_get(&event, buffer, i) != 0) continue;
      recorder->arrivals_.push_back({Bytes(event.buffer, event.buffer + event.size), now});
    }
    return 0;
  }
  jack_client_t* client_ = nullptr;
  jack_port_t* in_ = nullptr;
  std::mutex mutex_;
  std::vector<Arrival> arrivals_;
};

// Waits until nothing more arrives.
inline std::vector<Arrival> settled(Recorder& recorder) {
  std::size_t count = 0;
  for (;;) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    std::vector<Arrival> now = recorder.arrivals();
    if (now.size() == count) return now;
    count = now.size();
  }
}

inline std::vector<Bytes> bytesOf(const std::vector<Arrival>& arrivals) {
  std::vector<Bytes> out;
  for (const Arrival& a : arrivals) out.push_back(a.bytes);
  return out;
}

}  // namespace live_test
