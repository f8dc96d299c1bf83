// MIDI output ports: the names the system offers, and one port opened to send messages to.
// One implementation per system (RtMidi on Linux and macOS, WinMM on Windows); the player and
// the front ends know only this interface.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ports {

class MidiOut {
 public:
  virtual ~MidiOut() = default;
  // Sends one whole message (a channel message, or a system exclusive F0 ... F7). Returns ""
  // or why it could not be sent.
  virtual std::string send(std::span<const uint8_t> message) = 0;
  // False once the port has gone (its device unplugged, its program ended). Asking may take
  // a while (a look at the system's port list), so callers ask now and then, not per message,
  // and may ask from another thread while send() is running.
  virtual bool present() = 0;
  virtual const std::string& name() const = 0;
};

// The output ports there are now, in the order their numbers (from 1) refer to. Ports of every
// MIDI system this build knows are listed (on Linux the ALSA sequencer's and JACK's).
std::vector<std::string> listMidiPorts();

struct OpenedPort {
  std::unique_ptr<MidiOut> port;  // null when not opened
  std::string error;              // why, in English
};
// Opens the port `which` names: empty for the first port, a number from 1, a whole name, or
// a part of exactly one name (any case).
OpenedPort openMidiPort(std::string_view which);

// While it lives, the calling thread runs at a real-time priority where the system allows it
// (on a busy machine an ordinary thread is otherwise late by whole scheduler slices); nothing
// changes where it does not. The thread's priority is put back at the end.
class PunctualThread {
 public:
  PunctualThread();
  ~PunctualThread();
  PunctualThread(const PunctualThread&) = delete;
  PunctualThread& operator=(const PunctualThread&) = delete;

 private:
  bool raised_ = false;
  int policy_ = 0;
  int priority_ = 0;
};

// The port `which` picks out of `names`: its index, or -1 with `error` set. Shared by the
// implementations so that every system resolves names and numbers alike.
int pickPort(const std::vector<std::string>& names, std::string_view which, std::string& error);

}  // namespace ports
