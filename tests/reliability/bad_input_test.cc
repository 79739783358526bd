// Bad input through the exports, on the real engine: statements at and past
// the working buffer, names, texts and index lists past their fields,
// nesting past the parser's bound, bytes of every value, null pointers and
// calls out of order. Each is answered with a status and, where a request
// is handed back, a clear message, never a crash; and the rows already in
// the database are all still there afterwards.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "reliability_host.h"

namespace zksql_reliability {
namespace {

using Rows = std::vector<std::string>;

std::string Repeat(const std::string& piece, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += piece;
  return out;
}

// `text` padded with blanks to exactly `length` characters.
std::string PaddedTo(std::string text, size_t length) {
  text.resize(length, ' ');
  return text;
}

std::string Name(char first, size_t length) {
  return std::string(1, first) + std::string(length - 1, 'X');
}

const char kSyntaxError[] = " Erreur de syntaxe";
const char kTooLong[] = " Instruction SQL trop longue : 16382 caract\xE8res au plus";
const char kNameTooLong[] = "Nom incorrect ou trop long (30 caract\xE8res au plus)";
const char kColumnTooLong[] = "trop grande (32767 au plus)";
const char kTooDeep[] = "(plus de 200 niveaux d'imbrication)";

// One bad input: the statement, its status and, when it fails, a piece of
// the message it must carry; a statement that runs may have the rows it
// must give checked.
struct Case {
  std::string what;
  std::string sql;
  int16_t status;
  std::string message;  // expected inside the error text ("" = no error)
  Rows rows;
  bool checkRows;
};

Case Runs(std::string what, std::string sql) {
  return {what, sql, 0, "", {}, false};
}
Case Gives(std::string what, std::string sql, Rows rows) {
  return {what, sql, 0, "", rows, true};
}
Case Fails(std::string what, std::string sql, std::string message) {
  return {what, sql, -1, message, {}, false};
}

// The table every case runs against, filled before each and checked after.
const Rows kBaseRows = {"1|un", "2|deux", "3|trois"};

class BadInputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(host_.ok());
    ASSERT_EQ(host_.Run("CREATE TABLE T (K INTEGER PRIMARY KEY, V CHAR(20))").status, 0);
    for (const char* sql : {"INSERT INTO T VALUES (1, 'un')", "INSERT INTO T VALUES (2, 'deux')",
                            "INSERT INTO T VALUES (3, 'trois')"})
      ASSERT_EQ(host_.Run(sql).status, 0);
  }

  // Runs the cases; after each the base rows are all still in T.
  void RunCases(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
      SCOPED_TRACE(c.what);
      Outcome o = host_.Run(c.sql);
      EXPECT_EQ(o.status, c.status) << o.error;
      EXPECT_TRUE(o.requestHandedBack);
      if (c.status == 0) {
        EXPECT_EQ(o.error, "");
        EXPECT_EQ(o.sqlState, "00000");
      } else {
        EXPECT_NE(o.error.find(c.message), std::string::npos) << o.error;
        EXPECT_NE(o.sqlState, "00000");
        EXPECT_LE(o.error.size(), 254u);
      }
      if (c.checkRows) {
        EXPECT_EQ(o.rows, c.rows);
      }
      Outcome all = host_.Run("SELECT K, V FROM T WHERE K <= 3");
      EXPECT_EQ(all.rows, kBaseRows) << "rows lost after: " << c.what;
      ++cases_;
    }
  }

  void TearDown() override { RecordProperty("cases", cases_); }

  ScratchDir dir_;
  Host host_{dir_.path()};
  int cases_ = 0;
};

TEST_F(BadInputTest, StatementLengthsAroundTheWorkingBuffer) {
  const std::string select = "SELECT K, V FROM T WHERE K = 2";
  RunCases({
      Gives("16382 characters run", PaddedTo(select, 16382), {"2|deux"}),
      Gives("a ';' as the 16382nd character", PaddedTo(select, 16381) + ";", {"2|deux"}),
      Fails("16383 characters are refused", PaddedTo(select, 16383), kTooLong),
      Fails("100000 characters are refused", PaddedTo(select, 100000), kTooLong),
      Fails("an INSERT of 16383 characters writes nothing",
            PaddedTo("INSERT INTO T VALUES (9, 'neuf')", 16383), kTooLong),
  });
  EXPECT_EQ(host_.Run("SELECT K FROM T WHERE K = 9").rows, Rows{});
}

