#include "wide_frames.h"

#include <algorithm>
#include <cstring>

#include "file_io.h"
#include "messages.h"

namespace common {

namespace {

bool validMethodName(std::string_view name) {
  if (name.empty() || name.size() > static_cast<std::size_t>(kWideMaxMethodName)) return false;
  return std::all_of(name.begin(), name.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_';
  });
}

char lowerAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool endsWithNoCase(std::string_view text, std::string_view tail) {
  if (text.size() < tail.size()) return false;
  const std::string_view end = text.substr(text.size() - tail.size());
  for (std::size_t i = 0; i < tail.size(); ++i) {
    if (lowerAscii(end[i]) != tail[i]) return false;
  }
  return true;
}

std::string_view withoutTrailingBlanks(std::string_view text) {
  std::size_t end = text.size();
  while (end > 0 && std::strchr(" \t\n\r\v\f", text[end - 1]) != nullptr && text[end - 1] != 0) {
    --end;
  }
  return text.substr(0, end);
}

}  // namespace

bool isWideFrameRate(int32_t framesPerSecond) {
  return framesPerSecond == 60 || framesPerSecond == 120 || framesPerSecond == 240;
}

bool fitsWide(const NoteFrames& frames) {
  if (frames.voices < 1 || frames.voices > kWideMaxVoices) return false;
  if (!isWideFrameRate(frames.framesPerSecond) || !validMethodName(frames.method)) return false;
  const std::size_t voices = static_cast<std::size_t>(frames.voices);
  return frames.slots.size() % voices == 0 &&
         frames.slots.size() / voices <= static_cast<std::size_t>(kFrameCapacity);
}

bool storedAsDat(const NoteFrames& frames) {
  return frames.method == "seed" || (frames.voices <= 6 && frames.framesPerSecond == 60);
}

bool isWidePath(std::string_view path) {
  return endsWithNoCase(withoutTrailingBlanks(path), ".wdat");
}

std::string widePathFor(std::string_view datPath) {
  if (endsWithNoCase(datPath, ".dat")) {
    return std::string(datPath.substr(0, datPath.size() - 4)) + ".wdat";
  }
  return std::string(datPath) + ".wdat";
}

std::vector<uint8_t> encodeWide(const NoteFrames& frames) {
  const int32_t count = frames.frameCount();
  const std::size_t header = kWideFixedHeaderBytes + frames.method.size();
  std::vector<uint8_t> out(header + frames.slots.size() * 8);
  std::copy(kWideMagic.begin(), kWideMagic.end(), out.begin());
  writeInt32LE(&out[8], kWideVersion);
  writeInt32LE(&out[12], frames.voices);
  writeInt32LE(&out[16], frames.framesPerSecond);
  writeInt32LE(&out[20], count);
  writeInt32LE(&out[24], static_cast<int32_t>(frames.method.size()));
  std::copy(frames.method.begin(), frames.method.end(), out.begin() + kWideFixedHeaderBytes);
  uint8_t* at = out.data() + header;
  for (const PartialSlot& slot : frames.slots) {
    writeInt32LE(at, slot.level);
    writeInt32LE(at + 4, slot.frequency);
    at += 8;
  }
  return out;
}

std::string decodeWide(const uint8_t* bytes, std::size_t size, NoteFrames& frames) {
  const std::string broken(msg::kUnsupportedFile);
  if (size < kWideFixedHeaderBytes || !std::equal(kWideMagic.begin(), kWideMagic.end(), bytes)) {
    return broken;
  }
  const int32_t version = readInt32LE(bytes + 8);
  const int32_t voices = readInt32LE(bytes + 12);
  const int32_t rate = readInt32LE(bytes + 16);
  const int32_t count = readInt32LE(bytes + 20);
  const int32_t nameLength = readInt32LE(bytes + 24);
  if (version != kWideVersion || voices < 1 || voices > kWideMaxVoices || !isWideFrameRate(rate) ||
      count < 0 || nameLength < 1 || nameLength > kWideMaxMethodName) {
    return broken;
  }
  const std::size_t header = kWideFixedHeaderBytes + static_cast<std::size_t>(nameLength);
  if (size < header) return broken;
  const std::string_view name(reinterpret_cast<const char*>(bytes) + kWideFixedHeaderBytes,
                              static_cast<std::size_t>(nameLength));
  if (!validMethodName(name)) return broken;
  if (count > kFrameCapacity) return std::string(msg::kDatTooLong);
  // At most 36,001 x 15 slots: the product stays far inside std::size_t.
  const std::size_t slots = static_cast<std::size_t>(count) * static_cast<std::size_t>(voices);
  if (size - header != slots * 8) return broken;

  frames.voices = voices;
  frames.framesPerSecond = rate;
  frames.method = std::string(name);
  frames.slots.assign(slots, PartialSlot{});
  const uint8_t* at = bytes + header;
  for (PartialSlot& slot : frames.slots) {
    slot.level = readInt32LE(at);
    slot.frequency = readInt32LE(at + 4);
    at += 8;
  }
  return {};
}

std::string readWideFile(const std::string& path, NoteFrames& frames) {
  std::vector<uint8_t> bytes;
  std::string message = readBoundedFile(path, kWideMaxFileBytes, msg::kUnsupportedFile, bytes);
  if (!message.empty()) return message;
  return decodeWide(bytes.data(), bytes.size(), frames);
}

std::string writeWideFile(const std::string& path, const NoteFrames& frames) {
  if (!fitsWide(frames)) return std::string(msg::kUnsupportedFile);
  const std::vector<uint8_t> image = encodeWide(frames);
  return writeWholeFile(path, image.data(), static_cast<int32_t>(image.size()));
}

}  // namespace common
