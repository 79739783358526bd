// The exports an ODBC host adds to the statement path: one column's text,
// the records a write changed, and stopping a running statement from
// another thread. End to end through the exports, on the real engine.
#ifdef JXENGINE_PATH

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "../storage/engine_database.h"
#include "statement_submit.h"
#include "zksql.h"

namespace zksql {
namespace {

using HostCall = int16_t(JXENGINE_CALL*)(int32_t);

class HostExportsTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(db_.ok()); }
  Answer MustRun(const std::string& sql) {
    Answer a = Submit(db_.handle(), sql);
    EXPECT_EQ(a.status, 0) << sql << ": " << a.error;
    return a;
  }
  int16_t Host(const char* entry) { return db_.EntryPoint<HostCall>(entry)(db_.handle()); }
  // The count ZKSQLChangedRows gives for one statement, and its status.
  int32_t Changed(const std::string& sql, int16_t* status) {
    Answer a;
    void* request = SubmitOpen(db_.handle(), sql, &a);
    *status = a.status;
    int32_t changed = ZKSQLChangedRows(request);
    ZKSQLFinRequete(request);
    return changed;
  }
  EngineDatabase db_;
};

std::string Text(void* request, int16_t column) {
  std::vector<char> out(4096);
  int32_t n = ZKSQLColumnText(request, column, out.data(), static_cast<int32_t>(out.size()));
  return n < 0 ? "<" + std::to_string(n) + ">" : std::string(out.data());
}

TEST_F(HostExportsTest, ColumnTextIsEachValueOfTheRowText) {
  MustRun("CREATE TABLE T (N INTEGER, R REAL, S CHAR(20), D DATE, P DOUBLE PRECISION)");
  MustRun("INSERT INTO T VALUES (1, 0.1, 'a|b', '1999-12-31', 0.1)");
  MustRun("INSERT INTO T VALUES (-42, 2.5, '|', '2000-01-01', -1.25)");
  MustRun("INSERT INTO T VALUES (7, 3, '', '2000-02-29', 12345.678)");
  Answer a;
  void* request = SubmitOpen(db_.handle(), "SELECT N, R, S, D, P FROM T ORDER BY N", &a);
  ASSERT_EQ(a.status, 0) << a.error;
  std::vector<std::string> values;
  char line[512];
  while (ZKSQLFetchNext(request) == 0) {
    ASSERT_EQ(ZKSQLValLineN(request, "|", line, sizeof line), 0);
    std::string joined;
    for (int16_t c = 1; c <= a.columns; ++c) {
      std::string v = Text(request, c);
      values.push_back(v);
      joined += (c > 1 ? "|" : "") + v;
    }
    EXPECT_EQ(joined, line);
  }
  ASSERT_EQ(values.size(), 15u);
  // The separator inside a value does not split it.
  EXPECT_EQ(values[2], "|");
  EXPECT_EQ(values[7], "a|b");
  EXPECT_EQ(values[12], "");
  EXPECT_EQ(values[6], "0.1");
  EXPECT_EQ(values[8], "19991231");
  ZKSQLFinRequete(request);
}

TEST_F(HostExportsTest, ColumnTextIsCutToTheBufferAndGivesTheLengthToRetryWith) {
  MustRun("CREATE TABLE T (S CHAR(20))");
  MustRun("INSERT INTO T VALUES ('abcdefghij')");
  Answer a;
  void* request = SubmitOpen(db_.handle(), "SELECT S FROM T", &a);
  char out[32];
  // Before the first row, and arguments out of bounds.
  EXPECT_EQ(ZKSQLColumnText(request, 1, out, sizeof out), -1);
  ASSERT_EQ(ZKSQLFetchNext(request), 0);
  memset(out, 'x', sizeof out);
  EXPECT_EQ(ZKSQLColumnText(request, 1, out, 4), 10);
  EXPECT_STREQ(out, "abc");
  EXPECT_EQ(out[4], 'x');  // nothing past size
  EXPECT_EQ(ZKSQLColumnText(request, 1, nullptr, 0), 10);
  EXPECT_EQ(ZKSQLColumnText(request, 1, out, 11), 10);
  EXPECT_STREQ(out, "abcdefghij");
  EXPECT_EQ(ZKSQLColumnText(request, 1, out, 1), 10);
  EXPECT_STREQ(out, "");
  for (int16_t column : {0, 2, -1}) {
    strcpy(out, "stale");
    EXPECT_EQ(ZKSQLColumnText(request, column, out, sizeof out), -1) << column;
    EXPECT_STREQ(out, "");
  }
  EXPECT_EQ(ZKSQLColumnText(request, 1, nullptr, 5), -1);
  EXPECT_EQ(ZKSQLColumnText(request, 1, out, -1), -1);
  EXPECT_EQ(ZKSQLColumnText(nullptr, 1, out, sizeof out), -1);
  // Past the last row.
  EXPECT_EQ(ZKSQLFetchNext(request), -1);
  EXPECT_EQ(ZKSQLColumnText(request, 1, out, sizeof out), -1);
  ZKSQLFinRequete(request);
  // An ended request is refused, though it is the one the calls just used.
  EXPECT_EQ(ZKSQLFetchNext(request), -1);
  EXPECT_EQ(ZKSQLColumnText(request, 1, out, sizeof out), -1);
  // A statement without a result table.
  request = SubmitOpen(db_.handle(), "INSERT INTO T VALUES ('z')", &a);
  EXPECT_EQ(ZKSQLColumnText(request, 1, out, sizeof out), -1);
  ZKSQLFinRequete(request);
  EXPECT_EQ(ZKSQLChangedRows(nullptr), -1);
}

