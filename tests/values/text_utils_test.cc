#include "values/text_utils.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace zksql {
namespace {

struct LikeCase {
  const char* text;
  const char* pattern;
  int16_t matches;
};

class LikeTest : public ::testing::TestWithParam<LikeCase> {};

TEST_P(LikeTest, Matches) {
  const LikeCase& c = GetParam();
  EXPECT_EQ(Like(c.text, c.pattern), c.matches) << c.text << " LIKE " << c.pattern;
}

INSTANTIATE_TEST_SUITE_P(
    Patterns, LikeTest,
    ::testing::Values(LikeCase{"ABCDEF", "%CD%", 1}, LikeCase{"ABCDEF", "AB%", 1},
                      LikeCase{"ABCDEF", "%EF", 1}, LikeCase{"ABCDEF", "A_C%", 1},
                      LikeCase{"ABC", "A_C", 1}, LikeCase{"ABCDEF", "%XY%", 0},
                      LikeCase{"ABC", "AB", 0},
                      // An inner "%" only matches itself.
                      LikeCase{"A%B", "A%B", 1}, LikeCase{"AXB", "A%B", 0},
                      LikeCase{"anything", "%", 1}, LikeCase{"anything", "%%", 1},
                      LikeCase{"", "%", 1}, LikeCase{"", "%%", 1}, LikeCase{"", "", 1},
                      LikeCase{"abc", "ABC", 0},
                      // Core longer than the text, at either end.
                      LikeCase{"AB", "%ABC%", 0}, LikeCase{"AB", "%ABC", 0},
                      LikeCase{"AB", "ABC%", 0}, LikeCase{"ABC", "%_C", 1},
                      LikeCase{"\xE9t\xE9", "_t_", 1}));

TEST(LikeTest, NullArgumentsNeverMatch) {
  EXPECT_EQ(Like(nullptr, "%"), 0);
  EXPECT_EQ(Like("A", nullptr), 0);
}

TEST(ReplaceAllTest, StopsAtTheFirstReplacementThatWouldNotFit) {
  char buffer[8] = "AAAA";
  EXPECT_EQ(ReplaceAll(buffer, "A", "BB", sizeof buffer), 3);
  EXPECT_STREQ(buffer, "BBBBBBA");
}

TEST(ReplaceAllTest, DoesNotRescanReplacementsAndIgnoresEmptyFind) {
  char buffer[32] = "ABAB";
  EXPECT_EQ(ReplaceAll(buffer, "A", "AA", sizeof buffer), 2);
  EXPECT_STREQ(buffer, "AABAAB");
  EXPECT_EQ(ReplaceAll(buffer, "", "X", sizeof buffer), 0);
  char shrink[16] = "a--b--c";
  EXPECT_EQ(ReplaceAll(shrink, "--", "", sizeof shrink), 2);
  EXPECT_STREQ(shrink, "abc");
}

TEST(ReplaceAllTest, GeneralFormAsksBeforeEachReplacement) {
  char buffer[32] = "x.x.x";
  // Accept only occurrences after position 0.
  auto accept = [](void* user, const char*, int32_t position) {
    ++*static_cast<int*>(user);
    return position > 0;
  };
  int asked = 0;
  EXPECT_EQ(ReplaceAll(buffer, "x", "yy", sizeof buffer, nullptr, accept, &asked), 2);
  EXPECT_STREQ(buffer, "x.yy.yy");
  EXPECT_EQ(asked, 3);
  char upper[16] = "aXa";
  auto nocase = [](const char* a, const char* b, size_t n) {
    return std::string(a, n) == std::string(b, n) || (n == 1 && (a[0] | 0x20) == (b[0] | 0x20))
               ? 0
               : 1;
  };
  EXPECT_EQ(ReplaceAll(upper, "x", "-", sizeof upper, nocase, nullptr, nullptr), 1);
  EXPECT_STREQ(upper, "a-a");
}

TEST(FieldOfTest, SplitsWithAndWithoutMerge) {
  char out[16];
  EXPECT_EQ(FieldOf(2, "T.COL", ".", out, sizeof out, false), 3);
  EXPECT_STREQ(out, "COL");
  EXPECT_EQ(FieldOf(3, "T.COL", ".", out, sizeof out, false), -1);
  EXPECT_STREQ(out, "");
  EXPECT_EQ(FieldOf(1, ".X", ".", out, sizeof out, false), 0);
  EXPECT_STREQ(out, "");
  EXPECT_EQ(FieldOf(1, ".X", ".", out, sizeof out, true), 1);
  EXPECT_STREQ(out, "X");
  EXPECT_EQ(FieldOf(2, "A..B", ".", out, sizeof out, false), 0);
  EXPECT_EQ(FieldOf(2, "A..B", ".", out, sizeof out, true), 1);
  EXPECT_STREQ(out, "B");
}

TEST(FieldOfTest, CutsToTheOutputBuffer) {
  char out[4];
  EXPECT_EQ(FieldOf(1, "ABCDEFG/H", "/", out, sizeof out, false), 3);
  EXPECT_STREQ(out, "ABC");
}

TEST(TextRoutinesTest, BoundedCopyReportsWhetherTheSourceFitted) {
  char out[4];
  EXPECT_TRUE(BoundedCopy(out, "ABC", sizeof out));
  EXPECT_STREQ(out, "ABC");
  EXPECT_FALSE(BoundedCopy(out, "ABCD", sizeof out));
  EXPECT_STREQ(out, "ABC");
  EXPECT_FALSE(BoundedCopy(out, "X", 0));
}

TEST(TextRoutinesTest, DuplicateTextTakesAPrefixOrTheWhole) {
  char* a = DuplicateText("ABCDEF", 3);
  char* b = DuplicateText("ABC", 0);
  char* c = DuplicateText("ABC", 10);
  EXPECT_STREQ(a, "ABC");
  EXPECT_STREQ(b, "ABC");
  EXPECT_STREQ(c, "ABC");
  EXPECT_EQ(DuplicateText(nullptr, 2), nullptr);
  free(a);
  free(b);
  free(c);
}

TEST(TextRoutinesTest, HexInPlaceWritesTwoDigitsPerByte) {
  char buffer[9] = {'\x01', '\xAB', '\x02', '\xCD'};
  HexInPlace(buffer, 4);
  EXPECT_STREQ(buffer, "01AB02CD");
  char half[5] = {'\x01', '\xAB', '\x02', '\xCD'};
  HexInPlace(half, 2);
  EXPECT_STREQ(half, "01AB");
}

TEST(TextRoutinesTest, SmallEdits) {
  char text[] = "a-b--c";
  RemoveChar(text, '-');
  EXPECT_STREQ(text, "abc");
  char blanks[] = "AB  ";
  TrimRight(blanks);
  EXPECT_STREQ(blanks, "AB");
  char mixed[] = "ab\xE9Z";
  UpperCase(mixed);
  EXPECT_STREQ(mixed, "AB\xE9Z");
  EXPECT_EQ(CompareNoCase("clients", "CLIENTS"), 0);
  EXPECT_LT(CompareNoCase("A", "B"), 0);
}

}  // namespace
}  // namespace zksql
