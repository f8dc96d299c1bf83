#include "note_frame.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

TEST(NoteFrame, EncodesLittleEndianSlotBySlot) {
  common::NoteFrame f;
  f.slots[0] = {0x01020304, 4400};
  f.slots[7] = {1, 60};
  f.slots[3] = {-1, std::numeric_limits<int32_t>::min()};
  uint8_t bytes[64] = {};
  common::encodeNoteFrame(f, bytes);
  EXPECT_EQ(bytes[0], 0x04);
  EXPECT_EQ(bytes[3], 0x01);
  EXPECT_EQ(bytes[4], 0x30);  // 4400 = 0x1130
  EXPECT_EQ(bytes[5], 0x11);
  const uint8_t tail[8] = {1, 0, 0, 0, 0x3C, 0, 0, 0};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(bytes[56 + i], tail[i]);
  EXPECT_EQ(bytes[24], 0xFF);
  EXPECT_EQ(bytes[31], 0x80);

  const common::NoteFrame back = common::decodeNoteFrame(bytes);
  for (int k = 0; k < 8; ++k) {
    EXPECT_EQ(back.slots[k].level, f.slots[k].level);
    EXPECT_EQ(back.slots[k].frequency, f.slots[k].frequency);
  }
}

TEST(NoteFrame, FrameCountIgnoresIncompleteRecord) {
  EXPECT_EQ(common::frameCountForLength(0), 0);
  EXPECT_EQ(common::frameCountForLength(63), 0);
  EXPECT_EQ(common::frameCountForLength(64), 1);
  EXPECT_EQ(common::frameCountForLength(130), 2);
  EXPECT_EQ(common::frameCountForLength(3904), 61);
}

}  // namespace