TEST_F(HostExportsTest, ChangedRowsCountsTheRecordsAWriteChanged) {
  MustRun("CREATE TABLE T (A INTEGER, N INTEGER)");
  MustRun("CREATE UNIQUE INDEX T_A ON T (A)");
  struct Case {
    const char* sql;
    int32_t changed;
    int16_t status;
  } cases[] = {
      {"INSERT INTO T VALUES (1, 0)", 1, 0},
      {"INSERT INTO T VALUES (2, 0)", 1, 0},
      {"INSERT INTO T VALUES (3, 5)", 1, 0},
      {"INSERT INTO T VALUES (3, 9)", 0, -1},  // duplicate key
      {"UPDATE T SET N = (1) WHERE N = 0", 2, 0},
      {"UPDATE T SET N = (1) WHERE A > 10", 0, 0},
      {"UPDATE T SET N = (2)", 3, 0},
      {"UPDATE T SET A = (7)", 0, -1},  // the second record is a duplicate
      {"SELECT A FROM T", 0, 0},
      {"DELETE FROM T WHERE A = 2", 1, 0},
      {"DELETE FROM T WHERE A = 2", 0, 0},
      {"UPDATE U SET A = (1)", 0, -1},  // does not compile
      {"DELETE FROM T", 2, 0},
  };
  for (const Case& c : cases) {
    int16_t status = 0;
    EXPECT_EQ(Changed(c.sql, &status), c.changed) << c.sql;
    EXPECT_EQ(status, c.status) << c.sql;
  }
}

// Two tables of 3,000 records: X all different, B's X all above A's, and G
// in ten groups of 300 on both sides.
class InterruptTest : public HostExportsTest {
 protected:
  void SetUp() override {
    HostExportsTest::SetUp();
    MustRun("CREATE TABLE A (X INTEGER, G INTEGER, Y INTEGER)");
    MustRun("CREATE TABLE B (X INTEGER, G INTEGER, Y INTEGER)");
    ASSERT_EQ(Host("XZK_BeginTransaction"), JX_OK);
    for (int i = 0; i < 3000; ++i) {
      std::string values = std::to_string(i % 10) + ", 1)";
      ASSERT_EQ(Submit(db_.handle(), "INSERT INTO A VALUES (" + std::to_string(i) + ", " + values)
                    .status,
                0);
      ASSERT_EQ(
          Submit(db_.handle(), "INSERT INTO B VALUES (" + std::to_string(10000 + i) + ", " + values)
              .status,
          0);
    }
    ASSERT_EQ(Host("XZK_CommitTransaction"), JX_OK);
  }

  // Runs a statement that another thread stops at its engine call number
  // `at` (record reads and writes counted together): that call waits until
  // the request to stop was answered, then goes on. The statement must
  // notice at its next record, or fail at its end if it made no other.
  Answer RunStopped(const std::string& sql, int at) {
    EngineEntryPoints* engine = const_cast<EngineEntryPoints*>(BoundEngine());
    s_read = engine->readRecord;
    s_run = engine->readRun;
    s_write = engine->writeRecord;
    s_at = at;
    s_calls = 0;
    s_reached = false;
    engine->readRecord = &Read;
    if (s_run != nullptr) engine->readRun = &ReadRun;
    engine->writeRecord = &Write;
    Answer a = Submit(db_.handle(), sql);
    engine->readRecord = s_read;
    engine->readRun = s_run;
    engine->writeRecord = s_write;
    EXPECT_TRUE(s_reached) << sql << ": " << s_calls << " engine calls";
    return a;
  }

