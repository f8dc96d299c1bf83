// The strict reader must reject every kind of malformed file the harnesses rely on it to catch.
#include "smf_check.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes fileOf(const std::vector<Bytes>& trackBodies, uint16_t format = 1, uint16_t division = 480) {
  Bytes out = {'M',
               'T',
               'h',
               'd',
               0,
               0,
               0,
               6,
               0,
               static_cast<uint8_t>(format),
               0,
               static_cast<uint8_t>(trackBodies.size()),
               static_cast<uint8_t>(division >> 8),
               static_cast<uint8_t>(division & 0xFF)};
  for (const Bytes& body : trackBodies) {
    const auto n = static_cast<uint32_t>(body.size());
    out.insert(out.end(),
               {'M', 'T', 'r', 'k', static_cast<uint8_t>(n >> 24), static_cast<uint8_t>(n >> 16),
                static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n)});
    out.insert(out.end(), body.begin(), body.end());
  }
  return out;
}

std::string check(const Bytes& bytes) {
  smfcheck::File file;
  return smfcheck::parse(bytes.data(), bytes.size(), file);
}

// Bend, a control change and a running-status control change, a note on, a four-byte delta
// time, then End of Track.
const Bytes kChannelTrack = {0x83, 0x60, 0xE0, 0x00, 0x40, 0x09, 0xB0, 0x00, 0x08,
                             0x0A, 0x65, 0x00, 0x00, 0x90, 0x45, 0x7F, 0xFF, 0xFF,
                             0xFF, 0x7F, 0x90, 0x45, 0x00, 0x00, 0xFF, 0x2F, 0x00};
const Bytes kConductor = {0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20, 0x00, 0xF0, 0x0A, 0x41, 0x10,
                          0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7, 0x00, 0xFF, 0x2F, 0x00};

TEST(SmfCheck, WellFormedFileIsReadWithAbsoluteTicks) {
  smfcheck::File file;
  const Bytes bytes = fileOf({kChannelTrack, kConductor});
  ASSERT_EQ(smfcheck::parse(bytes.data(), bytes.size(), file), "");
  EXPECT_EQ(file.format, 1);
  EXPECT_EQ(file.division, 480);
  ASSERT_EQ(file.tracks.size(), 2u);
  const auto& events = file.tracks[0].events;
  ASSERT_EQ(events.size(), 6u);
  EXPECT_EQ(events[0].tick, 480);
  EXPECT_EQ(events[2].status, 0xB0);
  EXPECT_TRUE(events[2].runningStatus);
  EXPECT_EQ(events[2].data, (Bytes{0x65, 0x00}));
  EXPECT_EQ(events[4].delta, 0x0FFFFFFFu);
  EXPECT_EQ(file.tracks[0].endTick, 480 + 9 + 10 + 0x0FFFFFFF);
  EXPECT_EQ(file.tracks[1].events[1].status, 0xF0);
}

TEST(SmfCheck, TopLevelStructureViolationsAreRejected) {
  const Bytes good = fileOf({kChannelTrack, kConductor});
  Bytes b = good;
  b[7] = 7;  // header length
  EXPECT_NE(check(b), "");
  b = good;
  b[11] = 3;  // one track more than present
  EXPECT_NE(check(b), "");
  b = good;
  b[13] = 0;
  b[12] = 0;  // division 0
  EXPECT_NE(check(b), "");
  b = good;
  b.push_back(0);  // trailing byte
  EXPECT_NE(check(b), "");
  b = good;
  b[14 + 7] += 1;  // first track one byte longer than its events
  EXPECT_NE(check(b), "");
  b = good;
  b[14 + 7] -= 1;  // first track cut inside End of Track
  EXPECT_NE(check(b), "");
  b = good;
  b[14] = 'X';
  EXPECT_NE(check(b), "");
  EXPECT_NE(check(fileOf({kChannelTrack, kConductor}, 0)), "");  // format 0, two tracks
  EXPECT_EQ(check(fileOf({kConductor}, 0)), "");
  EXPECT_EQ(check(fileOf({kConductor}, 1, 0xE728)), "");  // any non-zero division
}

TEST(SmfCheck, EventLevelViolationsAreRejected) {
  const std::vector<std::pair<const char*, Bytes>> cases = {
      {"no End of Track", {0x00, 0x90, 0x45, 0x7F}},
      {"event after End of Track", {0x00, 0xFF, 0x2F, 0x00, 0x00, 0x90, 0x45, 0x7F}},
      {"End of Track with data", {0x00, 0xFF, 0x2F, 0x01, 0x00}},
      {"data byte 0x80", {0x00, 0x90, 0x80, 0x7F, 0x00, 0xFF, 0x2F, 0x00}},
      {"bend MSB 0x80", {0x00, 0xE0, 0x00, 0x80, 0x00, 0xFF, 0x2F, 0x00}},
      {"five-byte delta", {0x81, 0x80, 0x80, 0x80, 0x00, 0xFF, 0x2F, 0x00}},
      {"non-minimal delta", {0x80, 0x05, 0xFF, 0x2F, 0x00}},
      {"running status at track start", {0x00, 0x45, 0x7F, 0x00, 0xFF, 0x2F, 0x00}},
      {"running status after meta",
       {0x00, 0x90, 0x45, 0x7F, 0x00, 0xFF, 0x01, 0x00, 0x00, 0x45, 0x00, 0x00, 0xFF, 0x2F, 0x00}},
      {"running status after sysex",
       {0x00, 0xB0, 0x07, 0x64, 0x00, 0xF0, 0x01, 0xF7, 0x00, 0x07, 0x64, 0x00, 0xFF, 0x2F, 0x00}},
      {"sysex without F7", {0x00, 0xF0, 0x02, 0x41, 0x10, 0x00, 0xFF, 0x2F, 0x00}},
      {"sysex past track end", {0x00, 0xF0, 0x09, 0x41, 0xF7}},
      {"system common status", {0x00, 0xF2, 0x00, 0x00, 0x00, 0xFF, 0x2F, 0x00}},
      {"tempo of two bytes", {0x00, 0xFF, 0x51, 0x02, 0x07, 0xA1, 0x00, 0xFF, 0x2F, 0x00}},
      {"channel event cut off", {0x00, 0x90, 0x45}},
      {"delta without event", {0x00}},
  };
  for (const auto& [name, body] : cases) {
    EXPECT_NE(check(fileOf({body})), "") << name;
  }
  // A program change takes one data byte, so the next byte is a new delta time.
  EXPECT_EQ(check(fileOf({{0x00, 0xC0, 0x50, 0x00, 0xFF, 0x2F, 0x00}})), "");
}

}  // namespace
