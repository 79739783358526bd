// CSV reading (RFC 4180: quotes, doubled quotes, separators and line
// breaks inside quotes, CRLF; malformed files stopped at their place),
// writing back the same records, and the type inference and identifiers of
// an import's CREATE TABLE.
#include "csv.h"

#include <gtest/gtest.h>

#include "commands.h"

namespace zkshell {
namespace {

bool Parse(const std::string& text, std::vector<CsvRecord>* records, CsvError* error,
           std::vector<CsvPlaces>* places = nullptr, CsvSyntax syntax = CsvSyntax()) {
  return ParseCsv(text, syntax, records, places, error);
}

TEST(CsvRead, QuotedFieldsWithSeparatorsQuotesAndLineBreaks) {
  std::vector<CsvRecord> records;
  std::vector<CsvPlaces> places;
  CsvError error;
  ASSERT_TRUE(
      Parse("\xEF\xBB\xBFid,nom,note\r\n1,\"Dupont, Jean\",\"dit \"\"JD\"\"\"\r\n"
            "2,Œuvre,\"deux\r\nlignes\"\r\n3,,\n\n\"\"",
            &records, &error, &places))
      << error.what;
  ASSERT_EQ(records.size(), 6u);
  EXPECT_EQ(records[0], (CsvRecord{"id", "nom", "note"}));
  EXPECT_EQ(records[1], (CsvRecord{"1", "Dupont, Jean", "dit \"JD\""}));
  EXPECT_EQ(records[2], (CsvRecord{"2", "Œuvre", "deux\r\nlignes"}));
  EXPECT_EQ(records[3], (CsvRecord{"3", "", ""}));
  EXPECT_EQ(records[4], (CsvRecord{""}));  // an empty line
  EXPECT_EQ(records[5], (CsvRecord{""}));  // "" without a last line break
  // Fields start where an editor shows them: characters, not bytes, and
  // the line break inside record 2 moves record 3 to line 5.
  ASSERT_EQ(places[2].fields.size(), 3u);
  EXPECT_EQ(places[2].fields[2].line, 3);
  EXPECT_EQ(places[2].fields[2].column, 9);
  EXPECT_EQ(places[2].end.line, 4);
  EXPECT_EQ(places[2].end.column, 8);
  EXPECT_EQ(places[3].fields[0].line, 5);
}

TEST(CsvRead, MalformedFilesStopAtTheirLineAndColumn) {
  struct Case {
    std::string text;
    int line, column;
    const char* what;
  } cases[] = {
      {"a,b\n\"x\ny\",ab\"c\n", 3, 6, "quote inside"},
      {"a,b\n1,\"q\"x\n", 2, 6, "after the closing quote"},
      {"a,b\n1,\"q\" \n", 2, 6, "after the closing quote"},
      {"a,b\n1,2\n3,\"open\n4,5\n", 3, 3, "not closed"},
      {"a,b\n1,été Ω\n", 2, 7, "U+03A9"},
      {"a,b\n1,\xFF\n", 2, 3, "0xFF"},
  };
  for (const Case& c : cases) {
    std::vector<CsvRecord> records;
    CsvError error;
    EXPECT_FALSE(Parse(c.text, &records, &error)) << c.text;
    EXPECT_EQ(error.at.line, c.line) << c.text;
    EXPECT_EQ(error.at.column, c.column) << c.text;
    EXPECT_NE(error.what.find(c.what), std::string::npos) << c.text << ": " << error.what;
  }
}

TEST(CsvRead, SeparatorAndSkippedLines) {
  std::vector<CsvRecord> records;
  std::vector<CsvPlaces> places;
  CsvError error;
  CsvSyntax syntax;
  syntax.separator = ';';
  syntax.skipLines = 2;
  // The skipped lines may hold anything, a stray quote or Ω included.
  ASSERT_TRUE(Parse("Export \"du\" Ω\n\ncp;prix\n08747;12,50\n", &records, &error, &places, syntax))
      << error.what;
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[1], (CsvRecord{"08747", "12,50"}));
  EXPECT_EQ(places[1].fields[1].line, 4);
  EXPECT_EQ(places[1].fields[1].column, 7);
}

TEST(CsvWrite, RoundTripsThroughTheReader) {
  std::vector<CsvRecord> original = {{"a,b", "say \"x\"", "l1\nl2", "été €"}, {"", "plain"}};
  std::string text;
  for (const CsvRecord& r : original) text += CsvLine(r);
  EXPECT_EQ(text.substr(0, 8), "\"a,b\",\"s");
  std::vector<CsvRecord> back;
  CsvError error;
  ASSERT_TRUE(Parse(text, &back, &error));
  EXPECT_EQ(back, original);
}

TEST(Inference, NumbersOnlyWhenTheyReadBackUnchanged) {
  struct Case {
    const char* value;
    NumberForm plain, comma;  // without and with --decimal-comma
  } cases[] = {
      {"8747", NumberForm::kInteger32, NumberForm::kInteger32},
      {"-20", NumberForm::kInteger32, NumberForm::kInteger32},
      {"0", NumberForm::kInteger32, NumberForm::kInteger32},
      {"08747", NumberForm::kNone, NumberForm::kNone},
      {"+5", NumberForm::kNone, NumberForm::kNone},
      {" 5", NumberForm::kNone, NumberForm::kNone},
      {"5 ", NumberForm::kNone, NumberForm::kNone},
      {"2147483648", NumberForm::kReal, NumberForm::kReal},
      {"3.5", NumberForm::kReal, NumberForm::kNone},
      {"1.50", NumberForm::kNone, NumberForm::kNone},
      {"1e3", NumberForm::kNone, NumberForm::kNone},
      {"0.1234567", NumberForm::kNone, NumberForm::kNone},         // six decimals shown
      {"9007199254740993", NumberForm::kNone, NumberForm::kNone},  // 2^53 + 1
      {"4503599627370497", NumberForm::kReal, NumberForm::kReal},
      {"12,50", NumberForm::kNone, NumberForm::kReal},
      {"-0,5", NumberForm::kNone, NumberForm::kReal},
      {"1.234,50", NumberForm::kNone, NumberForm::kNone},
      {"1,2,3", NumberForm::kNone, NumberForm::kNone},
      {"inf", NumberForm::kNone, NumberForm::kNone},
      {"", NumberForm::kNone, NumberForm::kNone},
  };
  // The digits of 1e308 as strtod reads them: the library's own reading,
  // digit by digit, gives another number.
  char big[400];
  snprintf(big, sizeof big, "%.0f", 1e308);
  EXPECT_EQ(ClassifyNumber(big, false), NumberForm::kNone);
  for (const Case& c : cases) {
    EXPECT_EQ(ClassifyNumber(c.value, false), c.plain) << c.value;
    EXPECT_EQ(ClassifyNumber(c.value, true), c.comma) << c.value;
  }
  EXPECT_EQ(NumberLiteral("12,50", true), "12.50");
  EXPECT_EQ(NumberLiteral("12,50", false), "");
  EXPECT_EQ(NumberLiteral("+4", false), "4");
}

TEST(Inference, IntegersRealsAndSizedTexts) {
  CsvRecord header = {"id", "prix", "libellé", "vide", "grand", "cp"};
  std::vector<CsvRecord> rows = {{"1", "2.5", "Pâté", "", "2147483648", "75001"},
                                 {"-20", "3", "Crème brûlée", "", "1", "08747"},
                                 {"", "1000", "", "", "", ""}};
  std::vector<InferredColumn> columns = InferColumns(header, rows);
  ASSERT_EQ(columns.size(), 6u);
  EXPECT_EQ(columns[0].type, InferredType::kInteger);
  EXPECT_EQ(columns[1].type, InferredType::kReal);
  EXPECT_EQ(columns[2].type, InferredType::kText);
  EXPECT_EQ(columns[2].length, 12u);  // characters, not bytes
  EXPECT_EQ(columns[3].type, InferredType::kText);
  EXPECT_EQ(columns[4].type, InferredType::kReal);  // beyond 32 bits
  EXPECT_EQ(columns[5].type, InferredType::kText);  // one leading zero is enough
  EXPECT_EQ(CreateTableText("ARTICLES", columns),
            "CREATE TABLE ARTICLES (ID INTEGER, PRIX DOUBLE PRECISION, LIBELLE CHAR(12), "
            "VIDE CHAR(1), GRAND DOUBLE PRECISION, CP CHAR(5))");
}

TEST(Inference, NamesBecomeIdentifiers) {
  EXPECT_EQ(MakeIdentifier("Date de création"), "DATE_DE_CREATION");
  EXPECT_EQ(MakeIdentifier("date"), "C_DATE");  // a keyword
  EXPECT_EQ(MakeIdentifier("2e adresse"), "C_2E_ADRESSE");
  EXPECT_EQ(MakeIdentifier("Cœur"), "COEUR");
  EXPECT_EQ(MakeIdentifier("Straße"), "STRASSE");
  EXPECT_EQ(MakeIdentifier("Prix €"), "PRIX_EUR");
  EXPECT_EQ(MakeIdentifier("日本"), "COL");
  EXPECT_EQ(MakeIdentifier(std::string(40, 'x')).size(), 30u);
  std::vector<InferredColumn> twice = InferColumns({"a b", "a-b"}, {});
  EXPECT_EQ(twice[0].name, "A_B");
  EXPECT_EQ(twice[1].name, "A_B_2");
}

TEST(Literals, NumbersBareTextsQuoted) {
  EXPECT_EQ(SqlLiteral("O'Neil", false), "'O''Neil'");
  EXPECT_EQ(SqlLiteral("", true), "0");
  EXPECT_TRUE(IsNumber("-1.5e-3"));
  EXPECT_TRUE(IsNumber("12."));
  EXPECT_FALSE(IsNumber("1e"));
  EXPECT_FALSE(IsNumber(".5"));
  EXPECT_FALSE(IsNumber("0x10"));
  EXPECT_TRUE(IsInteger32("-2147483648"));
  EXPECT_FALSE(IsInteger32("2147483648"));
}

TEST(CommandWords, QuotesHoldBlanks) {
  EXPECT_EQ(SplitCommandLine(".import 'mes clients.csv'  CLIENTS"),
            (std::vector<std::string>{".import", "mes clients.csv", "CLIENTS"}));
  EXPECT_EQ(SplitCommandLine(".separator \" | \""),
            (std::vector<std::string>{".separator", " | "}));
}

TEST(CommandWords, TablePatterns) {
  EXPECT_TRUE(MatchesPattern("CLIENTS", "cli%"));
  EXPECT_TRUE(MatchesPattern("CLIENTS", "%ENT%"));
  EXPECT_TRUE(MatchesPattern("LIGNES", "L_GNES"));
  EXPECT_FALSE(MatchesPattern("LIGNES", "L_NES"));
  EXPECT_FALSE(MatchesPattern("PRODUITS", "cli%"));
  EXPECT_TRUE(MatchesPattern("A", "%%"));
}

}  // namespace
}  // namespace zkshell
