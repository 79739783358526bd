// The column list of .create: every type with its engine letter, lengths,
// and the mistakes a user makes, each refused with a reason.
#include "table_definition.h"

#include <gtest/gtest.h>

namespace zkshell {
namespace {

std::string Letters(const TableDefinition& table) {
  std::string out;
  for (const ColumnDefinition& c : table.columns) {
    out += c.name + ":" + c.letter + (c.size > 0 ? std::to_string(c.size) : "") + " ";
  }
  return out;
}

TEST(TableDefinition, EveryTypeAndItsLetter) {
  TableDefinition table;
  std::string error;
  ASSERT_TRUE(ParseTableDefinition(
      "docs (a integer, b BIGINT, c SmallInt, d tinyint, e real, f double precision, g double, "
      "h char(20), i VARCHAR ( 5 ), j date, k time, l memo, m binary memo)",
      &table, &error))
      << error;
  EXPECT_EQ(table.name, "DOCS");
  EXPECT_EQ(Letters(table), "A:L B:L C:E D:C E:S F:D G:D H:T20 I:T5 J:A K:H L:M M:G ");
}

TEST(TableDefinition, MistakesAreRefusedWithAReason) {
  struct Case {
    const char* text;
    const char* reason;
  };
  const Case cases[] = {
      {"", "a table name"},
      {"1DOCS (A INTEGER)", "a table name"},
      {"DOCS A INTEGER", "\"(\" must follow"},
      {"DOCS ()", "a column name"},
      {"DOCS (A NUMBER)", "unknown type \"NUMBER\""},
      {"DOCS (A BINARY)", "unknown type \"BINARY\""},
      {"DOCS (A CHAR)", "CHAR needs a length"},
      {"DOCS (A CHAR(0))", "out of range"},
      {"DOCS (A CHAR(40000))", "out of range"},
      {"DOCS (A CHAR(12345678901))", "out of range"},
      {"DOCS (A INTEGER B MEMO)", "\",\" or \")\" expected"},
      {"DOCS (A INTEGER, a MEMO)", "already defined"},
      {"DOCS (A INTEGER", "\",\" or \")\" expected"},
      {"DOCS (A INTEGER) x", "nothing may follow"},
      {"DOCS (\xC3\xA9T\xC3\xA9 DATE)", "a column name"},
      {"DOCS (ABCDEFGHIJABCDEFGHIJABCDEFGHIJK INTEGER)", "a column name"},
  };
  for (const Case& c : cases) {
    TableDefinition table;
    std::string error;
    EXPECT_FALSE(ParseTableDefinition(c.text, &table, &error)) << c.text;
    EXPECT_NE(error.find(c.reason), std::string::npos) << c.text << " -> " << error;
  }
}

}  // namespace
}  // namespace zkshell
