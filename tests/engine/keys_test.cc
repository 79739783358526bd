// Keyed browses: key order for each key type, ties by record number,
// filter ranges with bounds of every type, prefix bounds, composite keys.
#include <cfloat>

#include "engine_fixture.h"

namespace jxtest {
namespace {

using KeysTest = EngineTest;
using Numbers = std::vector<int32_t>;

TEST_F(KeysTest, IntegerKeyOrderAndFilters) {
  Db db(dir.path());
  ASSERT_EQ(db.MakeFile("I", {{"K", 'L', 0, 2}}), 0) << db.message;
  const int32_t keys[] = {5, -3, 2147483647, 0, 5, -2147483647 - 1, 2};
  for (int32_t k : keys) ASSERT_EQ(db.Write("I", 0, Image(5).I32At(1, k).bytes), 0);
  EXPECT_EQ(db.Browse("I", "K"), (Numbers{6, 2, 4, 7, 1, 5, 3}));  // ties by number

  ASSERT_EQ(db.FilterInt("I", "K", 5, 5), 0);
  EXPECT_EQ(db.Browse("I", "K"), (Numbers{1, 5}));
  ASSERT_EQ(db.FilterInt("I", "K", 0, 5), 0);
  EXPECT_EQ(db.Browse("I", "K"), (Numbers{4, 7, 1, 5}));
  // A real bound on an int key compares by value: 2.5 keeps 2 out, lets 5 in.
  ASSERT_EQ(db.FilterReal("I", "K", 2.5, DBL_MAX), 0);
  EXPECT_EQ(db.Browse("I", "K"), (Numbers{1, 5, 3}));
  ASSERT_EQ(db.FilterReal("I", "K", -DBL_MAX, -0.5), 0);
  EXPECT_EQ(db.Browse("I", "K"), (Numbers{6, 2}));
  // An empty range and a range below every key.
  ASSERT_EQ(db.FilterInt("I", "K", 6, 4), 0);
  EXPECT_TRUE(db.Browse("I", "K").empty());
  // A text bound cannot be compared with a number: the browse is unfiltered.
  EXPECT_NE(db.FilterText("I", "K", "a", "b"), 0);
  EXPECT_EQ(db.Browse("I", "K").size(), 7u);
  ASSERT_EQ(db.FilterInt("I", "K", 2, 2), 0);
  ASSERT_EQ(XZK_DESACTIVEFILTRE(db.handle, "i"), 0);
  EXPECT_EQ(db.Browse("I", "K").size(), 7u);
  // A filter on an item that is not a key, or of an unknown file, is refused.
  EXPECT_EQ(XZK_DESACTIVEFILTRE(db.handle, "NOSUCH"), JX_ERR_UNKNOWN_FILE);
  int32_t lo = 0, hi = 1;
  EXPECT_NE(XZK_FILTRE(db.handle, "I", "K", nullptr, &hi, 4, JX_FILTER_INT32), 0);
  EXPECT_NE(XZK_FILTRE(db.handle, "I", "K", &lo, &hi, 2, JX_FILTER_INT32), 0);
  EXPECT_NE(XZK_FILTRE(db.handle, "I", nullptr, &lo, &hi, 4, JX_FILTER_INT32), 0);
  EXPECT_NE(XZK_FILTRE(77, "I", "K", &lo, &hi, 4, JX_FILTER_INT32), 0);
}

TEST_F(KeysTest, RealAndFloatKeysCompareByValue) {
  Db db(dir.path());
  ASSERT_EQ(db.MakeFile("F", {{"R", 'D', 0, 2}, {"S", 'S', 0, 2}, {"E", 'E', 0, 2}}), 0);
  const double reals[] = {2.5, -1e300, 0.0, -0.0, 3.0, 1e-300};
  for (int i = 0; i < 6; ++i)
    ASSERT_EQ(db.Write("F", 0,
                       Image(15).RealAt(1, reals[i]).FloatAt(9, float(reals[i]) * 0.1f)
                           .I16At(13, int16_t(-i)).bytes),
              0);
  EXPECT_EQ(db.Browse("F", "R"), (Numbers{2, 3, 4, 6, 1, 5}));
  // An int bound on a real key: 3 is 3.0.
  ASSERT_EQ(db.FilterInt("F", "R", 0, 3), 0);
  EXPECT_EQ(db.Browse("F", "R"), (Numbers{3, 4, 6, 1, 5}));
  ASSERT_EQ(db.FilterReal("F", "R", 0.0, 0.0), 0);  // -0 equals 0
  EXPECT_EQ(db.Browse("F", "R"), (Numbers{3, 4}));

  // A float key compares as its 7-digit display: 0.1f is 0.1 exactly.
  Db other(dir.path());
  ASSERT_EQ(other.MakeFile("G", {{"S", 'S', 0, 2}}), 0);
  ASSERT_EQ(other.Write("G", 0, Image(5).FloatAt(1, 0.1f).bytes), 0);
  ASSERT_EQ(other.Write("G", 0, Image(5).FloatAt(1, 0.2f).bytes), 0);
  ASSERT_EQ(other.FilterReal("G", "S", 0.1, 0.1), 0);
  EXPECT_EQ(other.Browse("G", "S"), (Numbers{1}));
  // 16-bit integers by value, negatives first.
  EXPECT_EQ(db.Browse("F", "E"), (Numbers{6, 5, 4, 3, 2, 1}));
}

TEST_F(KeysTest, TextKeysWithAccentsAndPrefixBounds) {
  Db db(dir.path());
  ASSERT_EQ(db.MakeFile("T", {{"NOM", 'T', 10, 2}}), 0);
  // Windows-1252: 0xE9 is e acute, above every unaccented letter.
  const char* names[] = {"ab", "abc  ", "\xE9t\xE9", "AB", "ab\xE9", "b", "", "abz"};
  for (const char* n : names) ASSERT_EQ(db.Write("T", 0, Image(12).TextAt(1, n).bytes), 0);
  EXPECT_EQ(db.Browse("T", "NOM"), (Numbers{7, 4, 1, 2, 8, 5, 6, 3}));

  // Equality as the SQL library sends it: the value, and the value + 0xAD.
  ASSERT_EQ(db.FilterText("T", "NOM", "abc", "abc\xAD"), 0);
  EXPECT_EQ(db.Browse("T", "NOM"), (Numbers{2}));  // trailing blanks do not count
  // LIKE 'ab%': every key beginning with "ab", accented followers included.
  ASSERT_EQ(db.FilterText("T", "NOM", "ab", "ab\xAD"), 0);
  EXPECT_EQ(db.Browse("T", "NOM"), (Numbers{1, 2, 8, 5}));
  // A plain high bound is inclusive and byte-wise.
  ASSERT_EQ(db.FilterText("T", "NOM", "AB", "abz"), 0);
  EXPECT_EQ(db.Browse("T", "NOM"), (Numbers{4, 1, 2, 8}));
  // ">= 'b'" completed with the one-byte high bound 0xAD: everything above.
  ASSERT_EQ(db.FilterText("T", "NOM", "b", "\xAD"), 0);
  EXPECT_EQ(db.Browse("T", "NOM"), (Numbers{6, 3}));
  // A number cannot be compared with a text key: unfiltered.
  EXPECT_NE(db.FilterInt("T", "NOM", 1, 2), 0);
  EXPECT_EQ(db.Browse("T", "NOM").size(), 8u);
}

TEST_F(KeysTest, DateKeysCompareAsEightCharacters) {
  Db db(dir.path());
  ASSERT_EQ(db.MakeFile("D", {{"D6", 'A', 6, 2}, {"D8", 'A', 0, 2}}), 0);
  ASSERT_EQ(db.Write("D", 0, Image(17).TextAt(1, "991231").TextAt(8, "20000101").bytes), 0);
  ASSERT_EQ(db.Write("D", 0, Image(17).TextAt(1, "000101").TextAt(8, "19991231").bytes), 0);
  ASSERT_EQ(db.Write("D", 0, Image(17).TextAt(1, "500615").TextAt(8, "19500615").bytes), 0);
  // Six-character dates are 19yymmdd: 000101 is 1900, before 1950 and 1999.
  EXPECT_EQ(db.Browse("D", "D6"), (Numbers{2, 3, 1}));
  EXPECT_EQ(db.Browse("D", "D8"), (Numbers{3, 2, 1}));
  ASSERT_EQ(db.FilterText("D", "D6", "19500101", "19991231"), 0);
  EXPECT_EQ(db.Browse("D", "D6"), (Numbers{3, 1}));
  ASSERT_EQ(db.FilterText("D", "D8", "19991231", "19991231\xAD"), 0);
  EXPECT_EQ(db.Browse("D", "D8"), (Numbers{2}));
}

TEST_F(KeysTest, NextContinuesAfterTheLastKeyedRead) {
  Db db(dir.path());
  ASSERT_EQ(db.MakeFile("N", {{"K", 'L', 0, 2}, {"J", 'L', 0, 1}}), 0);
  for (int32_t k : {10, 20, 30, 40})
    ASSERT_EQ(db.Write("N", 0, Image(9).I32At(1, k).I32At(5, -k).bytes), 0);
  EXPECT_EQ(db.Read("N", 'P', 0, "K").number, 1);
  EXPECT_EQ(db.Read("N", 'S', 0, "K").number, 2);
  // A write between reads: a new key after the position is met, one
  // before it is not, and a deleted next record is skipped.
  ASSERT_EQ(db.Write("N", 0, Image(9).I32At(1, 25).I32At(5, -25).bytes), 0);
  ASSERT_EQ(db.Write("N", 0, Image(9).I32At(1, 5).I32At(5, -5).bytes), 0);
  EXPECT_EQ(db.Read("N", 'S', 0, "K").number, 5);
  EXPECT_EQ(db.Read("N", 'L', 3).valid, 1);
  ASSERT_EQ(db.Delete("N"), 0);
  ReadResult r = db.Read("N", 'S', 0, "K");
  EXPECT_EQ(r.number, 4);
  EXPECT_EQ(I32(r.bytes.data(), 1), 40);
  EXPECT_EQ(db.Read("N", 'S', 0, "K").end, 1);
  EXPECT_EQ(db.Read("N", 'S', 0, "K").end, 1);
  // A second key of the same file browses in its own order.
  EXPECT_EQ(db.Browse("N", "J"), (Numbers{4, 5, 2, 1, 6}));
}

TEST_F(KeysTest, CompositeKeysOrderByTheirComponents) {
  Db db(dir.path());
  ASSERT_EQ(db.MakeFile("C", {{"A", 'T', 3}, {"B", 'E'}}), 0);
  ASSERT_EQ(db.CreateIndex("C", "AB", "A,B", false), 0) << db.message;
  auto row = [](const char* a, int16_t b) { return Image(7).TextAt(1, a).I16At(5, b).bytes; };
  ASSERT_EQ(db.Write("C", 0, row("b", 1)), 0);
  ASSERT_EQ(db.Write("C", 0, row("a", 2)), 0);
  ASSERT_EQ(db.Write("C", 0, row("a", -1)), 0);
  ASSERT_EQ(db.Write("C", 0, row("ab", 0)), 0);
  EXPECT_EQ(db.Browse("C", "AB"), (Numbers{3, 2, 4, 1}));
  // Bounds cannot be compared with a composite key: unfiltered.
  EXPECT_NE(db.FilterText("C", "AB", "a", "a\xAD"), 0);
  EXPECT_EQ(db.Browse("C", "AB").size(), 4u);
}

}  // namespace
}  // namespace jxtest
