// RowBinding look-ups: a reference finds a value only when it spells
// TABLE/COLUMN exactly, without a text being built for the comparison.
#include "values/row_binding.h"

#include <gtest/gtest.h>

namespace zksql {
namespace {

struct FindCase {
  const char* reference;
  int expected;  // index of the bound value found, -1 for none
};

TEST(RowBindingTest, FindsOnlyTheExactTableAndColumn) {
  char a[] = "a", ab[] = "ab", t2[] = "t2", first[] = "first", second[] = "second", none[] = "";
  RowBinding binding;
  // Values told apart by their length.
  ASSERT_TRUE(binding.Bind("T", "A", TypedValue{kValueText, 1, a}));
  ASSERT_TRUE(binding.Bind("T", "AB", TypedValue{kValueText, 2, ab}));
  ASSERT_TRUE(binding.Bind("T2", "A", TypedValue{kValueText, 3, t2}));
  ASSERT_TRUE(binding.Bind("D", "X", TypedValue{kValueText, 4, first}));
  ASSERT_TRUE(binding.Bind("D", "X", TypedValue{kValueText, 5, second}));
  ASSERT_TRUE(binding.Bind("N", nullptr, TypedValue{kValueText, 6, none}));
  const FindCase cases[] = {
      {"T/A", 1}, {"T/AB", 2},  {"T2/A", 3},  {"D/X", 4},  // the first bound wins
      {"N/", 6},  {"T/", -1},   {"T/A ", -1}, {"T", -1},  {"T2", -1},
      {"/A", -1}, {"TT/A", -1}, {"t/a", -1},  {"", -1},
  };
  for (const FindCase& c : cases) {
    const TypedValue* v = binding.Find(c.reference);
    if (c.expected < 0) {
      EXPECT_EQ(v, nullptr) << c.reference;
    } else {
      ASSERT_NE(v, nullptr) << c.reference;
      EXPECT_EQ(v->length, c.expected) << c.reference;
    }
  }
  EXPECT_EQ(binding.Find(nullptr), nullptr);
  binding.Clear();
  EXPECT_EQ(binding.size(), 0u);
  EXPECT_EQ(binding.Find("T/A"), nullptr);
}

}  // namespace
}  // namespace zksql
