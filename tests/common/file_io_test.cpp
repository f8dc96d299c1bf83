#include "file_io.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include "messages.h"

namespace fs = std::filesystem;

namespace {

class FileIoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("fileio-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    common::fileFaults() = {};
  }
  void TearDown() override {
    common::fileFaults() = {};
    fs::remove_all(dir_);
  }
  std::string path(const std::string& name) const { return (dir_ / name).string(); }
  static void put(const std::string& p, const std::string& content) {
    std::ofstream(p, std::ios::binary) << content;
  }
  static std::string get(const std::string& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  std::vector<std::string> listing() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir_))
      names.push_back(e.path().filename().string());
    return names;
  }
  fs::path dir_;
  common::AllocationRegistry reg_;
};

TEST_F(FileIoTest, ReadsDataFollowedByZeroRun) {
  put(path("a.bin"), "abc");
  uint8_t* block = nullptr;
  int32_t length = -1;
  EXPECT_EQ(common::readWholeFile(reg_, path("a.bin"), 5, block, length), "");
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(length, 3);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(block), 3), "abc");
  for (int i = 3; i < 8; ++i) EXPECT_EQ(block[i], 0);
  EXPECT_EQ(reg_.count(), 1);
}

TEST_F(FileIoTest, EmptyFileGivesBlockOfExtraZeros) {
  put(path("empty"), "");
  uint8_t* block = nullptr;
  int32_t length = -1;
  EXPECT_EQ(common::readWholeFile(reg_, path("empty"), 1024, block, length), "");
  EXPECT_EQ(length, 0);
  ASSERT_NE(block, nullptr);
  for (int i = 0; i < 1024; ++i) ASSERT_EQ(block[i], 0);

  // Nothing to hold at all: no request is made, since a request for zero bytes would be the
  // registry's free-all and release the blocks the caller already holds.
  void* held = reg_.trackedAlloc(64);
  const int32_t count = reg_.count();
  EXPECT_EQ(common::readWholeFile(reg_, path("empty"), 0, block, length), "");
  EXPECT_EQ(length, 0);
  EXPECT_EQ(reg_.count(), count);
  EXPECT_EQ(reg_.entry(count - 1), held);
}

TEST_F(FileIoTest, OpenFailuresAreClassifiedAndLeaveOutputsUnchanged) {
  uint8_t sentinel = 0;
  uint8_t* block = &sentinel;
  int32_t length = 77;
  EXPECT_EQ(common::readWholeFile(reg_, path("missing.wav"), 16, block, length),
            msg::kFileNotFound);
  EXPECT_EQ(common::readWholeFile(reg_, path("nofolder/x.wav"), 16, block, length),
            msg::kCannotOpen);
  fs::create_directory(path("folder.wav"));
  EXPECT_EQ(common::readWholeFile(reg_, path("folder.wav"), 16, block, length), msg::kCannotOpen);
  put(path("plain"), "x");
  EXPECT_EQ(common::readWholeFile(reg_, path("plain/x.wav"), 16, block, length), msg::kCannotOpen);
  EXPECT_EQ(common::readWholeFile(reg_, "", 16, block, length), msg::kCannotOpen);
  EXPECT_EQ(block, &sentinel);
  EXPECT_EQ(length, 77);
  EXPECT_EQ(reg_.count(), 0);
}

TEST_F(FileIoTest, ShortReadReportsReadErrorAndStillZeroesFromLength) {
  put(path("a.bin"), "abcdef");
  common::fileFaults().readLimit = 2;
  uint8_t* block = nullptr;
  int32_t length = 0;
  EXPECT_EQ(common::readWholeFile(reg_, path("a.bin"), 4, block, length), msg::kReadError);
  EXPECT_EQ(length, 6);
  ASSERT_NE(block, nullptr);
  for (int i = 6; i < 10; ++i) EXPECT_EQ(block[i], 0);
  EXPECT_EQ(reg_.count(), 1);  // the block stays recorded for the closing free-all
}

TEST_F(FileIoTest, SizePlusExtraBeyondInt32GivesMemoryMessageWithoutAllocating) {
  put(path("a.bin"), "abcdef");
  uint8_t* block = nullptr;
  int32_t length = 0;
  EXPECT_EQ(common::readWholeFile(reg_, path("a.bin"), 2147483645, block, length), msg::kNoMemory);
  EXPECT_EQ(reg_.count(), 0);
}

