// Reading numbers from the text of a window's fields. The rules are those of the C library's
// decimal text conversions, fixed to the "C" locale whatever the user's settings are.
#pragma once

#include <cstdint>
#include <string_view>

namespace common {

// White space as the "C" locale classifies it: space, \t, \n, \v, \f, \r.
bool isCSpace(char c);

// A decimal number: [white space][sign](digits[.[digits]] | .digits)[(e|E)[sign]digits], the
// longest such prefix, 0 when there is none. The "inf", "nan" and hexadecimal forms are not
// numbers here (they read as 0). A value too large for a double reads as +-infinity, one too
// small as +-0 (as the C library reports them).
double parseDecimal(std::string_view text);

// A decimal integer: [white space][sign]digits, stopping at the first other character, 0 when
// there are no digits; values beyond the 32-bit range saturate at its limits.
int32_t parseInteger(std::string_view text);

// A whole option value that is a decimal integer from low to high: [white space][sign]digits
// and nothing after them (as strtol reads a number in the "C" locale); false for anything else,
// leaving value as it was.
bool parseWholeInteger(std::string_view text, int64_t low, int64_t high, int64_t& value);

// The text without trailing white space (leading white space stays).
std::string_view trimTrailingSpace(std::string_view text);

}  // namespace common
