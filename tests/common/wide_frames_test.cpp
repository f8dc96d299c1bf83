#include "wide_frames.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <tuple>

#include "messages.h"

namespace {

using Bytes = std::vector<uint8_t>;

common::NoteFrames twoFrames() {
  common::NoteFrames f;
  f.voices = 2;
  f.framesPerSecond = 120;
  f.method = "tracked";
  f.slots = {{1, 2}, {-1, 0x01020304}, {0, 0}, {7, 8}};
  return f;
}

TEST(WideFrames, ImageIsTheDocumentedLayoutAndReadsBack) {
  // Written out by hand from the layout: magic, version 1, 2 voices, 120/s, 2 frames, "tracked".
  const Bytes expected = {'W', 'D',  'A',  'T',  13,   10,  26,  10, 1, 0, 0, 0, 2, 0,
                          0,   0,    120,  0,    0,    0,   2,   0,  0, 0, 7, 0, 0, 0,
                          't', 'r',  'a',  'c',  'k',  'e', 'd', 1,  0, 0, 0, 2, 0, 0,
                          0,   0xFF, 0xFF, 0xFF, 0xFF, 4,   3,   2,  1, 0, 0, 0, 0, 0,
                          0,   0,    0,    7,    0,    0,   0,   8,  0, 0, 0};
  ASSERT_EQ(common::encodeWide(twoFrames()), expected);
  common::NoteFrames back;
  ASSERT_EQ(common::decodeWide(expected.data(), expected.size(), back), "");
  EXPECT_EQ(common::encodeWide(back), expected);
  EXPECT_EQ(back.method, "tracked");
  EXPECT_EQ(back.framesPerSecond, 120);
}

TEST(WideFrames, EveryBrokenImageIsRefused) {
  const Bytes good = common::encodeWide(twoFrames());
  common::NoteFrames out;
  // Every shorter image, and one byte more.
  for (std::size_t n = 0; n < good.size(); ++n) {
    EXPECT_EQ(common::decodeWide(good.data(), n, out), msg::kUnsupportedFile) << n;
  }
  Bytes longer = good;
  longer.push_back(0);
  EXPECT_EQ(common::decodeWide(longer.data(), longer.size(), out), msg::kUnsupportedFile);
  // One field at a time out of range: magic, version, voices 0 and 16, rate, count, name length
  // 0 and 33, a name character.
  const std::pair<std::size_t, uint8_t> edits[] = {
      {3, 'X'}, {8, 2}, {12, 0}, {12, 16}, {16, 61}, {23, 0x80}, {24, 0}, {24, 33}, {29, '.'}};
  for (const auto& [at, value] : edits) {
    Bytes broken = good;
    broken[at] = value;
    EXPECT_EQ(common::decodeWide(broken.data(), broken.size(), out), msg::kUnsupportedFile) << at;
  }
  Bytes tooMany = good;
  common::writeInt32LE(&tooMany[20], common::kFrameCapacity + 1);
  EXPECT_EQ(common::decodeWide(tooMany.data(), tooMany.size(), out), msg::kDatTooLong);

  // A file longer than any well-formed one is refused as it stands.
  const auto path = std::filesystem::temp_directory_path() / "wide_frames_test_long.wdat";
  std::ofstream(path, std::ios::binary) << std::string(common::kWideMaxFileBytes + 1, '\0');
  EXPECT_EQ(common::readWideFile(path.string(), out), msg::kUnsupportedFile);
  std::filesystem::remove(path);
}

TEST(WideFrames, NamesAndTheChoiceOfFormat) {
  EXPECT_TRUE(common::isWidePath("a.WDat  "));
  EXPECT_FALSE(common::isWidePath("a.dat"));
  EXPECT_FALSE(common::isWidePath("awdat"));
  EXPECT_EQ(common::widePathFor("take.DAT"), "take.wdat");
  EXPECT_EQ(common::widePathFor("take"), "take.wdat");

  common::NoteFrames f;  // the seed's: eight slots at any of its units
  f.framesPerSecond = 15;
  EXPECT_TRUE(common::storedAsDat(f));
  f.method = "tracked";
  for (const auto& [voices, rate, dat] :
       {std::tuple{6, 60, true}, {7, 60, false}, {6, 120, false}}) {
    f.voices = voices;
    f.framesPerSecond = rate;
    EXPECT_EQ(common::storedAsDat(f), dat) << voices << " " << rate;
  }
}

}  // namespace
