// Statements against transactions, through the exports: a statement that
// fails inside a host transaction takes back its own writes and only them;
// a reader in one process never waits for a writer in another, and reads
// the last commit; a writer waits for another's transaction up to its busy
// timeout, then fails saying why.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "reliability_host.h"

namespace zksql_reliability {
namespace {

using Rows = std::vector<std::string>;

TEST(IsolationTest, AFailedStatementInATransactionTakesBackOnlyItsOwnWrites) {
  ScratchDir dir;
  Host host(dir.path());
  ASSERT_TRUE(host.ok());
  for (const char* sql : {"CREATE TABLE U (K INTEGER PRIMARY KEY, V INTEGER)",
                          "CREATE UNIQUE INDEX UV ON U (V)", "INSERT INTO U VALUES (1, 10)",
                          "INSERT INTO U VALUES (2, 20)", "INSERT INTO U VALUES (3, 30)"})
    ASSERT_EQ(host.Run(sql).status, 0) << sql;
  ASSERT_EQ(XZK_BeginTransaction(host.handle()), JX_OK);
  ASSERT_EQ(host.Run("INSERT INTO U VALUES (4, 40)").status, 0);
  const Rows before = {"1|10", "2|20", "3|30", "4|40"};
  // Each fails after writing part of itself: the first record rewritten,
  // or the record appended before its second key was refused.
  for (const char* sql : {"UPDATE U SET V = (99)", "UPDATE U SET V = (50) WHERE K > 0",
                          "INSERT INTO U VALUES (5, 10)", "INSERT INTO U VALUES (1, 60)"}) {
    Outcome o = host.Run(sql);
    EXPECT_EQ(o.status, -1) << sql;
    EXPECT_EQ(o.sqlState, "23000") << sql;
    EXPECT_EQ(host.Run("SELECT K, V FROM U").rows, before) << "after " << sql;
  }
  ASSERT_EQ(host.Run("INSERT INTO U VALUES (5, 50)").status, 0);
  ASSERT_EQ(XZK_CommitTransaction(host.handle()), JX_OK);
  host.Reopen();
  EXPECT_EQ(host.Run("SELECT K, V FROM U").rows, (Rows{"1|10", "2|20", "3|30", "4|40", "5|50"}));
  // Keys agree: each value finds its one row.
  for (int v : {10, 20, 30, 40, 50, 60, 99})
    EXPECT_EQ(host.Run("SELECT K FROM U WHERE V = " + std::to_string(v)).rows.size(), v <= 50) << v;
}

TEST(IsolationTest, ReadersNeverWaitAndWritersWaitUpToTheTimeout) {
  ScratchDir dir;
  {
    Host host(dir.path());
    ASSERT_TRUE(host.ok());
    ASSERT_EQ(host.Run("CREATE TABLE T (K INTEGER PRIMARY KEY, V INTEGER)").status, 0);
    ASSERT_EQ(host.Run("INSERT INTO T VALUES (1, 10)").status, 0);
  }
  // The other process holds a transaction until told to commit it: were a
  // reader to wait for it, this test would never end.
  int ready[2], go[2];
  ASSERT_EQ(pipe(ready), 0);
  ASSERT_EQ(pipe(go), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    Host writer(dir.path());
    char c = 0;
    bool ok = writer.ok() && XZK_BeginTransaction(writer.handle()) == JX_OK &&
              writer.Run("INSERT INTO T VALUES (2, 20)").status == 0;
    if (write(ready[1], &c, 1) != 1 || !ok || read(go[0], &c, 1) != 1) _exit(1);
    _exit(XZK_CommitTransaction(writer.handle()) == JX_OK ? 0 : 1);
  }
  char c = 0;
  ASSERT_EQ(read(ready[0], &c, 1), 1);
  Host host(dir.path());
  ASSERT_TRUE(host.ok());
  EXPECT_EQ(host.Run("SELECT K, V FROM T").rows, (Rows{"1|10"}));
  EXPECT_EQ(host.Run("SELECT V FROM T WHERE K = 2").rows, Rows{});
  ASSERT_EQ(XZK_SetBusyTimeout(host.handle(), 200), JX_OK);
  Outcome busy = host.Run("INSERT INTO T VALUES (3, 30)");
  EXPECT_EQ(busy.status, -1);
  EXPECT_EQ(busy.sqlState, "HYT00");
  EXPECT_NE(busy.error.find("200 ms"), std::string::npos) << busy.error;
  EXPECT_EQ(XZK_BeginTransaction(host.handle()), JX_ERR_BUSY);

  ASSERT_EQ(write(go[1], &c, 1), 1);
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(host.Run("SELECT K, V FROM T").rows, (Rows{"1|10", "2|20"}));
  EXPECT_EQ(host.Run("INSERT INTO T VALUES (3, 30)").status, 0);
  for (int fd : {ready[0], ready[1], go[0], go[1]}) close(fd);
}

}  // namespace
}  // namespace zksql_reliability
