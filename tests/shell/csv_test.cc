// CSV reading (RFC 4180: quotes, doubled quotes, separators and line
// breaks inside quotes, CRLF), writing back the same records, and the type
// inference and identifiers of an import's CREATE TABLE.
#include "csv.h"

#include <gtest/gtest.h>

#include "commands.h"

namespace zkshell {
namespace {

TEST(CsvRead, QuotedFieldsWithSeparatorsQuotesAndLineBreaks) {
  std::vector<CsvRecord> records;
  std::string error;
  ASSERT_TRUE(ParseCsv("\xEF\xBB\xBFid,nom,note\r\n1,\"Dupont, Jean\",\"dit \"\"JD\"\"\"\r\n"
                       "2,Œuvre,\"deux\r\nlignes\"\r\n3,,\n",
                       &records, &error))
      << error;
  ASSERT_EQ(records.size(), 4u);
  EXPECT_EQ(records[0], (CsvRecord{"id", "nom", "note"}));
  EXPECT_EQ(records[1], (CsvRecord{"1", "Dupont, Jean", "dit \"JD\""}));
  EXPECT_EQ(records[2], (CsvRecord{"2", "Œuvre", "deux\r\nlignes"}));
  EXPECT_EQ(records[3], (CsvRecord{"3", "", ""}));
}

TEST(CsvRead, LastLineWithoutBreakAndUnterminatedQuote) {
  std::vector<CsvRecord> records;
  std::string error;
  ASSERT_TRUE(ParseCsv("a,b\n1,2", &records, &error));
  EXPECT_EQ(records.size(), 2u);
  EXPECT_FALSE(ParseCsv("a,b\n1,\"open\n2,3\n", &records, &error));
  EXPECT_NE(error.find("line 2"), std::string::npos) << error;
}

TEST(CsvWrite, RoundTripsThroughTheReader) {
  std::vector<CsvRecord> original = {{"a,b", "say \"x\"", "l1\nl2", "été €"}, {"", "plain"}};
  std::string text;
  for (const CsvRecord& r : original) text += CsvLine(r);
  EXPECT_EQ(text.substr(0, 8), "\"a,b\",\"s");
  std::vector<CsvRecord> back;
  std::string error;
  ASSERT_TRUE(ParseCsv(text, &back, &error));
  EXPECT_EQ(back, original);
}

TEST(Inference, IntegersRealsAndSizedTexts) {
  CsvRecord header = {"id", "prix", "libellé", "vide", "grand"};
  std::vector<CsvRecord> rows = {{"1", "2.5", "Pâté", "", "2147483648"},
                                 {"-20", "3", "Crème brûlée", "", "1"},
                                 {"", "1e3"}};
  std::vector<InferredColumn> columns = InferColumns(header, rows);
  ASSERT_EQ(columns.size(), 5u);
  EXPECT_EQ(columns[0].type, InferredType::kInteger);
  EXPECT_EQ(columns[1].type, InferredType::kReal);
  EXPECT_EQ(columns[2].type, InferredType::kText);
  EXPECT_EQ(columns[2].length, 12u);  // characters, not bytes
  EXPECT_EQ(columns[3].type, InferredType::kText);
  EXPECT_EQ(columns[4].type, InferredType::kReal);  // beyond 32 bits
  EXPECT_EQ(CreateTableText("ARTICLES", columns),
            "CREATE TABLE ARTICLES (ID INTEGER, PRIX DOUBLE PRECISION, LIBELLE CHAR(12), "
            "VIDE CHAR(1), GRAND DOUBLE PRECISION)");
}

TEST(Inference, NamesBecomeIdentifiers) {
  EXPECT_EQ(MakeIdentifier("Date de création"), "DATE_DE_CREATION");
  EXPECT_EQ(MakeIdentifier("date"), "C_DATE");  // a keyword
  EXPECT_EQ(MakeIdentifier("2e adresse"), "C_2E_ADRESSE");
  EXPECT_EQ(MakeIdentifier("€"), "COL");
  EXPECT_EQ(MakeIdentifier(std::string(40, 'x')).size(), 30u);
  std::vector<InferredColumn> twice = InferColumns({"a b", "a-b"}, {});
  EXPECT_EQ(twice[0].name, "A_B");
  EXPECT_EQ(twice[1].name, "A_B_2");
}

TEST(Literals, NumbersBareTextsQuoted) {
  EXPECT_EQ(SqlLiteral("O'Neil", false), "'O''Neil'");
  EXPECT_EQ(SqlLiteral("", true), "0");
  EXPECT_EQ(SqlLiteral("+4", true), "4");
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
