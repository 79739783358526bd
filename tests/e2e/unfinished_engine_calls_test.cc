// An engine call that does not complete is a failure of the statement,
// reported with message 4244 naming the file and the code -1, never an
// empty success. The engine here forwards to the real one and interrupts
// the calls a test names (interrupting_engine.cc).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host_session.h"

namespace zksql_e2e {
namespace {

using Rows = std::vector<std::string>;

const char kUnfinished[] =
    " Erreur de lecture/\xE9"
    "criture dans le fichier ZK 'T' (-1)";

class UnfinishedEngineCallTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(session_.ok());
    interrupt_ = reinterpret_cast<void (*)(const char*, int, int, int)>(
        session_.Symbol("InterruptEngineCalls"));
    ASSERT_NE(interrupt_, nullptr);
    interrupt_("", 0, 0, 0);
    for (const char* sql : {"CREATE TABLE T (A INTEGER, B CHAR(4))",
                            "INSERT INTO T VALUES (1, 'un')", "INSERT INTO T VALUES (2, 'deux')",
                            "CREATE TABLE U (K INTEGER)", "INSERT INTO U VALUES (1)"}) {
      ASSERT_EQ(session_.Run(sql).status, 0) << sql;
    }
  }
  void TearDown() override {
    if (interrupt_ != nullptr) interrupt_("", 0, 0, 0);
  }

  // Runs a statement while the engine interrupts the given calls on T,
  // and expects it to fail with the unfinished-call message.
  void ExpectUnfinished(const std::string& sql, int writes, int reads, int memos) {
    interrupt_("T", writes, reads, memos);
    Outcome o = session_.Run(sql);
    interrupt_("", 0, 0, 0);
    EXPECT_EQ(o.status, -1) << sql;
    EXPECT_EQ(o.error, kUnfinished) << sql;
    EXPECT_EQ(o.sqlState, "00123") << sql;
    EXPECT_EQ(o.compiled, 1) << sql;
  }

  Rows Table() const { return session_.Run("SELECT A, B FROM T").rows; }

  HostSession session_{INTERRUPTING_ENGINE_PATH};
  void (*interrupt_)(const char*, int, int, int) = nullptr;
};

TEST_F(UnfinishedEngineCallTest, AnUnfinishedRecordWriteFailsEveryWritingStatement) {
  ExpectUnfinished("INSERT INTO T VALUES (3, 'x')", 1, 0, 0);
  ExpectUnfinished("UPDATE T SET B = ('x') WHERE A = 2", 1, 0, 0);
  ExpectUnfinished("UPDATE T SET B = ('x')", 1, 0, 0);
  ExpectUnfinished("DELETE FROM T WHERE A = 1", 1, 0, 0);
  ExpectUnfinished("DELETE FROM T", 1, 0, 0);
  // Nothing reached the engine.
  EXPECT_EQ(Table(), (Rows{"1|un", "2|deux"}));
}

TEST_F(UnfinishedEngineCallTest, AnUnfinishedMemoWriteFailsTheStatement) {
  ASSERT_TRUE(session_.MakeFile("F", {{"N", 'L', 0}, {"M", 'M', 0}}));
  interrupt_("", 0, 0, 1);
  Outcome o = session_.Run("INSERT INTO F (N, M) VALUES (1, 'texte')");
  EXPECT_EQ(o.status, -1);
  EXPECT_EQ(o.error,
            " Erreur de lecture/\xE9"
            "criture dans le fichier ZK 'F' (-1)");
  HostMemos memos({"de l'h\xF4te"});
  o = session_.Run("UPDATE F SET M = ({JXMemoBinaire('m.txt')})", memos.table());
  EXPECT_EQ(o.status, -1);
  EXPECT_EQ(o.error,
            " Erreur de lecture/\xE9"
            "criture dans le fichier ZK 'F' (-1)");
  interrupt_("", 0, 0, 0);
  // A statement that writes no memo is not concerned.
  interrupt_("", 0, 0, 1);
  EXPECT_EQ(session_.Run("INSERT INTO F (N) VALUES (2)").status, 0);
  interrupt_("", 0, 0, 0);
}

TEST_F(UnfinishedEngineCallTest, AnUnfinishedReadFailsEveryStatementThatReads) {
  interrupt_("T", 0, 1, 0);
  for (const char* sql : {"SELECT A FROM T", "SELECT A FROM T WHERE A = 1",
                          "SELECT A, K FROM T, U WHERE A = K", "UPDATE T SET B = ('x') WHERE A = 1",
                          "UPDATE T SET B = ('x')", "DELETE FROM T WHERE A = 2", "DELETE FROM T"}) {
    Outcome o = session_.Run(sql);
    EXPECT_EQ(o.status, -1) << sql;
    EXPECT_NE(o.error.find("ZK 'T' ("), std::string::npos) << sql << ": " << o.error;
    EXPECT_TRUE(o.rows.empty()) << sql;
  }
  interrupt_("", 0, 0, 0);
  EXPECT_EQ(Table(), (Rows{"1|un", "2|deux"}));
}

TEST_F(UnfinishedEngineCallTest, CallsOnOtherFilesGoThrough) {
  interrupt_("T", 1, 1, 1);
  Outcome o = session_.Run("INSERT INTO U VALUES (2)");
  EXPECT_EQ(o.status, 0) << o.error;
  EXPECT_EQ(session_.Run("SELECT K FROM U").rows, (Rows{"1", "2"}));
}

}  // namespace
}  // namespace zksql_e2e
