#include "cli_common.h"

#include <signal.h>
#ifdef _WIN32
#include <io.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>

#include "file_io.h"
#include "messages.h"

#ifndef SEVRANE_QUORVEL_VERSION
#error "SEVRANE_QUORVEL_VERSION must name the project version"
#endif

namespace terminal {

namespace {

volatile sig_atomic_t interrupted = 0;
// Lock-free, so that the handler may set it.
std::atomic<bool> interruptedAtomic{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void onSigint(int) {
  interrupted = 1;
  interruptedAtomic.store(true);
}

int statusRank(int status) {
  switch (status) {
    case 0:
      return 0;
    case 1:
      return 1;
    case 130:
      return 2;
    default:
      return 3;  // usage errors and anything unforeseen
  }
}

}  // namespace

void installInterruptHandler() {
#ifdef _WIN32
  // The C runtime delivers Ctrl-C as SIGINT and resets the handler on delivery, so a second
  // Ctrl-C ends the process at once, as below.
  if (signal(SIGINT, &onSigint) == SIG_IGN) signal(SIGINT, SIG_IGN);
#else
  // A program started with Ctrl-C ignored (nohup, a background job of a script) keeps it
  // ignored, as the shell meant.
  struct sigaction current;
  if (sigaction(SIGINT, nullptr, &current) == 0 && current.sa_handler == SIG_IGN) return;
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = &onSigint;
  sigemptyset(&action.sa_mask);
  // The first Ctrl-C asks for a clean cancel; a second one ends the process at once.
  action.sa_flags = SA_RESETHAND;
  sigaction(SIGINT, &action, nullptr);
#endif
}

bool interruptReceived() {
  return interrupted != 0;
}

void clearInterrupt() {
  interrupted = 0;
  interruptedAtomic.store(false);
}

const std::atomic<bool>& interruptFlag() {
  return interruptedAtomic;
}

ProgressLine::ProgressLine(std::function<void(const std::string&)> write, bool enabled)
    : write_(std::move(write)), enabled_(enabled) {}

void ProgressLine::draw(std::string_view label, double fractionDone) {
  if (!enabled_) return;
  const int64_t now = std::chrono::duration_cast<std::chrono::milliseconds>(
                          std::chrono::steady_clock::now().time_since_epoch())
                          .count();
  if (now - lastDrawMillis_ < 100) return;
  lastDrawMillis_ = now;
  // Appended piece by piece: GCC 12 at -O3 reports a false overlap (-Wrestrict) in
  // "literal" + std::string&&.
  std::string line = "\r";
  line.append(text(label, fractionDone)).append("\033[K");
  write_(line);
  drawn_ = true;
}

void ProgressLine::clear() {
  if (drawn_) write_("\r\033[K");
  drawn_ = false;
}

std::string ProgressLine::text(std::string_view label, double fractionDone) {
  constexpr int kWidth = 30;
  const double f = std::isfinite(fractionDone) ? std::clamp(fractionDone, 0.0, 1.0) : 0.0;
  const int filled = static_cast<int>(f * kWidth);
  std::string line = "[";
  line.append(static_cast<std::size_t>(filled), '#');
  line.append(static_cast<std::size_t>(kWidth - filled), '.');
  char percent[16];
  std::snprintf(percent, sizeof percent, "] %3d%%  ", static_cast<int>(f * 100));
  line += percent;
  line += label;
  return line;
}

std::string sharedOutputs(
    const std::vector<std::string>& files,
    const std::function<std::vector<std::string>(const std::string&)>& outputsOf) {
  namespace fs = std::filesystem;
  // Output path, as the file system would resolve it -> the FILEs writing it, in order (a FILE
  // given twice is named twice).
  std::map<fs::path, std::vector<std::string>> writers;
  std::vector<fs::path> order;
  for (const std::string& file : files) {
    for (const std::string& output : outputsOf(file)) {
      const fs::path name = common::pathFromUtf8(output);
      std::error_code ec;
      fs::path key = fs::weakly_canonical(fs::absolute(name, ec), ec);
      if (ec) key = name.lexically_normal();
      auto& list = writers[key];
      if (list.empty()) order.push_back(key);
      list.push_back(file);
    }
  }
  std::string text;
  for (const fs::path& key : order) {
    const auto& list = writers[key];
    if (list.size() < 2) continue;
    if (!text.empty()) text += "; ";
    for (std::size_t i = 0; i < list.size(); ++i) {
      if (i > 0) text += i + 1 == list.size() ? " and " : ", ";
      text += list[i];
    }
    text += list.size() == 2 ? " would both write " : " would all write ";
    text += common::utf8FromPath(key);
  }
  return text;
}

namespace {

// fsync of a file or a folder by name; false when it could not be opened or synced.
bool syncPath(const std::string& path, bool folder) {
#ifdef _WIN32
  // Windows flushes a file through _commit; a folder needs no flush there.
  if (folder) return true;
  std::FILE* f = std::fopen(path.c_str(), "r+b");
  if (f == nullptr) return false;
  const bool ok = _commit(_fileno(f)) == 0;
  std::fclose(f);
  return ok;
#else
  const int fd = open(path.c_str(), (folder ? O_RDONLY | O_DIRECTORY : O_WRONLY) | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = fsync(fd) == 0;
  close(fd);
  return ok;
#endif
}

}  // namespace

void installDurableWrites() {
  common::fileSyncHook() = &syncPath;
}

int outcomeStatus(std::string_view message) {
  if (message == msg::kFinished) return 0;
  if (message == msg::kCancelled) return 130;
  return 1;
}

int worseStatus(int a, int b) {
  return statusRank(b) > statusRank(a) ? b : a;
}

OutcomeLines outcomeLines(std::string_view prefix, std::string_view message,
                          std::string_view gloss) {
  OutcomeLines lines;
  std::string& target = message == msg::kFinished ? lines.out : lines.err;
  target.append(prefix).append(message).append("\n");
  if (message != msg::kFinished && !gloss.empty()) {
    lines.err.append(prefix).append(gloss).append("\n");
  }
  return lines;
}

std::string noMediaError(std::string_view option) {
  return "this build has no media support (" + std::string(option) + ")";
}

std::string oneOutputError(std::string_view option) {
  return std::string(option) + "=OUT names one file; give it with a single FILE";
}

std::string versionText(std::string_view program) {
  return std::string(program) + " " + SEVRANE_QUORVEL_VERSION + "\n";
}

}  // namespace terminal
