#include "recording.h"

#include <sndfile.h>
#include <soxr.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>

#include "file_io.h"
#include "messages.h"
#include "wave_loader.h"

namespace media {
namespace {

constexpr int kTargetRate = 44100;
// Frames read from the file per block; the block holds at most this many values whatever the
// channel count.
constexpr sf_count_t kBlockValues = 1 << 13;

std::string text(std::string_view message) {
  return std::string(message);
}

// The decoded samples, in blocks obtained from `obtain` (the heap for a Recording, the
// allocation registry for the analyser). A block outgrown is abandoned to its owner.
class SampleBuffer {
 public:
  using Obtain = std::function<int16_t*(std::size_t count)>;
  explicit SampleBuffer(Obtain obtain) : obtain_(std::move(obtain)) {}

  bool reserve(std::size_t count) {
    if (count <= capacity_) return true;
    int16_t* block = obtain_(count);
    if (block == nullptr) return false;
    if (size_ > 0) std::memcpy(block, data_, size_ * sizeof(int16_t));
    data_ = block;
    capacity_ = count;
    return true;
  }
  bool push(int16_t value) {
    if (size_ == capacity_ && !reserve(std::max<std::size_t>(2 * capacity_, 1 << 16))) {
      return false;
    }
    data_[size_++] = value;
    return true;
  }
  const int16_t* data() const { return data_; }
  std::size_t size() const { return size_; }

 private:
  Obtain obtain_;
  int16_t* data_ = nullptr;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

// Full scale 1.0 to 16 bits, rounded half away from zero and clamped; anything not finite is
// silence.
int16_t toSample16(double x) {
  if (!std::isfinite(x)) return 0;
  const double scaled = std::clamp(x * 32768.0, -32768.0, 32767.0);
  return static_cast<int16_t>(std::lround(scaled));
}

std::string formatNameOf(int format) {
  auto name = [](int code) {
    SF_FORMAT_INFO info{};
    info.format = code;
    if (sf_command(nullptr, SFC_GET_FORMAT_INFO, &info, sizeof info) != 0 || info.name == nullptr) {
      return std::string("?");
    }
    return std::string(info.name);
  };
  return name(format & SF_FORMAT_TYPEMASK) + ", " + name(format & SF_FORMAT_SUBMASK);
}

struct SoxrDeleter {
  void operator()(soxr_t s) const { soxr_delete(s); }
};
struct SndfileCloser {
  void operator()(SNDFILE* f) const { sf_close(f); }
};

// The part of a file to decode, in seconds; the whole file by default.
struct Part {
  double start = 0.0;
  double length = -1.0;  // negative: to the end
  // False: only what the WAVE loader itself reads (PCM WAVE, 44100 Hz, 16-bit, one or two
  // channels), refused with the loader's messages.
  bool anyFormat = true;
};

class Decoder {
 public:
  Decoder(SNDFILE* file, const SF_INFO& sfinfo, SampleBuffer& out, int64_t maxFrames,
          const Part& part = {})
      : file_(file), sfinfo_(sfinfo), out_(out), maxFrames_(maxFrames), part_(part) {}

