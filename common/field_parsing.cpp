#include "field_parsing.h"

#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <limits>
#include <string>
#include <system_error>

namespace common {

namespace {

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

std::size_t skipSpace(std::string_view text, std::size_t i) {
  while (i < text.size() && isCSpace(text[i])) ++i;
  return i;
}

// The nearest double to the unsigned decimal [first, last) of digits, point and exponent, as
// std::from_chars reads it: result_out_of_range when it is beyond the largest double or so small
// that it rounds to zero (subnormal values are values).
std::from_chars_result readDecimal(const char* first, const char* last, double& value) {
#if defined(__EMSCRIPTEN__)
  // Emscripten's C++ library has no floating-point from_chars. Its strtod rounds correctly too,
  // and under the "C" locale (the only one there) reads this syntax alike; the text is already
  // validated, so all of it is read.
  const std::string text(first, last);
  const double v = std::strtod(text.c_str(), nullptr);
  if (std::isinf(v) || v == 0.0) return {last, std::errc::result_out_of_range};
  value = v;
  return {last, std::errc()};
#else
  return std::from_chars(first, last, value, std::chars_format::general);
#endif
}

}  // namespace

bool isCSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

double parseDecimal(std::string_view text) {
  std::size_t i = skipSpace(text, 0);
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  const std::size_t start = i;  // first character of the unsigned number

  // Mantissa. `order` tracks the decimal exponent of the leading non-zero digit (+1), used
  // only to tell overflow from underflow when the value leaves the double range.
  std::size_t intDigits = 0;
  std::size_t fracDigits = 0;
  int64_t order = 0;
  bool seenNonZero = false;
  while (i < text.size() && isDigit(text[i])) {
    if (text[i] != '0') seenNonZero = true;
    if (seenNonZero) ++order;
    ++intDigits;
    ++i;
  }
  if (i < text.size() && text[i] == '.') {
    std::size_t j = i + 1;
    while (j < text.size() && isDigit(text[j])) {
      if (!seenNonZero) {
        if (text[j] != '0') {
          seenNonZero = true;
        } else {
          --order;
        }
      }
      ++fracDigits;
      ++j;
    }
    if (intDigits > 0 || fracDigits > 0) i = j;  // "5." and ".5" are numbers, "." is not
  }
  if (intDigits == 0 && fracDigits == 0) return 0.0;

  // Exponent, only when it has at least one digit.
  int64_t exponent = 0;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    std::size_t j = i + 1;
    bool expNegative = false;
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) {
      expNegative = text[j] == '-';
      ++j;
    }
    if (j < text.size() && isDigit(text[j])) {
      while (j < text.size() && isDigit(text[j])) {
        // Saturate far beyond any double exponent; the digits still count as read.
        if (exponent < 1000000000) exponent = exponent * 10 + (text[j] - '0');
        ++j;
      }
      if (expNegative) exponent = -exponent;
      i = j;
    }
  }

  double value = 0.0;
  const char* first = text.data() + start;
  const char* last = text.data() + i;
  const auto result = readDecimal(first, last, value);
  if (result.ec == std::errc::result_out_of_range) {
    value = (order + exponent > 0) ? std::numeric_limits<double>::infinity() : 0.0;
  } else if (result.ec != std::errc() || result.ptr != last) {
    value = 0.0;  // cannot happen for the validated prefix
  }
  if (!seenNonZero) value = 0.0;
  return negative ? -value : value;
}

int32_t parseInteger(std::string_view text) {
  std::size_t i = skipSpace(text, 0);
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  // Accumulate the magnitude in 64 bits, saturating just past the 32-bit range.
  constexpr int64_t kCap = static_cast<int64_t>(std::numeric_limits<int32_t>::max()) + 1;
  int64_t magnitude = 0;
  while (i < text.size() && isDigit(text[i])) {
    magnitude = magnitude * 10 + (text[i] - '0');
    if (magnitude > kCap) magnitude = kCap;
    ++i;
  }
  const int64_t value = negative ? -magnitude : magnitude;
  if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (value < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(value);
}

bool parseWholeInteger(std::string_view text, int64_t low, int64_t high, int64_t& value) {
  std::size_t i = skipSpace(text, 0);
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  if (i == text.size()) return false;
  // The magnitude stops growing once it is past any 64-bit bound, so it cannot overflow.
  constexpr int64_t kCap = std::numeric_limits<int64_t>::max() / 10 - 1;
  int64_t magnitude = 0;
  for (; i < text.size(); ++i) {
    if (!isDigit(text[i])) return false;
    if (magnitude <= kCap) magnitude = magnitude * 10 + (text[i] - '0');
  }
  const int64_t number = negative ? -magnitude : magnitude;
  if (magnitude > kCap || number < low || number > high) return false;
  value = number;
  return true;
}

std::string_view trimTrailingSpace(std::string_view text) {
  std::size_t end = text.size();
  while (end > 0 && isCSpace(text[end - 1])) --end;
  return text.substr(0, end);
}

}  // namespace common