TEST_F(BadInputTest, NamesPastThirtyCharacters) {
  const std::string name30 = Name('N', JX_NAME_MAX_LENGTH);
  const std::string name31 = Name('N', JX_NAME_MAX_LENGTH + 1);
  RunCases({
      Runs("a table of 30 characters is made", "CREATE TABLE " + name30 + " (A INTEGER)"),
      Fails("a table of 31 characters", "CREATE TABLE " + name31 + " (A INTEGER)", kNameTooLong),
      Fails("a column of 31 characters", "CREATE TABLE U (" + name31 + " INTEGER)", kNameTooLong),
      Fails("an index of 31 characters", "CREATE INDEX " + name31 + " ON T (V)", kNameTooLong),
      Fails("a 1000-character table in a SELECT", "SELECT K FROM " + Name('Z', 1000),
            " Table 'ZXXX"),
      Fails("a 1000-character column in a SELECT", "SELECT " + Name('Z', 1000) + " FROM T",
            " R\xE9"
            "f\xE9rence \xE0 une rubrique ('ZXXX"),
      Fails("a 1000-character table in an INSERT", "INSERT INTO " + Name('Z', 1000) + " VALUES (1)",
            " Table 'ZXXX"),
      // A name the table does not have is skipped with its value.
      Runs("a 1000-character column in an UPDATE changes nothing",
           "UPDATE T SET " + Name('Z', 1000) + " = (1) WHERE K = 1"),
  });
  EXPECT_EQ(host_.Run("SELECT A FROM " + name30).status, 0);
}

TEST_F(BadInputTest, LongTextsAreCutToTheirColumnOrCompareWhole) {
  const std::string text300(300, 'x');
  RunCases({
      Runs("a 300-character text into CHAR(20) is cut",
           "INSERT INTO T VALUES (10, '" + text300 + "')"),
      Gives("and reads back cut", "SELECT V FROM T WHERE K = 10", {std::string(20, 'x')}),
      Gives("a 300-character text compares", "SELECT K FROM T WHERE V = '" + text300 + "'", {}),
      Gives("a 300-character LIKE pattern", "SELECT K FROM T WHERE V LIKE '" + text300 + "%'", {}),
      Runs("a table with a 400-character column", "CREATE TABLE L (K INTEGER, V CHAR(400))"),
      Runs("takes 300 characters whole", "INSERT INTO L VALUES (1, '" + text300 + "')"),
      Gives("and gives them back", "SELECT V FROM L", {text300}),
      Gives("found by a 300-character key text", "SELECT K FROM L WHERE V = '" + text300 + "'",
            {"1"}),
      Fails("a 2000-character unknown name in an error is cut to the message buffer",
            "SELECT K FROM T WHERE " + Name('Q', 2000) + " = 1", "QXXX"),
      Fails("an unterminated 5000-character text",
            "SELECT K FROM T WHERE V = '" + std::string(5000, 'y'), ""),
  });
}

TEST_F(BadInputTest, IndexListsPastTheirField) {
  // 23 names of the greatest length (30 characters) joined with "," take
  // 712 bytes: they fit the 714-byte field with its terminator; 24 take 743
  // and do not.
  std::string columns;
  std::string definitions;
  for (int i = 0; i < 24; ++i) {
    std::string name = Name(char('A' + i), JX_NAME_MAX_LENGTH);
    definitions += (i ? ", " : "") + name + " TINYINT";
    columns += (i ? "," : "") + name;
  }
  std::string fits = columns.substr(0, 23 * (JX_NAME_MAX_LENGTH + 1) - 1);
  RunCases({
      Runs("a table of 24 long-named columns", "CREATE TABLE W (" + definitions + ")"),
      Fails("an index over all 24 names", "CREATE INDEX WI ON W (" + columns + ")",
            "d\xE9passe 713 caract\xE8res"),
      Runs("an index over 23 names fits its field", "CREATE INDEX WJ ON W (" + fits + ")"),
  });
}

TEST_F(BadInputTest, ColumnSizesAndListsAtTheirBounds) {
  std::string inList = "SELECT K FROM T WHERE K IN (";
  while (inList.size() + 4 < 16382) inList += "7, ";
  inList += "2)";
  RunCases({
      Fails("a 64 KiB text column", "CREATE TABLE B (V CHAR(65536))", kColumnTooLong),
      Fails("a 40000-character text column", "CREATE TABLE B (V CHAR(40000))", kColumnTooLong),
      // The engine keeps a text's terminator in its 16-bit size: 32767
      // characters do not fit, 20000 do.
      Fails("a 32767-character text column", "CREATE TABLE B (V CHAR(32767))",
            "Taille incorrecte pour la colonne V : 32767"),
      Runs("a 20000-character text column", "CREATE TABLE B (V CHAR(20000))"),
      Runs("takes a 16000-character text",
           "INSERT INTO B VALUES ('" + std::string(16000, 'b') + "')"),
      Gives("and gives it back", "SELECT V FROM B", {std::string(16000, 'b')}),
      Gives("the longest IN list that fits the buffer", inList, {"2"}),
      Fails("one more item does not fit", PaddedTo(inList, 16383), kTooLong),
  });
}

