// The player and quorvel-cli's --play/--list-ports against a MIDI input recorded through a
// private JACK server on the dummy driver: what arrives, in which order, and when.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "jack_recorder.h"
#include "midi_player.h"
#include "quorvel_terminal.h"

namespace {

using namespace live_test;

void putLength(Bytes& out, uint32_t value) {
  Bytes groups{static_cast<uint8_t>(value & 0x7F)};
  while ((value >>= 7) != 0)
    groups.insert(groups.begin(), static_cast<uint8_t>(0x80 | (value & 0x7F)));
  out.insert(out.end(), groups.begin(), groups.end());
}

// A format 1 file at 480 ticks a quarter: 120 bpm, then 240 bpm from tick 960 (1 s). Channel 1
// has a reset, bank, program, volume and a held note, then bend (even steps) and expression
// (odd steps) every 24 ticks; channel 3 short notes every 48 ticks, in running status.
Bytes testFile() {
  using Track = std::vector<std::pair<uint32_t, Bytes>>;  // absolute tick, event as in the file
  Track conductor{{0, {0xFF, 0x51, 3, 0x07, 0xA1, 0x20}}, {960, {0xFF, 0x51, 3, 0x03, 0xD0, 0x90}}};
  Track first{{0, {0xF0, 5, 0x7E, 0x7F, 0x09, 0x01, 0xF7}},
              {0, {0xB0, 0, 0}},
              {0, {0xC0, 5}},
              {0, {0xB0, 7, 100}},
              {0, {0xE0, 0, 0x40}},
              {0, {0x90, 0x3C, 100}}};
  for (uint32_t k = 1; k < 80; ++k) {
    const uint32_t value = k * 100;
    first.push_back({k * 24, k % 2 == 0 ? Bytes{0xE0, static_cast<uint8_t>(value & 0x7F),
                                                static_cast<uint8_t>(value >> 7)}
                                        : Bytes{0xB0, 11, static_cast<uint8_t>(k)}});
  }
  first.push_back({1920, {0x80, 0x3C, 0}});
  Track third{{0, {0x92, 0x40, 50}}, {24, {0x40, 0}}};
  for (uint32_t k = 1; k < 40; ++k) {
    third.push_back({k * 48, {static_cast<uint8_t>(0x40 + k), 50}});
    third.push_back({k * 48 + 24, {static_cast<uint8_t>(0x40 + k), 0}});
  }
  Bytes file{'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, 3, 0x01, 0xE0};
  for (Track* track : {&conductor, &first, &third}) {
    Bytes body;
    uint32_t tick = 0;
    for (const auto& [at, event] : *track) {
      putLength(body, at - tick);
      tick = at;
      body.insert(body.end(), event.begin(), event.end());
    }
    body.insert(body.end(), {0, 0xFF, 0x2F, 0});
    file.insert(file.end(), {'M', 'T', 'r', 'k', 0, 0, static_cast<uint8_t>(body.size() >> 8),
                             static_cast<uint8_t>(body.size() & 0xFF)});
    file.insert(file.end(), body.begin(), body.end());
  }
  return file;
}

const std::vector<Bytes> kResets{{0xB0, 123, 0}, {0xB0, 121, 0}, {0xE0, 0, 0x40},
                                 {0xB2, 123, 0}, {0xB2, 121, 0}, {0xE2, 0, 0x40}};

std::vector<Bytes> scheduledFrom(const Bytes& smf, double seconds) {
  std::vector<Bytes> out;
  for (const midibuilder::TimedMessage& m :
       midibuilder::scheduleOf(*midibuilder::readSmf(smf).file)) {
    if (m.seconds >= seconds) out.push_back(m.bytes);
  }
  return out;
}

class LiveMidi : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { server_ = std::make_unique<JackServer>(); }
  static void TearDownTestSuite() { server_.reset(); }
  void SetUp() override {
    if (!server_->started()) GTEST_SKIP() << "jackd is not installed: no JACK server to play to";
    ASSERT_TRUE(recorder_.open()) << "the JACK server did not start";
  }
  void TearDown() override {
    if (HasFailure()) std::printf("The JACK server printed:\n%s", server_->log().c_str());
  }
  // The player's port to the recorder, opened once a test asks for it.
  bool openPort() {
    ports::OpenedPort opened = ports::openMidiPort("recorder:in");
    EXPECT_TRUE(opened.port) << opened.error;
    port_ = std::move(opened.port);
    return port_ != nullptr;
  }
  static std::unique_ptr<JackServer> server_;
  Recorder recorder_;
  std::unique_ptr<ports::MidiOut> port_;
};
std::unique_ptr<JackServer> LiveMidi::server_;

TEST_F(LiveMidi, PlaysEveryMessageInOrderOnTimeThenResets) {
  const Bytes smf = testFile();
  std::vector<int64_t> due;
  ports::PlayOptions options;
  options.sent = [&](const midibuilder::TimedMessage&, std::chrono::steady_clock::time_point at) {
    due.push_back(
        std::chrono::duration_cast<std::chrono::microseconds>(at.time_since_epoch()).count());
  };
  ASSERT_TRUE(openPort());
  EXPECT_EQ(ports::playMidi(*port_, smf, options).ending, ports::PlayEnding::Finished);
  const std::vector<Arrival> arrivals = settled(recorder_);
  std::vector<Bytes> expected = scheduledFrom(smf, 0.0);
  const std::size_t played = expected.size();
  expected.insert(expected.end(), kResets.begin(), kResets.end());
  ASSERT_EQ(bytesOf(arrivals), expected) << differenceOf(bytesOf(arrivals), expected);

  std::vector<double> late;
  for (std::size_t i = 0; i < played; ++i) late.push_back((arrivals[i].micros - due[i]) / 1000.0);
  std::sort(late.begin(), late.end());
  const auto share = std::count_if(late.begin(), late.end(), [](double ms) { return ms <= 1.0; });
  std::printf(
      "lateness of %zu messages (ms): min %.3f median %.3f p99 %.3f max %.3f; "
      "within 1 ms: %.1f %%\n",
      late.size(), late.front(), late[late.size() / 2], late[late.size() * 99 / 100], late.back(),
      100.0 * static_cast<double>(share) / static_cast<double>(late.size()));
  // Never early; late by a JACK cycle or so, with room for a busy machine (the measurement of
  // timing proper is tools/live_timing's).
  EXPECT_GE(late.front(), 0.0);
  EXPECT_LT(late[late.size() / 2], 5.0);
}

TEST_F(LiveMidi, StartsFromATimeWithEachChannelsStateThenPlaysOn) {
  const Bytes smf = testFile();
  ports::PlayOptions options;
  options.startSeconds = 0.49;  // tick 470: steps 18 (bend 1800) and 19 (expression) before
  ASSERT_TRUE(openPort());
  EXPECT_EQ(ports::playMidi(*port_, smf, options).ending, ports::PlayEnding::Finished);
  std::vector<Bytes> expected{
      {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7}, {0xB0, 0, 0},   {0xC0, 5},        {0xB0, 7, 100},
      {0xE0, 1800 & 0x7F, 1800 >> 7},       {0xB0, 11, 19}, {0x90, 0x3C, 100}};
  const std::vector<Bytes> rest = scheduledFrom(smf, 0.49);
  expected.insert(expected.end(), rest.begin(), rest.end());
  expected.insert(expected.end(), kResets.begin(), kResets.end());
  const std::vector<Bytes> got = bytesOf(settled(recorder_));
  EXPECT_EQ(got, expected) << differenceOf(got, expected);
}

TEST_F(LiveMidi, StopsFromAnotherThreadAndWhenThePortGoes) {
  const Bytes smf = testFile();
  ASSERT_TRUE(openPort());  // before the clock of the stop starts
  ports::MidiOut& out = *port_;
  std::atomic<bool> stop{false};
  ports::PlayOptions options;
  options.stop = &stop;
  std::thread stopper([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    stop = true;
  });
  auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(ports::playMidi(out, smf, options).ending, ports::PlayEnding::Stopped);
  stopper.join();
  // The file lasts 1.5 s: both plays end well before it would, with room for a busy machine.
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(700));
  const std::vector<Bytes> stopped = bytesOf(settled(recorder_));
  ASSERT_GT(stopped.size(), kResets.size());
  EXPECT_EQ(std::vector<Bytes>(stopped.end() - 6, stopped.end()), kResets);
  EXPECT_LT(stopped.size(), scheduledFrom(smf, 0.0).size());