TEST_F(FileIoTest, WriteCreatesAndReplacesWholeContent) {
  const std::string p = path("out.dat");
  const std::string longer = "0123456789";
  EXPECT_EQ(common::writeWholeFile(p, reinterpret_cast<const uint8_t*>(longer.data()), 10), "");
  EXPECT_EQ(get(p), longer);
  EXPECT_EQ(common::writeWholeFile(p, reinterpret_cast<const uint8_t*>("ab"), 2), "");
  EXPECT_EQ(get(p), "ab");
  EXPECT_EQ(common::writeWholeFile(p, nullptr, 0), "");
  EXPECT_TRUE(fs::exists(p));
  EXPECT_EQ(fs::file_size(p), 0u);
  EXPECT_EQ(listing().size(), 1u);  // no temporary left behind
}

TEST_F(FileIoTest, FailedWritesKeepEarlierFileAndLeaveNoTemporary) {
  const std::string p = path("out.mid");
  put(p, "earlier content");
  const std::string data(1000, 'x');
  const auto* bytes = reinterpret_cast<const uint8_t*>(data.data());

  common::fileFaults().writeLimit = 100;  // the disk fills up part-way
  EXPECT_EQ(common::writeWholeFile(p, bytes, 1000), msg::kWriteError);
  EXPECT_EQ(get(p), "earlier content");
  common::fileFaults() = {};

  common::fileFaults().failRename = true;
  EXPECT_EQ(common::writeWholeFile(p, bytes, 1000), msg::kCannotCreate);
  EXPECT_EQ(get(p), "earlier content");
  common::fileFaults() = {};
  EXPECT_EQ(listing().size(), 1u);

  EXPECT_EQ(common::writeWholeFile(path("nofolder/out.mid"), bytes, 10), msg::kCannotCreate);
  fs::create_directory(path("dir.mid"));
  EXPECT_EQ(common::writeWholeFile(path("dir.mid"), bytes, 10), msg::kCannotCreate);
  EXPECT_TRUE(fs::is_directory(path("dir.mid")));
}

TEST_F(FileIoTest, WritingThroughASymbolicLinkReplacesTheFileItNamesAndKeepsTheLink) {
  fs::create_directory(path("real"));
  put(path("real/song.mid"), "earlier");
  fs::create_symlink(fs::path("real") / "song.mid", path("link.mid"));  // relative
  fs::create_symlink(path("link.mid"), path("chain.mid"));              // absolute, to a link
  EXPECT_EQ(common::writeWholeFile(path("chain.mid"), reinterpret_cast<const uint8_t*>("new"), 3),
            "");
  EXPECT_EQ(get(path("real/song.mid")), "new");
  EXPECT_TRUE(fs::is_symlink(path("chain.mid")));
  EXPECT_TRUE(fs::is_symlink(path("link.mid")));
  // No temporary is left beside the links or beside the file.
  EXPECT_EQ(listing().size(), 3u);
  EXPECT_EQ(std::distance(fs::directory_iterator(path("real")), fs::directory_iterator()), 1);

  // A dangling link creates the file it names; a loop of links is refused.
  fs::create_symlink(fs::path("real") / "new.mid", path("dangling.mid"));
  EXPECT_EQ(common::writeWholeFile(path("dangling.mid"), reinterpret_cast<const uint8_t*>("x"), 1),
            "");
  EXPECT_EQ(get(path("real/new.mid")), "x");
  fs::create_symlink(path("loop-b.mid"), path("loop-a.mid"));
  fs::create_symlink(path("loop-a.mid"), path("loop-b.mid"));
  EXPECT_EQ(common::writeWholeFile(path("loop-a.mid"), reinterpret_cast<const uint8_t*>("x"), 1),
            msg::kCannotCreate);
  EXPECT_TRUE(fs::is_symlink(path("loop-a.mid")));
}

TEST_F(FileIoTest, WriteProtectedFileIsNotReplaced) {
  // A file nobody may write to cannot be opened for writing, so it cannot be created anew;
  // the rename of a finished temporary must not go round that.
  const std::string p = path("kept.dat");
  put(p, "protected");
  fs::permissions(p, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  EXPECT_EQ(common::writeWholeFile(p, reinterpret_cast<const uint8_t*>("new"), 3),
            msg::kCannotCreate);
  EXPECT_EQ(get(p), "protected");
  EXPECT_EQ(listing().size(), 1u);
  fs::permissions(p, fs::perms::owner_write, fs::perm_options::add);
}

}  // namespace