  std::string run(RecordingInfo& info, int& channels) {
    if (sfinfo_.channels < 1 || sfinfo_.samplerate < 1) return text(msg::kUnsupportedFile);
    const int sourceChannels = sfinfo_.channels;
    info.sourceRate = sfinfo_.samplerate;
    info.sourceChannels = sourceChannels;
    info.formatName = formatNameOf(sfinfo_.format);
    info.converted = !((sfinfo_.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_WAV &&
                       (sfinfo_.format & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_16 &&
                       sfinfo_.samplerate == kTargetRate && sourceChannels <= 2);
    channels_ = sourceChannels <= 2 ? sourceChannels : 1;
    channels = channels_;

    {
      const int sub = sfinfo_.format & SF_FORMAT_SUBMASK;
      info.sourceBits = sub == SF_FORMAT_PCM_U8 || sub == SF_FORMAT_PCM_S8 ? 8
                        : sub == SF_FORMAT_PCM_16                          ? 16
                        : sub == SF_FORMAT_PCM_24                          ? 24
                        : sub == SF_FORMAT_PCM_32                          ? 32
                                                                           : 0;
    }
    if (!part_.anyFormat) {
      const int type = sfinfo_.format & SF_FORMAT_TYPEMASK;
      const int sub = sfinfo_.format & SF_FORMAT_SUBMASK;
      const bool pcm = sub == SF_FORMAT_PCM_U8 || sub == SF_FORMAT_PCM_S8 ||
                       sub == SF_FORMAT_PCM_16 || sub == SF_FORMAT_PCM_24 ||
                       sub == SF_FORMAT_PCM_32;
      if (type != SF_FORMAT_WAV || !pcm || sourceChannels > 2) return text(msg::kUnsupportedFile);
      if (sfinfo_.samplerate != kTargetRate) return text(msg::kNot44100);
      if (sub != SF_FORMAT_PCM_16) return text(msg::kNot16Bit);
    }
    // The part asked for, in the file's frames (both below a day, so far inside the range).
    const int64_t first = std::llround(part_.start * sfinfo_.samplerate);
    frameLimit_ = part_.length < 0 ? -1 : std::llround(part_.length * sfinfo_.samplerate);

    // The length the header claims, checked before anything is allocated for it. libsndfile
    // gives SF_COUNT_MAX when it cannot know (a stream); the buffer then grows as it is filled,
    // never past the limit.
    const bool fileKnown = sfinfo_.frames >= 0 && sfinfo_.frames < SF_COUNT_MAX;
    info.sourceFrames = fileKnown ? sfinfo_.frames : 0;
    int64_t frames = fileKnown ? std::max<int64_t>(0, sfinfo_.frames - first) : -1;
    if (frameLimit_ >= 0) frames = frames < 0 ? frameLimit_ : std::min(frames, frameLimit_);
    const bool known = frames >= 0;
    if (first > 0 && !skip(first)) return text(msg::kReadError);
    int64_t expected = 0;
    if (known) {
      if (frames > std::numeric_limits<int64_t>::max() / kTargetRate) {
        return text(msg::kAudioTooLong);
      }
      // Rounded up: a resampler delivers at most one frame more than the exact ratio.
      expected = (frames * kTargetRate + sfinfo_.samplerate - 1) / sfinfo_.samplerate;
      if (expected > maxFrames_ + 1) return text(msg::kAudioTooLong);
    }
    const int64_t initial = known ? expected + 1 : kTargetRate;
    if (!out_.reserve(static_cast<std::size_t>(initial) * static_cast<std::size_t>(channels_))) {
      return text(msg::kNoMemory);
    }

    if (sfinfo_.samplerate != kTargetRate) {
      soxr_error_t error = nullptr;
      const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT64_I, SOXR_FLOAT64_I);
      const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_VHQ, 0);
      // One thread: the output must not depend on the machine.
      const soxr_runtime_spec_t runtime = soxr_runtime_spec(1);
      resampler_.reset(soxr_create(sfinfo_.samplerate, kTargetRate,
                                   static_cast<unsigned>(channels_), &error, &io, &quality,
                                   &runtime));
      if (error != nullptr || !resampler_) return text(msg::kUnsupportedFile);
      ratio_ = static_cast<double>(kTargetRate) / sfinfo_.samplerate;
    }

    const sf_count_t blockFrames = std::max<sf_count_t>(1, kBlockValues / sourceChannels);
    std::vector<double> block(static_cast<std::size_t>(blockFrames * sourceChannels));
    std::vector<double> mixed(static_cast<std::size_t>(blockFrames * channels_));
    for (int64_t left = frameLimit_; left != 0;) {
      const sf_count_t want = left < 0 ? blockFrames : std::min<sf_count_t>(blockFrames, left);
      const sf_count_t got = sf_readf_double(file_, block.data(), want);
      if (got <= 0) break;
      if (left > 0) left -= got;
      mix(block.data(), got, sourceChannels, mixed.data());
      std::string failure = deliver(mixed.data(), static_cast<std::size_t>(got));
      if (!failure.empty()) return failure;
    }
    if (sf_error(file_) != SF_ERR_NO_ERROR) return text(msg::kReadError);
    std::string failure = deliver(nullptr, 0);  // drains the resampler
    if (!failure.empty()) return failure;
    return {};
  }

