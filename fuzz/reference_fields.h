// Slow, literal readings of the converter's two number grammars, written independently of the
// program's own readers so that the harnesses can compare the two.
//
// Decimal: leading white space skipped, then the longest prefix of the form
//   [sign] digits [. digits] [(e|E) [sign] digits]   (at least one digit before or after the
// point; the exponent only counts when it has a digit), 0 when there is no such prefix.
// Integer: leading white space skipped, then [sign] digits, stopping at the first other byte.
#pragma once

#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace fuzzref {

inline bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
inline bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

inline std::size_t skipBlanks(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && isBlank(text[i])) ++i;
  return i;
}

// The prefix of `text` that the decimal grammar takes, white space excluded (maybe empty).
inline std::string_view decimalPrefix(std::string_view text) {
  std::size_t i = skipBlanks(text);
  const std::size_t start = i;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  std::size_t digits = 0;
  while (i < text.size() && isDigit(text[i])) ++i, ++digits;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && isDigit(text[i])) ++i, ++digits;
  }
  if (digits == 0) return {};
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    std::size_t j = i + 1;
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
    if (j < text.size() && isDigit(text[j])) {
      while (j < text.size() && isDigit(text[j])) ++j;
      i = j;
    }
  }
  return text.substr(start, i - start);
}

struct Decimal {
  double value = 0.0;
  bool outOfRange = false;  // the prefix overflows or underflows a double
};

inline Decimal readDecimal(std::string_view text) {
  std::string_view prefix = decimalPrefix(text);
  Decimal result;
  if (prefix.empty()) return result;
  bool negative = false;
  if (prefix[0] == '+' || prefix[0] == '-') {
    negative = prefix[0] == '-';
    prefix.remove_prefix(1);
  }
  double magnitude = 0.0;
  const auto [end, ec] = std::from_chars(prefix.data(), prefix.data() + prefix.size(), magnitude);
  if (ec == std::errc::result_out_of_range) {
    // from_chars leaves the value unset here; the C reader gives HUGE_VAL or a value near 0.
    result.outOfRange = true;
    magnitude = std::strtod(std::string(prefix).c_str(), nullptr);
  } else if (ec != std::errc() || end != prefix.data() + prefix.size()) {
    std::abort();  // the grammar above only lets through what from_chars reads whole
  }
  result.value = negative ? -magnitude : magnitude;
  return result;
}

struct Integer {
  int64_t value = 0;  // exact when it fits in 64 bits
  bool fitsInt32 = true;
};

inline Integer readInteger(std::string_view text) {
  std::size_t i = skipBlanks(text);
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  Integer result;
  bool huge = false;
  for (; i < text.size() && isDigit(text[i]); ++i) {
    if (result.value > (INT64_MAX - 9) / 10) huge = true;
    if (!huge) result.value = result.value * 10 + (text[i] - '0');
  }
  if (negative) result.value = -result.value;
  result.fitsInt32 = !huge && result.value >= INT32_MIN && result.value <= INT32_MAX;
  return result;
}

}  // namespace fuzzref