  // The recorder's client ends while playing.
  std::thread closer([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    recorder_.close();
  });
  stop = false;
  started = std::chrono::steady_clock::now();
  const ports::PlayOutcome gone = ports::playMidi(out, smf, options);
  closer.join();
  EXPECT_EQ(gone.ending, ports::PlayEnding::PortGone);
  EXPECT_EQ(gone.message.rfind(
                "MIDI output port 'recorder:in [JACK]' has gone: playing stopped at 0:00", 0),
            0u)
      << gone.message;
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(1200));
}

TEST_F(LiveMidi, CommandLineListsPortsAndPlaysAMidiFile) {
  const std::string path = ::testing::TempDir() + "live-" + std::to_string(getpid()) + ".mid";
  const Bytes smf = testFile();
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(smf.data()), static_cast<std::streamsize>(smf.size()));
  std::ostringstream out, err;
  EXPECT_EQ(quorvel_terminal::runQuorvelCli({"quorvel-cli", "--list-ports"}, out, err), 0);
  EXPECT_EQ(out.str(), "1: recorder:in [JACK]\n");
  EXPECT_EQ(quorvel_terminal::runQuorvelCli({"quorvel-cli", "--play=record", path}, out, err), 0)
      << err.str();
  std::vector<Bytes> expected = scheduledFrom(smf, 0.0);
  expected.insert(expected.end(), kResets.begin(), kResets.end());
  const std::vector<Bytes> got = bytesOf(settled(recorder_));
  EXPECT_EQ(got, expected) << differenceOf(got, expected);
  EXPECT_EQ(quorvel_terminal::runQuorvelCli({"quorvel-cli", "--play=2", path}, out, err), 1);
  EXPECT_EQ(err.str(), "quorvel-cli: no MIDI output port number 2 (there are 1)\n");
  std::remove(path.c_str());
}

}  // namespace
