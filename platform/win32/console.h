// The command-line programs' side of Windows: arguments as UTF-8 from the UTF-16 command line,
// and UTF-8 text written to a console as UTF-16, so Japanese messages show whatever the
// console's code page. Redirected output stays the UTF-8 bytes.
#pragma once

#include <cstdio>
#include <ostream>
#include <streambuf>
#include <string>
#include <string_view>
#include <vector>

namespace win32 {

std::vector<std::string> utf8Arguments();

// Writes `text` (UTF-8) to stdout or stderr: through WriteConsoleW when the stream is a
// console, else as bytes.
void writeText(std::FILE* stream, std::string_view text);

// Lets a console interpret the escape sequences of the progress line; false if it cannot.
bool enableTerminalSequences(std::FILE* stream);

// A std::ostream that writes through writeText.
class ConsoleStream : public std::ostream {
 public:
  explicit ConsoleStream(std::FILE* stream);
  ~ConsoleStream() override;

 private:
  class Buffer : public std::streambuf {
   public:
    explicit Buffer(std::FILE* stream) : stream_(stream) {}
    ~Buffer() override { sync(); }

   protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* s, std::streamsize n) override;
    int sync() override;

   private:
    std::FILE* stream_;
    std::string pending_;
  };
  Buffer buffer_;
};

}  // namespace win32
