#include "values/typed_value.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

namespace zksql {
namespace {

struct StoreCase {
  int16_t type;
  double real;
  double expected;  // what reads back
};

class StoreNumberTest : public ::testing::TestWithParam<StoreCase> {};

// Truncation toward zero, rounding into floats, and the limits held for
// reals the type cannot hold (which a plain cast would leave undefined).
TEST_P(StoreNumberTest, ReadsBackWhatTheTypeCanHold) {
  const StoreCase& c = GetParam();
  unsigned char bytes[8 + 1];
  memset(bytes, 0xAA, sizeof bytes);
  ASSERT_TRUE(StoreNumber(c.type, c.real, bytes));
  EXPECT_EQ(bytes[NumberWidth(c.type)], 0xAA) << "wrote past the type's width";
  double back = 0;
  ASSERT_TRUE(ReadNumber(c.type, bytes, &back));
  EXPECT_EQ(back, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Types, StoreNumberTest,
    ::testing::Values(StoreCase{kValueInt16, 2.9, 2}, StoreCase{kValueInt16, -2.9, -2},
                      StoreCase{kValueInt16, 40000, 32767}, StoreCase{kValueInt16, -1e300, -32768},
                      StoreCase{kValueUInt16, -5, 0}, StoreCase{kValueUInt16, 65535.9, 65535},
                      StoreCase{kValueInt32, 3e9, 2147483647.0},
                      StoreCase{kValueInt32, -2147483648.9, -2147483648.0},
                      StoreCase{kValueUInt32, 4294967295.5, 4294967295.0},
                      StoreCase{kValueInt8, -128.7, -128}, StoreCase{kValueInt8, 200, 127},
                      StoreCase{kValueInt32, std::nan(""), 0},
                      StoreCase{kValueInt16, std::numeric_limits<double>::infinity(), 32767},
                      StoreCase{kValueFloat, 0.5, 0.5},
                      StoreCase{kValueFloat2, 1e300, std::numeric_limits<float>::max()},
                      StoreCase{kValueFloat, -1e300, -std::numeric_limits<float>::max()},
                      StoreCase{kValueReal, 1e300, 1e300}));

TEST(TypedValueTest, FreshValuesOwnTheirBytesAndReleaseClearsThem) {
  TypedValue v;
  ASSERT_TRUE(MakeTextValue(kValueText, "abc", &v));
  EXPECT_EQ(v.type, kValueText);
  EXPECT_EQ(v.length, 4);
  EXPECT_STREQ(v.bytes, "abc");
  ReleaseValue(&v);
  EXPECT_EQ(v.bytes, nullptr);
  EXPECT_EQ(v.type, kValueNone);

  ASSERT_TRUE(MakeNumberValue(kValueInt32, -7.5, &v));
  EXPECT_EQ(v.length, 4);
  double back = 0;
  ASSERT_TRUE(ReadNumber(v.type, v.bytes, &back));
  EXPECT_EQ(back, -7);
  ReleaseValue(&v);

  double x = 1;
  EXPECT_FALSE(ReadNumber(kValueText, "12", &x));
  EXPECT_EQ(x, 0);
  EXPECT_FALSE(MakeNumberValue(kValueText, 1, &v));
  EXPECT_FALSE(MakeTextValue(kValueReal, "1", &v));
  EXPECT_FALSE(MakeTextValue(kValueText, nullptr, &v));
}

}  // namespace
}  // namespace zksql