 private:
  // Moves to the file's frame `first`: a seek where the file allows it, else reading past.
  bool skip(int64_t first) {
    if (sf_seek(file_, first, SEEK_SET) == first) return true;
    std::vector<double> scrap(static_cast<std::size_t>(kBlockValues));
    const sf_count_t blockFrames = std::max<sf_count_t>(1, kBlockValues / sfinfo_.channels);
    for (int64_t left = first; left > 0;) {
      const sf_count_t got =
          sf_readf_double(file_, scrap.data(), std::min<sf_count_t>(blockFrames, left));
      if (got <= 0) return sf_error(file_) == SF_ERR_NO_ERROR;  // a part after the end is empty
      left -= got;
    }
    return true;
  }

  // One or two channels stay as they are; more are averaged to one. Values that are not
  // finite become silence and absurd ones are bounded, so that the resampler's sums stay
  // finite; the final clamp to 16 bits is far inside the bound.
  void mix(const double* in, sf_count_t frames, int sourceChannels, double* out) const {
    auto clean = [](double v) { return std::isfinite(v) ? std::clamp(v, -8.0, 8.0) : 0.0; };
    if (sourceChannels <= 2) {
      const auto n = static_cast<std::size_t>(frames * sourceChannels);
      for (std::size_t i = 0; i < n; ++i) out[i] = clean(in[i]);
      return;
    }
    for (sf_count_t f = 0; f < frames; ++f) {
      double sum = 0.0;
      for (int c = 0; c < sourceChannels; ++c) sum += clean(in[f * sourceChannels + c]);
      out[f] = sum / sourceChannels;
    }
  }

  std::string store(const double* values, std::size_t frames) {
    const std::size_t n = frames * static_cast<std::size_t>(channels_);
    for (std::size_t i = 0; i < n; ++i) {
      if (!out_.push(toSample16(values[i]))) return text(msg::kNoMemory);
    }
    framesOut_ += static_cast<int64_t>(frames);
    if (framesOut_ > maxFrames_) return text(msg::kAudioTooLong);
    return {};
  }

  // Passes `frames` mixed frames on, through the resampler when there is one; null input
  // flushes the resampler's tail.
  std::string deliver(const double* in, std::size_t frames) {
    if (!resampler_) return in == nullptr ? std::string() : store(in, frames);
    const std::size_t room = static_cast<std::size_t>(std::ceil(frames * ratio_)) + 4096;
    resampled_.resize(room * static_cast<std::size_t>(channels_));
    std::size_t consumed = 0;
    for (;;) {
      std::size_t used = 0, made = 0;
      const soxr_error_t error =
          soxr_process(resampler_.get(), in == nullptr ? nullptr : in + consumed * channels_,
                       frames - consumed, &used, resampled_.data(), room, &made);
      if (error != nullptr) return text(msg::kReadError);
      consumed += used;
      std::string failure = store(resampled_.data(), made);
      if (!failure.empty()) return failure;
      if (in == nullptr ? made == 0 : (consumed >= frames && made < room)) return {};
    }
  }

