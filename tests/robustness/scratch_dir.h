// Folders for tests of file-system failures: a fresh scratch folder per test, and a small
// tmpfs mounted on demand (needs root; tests skip where mounting is not allowed).
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace robustness {

namespace fs = std::filesystem;

inline std::string slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void put(const fs::path& p, const std::string& content) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out << content;
}

inline std::vector<std::string> listing(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

class ScratchDir {
 public:
  ScratchDir() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    path_ = fs::temp_directory_path() /
            ("robust-" + std::string(info->name()) + "-" + std::to_string(std::random_device{}()));
    fs::remove_all(path_);
    fs::create_directories(path_);
  }
  ~ScratchDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const fs::path& path() const { return path_; }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }

 private:
  fs::path path_;
};

// A tmpfs of `kilobytes` mounted on a fresh folder for the life of the object. mounted() is
// false where the system does not allow it (not root, no mount capability).
class SmallTmpfs {
 public:
  explicit SmallTmpfs(int kilobytes) {
    path_ = fs::temp_directory_path() / ("robust-tmpfs-" + std::to_string(std::random_device{}()));
    fs::create_directories(path_);
    mounted_ = run("mount -t tmpfs -o size=" + std::to_string(kilobytes) + "k tmpfs '" +
                   path_.string() + "' 2>/dev/null");
  }
  ~SmallTmpfs() {
    if (mounted_) run("umount -l '" + path_.string() + "'");
    std::error_code ec;
    fs::remove(path_, ec);
  }
  SmallTmpfs(const SmallTmpfs&) = delete;
  SmallTmpfs& operator=(const SmallTmpfs&) = delete;
  bool mounted() const { return mounted_; }
  bool makeReadOnly() { return run("mount -o remount,ro '" + path_.string() + "'"); }
  const fs::path& path() const { return path_; }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }

 private:
  static bool run(const std::string& command) { return std::system(command.c_str()) == 0; }
  fs::path path_;
  bool mounted_ = false;
};

}  // namespace robustness
