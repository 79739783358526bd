#include "values/typed_value.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <utility>

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

// The owner's hand-overs: adopting or moving leaves the source empty, a
// value given another one frees what it held, Release gives the bytes up.
// The sanitizer and valgrind runs turn a missed or a second free here into
// a failure.
TEST(TypedValueTest, OwnedValueHandsItsBytesOverAndFreesWhatItHeld) {
  TypedValue raw;
  ASSERT_TRUE(MakeTextValue(kValueText, "abc", &raw));
  const char* bytes = raw.bytes;
  OwnedValue a(&raw);
  EXPECT_EQ(raw.bytes, nullptr);
  OwnedValue b(std::move(a));
  EXPECT_FALSE(a.has_value());
  EXPECT_EQ(a->type, kValueNone);
  EXPECT_EQ(b->bytes, bytes);
  EXPECT_EQ(b->length, 4);

  OwnedValue c;
  ASSERT_TRUE(MakeNumberValue(kValueInt32, 7, c.Receive()));
  c = std::move(b);  // the number goes
  EXPECT_FALSE(b.has_value());
  EXPECT_STREQ(c->bytes, "abc");
  ASSERT_TRUE(MakeNumberValue(kValueReal, 1.5, c.Receive()));  // the text goes
  double x = 0;
  EXPECT_TRUE(ReadNumber(c->type, c->bytes, &x));
  EXPECT_EQ(x, 1.5);

  // A copy has bytes of its own, even for a value of length 0.
  OwnedValue copy;
  ASSERT_TRUE(CopyValue(c.view(), &copy));
  EXPECT_NE(copy->bytes, c->bytes);
  EXPECT_EQ(memcmp(copy->bytes, c->bytes, 8), 0);
  char none = 0;
  ASSERT_TRUE(CopyValue(TypedValue{kValueText, 0, &none}, &copy));
  EXPECT_TRUE(copy.has_value());
  EXPECT_FALSE(CopyValue(TypedValue{}, &copy));

  TypedValue given = copy.Release();
  EXPECT_FALSE(copy.has_value());
  ReleaseValue(&given);
  c.Reset();
  EXPECT_FALSE(c.has_value());
}

}  // namespace
}  // namespace zksql
