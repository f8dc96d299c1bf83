// The WAVE loader on arbitrary bytes. The first input byte chooses whether a signal-buffer
// request is refused; the rest is the file. The outcome is compared with a literal reading of
// the format rules: the same message, and when the file loads, the same sample count, zero
// margins and every sample in working form.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "messages.h"
#include "wave_loader.h"

namespace fs = std::filesystem;

namespace {

[[noreturn]] void fail(const std::string& what) {
  std::fprintf(stderr, "wave_loader_fuzz: %s\n", what.c_str());
  std::abort();
}

// Allocation requests are counted; the one numbered `refuseRequest` (1-based) is refused.
int requestCount = 0;
int refuseRequest = 0;
void* countingAlloc(std::size_t size) {
  ++requestCount;
  return requestCount == refuseRequest ? nullptr : std::malloc(size);
}

struct Reference {
  std::string_view message;
  int64_t sampleCount = 0;
  int64_t firstSample = 0;  // offset of the first sample byte
  int channels = 0;
};

uint32_t le32(const uint8_t* p) {
  return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}
uint32_t le16(const uint8_t* p) {
  return uint32_t{p[0]} | (uint32_t{p[1]} << 8);
}

bool walk(const std::vector<uint8_t>& img, int64_t& pos, int64_t limit, const char* id) {
  while (pos < limit) {
    if (std::memcmp(img.data() + pos, id, 4) == 0) return true;
    pos += int64_t{le32(img.data() + pos + 4)} + 8;
  }
  return false;
}

Reference reference(const uint8_t* file, std::size_t size) {
  std::vector<uint8_t> img(file, file + size);
  img.resize(size + 4096, 0);
  Reference r;
  r.message = msg::kUnsupportedFile;
  const int64_t limit = std::min<int64_t>(static_cast<int64_t>(size), 1024);
  if (limit < 16) return r;
  int64_t wave = 4;
  while (wave < limit && std::memcmp(img.data() + wave, "WAVE", 4) != 0) ++wave;
  if (wave >= limit) return r;
  int64_t fmt = wave + 4;
  if (!walk(img, fmt, limit, "fmt ")) return r;
  int64_t data = fmt + int64_t{le32(img.data() + fmt + 4)} + 8;
  if (!walk(img, data, limit, "data")) return r;
  const uint32_t tag = le16(img.data() + fmt + 8), channels = le16(img.data() + fmt + 10);
  const uint32_t rate = le32(img.data() + fmt + 12), bits = le16(img.data() + fmt + 22);
  if (tag != 1 || (channels != 1 && channels != 2) || (bits != 8 && bits != 16)) return r;
  const uint32_t dataSize = le32(img.data() + data + 4);
  r.firstSample = data + 8;
  if (int64_t{dataSize} > static_cast<int64_t>(size) - r.firstSample) {
    return r.message = msg::kBadDataLength, r;
  }
  if (rate != 44100) return r.message = msg::kNot44100, r;
  if (bits != 16) return r.message = msg::kNot16Bit, r;
  r.channels = static_cast<int>(channels);
  r.sampleCount = dataSize / (channels * 2);
  if (r.sampleCount > analyser::kMaxSampleCount) return r.message = msg::kAudioTooLong, r;
  r.message = {};
  return r;
}

struct TempFile {
  fs::path path = fs::temp_directory_path() /
                  ("wave-loader-fuzz-" + std::to_string(std::random_device{}()) + ".wav");
  ~TempFile() {
    std::error_code ec;
    fs::remove(path, ec);
  }
};

void checkSamples(const analyser::WaveSignal& w, const Reference& r, const uint8_t* file) {
  const int32_t* s = w.signal;
  for (int64_t i = 0; i < analyser::kMarginSamples; ++i) {
    if (s[i] != 0 || s[analyser::kMarginSamples + w.sampleCount + i] != 0) {
      fail("margin not zero");
    }
  }
  for (int64_t i = 0; i < w.sampleCount; ++i) {
    const uint8_t* p = file + r.firstSample + i * 2 * r.channels;
    const int32_t first = static_cast<int16_t>(le16(p));
    const int32_t want =
        r.channels == 1 ? first * 256 : (first + static_cast<int16_t>(le16(p + 2))) * 128;
    if (s[analyser::kMarginSamples + i] != want) fail("sample " + std::to_string(i) + " differs");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  static TempFile temp;
  const uint8_t* file = data + 1;
  const std::size_t fileSize = size - 1;
  {
    std::ofstream out(temp.path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(file), static_cast<std::streamsize>(fileSize));
    if (!out) fail("cannot write the temporary file");
  }
  // 1: the file image itself, 2: the signal buffer, 3: the residual buffer.
  requestCount = 0;
  refuseRequest = (data[0] & 3) == 1 ? 2 : (data[0] & 3) == 2 ? 3 : 0;
  common::AllocationRegistry registry(&countingAlloc, &std::free);

  const analyser::LoadResult got = analyser::loadWave(registry, temp.path.string());
  const Reference want = reference(file, fileSize);
  const bool refused = refuseRequest != 0 && want.message.empty();
  switch (got.status) {
    case analyser::LoadStatus::Loaded:
      if (!want.message.empty()) fail("loaded, expected '" + std::string(want.message) + "'");
      if (refused) fail("loaded although a buffer request was refused");
      if (!got.message.empty()) fail("loaded with a message");
      if (got.wave.sampleCount != want.sampleCount) fail("sample count differs");
      if (got.wave.residual == nullptr || got.wave.signal == nullptr) fail("no buffers");
      checkSamples(got.wave, want, file);
      if (registry.count() != 3) fail("not three registry blocks");
      break;
    case analyser::LoadStatus::Refused:
      if (got.message != want.message) {
        fail("message '" + got.message + "', expected '" + std::string(want.message) + "'");
      }
      if (refused) fail("a refused buffer reported as a format refusal");
      break;
    case analyser::LoadStatus::MemoryFailure:
      if (!refused) fail("memory failure without a refused request");
      if (registry.count() != 0) fail("registry not freed after the memory failure");
      break;
  }
  registry.freeAll();
  return 0;
}
