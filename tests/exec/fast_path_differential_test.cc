// Fast paths against the plain algorithms, through whole statements: random
// tables on the real engine are queried with random DISTINCT, comparison,
// join, IN (sub-select) and ORDER BY statements, once with the fast paths
// on and once with them off. Both runs must give the same rows in the same
// order (also without ORDER BY) and the same message and SQLSTATE. They
// need the real engine: built without it, there is nothing to run.
#ifdef JXENGINE_PATH

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "../storage/engine_database.h"
#include "base/fast_paths.h"
#include "zksql.h"

namespace zksql {
namespace {

struct Answer {
  std::string error;
  std::string state;
  std::vector<std::string> rows;
  bool operator==(const Answer& o) const {
    return error == o.error && state == o.state && rows == o.rows;
  }
};

class FastPathDifferentialTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(db_.ok()); }

  Answer Run(const std::string& sql) {
    std::string text = sql;
    text.resize(text.size() + 16, '\0');
    void* request = nullptr;
    ZKSQLResultInfo info{};
    ZKSQLExecReq(&request, &text[0], &info, db_.handle(), nullptr);
    Answer a;
    char message[256] = "";
    char state[6] = "";
    ZKSQLErreur(request, message, state);
    a.error = message;
    a.state = state;
    std::vector<char> line(1 << 16);
    while (ZKSQLFetchNext(request) == 0) {
      if (ZKSQLValLineN(request, "|", line.data(), static_cast<int32_t>(line.size())) != 0) break;
      a.rows.push_back(line.data());
    }
    ZKSQLFinRequete(request);
    return a;
  }

  // Runs `sql` with the fast paths on (the answer in *fast), then off:
  // both must give the same rows in the same order and the same message.
  ::testing::AssertionResult AlikeBothWays(const std::string& sql, Answer* fast) {
    *fast = Run(sql);
    Answer plain;
    {
      FastPathsOff off;
      plain = Run(sql);
    }
    if (*fast == plain) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << sql << "\nfast: " << fast->error << " (" << fast->rows.size()
           << " rows)\nplain: " << plain.error << " (" << plain.rows.size() << " rows)";
  }

  void MustRun(const std::string& sql) {
    Answer a = Run(sql);
    ASSERT_EQ(a.error, "") << sql;
  }

  EngineDatabase db_;
};

// Values that meet at the edges of the fast paths: whole numbers and
// their neighbours a millionth away, negative zero, texts equal but for
// trailing blanks or accents.
std::string NumberLiteral(std::mt19937& random) {
  static const char* const kNumbers[] = {"0",       "-0",       "1",        "2",   "3",
                                         "-1",      "7",        "0.000001", "1.5", "2.0",
                                         "1000000", "2.000001", "-2",       "12"};
  return kNumbers[random() % (sizeof kNumbers / sizeof kNumbers[0])];
}

std::string TextLiteral(std::mt19937& random) {
  static const char* const kTexts[] = {"'a'", "'b'", "'a '", "'\xE9t\xE9'", "'ete'", "''", "'ab'"};
  return kTexts[random() % (sizeof kTexts / sizeof kTexts[0])];
}

