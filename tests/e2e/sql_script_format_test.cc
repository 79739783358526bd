// The script reader of the end-to-end runner: a wrong reading would make
// scripts pass or fail for reasons of their own, so the reader, the
// catalogue formatting and the text conversions are checked here.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "sql_script.h"

namespace zksql_e2e {
namespace {

std::vector<Record> Parse(const std::string& text) {
  std::vector<Record> records;
  std::string error;
  EXPECT_TRUE(ParseScript(text, &records, &error)) << error;
  return records;
}

std::string ParseError(const std::string& text) {
  std::vector<Record> records;
  std::string error;
  EXPECT_FALSE(ParseScript(text, &records, &error));
  return error;
}

TEST(ScriptReaderTest, ReadsEveryRecordKindWithItsLineAndExpectation) {
  std::vector<Record> r = Parse(
      "# setup\n"
      "statement ok\n"
      "CREATE TABLE T (A INTEGER,\n"
      "  B CHAR(10))\n"
      "\n"
      "query rowsort\n"
      "SELECT A, B FROM T\n"
      "----\n"
      "1|x\n"
      "(empty)\n"
      "\n"
      "query\n"
      "SELECT A FROM T WHERE A = 5\n"
      "----\n"
      "\n"
      "columns\n"
      "SELECT A FROM T\n"
      "----\n"
      "A|N|3|4\n"
      "\n"
      "error 4281 00123 compiled=0\n"
      "SELECT Z FROM T\n"
      "----\n"
      " Référence à une rubrique ('Z') qui n'existe pas\n"
      "\n"
      "longdata 2\n"
      "SELECT N, M FROM F\n"
      "----\n"
      "hello\n"
      "\n"
      "file F N:L M:M K:T:10:1\n");
  ASSERT_EQ(r.size(), 7u);
  EXPECT_EQ(r[0].kind, RecordKind::kStatement);
  EXPECT_EQ(r[0].line, 2);
  EXPECT_EQ(r[0].sql, "CREATE TABLE T (A INTEGER,\n  B CHAR(10))");
  EXPECT_FALSE(r[0].hasExpectation);

  EXPECT_EQ(r[1].kind, RecordKind::kQuery);
  EXPECT_TRUE(r[1].rowsort);
  EXPECT_EQ(r[1].expected, (std::vector<std::string>{"1|x", "(empty)"}));

  // "----" followed by nothing expects no row, which differs from a record
  // that forgot its expectation.
  EXPECT_FALSE(r[2].rowsort);
  EXPECT_TRUE(r[2].hasExpectation);
  EXPECT_TRUE(r[2].expected.empty());

  EXPECT_EQ(r[3].kind, RecordKind::kColumns);
  EXPECT_EQ(r[3].expected, std::vector<std::string>{"A|N|3|4"});

  EXPECT_EQ(r[4].kind, RecordKind::kError);
  EXPECT_EQ(r[4].line, 21);
  EXPECT_EQ(r[4].messageId, 4281);
  EXPECT_EQ(r[4].sqlState, "00123");
  EXPECT_EQ(r[4].compiled, 0);
  EXPECT_FALSE(r[4].fromCatalogue);
  // The leading blank of a message is kept.
  EXPECT_EQ(r[4].expected,
            std::vector<std::string>{" Référence à une rubrique ('Z') qui n'existe pas"});

  EXPECT_EQ(r[5].kind, RecordKind::kLongData);
  EXPECT_EQ(r[5].column, 2);
  EXPECT_EQ(r[6].kind, RecordKind::kFile);
}

TEST(ScriptReaderTest, AFileRecordListsItsItems) {
  std::vector<Record> r = Parse("file F N:L M:M K:T:10:1 D:A:6\n");
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].kind, RecordKind::kFile);
  EXPECT_EQ(r[0].fileName, "F");
  ASSERT_EQ(r[0].items.size(), 4u);
  EXPECT_EQ(r[0].items[2].name, "K");
  EXPECT_EQ(r[0].items[2].letter, 'T');
  EXPECT_EQ(r[0].items[2].size, 10);
  EXPECT_EQ(r[0].items[2].key, 1);
  EXPECT_EQ(r[0].items[3].size, 6);
  EXPECT_EQ(r[0].items[3].key, 0);
}

