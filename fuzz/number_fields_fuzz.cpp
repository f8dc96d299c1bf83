// The number readers of the converter's fields against slow literal readings of the same
// grammar: every text must give the same decimal (bit for bit), the same saturated integer and
// the same trimmed path; a whole option value is read as strtol reads it.
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>

#include "field_parsing.h"
#include "reference_fields.h"

namespace {

[[noreturn]] void fail(const char* what, std::string_view text, double got, double want) {
  std::fprintf(stderr, "number_fields_fuzz: %s for '%.*s': got %.17g, expected %.17g\n", what,
               static_cast<int>(text.size()), text.data(), got, want);
  std::abort();
}

bool sameBits(double a, double b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

void checkDecimal(std::string_view text) {
  const double got = common::parseDecimal(text);
  const fuzzref::Decimal want = fuzzref::readDecimal(text);
  if (!want.outOfRange) {
    if (!sameBits(got, want.value)) fail("decimal", text, got, want.value);
    return;
  }
  // Out of range: infinity keeps its sign; an underflow may give the C reader's subnormal or a
  // zero of the same sign.
  if (std::isinf(want.value)) {
    if (!sameBits(got, want.value)) fail("decimal overflow", text, got, want.value);
  } else if (!sameBits(got, want.value) &&
             !(got == 0.0 && std::signbit(got) == std::signbit(want.value))) {
    fail("decimal underflow", text, got, want.value);
  }
}

void checkInteger(std::string_view text) {
  const fuzzref::Integer want = fuzzref::readInteger(text);
  int64_t expected = want.value;
  if (!want.fitsInt32) {
    const bool negative = text.substr(fuzzref::skipBlanks(text)).substr(0, 1) == "-";
    expected = negative ? std::numeric_limits<int32_t>::min() : std::numeric_limits<int32_t>::max();
  }
  const int32_t got = common::parseInteger(text);
  if (got != expected) fail("integer", text, got, static_cast<double>(expected));
}

// A whole option value against strtol on the same text (up to a NUL, which ends an argument).
void checkWholeInteger(std::string_view text) {
  const std::string argument(text.substr(0, text.find('\0')));
  char* end = nullptr;
  errno = 0;
  const long long want = std::strtoll(argument.c_str(), &end, 10);
  const bool taken =
      !argument.empty() && errno == 0 && *end == '\0' && want >= -5000 && want <= 5000;
  int64_t got = 0;
  if (common::parseWholeInteger(argument, -5000, 5000, got) != taken || (taken && got != want)) {
    fail("whole integer", argument, static_cast<double>(got), static_cast<double>(want));
  }
}

void checkTrim(std::string_view text) {
  std::size_t end = text.size();
  while (end > 0 && fuzzref::isBlank(text[end - 1])) --end;
  const std::string_view got = common::trimTrailingSpace(text);
  if (got.data() != text.data() || got.size() != end) {
    fail("trimmed length", text, static_cast<double>(got.size()), static_cast<double>(end));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  checkDecimal(text);
  checkInteger(text);
  checkWholeInteger(text);
  checkTrim(text);
  return 0;
}