TEST_F(FastPathDifferentialTest, RandomQueriesAnswerAlikeWithAndWithoutFastPaths) {
  std::mt19937 random(20261210);
  ASSERT_NO_FATAL_FAILURE(MustRun("CREATE TABLE T (A INTEGER, B DOUBLE, S CHAR(6), D DATE)"));
  ASSERT_NO_FATAL_FAILURE(MustRun("CREATE TABLE U (K INTEGER, C DOUBLE, R CHAR(6), E DATE)"));
  ASSERT_NO_FATAL_FAILURE(MustRun("CREATE TABLE W (M INTEGER, N CHAR(6))"));
  for (int i = 0; i < 30; ++i) {
    ASSERT_NO_FATAL_FAILURE(MustRun("INSERT INTO W VALUES (" + std::to_string(random() % 10) +
                                    ", " + TextLiteral(random) + ")"));
  }
  auto date = [&] { return std::string(random() % 2 ? "'20240229'" : "'20240301'"); };
  for (int i = 0; i < 60; ++i) {
    ASSERT_NO_FATAL_FAILURE(MustRun("INSERT INTO T VALUES (" + std::to_string(random() % 8) + ", " +
                                    NumberLiteral(random) + ", " + TextLiteral(random) + ", " +
                                    date() + ")"));
    ASSERT_NO_FATAL_FAILURE(MustRun("INSERT INTO U VALUES (" + std::to_string(random() % 8) + ", " +
                                    NumberLiteral(random) + ", " + TextLiteral(random) + ", " +
                                    date() + ")"));
  }
  // Deleted records leave gaps that every walk by number steps over.
  ASSERT_NO_FATAL_FAILURE(MustRun("DELETE FROM T WHERE A = 3"));
  ASSERT_NO_FATAL_FAILURE(MustRun("DELETE FROM U WHERE K = 5"));
  const char* const kOps[] = {"=", "<>", "<", ">", "<=", ">="};
  auto op = [&] { return std::string(kOps[random() % 6]); };
  auto shape = [&](int kind) -> std::string {
    switch (kind) {
      case 0:
        return "SELECT DISTINCT A, S FROM T";
      case 1:
        return "SELECT DISTINCT B FROM T WHERE B " + op() + " " + NumberLiteral(random);
      case 2:
        return "SELECT A, B, S FROM T WHERE B " + op() + " " + NumberLiteral(random) + " OR A " +
               op() + " " + NumberLiteral(random);
      case 3:
        return "SELECT T.A, U.C FROM T, U WHERE T.A = U.K AND U.C " + op() + " " +
               NumberLiteral(random);
      case 4:
        return "SELECT T.S, U.R FROM U, T WHERE T.B = U.C";
      case 5:
        return "SELECT A, S FROM T WHERE B IN (SELECT C FROM U WHERE K " + op() + " " +
               std::to_string(random() % 8) + ")";
      case 6:
        return "SELECT A, S FROM T WHERE S IN (SELECT R FROM U)";
      case 7:
        return "SELECT DISTINCT S, B FROM T ORDER BY S, B DESC";
      case 8:
        // One value or several: "=" holds for exactly one equal value.
        return "SELECT A FROM T WHERE B = (SELECT C FROM U WHERE K = " +
               std::to_string(random() % 8) + ")";
      case 9:
        return "SELECT A FROM T WHERE NOT B = ANY (SELECT C FROM U WHERE K " + op() + " 4)";
      case 10:
        return "SELECT A, S FROM T WHERE B NOT IN (SELECT C FROM U)";
      case 11:
        // Dates compare as digits, also against texts: not by their bytes.
        return random() % 2 ? "SELECT A FROM T WHERE D IN (SELECT E FROM U WHERE K < 3)"
                            : "SELECT A FROM T WHERE S IN (SELECT E FROM U)";
      case 12:
        return "SELECT A, B FROM T WHERE S " + op() + " " + TextLiteral(random) + " ORDER BY B";
      // Joins: hashed equalities, alone, several in one group, under AND,
      // OR and NOT, across three tables, on one table twice, and on dates
      // (compared by their digits, so never hashed).
      case 13:
        return "SELECT T.A, U.K, T.S FROM T, U WHERE T.A = U.K AND T.S = U.R";
      case 14:
        return "SELECT T.A, U.K FROM T, U WHERE U.K = T.A AND T.B " + op() + " " +
               NumberLiteral(random);
      case 15:
        return "SELECT T.S, U.R FROM T, U WHERE T.S = U.R OR T.A = U.K";
      case 16:
        return "SELECT T.A, U.K FROM T, U WHERE T.D = U.E AND T.A = U.K";
      case 17:
        return "SELECT X.A, Y.B FROM T X, T Y WHERE X.A = Y.A AND X.B " + op() + " Y.B";
      case 18:
        return "SELECT T.A, U.C, W.N FROM T, U, W WHERE T.A = U.K AND W.M = U.K AND W.N " + op() +
               " " + TextLiteral(random);
      case 19:
        return "SELECT T.A, U.K FROM T, U WHERE NOT T.A = U.K AND T.B = U.C";
      case 20: {
        // Rows added to the result as they are read: no WHERE, constant
        // ones, a union of two such selections.
        static const char* const kScans[] = {"SELECT * FROM T",
                                             "SELECT DISTINCT S FROM T WHERE 1 = 1",
                                             "SELECT A FROM T WHERE 2 = 1",
                                             "SELECT A FROM T WHERE 1 = 1 AND B > 1",
                                             "SELECT B FROM T UNION SELECT C FROM U",
                                             "SELECT A FROM T WHERE NOT (NOT B > 1)",
                                             "SELECT S FROM T WHERE NOT S = 'a'"};
        return kScans[random() % 7];
      }
      case 21:
        // Comparisons with a literal decided without the evaluator: dates
        // against texts, and negated ones on both selection paths.
        switch (random() % 4) {
          case 0:
            return "SELECT A FROM T WHERE D " + op() + " '20240301'";
          case 2:
            // An integer column against whole and fractional literals.
            return std::string("SELECT A, S FROM T WHERE ") + (random() % 2 ? "NOT " : "") + "A " +
                   op() + " " + NumberLiteral(random);
          case 1:
            return "SELECT A, S FROM T WHERE NOT (S " + op() + " " + TextLiteral(random) +
                   ") OR NOT B " + op() + " " + NumberLiteral(random);
          default:
            return "SELECT T.A, U.K FROM T, U WHERE T.A = U.K AND NOT U.R " + op() + " " +
                   TextLiteral(random);
        }
      case 22: {
        // Correlated sub-selects: hashed by the equality with the outer
        // value (numbers, texts), not hashed (dates, no equality), cached
        // per outer value.
        static const char* const kLinks[] = {"U.C = T.B", "U.R = T.S", "U.E = T.D", "U.K > T.A",
                                             "T.A = U.K OR U.R = T.S"};
        const std::string link = kLinks[random() % 5];
        switch (random() % 3) {
          case 0:
            return "SELECT A, S FROM T WHERE EXISTS (SELECT K FROM U WHERE " + link + " AND K " +
                   op() + " " + std::to_string(random() % 8) + ")";
          case 1:
            return "SELECT A, S FROM T WHERE NOT EXISTS (SELECT K FROM U WHERE " + link + ")";
          default:
            return "SELECT A FROM T WHERE A " + op() + " ANY (SELECT K FROM U WHERE " + link + ")";
        }
      }
      case 23:
        // Over the enclosing SELECT's own file, and nested two levels.
        return random() % 2
                   ? "SELECT A, B FROM T WHERE A >= ALL (SELECT X.A FROM T X WHERE X.S = T.S)"
                   : "SELECT A FROM T WHERE EXISTS (SELECT K FROM U WHERE U.K = T.A AND EXISTS "
                     "(SELECT M FROM W WHERE W.M = U.K AND W.N " +
                         op() + " T.S))";
      default:
        return random() % 2 ? "SELECT T.A, U.K FROM T, U WHERE T.B = U.K"
                            : "SELECT U.R, T.A FROM U, T WHERE T.B = U.C AND T.S = U.R";
    }
  };
  int answered = 0;
  size_t rows = 0;
  for (int n = 0; n < 300; ++n) {
    std::string sql = shape(static_cast<int>(random() % 25));
    Answer fast;
    ASSERT_TRUE(AlikeBothWays(sql, &fast));
    if (fast.error.empty()) ++answered;
    rows += fast.rows.size();
  }
  // The statements must mostly be answered with rows, not refused alike.
  EXPECT_GT(answered, 220);
  EXPECT_GT(rows, 2000u);
}

