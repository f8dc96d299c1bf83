#include "console.h"

// windows.h first: the other system headers build on its types.
#include <windows.h>

#include <io.h>
#include <shellapi.h>

#include "text.h"

namespace win32 {

namespace {

HANDLE consoleOf(std::FILE* stream) {
  const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  DWORD mode = 0;
  if (handle == INVALID_HANDLE_VALUE || !GetConsoleMode(handle, &mode)) return nullptr;
  return handle;
}

}  // namespace

std::vector<std::string> utf8Arguments() {
  std::vector<std::string> out;
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) return out;
  for (int i = 0; i < count; ++i) out.push_back(narrow(wide[i]));
  LocalFree(wide);
  return out;
}

void writeText(std::FILE* stream, std::string_view text) {
  HANDLE console = consoleOf(stream);
  if (console == nullptr) {
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fflush(stream);
    return;
  }
  std::fflush(stream);
  const std::wstring wide = widen(text);
  DWORD written = 0;
  WriteConsoleW(console, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
}

bool enableTerminalSequences(std::FILE* stream) {
  HANDLE console = consoleOf(stream);
  DWORD mode = 0;
  if (console == nullptr || !GetConsoleMode(console, &mode)) return false;
  return SetConsoleMode(
             console, mode | ENABLE_PROCESSED_OUTPUT | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != FALSE;
}

ConsoleStream::ConsoleStream(std::FILE* stream) : std::ostream(nullptr), buffer_(stream) {
  rdbuf(&buffer_);
}

ConsoleStream::~ConsoleStream() {
  flush();
}

ConsoleStream::Buffer::int_type ConsoleStream::Buffer::overflow(int_type c) {
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  pending_.push_back(traits_type::to_char_type(c));
  if (c == '\n') sync();
  return c;
}

std::streamsize ConsoleStream::Buffer::xsputn(const char* s, std::streamsize n) {
  pending_.append(s, static_cast<std::size_t>(n));
  // Whole lines at a time, so a multi-byte character is never split between two writes.
  if (pending_.find('\n') != std::string::npos) sync();
  return n;
}

int ConsoleStream::Buffer::sync() {
  if (!pending_.empty()) {
    writeText(stream_, pending_);
    pending_.clear();
  }
  return 0;
}

}  // namespace win32
