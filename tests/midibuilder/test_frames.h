// Helpers for the MIDI builder tests: frame images in memory and temporary DAT files.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "builder_tables.h"
#include "note_frame.h"

namespace testing_frames {

// An in-memory frame image laid out as loadFrames leaves it: records, then 1024 zero bytes.
class FrameImage {
 public:
  explicit FrameImage(int32_t frameCount)
      : bytes_(static_cast<std::size_t>(frameCount) * common::kNoteFrameBytes + 1024, 0) {
    set.buffer = bytes_.data();
    set.frameCount = frameCount;
    set.peakLevel = 1;
  }
  FrameImage(const FrameImage& other) : set(other.set), bytes_(other.bytes_) {
    set.buffer = bytes_.data();
  }
  FrameImage& operator=(const FrameImage&) = delete;

  void slot(int32_t frame, int32_t k, int32_t level, int32_t frequency) {
    set.setLevel(frame, k, level);
    set.setFrequency(frame, k, frequency);
  }
  const std::vector<uint8_t>& bytes() const { return bytes_; }

  midibuilder::FrameSet set;

 private:
  std::vector<uint8_t> bytes_;
};

inline std::vector<uint8_t> encodeFrames(const std::vector<common::NoteFrame>& frames) {
  std::vector<uint8_t> bytes(frames.size() * common::kNoteFrameBytes);
  for (std::size_t i = 0; i < frames.size(); ++i) {
    common::encodeNoteFrame(frames[i], bytes.data() + i * common::kNoteFrameBytes);
  }
  return bytes;
}

inline void writeBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<uint8_t> readBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// A temporary folder per test, removed afterwards.
class TempDir {
 public:
  // A random suffix keeps runs of the same test in parallel (or by others on this machine)
  // apart.
  explicit TempDir(const std::string& name)
      : path_(std::filesystem::temp_directory_path() /
              ("quorvel-" + name + "-" + std::to_string(std::random_device{}()))) {
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace testing_frames
