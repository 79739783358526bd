// The output modes on given rows: alignment by character (not byte),
// right alignment of numeric columns, quoting of CSV and JSON, and the
// parsing of the library's column description. The formatter, fed row by
// row in Windows-1252, is checked against the whole-result formatter the
// shell had before, on UTF-8 rows, in every mode.
#include "output_format.h"

#include <gtest/gtest.h>

#include <random>

#include "charset.h"

namespace zkshell {
namespace {

using Row = std::vector<std::string>;

// Runs rows (Windows-1252) through the formatter; *pieces counts the
// writes.
std::string FormatCp1252(const FormatSettings& s, const std::vector<ResultColumn>& columns,
                         const std::vector<Row>& rows, int* pieces = nullptr) {
  std::string out;
  ResultFormatter formatter(s, columns, [&](const char* data, size_t size) {
    out.append(data, size);
    if (pieces != nullptr) ++*pieces;
  });
  for (const Row& row : rows) {
    std::vector<std::string_view> fields(row.begin(), row.end());
    formatter.AddRow(fields.data(), fields.size());
  }
  formatter.Finish();
  return out;
}

// The same with rows written in UTF-8 here, as the library would give them.
std::string FormatResult(const FormatSettings& s, const std::vector<ResultColumn>& columns,
                         const std::vector<Row>& rows) {
  std::vector<Row> cp1252;
  for (const Row& row : rows) {
    cp1252.emplace_back();
    for (const std::string& v : row) {
      std::string field, error;
      EXPECT_TRUE(zkhost::Utf8ToCp1252(v, &field, &error)) << error;
      cp1252.back().push_back(field);
    }
  }
  return FormatCp1252(s, columns, cp1252);
}

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

// The framed modes drawn whole: frames, alignment, escapes, values over
// several lines and results without rows.
TEST(FramedModes, DrawTheirFrames) {
  struct Case {
    OutputMode mode;
    std::vector<Row> rows;
    const char* expected;
  };
  const Case cases[] = {
      {OutputMode::kBox,
       {{"7", "Éloïse"}, {"1234", "Bo"}},
       "┌──────┬────────┐\n"
       "│ NUM  │ NOM    │\n"
       "├──────┼────────┤\n"
       "│    7 │ Éloïse │\n"
       "│ 1234 │ Bo     │\n"
       "└──────┴────────┘\n"},
      {OutputMode::kMarkdown,
       {{"7", "a|b"}, {"1234", "un\r\ndeux"}},
       "| NUM  | NOM        |\n"
       "|-----:|------------|\n"
       "|    7 | a\\|b       |\n"
       "| 1234 | un<br>deux |\n"},
      // Line breaks of every kind start a new line inside the cell; the
      // other cells of the row go on blank.
      {OutputMode::kTable,
       {{"1", "un\ndeux\r\ntrois\rquatre"}, {"22", "x"}},
       "+-----+--------+\n"
       "| NUM | NOM    |\n"
       "+-----+--------+\n"
       "|   1 | un     |\n"
       "|     | deux   |\n"
       "|     | trois  |\n"
       "|     | quatre |\n"
       "|  22 | x      |\n"
       "+-----+--------+\n"},
      {OutputMode::kBox,
       {{"1\n2", "fin\n"}},
       "┌─────┬─────┐\n"
       "│ NUM │ NOM │\n"
       "├─────┼─────┤\n"
       "│   1 │ fin │\n"
       "│   2 │     │\n"
       "└─────┴─────┘\n"},
      // Without rows the declared widths shape the frame, and it closes.
      {OutputMode::kTable,
       {},
       "+------+------------+\n"
       "| NUM  | NOM        |\n"
       "+------+------------+\n"
       "+------+------------+\n"},
      {OutputMode::kBox,
       {},
       "┌──────┬────────────┐\n"
       "│ NUM  │ NOM        │\n"
       "├──────┼────────────┤\n"
       "└──────┴────────────┘\n"},
      {OutputMode::kMarkdown,
       {},
       "| NUM  | NOM        |\n"
       "|-----:|------------|\n"},
  };
  for (const Case& c : cases) {
    FormatSettings s;
    s.mode = c.mode;
    EXPECT_EQ(FormatResult(s, TwoColumns(), c.rows), c.expected) << OutputModeName(c.mode);
  }
}

TEST(Separator, BackslashEscapes) {
  const std::pair<const char*, const char*> cases[] = {
      {"\\t", "\t"},  {"\\n", "\n"},  {"\\r\\n", "\r\n"}, {"\\\\", "\\"},
      {" ; ", " ; "}, {"\\x", "\\x"}, {"a\\", "a\\"},     {"\\\\t", "\\t"},
  };
  for (const auto& [given, meant] : cases) EXPECT_EQ(UnescapeSeparator(given), meant) << given;
}

TEST(ListMode, SeparatorAndHeaders) {
  FormatSettings s;
  EXPECT_EQ(FormatResult(s, TwoColumns(), {{"1", "a"}, {"2", "b|c"}}), "1|a\n2|b|c\n");
  s.headers = true;
  s.separator = " ; ";
  EXPECT_EQ(FormatResult(s, TwoColumns(), {{"1", "a"}}), "NUM ; NOM\n1 ; a\n");
  // No rows: no header line either.
  EXPECT_EQ(FormatResult(s, TwoColumns(), {}), "");
  s.rowSeparator = "\r\n";
  EXPECT_EQ(FormatResult(s, TwoColumns(), {{"1", "a"}}), "NUM ; NOM\r\n1 ; a\r\n");
}

TEST(CsvMode, QuotesOnlyWhatNeedsIt) {
  FormatSettings s;
  s.mode = OutputMode::kCsv;
  s.headers = true;
  EXPECT_EQ(FormatResult(s, TwoColumns(),
                         {{"1", "plain"}, {"2", "a,b"}, {"3", "say \"hi\""}, {"4", "two\nlines"}}),
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

// A whole-result formatter written the plain way: UTF-8 rows in, the text
// of the mode out. The row-by-row formatter must match it byte for byte.
namespace reference {

std::string Pad(const std::string& v, size_t width, bool right) {
  size_t shown = zkhost::DisplayWidth(v);
  if (shown >= width) return v;
  std::string blanks(width - shown, ' ');
  return right ? blanks + v : v + blanks;
}

const std::string& Cell(const Row& row, size_t i) {
  static const std::string empty;
  return i < row.size() ? row[i] : empty;
}

std::string CsvField(const std::string& v) {
  if (v.find_first_of("\"\r\n,") == std::string::npos) return v;
  std::string out = "\"";
  for (char c : v) out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + "\"";
}

std::string JsonString(const std::string& v) {
  std::string out = "\"";
  for (unsigned char c : v) {
    char escaped[8];
    snprintf(escaped, sizeof escaped, "\\u%04x", c);
    out += c == '"'    ? "\\\""
           : c == '\\' ? "\\\\"
           : c == '\n' ? "\\n"
           : c == '\r' ? "\\r"
           : c == '\t' ? "\\t"
           : c < 0x20  ? escaped
                       : std::string(1, static_cast<char>(c));
  }
  return out + "\"";
}

bool IsJsonNumber(const std::string& v) {
  if (v.empty()) return false;
  size_t i = v[0] == '-' ? 1 : 0;
  if (i >= v.size() || v[i] < '0' || v[i] > '9') return false;
  char* end = nullptr;
  strtod(v.c_str(), &end);
  return *end == '\0' && v.find_first_of("xXpP") == std::string::npos && v.back() != '.';
}

// Every line break made "\n", so that lines split at one character.
std::string OneBreak(std::string v) {
  for (size_t at = v.find("\r\n"); at != std::string::npos; at = v.find("\r\n", at)) {
    v.erase(at, 1);
  }
  for (char& c : v) c = c == '\r' ? '\n' : c;
  return v;
}

std::vector<std::string> Lines(const std::string& v) {
  std::vector<std::string> lines(1);
  for (char c : OneBreak(v)) {
    if (c == '\n') {
      lines.emplace_back();
    } else {
      lines.back() += c;
    }
  }
  return lines;
}

std::string Markdown(const std::string& v) {
  std::string out;
  for (char c : OneBreak(v)) out += c == '|' ? "\\|" : c == '\n' ? "<br>" : std::string(1, c);
  return out;
}

// Table, box and markdown: each cell a list of lines (markdown's always
// one), a row as tall as its tallest cell, the frame closed even without
// rows (but for markdown, which has neither top nor bottom rule).
std::string Framed(OutputMode mode, const std::vector<ResultColumn>& columns,
                   const std::vector<Row>& rows) {
  bool md = mode == OutputMode::kMarkdown;
  bool box = mode == OutputMode::kBox;
  auto cell = [&](const std::string& v) {
    return md ? std::vector<std::string>{Markdown(v)} : Lines(v);
  };
  size_t n = columns.size();
  std::vector<size_t> widths;
  for (size_t i = 0; i < n; ++i) {
    size_t w = zkhost::DisplayWidth(md ? Markdown(columns[i].name) : columns[i].name);
    if (rows.empty() && columns[i].width > 0) w = std::max(w, size_t(columns[i].width));
    for (const Row& row : rows) {
      for (const std::string& line : cell(Cell(row, i)))
        w = std::max(w, zkhost::DisplayWidth(line));
    }
    widths.push_back(w);
  }
  std::string vertical = box ? "│" : "|";
  auto rule = [&](const char* left, const char* join, const char* right) {
    std::string line = left;
    for (size_t i = 0; i < n; ++i) {
      for (size_t k = 0; k < widths[i] + 2; ++k) line += box ? "─" : "-";
      if (md && columns[i].numeric) line.back() = ':';
      line += i + 1 < n ? join : right;
    }
    return line + "\n";
  };
  std::string out;
  if (!md) out += box ? rule("┌", "┬", "┐") : rule("+", "+", "+");
  out += vertical;
  for (size_t i = 0; i < n; ++i) {
    out += " " + Pad(md ? Markdown(columns[i].name) : columns[i].name, widths[i], false) + " " +
           vertical;
  }
  out += "\n";
  out += box ? rule("├", "┼", "┤") : md ? rule("|", "|", "|") : rule("+", "+", "+");
  for (const Row& row : rows) {
    std::vector<std::vector<std::string>> cells;
    size_t height = 0;
    for (size_t i = 0; i < n; ++i) {
      cells.push_back(cell(Cell(row, i)));
      height = std::max(height, cells.back().size());
    }
    for (size_t line = 0; line < height; ++line) {
      out += vertical;
      for (size_t i = 0; i < n; ++i) {
        std::string v = line < cells[i].size() ? cells[i][line] : "";
        out += " " + Pad(v, widths[i], columns[i].numeric) + " " + vertical;
      }
      out += "\n";
    }
  }
  if (!md) out += box ? rule("└", "┴", "┘") : rule("+", "+", "+");
  return out;
}

std::string Format(const FormatSettings& s, const std::vector<ResultColumn>& columns,
                   const std::vector<Row>& rows) {
  if (columns.empty()) return "";
  std::string out;
  size_t n = columns.size();
  if (s.mode == OutputMode::kTable || s.mode == OutputMode::kBox ||
      s.mode == OutputMode::kMarkdown) {
    return Framed(s.mode, columns, rows);
  }
  if (s.mode == OutputMode::kLine) {
    size_t width = 0;
    for (const ResultColumn& c : columns) width = std::max(width, zkhost::DisplayWidth(c.name));
    for (size_t r = 0; r < rows.size(); ++r) {
      if (r > 0) out += "\n";
      for (size_t i = 0; i < n; ++i) {
        out += Pad(columns[i].name, width, true) + " = " + Cell(rows[r], i) + "\n";
      }
    }
    return out;
  }
  if (s.mode == OutputMode::kJson) {
    if (rows.empty()) return "";
    out = "[";
    for (size_t r = 0; r < rows.size(); ++r) {
      out += r > 0 ? ",\n{" : "{";
      for (size_t i = 0; i < n; ++i) {
        const std::string& v = Cell(rows[r], i);
        out += (i > 0 ? "," : "") + JsonString(columns[i].name) + ":";
        out += columns[i].numeric && IsJsonNumber(v) ? v : JsonString(v);
      }
      out += "}";
    }
    return out + "]\n";
  }
  bool csv = s.mode == OutputMode::kCsv;
  std::string separator = csv ? "," : s.mode == OutputMode::kTabs ? "\t" : s.separator;
  std::string end = csv ? "\r\n" : s.mode == OutputMode::kList ? s.rowSeparator : "\n";
  auto line = [&](auto value) {
    for (size_t i = 0; i < n; ++i) {
      out += (i > 0 ? separator : "") + (csv ? CsvField(value(i)) : value(i));
    }
    out += end;
  };
  if (s.headers && !rows.empty()) line([&](size_t i) { return columns[i].name; });
  for (const Row& row : rows) line([&](size_t i) { return Cell(row, i); });
  return out;
}

}  // namespace reference

// Values that take every path of every mode: accents, each byte of the
// upper half, the separators and quotes of the modes inside values, line
// breaks and control characters, empty values, texts that do and do not
// read as JSON numbers.
std::vector<std::string> ValuePool() {
  // clang-format off
  std::vector<std::string> pool = {
      "", "plain", "Cr\xE8me br\xFBl\xE9" "e", "\x80 \x9C \x92 \x9F \x81\x8D\x8F\x90\x9D",
      "a|b", "a ; b", "a,b", "a\tb", "say \"hi\"", "\"", "two\nlines", "cr\r", "back\\slash",
      "\x01\x1F\x7F", "-1.5", "1e5", "0x1A", "1.", "12abc", "-", " 1", "007", "-0", "1.5e+3",
      "\xC9" "1", "Nul", "  padded  ", "un\r\ndeux\ntrois", "\n", "x|y\r\n|z"};
  // clang-format on
  for (int b = 0x80; b <= 0xFF; ++b) pool.push_back(std::string(1, static_cast<char>(b)) + "x");
  std::string upper;
  for (int b = 0x80; b <= 0xFF; ++b) upper += static_cast<char>(b);
  pool.push_back(upper);
  return pool;
}

TEST(ResultFormatter, MatchesTheWholeResultFormatterInEveryMode) {
  std::vector<std::vector<ResultColumn>> layouts = {
      ParseColumnText("NUM\tN\t3\t4\r\nNOM\tT\t9\t10"),
      // Accented names, a name wider than any value, wide declared widths,
      // names holding the separators.
      ParseColumnText(zkhost::Cp1252ToUtf8("Libell\xE9\tT\t9\t30\r\nPRIX_UNITAIRE_HT\tN\t4\t8\r\n"
                                           "a,b|c\tT\t9\t2\r\nQ\"\tN\t3\t1")),
      ParseColumnText("SEUL\tT\t9\t5"),
      ParseColumnText(""),
  };
  std::vector<std::string> pool = ValuePool();
  std::mt19937 random(20240601);
  auto pick = [&] { return pool[random() % pool.size()]; };
  std::vector<std::vector<Row>> results = {{}, {{""}}, {{"", ""}}};
  // Every value of the pool in every column, then random rows: some with
  // fields missing or to spare, and one result long enough to go out in
  // several pieces.
  for (size_t columns : {1, 2, 4}) {
    std::vector<Row> rows;
    for (const std::string& v : pool) rows.push_back(Row(columns, v));
    results.push_back(rows);
  }
  for (size_t length : {5, 3000}) {
    std::vector<Row> rows;
    for (size_t r = 0; r < length; ++r) {
      rows.emplace_back();
      size_t fields = 1 + random() % 5;
      for (size_t f = 0; f < fields; ++f) rows.back().push_back(pick());
    }
    results.push_back(rows);
  }

  std::vector<FormatSettings> settings;
  for (OutputMode mode :
       {OutputMode::kTable, OutputMode::kList, OutputMode::kCsv, OutputMode::kTabs,
        OutputMode::kLine, OutputMode::kJson, OutputMode::kBox, OutputMode::kMarkdown}) {
    for (bool headers : {false, true}) {
      for (const char* separator : {"|", " ; ", ""}) {
        FormatSettings s;
        s.mode = mode;
        s.headers = headers;
        s.separator = separator;
        settings.push_back(s);
      }
    }
  }
  FormatSettings crlf;
  crlf.headers = true;
  crlf.rowSeparator = "\r\n";
  settings.push_back(crlf);
  for (const FormatSettings& s : settings) {
    for (size_t l = 0; l < layouts.size(); ++l) {
      for (size_t r = 0; r < results.size(); ++r) {
        std::vector<Row> utf8 = results[r];
        for (Row& row : utf8) {
          for (std::string& v : row) v = zkhost::Cp1252ToUtf8(v);
        }
        int pieces = 0;
        std::string got = FormatCp1252(s, layouts[l], results[r], &pieces);
        ASSERT_EQ(got, reference::Format(s, layouts[l], utf8))
            << "mode " << OutputModeName(s.mode) << ", headers " << s.headers << ", separator \""
            << s.separator << "\", layout " << l << ", result " << r;
        // Large results go out in pieces, small ones in one write.
        if (got.size() > 200000) {
          EXPECT_GT(pieces, 2);
        } else if (got.size() < 1000) {
          EXPECT_LE(pieces, 1);
        }
      }
    }
  }
}

TEST(Modes, NamesRoundTrip) {
  for (const char* name : {"table", "list", "csv", "tabs", "line", "json", "box", "markdown"}) {
    OutputMode mode;
    ASSERT_TRUE(ParseOutputMode(name, &mode)) << name;
    EXPECT_STREQ(OutputModeName(mode), name);
  }
  OutputMode mode;
  EXPECT_FALSE(ParseOutputMode("column", &mode));
}

}  // namespace
}  // namespace zkshell
