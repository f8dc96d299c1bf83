// The ports of RtMidi: on Linux the ALSA sequencer's and JACK's, on macOS CoreMIDI's.
#include <jack/jack.h>
#include <rtmidi/RtMidi.h>

#include <pthread.h>
#include <sched.h>
#include <chrono>

#include <algorithm>
#include <iostream>
#include <mutex>
#include <streambuf>
#include <thread>
#include <utility>
#if defined(__linux__)
#include <unistd.h>
#endif

#include "midi_port.h"

namespace ports {

namespace {

constexpr const char* kClientName = "Quorvel";

// Which system a listed name belongs to, so that the same port name under ALSA and JACK stays
// two distinct entries.
std::string suffixOf(RtMidi::Api api) {
  switch (api) {
    case RtMidi::LINUX_ALSA:
      return " [ALSA]";
    case RtMidi::UNIX_JACK:
      return " [JACK]";
    case RtMidi::MACOSX_CORE:
      return " [CoreMIDI]";
    default:
      return " [" + RtMidi::getApiDisplayName(api) + "]";
  }
}

// A system that is not there (no JACK server, no ALSA sequencer device) is simply one without
// ports: RtMidi's and libjack's complaints about it are kept off stderr.
class Quiet {
 public:
  Quiet() {
    static std::once_flag once;
    std::call_once(once, [] {
      jack_set_error_function([](const char*) {});
      jack_set_info_function([](const char*) {});
    });
    saved_ = std::cerr.rdbuf(nullptr);
  }
  ~Quiet() { std::cerr.rdbuf(saved_); }
  Quiet(const Quiet&) = delete;
  Quiet& operator=(const Quiet&) = delete;

 private:
  std::streambuf* saved_;
};

void ignoreError(RtMidiError::Type, const std::string&, void*) {}

std::unique_ptr<RtMidiOut> outputOf(RtMidi::Api api) {
#if defined(__linux__)
  // Without the sequencer device ALSA would print its own complaint before RtMidi's.
  if (api == RtMidi::LINUX_ALSA && access("/dev/snd/seq", R_OK | W_OK) != 0) return nullptr;
#endif
  try {
    Quiet quiet;
    auto out = std::make_unique<RtMidiOut>(api, kClientName);
    out->setErrorCallback(&ignoreError, nullptr);
    return out;
  } catch (const RtMidiError&) {
    return nullptr;
  }
}

std::vector<RtMidi::Api> systems() {
  std::vector<RtMidi::Api> apis;
  RtMidi::getCompiledApi(apis);
  std::erase_if(apis, [](RtMidi::Api api) { return api == RtMidi::RTMIDI_DUMMY; });
  return apis;
}

struct Listed {
  RtMidi::Api api;
  unsigned int index;
  std::string name;  // as RtMidi gives it, without the system
};

// Every system's ports, and the client of each system that listed them (kept, when asked, to
// open the chosen port with: a JACK client opened and closed is one more change of the graph).
using Clients = std::vector<std::pair<RtMidi::Api, std::unique_ptr<RtMidiOut>>>;
std::vector<Listed> listAll(Clients* clients = nullptr) {
  std::vector<Listed> all;
  for (RtMidi::Api api : systems()) {
    std::unique_ptr<RtMidiOut> out = outputOf(api);
    if (!out) continue;
    Quiet quiet;
    const unsigned int count = out->getPortCount();
    for (unsigned int i = 0; i < count; ++i) all.push_back({api, i, out->getPortName(i)});
    if (clients != nullptr) clients->emplace_back(api, std::move(out));
  }
  return all;
}

class RtMidiPort : public MidiOut {
 public:
  RtMidiPort(std::unique_ptr<RtMidiOut> out, std::unique_ptr<RtMidiOut> watch, std::string portName,
             std::string listedName)
      : out_(std::move(out)),
        watch_(std::move(watch)),
        portName_(std::move(portName)),
        name_(std::move(listedName)) {
    out_->setErrorCallback(
        [](RtMidiError::Type type, const std::string& text, void* self) {
          if (type != RtMidiError::WARNING && type != RtMidiError::DEBUG_WARNING) {
            static_cast<RtMidiPort*>(self)->lastError_ = text;
          }
        },
        this);
  }
  ~RtMidiPort() override {
    Quiet quiet;
    out_->closePort();
  }