TEST_F(BadInputTest, NestingPastTheParsersBound) {
  auto parenthesised = [](int depth) {
    return "SELECT K FROM T WHERE " + Repeat("(", depth) + "K = 1" + Repeat(")", depth);
  };
  // Each level reads T under an alias of its own.
  auto nested = [](int depth) {
    std::string sql;
    for (int i = 0; i < depth; ++i) {
      std::string a = "A" + std::to_string(i);
      sql += "SELECT " + a + ".K FROM T " + a + " WHERE " + a + ".K IN (";
    }
    return sql + "SELECT K FROM T" + Repeat(")", depth);
  };
  // AND and OR alternating at every level, over two tables: the join path
  // reduces the deepest such clause the parser takes.
  auto alternating = [](int depth) {
    std::string condition = "T.K = X.K";
    for (int i = 0; i < depth; ++i) {
      condition = "T.K = X.K " + std::string(i % 2 ? "AND" : "OR") + " (" + condition + ")";
    }
    return "SELECT T.K FROM T, T X WHERE T.K = X.K AND (" + condition + ") ORDER BY K";
  };
  RunCases({
      Gives("190 parentheses", parenthesised(190), {"1"}),
      Fails("300 parentheses", parenthesised(300), kTooDeep),
      Fails("5000 parentheses", parenthesised(5000), kTooDeep),
      Fails("8000 opening parentheses alone", "SELECT K FROM T WHERE " + Repeat("(", 8000),
            kTooDeep),
      Gives("20 nested sub-selects", nested(20), {"1", "2", "3"}),
      Fails("300 nested sub-selects", nested(300), kTooDeep),
      Fails("3000 NOTs", "SELECT K FROM T WHERE " + Repeat("NOT ", 3000) + "K = 1", kTooDeep),
      Gives("196 levels of AND and OR over two tables", alternating(196), {"1", "2", "3"}),
      Fails("197 levels of AND and OR over two tables", alternating(197), kTooDeep),
  });
}

TEST_F(BadInputTest, BytesOfEveryValue) {
  // Every byte but NUL and the apostrophe inside a text, high bytes and
  // control characters among the words, and each byte alone as a
  // statement.
  std::string all;
  for (int b = 1; b < 256; ++b) {
    if (b != '\'') all.push_back(static_cast<char>(b));
  }
  std::vector<Case> cases = {
      Runs("a table for every byte", "CREATE TABLE O (K INTEGER, V CHAR(300))"),
      Runs("a text of every byte", "INSERT INTO O VALUES (1, '" + all + "')"),
      Fails("high bytes in a name", "SELECT K FROM T\xE9\xFF", ""),
      Fails("a control character in a name", "SELECT K\x01 FROM T", ""),
      Gives("tabs and line ends between words", "SELECT\tK\r\nFROM\tT\nWHERE K=1", {"1"}),
      Fails("a form feed is no blank", "SELECT K FROM\fT", "Identificateur attendu"),
      Fails("high bytes between words", "SELECT K \x80\x81 FROM T", ""),
      Gives("a NUL ends the statement", std::string("SELECT K FROM T WHERE K = 1\0garbage", 35),
            {"1"}),
  };
  for (int b = 1; b < 256; ++b) {
    std::string sql(1, static_cast<char>(b));
    bool blank =
        b == ' ' || b == '\t' || b == '\n' || b == '\r' || b == '\f' || b == '\v' || b == ';';
    if (!blank) cases.push_back(Fails("the byte " + std::to_string(b) + " alone", sql, ""));
  }
  RunCases(cases);
  Outcome back = host_.Run("SELECT V FROM O");
  ASSERT_EQ(back.rows.size(), 1u);
  // Blanks at the end of a text are not kept; everything else comes back.
  EXPECT_EQ(back.rows[0], all.substr(0, all.find_last_not_of(' ') + 1));
}

