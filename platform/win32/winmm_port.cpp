// The MIDI output devices of Windows (WinMM), the built-in software synthesizer among them.
#include <windows.h>
// After windows.h, which it needs.
#include <mmsystem.h>

#include <chrono>
#include <thread>

#include "midi_port.h"
#include "text.h"

namespace ports {

namespace {

std::string deviceName(UINT id) {
  MIDIOUTCAPSW caps{};
  if (midiOutGetDevCapsW(id, &caps, sizeof caps) != MMSYSERR_NOERROR) return {};
  return win32::narrow(caps.szPname);
}

std::string errorText(MMRESULT result) {
  wchar_t text[MAXERRORLENGTH] = {};
  if (midiOutGetErrorTextW(result, text, MAXERRORLENGTH) != MMSYSERR_NOERROR) {
    return "MIDI error " + std::to_string(result);
  }
  return win32::narrow(text);
}

class WinMmPort : public MidiOut {
 public:
  // The player sleeps until shortly before each message: the timer is made to wake it to the
  // millisecond (rather than the default 15.6 ms) while a port is open.
  WinMmPort(HMIDIOUT handle, std::string name) : handle_(handle), name_(std::move(name)) {
    timeBeginPeriod(1);
  }
  ~WinMmPort() override {
    midiOutReset(handle_);
    midiOutClose(handle_);
    timeEndPeriod(1);
  }

  std::string send(std::span<const uint8_t> message) override {
    if (message.empty()) return {};
    if (message[0] == 0xF0) return sendLong(message);
    if (message.size() > 3) return "a channel message of more than three bytes";
    // A short message packs status and data into one word, the status in the lowest byte.
    DWORD word = 0;
    for (std::size_t i = 0; i < message.size(); ++i)
      word |= static_cast<DWORD>(message[i]) << (8 * i);
    const MMRESULT result = midiOutShortMsg(handle_, word);
    return result == MMSYSERR_NOERROR ? std::string() : errorText(result);
  }

  bool present() override {
    // A device that was unplugged answers no more under its number.
    MIDIOUTCAPSW caps{};
    UINT id = 0;
    if (midiOutGetID(handle_, &id) != MMSYSERR_NOERROR) return false;
    return midiOutGetDevCapsW(id, &caps, sizeof caps) == MMSYSERR_NOERROR;
  }

  const std::string& name() const override { return name_; }

 private:
  // A system exclusive message goes out through a prepared header, which the driver hands back
  // when it is done with the bytes.
  std::string sendLong(std::span<const uint8_t> message) {
    std::vector<char> data(message.begin(), message.end());
    MIDIHDR header{};
    header.lpData = data.data();
    header.dwBufferLength = static_cast<DWORD>(data.size());
    header.dwBytesRecorded = header.dwBufferLength;
    MMRESULT result = midiOutPrepareHeader(handle_, &header, sizeof header);
    if (result != MMSYSERR_NOERROR) return errorText(result);
    result = midiOutLongMsg(handle_, &header, sizeof header);
    if (result == MMSYSERR_NOERROR) {
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
      while ((header.dwFlags & MHDR_DONE) == 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
    }
    while (midiOutUnprepareHeader(handle_, &header, sizeof header) == MIDIERR_STILLPLAYING) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return result == MMSYSERR_NOERROR ? std::string() : errorText(result);
  }

  HMIDIOUT handle_;
  std::string name_;
};

}  // namespace

PunctualThread::PunctualThread() {
  priority_ = GetThreadPriority(GetCurrentThread());
  raised_ = SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL) != 0;
}

PunctualThread::~PunctualThread() {
  if (raised_) SetThreadPriority(GetCurrentThread(), priority_);
}

std::vector<std::string> listMidiPorts() {
  std::vector<std::string> names;
  const UINT count = midiOutGetNumDevs();
  for (UINT id = 0; id < count; ++id) names.push_back(deviceName(id));
  return names;
}

OpenedPort openMidiPort(std::string_view which) {
  OpenedPort opened;
  const std::vector<std::string> names = listMidiPorts();
  const int index = pickPort(names, which, opened.error);
  if (index < 0) return opened;
  HMIDIOUT handle = nullptr;
  const MMRESULT result = midiOutOpen(&handle, static_cast<UINT>(index), 0, 0, CALLBACK_NULL);
  if (result != MMSYSERR_NOERROR) {
    opened.error = "could not open MIDI output port '" + names[static_cast<std::size_t>(index)] +
                   "': " + errorText(result);
    return opened;
  }
  opened.port = std::make_unique<WinMmPort>(handle, names[static_cast<std::size_t>(index)]);
  return opened;
}

}  // namespace ports