// Equalities on keys: a unique whole-number key reaches one record, which
// ends its browse without a second engine read; duplicate, real, date and
// text keys keep asking the engine. Keys change between the rounds, so the
// browse also meets keys rewritten and deleted.
TEST_F(FastPathDifferentialTest, KeyEqualitiesAnswerAlikeWithAndWithoutFastPaths) {
  std::mt19937 random(20261211);
  ASSERT_NO_FATAL_FAILURE(MustRun("CREATE TABLE P (ID INTEGER PRIMARY KEY, V INTEGER, S CHAR(4))"));
  ASSERT_NO_FATAL_FAILURE(
      MustRun("CREATE TABLE Q (ID SMALLINT PRIMARY KEY, R DOUBLE PRECISION, "
              "N CHAR(4), D DATE)"));
  ASSERT_NO_FATAL_FAILURE(MustRun("CREATE INDEX PV ON P (V)"));
  ASSERT_NO_FATAL_FAILURE(MustRun("CREATE UNIQUE INDEX QR ON Q (R)"));
  ASSERT_NO_FATAL_FAILURE(MustRun("CREATE UNIQUE INDEX QN ON Q (N)"));
  ASSERT_NO_FATAL_FAILURE(MustRun("CREATE UNIQUE INDEX QD ON Q (D)"));
  for (int i = 1; i <= 40; ++i) {
    std::string n = std::to_string(i);
    ASSERT_NO_FATAL_FAILURE(
        MustRun("INSERT INTO P VALUES (" + n + ", " + std::to_string(i % 5) + ", 's" + n + "')"));
    char day[16];
    snprintf(day, sizeof day, "'20240%d%02d'", 1 + (i - 1) / 28, (i - 1) % 28 + 1);
    ASSERT_NO_FATAL_FAILURE(MustRun("INSERT INTO Q VALUES (" + std::to_string(i - 20) + ", " + n +
                                    ".5, 'n" + n + "', " + day + ")"));
  }
  auto key = [&] {
    static const char* const kKeys[] = {"1",  "2",  "0",   "-0",  "-1",  "20",
                                        "40", "41", "2.0", "1.5", "-19", "7"};
    return std::string(kKeys[random() % (sizeof kKeys / sizeof kKeys[0])]);
  };
  auto shape = [&](int kind) -> std::string {
    switch (kind) {
      case 0:
        return "SELECT V, S FROM P WHERE ID = " + key();
      case 1:
        return "SELECT ID, S FROM P WHERE V = " + std::to_string(random() % 6);
      case 2:
        return "SELECT ID, N FROM Q WHERE ID = " + key() + " OR ID = " + key();
      case 3:
        return "SELECT ID FROM Q WHERE R = " + key() + ".5";
      case 4:
        return "SELECT ID FROM Q WHERE N = 'n" + std::to_string(random() % 42) + "'";
      case 5:
        return "SELECT P.S, Q.N FROM P, Q WHERE P.ID = " + key() + " AND Q.ID = P.V";
      case 6:
        return "SELECT P.S, Q.N FROM Q, P WHERE Q.ID = " + key() + " AND P.ID = Q.ID";
      case 7:
        return "SELECT S FROM P WHERE ID IN (SELECT ID FROM Q WHERE ID = " + key() + ")";
      case 8:
        return "SELECT ID FROM Q WHERE D = '202401" + std::to_string(10 + random() % 19) +
               (random() % 2 ? "'" : "' OR D = '240203'");
      default:
        return "SELECT X.S, Y.S FROM P X, P Y WHERE X.ID = " + key() + " AND Y.ID = X.V";
    }
  };
  int found = 0;
  for (int round = 0; round < 6; ++round) {
    for (int n = 0; n < 40; ++n) {
      std::string sql = shape(static_cast<int>(random() % 10));
      Answer fast;
      ASSERT_TRUE(AlikeBothWays(sql, &fast));
      if (!fast.rows.empty()) ++found;
    }
    int k = 1 + static_cast<int>(random() % 40);
    ASSERT_NO_FATAL_FAILURE(MustRun("UPDATE P SET ID = (" + std::to_string(k + 100 * (round + 1)) +
                                    ") WHERE ID = " + std::to_string(k)));
    ASSERT_NO_FATAL_FAILURE(MustRun("DELETE FROM Q WHERE ID = " + std::to_string(random() % 20)));
    ASSERT_NO_FATAL_FAILURE(
        MustRun("UPDATE P SET V = (" + std::to_string(random() % 6) + ") WHERE ID = " + key()));
  }
  EXPECT_GT(found, 100);
}

}  // namespace
}  // namespace zksql

#endif  // JXENGINE_PATH