namespace {

// Paths are UTF-8 whatever the system: on Windows they must reach the wide API, since a
// Japanese name does not survive an ANSI code page such as 1252.
TEST_F(FileIoTest, JapaneseNamesAreReadWrittenReplacedAndClassified) {
  const auto u8 = [](const fs::path& p) {
    const std::u8string s = p.u8string();
    return std::string(s.begin(), s.end());
  };
  const std::string folder = u8(dir_) + "/録音";
  const std::string file = folder + "/声データ.dat";
  const auto bytes = [](const char* s) { return reinterpret_cast<const uint8_t*>(s); };
  uint8_t* block = nullptr;
  int32_t length = 0;
  EXPECT_EQ(common::readWholeFile(reg_, file, 0, block, length), msg::kCannotOpen);
  fs::create_directory(fs::path(dir_.u8string() + u8"/録音"));
  EXPECT_EQ(common::readWholeFile(reg_, file, 0, block, length), msg::kFileNotFound);
  EXPECT_EQ(common::readWholeFile(reg_, folder, 0, block, length), msg::kCannotOpen);
  EXPECT_EQ(common::writeWholeFile(folder, bytes("x"), 1), msg::kCannotCreate);

  EXPECT_EQ(common::writeWholeFile(file, bytes("first"), 5), "");
  EXPECT_EQ(common::writeWholeFile(file, bytes("second"), 6), "");
  ASSERT_EQ(common::readWholeFile(reg_, file, 2, block, length), "");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(block), 8), std::string("second\0\0", 8));
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(fs::path(dir_.u8string() + u8"/録音"))) {
    names.push_back(u8(e.path().filename()));
  }
  EXPECT_EQ(names, std::vector<std::string>{"声データ.dat"});  // no temporary left behind
  reg_.freeAll();
}

// A write into a missing folder names that folder and the system's own words for it; a file
// that cannot be flushed is a write error that leaves the earlier file; a good write flushes
// the temporary file, then the folder; pieces are written one after another.
std::vector<std::pair<std::string, bool>> syncCalls;
bool syncFails = false;
bool recordSync(const std::string& path, bool folder) {
  syncCalls.emplace_back(path, folder);
  return folder || !syncFails;
}

TEST_F(FileIoTest, FailuresNameThePathAndReasonAndWritesAreFlushedFileThenFolder) {
  const uint8_t bytes[] = {'a', 'b', 'c', 'd', 'e'};
  EXPECT_EQ(common::writeWholeFile(path("missing/x.dat"), bytes, 5), msg::kCannotCreate);
  EXPECT_EQ(common::lastWriteFailure().path, path("missing"));
  EXPECT_EQ(common::lastWriteFailure().reason, std::generic_category().message(ENOENT));

  common::fileSyncHook() = &recordSync;
  put(path("out.dat"), "old");
  syncFails = true;
  EXPECT_EQ(common::writeWholeFile(path("out.dat"), bytes, 5), msg::kWriteError);
  EXPECT_EQ(get(path("out.dat")), "old");
  ASSERT_EQ(syncCalls.size(), 1u);
  EXPECT_EQ(common::lastWriteFailure().path, syncCalls[0].first);
  EXPECT_EQ(fs::path(syncCalls[0].first).parent_path(), dir_);

  syncFails = false;
  syncCalls.clear();
  EXPECT_EQ(common::writeWholeFile(path("out.dat"), {{bytes, 2}, {bytes + 2, 3}}), "");
  EXPECT_EQ(get(path("out.dat")), "abcde");
  EXPECT_EQ(common::lastWriteFailure().path, "");
  ASSERT_EQ(syncCalls.size(), 2u);
  EXPECT_FALSE(syncCalls[0].second);
  EXPECT_EQ(fs::path(syncCalls[1].first), dir_);
  EXPECT_TRUE(syncCalls[1].second);
  common::fileSyncHook() = nullptr;

  common::fileFaults().writeLimit = 3;  // counted over the pieces together
  EXPECT_EQ(common::writeWholeFile(path("out.dat"), {{bytes, 2}, {bytes + 2, 3}}),
            msg::kWriteError);
  EXPECT_EQ(common::lastWriteFailure().reason,
            std::make_error_code(std::errc::no_space_on_device).message());
  EXPECT_EQ(listing(), std::vector<std::string>{"out.dat"});
}

}  // namespace
