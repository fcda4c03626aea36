#include "platform/format.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>

namespace platform {
namespace {

TEST(FormatTest, FixedRoundsTheExactBinaryValueAsPrintfDoes) {
  struct Case {
    double value;
    int decimals;
    const char* text;
  };
  const Case cases[] = {
      {2626.33, 2, "2626.33"},
      {0.125, 2, "0.12"},  // an exact tie goes to the even digit
      {0.375, 2, "0.38"},
      {9.995, 2, "9.99"},  // 9.995 is a little below it in binary
      {9.9951, 2, "10.00"},
      {-0.001, 2, "-0.00"},
      {-1.5, 0, "-2"},
      {2.5, 0, "2"},
      {1e21, 1, "1000000000000000000000.0"},
      {123.456789, 3, "123.457"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(Fixed(c.value, c.decimals), c.text);
  }
  // Longer than any buffer on the stack.
  EXPECT_EQ(Fixed(1e300, 2).size(), 304u);
}

// The C library's printf is the reference where it is known to round exactly.
#if !defined(_WIN32)
TEST(FormatTest, FixedMatchesPrintfOnRandomValues) {
  std::mt19937_64 random(12345);
  std::uniform_real_distribution<double> spread(-5000.0, 5000.0);
  for (int i = 0; i < 20000; ++i) {
    const double value = spread(random);
    const int decimals = i % 5;
    char expected[64];
    std::snprintf(expected, sizeof expected, "%.*f", decimals, value);
    ASSERT_EQ(Fixed(value, decimals), expected) << value;
  }
}
#endif

TEST(FormatTest, ClockTextWrapsToTheDay) {
  EXPECT_EQ(ClockText(0), "00:00");
  EXPECT_EQ(ClockText(14 * 60 + 6), "14:06");
  EXPECT_EQ(ClockText(24 * 60 + 5), "00:05");
  EXPECT_EQ(ClockText(23 * 60 + 59), "23:59");
}

}  // namespace
}  // namespace platform
