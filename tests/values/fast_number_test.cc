// Whole numbers compared and printed without a text round trip: the fast
// path and the six-decimal text path must give the same answers for every
// number, whole or not, at the edges where the shortcut stops applying.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "base/fast_paths.h"
#include "values/number_text.h"
#include "values/typed_value.h"
#include "values/value_converter.h"

namespace zksql {
namespace {

std::vector<double> Numbers() {
  const double inf = std::numeric_limits<double>::infinity();
  std::vector<double> v = {0.0,         -0.0,
                           1.0,         -1.0,
                           0.5,         -0.5,
                           0.1,         1e-7,
                           5e-7,        1e7,
                           1e15,        1e16,
                           1e22,        1e300,
                           -1e300,      inf,
                           -inf,        std::nan(""),
                           0.0000005,   2.0000005,
                           123456789.0, 1.7976931348623157e308};
  // Around 2^52 and 2^53, where a double stops holding fractions and odd
  // whole numbers.
  for (double edge : {4503599627370496.0, 9007199254740992.0}) {
    for (double x : {edge, -edge}) {
      v.push_back(x);
      v.push_back(std::nextafter(x, 0.0));
      v.push_back(std::nextafter(x, 2 * x));
    }
  }
  // Whole numbers and their neighbours one step away, and numbers a
  // millionth apart, at every magnitude.
  std::mt19937_64 random(20261209);
  for (int i = 0; i < 400; ++i) {
    double scale = std::pow(10.0, static_cast<double>(random() % 17));
    double whole = std::trunc(static_cast<double>(random() % 1000000007) * scale / 1e6);
    if (random() % 2) whole = -whole;
    v.push_back(whole);
    v.push_back(std::nextafter(whole, inf));
    v.push_back(std::nextafter(whole, -inf));
    v.push_back(whole + 0.000001);
    v.push_back(whole + 0.0000005);
  }
  return v;
}

std::string Printed(double x, int digits) {
  char text[kNumberTextSize];
  NumberText(x, digits, text, sizeof text);
  return text;
}

TEST(FastNumberTest, WholeNumbersPrintAndCompareAsThroughTheirText) {
  const std::vector<double> numbers = Numbers();
  const int16_t ops[] = {ValueConverter::kOpEqual,     ValueConverter::kOpNotEqual,
                         ValueConverter::kOpLess,      ValueConverter::kOpGreater,
                         ValueConverter::kOpLessEqual, ValueConverter::kOpGreaterEqual};
  ValueConverter converter;
  auto compareAll = [&](std::vector<int16_t>* out) {
    for (size_t i = 0; i < numbers.size(); ++i) {
      TypedValue a{kValueReal, 8, const_cast<char*>(reinterpret_cast<const char*>(&numbers[i]))};
      out->push_back(converter.Compare(ValueConverter::kOpIsNull, a, a));
      // Each number against a few partners: its neighbours in the list
      // (whole numbers and their near neighbours sit side by side).
      for (size_t j = i >= 3 ? i - 3 : 0; j < numbers.size() && j <= i + 3; ++j) {
        TypedValue b{kValueReal, 8, const_cast<char*>(reinterpret_cast<const char*>(&numbers[j]))};
        for (int16_t op : ops) out->push_back(converter.Compare(op, a, b));
      }
    }
  };
  std::vector<int16_t> fast, plain;
  std::vector<std::string> fastText, plainText;
  compareAll(&fast);
  for (double x : numbers) fastText.push_back(Printed(x, 9) + " " + Printed(x, 7));
  {
    FastPathsOff off;
    compareAll(&plain);
    for (double x : numbers) plainText.push_back(Printed(x, 9) + " " + Printed(x, 7));
  }
  ASSERT_EQ(fast.size(), plain.size());
  for (size_t k = 0; k < fast.size(); ++k) ASSERT_EQ(fast[k], plain[k]) << "comparison " << k;
  for (size_t k = 0; k < numbers.size(); ++k) {
    EXPECT_EQ(fastText[k], plainText[k]) << numbers[k];
  }
  EXPECT_EQ(Printed(-0.0, 9), "-0");
  EXPECT_EQ(Printed(-4503599627370495.0, 9), "-4503599627370495");
}

}  // namespace
}  // namespace zksql
