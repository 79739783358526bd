// Date escape clause rewriting: the four dialects, what is left alone, the
// unclosed brace, the in-place bounds and memory shortage.
#include "api/escape_rewriter.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace zksql {
namespace {

struct FreeText {
  void operator()(char* text) const { free(text); }
};
using Text = std::unique_ptr<char, FreeText>;

// The rewritten text, or "<null>" when Rewrite hands back nothing.
std::string Rewritten(int32_t dialect, const char* text) {
  EscapeRewriter rewriter(dialect);
  Text result(rewriter.Rewrite(text));
  return result ? std::string(result.get()) : std::string("<null>");
}

struct RewriteCase {
  int32_t dialect;
  const char* input;
  const char* expected;
};

class EscapeRewriteTest : public ::testing::TestWithParam<RewriteCase> {};

TEST_P(EscapeRewriteTest, RewritesDateClauses) {
  const RewriteCase& c = GetParam();
  EXPECT_EQ(Rewritten(c.dialect, c.input), c.expected) << c.input;
}

INSTANTIATE_TEST_SUITE_P(
    EscapeDialects, EscapeRewriteTest,
    ::testing::Values(
        RewriteCase{3, "SELECT * FROM T WHERE D = {d '2021-03-04'}",
                    "SELECT * FROM T WHERE D = '20210304'"},
        RewriteCase{1, "SELECT * FROM T WHERE D = {d '2021-03-04'}",
                    "SELECT * FROM T WHERE D = TO_DATE('20210304','YYYYMMDD')"},
        RewriteCase{2, "D = {d '2021-03-04'}", "D = CONVERT(datetime,'2021/03/04')"},
        RewriteCase{4, "D = {d '2021-03-04'}", "D = '2021-03-04'"},
        RewriteCase{3, "D = {D '2021-03-04'}", "D = '20210304'"},
        // Six digits without dashes: year 21, padded by dialect 3, short
        // form of dialect 1 for a year below 100.
        RewriteCase{3, "D = {d '210304'}", "D = '00210304'"},
        RewriteCase{1, "D = {d '210304'}", "D = TO_DATE('210304','YYMMDD')"},
        RewriteCase{1, "D = {d '0100-01-02'}", "D = TO_DATE('01000102','YYYYMMDD')"},
        // Both clauses of one statement; the text after the last one kept.
        RewriteCase{3, "A = {d '2020-01-02'} OR B = {d '1999-12-31'} ;",
                    "A = '20200102' OR B = '19991231' ;"},
        // Separators: tabs, line breaks, commas; no quotes at all.
        RewriteCase{3, "{\td,\r\n'2021-03-04'}", "'20210304'"},
        RewriteCase{3, "{d 2021-03-04}", "'20210304'"},
        // A date clause after one that is left alone.
        RewriteCase{3, "{fn UCASE(A)} = {d '2021-03-04'}", "{fn UCASE(A)} = '20210304'"},
        // The date ends at the "}" even when its quote is not closed.
        RewriteCase{3, "{d '2021-03-04}", "'20210304'"},
        // Non-digits end a number; a year of many digits is held at the
        // largest number instead of overflowing.
        RewriteCase{3, "{d 'x-ab-cd'}", "'00000000'"},
        RewriteCase{3, "{d '20x1-0a-04'}", "'00200004'"},
        RewriteCase{3, "{d '999999999999999999999-01-02'}", "'21474836470102'"}));

class EscapeLeftAloneTest : public ::testing::TestWithParam<const char*> {};

TEST_P(EscapeLeftAloneTest, NothingIsReplaced) {
  for (int32_t dialect = 1; dialect <= 4; ++dialect) {
    EXPECT_EQ(Rewritten(dialect, GetParam()), "<null>") << GetParam() << " dialect " << dialect;
  }
}

INSTANTIATE_TEST_SUITE_P(
    EscapeClauses, EscapeLeftAloneTest,
    ::testing::Values("SELECT A FROM T", "", "{fn UCASE(A)}", "{t '12:00:00'}",
                      "{ts '2021-03-04 12:00:00'}", "{}", "{   }", "{d}", "{d '12345'}",
                      "{dd '2021-03-04'}", "{d'2021-03-04'}",
                      // A "{" without a "}" after it discards the earlier
                      // replacement too; also at the very end of the text.
                      "A = {d '2021-03-04'} AND B = {d '2021-03-05'", "{d '2021-03-04'} {",
                      "{", "}{"));

TEST(EscapeRewriterTest, LeavesTheInputUntouchedAndRefusesNull) {
  const char original[] = "X = {d '2021-03-04'}";
  char text[sizeof original];
  memcpy(text, original, sizeof original);
  EscapeRewriter rewriter(3);
  Text result(rewriter.Rewrite(text));
  ASSERT_TRUE(result);
  EXPECT_STREQ(text, original);
  EXPECT_EQ(rewriter.Rewrite(nullptr), nullptr);
}

TEST(EscapeRewriterTest, UnknownDialectReplacesNothing) {
  EXPECT_EQ(Rewritten(0, "{d '2021-03-04'}"), "<null>");
  EXPECT_EQ(Rewritten(5, "{d '2021-03-04'}"), "<null>");
}

// Fails every allocation from the n-th on: the rewriter must hand back
// nothing and leak nothing (the sanitizer build checks the leaks).
class ShortOfMemory : public EscapeRewriter {
 public:
  explicit ShortOfMemory(int allowed) : EscapeRewriter(3), allowed_(allowed) {}
  char* AllocateText(size_t bytes) override {
    if (allowed_-- <= 0) return nullptr;
    return EscapeRewriter::AllocateText(bytes);
  }

