// The output modes on given rows: alignment by character (not byte),
// right alignment of numeric columns, quoting of CSV and JSON, and the
// parsing of the library's column description.
#include "output_format.h"

#include <gtest/gtest.h>

namespace zkshell {
namespace {

std::vector<ResultColumn> TwoColumns() {
  return ParseColumnText("NUM\tN\t3\t4\r\nNOM\tT\t9\t10");
}

TEST(ColumnText, SplitsLinesAndFields) {
  std::vector<ResultColumn> columns = TwoColumns();
  ASSERT_EQ(columns.size(), 2u);
  EXPECT_EQ(columns[0].name, "NUM");
  EXPECT_TRUE(columns[0].numeric);
  EXPECT_EQ(columns[0].hostType, 3);
  EXPECT_EQ(columns[0].width, 4);
  EXPECT_EQ(columns[1].name, "NOM");
  EXPECT_FALSE(columns[1].numeric);
  EXPECT_EQ(columns[1].width, 10);
  EXPECT_TRUE(ParseColumnText("").empty());
  // A line with its name only keeps defaults for the rest.
  std::vector<ResultColumn> bare = ParseColumnText("X");
  ASSERT_EQ(bare.size(), 1u);
  EXPECT_FALSE(bare[0].numeric);
}

TEST(TableMode, FramesAlignsAndCountsCharacters) {
  FormatSettings s;
  s.mode = OutputMode::kTable;
  std::string out = FormatResult(s, TwoColumns(), {{"7", "Éloïse"}, {"1234", "Bo"}});
  EXPECT_EQ(out,
            "+------+--------+\n"
            "| NUM  | NOM    |\n"
            "+------+--------+\n"
            "|    7 | Éloïse |\n"
            "| 1234 | Bo     |\n"
            "+------+--------+\n");
}

TEST(TableMode, EmptyResultTakesDeclaredWidths) {
  FormatSettings s;
  s.mode = OutputMode::kTable;
  EXPECT_EQ(FormatResult(s, TwoColumns(), {}),
            "+------+------------+\n"
            "| NUM  | NOM        |\n"
            "+------+------------+\n");
}

TEST(ListMode, SeparatorAndHeaders) {
  FormatSettings s;
  EXPECT_EQ(FormatResult(s, TwoColumns(), {{"1", "a"}, {"2", "b|c"}}), "1|a\n2|b|c\n");
  s.headers = true;
  s.separator = " ; ";
  EXPECT_EQ(FormatResult(s, TwoColumns(), {{"1", "a"}}), "NUM ; NOM\n1 ; a\n");
  // No rows: no header line either.
  EXPECT_EQ(FormatResult(s, TwoColumns(), {}), "");
}

TEST(CsvMode, QuotesOnlyWhatNeedsIt) {
  FormatSettings s;
  s.mode = OutputMode::kCsv;
  s.headers = true;
  EXPECT_EQ(FormatResult(s, TwoColumns(), {{"1", "plain"}, {"2", "a,b"}, {"3", "say \"hi\""},
                                           {"4", "two\nlines"}}),
            "NUM,NOM\r\n1,plain\r\n2,\"a,b\"\r\n3,\"say \"\"hi\"\"\"\r\n4,\"two\nlines\"\r\n");
}

TEST(TabsMode, JoinsWithTabs) {
  FormatSettings s;
  s.mode = OutputMode::kTabs;
  s.headers = true;
  EXPECT_EQ(FormatResult(s, TwoColumns(), {{"1", "a b"}}), "NUM\tNOM\n1\ta b\n");
}

TEST(LineMode, NamesAlignedRightAndRowsApart) {
  FormatSettings s;
  s.mode = OutputMode::kLine;
  std::vector<ResultColumn> columns = ParseColumnText("ID\tN\t3\t4\r\nVILLE\tT\t9\t20");
  EXPECT_EQ(FormatResult(s, columns, {{"1", "Lyon"}, {"2", "Nîmes"}}),
            "   ID = 1\nVILLE = Lyon\n\n   ID = 2\nVILLE = Nîmes\n");
}

TEST(JsonMode, NumbersBareTextsEscaped) {
  FormatSettings s;
  s.mode = OutputMode::kJson;
  EXPECT_EQ(FormatResult(s, TwoColumns(), {{"-1.5", "a\"b\\c\n"}, {"", "\x01"}}),
            "[{\"NUM\":-1.5,\"NOM\":\"a\\\"b\\\\c\\n\"},\n"
            "{\"NUM\":\"\",\"NOM\":\"\\u0001\"}]\n");
  EXPECT_EQ(FormatResult(s, TwoColumns(), {}), "");
}

TEST(Modes, NamesRoundTrip) {
  for (const char* name : {"table", "list", "csv", "tabs", "line", "json"}) {
    OutputMode mode;
    ASSERT_TRUE(ParseOutputMode(name, &mode)) << name;
    EXPECT_STREQ(OutputModeName(mode), name);
  }
  OutputMode mode;
  EXPECT_FALSE(ParseOutputMode("column", &mode));
}

}  // namespace
}  // namespace zkshell
