// The statement path as a loading host drives it: one statement after
// another on an engine handle, the descriptions of their files kept from
// one statement to the next. Whatever changes the dictionary (this
// library's CREATE statements, another connection, a rolled back host
// transaction) must be seen by the very next statement, and a mixed batch
// of writes, reads and failures must answer alike with the fast paths on
// and off.
#ifdef JXENGINE_PATH

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "../storage/engine_database.h"
#include "base/fast_paths.h"
#include "storage/description_cache.h"
#include "statement_submit.h"
#include "zksql.h"

namespace zksql {
namespace {

// Describes an index on `file` through `handle`, as any host of the engine
// may: the library is not told. The engine's status (0 = made).
int16_t MakeIndex(int32_t handle, const char* file, const char* index, const char* columns,
                  int16_t unique) {
  unsigned char fd[JX_FD_SIZE_BYTES] = {};
  strcpy(reinterpret_cast<char*>(fd + JX_FD_TABLE), file);
  strcpy(reinterpret_cast<char*>(fd + JX_FD_NAME), index);
  strcpy(reinterpret_cast<char*>(fd + JX_FD_COLUMNS), columns);
  memcpy(fd + JX_FD_UNIQUE, &unique, 2);
  int16_t status = 0;
  for (int16_t command : {JX_DESCRIBE_INDEX, JX_DESCRIBE_COMPLETE}) {
    BoundEngine()->describeFile(handle, command, fd);
    memcpy(&status, fd + JX_FD_STATUS, 2);
    if (status > 0) break;
  }
  return status;
}

using HostCall = int16_t(JXENGINE_CALL*)(int32_t);

class DictionaryChangeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(db_.ok());
    ASSERT_GT(db_.second(), 0);
  }
  Answer MustRun(const std::string& sql) {
    Answer a = Submit(db_.handle(), sql);
    EXPECT_EQ(a.status, 0) << sql << ": " << a.error;
    return a;
  }
  EngineDatabase db_;
};

TEST_F(DictionaryChangeTest, TheEngineStampMovesWithEveryChange) {
  const EngineEntryPoints* engine = BoundEngine();
  MustRun("CREATE TABLE T (A INTEGER, B INTEGER)");
  uint64_t first = DictionaryStamp(engine, db_.handle());
  ASSERT_NE(first, 0u);
  EXPECT_EQ(DictionaryStamp(engine, db_.handle()), first);
  ASSERT_EQ(MakeIndex(db_.second(), "T", "B", "B", 2), 0);
  uint64_t second = DictionaryStamp(engine, db_.handle());
  EXPECT_NE(second, first);
  // Another handle's stamps are never this one's.
  EXPECT_NE(DictionaryStamp(engine, db_.second()), second);
  EXPECT_EQ(DictionaryStamp(engine, 9999), 0u);
}

TEST_F(DictionaryChangeTest, ChangesFromAnyConnectionAreSeenByTheNextStatement) {
  MustRun("CREATE TABLE T (A INTEGER, B INTEGER, S CHAR(8))");
  MustRun("INSERT INTO T VALUES (1, 2, 'x')");
  EXPECT_EQ(MustRun("SELECT * FROM T").columns, 3);
  // A composite key is one more item, which SELECT * shows as a column.
  ASSERT_EQ(MakeIndex(db_.second(), "T", "AB", "A,B", 2), 0);
  Answer other = MustRun("SELECT * FROM T");
  EXPECT_EQ(other.columns, 4);
  EXPECT_NE(other.columnText.find("AB\t"), std::string::npos) << other.columnText;
  MustRun("CREATE INDEX BS ON T (B, S)");
  Answer own = MustRun("SELECT * FROM T");
  EXPECT_EQ(own.columns, 5);
  EXPECT_NE(own.columnText.find("BS\t"), std::string::npos) << own.columnText;
  // The other connection's statements see this one's change as well.
  EXPECT_EQ(Submit(db_.second(), "SELECT * FROM T").columns, 5);
}

TEST_F(DictionaryChangeTest, ARolledBackCreationIsForgotten) {
  auto begin = db_.EntryPoint<HostCall>("XZK_BeginTransaction");
  auto rollback = db_.EntryPoint<HostCall>("XZK_RollbackTransaction");
  ASSERT_EQ(begin(db_.handle()), JX_OK);
  MustRun("CREATE TABLE X (A INTEGER)");
  MustRun("INSERT INTO X VALUES (1)");
  MustRun("INSERT INTO X VALUES (2)");
  ASSERT_EQ(rollback(db_.handle()), JX_OK);
  Answer fast = Submit(db_.handle(), "INSERT INTO X VALUES (3)");
  Answer plain;
  {
    FastPathsOff off;
    plain = Submit(db_.handle(), "INSERT INTO X VALUES (3)");
  }
  EXPECT_NE(fast.status, 0);
  EXPECT_NE(fast.error.find("'X' inexistante"), std::string::npos) << fast.error;
  EXPECT_TRUE(fast == plain) << Show(fast) << "\n" << Show(plain);
}

