// Whole-file reading and writing: a conversion reads its input into one registry block and
// writes its output from one block. Failures come back as a fixed message text; the empty
// text is success.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "alloc_registry.h"

namespace common {

// A file name in UTF-8 as a path and back, whatever the system's narrow encoding (on Windows
// the wide API then opens it).
std::filesystem::path pathFromUtf8(std::string_view utf8);
std::string utf8FromPath(const std::filesystem::path& path);

// Reads the file at `path` (UTF-8) into a fresh registry block of its size plus `extra` bytes,
// the `extra` bytes set to zero right after the data (also after a short read). On an open
// failure `block` and `length` are left unchanged. A file too large for size + extra to fit a
// signed 32-bit count gives the memory message without allocating anything.
std::string readWholeFile(AllocationRegistry& registry, const std::string& path, int32_t extra,
                          uint8_t*& block, int32_t& length);

// Reads the file at `path` (UTF-8) whole into `bytes` when it holds at most `limit` bytes; a
// longer file gives `tooLong` and nothing is read or allocated. Other failures as above.
std::string readBoundedFile(const std::string& path, int64_t limit, std::string_view tooLong,
                            std::vector<uint8_t>& bytes);

// The checks made before a file is opened for reading: "" when `path` names a regular file,
// else the message (missing file, or a folder, FIFO, device or bad name that must not be read).
std::string checkReadableFile(const std::string& path);

// Creates or replaces `path` with `length` bytes of `data`. The bytes go to a temporary file
// beside the target, which is renamed over it only once everything has been written, so a
// failure never leaves a partial or emptied file behind.
std::string writeWholeFile(const std::string& path, const uint8_t* data, int32_t length);

// The same for a file made of several pieces written one after another (a header and the data
// it describes), so that the whole need not be copied into one block first.
struct FilePiece {
  const uint8_t* data;
  int64_t length;
};
std::string writeWholeFile(const std::string& path, const std::vector<FilePiece>& pieces);

// Why the last writeWholeFile on this thread failed, in English: the path it could not write
// (the target, or the temporary file beside it) and the system's reason ("No space left on
// device"). Both empty after a success. Reset with `lastWriteFailure() = {}`.
struct WriteFailure {
  std::string path;
  std::string reason;
};
WriteFailure& lastWriteFailure();

// When set, writeWholeFile calls it to flush the temporary file to the disk before the rename
// (`folder` false; false is a write error) and the folder after it (`folder` true; its answer
// is not needed, the file being complete and in place). The
// standard library has no such flush, so the front end that can installs one. Off by default.
using FileSyncHook = bool (*)(const std::string& path, bool folder);
FileSyncHook& fileSyncHook();

// Fault injection for tests of the failure paths; all off by default. Reset with
// `fileFaults() = {}`.
struct FileFaults {
  int64_t writeLimit = -1;  // >= 0: a write stops after this many bytes and fails (disk full)
  bool failRename = false;  // the final rename over the target fails
  int64_t readLimit = -1;   // >= 0: a read delivers at most this many bytes (short read)
};
FileFaults& fileFaults();

}  // namespace common
