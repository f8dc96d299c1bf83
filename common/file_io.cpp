#include "file_io.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string_view>
#include <system_error>

#include "messages.h"

namespace common {
namespace fs = std::filesystem;

fs::path pathFromUtf8(std::string_view utf8) {
  return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string utf8FromPath(const fs::path& path) {
  const std::u8string u8 = path.u8string();
  return std::string(u8.begin(), u8.end());
}

namespace {

fs::path toPath(const std::string& utf8) {
  return pathFromUtf8(utf8);
}

// POSIX reports a missing file and a missing folder on its path alike, so the two are told
// apart here: "not found" only when the folder that should hold the file exists.
bool missingFileInExistingFolder(const fs::path& path) {
  std::error_code ec;
  const fs::file_status st = fs::status(path, ec);
  if (st.type() != fs::file_type::not_found) return false;
  if (!path.has_filename()) return false;
  fs::path folder = path.parent_path();
  if (folder.empty()) folder = fs::path(".");
  return fs::is_directory(folder, ec);
}

std::string toString(std::string_view text) {
  return std::string(text);
}

// Records why a write failed and returns its message.
std::string writeFailure(std::string_view message, const fs::path& path, std::string reason) {
  lastWriteFailure() = {utf8FromPath(path), std::move(reason)};
  return toString(message);
}

// The system's reason for the last failed call, as errno gives it ("" when it gives none).
std::string systemReason() {
  const int e = errno;
  return e == 0 ? std::string("the system gave no reason") : std::generic_category().message(e);
}

}  // namespace

WriteFailure& lastWriteFailure() {
  thread_local WriteFailure failure;
  return failure;
}

FileSyncHook& fileSyncHook() {
  static FileSyncHook hook = nullptr;
  return hook;
}

FileFaults& fileFaults() {
  static FileFaults faults;
  return faults;
}

std::string checkReadableFile(const std::string& path) {
  if (path.empty() || path.find('\0') != std::string::npos) return toString(msg::kCannotOpen);
  const fs::path p = toPath(path);
  std::error_code ec;
  const fs::file_status st = fs::status(p, ec);
  if (st.type() == fs::file_type::not_found) {
    return toString(missingFileInExistingFolder(p) ? msg::kFileNotFound : msg::kCannotOpen);
  }
  // Only regular files are read: a folder, a FIFO or a device would fail or block the read.
  if (ec || st.type() != fs::file_type::regular) return toString(msg::kCannotOpen);
  return {};
}

std::string readWholeFile(AllocationRegistry& registry, const std::string& path, int32_t extra,
                          uint8_t*& block, int32_t& length) {
  std::string refusal = checkReadableFile(path);
  if (!refusal.empty()) return refusal;
  const fs::path p = toPath(path);

  std::ifstream in(p, std::ios::binary);
  if (!in) return toString(msg::kCannotOpen);
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  if (size < 0) return toString(msg::kReadError);
  in.seekg(0, std::ios::beg);

  const int64_t total = static_cast<int64_t>(size) + (extra > 0 ? extra : 0);
  if (size > std::numeric_limits<int32_t>::max() || total > std::numeric_limits<int32_t>::max() ||
      extra < 0) {
    return toString(msg::kNoMemory);
  }
  length = static_cast<int32_t>(size);
  if (total == 0) {
    // An empty file with no extra bytes: nothing to hold. No request is made, because a
    // request for zero bytes is the registry's free-all.
    block = nullptr;
    return {};
  }
  auto* data = static_cast<uint8_t*>(registry.trackedAlloc(static_cast<int32_t>(total)));
  if (data == nullptr) return toString(msg::kNoMemory);
  block = data;

  int64_t wanted = length;
  if (fileFaults().readLimit >= 0 && fileFaults().readLimit < wanted) {
    wanted = fileFaults().readLimit;
  }
  in.read(reinterpret_cast<char*>(data), static_cast<std::streamsize>(wanted));
  const int64_t got = in.gcount();
  std::memset(data + length, 0, static_cast<std::size_t>(extra));
  if (got != length) return toString(msg::kReadError);
  return {};
}

std::string readBoundedFile(const std::string& path, int64_t limit, std::string_view tooLong,
                            std::vector<uint8_t>& bytes) {
  std::string refusal = checkReadableFile(path);
  if (!refusal.empty()) return refusal;
  std::ifstream in(toPath(path), std::ios::binary);
  if (!in) return toString(msg::kCannotOpen);
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  if (size < 0) return toString(msg::kReadError);
  if (size > limit) return std::string(tooLong);
  in.seekg(0, std::ios::beg);
  bytes.assign(static_cast<std::size_t>(size), 0);
  int64_t wanted = size;
  if (fileFaults().readLimit >= 0 && fileFaults().readLimit < wanted) {
    wanted = fileFaults().readLimit;
  }
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(wanted));
  if (in.gcount() != size) return toString(msg::kReadError);
  return {};
}

std::string writeWholeFile(const std::string& path, const uint8_t* data, int32_t length) {
  return writeWholeFile(path, std::vector<FilePiece>{{data, length}});
}

std::string writeWholeFile(const std::string& path, const std::vector<FilePiece>& pieces) {
  lastWriteFailure() = {};
  bool negative = false;
  for (const FilePiece& piece : pieces) negative = negative || piece.length < 0;
  if (path.empty() || path.find('\0') != std::string::npos || negative) {
    return writeFailure(msg::kCannotCreate, toPath(path.substr(0, path.find('\0'))),
                        "not a usable file name");
  }
  std::error_code ec;
  if (!toPath(path).has_filename() || fs::is_directory(toPath(path), ec)) {
    return writeFailure(msg::kCannotCreate, toPath(path), "it is a folder");
  }
  // Writing to a symbolic link writes the file it names, as opening it would: the temporary
  // goes beside that file and replaces it, and the link stays. A chain too long for the
  // system to follow is refused.
  fs::path target = toPath(path);
  for (int hops = 0; fs::is_symlink(fs::symlink_status(target, ec)); ++hops) {
    const fs::path link = fs::read_symlink(target, ec);
    if (ec || hops == 40) {
      return writeFailure(msg::kCannotCreate, toPath(path),
                          ec ? ec.message() : "too many levels of symbolic links");
    }
    target = link.is_absolute() ? link : target.parent_path() / link;
  }
  if (!target.has_filename() || fs::is_directory(target, ec)) {
    return writeFailure(msg::kCannotCreate, target, "it is a folder");
  }
  // An existing file is replaced only where it could have been opened for writing itself: the
  // rename below would otherwise go round a write-protected file. No write permission for
  // anyone counts as protected even for a process that could override it.
  const fs::file_status existing = fs::status(target, ec);
  if (!ec && fs::exists(existing)) {
    constexpr fs::perms kAnyWrite =
        fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    if ((existing.permissions() & kAnyWrite) == fs::perms::none) {
      return writeFailure(msg::kCannotCreate, target, "the file is write-protected");
    }
    errno = 0;
    std::fstream probe(target, std::ios::binary | std::ios::in | std::ios::out);
    if (!probe) return writeFailure(msg::kCannotCreate, target, systemReason());
  }

  // A name that no other writer picks: process-wide counter plus the clock. It does not
  // extend the target's name, so a target whose name has the longest length the file system
  // allows still gets a temporary file beside it.
  static std::atomic<unsigned> serial{0};
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  const fs::path temp = target.parent_path() /
                        toPath(".tmp-" + std::to_string(stamp) + "-" + std::to_string(serial++));

  {
    errno = 0;
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    // The folder is what could not be written: name it.
    if (!out) {
      return writeFailure(msg::kCannotCreate,
                          target.parent_path().empty() ? fs::path(".") : target.parent_path(),
                          systemReason());
    }
    // The fault limit counts the bytes of all pieces together.
    int64_t allowed = fileFaults().writeLimit;
    bool faulted = false;
    for (const FilePiece& piece : pieces) {
      int64_t toWrite = piece.length;
      if (allowed >= 0 && allowed < toWrite) {
        toWrite = allowed;
        faulted = true;
      }
      if (toWrite > 0) out.write(reinterpret_cast<const char*>(piece.data), toWrite);
      if (allowed >= 0) allowed -= toWrite;
      if (faulted || !out) break;
    }
    out.flush();
    bool ok = static_cast<bool>(out) && !faulted;
    std::string reason =
        faulted ? std::make_error_code(std::errc::no_space_on_device).message() : systemReason();
    out.close();
    if (ok && !out.fail() && fileSyncHook() != nullptr) {
      errno = 0;
      ok = fileSyncHook()(utf8FromPath(temp), false);
      if (!ok) reason = systemReason();
    }
    if (!ok || out.fail()) {
      fs::remove(temp, ec);
      return writeFailure(msg::kWriteError, temp, reason);
    }
  }
  if (fileFaults().failRename) {
    fs::remove(temp, ec);
    return writeFailure(msg::kCannotCreate, target,
                        std::make_error_code(std::errc::permission_denied).message());
  }
  fs::rename(temp, target, ec);
  if (ec) {
    std::error_code ignored;
    fs::remove(temp, ignored);
    return writeFailure(msg::kCannotCreate, target, ec.message());
  }
  // The rename itself is on disk once the folder is. The file is complete and in place either
  // way, so a folder that cannot be flushed is no failure of the write.
  if (fileSyncHook() != nullptr) {
    const fs::path folder = target.parent_path().empty() ? fs::path(".") : target.parent_path();
    fileSyncHook()(utf8FromPath(folder), true);
  }
  return {};
}

}  // namespace common
