#include "values/value_converter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <ostream>
#include <string>

namespace zksql {
namespace {

using VC = ValueConverter;

// A value as a test case writes it: a type, and its number or its text.
struct Val {
  int16_t type;
  double number;
  const char* text;
};

Val Num(int16_t type, double x) {
  return Val{type, x, nullptr};
}
Val Txt(int16_t type, const char* t) {
  return Val{type, 0, t};
}
Val None() {
  return Val{kValueNone, 0, nullptr};
}

std::ostream& operator<<(std::ostream& os, const Val& v) {
  os << "type " << v.type << " ";
  if (v.text != nullptr) return os << '"' << v.text << '"';
  return os << v.number;
}

// Holds the bytes of a Val as a typed value for the duration of a test.
class Held {
 public:
  explicit Held(const Val& v) {
    if (v.type == kValueNone) return;
    if (v.text != nullptr) {
      // A type that holds no text (a binary one) leaves the value empty.
      (void)MakeTextValue(v.type, v.text, value_.Receive());
    } else {
      EXPECT_TRUE(MakeNumberValue(v.type, v.number, value_.Receive()));
    }
  }
  const TypedValue& value() const { return value_.view(); }

 private:
  OwnedValue value_;
};

std::string Show(const TypedValue& v) {
  if (v.bytes == nullptr) return "no value";
  if (KindOf(v.type) == TypeKind::kNumber) {
    double x = 0;
    EXPECT_TRUE(ReadNumber(v.type, v.bytes, &x));
    char text[64];
    snprintf(text, sizeof text, "%d:%g", v.type, x);
    return text;
  }
  return std::to_string(v.type) + ":" + v.bytes;
}

struct CompareCase {
  int16_t op;
  Val a;
  Val b;
  int16_t expected;
};

std::ostream& operator<<(std::ostream& os, const CompareCase& c) {
  return os << c.a << " op " << c.op << " " << c.b;
}

class ValueCompareTest : public ::testing::TestWithParam<CompareCase> {};

TEST_P(ValueCompareTest, HoldsExactlyWhenExpected) {
  const CompareCase& c = GetParam();
  Held a(c.a);
  Held b(c.b);
  EXPECT_EQ(Converter().Compare(c.op, a.value(), b.value()), c.expected);
  // The unbounded form reads the same bytes the same way.
  EXPECT_EQ(
      Converter().Compare(c.op, a.value().type, a.value().bytes, b.value().type, b.value().bytes),
      c.expected);
}

INSTANTIATE_TEST_SUITE_P(Numbers, ValueCompareTest,
                         ::testing::Values(
                             // Six decimals: 0.1 + 0.2 prints as 0.300000, like 0.3.
                             CompareCase{VC::kOpEqual, Num(7, 0.1 + 0.2), Num(7, 0.3), 1},
                             CompareCase{VC::kOpNotEqual, Num(7, 0.1 + 0.2), Num(7, 0.3), 0},
                             CompareCase{VC::kOpEqual, Num(7, 1.0000004), Num(3, 1), 1},
                             CompareCase{VC::kOpLess, Num(7, 1.000001), Num(7, 1.000002), 1},
                             CompareCase{VC::kOpGreater, Num(1, -3), Num(5, -4), 1},
                             CompareCase{VC::kOpLessEqual, Num(2, 7), Num(6, 7), 1},
                             CompareCase{VC::kOpGreaterEqual, Num(4, 7), Num(11, 7.5), 0},
                             CompareCase{VC::kOpLess, Num(7, -1e300), Num(7, 1e300), 1},
                             // The NULL test reads the left side only.
                             CompareCase{VC::kOpIsNull, Num(7, 0), None(), 1},
                             CompareCase{VC::kOpIsNull, Num(7, -0.0), None(), 1},
                             CompareCase{VC::kOpIsNull, Num(7, 0.0000001), None(), 1},
                             CompareCase{VC::kOpIsNull, Num(3, 1), None(), 0},
                             // Unknown operators never hold.
                             CompareCase{201, Num(7, 1), Num(7, 1), 0}));

INSTANTIATE_TEST_SUITE_P(
    Texts, ValueCompareTest,
    ::testing::Values(CompareCase{VC::kOpLess, Txt(8, "ABC"), Txt(8, "ABD"), 1},
                      CompareCase{VC::kOpLess, Txt(8, "AB"), Txt(8, "ABC"), 1},  // prefix first
                      CompareCase{VC::kOpGreater, Txt(8, "\xE9"), Txt(8, "z"),
                                  1},  // unsigned bytes
                      CompareCase{VC::kOpEqual, Txt(8, "abc"), Txt(8, "ABC"), 0},
                      CompareCase{VC::kOpNotEqual, Txt(8, "abc"), Txt(8, "ABC"), 1},
                      CompareCase{VC::kOpIsNull, Txt(8, ""), None(), 1},
                      CompareCase{VC::kOpIsNull, Txt(8, " "), None(), 0},
                      // An 8-digit date meets a 6-digit one without its century.
                      CompareCase{VC::kOpEqual, Txt(9, "19991231"), Txt(9, "991231"), 1},
                      CompareCase{VC::kOpEqual, Txt(9, "991231"), Txt(9, "19991231"), 1},
                      CompareCase{VC::kOpLess, Txt(9, "19991230"), Txt(9, "991231"), 1},
                      CompareCase{VC::kOpEqual, Txt(8, "19991231"), Txt(8, "991231"), 0},
                      CompareCase{VC::kOpEqual, Txt(9, "19991231"), Txt(8, "19991231"), 1},
                      CompareCase{VC::kOpGreaterEqual, Txt(10, "1230"), Txt(10, "0930"), 1},
                      // A date or time written with separators meets the digits.
                      CompareCase{VC::kOpEqual, Txt(9, "20240229"), Txt(8, "2024-02-29"), 1},
                      CompareCase{VC::kOpEqual, Txt(8, "2024/02/29"), Txt(9, "20240229"), 1},
                      CompareCase{VC::kOpGreater, Txt(9, "20240229"), Txt(8, "2024-03-01"), 0},
                      CompareCase{VC::kOpLess, Txt(9, "20240229"), Txt(8, "2024-03-01"), 1},
                      CompareCase{VC::kOpEqual, Txt(9, "990101"), Txt(8, "1999-01-01"), 1},
                      CompareCase{VC::kOpEqual, Txt(10, "1020"), Txt(8, "10:20"), 1},
                      CompareCase{VC::kOpEqual, Txt(8, "2024-02-29"), Txt(8, "20240229"), 0},
                      CompareCase{VC::kOpEqual, Txt(9, "20240229"), Txt(8, "2024-02-2x"), 0},
                      CompareCase{VC::kOpEqual, Txt(9, "20240229"), Txt(8, "2024-02/29"), 0}));

INSTANTIATE_TEST_SUITE_P(
    MixedKinds, ValueCompareTest,
    ::testing::Values(CompareCase{VC::kOpEqual, Num(7, 12), Txt(8, "12"), 0},
                      CompareCase{VC::kOpNotEqual, Txt(8, "12"), Num(7, 12), 0},
                      CompareCase{VC::kOpEqual, Num(7, 0), Txt(9, "19991231"), 0},
                      CompareCase{VC::kOpEqual, Txt(8, "x"), None(), 0},
                      CompareCase{VC::kOpEqual, Txt(12, "x"), Txt(12, "x"), 0}));

TEST(ValueCompareTest, ReadsNoFurtherThanTheValueLength) {
  // A text without terminator inside its length, and a number shorter than
  // its type's width.
  char unterminated[3] = {'A', 'B', 'C'};
  TypedValue a{kValueText, 2, unterminated};
  char ab[] = "AB";
  TypedValue b{kValueText, 3, ab};
  EXPECT_EQ(Converter().Compare(VC::kOpEqual, a, b), 1);
  char two[2] = {0, 0};
  TypedValue shortReal{kValueReal, 2, two};
  EXPECT_EQ(Converter().Compare(VC::kOpIsNull, shortReal, TypedValue{}), 0);
  EXPECT_EQ(Converter().Compare(VC::kOpEqual, TypedValue{kValueText, 0, nullptr}, b), 0);
}

struct ArithmeticCase {
  Val a;
  int16_t op;
  Val b;
  const char* expected;  // Show() of the result
};

std::ostream& operator<<(std::ostream& os, const ArithmeticCase& c) {
  return os << c.a << " op " << c.op << " " << c.b;
}

class ValueArithmeticTest : public ::testing::TestWithParam<ArithmeticCase> {};

TEST_P(ValueArithmeticTest, GivesTheExpectedValue) {
  const ArithmeticCase& c = GetParam();
  Held a(c.a);
  Held b(c.b);
  OwnedValue out;
  bool ok = Converter().Arithmetic(a.value(), c.op, b.value(), out.Receive());
  EXPECT_EQ(ok, out.has_value());
  EXPECT_EQ(Show(out.view()), c.expected);
  if (ok && KindOf(out->type) != TypeKind::kNumber) {
    EXPECT_GE(out->length, strlen(out->bytes) + 1);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Numbers, ValueArithmeticTest,
    ::testing::Values(ArithmeticCase{Num(3, 7), VC::kOpDivide, Num(3, 2), "3:3"},
                      ArithmeticCase{Num(7, 7), VC::kOpDivide, Num(7, 2), "7:3.5"},
                      ArithmeticCase{Num(3, -7), VC::kOpDivide, Num(3, 2), "3:-3"},  // toward zero
                      ArithmeticCase{Num(1, 2), VC::kOpAdd, Num(7, 0.9), "1:2"},     // left type
                      ArithmeticCase{Num(7, 2), VC::kOpSubtract, Num(1, 5), "7:-3"},
                      ArithmeticCase{Num(6, 1.5), VC::kOpMultiply, Num(3, 3), "6:4.5"},
                      ArithmeticCase{Num(1, 30000), VC::kOpMultiply, Num(1, 30000), "1:32767"},
                      ArithmeticCase{Num(2, 1), VC::kOpSubtract, Num(2, 2), "2:0"},
                      ArithmeticCase{Num(5, 100), VC::kOpAdd, Num(5, 100), "5:127"},
                      ArithmeticCase{Num(7, 5), VC::kOpSubtract, None(), "7:-5"},  // negation
                      ArithmeticCase{Num(1, -32768), VC::kOpSubtract, None(), "1:32767"},
                      // Refused: division by zero, unknown operators, no second operand
                      // other than for negation.
                      ArithmeticCase{Num(7, 1), VC::kOpDivide, Num(7, 0), "no value"},
                      ArithmeticCase{Num(3, 1), VC::kOpDivide, Num(6, -0.0), "no value"},
                      ArithmeticCase{Num(7, 1), 203, Num(7, 1), "no value"},
                      ArithmeticCase{Num(7, 1), VC::kOpAdd, None(), "no value"}));

INSTANTIATE_TEST_SUITE_P(
    Texts, ValueArithmeticTest,
    ::testing::Values(ArithmeticCase{Txt(8, "AB"), VC::kOpAdd, Txt(8, "CD"), "8:ABCD"},
                      ArithmeticCase{Txt(8, ""), VC::kOpAdd, Txt(8, "x"), "8:x"},
                      ArithmeticCase{Txt(8, "AB"), VC::kOpSubtract, Txt(8, "CD"), "no value"},
                      ArithmeticCase{Txt(8, "AB"), VC::kOpAdd, Num(7, 1), "no value"},
                      ArithmeticCase{Num(7, 1), VC::kOpAdd, Txt(8, "AB"), "no value"},
                      ArithmeticCase{Txt(8, "AB"), VC::kOpSubtract, None(), "no value"},
                      ArithmeticCase{Txt(9, "19991231"), VC::kOpSubtract, None(), "no value"},
                      ArithmeticCase{Txt(10, "1230"), VC::kOpSubtract, None(), "no value"}));

INSTANTIATE_TEST_SUITE_P(
    Dates, ValueArithmeticTest,
    ::testing::Values(
        ArithmeticCase{Txt(9, "19991231"), VC::kOpAdd, Num(7, 1), "9:20000101"},
        ArithmeticCase{Txt(9, "991231"), VC::kOpAdd, Num(7, 1), "9:000101"},
        ArithmeticCase{Txt(9, "501231"), VC::kOpAdd, Num(3, 1), "9:510101"},
        ArithmeticCase{Txt(9, "19000301"), VC::kOpSubtract, Num(7, 1), "9:19000228"},
        ArithmeticCase{Txt(9, "20000301"), VC::kOpSubtract, Num(1, 1), "9:20000229"},
        ArithmeticCase{Txt(9, "20000101"), VC::kOpSubtract, Num(7, -1.9), "9:20000102"},
        ArithmeticCase{Txt(9, "19500615"), VC::kOpAdd, Num(7, 1e9), "9:20400301"},
        // Days from the left date to the right one.
        ArithmeticCase{Txt(9, "20001231"), VC::kOpSubtract, Txt(9, "20010101"), "1:1"},
        ArithmeticCase{Txt(9, "19991231"), VC::kOpSubtract, Txt(9, "20000101"), "1:1"},
        ArithmeticCase{Txt(9, "20000301"), VC::kOpSubtract, Txt(9, "991231"), "1:-61"},
        // Beyond 16 bits the difference is given exactly in 32 bits.
        ArithmeticCase{Txt(9, "19000101"), VC::kOpSubtract, Txt(9, "20000101"), "3:36524"},
        ArithmeticCase{Txt(9, "20000101"), VC::kOpSubtract, Txt(9, "19000101"), "3:-36524"},
        ArithmeticCase{Txt(9, "19991231"), VC::kOpAdd, Txt(9, "19991231"), "no value"},
        ArithmeticCase{Txt(9, "19991232"), VC::kOpAdd, Num(7, 1), "no value"},
        ArithmeticCase{Txt(9, "1999123"), VC::kOpAdd, Num(7, 1), "no value"},
        ArithmeticCase{Txt(9, "99991231"), VC::kOpAdd, Num(7, 1), "no value"},
        ArithmeticCase{Txt(9, "19991231"), VC::kOpMultiply, Num(7, 2), "no value"},
        ArithmeticCase{Num(7, 1), VC::kOpAdd, Txt(9, "19991231"), "no value"},
        ArithmeticCase{Txt(9, "19991231"), VC::kOpSubtract, Txt(10, "1200"), "no value"}));

INSTANTIATE_TEST_SUITE_P(
    Times, ValueArithmeticTest,
    ::testing::Values(ArithmeticCase{Txt(10, "2330"), VC::kOpAdd, Num(7, 2), "10:0130"},
                      ArithmeticCase{Txt(10, "0130"), VC::kOpSubtract, Num(7, 2), "10:2330"},
                      ArithmeticCase{Txt(10, "0130"), VC::kOpAdd, Num(7, 26), "10:0330"},
                      ArithmeticCase{Txt(10, "0130"), VC::kOpAdd, Num(7, -2), "10:2330"},
                      ArithmeticCase{Txt(10, "0130"), VC::kOpSubtract, Num(7, -25), "10:0230"},
                      // From the left time to the right one, past midnight if need be.
                      ArithmeticCase{Txt(10, "0900"), VC::kOpSubtract, Txt(10, "1730"), "10:0830"},
                      ArithmeticCase{Txt(10, "2300"), VC::kOpSubtract, Txt(10, "0100"), "10:0200"},
                      // Stored times beyond the day are read modulo one day.
                      ArithmeticCase{Txt(10, "2530"), VC::kOpAdd, Num(7, 1), "10:0230"},
                      ArithmeticCase{Txt(10, "0000"), VC::kOpSubtract, Txt(10, "2460"), "10:0100"},
                      ArithmeticCase{Txt(10, "12:3"), VC::kOpAdd, Num(7, 1), "no value"},
                      ArithmeticCase{Txt(10, "1230"), VC::kOpAdd, Txt(10, "0100"), "no value"}));

TEST(ValueArithmeticTest, RawFormClearsItsOutputsWhenRefused) {
  int16_t type = 99;
  uint16_t length = 99;
  char* bytes = reinterpret_cast<char*>(&type);
  double one = 1;
  double zero = 0;
  EXPECT_FALSE(Converter().Arithmetic(kValueReal, 8, &one, VC::kOpDivide, kValueReal, 8, &zero, &type,
                                   &length, &bytes));
  EXPECT_EQ(type, kValueNone);
  EXPECT_EQ(length, 0);
  EXPECT_EQ(bytes, nullptr);
  // A number shorter than its type is not read.
  EXPECT_FALSE(Converter().Arithmetic(kValueReal, 4, &one, VC::kOpAdd, kValueReal, 8, &one, &type,
                                   &length, &bytes));
}

TEST(ValueArithmeticTest, ConcatenationStaysWithinTheGivenLengths) {
  // Texts whose lengths leave out the terminator still get one.
  char ab[2] = {'A', 'B'};
  char cd[2] = {'C', 'D'};
  TypedValue a{kValueText, 2, ab};
  TypedValue b{kValueText, 2, cd};
  OwnedValue out;
  ASSERT_TRUE(Converter().Arithmetic(a, VC::kOpAdd, b, out.Receive()));
  EXPECT_STREQ(out->bytes, "ABCD");
  EXPECT_EQ(out->length, 5);
  // With terminators counted, the length is the sum of both lengths.
  TypedValue x{kValueText, 3, const_cast<char*>("AB")};
  TypedValue y{kValueText, 3, const_cast<char*>("CD")};
  ASSERT_TRUE(Converter().Arithmetic(x, VC::kOpAdd, y, out.Receive()));
  EXPECT_STREQ(out->bytes, "ABCD");
  EXPECT_EQ(out->length, 6);
}

TEST(ValueConverterTest, OrderCompareIsTotalForRealsAndBytewiseForTexts) {
  const VC& c = Converter();
  double one = 1;
  double two = 2;
  double nan = std::nan("");
  EXPECT_EQ(c.OrderCompare(1, &one, &two), -1);
  EXPECT_EQ(c.OrderCompare(1, &two, &one), 1);
  EXPECT_EQ(c.OrderCompare(1, &one, &one), 0);
  EXPECT_EQ(c.OrderCompare(1, &nan, &two), 1);
  EXPECT_EQ(c.OrderCompare(1, &two, &nan), -1);
  EXPECT_EQ(c.OrderCompare(1, &nan, &nan), 0);
  for (int16_t kind : {2, 3, 4}) {
    EXPECT_EQ(c.OrderCompare(kind, "AB", "ABC"), -1);
    EXPECT_EQ(c.OrderCompare(kind, "\xE9", "z"), 1);
    EXPECT_EQ(c.OrderCompare(kind, "x", "x"), 0);
  }
  EXPECT_EQ(c.OrderCompare(0, "A", "B"), 0);
  EXPECT_EQ(c.OrderCompare(5, "A", "B"), 0);
}

TEST(ValueConverterTest, IsOneSharedInstanceOverTheConversions) {
  EXPECT_EQ(&Converter(), &Converter());
  const VC& c = Converter();
  EXPECT_EQ(c.Like("ABCDEF", "%CD%"), 1);
  EXPECT_EQ(c.Like("abc", "ABC"), 0);
  EXPECT_EQ(c.ParseNumber("12,5"), 12.5);
  char text[kNumberTextSize];
  c.NumberText(3.5, 9, text, sizeof text);
  EXPECT_STREQ(text, "3.5");
  unsigned char item[10];
  ASSERT_TRUE(c.RealToDecimal(-12.5, item));
  EXPECT_EQ(c.DecimalToReal(item), -12.5);
  ASSERT_TRUE(c.TextToDecimal("1", item));
  c.DecimalToText(item, text, sizeof text);
  EXPECT_STREQ(text, "1");
  char date[9];
  ASSERT_TRUE(c.DateLiteral("31/12/1999", 6, date, sizeof date));
  EXPECT_STREQ(date, "991231");
  char time[5];
  ASSERT_TRUE(c.TimeLiteral("07h05", time, sizeof time));
  EXPECT_STREQ(time, "0705");
}

}  // namespace
}  // namespace zksql