// The exports given null pointers and called out of order, on requests of
// the real engine: each call answers its status and leaves the database
// as it was.
TEST_F(BadInputTest, NullPointersAndCallsOutOfOrder) {
  char sql[64] = "SELECT K, V FROM T";
  ZKSQLResultInfo info;
  void* request = reinterpret_cast<void*>(1);
  EXPECT_EQ(ZKSQLExecReq(&request, sql, nullptr, host_.handle(), nullptr), -1);
  EXPECT_EQ(ZKSQLExecReq(&request, nullptr, &info, host_.handle(), nullptr), -1);
  EXPECT_EQ(ZKSQLExecReq(nullptr, sql, &info, host_.handle(), nullptr), -1);

  // A failed statement's request has no rows to give.
  char bad[32] = "SELECT K FROM NULLE";
  void* failed = nullptr;
  ASSERT_EQ(ZKSQLExecReq(&failed, bad, &info, host_.handle(), nullptr), -1);
  ASSERT_NE(failed, nullptr);
  char line[64] = "junk";
  void* memo = reinterpret_cast<void*>(1);
  EXPECT_EQ(ZKSQLFetchNext(failed), -1);
  EXPECT_EQ(ZKSQLValLine(failed, "|", line), -1);
  EXPECT_EQ(ZKSQLValLineN(failed, "|", line, sizeof line), -1);
  EXPECT_EQ(ZKSQLGetLongData(failed, 1, &memo), -1);
  EXPECT_EQ(memo, nullptr);
  EXPECT_EQ(ZKSQLFinRequete(failed), 0);
  EXPECT_EQ(ZKSQLFinRequete(failed), -1);

  // A SELECT's request: null buffers, bad sizes and columns, past the end.
  void* select = nullptr;
  ASSERT_EQ(ZKSQLExecReq(&select, sql, &info, host_.handle(), nullptr), 0);
  ASSERT_EQ(info.rowCount, 3);
  // Before the first row and past the last, the row text is whatever the
  // buffer holds: never more than the host's buffer.
  int16_t early = ZKSQLValLineN(select, "|", line, sizeof line);
  EXPECT_TRUE(early == 0 || early == -1);
  EXPECT_NE(memchr(line, '\0', sizeof line), nullptr);
  ASSERT_EQ(ZKSQLFetchNext(select), 0);
  EXPECT_EQ(ZKSQLValLine(select, "|", nullptr), -1);
  EXPECT_EQ(ZKSQLValLineN(select, "|", nullptr, 64), -1);
  EXPECT_EQ(ZKSQLValLineN(select, "|", line, 0), -1);
  EXPECT_EQ(ZKSQLValLineN(select, "|", line, -5), -1);
  EXPECT_EQ(ZKSQLValLineN(select, "|", line, 3), -1);
  EXPECT_STREQ(line, "1|");
  EXPECT_EQ(ZKSQLValLineN(select, nullptr, line, sizeof line), 0);
  EXPECT_STREQ(line, "1\tun");
  EXPECT_EQ(ZKSQLGetLongData(select, 1, nullptr), -1);
  for (int16_t column : {-1, 0, 1, 2, 3, 32767}) {
    memo = reinterpret_cast<void*>(1);
    EXPECT_EQ(ZKSQLGetLongData(select, column, &memo), -1) << column;
    EXPECT_EQ(memo, nullptr) << column;
  }
  EXPECT_EQ(ZKSQLErreur(select, nullptr, nullptr), 0);
  EXPECT_EQ(ZKSQLFetchNext(select), 0);
  EXPECT_EQ(ZKSQLFetchNext(select), 0);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(ZKSQLFetchNext(select), -1) << "past the end";
  int16_t late = ZKSQLValLineN(select, "|", line, sizeof line);
  EXPECT_TRUE(late == 0 || late == -1);
  EXPECT_NE(memchr(line, '\0', sizeof line), nullptr);
  EXPECT_EQ(ZKSQLFinRequete(select), 0);
  EXPECT_EQ(ZKSQLFinRequete(select), -1);
  EXPECT_EQ(ZKSQLFetchNext(select), -1);
  EXPECT_EQ(ZKSQLErreur(select, line, line), -1);
  EXPECT_EQ(ZKSQLErreur(nullptr, line, line), -1);
  EXPECT_EQ(ZKSQLFinRequete(nullptr), -1);

  // A statement on a handle the engine does not know fails cleanly.
  char insert[64] = "INSERT INTO T VALUES (8, 'huit')";
  void* orphan = nullptr;
  EXPECT_EQ(ZKSQLExecReq(&orphan, insert, &info, 987654, nullptr), -1);
  if (orphan != nullptr) {
    EXPECT_EQ(ZKSQLFinRequete(orphan), 0);
  }
  EXPECT_EQ(host_.Run("SELECT K, V FROM T").rows, kBaseRows);
}

}  // namespace
}  // namespace zksql_reliability