 private:
  int allowed_;
};

TEST(EscapeRewriterTest, MemoryShortageAtAnyPointGivesNothingAndLeaksNothing) {
  const char text[] = "{d '2021-03-04'} {fn X} {d '2021-03-05'}";
  // Each clause needs a clause copy, a literal and a new whole text.
  for (int allowed = 0; allowed < 8; ++allowed) {
    ShortOfMemory rewriter(allowed);
    Text result(rewriter.Rewrite(text));
    if (result) {
      EXPECT_STREQ(result.get(), "'20210304' {fn X} '20210305'") << allowed;
    }
    // Nothing handed back is told apart from nothing to rewrite, so that
    // the request path fails the statement instead of parsing braces.
    EXPECT_EQ(rewriter.ranOutOfMemory(), !result) << allowed;
  }
  ShortOfMemory plenty(100);
  Text result(plenty.Rewrite(text));
  ASSERT_TRUE(result);
  EXPECT_FALSE(plenty.ranOutOfMemory());
  // An unclosed brace or a text without clauses is no shortage either.
  EXPECT_EQ(plenty.Rewrite("{d '2021-03-04'} {"), nullptr);
  EXPECT_FALSE(plenty.ranOutOfMemory());
  std::vector<char> inPlace(text, text + sizeof text);
  ShortOfMemory none(0);
  EXPECT_EQ(none.RewriteInPlace(inPlace.data(), inPlace.size()), 0);
  EXPECT_TRUE(none.ranOutOfMemory());
  EXPECT_STREQ(inPlace.data(), text);
}

TEST(EscapeRewriterTest, InPlaceRewriteNeverPassesTheBuffer) {
  const char original[] = "D = {d '2021-03-04'}";
  const std::string longer = "D = TO_DATE('20210304','YYYYMMDD')";
  EscapeRewriter rewriter(1);
  // Exactly the room the longer text needs: written.
  std::vector<char> fits(longer.size() + 1, '#');
  memcpy(fits.data(), original, sizeof original);
  EXPECT_EQ(rewriter.RewriteInPlace(fits.data(), fits.size()), 1);
  EXPECT_EQ(std::string(fits.data()), longer);
  // One byte short: refused, text unchanged, nothing written past.
  std::vector<char> tight(longer.size(), '#');
  memcpy(tight.data(), original, sizeof original);
  EXPECT_EQ(rewriter.RewriteInPlace(tight.data(), tight.size()), -1);
  EXPECT_STREQ(tight.data(), original);
  EXPECT_EQ(tight.back(), '#');
  // Nothing to rewrite.
  char plain[] = "SELECT 1";
  EXPECT_EQ(rewriter.RewriteInPlace(plain, sizeof plain), 0);
}

TEST(EscapeRewriterTest, RequestPathRewritesInABufferOfTheTextsOwnSize) {
  const char original[] = "SELECT * FROM T WHERE D = {d '2021-03-04'} OR E = {D '210304'}";
  // A heap buffer of exactly the text's size: the sanitizer build catches
  // any byte written past it.
  std::unique_ptr<char[]> text(new char[sizeof original]);
  memcpy(text.get(), original, sizeof original);
  EXPECT_TRUE(RewriteEscapesInPlace(text.get()));
  EXPECT_STREQ(text.get(), "SELECT * FROM T WHERE D = '20210304' OR E = '00210304'");
  char unchanged[] = "{fn UCASE(A)}";
  EXPECT_FALSE(RewriteEscapesInPlace(unchanged));
  EXPECT_STREQ(unchanged, "{fn UCASE(A)}");
  EXPECT_FALSE(RewriteEscapesInPlace(nullptr));
}

TEST(EscapeRewriterTest, DialectThreeNeverLengthensRandomStatements) {
  // Texts assembled from the pieces of date clauses: whatever dialect 3
  // makes of them is never longer than the original, so the request path
  // may rewrite a caller's buffer of unknown size.
  const char* pieces[] = {"{", "}", "d", "D", " ", "'", "-", ",", "\t", "0", "1", "9",
                          "99", "2021", "12", "x", "fn", "{d '", "'}", "123456"};
  std::mt19937 random(12345);
  std::uniform_int_distribution<size_t> pick(0, sizeof pieces / sizeof pieces[0] - 1);
  std::uniform_int_distribution<int> count(1, 30);
  int rewritten = 0;
  for (int round = 0; round < 5000; ++round) {
    std::string text;
    for (int n = count(random); n > 0; --n) text += pieces[pick(random)];
    std::unique_ptr<char[]> buffer(new char[text.size() + 1]);
    memcpy(buffer.get(), text.c_str(), text.size() + 1);
    if (RewriteEscapesInPlace(buffer.get())) {
      ++rewritten;
      EXPECT_LE(strlen(buffer.get()), text.size()) << text;
    } else {
      EXPECT_EQ(std::string(buffer.get()), text);
    }
  }
  EXPECT_GT(rewritten, 50);  // the pieces do make date clauses
}

}  // namespace
}  // namespace zksql
