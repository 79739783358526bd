// Statement splitting: ";" inside string literals of either quote, doubled
// quotes, statements over several lines with their first line kept,
// several statements on one line, comments, and what the end of input
// leaves; the history entry a statement typed over several lines makes.
#include "input_reader.h"

#include <gtest/gtest.h>

#include <vector>

namespace zkshell {
namespace {

std::vector<Statement> Split(const std::vector<std::string>& lines) {
  StatementSplitter splitter;
  std::vector<Statement> out;
  int n = 0;
  for (const std::string& line : lines) {
    splitter.AddLine(line, ++n);
    Statement s;
    while (splitter.Next(&s)) out.push_back(s);
  }
  return out;
}

TEST(Splitter, SemicolonsInsideLiteralsDoNotEnd) {
  std::vector<Statement> s = Split({"INSERT INTO T VALUES ('a;b', \"c;\"\"d\");"});
  ASSERT_EQ(s.size(), 1u);
  EXPECT_EQ(s[0].text, "INSERT INTO T VALUES ('a;b', \"c;\"\"d\")");
  s = Split({"SELECT 'it''s;' FROM T; SELECT 2 FROM U;"});
  ASSERT_EQ(s.size(), 2u);
  EXPECT_EQ(s[0].text, "SELECT 'it''s;' FROM T");
  EXPECT_EQ(s[1].text, "SELECT 2 FROM U");
}

TEST(Splitter, StatementsSpanLinesAndKeepTheirFirstLine) {
  std::vector<Statement> s =
      Split({"", "SELECT A", "  FROM T", "WHERE A = 'x", "y';", "SELECT B FROM U;"});
  ASSERT_EQ(s.size(), 2u);
  EXPECT_EQ(s[0].text, "SELECT A\n  FROM T\nWHERE A = 'x\ny'");
  EXPECT_EQ(s[0].line, 2);
  EXPECT_EQ(s[1].line, 6);
}

TEST(Splitter, PendingUntilTheSemicolon) {
  StatementSplitter splitter;
  EXPECT_FALSE(splitter.Pending());
  splitter.AddLine("   ", 1);
  EXPECT_FALSE(splitter.Pending());
  splitter.AddLine("SELECT A", 2);
  EXPECT_TRUE(splitter.Pending());
  Statement s;
  EXPECT_FALSE(splitter.Next(&s));
  splitter.AddLine("FROM T;", 3);
  EXPECT_FALSE(splitter.Pending());
  ASSERT_TRUE(splitter.Next(&s));
  // An open literal keeps the statement pending across lines.
  splitter.AddLine("SELECT 'a", 4);
  splitter.AddLine(";", 5);
  EXPECT_TRUE(splitter.Pending());
  Statement rest = splitter.TakePending();
  EXPECT_EQ(rest.text, "SELECT 'a\n;");
  EXPECT_EQ(rest.line, 4);
  EXPECT_FALSE(splitter.Pending());
}

TEST(Splitter, CommentsAndEmptyStatementsVanish) {
  std::vector<Statement> s = Split({"-- a comment; not a statement", "SELECT A -- trailing; too",
                                    "FROM T;;  ;", "SELECT '--' FROM T;"});
  ASSERT_EQ(s.size(), 2u);
  EXPECT_EQ(s[0].text, "SELECT A\nFROM T");
  EXPECT_EQ(s[0].line, 2);
  EXPECT_EQ(s[1].text, "SELECT '--' FROM T");
}

TEST(DotCommands, RecognisedByTheirFirstCharacter) {
  EXPECT_TRUE(IsDotCommand(".mode csv"));
  EXPECT_TRUE(IsDotCommand("   .tables"));
  EXPECT_FALSE(IsDotCommand("SELECT .5 FROM T"));
  EXPECT_FALSE(IsDotCommand(""));
}

// A statement typed over several lines comes back from the history as one
// line that runs the same statement again.
TEST(HistoryEntry, JoinsTheLinesOfAStatement) {
  struct Case {
    std::vector<std::string> lines;
    std::string entry;
  } cases[] = {
      {{"SELECT A, B", "FROM T;"}, "SELECT A, B FROM T;"},
      {{"SELECT A", "    FROM T   ", "", "WHERE A > 1;"}, "SELECT A FROM T WHERE A > 1;"},
      // A comment would swallow the lines joined after it.
      {{"SELECT A -- the key", "-- a whole line", "FROM T;"}, "SELECT A FROM T;"},
      {{"SELECT '--' FROM T", "WHERE A = 1;"}, "SELECT '--' FROM T WHERE A = 1;"},
      // A line break inside a literal is part of the value, blanks included.
      {{"INSERT INTO T VALUES ('a", "  b', \"c", "d\");"},
       "INSERT INTO T VALUES ('a\n  b', \"c\nd\");"},
      {{"SELECT 'it''s'", "FROM T;"}, "SELECT 'it''s' FROM T;"},
      {{"   "}, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(HistoryEntry(c.lines), c.entry) << c.lines.front();
}

}  // namespace
}  // namespace zkshell
