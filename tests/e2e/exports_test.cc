// The exports as a host sees them: calling order, null and stale pointers,
// statements the working buffer cannot hold, and hosts without engine.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "engine_choice.h"
#include "zkglobal.h"
#include "zksql.h"

namespace {

using zksql_e2e::EngineChoice;
using zksql_e2e::EngineChoiceName;
using zksql_e2e::ForgetEngineChoice;
using zksql_e2e::UseEngine;

class ExportsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!UseEngine(EngineChoice::kStandIn)) GTEST_SKIP() << "another engine folder";
    ASSERT_EQ(JX4InitInstance(&instance_, 0), 1);
    memset(&info_, 0xCC, sizeof info_);
  }
  void TearDown() override {
    if (instance_ != nullptr) JXSQLFinInstance(instance_);
    ForgetEngineChoice();
  }

  void* instance_ = nullptr;
  ZKSQLResultInfo info_;
};

TEST_F(ExportsTest, AStatementWithoutResultHandsBackARequestWithoutError) {
  char sql[64] = "CREATE TABLE T (A INTEGER)";
  void* request = nullptr;
  EXPECT_EQ(ZKSQLExecReq(&request, sql, &info_, 1, nullptr), 0);
  ASSERT_NE(request, nullptr);
  EXPECT_EQ(info_.columnCount, 0);
  EXPECT_EQ(info_.rowCount, 0);
  ASSERT_NE(info_.columnText, nullptr);
  EXPECT_STREQ(info_.columnText, "");

  char text[256] = "junk";
  char state[6] = "junk";
  EXPECT_EQ(ZKSQLErreur(request, text, state), 0);
  EXPECT_STREQ(text, "");
  EXPECT_STREQ(state, "00000");
  EXPECT_EQ(ZKSQLErreur(request, nullptr, nullptr), 0);

  EXPECT_EQ(ZKSQLFetchNext(request), -1);
  EXPECT_EQ(ZKSQLFetchNext(request), -1);
  char row[16];
  EXPECT_EQ(ZKSQLValLine(request, nullptr, row), -1);
  EXPECT_EQ(ZKSQLValLineN(request, nullptr, row, sizeof row), -1);
  void* memo = reinterpret_cast<void*>(1);
  EXPECT_EQ(ZKSQLGetLongData(request, 1, &memo), -1);
  EXPECT_EQ(memo, nullptr);
  EXPECT_EQ(ZKSQLFinRequete(request), 0);
}

TEST_F(ExportsTest, NullArgumentsAreRefusedWithoutARequest) {
  char sql[16] = "SELECT";
  void* request = reinterpret_cast<void*>(1);
  EXPECT_EQ(ZKSQLExecReq(nullptr, sql, &info_, 1, nullptr), -1);
  EXPECT_EQ(ZKSQLExecReq(&request, nullptr, &info_, 1, nullptr), -1);
  EXPECT_EQ(ZKSQLExecReq(&request, sql, nullptr, 1, nullptr), -1);
  EXPECT_EQ(JX4InitInstance(nullptr, 0), 0);
  JXSQLFinInstance(nullptr);
  EXPECT_EQ(ZKSQLFetchNext(nullptr), -1);
  EXPECT_EQ(ZKSQLValLine(nullptr, "\t", sql), -1);
  EXPECT_EQ(ZKSQLValLineN(nullptr, "\t", sql, sizeof sql), -1);
  EXPECT_EQ(ZKSQLGetLongData(nullptr, 1, nullptr), -1);
  EXPECT_EQ(ZKSQLFinRequete(nullptr), -1);
  EXPECT_EQ(ZKSQLErreur(nullptr, sql, sql), -1);
}

TEST_F(ExportsTest, EndedOrForeignRequestsAreRefused) {
  char sql[32] = "CREATE TABLE T (A INTEGER)";
  void* request = nullptr;
  ASSERT_EQ(ZKSQLExecReq(&request, sql, &info_, 1, nullptr), 0);
  ASSERT_EQ(ZKSQLFinRequete(request), 0);
  EXPECT_EQ(ZKSQLFinRequete(request), -1);
  EXPECT_EQ(ZKSQLErreur(request, nullptr, nullptr), -1);
  EXPECT_EQ(ZKSQLFetchNext(request), -1);
  char local[64] = {0};
  EXPECT_EQ(ZKSQLFinRequete(local), -1);
  EXPECT_EQ(ZKSQLErreur(local, nullptr, nullptr), -1);
}

