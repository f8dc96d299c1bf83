#include "field_parsing.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace {

using common::parseDecimal;
using common::parseInteger;

TEST(ParseDecimal, ReadsTheLongestNumberPrefix) {
  EXPECT_EQ(parseDecimal("120.0"), 120.0);
  EXPECT_EQ(parseDecimal("97.5"), 97.5);
  EXPECT_EQ(parseDecimal("  \t\n\v\f\r97.5"), 97.5);
  EXPECT_EQ(parseDecimal("+30"), 30.0);
  EXPECT_EQ(parseDecimal("-12.25xyz"), -12.25);
  EXPECT_EQ(parseDecimal("120abc"), 120.0);
  EXPECT_EQ(parseDecimal(".5e3"), 500.0);
  EXPECT_EQ(parseDecimal("5."), 5.0);
  EXPECT_EQ(parseDecimal("5.e1"), 50.0);
  EXPECT_EQ(parseDecimal("1e3"), 1000.0);
  EXPECT_EQ(parseDecimal("1E+3"), 1000.0);
  EXPECT_EQ(parseDecimal("2.5e-1"), 0.25);
  EXPECT_EQ(parseDecimal("007.50"), 7.5);
  EXPECT_EQ(parseDecimal("0.1"), 0.1);
  EXPECT_EQ(parseDecimal("137.5"), 137.5);
}

TEST(ParseDecimal, StopsBeforeAnIncompleteExponentOrPoint) {
  EXPECT_EQ(parseDecimal("12e"), 12.0);
  EXPECT_EQ(parseDecimal("12e+"), 12.0);
  EXPECT_EQ(parseDecimal("12e-x"), 12.0);
  EXPECT_EQ(parseDecimal("12.5.7"), 12.5);
  EXPECT_EQ(parseDecimal("1,5"), 1.0);  // a comma is never a decimal point
  EXPECT_EQ(parseDecimal("3 4"), 3.0);
}

TEST(ParseDecimal, TextWithoutANumberReadsAsZero) {
  for (const char* text : {"", "   ", "abc", ".", "-", "+.", "e5", ".e5", "- 5",
                           "\xE3\x80\x80"
                           "5",
                           "inf", "INF", "-infinity", "nan", "NAN(1)", "0x40", "0X1p4"}) {
    const double v = parseDecimal(text);
    EXPECT_EQ(v, 0.0) << text;
  }
  // The hexadecimal form reads only its leading 0.
  EXPECT_EQ(parseDecimal("0x1A"), 0.0);
  EXPECT_EQ(parseDecimal("1x1A"), 1.0);
}

TEST(ParseDecimal, HugeAndTinyValuesSaturateLikeTheCLibrary) {
  EXPECT_EQ(parseDecimal("1e400"), std::numeric_limits<double>::infinity());
  EXPECT_EQ(parseDecimal("-1e400"), -std::numeric_limits<double>::infinity());
  EXPECT_EQ(parseDecimal("1e99999999999999999999"), std::numeric_limits<double>::infinity());
  EXPECT_EQ(parseDecimal("0.00001e309"), 1e304);
  EXPECT_EQ(parseDecimal("1e-400"), 0.0);
  EXPECT_EQ(parseDecimal("123456789e-99999999999"), 0.0);
  EXPECT_EQ(parseDecimal("0e99999"), 0.0);
  EXPECT_EQ(parseDecimal(std::string(400, '9')), std::numeric_limits<double>::infinity());
  EXPECT_EQ(parseDecimal("1000000000000000000000000000000"), 1e30);
}

TEST(ParseInteger, ReadsSignAndDigitsOnly) {
  EXPECT_EQ(parseInteger("480"), 480);
  EXPECT_EQ(parseInteger("480.5"), 480);
  EXPECT_EQ(parseInteger("  -24x"), -24);
  EXPECT_EQ(parseInteger("+1920"), 1920);
  EXPECT_EQ(parseInteger("1e3"), 1);
  EXPECT_EQ(parseInteger(""), 0);
  EXPECT_EQ(parseInteger("abc"), 0);
  EXPECT_EQ(parseInteger("- 5"), 0);
  EXPECT_EQ(parseInteger("0x20"), 0);
}

TEST(ParseInteger, SaturatesAtThe32BitLimits) {
  EXPECT_EQ(parseInteger("2147483647"), 2147483647);
  EXPECT_EQ(parseInteger("2147483648"), 2147483647);
  EXPECT_EQ(parseInteger("99999999999999999999999999"), 2147483647);
  EXPECT_EQ(parseInteger("-2147483648"), std::numeric_limits<int32_t>::min());
  EXPECT_EQ(parseInteger("-2147483649"), std::numeric_limits<int32_t>::min());
  EXPECT_EQ(parseInteger("-99999999999999999999999999"), std::numeric_limits<int32_t>::min());
}

// An option's value is taken whole, as strtol reads it, or refused.
TEST(ParseWholeInteger, AgreesWithStrtolOnTheWholeTextAndTheBounds) {
  for (const char* text : {"60",
                           "0060",
                           "+60",
                           "-0",
                           " \t60",
                           "60 ",
                           "6 0",
                           "",
                           " ",
                           "+",
                           "-",
                           "+-6",
                           "0x3C",
                           "60.0",
                           "1e2",
                           "1000",
                           "1001",
                           "0",
                           "-1",
                           "99999999999999999999999",
                           "-99999999999999999999999"}) {
    char* end = nullptr;
    errno = 0;
    const long expected = std::strtol(text, &end, 10);
    const bool whole = *text != '\0' && errno == 0 && *end == '\0';
    int64_t value = -7;
    EXPECT_EQ(common::parseWholeInteger(text, 1, 1000, value),
              whole && expected >= 1 && expected <= 1000)
        << "'" << text << "'";
    EXPECT_EQ(value, whole && expected >= 1 && expected <= 1000 ? expected : -7)
        << "'" << text << "'";
  }
}

TEST(TrimTrailingSpace, RemovesOnlyTrailingCWhiteSpace) {
  EXPECT_EQ(common::trimTrailingSpace("  a.dat \t\r\n"), "  a.dat");
  EXPECT_EQ(common::trimTrailingSpace("a.dat\xE3\x80\x80"), "a.dat\xE3\x80\x80");
  EXPECT_EQ(common::trimTrailingSpace(" \t "), "");
}

}  // namespace