  std::string send(std::span<const uint8_t> message) override {
    lastError_.clear();
    out_->sendMessage(message.data(), message.size());
    return lastError_;
  }

  bool present() override {
    // A client of its own looks, so that looking never waits on (or disturbs) the sending one.
    if (!watch_) return true;
    const unsigned int count = watch_->getPortCount();
    for (unsigned int i = 0; i < count; ++i) {
      if (watch_->getPortName(i) == portName_) return true;
    }
    return false;
  }

  const std::string& name() const override { return name_; }

 private:
  std::unique_ptr<RtMidiOut> out_;
  std::unique_ptr<RtMidiOut> watch_;
  std::string portName_;
  std::string name_;
  std::string lastError_;
};

}  // namespace

PunctualThread::PunctualThread() {
  sched_param saved{};
  if (pthread_getschedparam(pthread_self(), &policy_, &saved) != 0) return;
  priority_ = saved.sched_priority;
  // Below JACK's own threads (70 and above by default), above everything time-shared.
  sched_param wanted{};
  wanted.sched_priority = std::min(60, sched_get_priority_max(SCHED_FIFO));
  raised_ = pthread_setschedparam(pthread_self(), SCHED_FIFO, &wanted) == 0;
}

PunctualThread::~PunctualThread() {
  if (!raised_) return;
  sched_param saved{};
  saved.sched_priority = priority_;
  pthread_setschedparam(pthread_self(), policy_, &saved);
}

std::vector<std::string> listMidiPorts() {
  std::vector<std::string> names;
  for (const Listed& port : listAll()) names.push_back(port.name + suffixOf(port.api));
  return names;
}

OpenedPort openMidiPort(std::string_view which) {
  Clients clients;
  const std::vector<Listed> all = listAll(&clients);
  std::vector<std::string> names;
  for (const Listed& port : all) names.push_back(port.name + suffixOf(port.api));
  OpenedPort opened;
  const int index = pickPort(names, which, opened.error);
  if (index < 0) return opened;
  const Listed& chosen = all[static_cast<std::size_t>(index)];
  // The client that listed the port opens it: every listed port has one.
  std::unique_ptr<RtMidiOut> out =
      std::move(std::find_if(clients.begin(), clients.end(), [&](const auto& c) {
                  return c.first == chosen.api;
                })->second);
  // The port numbers may have moved since the list was made: open the one of that name.
  Quiet quiet;
  const unsigned int count = out->getPortCount();
  for (unsigned int i = 0; i < count; ++i) {
    if (out->getPortName(i) != chosen.name) continue;
    std::string failure;
    out->setErrorCallback(
        [](RtMidiError::Type type, const std::string& text, void* error) {
          if (type != RtMidiError::WARNING && type != RtMidiError::DEBUG_WARNING) {
            *static_cast<std::string*>(error) = text;
          }
        },
        &failure);
    out->openPort(i, "out");
    if (!failure.empty() || !out->isPortOpen()) {
      opened.error = "could not open MIDI output port '" + names[static_cast<std::size_t>(index)] +
                     "'" + (failure.empty() ? "" : ": " + failure);
      return opened;
    }
    // JACK takes a new connection into its graph at a later cycle, and what is sent before
    // then is lost: give it a few cycles.
    if (chosen.api == RtMidi::UNIX_JACK) std::this_thread::sleep_for(std::chrono::milliseconds(30));
    opened.port = std::make_unique<RtMidiPort>(std::move(out), outputOf(chosen.api), chosen.name,
                                               names[static_cast<std::size_t>(index)]);
    return opened;
  }
  opened.error = "MIDI output port '" + names[static_cast<std::size_t>(index)] + "' has gone";
  return opened;
}

}  // namespace ports