TEST_F(ExportsTest, TheLongestStatementTheWorkingBufferHoldsRuns) {
  // A statement that names no file compiles without the engine's help.
  std::string sql = "CREATE TABLE T (A INTEGER)";
  sql.resize(16382, ' ');
  void* request = nullptr;
  EXPECT_EQ(ZKSQLExecReq(&request, &sql[0], &info_, 1, nullptr), 0);
  ASSERT_NE(request, nullptr);
  ZKSQLFinRequete(request);
}

TEST_F(ExportsTest, ALongerStatementIsRefusedWithARecordedError) {
  std::string sql(16383, 'A');
  void* request = nullptr;
  EXPECT_EQ(ZKSQLExecReq(&request, &sql[0], &info_, 1, nullptr), -1);
  ASSERT_NE(request, nullptr);
  EXPECT_EQ(info_.compiled, 0);
  char text[256];
  char state[6];
  ASSERT_EQ(ZKSQLErreur(request, text, state), 0);
  EXPECT_STREQ(text, " Instruction SQL trop longue : 16382 caract\xE8res au plus");
  EXPECT_STREQ(state, "00123");
  EXPECT_EQ(ZKSQLFetchNext(request), -1);
  EXPECT_EQ(ZKSQLFinRequete(request), 0);
  EXPECT_EQ(sql, std::string(16383, 'A'));  // the caller's text is untouched
}

TEST(ExportsWithoutEngineTest, AnInstanceIsMadeEvenWhenTheEngineIsMissing) {
  int tried = 0;
  for (EngineChoice choice : {EngineChoice::kMissing, EngineChoice::kIncomplete}) {
    if (!UseEngine(choice)) continue;
    ++tried;
    void* instance = nullptr;
    EXPECT_EQ(JX4InitInstance(&instance, 0), 1) << EngineChoiceName(choice);
    ASSERT_NE(instance, nullptr);
    char sql[32] = "SELECT A FROM T";
    void* request = nullptr;
    ZKSQLResultInfo info;
    ZKSQLExecReq(&request, sql, &info, 1, nullptr);
    ASSERT_NE(request, nullptr);
    char text[256] = "";
    ZKSQLErreur(request, text, nullptr);
    EXPECT_EQ(std::string(text).substr(0, 28), " Moteur de stockage non char")
        << EngineChoiceName(choice);
#ifndef _WIN32
    // The message names the library the binding tried, not a generic name.
    EXPECT_NE(std::string(text).find(getenv("JXENGINE_LIBRARY")), std::string::npos) << text;
#endif
    EXPECT_EQ(ZKSQLFinRequete(request), 0);
    JXSQLFinInstance(instance);
  }
  ForgetEngineChoice();
  if (tried == 0) GTEST_SKIP() << "another engine folder";
}

}  // namespace

namespace {

TEST_F(ExportsTest, DateEscapesAreRewrittenInTheCallersText) {
  char sql[64] = "SELECT A FROM T WHERE D = {d '2024-01-02'}";
  void* request = nullptr;
  ZKSQLExecReq(&request, sql, &info_, 1, nullptr);
  EXPECT_STREQ(sql, "SELECT A FROM T WHERE D = '20240102'");
  ZKSQLFinRequete(request);
}

TEST_F(ExportsTest, MoreMemoValuesThanAStatementCarriesAreRefused) {
  std::string sql = "DROP TABLE T";
  for (int i = 0; i < 257; ++i) sql += " {JXMemoBinaire('f')}";
  void* request = nullptr;
  EXPECT_EQ(ZKSQLExecReq(&request, &sql[0], &info_, 1, nullptr), -1);
  ASSERT_NE(request, nullptr);
  char text[256];
  ZKSQLErreur(request, text, nullptr);
  EXPECT_STREQ(text, " Trop de valeurs m\xE9mo dans l'instruction : 256 au plus");
  ZKSQLFinRequete(request);
}

}  // namespace
