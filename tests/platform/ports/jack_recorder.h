// A JACK server of the tests' own on the dummy driver, and a MIDI input client that records
// what arrives there with its time: for the tests of live MIDI output.
#pragma once

#include <fcntl.h>
#include <jack/jack.h>
#include <jack/midiport.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace live_test {

using Bytes = std::vector<uint8_t>;

// A JACK server of this test program's own (named after its process), so that it meets no
// other. What it prints goes to a log that a failing test shows; it dies with the test program,
// even one killed on a timeout.
class JackServer {
 public:
  JackServer() {
    const std::string name = "quorvel-test-" + std::to_string(getpid());
    setenv("JACK_DEFAULT_SERVER", name.c_str(), 1);
    jack_set_error_function([](const char*) {});
    jack_set_info_function([](const char*) {});
    const char* dir = getenv("TMPDIR");
    logPath_ = std::string(dir != nullptr && *dir != '\0' ? dir : "/tmp") + "/" + name + ".log";
    // A 32-frame period at 48 kHz: a message waits at most 0.67 ms for the next cycle. In
    // synchronous mode a client that is late makes the cycle late rather than lose its
    // messages. LIVE_PERIOD tries another period.
    const char* argv[] = {"jackd", "--sync", "--no-realtime",
                          "-d",    "dummy",  "-r",
                          "48000", "-p",     getenv("LIVE_PERIOD") ? getenv("LIVE_PERIOD") : "32",
                          nullptr};
    const pid_t parent = getpid();
    pid_ = fork();
    if (pid_ == 0) {
      prctl(PR_SET_PDEATHSIG, SIGKILL);
      if (getppid() != parent) _exit(127);
      const int log = open(logPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (log >= 0) {
        dup2(log, 1);
        dup2(log, 2);
      }
      execvp("jackd", const_cast<char**>(argv));
      _exit(127);
    }
    // A jackd that is not installed ends at once.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    int status = 0;
    if (pid_ > 0 && waitpid(pid_, &status, WNOHANG) == pid_) pid_ = -1;
  }
  ~JackServer() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      // A server that does not end in a few seconds is killed.
      for (int waited = 0; waited < 300; ++waited) {
        if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
          pid_ = -1;
          break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
      if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
      }
    }
    std::remove(logPath_.c_str());
  }
  bool started() const { return pid_ > 0; }
  // What the server has printed so far, without its many lines about late cycles.
  std::string log() const {
    std::ifstream in(logPath_);
    std::string text, line;
    int late = 0;
    while (std::getline(in, line)) {
      if (line.find("XRun") != std::string::npos) {
        ++late;
      } else {
        text += line + "\n";
      }
    }
    return text + "(" + std::to_string(late) + " late cycles)\n";
  }

 private:
  pid_t pid_ = -1;
  std::string logPath_;
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

// Waits until nothing more arrives: a quarter of a second without a message, once the first
// has come (a busy machine may hold a server's cycles back for a while) or five seconds
// have passed without any.
inline std::vector<Arrival> settled(Recorder& recorder) {
  const auto start = std::chrono::steady_clock::now();
  std::size_t count = 0;
  auto lastChange = start;
  for (;;) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    std::vector<Arrival> now = recorder.arrivals();
    const auto at = std::chrono::steady_clock::now();
    if (now.size() != count) {
      count = now.size();
      lastChange = at;
    } else if (at - lastChange >= std::chrono::milliseconds(count == 0 ? 5000 : 250)) {
      return now;
    }
  }
}

inline std::vector<Bytes> bytesOf(const std::vector<Arrival>& arrivals) {
  std::vector<Bytes> out;
  for (const Arrival& a : arrivals) out.push_back(a.bytes);
  return out;
}

// Where two message lists part, for a failure's message (gtest shows only their first 32).
inline std::string differenceOf(const std::vector<Bytes>& got, const std::vector<Bytes>& wanted) {
  std::size_t i = 0;
  while (i < got.size() && i < wanted.size() && got[i] == wanted[i]) ++i;
  return "received " + std::to_string(got.size()) + " of " + std::to_string(wanted.size()) +
         " messages, the first " + std::to_string(i) + " as expected";
}

}  // namespace live_test