TEST(ScriptReaderTest, StatementsSplitAtSemicolonsOutsideLiterals) {
  std::vector<Record> r = Parse(
      "statements ok\n"
      "INSERT INTO T VALUES (1, 'a;b');\n"
      "INSERT INTO T VALUES (2, \"c;\"\"d\");   \n"
      "INSERT INTO T VALUES (3, 'it''s;')\n");
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].statements, (std::vector<std::string>{"INSERT INTO T VALUES (1, 'a;b')",
                                                       "INSERT INTO T VALUES (2, \"c;\"\"d\")",
                                                       "INSERT INTO T VALUES (3, 'it''s;')"}));
  EXPECT_EQ(SplitStatements(" ; ;\n"), std::vector<std::string>{});
}

TEST(ScriptReaderTest, CatalogueExpectationsTakeQuotedAndBareArguments) {
  std::vector<Record> r = Parse(
      "error 4249 00123 compiled=0\n"
      "SELECT A FRM T\n"
      "----\n"
      "catalogue ' ''FROM'' attendu' FRM 9 ''\n");
  ASSERT_EQ(r.size(), 1u);
  EXPECT_TRUE(r[0].fromCatalogue);
  EXPECT_TRUE(r[0].expected.empty());
  EXPECT_EQ(r[0].catalogueArguments, (std::vector<std::string>{" 'FROM' attendu", "FRM", "9", ""}));
}

TEST(ScriptReaderTest, AnEngineMessageCanBeLeftOpen) {
  std::vector<Record> r = Parse(
      "error - 00123 compiled=1\n"
      "CREATE TABLE T (A INTEGER)\n"
      "----\n"
      "(any text)\n");
  ASSERT_EQ(r.size(), 1u);
  EXPECT_TRUE(r[0].anyText);
  EXPECT_FALSE(r[0].fromCatalogue);
  EXPECT_TRUE(r[0].expected.empty());
}

TEST(ScriptReaderTest, PrefixLinesBelongToTheNextRecordOnly) {
  std::vector<Record> r = Parse(
      "skip the library refuses this for now\n"
      "memos 'abc' 'd e'\n"
      "transaction\n"
      "statement ok\n"
      "INSERT INTO F VALUES (1)\n"
      "\n"
      "statement ok\n"
      "INSERT INTO F VALUES (2)\n");
  ASSERT_EQ(r.size(), 2u);
  EXPECT_EQ(r[0].skipReason, "the library refuses this for now");
  EXPECT_EQ(r[0].memos, (std::vector<std::string>{"abc", "d e"}));
  EXPECT_TRUE(r[0].transaction);
  EXPECT_EQ(r[1].skipReason, "");
  EXPECT_TRUE(r[1].memos.empty());
  EXPECT_FALSE(r[1].transaction);
}

