#include "values/number_text.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace zksql {
namespace {

struct TextCase {
  double real;
  int digits;
  const char* expected;
};

class NumberTextTest : public ::testing::TestWithParam<TextCase> {};

TEST_P(NumberTextTest, ShowsTheNumberWithoutNeedlessZeros) {
  const TextCase& c = GetParam();
  char out[kNumberTextSize];
  int32_t n = NumberText(c.real, c.digits, out, sizeof out);
  EXPECT_STREQ(out, c.expected);
  EXPECT_EQ(n, static_cast<int32_t>(std::string(c.expected).size()));
}

INSTANTIATE_TEST_SUITE_P(
    Forms, NumberTextTest,
    ::testing::Values(TextCase{42, 9, "42"}, TextCase{3.5, 9, "3.5"}, TextCase{-0.25, 9, "-0.25"},
                      TextCase{0, 9, "0"}, TextCase{1.5e12, 9, "1500000000000"},
                      TextCase{0.0000004, 9, "0"},  // below six decimals
                      TextCase{1.0 / 3, 9, "0.333333"},
                      // Float items: seven significant digits, not the float's binary tail.
                      TextCase{static_cast<float>(0.1), 7, "0.1"},
                      TextCase{static_cast<float>(123.456), 7, "123.456"},
                      TextCase{static_cast<float>(-2.5), 7, "-2.5"},
                      TextCase{static_cast<float>(1234567.0), 7, "1234567"},
                      // A float showing no decimals loses its bare point too.
                      TextCase{100, 7, "100"},
                      // Outside 0.1 to ten million floats use the six-decimal form.
                      TextCase{static_cast<float>(0.05), 7, "0.05"}, TextCase{2e7, 7, "20000000"}));

TEST(NumberTextTest, LargestRealsFitTheAdvertisedRoomAndSmallBuffersAreCut) {
  char out[kNumberTextSize];
  NumberText(-1.7976931348623157e308, 9, out, sizeof out);
  EXPECT_EQ(std::string(out).size(), 310u);  // "-" and 309 digits
  char small[4];
  EXPECT_EQ(NumberText(123456, 9, small, sizeof small), 3);
  EXPECT_STREQ(small, "123");
  NumberText(std::nan(""), 9, out, sizeof out);
  EXPECT_EQ(std::string(out).find('.'), std::string::npos);
}

struct ParseCase {
  const char* text;
  double expected;
};

class ParseNumberTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseNumberTest, ReadsSeparatorsSignsAndExponents) {
  const ParseCase& c = GetParam();
  EXPECT_DOUBLE_EQ(ParseNumber(c.text), c.expected) << c.text;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ParseNumberTest,
    ::testing::Values(ParseCase{"42", 42}, ParseCase{"12,5", 12.5}, ParseCase{"12.5", 12.5},
                      ParseCase{"-3.25", -3.25}, ParseCase{"+7", 7}, ParseCase{"1E3", 1000},
                      ParseCase{"2.5e2", 250}, ParseCase{"1E-3", 0.001}, ParseCase{"-4e1", -40},
                      ParseCase{"1 000", 1000},  // blanks skipped
                      ParseCase{"12-3", 12},     // sign ends reading
                      ParseCase{"-12-3", 12},    // ... unsigned
                      ParseCase{"1.2.3", 1.2},   // second separator
                      ParseCase{"-0.000001", -0.000001}, ParseCase{"", 0}, ParseCase{"abc", 0}));

TEST(ParseNumberTest, HugeExponentsEndAtZeroOrInfinityQuickly) {
  EXPECT_TRUE(std::isinf(ParseNumber("1E999999999")));
  EXPECT_EQ(ParseNumber("1E-999999999"), 0);
  EXPECT_EQ(ParseNumber(nullptr), 0);
}

}  // namespace
}  // namespace zksql

namespace zksql {
namespace {

// The digits of every length, each power of ten and its neighbours, and a
// spread of values, against the C library's own printing.
TEST(WholeDigitsTest, WritesWhatPrintfWrites) {
  std::vector<unsigned long long> values = {0, ULLONG_MAX, ULLONG_MAX - 1};
  for (unsigned long long p = 1; p <= ULLONG_MAX / 10; p *= 10) {
    for (unsigned long long v : {p - 1, p, p + 1, p * 10 - 1}) values.push_back(v);
  }
  unsigned long long x = 88172645463325252ULL;
  for (int i = 0; i < 10000; ++i) {
    x ^= x << 13, x ^= x >> 7, x ^= x << 17;
    values.push_back(x >> (i % 64));
  }
  for (unsigned long long v : values) {
    char expected[32], out[32];
    snprintf(expected, sizeof expected, "%llu", v);
    int n = WholeDigits(v, out);
    ASSERT_EQ(std::string(out, static_cast<size_t>(n)), expected) << v;
  }
}

}  // namespace
}  // namespace zksql
