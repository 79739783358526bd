#include "values/decimal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

namespace zksql {
namespace {

// The ten bytes of an 80-bit integer given as a signed 64-bit value (sign
// extended into the top word).
struct Item {
  unsigned char b[kDecimalBytes];
};

Item FromInteger(int64_t v) {
  Item item;
  uint64_t u = static_cast<uint64_t>(v);
  for (int i = 0; i < 8; ++i) item.b[i] = static_cast<unsigned char>(u >> (8 * i));
  unsigned char fill = v < 0 ? 0xFF : 0x00;
  item.b[8] = fill;
  item.b[9] = fill;
  return item;
}

std::string Text(const Item& item) {
  char out[kDecimalTextSize];
  DecimalToText(item.b, out, sizeof out);
  return out;
}

struct ItemCase {
  int64_t scaled;  // the value times 1000000
  const char* text;
};

class DecimalTextTest : public ::testing::TestWithParam<ItemCase> {};

// The item reads as its text, and the text reads back to the same item.
TEST_P(DecimalTextTest, RoundTripsThroughItsText) {
  const ItemCase& c = GetParam();
  Item item = FromInteger(c.scaled);
  EXPECT_EQ(Text(item), c.text);
  Item back;
  ASSERT_TRUE(TextToDecimal(c.text, back.b));
  EXPECT_EQ(memcmp(back.b, item.b, kDecimalBytes), 0) << c.text;
}

INSTANTIATE_TEST_SUITE_P(
    Values, DecimalTextTest,
    ::testing::Values(ItemCase{12500000, "12.5"}, ItemCase{-1, "-0.000001"}, ItemCase{0, "0"},
                      ItemCase{1, "0.000001"}, ItemCase{1000000, "1"},
                      ItemCase{-123456789, "-123.456789"}, ItemCase{100000000, "100"},
                      ItemCase{INT64_MAX, "9223372036854.775807"},
                      ItemCase{INT64_MIN, "-9223372036854.775808"}));

TEST(DecimalTest, UsesAllEightyBits) {
  // 2^79 - 1, the largest item: 604462909807314587353087 millionths.
  Item top;
  memset(top.b, 0xFF, sizeof top.b);
  top.b[9] = 0x7F;
  EXPECT_EQ(Text(top), "604462909807314587.353087");
  Item back;
  ASSERT_TRUE(TextToDecimal("604462909807314587.353087", back.b));
  EXPECT_EQ(memcmp(back.b, top.b, kDecimalBytes), 0);
  // The most negative item has no positive counterpart but still reads.
  Item bottom;
  memset(bottom.b, 0, sizeof bottom.b);
  bottom.b[9] = 0x80;
  EXPECT_EQ(Text(bottom), "-604462909807314587.353088");
}

TEST(DecimalTest, OverflowFailsAndLeavesZero) {
  Item item = FromInteger(5);
  // One millionth more than the largest item: the sign bit would be hit.
  EXPECT_FALSE(TextToDecimal("604462909807314587.353088", item.b));
  EXPECT_EQ(Text(item), "0");
  // The integer digits fit, the scaling to six decimals does not.
  EXPECT_FALSE(TextToDecimal("604462909807314588", item.b));
  EXPECT_FALSE(TextToDecimal("-99999999999999999999999999", item.b));
  EXPECT_FALSE(RealToDecimal(1e18, item.b));
  EXPECT_FALSE(RealToDecimal(std::nan(""), item.b));
  EXPECT_FALSE(RealToDecimal(-INFINITY, item.b));
  EXPECT_EQ(Text(item), "0");
}

TEST(DecimalTest, ReadsBlanksSignsAndIgnoresDecimalsBeyondSix) {
  Item item;
  ASSERT_TRUE(TextToDecimal("  -42.1234567", item.b));
  EXPECT_EQ(Text(item), "-42.123456");
  ASSERT_TRUE(TextToDecimal("+7.5xyz", item.b));
  EXPECT_EQ(Text(item), "7.5");
  ASSERT_TRUE(TextToDecimal("", item.b));
  EXPECT_EQ(Text(item), "0");
}

TEST(DecimalTest, RealsRoundTripAtSixDecimals) {
  Item item;
  for (double v : {0.0, 12.5, -0.000001, 3.141593, -98765.4321, 123456789012.5}) {
    ASSERT_TRUE(RealToDecimal(v, item.b)) << v;
    EXPECT_NEAR(DecimalToReal(item.b), v, std::fabs(v) * 1e-15 + 1e-12) << v;
  }
  ASSERT_TRUE(RealToDecimal(2.0000004, item.b));
  EXPECT_EQ(Text(item), "2");  // "%f" rounds to six places
}

TEST(DecimalTest, ShortOutputIsCutAndTerminated) {
  Item item = FromInteger(-123456789);
  char out[5];
  EXPECT_EQ(DecimalToText(item.b, out, sizeof out), 4);
  EXPECT_STREQ(out, "-123");
}

}  // namespace
}  // namespace zksql