TEST(ScriptReaderTest, MalformedScriptsAreRefusedWithTheirLine) {
  EXPECT_EQ(ParseError("\nselect ok\nSELECT 1\n"), "line 2: unknown directive 'select'");
  EXPECT_EQ(ParseError("query\nSELECT A FROM T\n"),
            "line 1: '----' and the expected result missing");
  EXPECT_EQ(ParseError("statement ok\nINSERT INTO T VALUES (1)\n----\n1\n"),
            "line 3: '----' after a statement that expects no result");
  EXPECT_EQ(ParseError("statement ok\n\n"), "line 1: the record has no statement");
  EXPECT_EQ(ParseError("error 4281 0123\nSELECT Z FROM T\n----\nx\n"),
            "line 1: a five-character SQLSTATE expected, not '0123'");
  EXPECT_EQ(ParseError("error 4281 00123 compiled=2\nSELECT Z FROM T\n----\nx\n"),
            "line 1: 'compiled=0' or 'compiled=1' expected, not 'compiled=2'");
  EXPECT_EQ(ParseError("error - S1000\nINSERT INTO T VALUES (1)\n----\ncatalogue\n"),
            "line 1: 'catalogue' needs a message identifier in the directive");
  EXPECT_EQ(ParseError("error 4281 00123\nSELECT Z FROM T\n----\n"),
            "line 1: the expected error text is missing");
  EXPECT_EQ(ParseError("statement ok\nSELECT 1\n\nskip why\n"),
            "line 4: 'skip', 'memos' or 'transaction' without a record after it");
  EXPECT_EQ(ParseError("file F N\n"), "line 1: malformed item 'N' (ITEM:LETTER[:SIZE[:KEY]])");
  EXPECT_EQ(ParseError("file F N:L\nSELECT 1\n"),
            "line 2: a 'file' record is one line; a blank line must follow");
  EXPECT_EQ(ParseError("error 4243 00123\nSELECT A FROM X\n----\n(any text)\n"),
            "line 1: '(any text)' stands alone, after 'error -'");
  EXPECT_EQ(ParseError("longdata 0\nSELECT M FROM F\n----\nx\n"),
            "line 1: 'longdata COLUMN' expected (a column number from 1)");
}

TEST(CatalogueTextTest, FormatsAndRecognisesTheLibrarysMessages) {
  std::map<int, std::string> catalogue;
  std::string error;
  ASSERT_TRUE(LoadCatalogue(ZKSQL_CATALOGUE_PATH, &catalogue, &error)) << error;
  ASSERT_EQ(catalogue.count(4249), 1u);
  EXPECT_EQ(catalogue[4249], " %s\n\n Item : '%s'\n Position : %i");
  EXPECT_NE(catalogue[4285].find("\n\nLes cl"), std::string::npos);

  std::string text;
  ASSERT_TRUE(FormatCatalogueText(catalogue[4249], {" 'FROM' attendu", "FRM", "9"}, &text));
  EXPECT_EQ(text, "  'FROM' attendu\n\n Item : 'FRM'\n Position : 9");
  EXPECT_TRUE(MatchesCatalogueFormat(catalogue[4249], text));
  EXPECT_FALSE(FormatCatalogueText(catalogue[4249], {"a", "b"}, &text));
  EXPECT_FALSE(FormatCatalogueText(catalogue[4249], {"a", "b", "nine"}, &text));
  EXPECT_FALSE(FormatCatalogueText(catalogue[4249], {"a", "b", "9", "extra"}, &text));

  EXPECT_TRUE(MatchesCatalogueFormat(" Typage incorrect: %s", " Typage incorrect: "));
  EXPECT_FALSE(MatchesCatalogueFormat(" Typage incorrect: %s", " Typage incorrect:"));
  EXPECT_TRUE(MatchesCatalogueFormat(" (%i)", " (-12)"));
  EXPECT_FALSE(MatchesCatalogueFormat(" (%i)", " (x)"));
  EXPECT_FALSE(MatchesCatalogueFormat(" Table '%s' inexistante", " Table 'T' inexistante!"));
}

TEST(CharsetTest, ConvertsBetweenUtf8AndWindows1252) {
  std::string cp;
  ASSERT_TRUE(Utf8ToCp1252("Référence €", &cp));
  EXPECT_EQ(cp,
            "R\xE9"
            "f\xE9rence \x80");
  EXPECT_EQ(Cp1252ToUtf8(cp), "Référence €");
  EXPECT_FALSE(Utf8ToCp1252("日本", &cp));
  EXPECT_FALSE(Utf8ToCp1252("\xC3", &cp));  // cut sequence
  // Bytes without a character are shown, not dropped.
  EXPECT_EQ(Cp1252ToUtf8("a\x81"
                         "b"),
            "a\\x81b");
}

}  // namespace
}  // namespace zksql_e2e
