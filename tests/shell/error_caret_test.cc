// The caret under a statement's error position: which line is shown, where
// the caret goes (blanks skipped, past the end, after tabs), long lines cut
// around it, and the position read from the library's message.
#include "error_caret.h"

#include <gtest/gtest.h>

namespace zkshell {
namespace {

TEST(ErrorCaret, PointsAtTheItemOnItsLine) {
  struct Case {
    const char* statement;  // Windows-1252
    int position;
    const char* expected;
  };
  const Case cases[] = {
      // The library counts from the blank before the item.
      {"SELECT A FRM T", 9, "  SELECT A FRM T\n           ^\n"},
      {"CREATE FOO", 7, "  CREATE FOO\n         ^\n"},
      // Past the end (the library's own ";"), and blanks to the end.
      {"CREATE TABLE T (A INTEGER", 26,
       "  CREATE TABLE T (A INTEGER\n                           ^\n"},
      {"SELECT A  \n  ", 9, "  SELECT A  \n          ^\n"},
      // A later line of a statement is shown alone.
      {"SELECT A\n  FROM T\n  WHER A = 1", 18, "    WHER A = 1\n    ^\n"},
      {"SELECT A\r\n FRM T", 9, "   FRM T\n   ^\n"},
      // Tabs stay tabs under the line; Windows-1252 letters count one.
      {"\tSELECT\tA FRM T", 11, "  \tSELECT\tA FRM T\n  \t      \t  ^\n"},
      {"SELECT \xC9T\xC9 FRM T", 11, "  SELECT \xC3\x89T\xC3\x89 FRM T\n             ^\n"},
      {"SELECT A", 0, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CaretLines(c.statement, c.position), c.expected) << c.statement;
  }
}

TEST(ErrorCaret, ALongLineIsShownAroundTheCaret) {
  std::string statement =
      "SELECT " + std::string(200, 'A') + " FRM T" + std::string(200, ' ') + "X";
  std::string lines = CaretLines(statement, 208);
  std::string first = lines.substr(0, lines.find('\n'));
  EXPECT_EQ(first, "  ..." + std::string(59, 'A') + " FRM T" + std::string(55, ' ') + "...");
  EXPECT_EQ(lines.substr(first.size() + 1), "  " + std::string(63, ' ') + "^\n");
}

TEST(ErrorCaret, ReadsThePositionOfAMessage) {
  EXPECT_EQ(MessagePosition("  'FROM' attendu\n\n Item : 'FRM'\n Position : 9"), 9);
  EXPECT_EQ(MessagePosition("x\r\n Position : 222\r\n"), 222);
  EXPECT_EQ(MessagePosition(" Table 'T' inexistante"), -1);
  EXPECT_EQ(MessagePosition(" Position : x"), -1);
  EXPECT_EQ(MessagePosition(" Position : 12abc"), -1);
}

}  // namespace
}  // namespace zkshell
