// Parser tests at the statement level: every statement kind parses into its
// tree with the tables and item names it registers; every statement-level
// syntax error is reported with its message, item and 1-based position,
// framed and recorded with SQLSTATE "00123"; the keyword-prefix traps; a
// word CREATE does not know; and the side effects a failed parse keeps.
#include <gtest/gtest.h>

#include <string>

#include "parser_test_harness.h"

namespace zksql {
namespace {

using testing_support::Framed;
using testing_support::ParseRun;

// Shorthands for the trees of the cases below.
std::string Item(const std::string& token) { return "-1(" + token + ")"; }
std::string Select(const std::string& items, const std::string& from) {
  return "-24(-25(" + items + "),-6(" + from + "))";
}
std::string Column(const std::string& name) { return "-10(" + Item(name) + ")"; }
std::string Where(const std::string& name, const std::string& op, const std::string& value) {
  return "-15(-16(-17(-18(-19(-20(-21(" + Item(name) + "))),-22(" + op + "," + Item(value) +
         ")))))";
}

struct TreeCase {
  const char* sql;
  std::string tree;
  const char* tables;  // registered tables, as ParseRun::tables shows them
  const char* wanted;  // wanted item names
};

const TreeCase kStatements[] = {
    {"SELECT * FROM T;", "-27(-26(" + Select("*", "-8(T)") + "))", "T[r][a]", ""},
    {"SELECT DISTINCT A AS X FROM T1 Y WHERE A = 1 ORDER BY A DESC;",
     "-27(-26(-24(-25(DISTINCT,-9(-10(-1(A),X))),-6(-8(T1,Y))," + Where("A", "=", "1#101") +
         "),-7(A=1)))",
     "T1 Y->T1[r]", "A A A"},
    {"SELECT ALL A, T.B FROM T;", "-27(-26(" + Select("ALL,-9(" + Column("A") + "," +
                                                          Column("T.B") + ")",
                                                      "-8(T)") +
                                      "))",
     "T[r]", "A B"},
    {"SELECT A FROM T ORDER BY A DESC, B ASC, C;",
     "-27(-26(" + Select("-9(" + Column("A") + ")", "-8(T)") + ",-7(A=1,B,C)))", "T[r]", "A A B C"},
    {"SELECT A FROM T UNION SELECT B FROM U;",
     "-27(-26(" + Select("-9(" + Column("A") + ")", "-8(T)") + "),UNION,-26(" +
         Select("-9(" + Column("B") + ")", "-8(U)") + "))",
     "T[r] U[r]", "A B"},
    {"SELECT A FROM T UNION ALL SELECT B FROM U ORDER BY B;",
     "-27(-26(" + Select("-9(" + Column("A") + ")", "-8(T)") + "),UNION,ALL,-26(" +
         Select("-9(" + Column("B") + ")", "-8(U)") + ",-7(B)))",
     "T[r] U[r]", "A B B"},
    {"SELECT A FROM T EXCEPT SELECT A FROM U;",
     "-27(-26(" + Select("-9(" + Column("A") + ")", "-8(T)") + "),EXCEPT,-26(" +
         Select("-9(" + Column("A") + ")", "-8(U)") + "))",
     "T[r] U[r]", "A A"},
    {"SELECT A FROM T INTERSECT SELECT A FROM U;",
     "-27(-26(" + Select("-9(" + Column("A") + ")", "-8(T)") + "),INTERSECT,-26(" +
         Select("-9(" + Column("A") + ")", "-8(U)") + "))",
     "T[r] U[r]", "A A"},
    // FROM lists: an alias after AS or directly, with a column list; the
    // alias is the entry the statement names, based on the table.
    {"SELECT A FROM T X, U AS Y (C, D), V;",
     "-27(-26(" + Select("-9(" + Column("A") + ")", "-8(T,X),-8(U,Y,-7(C,D)),-8(V)") + "))",
     "T X->T[r] U Y->U[r] V[r]", "A C D"},
    {"SELECT * FROM T X;", "-27(-26(" + Select("*", "-8(T,X)") + "))", "T[a] X->T[r]", ""},
    {"SELECT A AS X, B FROM T;",
     "-27(-26(" + Select("-9(-10(-1(A),X)," + Column("B") + ")", "-8(T)") + "))", "T[r]", "A B"},
    {"SELECT A FROM T WHERE A = 1 GROUP BY A, B HAVING B > 2;",
     "-27(-26(-24(-25(-9(" + Column("A") + ")),-6(-8(T))," + Where("A", "=", "1#101") +
         ",-7(A,B),HAVING," + Where("B", ">", "2#101") + ")))",
     "T[r]", "A A A B B"},
    {"SELECT A FROM T GROUP BY A;",
     "-27(-26(-24(-25(-9(" + Column("A") + ")),-6(-8(T)),-7(A))))", "T[r]", "A A"},
    // Text after the ";" is never read.
    {"SELECT A FROM T; anything $ 'unterminated",
     "-27(-26(" + Select("-9(" + Column("A") + ")", "-8(T)") + "))", "T[r]", "A"},
    {"INSERT INTO T VALUES (1, 'a');", "-27(-31(T,-5(-1(1#101),-1('a'))))", "T[a]", ""},
    {"INSERT INTO T (A, B) VALUES (-1, X);", "-27(-31(T,-7(A,B),-5(-1(-1#104),-1(X))))", "T",
     "A B X"},
    {"INSERT INTO T (A) SELECT B FROM U;",
     "-27(-31(T,-7(A)," + Select("-9(" + Column("B") + ")", "-8(U)") + "))", "T U[r]", "A B"},
    {"INSERT INTO T SELECT * FROM U;", "-27(-31(T," + Select("*", "-8(U)") + "))",
     "T[a] U[r][a]", ""},
    {"UPDATE T SET A = (NULL), B = (DEFAULT);", "-27(-32(T,-11(-12(A,NULL),-12(B,DEFAULT))))",
     "T", "A B"},
    {"UPDATE T SET A = (B) WHERE C = 'x';",
     "-27(-32(T,-11(-12(A,-1(B)))," + Where("C", "=", "'x'") + "))", "T", "A B C"},
    {"DELETE FROM T;", "-27(-33(T))", "T", ""},
    {"DELETE FROM T WHERE A <> 1;", "-27(-33(T," + Where("A", "<>", "1#101") + "))", "T", "A"},
    {"DROP TABLE T;", "-27(-30(T))", "", ""},
    {"DROP TABLE T CASCADE;", "-27(-30(T,CASCADE))", "", ""},
    {"DROP VIEW V RESTRICT;", "-27(-30(V,RESTRICT))", "", ""},
    {"CREATE TABLE T (A CHAR(10) NOT NULL DEFAULT 'x', B DOUBLE PRECISION PRIMARY KEY);",
     "-27(-28(T,-13(-14(A,CHAR=10,NOT,DEFAULT(-1('x'))),-14(B,DOUBLE,PRIMARY KEY))))", "", ""},
    {"CREATE TABLE T (A DATE, B INTEGER, C TIME, D SMALLINT, E REAL, F DOUBLE, "
     "G VARCHAR(5), H BIGINT, I TINYINT WITH DEFAULT -3 FOREIGN KEY);",
     "-27(-28(T,-13(-14(A,DATE),-14(B,INTEGER),-14(C,TIME),-14(D,SMALLINT),-14(E,REAL),"
     "-14(F,DOUBLE),-14(G,VARCHAR=5),-14(H,BIGINT),-14(I,TINYINT,DEFAULT(-1(-3#104)),"
     "FOREIGN KEY))))",
     "", ""},
    {"CREATE INDEX I ON T (A);", "-27(-34(I,T,-7(A)))", "T", "A"},
    {"CREATE UNIQUE INDEX I ON T (A, B);", "-27(-34(I=1,T,-7(A,B)))", "T", "A B"},
    {"CREATE VIEW V AS SELECT A FROM T;",
     "-27(-29(V,-26(" + Select("-9(" + Column("A") + ")", "-8(T)") + ")))", "T[r]", "A"},
    {"CREATE VIEW V (X, Y) AS SELECT A, B FROM T ORDER BY A;",
     "-27(-29(V,-7(X,Y),-26(" + Select("-9(" + Column("A") + "," + Column("B") + ")", "-8(T)") +
         ",-7(A))))",
     "T[r]", "X Y A B A"},
    // Keyword-prefix traps: a word that only starts like a keyword is an
    // identifier; a multi-word keyword needs exactly one blank.
    {"SELECT SELECTED FROM INDEXES ORDER BY ASCENT ASC;",
     "-27(-26(" + Select("-9(" + Column("SELECTED") + ")", "-8(INDEXES)") + ",-7(ASCENT)))",
     "INDEXES[r]", "SELECTED ASCENT"},
    {"select a from t where inx in(1);",
     "-27(-26(-24(-25(-9(" + Column("A") + ")),-6(-8(T)),-15(-16(-17(-18(-19(-20(-21(-1(INX)))),"
     "-22(IN,-23(-5(-1(1#101)))))))))))",
     "T[r]", "A INX"},
};

class StatementTreeTest : public ::testing::TestWithParam<TreeCase> {};

TEST_P(StatementTreeTest, ParsesIntoTheTreeAndRegistersItsNames) {
  const TreeCase& c = GetParam();
  ParseRun run(c.sql);
  EXPECT_EQ(run.error(), "");
  EXPECT_EQ(run.state(), "-----");
  EXPECT_EQ(run.tree(), c.tree);
  EXPECT_EQ(run.tables(), c.tables);
  EXPECT_EQ(run.wanted(), c.wanted);
}

INSTANTIATE_TEST_SUITE_P(EveryStatementKind, StatementTreeTest, ::testing::ValuesIn(kStatements));

struct ErrorCase {
  const char* sql;
  int32_t message;
  const char* item;
  int position;  // as shown, counting from 1
};

const ErrorCase kStatementErrors[] = {
    {"SELECT A FRM T;", 4267, "FRM", 9},
    // Without any ";" the statement is unfinished at its end.
    {"select a from t", 4262, "", 16},
    {"", 4245, "", 1},
    {"   \t\r\n ", 4245, "", 1},
    {"FOO;", 4259, "FOO", 1},
    {"$;", 4245, "", 1},
    {"SELECT A FROM T UNION SELECT B FROM U UNION SELECT C FROM V;", 4262, "UNION", 38},
    {"SELECT A FROM T UNION;", 4266, ";", 22},
    {"SELECT A FROM T UNION", 4259, "", 22},
    {"SELECT;", 4272, ";", 7},
    {"SELECT FROM T;", 4272, "FROM", 7},
    {"SELECT DISTINCT * FROM T;", 4272, "*", 16},
    {"SELECT A, FROM T;", 4268, "FROM", 10},
    {"SELECT A B FROM T;", 4267, "B", 9},
    {"SELECT COUNT(A) FROM T;", 4267, "(", 13},
    {"SELECT A AS 1 FROM T;", 4257, "1", 12},
    {"SELECT A FROM;", 4257, ";", 14},
    {"SELECT A FROM T AS;", 4257, ";", 19},
    {"SELECT A FROM T X (B;", 4250, ";", 21},
    {"SELECT A FROM T X (1);", 4270, "1", 20},
    {"SELECT A FROM T X (B, 2);", 4270, "2", 22},
    {"SELECT A FROM T ORDER  BY A;", 4262, "BY", 22},
    {"SELECT A FROM T HAVING A = 1;", 4262, "HAVING", 16},
    {"SELECT A FROM T GROUP BY A WHERE A = 1;", 4262, "WHERE", 27},
    {"SELECT A FROM T GROUP BY;", 4257, ";", 25},
    {"SELECT A FROM T GROUP BY A,;", 4257, ";", 28},
    {"SELECT A FROM T GROUP BY A HAVING;", 4268, ";", 34},
    {"SELECT A FROM T ORDER BY 1;", 4257, "1", 25},
    {"SELECT A FROM T ORDER BY A,;", 4256, ";", 28},
    {"SELECT A FROM T ORDER BY A DESC B;", 4262, "B", 32},
    {"INSERT INTO 1 VALUES (1);", 4257, "1", 12},
    {"INSERT INTO T;", 4259, ";", 14},
    {"INSERT INTO T", 4259, "", 14},
    // A missing token after the column list records no position of its own.
    {"INSERT INTO T (A)", 4259, "<?>", 0},
    {"INSERT INTO T (A, 1) VALUES (1);", 4257, "1", 18},
    {"INSERT INTO T (A VALUES (1);", 4250, "VALUES", 17},
    {"INSERT INTO T VALUES 1;", 4251, "1", 21},
    {"INSERT INTO T VALUES (1;", 4250, ";", 24},
    {"INSERT INTO T VALUES ();", 4268, ")", 23},
    {"INSERT INTO T VALUES (NULL);", 4268, "NULL", 23},
    {"INSERT INTO T (A) FROM U;", 4259, "FROM", 18},
    {"UPDATE T A = (1);", 4259, "A", 9},
    {"UPDATE 5 SET A = (1);", 4257, "5", 7},
    {"UPDATE T SET A (1);", 4258, "(", 15},
    {"UPDATE T SET A = 1;", 4251, "1", 17},
    {"UPDATE T SET A = ();", 4268, ")", 19},
    {"UPDATE T SET A = (", 4271, "", 19},
    {"UPDATE T SET A = (1;", 4250, ";", 20},
    {"UPDATE T SET A = (1), ;", 4257, ";", 22},
    {"UPDATE T SET A = (1) WHERE;", 4268, ";", 27},
    {"DELETE FROM;", 4257, ";", 12},
    {"DELETE FROM T WHERE A = ;", 4273, ";", 24},
    {"DELETE FROM T A;", 4262, "A", 14},
    {"DROP TABLE;", 4257, ";", 11},
    {"DROP VIEW V CASCADE RESTRICT;", 4262, "RESTRICT", 20},
    {"CREATE FOO;", 4259, "FOO", 7},
    {"CREATE;", 4262, "", 8},
    {"CREATE UNIQUE TABLE T (A INTEGER);", 4297, "TABLE", 14},
    {"CREATE UNIQUE;", 4297, ";", 14},
    {"CREATE INDEX I T (A);", 4296, "T", 15},
    {"CREATE INDEX I ON (A);", 4257, "I", 13},
    {"CREATE INDEX I ON T A;", 4251, "A", 20},
    {"CREATE INDEX I ON T (A;", 4250, ";", 23},
    {"CREATE TABLE (A INTEGER);", 4257, "(", 13},
    {"CREATE TABLE T A INTEGER;", 4251, "A", 15},
    {"CREATE TABLE T ();", 4257, ")", 17},
    {"CREATE TABLE T (A INTEGER;", 4250, ";", 26},
    {"CREATE TABLE T (A INTEGER,);", 4257, ")", 27},
    {"CREATE TABLE T (A CHAR 10);", 4251, "10", 23},
    {"CREATE TABLE T (A CHAR(X));", 4254, "X", 24},
    {"CREATE TABLE T (A CHAR(1.5));", 4254, "1.5", 24},
    {"CREATE TABLE T (A CHAR(10);", 4250, ";", 27},
    {"CREATE TABLE T (A NUMBER);", 4252, "NUMBER", 18},
    {"CREATE TABLE T (A DECIMAL);", 4252, "DECIMAL", 18},
    {"CREATE TABLE T (A FLOAT);", 4252, "FLOAT", 18},
    {"CREATE TABLE T (A);", 4252, ")", 18},
    {"CREATE TABLE T (A INTEGER NOT 5);", 4264, "5", 30},
    {"CREATE TABLE T (A INTEGER WITH 5);", 4265, "5", 31},
    {"CREATE TABLE T (A INTEGER DEFAULT NULL);", 4268, "NULL", 34},
    {"CREATE TABLE T (A INTEGER DEFAULT 'x);", 4247, "", 34},
    {"CREATE TABLE T (A INTEGER UNIQUE);", 4250, "UNIQUE", 26},
    {"CREATE VIEW V SELECT A FROM T;", 4259, "SELECT", 14},
    {"CREATE VIEW V", 4259, "", 14},
    {"CREATE VIEW V (X) SELECT A FROM T;", 4259, "SELECT", 18},
    {"CREATE VIEW V (X AS SELECT A FROM T;", 4250, "AS", 17},
    {"CREATE VIEW V AS DELETE FROM T;", 4266, "DELETE FROM", 17},
    // The item of a failed scan is what the lexer kept: the literal when a
    // separator is missing.
    {"SELECT A FROM T WHERE A = 5a;", 4273, "5", 26},
};

class StatementErrorTest : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(StatementErrorTest, IsReportedFramedWithItemAndPosition) {
  const ErrorCase& c = GetParam();
  ParseRun run(c.sql);
  EXPECT_EQ(run.root(), nullptr);
  EXPECT_EQ(run.error(), Framed(c.message, c.item, c.position));
  EXPECT_EQ(run.state(), "00123");
}

INSTANTIATE_TEST_SUITE_P(StatementRules, StatementErrorTest, ::testing::ValuesIn(kStatementErrors));

TEST(SyntaxReportTest, FramesTheMessageAsTheCatalogueWritesIt) {
  ParseRun run("SELECT A FRM T;");
  EXPECT_EQ(run.error(), "  'FROM' attendu\n\n Item : 'FRM'\n Position : 9");
  EXPECT_EQ(run.errorPosition(), 8);
}

TEST(SyntaxReportTest, ShowsIdentifiersInUpperCaseAndStringsWithoutQuotes) {
  ParseRun lower("select a frm t;");
  EXPECT_EQ(lower.error(), Framed(4267, "FRM", 9));
  ParseRun literal("SELECT A FROM T 'it''s';");
  EXPECT_EQ(literal.error(), Framed(4262, "it's", 16));
}

TEST(SyntaxReportTest, ALongItemIsShortenedSoThatThePositionStays) {
  std::string name(600, 'X');
  ParseRun run("SELECT A FROM T WHERE A = 1 " + name + ";");
  std::string error = run.error();
  EXPECT_LE(error.size(), 254u);
  std::string tail = "...'\n Position : 28";
  ASSERT_GE(error.size(), tail.size());
  EXPECT_EQ(error.substr(error.size() - tail.size()), tail);
  EXPECT_EQ(error.substr(0, 40), Framed(4262, name.c_str(), 28).substr(0, 40));

  // An item that fits is shown whole.
  std::string shortName(150, 'Y');
  ParseRun fits("SELECT A FROM T WHERE A = 1 " + shortName + ";");
  EXPECT_EQ(fits.error(), Framed(4262, shortName.c_str(), 28));
}

TEST(CreateDispatchTest, AWordCreateDoesNotKnowBuildsNoStatementAndIsRefused) {
  ParseRun run("CREATE FOO;");
  EXPECT_EQ(run.root(), nullptr);
  EXPECT_EQ(run.error(), Framed(4259, "FOO", 7));
  EXPECT_EQ(run.state(), "00123");
}

TEST(RegistrationTest, SubSelectsRegisterTheirTablesAndResetSelectAll) {
  ParseRun outerStar("SELECT * FROM T WHERE EXISTS (SELECT C FROM U);");
  EXPECT_EQ(outerStar.tables(), "T[r][a] U[r]");
  EXPECT_EQ(outerStar.wanted(), "C");
  ParseRun innerStar("SELECT A FROM T WHERE B IN (SELECT * FROM U X);");
  EXPECT_EQ(innerStar.tables(), "T[r] U[a] X->U[r]");
  EXPECT_EQ(innerStar.wanted(), "A B");
}

TEST(RegistrationTest, ATableNamedTwiceIsOneEntry) {
  ParseRun run("SELECT A FROM T, t X WHERE B IN (SELECT C FROM T);");
  EXPECT_EQ(run.tables(), "T[r] X->T[r]");
}

TEST(RegistrationTest, AFailedParseKeepsWhatItRegistered) {
  ParseRun run("SELECT A, B FROM T, U WHERE C = ;");
  EXPECT_EQ(run.root(), nullptr);
  EXPECT_EQ(run.tables(), "T[r] U[r]");
  EXPECT_EQ(run.wanted(), "A B C");
}

// An ORDER BY name is wanted: it may name a column the select list does not
// read.
TEST(RegistrationTest, OrderByNamesAreRegisteredNamesOfCreatedObjectsAreNot) {
  ParseRun order("SELECT A FROM T ORDER BY B;");
  EXPECT_EQ(order.wanted(), "A B");
  ParseRun table("CREATE TABLE N (A INTEGER DEFAULT B);");
  EXPECT_EQ(table.tables(), "");
  EXPECT_EQ(table.wanted(), "B");  // the default is a simple item like any other
  ParseRun drop("DROP TABLE T;");
  EXPECT_EQ(drop.tables(), "");
}

}  // namespace
}  // namespace zksql
