// Lexer tests: token sequences, every keyword, punctuation mark and
// operator, the keyword-prefix cases, and every failure with the token it
// leaves behind, as tables; then the flags, TakeToken, SetTokenText and the
// 16-bit position limit.
#include "sql/lexer.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace zksql {

// Shows a scan's outcome in gtest's reports.
void PrintTo(const ParseStep& step, std::ostream* out) {
  if (step.ok()) {
    *out << "at " << step.position();
  } else {
    *out << "failed with " << static_cast<int>(step.failure());
  }
}

namespace {

struct Token {
  int16_t code;
  std::string text;
  bool operator==(const Token& other) const { return code == other.code && text == other.text; }
};

std::ostream& operator<<(std::ostream& out, const Token& token) {
  return out << "{" << token.code << ", \"" << token.text << "\"}";
}

// Scans the whole text as the parser would, each token through TakeToken;
// the failure that ended the loop goes to *last.
std::vector<Token> ScanAll(Lexer& lexer, const char* text, int16_t signAllowed, MessageId* last) {
  std::vector<Token> tokens;
  int16_t position = 0;
  for (;;) {
    int16_t emptyString = 0;
    ParseStep result = lexer.Scan(text, position, emptyString, signAllowed);
    // The length kept beside the text is the text's, after every scan.
    EXPECT_EQ(static_cast<size_t>(lexer.token_length()), strlen(lexer.token_text())) << text;
    if (!result.ok()) {
      *last = result.failure();
      return tokens;
    }
    EXPECT_GT(result.position(), position) << text;
    int16_t code = 0;
    char* taken = nullptr;
    EXPECT_TRUE(lexer.TakeToken(code, taken));
    tokens.push_back(Token{code, taken != nullptr ? taken : "(null)"});
    free(taken);
    position = result.position();
  }
}

struct SequenceCase {
  const char* input;
  int16_t signAllowed;
  std::vector<Token> tokens;
};

// Texts that scan to the end (kLexPrematureEnd) through the given tokens.
const SequenceCase kSequences[] = {
    {"select * from t;",
     0,
     {{LEX_SELECT, "SELECT"}, {LEX_ETOILE, "*"}, {LEX_FROM, "FROM"}, {302, "T"}, {153, ";"}}},
    // Multi-word keywords need exactly one space between their words.
    {"ORDER BY", 0, {{LEX_ORDER_BY, "ORDER BY"}}},
    {"order by x", 0, {{LEX_ORDER_BY, "ORDER BY"}, {302, "X"}}},
    {"ORDER  BY", 0, {{302, "ORDER"}, {302, "BY"}}},
    {"ORDER\tBY", 0, {{302, "ORDER"}, {302, "BY"}}},
    {"current date", 0, {{LEX_CURRENT_DATE, "CURRENT DATE"}}},
    {"CURRENT  DATE", 0, {{302, "CURRENT"}, {LEX_DATE, "DATE"}}},
    {"COUNT(*)", 0, {{LEX_COUNT_ETOILE, "COUNT(*)"}}},
    {"count(*)", 0, {{LEX_COUNT_ETOILE, "COUNT(*)"}}},
    {"COUNT( * )", 0, {{302, "COUNT"}, {156, "("}, {204, "*"}, {157, ")"}}},
    {"COUNT(*)x", 0, {{302, "COUNT"}, {156, "("}, {204, "*"}, {157, ")"}, {302, "X"}}},
    {"COUNT DISTINCT", 0, {{LEX_COUNT_DISTINCT, "COUNT DISTINCT"}}},
    // A keyword that is a prefix of a longer word fails the separator test.
    {"SELECTED", 0, {{302, "SELECTED"}}},
    {"IN(", 0, {{LEX_IN, "IN"}, {LEX_PAR_OUVRANTE, "("}}},
    {"INDEX IN INTERSECT INTEGER",
     0,
     {{LEX_INDEX, "INDEX"},
      {LEX_IN, "IN"},
      {LEX_INTERSECT, "INTERSECT"},
      {LEX_INTEGER, "INTEGER"}}},
    {"AS ASC", 0, {{LEX_AS, "AS"}, {LEX_ASC, "ASC"}}},
    {"MIN MINUTE", 0, {{LEX_MIN, "MIN"}, {LEX_MINUTE, "MINUTE"}}},
    {"OR ORDERS", 0, {{LEX_OR, "OR"}, {302, "ORDERS"}}},
    {"DATEX", 0, {{302, "DATEX"}}},
    {"drop table drop view delete from insert into group by primary key foreign key",
     0,
     {{LEX_DROP_TABLE, "DROP TABLE"},
      {LEX_DROP_VIEW, "DROP VIEW"},
      {LEX_DELETE_FROM, "DELETE FROM"},
      {LEX_INSERT_INTO, "INSERT INTO"},
      {LEX_GROUP_BY, "GROUP BY"},
      {LEX_PRIMARY_KEY, "PRIMARY KEY"},
      {LEX_FOREIGN_KEY, "FOREIGN KEY"}}},
    // Identifiers run over letters, digits, "_", "#", "." and "@".
    {"T1.COL#2", 0, {{302, "T1.COL#2"}}},
    {"T.DATE", 0, {{302, "T.DATE"}}},
    {"a@b_c _x", 0, {{302, "A@B_C"}, {302, "_X"}}},
    {"DATE.X", 0, {{LEX_DATE, "DATE"}, {LEX_POINT, "."}, {302, "X"}}},
    {" \t\r\n x \n", 0, {{302, "X"}}},
    // Numbers.
    {".5", 0, {{LEX_POINT, "."}, {LEX_ENTIER, "5"}}},
    {"1.2.3", 0, {{LEX_NOMBRE_DECIMAL, "1.2"}, {LEX_POINT, "."}, {LEX_ENTIER, "3"}}},
    {"12.", 0, {{LEX_NOMBRE_DECIMAL, "12."}}},
    {"1e5 1E+5 2.5e-3", 0, {{LEX_REEL, "1e5"}, {LEX_REEL, "1E+5"}, {LEX_REEL, "2.5e-3"}}},
    {"12E", 0, {{LEX_ENTIER, "12E"}}},
    {"12E+", 0, {{LEX_ENTIER, "12E"}, {LEX_PLUS, "+"}}},
    {"12.E", 0, {{LEX_NOMBRE_DECIMAL, "12.E"}}},
    {"0042", 0, {{LEX_ENTIER, "0042"}}},
    {"-5", 0, {{LEX_MOINS, "-"}, {LEX_ENTIER, "5"}}},
    {"-5", 1, {{LEX_ENTIER_SIGNE, "-5"}}},
    {"+5", 1, {{LEX_ENTIER_SIGNE, "+5"}}},
    {"-5.5", 1, {{LEX_NOMBRE_DECIMAL, "-5.5"}}},
    {"-1e3", 1, {{LEX_REEL, "-1e3"}}},
    {"5-3", 1, {{LEX_ENTIER, "5"}, {LEX_ENTIER_SIGNE, "-3"}}},
    {"A -1", 0, {{302, "A"}, {LEX_MOINS, "-"}, {LEX_ENTIER, "1"}}},
    // String literals: doubled quotes of the opening kind collapse.
    {"'It''s'", 0, {{LEX_CHAINE, "It's"}}},
    {"\"say \"\"hi\"\"\"", 0, {{LEX_CHAINE, "say \"hi\""}}},
    {"'a\"b'", 0, {{LEX_CHAINE, "a\"b"}}},
    {"'a\"\"b'", 0, {{LEX_CHAINE, "a\"\"b"}}},
    {"\"a''b\"", 0, {{LEX_CHAINE, "a''b"}}},
    {"'mIxEd Case'", 0, {{LEX_CHAINE, "mIxEd Case"}}},
    {"'a b\nc'", 0, {{LEX_CHAINE, "a b\nc"}}},
    {"''''", 0, {{LEX_CHAINE, "'"}}},
    {"'x' 'y'", 0, {{LEX_CHAINE, "x"}, {LEX_CHAINE, "y"}}},
    {"'x'=A", 0, {{LEX_CHAINE, "x"}, {LEX_EGAL, "="}, {302, "A"}}},
    // Operators need no separator, and the longer one wins.
    {"a!=b", 0, {{302, "A"}, {LEX_EXCLAMATION, "!"}, {LEX_EGAL, "="}, {302, "B"}}},
    {"a=b", 0, {{302, "A"}, {LEX_EGAL, "="}, {302, "B"}}},
    {"<>=", 0, {{LEX_DIFFERENT, "<>"}, {LEX_EGAL, "="}}},
    {"***", 0, {{LEX_PUISSANCE, "**"}, {LEX_ETOILE, "*"}}},
    {"<<<", 0, {{LEX_DECALAGE_GAUCHE, "<<"}, {LEX_INFERIEUR, "<"}}},
    {"|||", 0, {{LEX_BARRE_BARRE, "||"}, {LEX_BARRE, "|"}}},
    {"5)", 0, {{LEX_ENTIER, "5"}, {LEX_PAR_FERMANTE, ")"}}},
    {"A,B", 0, {{302, "A"}, {LEX_VIRGULE, ","}, {302, "B"}}},
};

TEST(LexerTest, ScansTokenSequences) {
  for (const SequenceCase& c : kSequences) {
    Lexer lexer;
    MessageId last = kMsgInternalError;
    std::vector<Token> tokens = ScanAll(lexer, c.input, c.signAllowed, &last);
    EXPECT_EQ(tokens, c.tokens) << "input: " << c.input;
    EXPECT_EQ(last, kLexPrematureEnd) << "input: " << c.input;
  }
}

TEST(LexerTest, EveryKeywordScansToItsPlaceInAnyCase) {
  Lexer lexer;
  for (int i = 0; i < kKeywordCount; ++i) {
    std::string upper = kKeywordTexts[i];
    std::string lower = upper;
    for (char& ch : lower) ch = static_cast<char>(tolower(static_cast<unsigned char>(ch)));
    for (const std::string& input : {upper, lower, upper + " ", upper + ";"}) {
      int16_t emptyString = 1;
      EXPECT_EQ(lexer.Scan(input.c_str(), 0, emptyString, 0),
                ParseStep::At(static_cast<int16_t>(upper.size())))
          << input;
      EXPECT_EQ(lexer.token_code(), i + 1) << input;
      EXPECT_STREQ(lexer.token_text(), kKeywordTexts[i]) << input;
      EXPECT_EQ(emptyString, 0);
    }
    // Followed by a name character, the word is another one.
    for (const char* tail : {"x", "1", "_", "'"}) {
      std::string input = upper + tail;
      int16_t emptyString = 1;
      (void)lexer.Scan(input.c_str(), 0, emptyString, 0);
      EXPECT_NE(lexer.token_code(), i + 1) << input;
    }
  }
}

TEST(LexerTest, EveryPunctuationAndOperatorIsAToken) {
  Lexer lexer;
  int16_t emptyString = 0;
  for (int i = 0; i < kPunctuationCount; ++i) {
    std::string input = std::string(kPunctuationTexts[i]) + "x";
    EXPECT_EQ(lexer.Scan(input.c_str(), 0, emptyString, 0), ParseStep::At(1)) << input;
    EXPECT_EQ(lexer.token_code(), 151 + i) << input;
    EXPECT_STREQ(lexer.token_text(), kPunctuationTexts[i]);
  }
  for (int i = 0; i < kOperatorCount; ++i) {
    // Followed by a letter: operators need no separator after them.
    std::string input = std::string(kOperatorTexts[i]) + "x";
    int16_t length = static_cast<int16_t>(strlen(kOperatorTexts[i]));
    EXPECT_EQ(lexer.Scan(input.c_str(), 0, emptyString, 0), ParseStep::At(length)) << input;
    EXPECT_EQ(lexer.token_code(), 201 + i) << input;
    EXPECT_STREQ(lexer.token_text(), kOperatorTexts[i]);
  }
}

TEST(LexerTest, CodesMatchTheirSpelling) {
  struct Named {
    int32_t code;
    const char* text;
  };
  const Named kNamed[] = {
      {LEX_ALL, "ALL"},
      {LEX_AND, "AND"},
      {LEX_AS, "AS"},
      {LEX_BETWEEN, "BETWEEN"},
      {LEX_COUNT_ETOILE, "COUNT(*)"},
      {LEX_COUNT_DISTINCT, "COUNT DISTINCT"},
      {LEX_TABLE, "TABLE"},
      {LEX_VIEW, "VIEW"},
      {LEX_CURRENT_TIME, "CURRENT TIME"},
      {LEX_CURRENT_DATE, "CURRENT DATE"},
      {LEX_DATE, "DATE"},
      {LEX_DECIMAL, "DECIMAL"},
      {LEX_DEFAULT, "DEFAULT"},
      {LEX_DELETE_FROM, "DELETE FROM"},
      {LEX_DISTINCT, "DISTINCT"},
      {LEX_DROP_TABLE, "DROP TABLE"},
      {LEX_DROP_VIEW, "DROP VIEW"},
      {LEX_EXCEPT, "EXCEPT"},
      {LEX_EXISTS, "EXISTS"},
      {LEX_FROM, "FROM"},
      {LEX_GROUP_BY, "GROUP BY"},
      {LEX_HAVING, "HAVING"},
      {LEX_INSERT_INTO, "INSERT INTO"},
      {LEX_INTERSECT, "INTERSECT"},
      {LEX_IN, "IN"},
      {LEX_IS, "IS"},
      {LEX_LIKE, "LIKE"},
      {LEX_MATCH, "MATCH"},
      {LEX_MINUTE, "MINUTE"},
      {LEX_MIN, "MIN"},
      {LEX_NOT, "NOT"},
      {LEX_NULL, "NULL"},
      {LEX_ORDER_BY, "ORDER BY"},
      {LEX_OR, "OR"},
      {LEX_SELECT, "SELECT"},
      {LEX_SET, "SET"},
      {LEX_SOME, "SOME"},
      {LEX_TIME, "TIME"},
      {LEX_UNION, "UNION"},
      {LEX_UNIQUE, "UNIQUE"},
      {LEX_UPDATE, "UPDATE"},
      {LEX_VALUES, "VALUES"},
      {LEX_WHERE, "WHERE"},
      {LEX_WITH, "WITH"},
      {LEX_YEAR, "YEAR"},
      {LEX_ASC, "ASC"},
      {LEX_DESC, "DESC"},
      {LEX_SMALLINT, "SMALLINT"},
      {LEX_DOUBLE, "DOUBLE"},
      {LEX_VARCHAR, "VARCHAR"},
      {LEX_PRIMARY_KEY, "PRIMARY KEY"},
      {LEX_PRECISION, "PRECISION"},
      {LEX_TINYINT, "TINYINT"},
      {LEX_CREATE, "CREATE"},
      {LEX_INDEX, "INDEX"},
      {LEX_ON, "ON"},
      {LEX_FOREIGN_KEY, "FOREIGN KEY"},
      {LEX_POINT, "."},
      {LEX_DEUX_POINTS, ":"},
      {LEX_POINT_VIRGULE, ";"},
      {LEX_VIRGULE, ","},
      {LEX_INTERROGATION, "?"},
      {LEX_PAR_OUVRANTE, "("},
      {LEX_PAR_FERMANTE, ")"},
      {LEX_CROCHET_OUVRANT, "["},
      {LEX_CROCHET_FERMANT, "]"},
      {LEX_PLUS, "+"},
      {LEX_MOINS, "-"},
      {LEX_PUISSANCE, "**"},
      {LEX_ETOILE, "*"},
      {LEX_DIVISE, "/"},
      {LEX_MODULO, "%"},
      {LEX_DECALAGE_DROITE, ">>"},
      {LEX_DECALAGE_GAUCHE, "<<"},
      {LEX_DIFFERENT, "<>"},
      {LEX_INFERIEUR_EGAL, "<="},
      {LEX_SUPERIEUR_EGAL, ">="},
      {LEX_INFERIEUR, "<"},
      {LEX_SUPERIEUR, ">"},
      {LEX_BARRE_BARRE, "||"},
      {LEX_ET_ET, "&&"},
      {LEX_BARRE, "|"},
      {LEX_ET_COMMERCIAL, "&"},
      {LEX_CIRCONFLEXE, "^"},
      {LEX_TILDE, "~"},
      {LEX_EXCLAMATION, "!"},
      {LEX_EGAL, "="},
  };
  Lexer lexer;
  for (const Named& n : kNamed) {
    std::string input = std::string(n.text) + " ";
    int16_t emptyString = 0;
    EXPECT_EQ(lexer.Scan(input.c_str(), 0, emptyString, 0),
              ParseStep::At(static_cast<int16_t>(strlen(n.text))))
        << n.text;
    EXPECT_EQ(lexer.token_code(), n.code) << n.text;
  }
}

struct FailureCase {
  const char* input;
  int16_t position;
  int16_t signAllowed;
  MessageId result;
  int16_t code;      // token code after the scan
  const char* text;  // token text after the scan, as scanned
};

const FailureCase kFailures[] = {
    // Only blanks remain, or no text is left at the position.
    {"", 0, 0, kLexPrematureEnd, 0, ""},
    {"  \t\r\n ", 0, 0, kLexPrematureEnd, 0, ""},
    {"abc   ", 3, 0, kLexPrematureEnd, 0, ""},
    {"abc", 3, 0, kLexPrematureEnd, 0, ""},
    {"abc", 10, 0, kLexPrematureEnd, 0, ""},
    {"abc", -1, 0, kLexPrematureEnd, 0, ""},
    // No token starts at this character.
    {"$", 0, 0, kLexUndefined, 0, ""},
    {"{d}", 0, 0, kLexUndefined, 0, ""},
    {"#a", 0, 0, kLexUndefined, 0, ""},
    {"@a", 0, 0, kLexUndefined, 0, ""},
    {"\\", 0, 0, kLexUndefined, 0, ""},
    {"\xe9t\xe9", 0, 0, kLexUndefined, 0, ""},
    {"SELECT#", 6, 0, kLexUndefined, 0, ""},
    {"-x", 0, 1, kLexUndefined, 0, ""},
    {"- 5", 0, 1, kLexUndefined, 0, ""},
    {"+", 0, 1, kLexUndefined, 0, ""},
    // Unterminated string literals.
    {"'abc", 0, 0, kLexUnterminated, 0, ""},
    {"\"abc", 0, 0, kLexUnterminated, 0, ""},
    {"'it''s", 0, 0, kLexUnterminated, 0, ""},
    {"'abc''", 0, 0, kLexUnterminated, 0, ""},
    {"'", 0, 0, kLexUnterminated, 0, ""},
    {"x  'a", 1, 0, kLexUnterminated, 0, ""},
    // Two items without a separator: the first stays described.
    {"5a", 0, 0, kLexNoSeparator, LEX_ENTIER, "5"},
    {"5_", 0, 0, kLexNoSeparator, LEX_ENTIER, "5"},
    {"7'x'", 0, 0, kLexNoSeparator, LEX_ENTIER, "7"},
    {"12Ex", 0, 0, kLexNoSeparator, LEX_ENTIER, "12E"},
    {"1.5z", 0, 0, kLexNoSeparator, LEX_NOMBRE_DECIMAL, "1.5"},
    {"1e5e", 0, 0, kLexNoSeparator, LEX_REEL, "1e5"},
    {"-5a", 0, 1, kLexNoSeparator, LEX_ENTIER_SIGNE, "-5"},
    {"'x'y", 0, 0, kLexNoSeparator, LEX_CHAINE, "x"},
    {"'x'\"y\"", 0, 0, kLexNoSeparator, LEX_CHAINE, "x"},
    {"'x'1", 0, 0, kLexNoSeparator, LEX_CHAINE, "x"},
    {"abc'd'", 0, 0, kLexNoSeparator, LEX_IDENTIFICATEUR, "abc"},
    {"IN'x'", 0, 0, kLexNoSeparator, LEX_IDENTIFICATEUR, "IN"},
    {"a = t1\"x\"", 4, 0, kLexNoSeparator, LEX_IDENTIFICATEUR, "t1"},
};

TEST(LexerTest, FailuresReportMessageAndToken) {
  for (const FailureCase& c : kFailures) {
    Lexer lexer;
    int16_t emptyString = 0;
    // A successful scan first, so that a failure visibly clears the token.
    ASSERT_TRUE(lexer.Scan("PREVIOUS", 0, emptyString, 0).ok());
    EXPECT_EQ(lexer.Scan(c.input, c.position, emptyString, c.signAllowed),
              ParseStep::Failed(c.result))
        << "input: " << c.input;
    EXPECT_EQ(lexer.token_code(), c.code) << "input: " << c.input;
    EXPECT_STREQ(lexer.token_text(), c.text) << "input: " << c.input;
  }
}

TEST(LexerTest, NullTextIsTheEnd) {
  Lexer lexer;
  int16_t emptyString = 1;
  EXPECT_EQ(lexer.Scan(nullptr, 0, emptyString, 0), ParseStep::Failed(kLexPrematureEnd));
  EXPECT_EQ(emptyString, 0);
  EXPECT_EQ(lexer.token_code(), 0);
}

TEST(LexerTest, ReturnsPositionsAfterTokensAndRestartsAnywhere) {
  Lexer lexer;
  int16_t emptyString = 0;
  const char* text = "  abc  5a  'x'";
  EXPECT_EQ(lexer.Scan(text, 0, emptyString, 0), ParseStep::At(5));
  EXPECT_EQ(lexer.Scan(text, 5, emptyString, 0), ParseStep::Failed(kLexNoSeparator));
  // The lexer keeps no cursor: back up, or jump past the fault.
  EXPECT_EQ(lexer.Scan(text, 1, emptyString, 0), ParseStep::At(5));
  EXPECT_STREQ(lexer.token_text(), "abc");
  EXPECT_EQ(lexer.Scan(text, 8, emptyString, 0), ParseStep::At(9));
  EXPECT_STREQ(lexer.token_text(), "a");
  EXPECT_EQ(lexer.Scan(text, 9, emptyString, 0), ParseStep::At(14));
  EXPECT_STREQ(lexer.token_text(), "x");
  EXPECT_EQ(lexer.Scan(text, 14, emptyString, 0), ParseStep::Failed(kLexPrematureEnd));
}

TEST(LexerTest, EmptyStringFlag) {
  Lexer lexer;
  int16_t emptyString = 0;
  EXPECT_EQ(lexer.Scan("''", 0, emptyString, 0), ParseStep::At(2));
  EXPECT_EQ(emptyString, 1);
  EXPECT_EQ(lexer.token_code(), LEX_CHAINE);
  EXPECT_STREQ(lexer.token_text(), "");
  EXPECT_EQ(lexer.Scan("\"\" x", 0, emptyString, 0), ParseStep::At(2));
  EXPECT_EQ(emptyString, 1);
  // Reset by every scan, and not set by a literal holding a quote.
  EXPECT_EQ(lexer.Scan("x", 0, emptyString, 0), ParseStep::At(1));
  EXPECT_EQ(emptyString, 0);
  EXPECT_EQ(lexer.Scan("''''", 0, emptyString, 0), ParseStep::At(4));
  EXPECT_EQ(emptyString, 0);
  EXPECT_EQ(lexer.Scan("' '", 0, emptyString, 0), ParseStep::At(3));
  EXPECT_EQ(emptyString, 0);
}

TEST(LexerTest, TakeTokenUpperCasesIdentifiersOnly) {
  Lexer lexer;
  int16_t code = -1;
  char* text = nullptr;
  // Before any scan: no token and an empty text.
  ASSERT_TRUE(lexer.TakeToken(code, text));
  EXPECT_EQ(code, 0);
  EXPECT_STREQ(text, "");
  free(text);

  int16_t emptyString = 0;
  ASSERT_TRUE(lexer.Scan("t1.Col_a", 0, emptyString, 0).ok());
  EXPECT_STREQ(lexer.token_text(), "t1.Col_a");  // stored as written
  ASSERT_TRUE(lexer.TakeToken(code, text));
  EXPECT_EQ(code, LEX_IDENTIFICATEUR);
  EXPECT_STREQ(text, "T1.COL_A");
  free(text);

  ASSERT_TRUE(lexer.Scan("'abc'", 0, emptyString, 0).ok());
  ASSERT_TRUE(lexer.TakeToken(code, text));
  EXPECT_STREQ(text, "abc");
  free(text);

  ASSERT_TRUE(lexer.Scan("1e5", 0, emptyString, 0).ok());
  ASSERT_TRUE(lexer.TakeToken(code, text));
  EXPECT_STREQ(text, "1e5");
  free(text);
}

// Scans at positions drawn from a few recent ones (as a parser trying its
// rules reads them), with and without the sign rule, over texts of every
// kind of token and failure: a lexer remembering its last scan answers
// each exactly as one that scans afresh.
TEST(LexerTest, RememberedScansAnswerAsFreshOnes) {
  const char* texts[] = {"SELECT A, B FROM T WHERE A = -5 AND B LIKE 'x''y%' ORDER BY A DESC;",
                         "INSERT INTO T VALUES (1, +2.5e3, \"q\", '', {d '2024-01-02'});",
                         "a!=b <>= *** 12E+ 1.2.3 'open", "T1.COL#2 a@b_c 5x 'x'y ?"};
  std::mt19937 rng(11);
  for (const char* text : texts) {
    Lexer remembering, fresh;
    remembering.RememberScans(true);
    int16_t length = static_cast<int16_t>(strlen(text));
    int16_t recent[2] = {0, 0};
    for (int i = 0; i < 1000; ++i) {
      int16_t position = rng() % 2 ? recent[rng() % 2] : static_cast<int16_t>(rng() % (length + 2));
      recent[i % 2] = position;
      int16_t sign = static_cast<int16_t>(rng() % 4 == 0);
      int16_t emptyA = -1, emptyB = -1;
      ParseStep a = remembering.ScanRemembered(text, position, emptyA, sign);
      ParseStep b = fresh.Scan(text, position, emptyB, sign);
      ASSERT_EQ(a, b) << text << " at " << position;
      ASSERT_EQ(emptyA, emptyB) << text << " at " << position;
      ASSERT_EQ(remembering.token_code(), fresh.token_code()) << text << " at " << position;
      ASSERT_STREQ(remembering.token_text(), fresh.token_text()) << text << " at " << position;
      ASSERT_EQ(remembering.token_length(), fresh.token_length());
      if (i % 97 == 0) {  // a token set by hand is not the scan's any more
        ASSERT_TRUE(remembering.SetTokenText(Lexer::kReplace, "zz"));
        ASSERT_TRUE(fresh.SetTokenText(Lexer::kReplace, "zz"));
      }
    }
  }
}

TEST(LexerTest, SetTokenTextReplacesAndAppends) {
  Lexer lexer;
  EXPECT_TRUE(lexer.SetTokenText(Lexer::kReplace, "abcdef"));
  EXPECT_STREQ(lexer.token_text(), "abcdef");
  EXPECT_EQ(lexer.token_capacity(), 7);
  // A shorter value reuses the buffer.
  EXPECT_TRUE(lexer.SetTokenText(Lexer::kReplace, "xy"));
  EXPECT_STREQ(lexer.token_text(), "xy");
  EXPECT_EQ(lexer.token_capacity(), 7);
  EXPECT_TRUE(lexer.SetTokenText(Lexer::kAppend, "1234"));
  EXPECT_STREQ(lexer.token_text(), "xy1234");
  EXPECT_EQ(lexer.token_capacity(), 7);
  EXPECT_TRUE(lexer.SetTokenText(Lexer::kAppend, "56"));
  EXPECT_STREQ(lexer.token_text(), "xy123456");
  EXPECT_EQ(lexer.token_capacity(), 9);
  // The value may be the token text itself, or a part of it.
  EXPECT_TRUE(lexer.SetTokenText(Lexer::kAppend, lexer.token_text()));
  EXPECT_STREQ(lexer.token_text(), "xy123456xy123456");
  EXPECT_EQ(lexer.token_length(), 16);
  EXPECT_TRUE(lexer.SetTokenText(Lexer::kReplace, lexer.token_text() + 10));
  EXPECT_STREQ(lexer.token_text(), "123456");
  EXPECT_TRUE(lexer.SetTokenText(Lexer::kReplace, nullptr));
  EXPECT_STREQ(lexer.token_text(), "");
  // Unknown modes change nothing.
  EXPECT_FALSE(lexer.SetTokenText(0, "zz"));
  EXPECT_FALSE(lexer.SetTokenText(3, "zz"));
  EXPECT_STREQ(lexer.token_text(), "");
}

TEST(LexerTest, SetTokenTextRefusesWhatTheCapacityCannotHold) {
  Lexer lexer;
  std::string big(40000, 'a');
  EXPECT_TRUE(lexer.SetTokenText(Lexer::kReplace, big.c_str()));
  EXPECT_FALSE(lexer.SetTokenText(Lexer::kAppend, big.c_str()));
  EXPECT_EQ(strlen(lexer.token_text()), big.size());
  std::string huge(70000, 'b');
  EXPECT_FALSE(lexer.SetTokenText(Lexer::kReplace, huge.c_str()));
  EXPECT_EQ(strlen(lexer.token_text()), big.size());
}

TEST(LexerTest, TextBeyondTheLargestPositionIsNotSeen) {
  Lexer lexer;
  int16_t emptyString = 0;
  // A name that runs past the largest 16-bit position ends there.
  std::string name(40000, 'A');
  EXPECT_EQ(lexer.Scan(name.c_str(), 0, emptyString, 0), ParseStep::At(Lexer::kMaxTextLength));
  EXPECT_EQ(lexer.token_code(), LEX_IDENTIFICATEUR);
  EXPECT_EQ(strlen(lexer.token_text()), static_cast<size_t>(Lexer::kMaxTextLength));
  EXPECT_EQ(lexer.Scan(name.c_str(), Lexer::kMaxTextLength, emptyString, 0),
            ParseStep::Failed(kLexPrematureEnd));

  // A literal closed only beyond it is unterminated.
  std::string literal = "'" + std::string(40000, 'x') + "'";
  EXPECT_EQ(lexer.Scan(literal.c_str(), 0, emptyString, 0), ParseStep::Failed(kLexUnterminated));

  // A token just below the limit is scanned in full.
  std::string padded = std::string(Lexer::kMaxTextLength - 2, ' ') + "ab" + "cd";
  EXPECT_EQ(lexer.Scan(padded.c_str(), 0, emptyString, 0), ParseStep::At(Lexer::kMaxTextLength));
  EXPECT_STREQ(lexer.token_text(), "ab");
}

}  // namespace
}  // namespace zksql