  SNDFILE* file_;
  SF_INFO sfinfo_;
  SampleBuffer& out_;
  int64_t maxFrames_;
  Part part_;
  int64_t frameLimit_ = -1;
  int channels_ = 1;
  std::unique_ptr<soxr, SoxrDeleter> resampler_;
  double ratio_ = 1.0;
  std::vector<double> resampled_;
  int64_t framesOut_ = 0;
};

// libsndfile's virtual I/O over a file image in memory.
struct MemoryFile {
  const uint8_t* data;
  sf_count_t size;
  sf_count_t position;
};

SF_VIRTUAL_IO memoryIo() {
  SF_VIRTUAL_IO io{};
  io.get_filelen = [](void* user) { return static_cast<MemoryFile*>(user)->size; };
  io.seek = [](sf_count_t offset, int whence, void* user) {
    auto* m = static_cast<MemoryFile*>(user);
    const sf_count_t base = whence == SEEK_CUR ? m->position : whence == SEEK_END ? m->size : 0;
    // Offsets come from the file: a target outside the image is refused, never wrapped.
    if ((offset > 0 && base > m->size - offset) || base + offset < 0) return sf_count_t{-1};
    m->position = base + offset;
    return m->position;
  };
  io.read = [](void* ptr, sf_count_t count, void* user) {
    auto* m = static_cast<MemoryFile*>(user);
    if (count <= 0 || m->position >= m->size) return sf_count_t{0};
    const sf_count_t n = std::min(count, m->size - m->position);
    std::memcpy(ptr, m->data + m->position, static_cast<std::size_t>(n));
    m->position += n;
    return n;
  };
  io.write = [](const void*, sf_count_t, void*) { return sf_count_t{0}; };
  io.tell = [](void* user) { return static_cast<MemoryFile*>(user)->position; };
  return io;
}

// Opens `path` (or the image, when `image` is given) and decodes it into `buffer`.
std::string decodeInto(const std::string& path, const MemoryFile* image, SampleBuffer& buffer,
                       RecordingInfo& info, int& channels,
                       int64_t maxFrames = analyser::kMaxSampleCount, const Part& part = {}) {
  SF_INFO sfinfo{};
  std::unique_ptr<SNDFILE, SndfileCloser> file;
  MemoryFile memory{};
  SF_VIRTUAL_IO io = memoryIo();
  if (image != nullptr) {
    memory = *image;
    file.reset(sf_open_virtual(&io, SFM_READ, &sfinfo, &memory));
  } else {
    // A folder, a FIFO or a device is refused here, before libsndfile could block on it.
    std::string refusal = common::checkReadableFile(path);
    if (!refusal.empty()) return refusal;
    file.reset(sf_open(path.c_str(), SFM_READ, &sfinfo));
  }
  if (!file) {
    return text(sf_error(nullptr) == SF_ERR_SYSTEM ? msg::kCannotOpen : msg::kUnsupportedFile);
  }
  return Decoder(file.get(), sfinfo, buffer, maxFrames, part).run(info, channels);
}

std::string decodeToRecording(const std::string& path, const MemoryFile* image, Recording& out,
                              int64_t maxFrames = analyser::kMaxSampleCount,
                              const Part& part = {}) {
  out = Recording{};
  // The vector is resized in place: a grown block is a fresh vector whose first values the
  // buffer copies over before the old one is dropped.
  std::vector<std::vector<int16_t>> blocks;
  SampleBuffer buffer([&](std::size_t count) -> int16_t* {
    try {
      blocks.emplace_back(count);
    } catch (const std::bad_alloc&) {
      return nullptr;
    }
    return blocks.back().data();
  });
  std::string failure = decodeInto(path, image, buffer, out.info, out.channels, maxFrames, part);
  if (!failure.empty()) {
    out = Recording{};
    return failure;
  }
  out.samples.assign(buffer.data(), buffer.data() + buffer.size());
  return {};
}

}  // namespace

std::string decodeRecording(const std::string& path, Recording& out) {
  return decodeToRecording(path, nullptr, out);
}

// A day, far beyond any recording; keeps the frame arithmetic inside 64 bits at any rate.
constexpr double kMaxPartSeconds = 86400.0;

std::string decodeRecordingPart(const std::string& path, double startSeconds, double lengthSeconds,
                                Recording& out) {
  const auto bounded = [](double seconds) {
    return std::isfinite(seconds) ? std::clamp(seconds, 0.0, kMaxPartSeconds) : 0.0;
  };
  const Part part{bounded(startSeconds), lengthSeconds < 0 ? -1.0 : bounded(lengthSeconds), true};
  return decodeToRecording(path, nullptr, out, analyser::kMaxSampleCount, part);
}

std::string probeRecording(const std::string& path, RecordingInfo& out) {
  out = RecordingInfo{};
  std::string refusal = common::checkReadableFile(path);
  if (!refusal.empty()) return refusal;
  SF_INFO sfinfo{};
  const std::unique_ptr<SNDFILE, SndfileCloser> file(sf_open(path.c_str(), SFM_READ, &sfinfo));
  if (!file) {
    return text(sf_error(nullptr) == SF_ERR_SYSTEM ? msg::kCannotOpen : msg::kUnsupportedFile);
  }
  if (sfinfo.channels < 1 || sfinfo.samplerate < 1) return text(msg::kUnsupportedFile);
  out.sourceRate = sfinfo.samplerate;
  out.sourceChannels = sfinfo.channels;
  out.formatName = formatNameOf(sfinfo.format);
  out.sourceFrames = sfinfo.frames >= 0 && sfinfo.frames < SF_COUNT_MAX ? sfinfo.frames : 0;
  return {};
}

std::string decodeRecordingFromMemory(const uint8_t* data, std::size_t size, Recording& out,
                                      int64_t maxFrames) {
  if (size > static_cast<std::size_t>(std::numeric_limits<sf_count_t>::max())) {
    return text(msg::kNoMemory);
  }
  const MemoryFile image{data, static_cast<sf_count_t>(size), 0};
  const int64_t limit = maxFrames < 0 ? int64_t{analyser::kMaxSampleCount}
                                      : std::min<int64_t>(maxFrames, analyser::kMaxSampleCount);
  return decodeToRecording({}, &image, out, limit);
}

std::string convertedDatPath(const std::string& inputPath) {
  const std::size_t slash = inputPath.find_last_of("/\\");
  const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  const std::size_t dot = inputPath.rfind('.');
  // A leading dot names a hidden file rather than starting an extension.
  const bool hasExtension = dot != std::string::npos && dot > nameStart;
  return (hasExtension ? inputPath.substr(0, dot) : inputPath) + ".dat";
}

namespace {

analyser::SignalSource partSource(const Part& part) {
  analyser::SignalSource source;
  source.anyExtension = part.anyFormat;
  if (part.anyFormat) {
    source.outputPath = convertedDatPath;
  } else {
    source.outputPath = analyser::datPathFor;
  }
  source.load = [part](common::AllocationRegistry& registry, const std::string& path) {
    SampleBuffer buffer([&registry](std::size_t count) -> int16_t* {
      // Below (kMaxSampleCount + 2) * 2 values of 2 bytes: within a signed 32-bit size.
      if (count > static_cast<std::size_t>(std::numeric_limits<int32_t>::max() / 2)) {
        return nullptr;
      }
      return static_cast<int16_t*>(registry.trackedAlloc(static_cast<int32_t>(count * 2)));
    });
    RecordingInfo info;
    int channels = 0;
    std::string failure =
        decodeInto(path, nullptr, buffer, info, channels, analyser::kMaxSampleCount, part);
    if (failure.empty()) {
      return analyser::signalFromSamples(registry, buffer.data(),
                                         static_cast<int64_t>(buffer.size()) / channels, channels);
    }
    analyser::LoadResult result;
    if (failure == msg::kNoMemory) {
      // As the loader does: everything is given back before the command reports it.
      registry.freeAll();
      result.status = analyser::LoadStatus::MemoryFailure;
    }
    result.message = failure;
    // What a refusal of the file's form names, as the WAVE loader reports it.
    if (!part.anyFormat && info.sourceRate > 0) {
      result.format = {true, static_cast<uint32_t>(info.sourceRate),
                       static_cast<uint16_t>(info.sourceBits), 0};
    }
    return result;
  };
  return source;
}

}  // namespace

analyser::SignalSource anyRecordingSource() {
  return partSource({});
}

analyser::SignalSource recordingPartSource(double startSeconds, double lengthSeconds,
                                           bool anyFormat) {
  return partSource({std::max(0.0, startSeconds), lengthSeconds, anyFormat});
}

std::string keepDecoderMessages(const std::function<void()>& work) {
#ifdef _WIN32
  const auto dupFd = _dup;
  const auto dup2Fd = _dup2;
  const auto closeFd = _close;
#else
  const auto dupFd = dup;
  const auto dup2Fd = dup2;
  const auto closeFd = close;
#endif
  std::fflush(stderr);
  std::FILE* sink = std::tmpfile();
  const int saved = sink != nullptr ? dupFd(2) : -1;
  if (saved < 0 || dup2Fd(fileno(sink), 2) < 0) {
    // Nowhere to keep them: the messages go where they always went.
    if (saved >= 0) closeFd(saved);
    if (sink != nullptr) std::fclose(sink);
    work();
    return {};
  }
  work();
  std::fflush(stderr);
  dup2Fd(saved, 2);
  closeFd(saved);
  std::string kept;
  std::rewind(sink);
  char chunk[4096];
  for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, sink)) > 0;) kept.append(chunk, n);
  std::fclose(sink);
  return kept;
}

}  // namespace media