// A batch of INSERT, UPDATE, DELETE and SELECT statements, with duplicate
// keys, values a column refuses, unknown tables and columns, braces in
// texts and date escapes, and dictionary changes half-way (an index made
// through the library, a table and a composite key made by another
// connection). The same batch
// runs on two databases side by side, one with the fast paths on and one
// with them off: every statement must answer alike.
TEST(StatementPathDifferentialTest, AMixedBatchAnswersAlikeWithAndWithoutFastPaths) {
  EngineDatabase fastDb;
  EngineDatabase plainDb;
  ASSERT_TRUE(fastDb.ok() && plainDb.ok());
  ASSERT_GT(fastDb.second(), 0);
  ASSERT_GT(plainDb.second(), 0);
  std::mt19937 random(20261211);
  auto pick = [&](std::initializer_list<const char*> choices) {
    return std::string(choices.begin()[random() % choices.size()]);
  };
  auto key = [&] { return std::to_string(1 + random() % 60); };
  auto number = [&] { return pick({"0", "7", "-3", "2.5", "1000000", "'12'", "'abc'", "NULL"}); };
  auto text = [&] {
    return pick({"'a'", "'{x}'", "'b''c'", "''", "'trop long pour S'", "12", "-3", "-0", "2.5",
                 "123456789", "0.0000001"});
  };
  auto date = [&] { return pick({"'20240229'", "{d '2024-03-01'}", "'2023-02-29'", "''"}); };
  std::vector<std::string> batch = {
      "CREATE TABLE T (K INTEGER PRIMARY KEY, V INTEGER, S CHAR(10), D DATE, R DOUBLE)"};
  for (int n = 0; n < 500; ++n) {
    int kind = static_cast<int>(random() % 20);
    if (n == 150) {
      batch.push_back("CREATE INDEX TV ON T (V)");
    } else if (n == 300) {
      batch.push_back("<U>");  // made by the other connection
    } else if (n == 400) {
      batch.push_back("<KS>");  // a composite key, by the other connection
    } else if (kind < 9) {
      batch.push_back("INSERT INTO T VALUES (" + key() + ", " + number() + ", " + text() + ", " +
                      date() + ", " + number() + ")");
    } else if (kind < 11) {
      batch.push_back("INSERT INTO T (S, K, " + pick({"V", "W"}) + ") VALUES (" + text() + ", " +
                      key() + ", " + number() + ")");
    } else if (kind < 12) {
      batch.push_back("INSERT INTO U VALUES (" + key() + ", " + text() + ")");
    } else if (kind < 14) {
      batch.push_back("UPDATE T SET V = " + number() + ", S = " + text() + " WHERE K " +
                      pick({"=", "<", ">"}) + " " + key());
    } else if (kind < 15) {
      batch.push_back("DELETE FROM T WHERE K " + pick({"=", ">"}) + " " + key());
    } else if (kind < 18) {
      batch.push_back(pick({"SELECT * FROM T WHERE V < 5", "SELECT K, S, D FROM T WHERE K > 30",
                            "SELECT X.V, X.R FROM T X WHERE X.S = 'a'",
                            "SELECT DISTINCT V FROM T", "SELECT * FROM U",
                            "SELECT T.K, U.S FROM T, U WHERE T.K = U.K"}));
    } else {
      batch.push_back("SELECT " + pick({"W", "K"}) + " FROM " + pick({"T", "V", "U"}));
    }
  }
  int failures = 0;
  for (const std::string& sql : batch) {
    if (sql == "<KS>") {
      ASSERT_EQ(MakeIndex(fastDb.second(), "T", "KS", "K,S", 2), 0);
      ASSERT_EQ(MakeIndex(plainDb.second(), "T", "KS", "K,S", 2), 0);
      continue;
    }
    if (sql == "<U>") {
      for (EngineDatabase* db : {&fastDb, &plainDb}) {
        ASSERT_EQ(db->MakeFile("U", {{"K", 'L', 4, 1}, {"S", 'T', 8}}, db->second()), 0)
            << db->message();
      }
      continue;
    }
    Answer fast = Submit(fastDb.handle(), sql);
    Answer plain;
    {
      FastPathsOff off;
      plain = Submit(plainDb.handle(), sql);
    }
    ASSERT_TRUE(fast == plain) << sql << "\nfast:  " << Show(fast) << "\nplain: " << Show(plain);
    if (fast.status != 0) ++failures;
  }
  // The batch reaches both outcomes, and the tables end alike.
  EXPECT_GT(failures, 50);
  EXPECT_LT(failures, 400);
  Answer fastRows = Submit(fastDb.handle(), "SELECT * FROM T");
  EXPECT_GT(fastRows.rows.size(), 10u);
  EXPECT_TRUE(fastRows == Submit(plainDb.handle(), "SELECT * FROM T"));
}

}  // namespace
}  // namespace zksql

#endif  // JXENGINE_PATH
