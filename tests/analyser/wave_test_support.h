// Builders for WAVE files used by the analyser tests: chunks are assembled byte by byte so that
// malformed layouts can be made as easily as canonical ones.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace wavetest {

using Bytes = std::vector<uint8_t>;

inline void putU16(Bytes& b, uint32_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}

inline void putU32(Bytes& b, uint32_t v) {
  putU16(b, v & 0xFFFF);
  putU16(b, v >> 16);
}

inline void putId(Bytes& b, std::string_view id) {
  b.insert(b.end(), id.begin(), id.end());
}

// A chunk with its header; `declaredSize` overrides the stored size when given.
inline Bytes chunk(std::string_view id, const Bytes& body, int64_t declaredSize = -1) {
  Bytes b;
  putId(b, id);
  putU32(b, static_cast<uint32_t>(declaredSize >= 0 ? declaredSize : int64_t(body.size())));
  b.insert(b.end(), body.begin(), body.end());
  return b;
}

inline Bytes fmtChunk(uint32_t tag, uint32_t channels, uint32_t rate, uint32_t bits) {
  Bytes body;
  putU16(body, tag);
  putU16(body, channels);
  putU32(body, rate);
  putU32(body, rate * channels * bits / 8);
  putU16(body, channels * bits / 8);
  putU16(body, bits);
  return chunk("fmt ", body);
}

inline Bytes samples16(const std::vector<int16_t>& values) {
  Bytes b;
  for (int16_t v : values) putU16(b, static_cast<uint16_t>(v));
  return b;
}

// "RIFF" + size + "WAVE" followed by the given chunks.
inline Bytes riff(const std::vector<Bytes>& chunks) {
  Bytes body;
  putId(body, "WAVE");
  for (const Bytes& c : chunks) body.insert(body.end(), c.begin(), c.end());
  Bytes b;
  putId(b, "RIFF");
  putU32(b, static_cast<uint32_t>(body.size()));
  b.insert(b.end(), body.begin(), body.end());
  return b;
}

inline Bytes canonical(const std::vector<int16_t>& values, uint32_t channels = 1,
                       uint32_t rate = 44100) {
  return riff({fmtChunk(1, channels, rate, 16), chunk("data", samples16(values))});
}

inline void writeFile(const std::filesystem::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

inline Bytes readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A fresh, empty folder for one test, removed again at the end of its scope.
class ScratchDir {
 public:
  explicit ScratchDir(const std::string& tag) {
    static int serial = 0;
    static const unsigned run = std::random_device{}();
    path_ = std::filesystem::temp_directory_path() /
            ("sevrane-" + tag + "-" + std::to_string(run) + "-" + std::to_string(serial++));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  const std::filesystem::path& path() const { return path_; }
  std::string file(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

}  // namespace wavetest