  static void Count() {
    if (++s_calls != s_at) return;
    std::thread stopper([] { s_reached = ZKSQLInterrupt() == 1; });
    stopper.join();
  }
  static int16_t JXENGINE_CALL Read(int32_t h, const char* file, int32_t n, void* block) {
    Count();
    return s_read(h, file, n, block);
  }
  // A run of records is one call, however many records it brings.
  static int16_t JXENGINE_CALL ReadRun(int32_t h, const char* file, int32_t first, int32_t most,
                                       void* buffer, int32_t size, int32_t* count,
                                       int32_t* recordSize, int16_t* end) {
    Count();
    return s_run(h, file, first, most, buffer, size, count, recordSize, end);
  }
  static int16_t JXENGINE_CALL Write(int32_t h, const char* file, int32_t n, void* block) {
    Count();
    return s_write(h, file, n, block);
  }
  static XZK_LIREENREG_FN s_read;
  static XZK_READRUN_FN s_run;
  static XZK_ECRIREENREG_FN s_write;
  static int s_at;
  static int s_calls;
  static bool s_reached;

  void ExpectStopped(const Answer& a, const std::string& sql) {
    EXPECT_EQ(a.status, -1) << sql;
    EXPECT_EQ(a.state, "HY008") << sql;
    EXPECT_EQ(a.error, " Op\xE9ration annul\xE9" "e \xE0 la demande de l'h\xF4te") << sql;
    EXPECT_EQ(a.columns, 0) << sql;
    EXPECT_TRUE(a.rows.empty()) << sql;
  }
};

XZK_LIREENREG_FN InterruptTest::s_read = nullptr;
XZK_READRUN_FN InterruptTest::s_run = nullptr;
XZK_ECRIREENREG_FN InterruptTest::s_write = nullptr;
int InterruptTest::s_at = 0;
int InterruptTest::s_calls = 0;
bool InterruptTest::s_reached = false;

TEST_F(InterruptTest, ALongSelectionStopsAndTheNextStatementRuns) {
  // Nothing runs: the request is dropped.
  EXPECT_EQ(ZKSQLInterrupt(), 0);
  struct Case {
    const char* sql;
    int at;
  } cases[] = {
      // A nested-loop join (no hash for ">") without any match: 9,000,000
      // combinations.
      {"SELECT A.X, B.X FROM A, B WHERE A.X > B.X", 5000},
      // The hash join while it probes, without a match and with 900,000
      // of them (DISTINCT, then sorted). Each table is read in a few runs
      // of records (16, 32, 64... at a time): the 12th call is B's.
      {"SELECT A.X, B.X FROM A, B WHERE A.X = B.X", 12},
      {"SELECT DISTINCT A.X, B.X FROM A, B WHERE A.G = B.G ORDER BY B.X", 12},
      // After its last record: the request is answered all the same.
      {"SELECT X FROM A WHERE X = 7", 1},
  };
  for (const Case& c : cases) {
    Answer a = RunStopped(c.sql, c.at);
    ExpectStopped(a, c.sql);
    // Stopped at the next record.
    EXPECT_LE(s_calls, c.at + 1) << c.sql;
    EXPECT_EQ(MustRun("SELECT X FROM A WHERE X < 3").rows.size(), 3u) << c.sql;
  }
  EXPECT_EQ(ZKSQLInterrupt(), 0);
}

TEST_F(InterruptTest, AStoppedWriteLeavesNothingAndTheHostTransactionOpen) {
  ASSERT_EQ(Host("XZK_BeginTransaction"), JX_OK);
  MustRun("INSERT INTO A VALUES (-1, 0, 1)");
  struct Case {
    const char* sql;
    int at;
  } cases[] = {
      // Half way through their writes.
      {"UPDATE A SET Y = (2)", 3000},
      {"UPDATE A SET Y = (2) WHERE G < 5", 2000},
      {"DELETE FROM B", 3000},
      // At its only write, which is made: the statement fails at its end.
      {"INSERT INTO A VALUES (-2, 0, 2)", 1},
  };
  for (const Case& c : cases) ExpectStopped(RunStopped(c.sql, c.at), c.sql);
  // Nothing of the stopped statements was kept; what the transaction wrote
  // before them is still there, in it.
  EXPECT_TRUE(MustRun("SELECT X FROM A WHERE Y = 2").rows.empty());
  EXPECT_EQ(MustRun("SELECT X FROM A WHERE X < 0").rows, std::vector<std::string>{"-1"});
  EXPECT_EQ(MustRun("SELECT X FROM B WHERE X < 10003").rows.size(), 3u);
  ASSERT_EQ(Host("XZK_RollbackTransaction"), JX_OK);
  EXPECT_TRUE(MustRun("SELECT X FROM A WHERE X < 0").rows.empty());
}

}  // namespace
}  // namespace zksql

#endif  // JXENGINE_PATH
