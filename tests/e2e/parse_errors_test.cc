// The compile step as a host sees it through ZKSQLExecReq: a syntax error
// is -1 with `compiled` 0 and the framed French text and SQLSTATE from
// ZKSQLErreur; a parsed statement goes on to the dictionary, which the
// stand-in engine cannot describe (message 4243); a statement that names
// no file compiles; and nothing is compiled without an engine.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "engine_choice.h"
#include "zksql.h"

namespace {

using zksql_e2e::EngineChoice;
using zksql_e2e::ForgetEngineChoice;
using zksql_e2e::UseEngine;

struct Outcome {
  int16_t status;
  int16_t compiled;
  std::string text;
  std::string state;
  int16_t fetch;
};

Outcome Submit(const std::string& sql) {
  std::string buffer = sql;
  buffer.resize(sql.size() + 64, '\0');  // room for the escape rewriting
  ZKSQLResultInfo info;
  memset(&info, 0xCC, sizeof info);
  void* request = nullptr;
  Outcome outcome{};
  outcome.status = ZKSQLExecReq(&request, &buffer[0], &info, 1, nullptr);
  outcome.compiled = info.compiled;
  char text[256] = "junk";
  char state[6] = "junk";
  EXPECT_NE(request, nullptr);
  if (request == nullptr) return outcome;
  EXPECT_EQ(ZKSQLErreur(request, text, state), 0);
  outcome.text = text;
  outcome.state = state;
  outcome.fetch = ZKSQLFetchNext(request);
  EXPECT_EQ(ZKSQLFinRequete(request), 0);
  return outcome;
}

class CompileThroughExportsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!UseEngine(EngineChoice::kStandIn)) GTEST_SKIP() << "another engine folder";
    ASSERT_EQ(JX4InitInstance(&instance_, 0), 1);
  }
  void TearDown() override {
    if (instance_ != nullptr) JXSQLFinInstance(instance_);
    ForgetEngineChoice();
  }
  void* instance_ = nullptr;
};

TEST_F(CompileThroughExportsTest, ASyntaxErrorIsReportedFramedAndNothingIsCompiled) {
  Outcome o = Submit("SELECT A FRM T");
  EXPECT_EQ(o.status, -1);
  EXPECT_EQ(o.compiled, 0);
  EXPECT_EQ(o.text, "  'FROM' attendu\n\n Item : 'FRM'\n Position : 9");
  EXPECT_EQ(o.state, "00123");
  EXPECT_EQ(o.fetch, -1);
}

TEST_F(CompileThroughExportsTest, SyntaxMessagesKeepTheirAccentedCatalogueTexts) {
  Outcome unterminated = Submit("SELECT A FROM T WHERE A = 'abc");
  EXPECT_EQ(unterminated.text, "  Second membre de la comparaison attendu\n\n Item : ''\n Position : 26");
  Outcome parenthesis = Submit("CREATE TABLE T (A INTEGER");
  EXPECT_EQ(parenthesis.text,
            "  Parenth\xE8se fermante ')' attendue\n\n Item : ';'\n Position : 26");
  EXPECT_EQ(parenthesis.compiled, 0);
}

TEST_F(CompileThroughExportsTest, AWordCreateDoesNotKnowFailsInsteadOfRunningNothing) {
  Outcome o = Submit("CREATE FOO");
  EXPECT_EQ(o.status, -1);
  EXPECT_EQ(o.compiled, 0);
  EXPECT_EQ(o.text, "  Erreur de syntaxe\n\n Item : 'FOO'\n Position : 7");
  EXPECT_EQ(o.state, "00123");
}

TEST_F(CompileThroughExportsTest, TooDeepANestingFailsCleanly) {
  std::string sql = "SELECT A FROM T WHERE " + std::string(3000, '(') + "A" +
                    std::string(3000, ')');
  Outcome o = Submit(sql);
  EXPECT_EQ(o.status, -1);
  EXPECT_EQ(o.compiled, 0);
  EXPECT_EQ(o.text, "  Erreur de syntaxe (plus de 200 niveaux d'imbrication)\n\n Item : '('\n"
                    " Position : 222");
}

TEST_F(CompileThroughExportsTest, AParsedStatementMeetsTheDictionary) {
  // The appended ";" completes the statement; the stand-in engine
  // describes no file.
  Outcome o = Submit("select a from clients");
  EXPECT_EQ(o.status, -1);
  EXPECT_EQ(o.compiled, 0);
  EXPECT_EQ(o.text, " Table 'CLIENTS' inexistante dans l'analyse");
  EXPECT_EQ(o.state, "00123");
}

TEST_F(CompileThroughExportsTest, AStatementNamingNoFileCompiles) {
  Outcome o = Submit("CREATE TABLE T (A INTEGER)");
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.compiled, 1);
  EXPECT_EQ(o.text, "");
  EXPECT_EQ(o.state, "00000");
}

TEST(CompileWithoutEngineTest, ParsesButDoesNotCompile) {
  if (!UseEngine(EngineChoice::kMissing)) GTEST_SKIP() << "another engine folder";
  void* instance = nullptr;
  ASSERT_EQ(JX4InitInstance(&instance, 0), 1);
  Outcome syntax = Submit("SELECT A FRM T");
  EXPECT_EQ(syntax.text, "  'FROM' attendu\n\n Item : 'FRM'\n Position : 9");
  Outcome parsed = Submit("DROP TABLE T");
  EXPECT_EQ(parsed.status, -1);
  EXPECT_EQ(parsed.compiled, 0);
  EXPECT_EQ(parsed.text.substr(0, 28), " Moteur de stockage non char");
  JXSQLFinInstance(instance);
  ForgetEngineChoice();
}

}  // namespace
