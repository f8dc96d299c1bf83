// Whole-file reading and writing against real file-system failures: a full disk and a
// read-only folder on a small tmpfs, inputs that vanish or shrink, inputs too large to hold.
// Every failure must give its message, keep an earlier file byte for byte and leave no
// temporary file.
#include <gtest/gtest.h>

#include <string>

#include "alloc_registry.h"
#include "file_io.h"
#include "messages.h"
#include "scratch_dir.h"

namespace {

using namespace robustness;

class FileSystemTest : public ::testing::Test {
 protected:
  void SetUp() override { common::fileFaults() = {}; }
  void TearDown() override { common::fileFaults() = {}; }
  static std::string write(const std::string& path, const std::string& data) {
    return common::writeWholeFile(path, reinterpret_cast<const uint8_t*>(data.data()),
                                  static_cast<int32_t>(data.size()));
  }
  common::AllocationRegistry registry_;
};

TEST_F(FileSystemTest, FullDiskKeepsEarlierFileAndLeavesNoTemporary) {
  SmallTmpfs disk(64);
  if (!disk.mounted()) GTEST_SKIP() << "tmpfs cannot be mounted here";
  const std::string target = disk / "song.mid";
  ASSERT_EQ(write(target, "earlier"), "");
  EXPECT_EQ(write(target, std::string(200 * 1024, 'x')), msg::kWriteError);
  EXPECT_EQ(slurp(target), "earlier");
  EXPECT_EQ(listing(disk.path()), std::vector<std::string>{"song.mid"});

  // A new file that would fit on its own, but not beside the earlier one until the rename.
  const std::string large(40 * 1024, 'a');
  ASSERT_EQ(write(target, large), "");
  EXPECT_EQ(write(target, std::string(40 * 1024, 'b')), msg::kWriteError);
  EXPECT_EQ(slurp(target), large);
  EXPECT_EQ(listing(disk.path()), std::vector<std::string>{"song.mid"});

  // With room again the replacement succeeds.
  ASSERT_EQ(write(target, "small"), "");
  EXPECT_EQ(slurp(target), "small");
}

TEST_F(FileSystemTest, ReadOnlyFolderRefusesCreationAndKeepsEarlierFile) {
  SmallTmpfs disk(64);
  if (!disk.mounted()) GTEST_SKIP() << "tmpfs cannot be mounted here";
  const std::string target = disk / "voice.dat";
  ASSERT_EQ(write(target, "earlier"), "");
  ASSERT_TRUE(disk.makeReadOnly());
  EXPECT_EQ(write(target, "new content"), msg::kCannotCreate);
  EXPECT_EQ(write(disk / "other.dat", "new content"), msg::kCannotCreate);
  EXPECT_EQ(slurp(target), "earlier");
  EXPECT_EQ(listing(disk.path()), std::vector<std::string>{"voice.dat"});
}

TEST_F(FileSystemTest, OutputWithTheLongestFileNameIsWrittenAndReplaced) {
  // 255 bytes is the longest name most file systems take; the temporary file must not need more.
  ScratchDir dir;
  const std::string target = dir / (std::string(251, 'n') + ".mid");
  ASSERT_EQ(write(target, "first"), "");
  ASSERT_EQ(write(target, "second"), "");
  EXPECT_EQ(slurp(target), "second");
  EXPECT_EQ(listing(dir.path()).size(), 1u);
  const std::string relative = std::string(251, 'r') + ".dat";
  const fs::path previous = fs::current_path();
  fs::current_path(dir.path());
  EXPECT_EQ(write(relative, "here"), "");  // a bare name: the temporary goes to this folder
  fs::current_path(previous);
  EXPECT_EQ(slurp(dir.path() / relative), "here");
  EXPECT_EQ(listing(dir.path()).size(), 2u);
}

TEST_F(FileSystemTest, VanishedInputsAreReportedAndLeaveCallerUntouched) {
  ScratchDir dir;
  const std::string input = dir / "take.wav";
  put(input, "RIFF");
  fs::remove(input);
  uint8_t* block = nullptr;
  int32_t length = -5;
  EXPECT_EQ(common::readWholeFile(registry_, input, 4096, block, length), msg::kFileNotFound);
  fs::remove_all(dir.path());  // the whole folder goes
  EXPECT_EQ(common::readWholeFile(registry_, input, 4096, block, length), msg::kCannotOpen);
  EXPECT_EQ(block, nullptr);
  EXPECT_EQ(length, -5);
  EXPECT_EQ(registry_.count(), 0);
}

TEST_F(FileSystemTest, InputThatShrinksWhileReadGivesReadError) {
  ScratchDir dir;
  put(dir / "take.dat", std::string(640, '\x11'));
  common::fileFaults().readLimit = 100;
  uint8_t* block = nullptr;
  int32_t length = 0;
  EXPECT_EQ(common::readWholeFile(registry_, dir / "take.dat", 1024, block, length),
            msg::kReadError);
  EXPECT_EQ(registry_.count(), 1);  // released by the caller's closing free-all
  registry_.freeAll();
  EXPECT_EQ(registry_.count(), 0);
}

TEST_F(FileSystemTest, InputsBeyondTwoGibibytesAreRefusedWithoutAllocating) {
  ScratchDir dir;
  const std::string huge = dir / "huge.wav";
  put(huge, "RIFF");
  // Sparse files: they take no disk space, and must not be read or allocated.
  for (const uintmax_t size :
       {uintmax_t{0x80000000}, uintmax_t{0x7FFFFFFF} - 4095, uintmax_t{0x100000000} + 44}) {
    fs::resize_file(huge, size);
    uint8_t* block = nullptr;
    int32_t length = 0;
    EXPECT_EQ(common::readWholeFile(registry_, huge, 4096, block, length), msg::kNoMemory) << size;
    EXPECT_EQ(block, nullptr);
    EXPECT_EQ(registry_.count(), 0);
  }
}

}  // namespace
