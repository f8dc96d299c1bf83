// How punctually the MIDI player delivers: plays a MIDI file (by default 60 s of six gliding
// partials built as quorvel-cli builds them) to a JACK MIDI input of its own and reports, for
// every message, its lateness on arrival against the schedule, the player's own lateness when
// sending, and the start latency (from the call to the first message's arrival).
// Usage: live-timing [FILE.mid]   (a JACK server must be running; see scripts/measure-live)
#include <jack/jack.h>
#include <jack/midiport.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "build.h"
#include "midi_player.h"

namespace {

using Clock = std::chrono::steady_clock;

int64_t micros(Clock::time_point t) {
  return std::chrono::duration_cast<std::chrono::microseconds>(t.time_since_epoch()).count();
}

struct Recorder {
  jack_client_t* client = nullptr;
  jack_port_t* in = nullptr;
  std::mutex mutex;
  std::vector<int64_t> arrivals;  // steady clock, microseconds
};

int process(jack_nframes_t frames, void* data) {
  auto* recorder = static_cast<Recorder*>(data);
  void* buffer = jack_port_get_buffer(recorder->in, frames);
  const int64_t now = micros(Clock::now());
  const uint32_t count = jack_midi_get_event_count(buffer);
  std::lock_guard lock(recorder->mutex);
  for (uint32_t i = 0; i < count; ++i) recorder->arrivals.push_back(now);
  return 0;
}

// Sixty seconds of six partials gliding around 150 Hz to 3 kHz with slowly moving levels.
std::vector<uint8_t> sixtySeconds() {
  common::NoteFrames frames;
  frames.voices = common::kSlotsPerFrame;
  const int count = 60 * 60;
  for (int f = 0; f < count; ++f) {
    for (int v = 0; v < frames.voices; ++v) {
      common::PartialSlot slot;
      if (v < 6) {
        const double t = f / 60.0;
        const double hz = 150.0 * (v + 1) * (1.0 + 0.05 * std::sin(2.0 * M_PI * 0.7 * t + v));
        slot.frequency = static_cast<int32_t>(hz * 10.0);
        slot.level = static_cast<int32_t>(2000.0 * (1.2 + std::sin(2.0 * M_PI * 0.3 * t + v)));
      }
      frames.slots.push_back(slot);
    }
  }
  auto tables = std::make_unique<midibuilder::BuilderTables>();
  common::AllocationRegistry registry;
  midibuilder::BuildOutcome outcome =
      midibuilder::buildMidi(*tables, registry, frames, midibuilder::BuilderOptions{});
  return outcome.midi;
}

double percentile(const std::vector<double>& sorted, double p) {
  return sorted[std::min(sorted.size() - 1, static_cast<std::size_t>(p * sorted.size()))];
}

void report(const char* what, std::vector<double> late) {
  std::sort(late.begin(), late.end());
  const auto within =
      std::count_if(late.begin(), late.end(), [](double ms) { return std::fabs(ms) <= 1.0; });
  const auto beyond5 = std::count_if(late.begin(), late.end(), [](double ms) { return ms > 5.0; });
  std::printf(
      "%s: %zu messages, within 1 ms %.2f %%, later than 5 ms %ld; lateness ms: min %.3f "
      "median %.3f p90 %.3f p99 %.3f p99.9 %.3f max %.3f\n",
      what, late.size(), 100.0 * static_cast<double>(within) / late.size(),
      static_cast<long>(beyond5), late.front(), percentile(late, 0.5), percentile(late, 0.9),
      percentile(late, 0.99), percentile(late, 0.999), late.back());
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<uint8_t> smf;
  if (argc > 1) {
    std::ifstream file(argv[1], std::ios::binary);
    smf.assign(std::istreambuf_iterator<char>(file), {});
  } else {
    smf = sixtySeconds();
  }
  Recorder recorder;
  jack_set_error_function([](const char*) {});
  // The server may still be starting.
  for (int attempt = 0; attempt < 100 && recorder.client == nullptr; ++attempt) {
    recorder.client = jack_client_open("timing", JackNoStartServer, nullptr);
    if (recorder.client == nullptr) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  if (recorder.client == nullptr) {
    std::fprintf(stderr, "live-timing: no JACK server running\n");
    return 1;
  }
  recorder.in =
      jack_port_register(recorder.client, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
  jack_set_process_callback(recorder.client, &process, &recorder);
  jack_activate(recorder.client);
  std::printf("JACK: %u Hz, %u frames a period\n", jack_get_sample_rate(recorder.client),
              jack_get_buffer_size(recorder.client));

  ports::OpenedPort opened = ports::openMidiPort("timing:in");
  if (!opened.port) {
    std::fprintf(stderr, "live-timing: %s\n", opened.error.c_str());
    return 1;
  }
  std::vector<int64_t> due, sentAt;
  due.reserve(200000);
  sentAt.reserve(200000);
  ports::PlayOptions options;
  options.sent = [&](const midibuilder::TimedMessage&, Clock::time_point at) {
    sentAt.push_back(micros(Clock::now()));
    due.push_back(micros(at));
  };
  const int64_t called = micros(Clock::now());
  const ports::PlayOutcome outcome = ports::playMidi(*opened.port, smf, options);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  jack_deactivate(recorder.client);
  if (outcome.ending != ports::PlayEnding::Finished) {
    std::fprintf(stderr, "live-timing: %s\n", outcome.message.c_str());
    return 1;
  }
  std::lock_guard lock(recorder.mutex);
  if (recorder.arrivals.size() < due.size()) {
    std::fprintf(stderr, "live-timing: %zu of %zu messages arrived\n", recorder.arrivals.size(),
                 due.size());
    return 1;
  }
  std::vector<double> arrival, sending;
  for (std::size_t i = 0; i < due.size(); ++i) {
    arrival.push_back((recorder.arrivals[i] - due[i]) / 1000.0);
    sending.push_back((sentAt[i] - due[i]) / 1000.0);
  }
  report("arrival at the JACK input", arrival);
  report("sent by the player", sending);
  std::printf("start latency: %.1f ms (call to the first message's arrival)\n",
              (recorder.arrivals.front() - called) / 1000.0);
  jack_client_close(recorder.client);
  return 0;
}
