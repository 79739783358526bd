// Parser tests at its limits: the nesting bound (parentheses, NOT chains,
// nested function calls and sub-selects) with its recorded syntax error;
// lists as long as a statement can hold, built and released without
// recursion; running out of memory at every allocation of a parse; and the
// compile step's handling of a failed parse.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <string>

#include "../allocation_failure.h"
#include "api/statement_runner.h"
#include "parser_test_harness.h"
#include "sql/rule_codes.h"

// The unit test binary's allocation failure injection (see
// allocation_failure.h) lives here, with the first tests that used it.
namespace zksql_test {
int allocationsBeforeFailure = -1;
}  // namespace zksql_test

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  if (zksql_test::allocationsBeforeFailure == 0) return nullptr;
  if (zksql_test::allocationsBeforeFailure > 0) --zksql_test::allocationsBeforeFailure;
  return ::operator new(size);
}

namespace zksql {
namespace {

using testing_support::ParseRun;
using testing_support::TreeText;

// The report of a nesting too deep: the syntax error message naming the
// limit, framed with the item and the 1-based position.
std::string TooDeep(const char* item, int position) {
  char specific[kMessageBufferSize];
  char frame[kMessageBufferSize];
  char out[kMessageBufferSize];
  LoadMessage(kMsgSyntaxError, specific, sizeof specific);
  std::string message = std::string(specific) + " (plus de 200 niveaux d'imbrication)";
  LoadMessage(kMsgSyntaxFrame, frame, sizeof frame);
  ZkFormat(out, sizeof out, frame, message.c_str(), item, position);
  return out;
}

std::string Repeat(const std::string& piece, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += piece;
  return out;
}

std::string Parenthesised(int depth) {
  return "SELECT A FROM T WHERE " + Repeat("(", depth) + "A" + Repeat(")", depth) + ";";
}

TEST(NestingTest, ParenthesesUpToTheBoundParse) {
  // The sub-select, the condition's own level, one per parenthesis and
  // the item inside: 197 parentheses reach the bound of 200 levels exactly.
  ParseRun run(Parenthesised(197));
  EXPECT_EQ(run.error(), "");
  ASSERT_NE(run.root(), nullptr);
  // The innermost item is the only column, under 197 factors.
  EXPECT_EQ(run.root()->FindNthByCode(FON_FACTEUR, 198)->child->child->text, std::string("A"));
}

TEST(NestingTest, DeeperParenthesesFailWithARecordedSyntaxError) {
  ParseRun justOver(Parenthesised(198));
  EXPECT_EQ(justOver.root(), nullptr);
  EXPECT_EQ(justOver.error(), TooDeep("A", 22 + 198 + 1));
  EXPECT_EQ(justOver.state(), "00123");

  // Far deeper: the level past the bound starts after the 199th
  // parenthesis, where the 200th stands.
  ParseRun distant(Parenthesised(5000));
  EXPECT_EQ(distant.root(), nullptr);
  EXPECT_EQ(distant.error(), TooDeep("(", 22 + 199 + 1));
}

TEST(NestingTest, LongNotChainsAreBounded) {
  ParseRun allowed("SELECT A FROM T WHERE " + Repeat("NOT ", 150) + "A = 1;");
  EXPECT_EQ(allowed.error(), "");
  ParseRun deep("SELECT A FROM T WHERE " + Repeat("NOT ", 3000) + "A = 1;");
  EXPECT_EQ(deep.root(), nullptr);
  // The 201st level (the sub-select is the first) starts after the 199th
  // NOT, before the 200th.
  EXPECT_EQ(deep.error(), TooDeep("NOT", 22 + 4 * 199));
}

TEST(NestingTest, NestedFunctionCallsAreBoundedEvenInTheSelectList) {
  // A select item turns every failure into a wrong select item; the bound
  // still reports itself, at the item that went too deep.
  ParseRun allowed("SELECT " + Repeat("LENGTH(", 150) + "A" + Repeat(")", 150) + " FROM T;");
  EXPECT_EQ(allowed.error(), "");
  ParseRun deep("SELECT " + Repeat("LENGTH(", 2000) + "A" + Repeat(")", 2000) + " FROM T;");
  EXPECT_EQ(deep.root(), nullptr);
  EXPECT_EQ(deep.error(), TooDeep("LENGTH", 7 * 200 + 1));
}

TEST(NestingTest, NestedSubSelectsAreBounded) {
  auto nested = [](int depth) {
    return Repeat("SELECT A FROM T WHERE A IN (", depth) + "SELECT A FROM T" + Repeat(")", depth) +
           ";";
  };
  ParseRun allowed(nested(90));
  EXPECT_EQ(allowed.error(), "");
  EXPECT_NE(allowed.root()->FindNthByCode(FON_SOUS_SELECT, 91), nullptr);
  ParseRun deep(nested(500));
  EXPECT_EQ(deep.root(), nullptr);
  EXPECT_EQ(deep.error().substr(0, 20), TooDeep("", 0).substr(0, 20));
}

TEST(LongListTest, HugeListsAreBuiltInOrderWithoutRecursion) {
  const int count = 8000;  // as many as a 16 KiB statement holds
  std::string inList = "SELECT A FROM T WHERE A IN (" + Repeat("7,", count - 1) + "9);";
  ParseRun run(inList);
  EXPECT_EQ(run.error(), "");
  const ParseNode* list = run.root()->FindNthByCode(FON_ITEM_SIMPLE_VIRGULE_LISTE, 1);
  ASSERT_NE(list, nullptr);
  int items = 0;
  const ParseNode* last = nullptr;
  for (const ParseNode* item = list->child; item != nullptr; item = item->next, ++items) {
    last = item;
  }
  EXPECT_EQ(items, count);
  EXPECT_STREQ(last->child->text, "9");
}

TEST(LongListTest, LongSelectListsAndConditionChainsParse) {
  ParseRun columns("SELECT " + Repeat("A, ", 3000) + "B FROM T;");
  EXPECT_EQ(columns.error(), "");
  EXPECT_NE(columns.root()->FindNthByCode(FON_SELECTION_ITEM, 3001), nullptr);
  ParseRun chain("SELECT A FROM T WHERE " + Repeat("A = 1 AND B = 2 OR ", 500) + "C = 3;");
  EXPECT_EQ(chain.error(), "");
  const ParseNode* condition = chain.root()->FindNthByCode(FON_CONDITION_RECHERCHE, 1);
  int terms = 0;
  for (const ParseNode* t = condition->child; t != nullptr; t = t->next) ++terms;
  EXPECT_EQ(terms, 501);
}

TEST(LongListTest, AFailureAtTheEndOfAHugeListReleasesIt) {
  ParseRun run("SELECT A FROM T WHERE A IN (" + Repeat("1, ", 5000) + ");");
  EXPECT_EQ(run.root(), nullptr);
  EXPECT_EQ(run.error(), testing_support::Framed(4268, ")", 28 + 3 * 5000));
}

// Parses the text with the allocation failing after `allowed` successes.
struct StarvedRun {
  StarvedRun(const char* sql, int allowed) : text(sql) {
    request = CreateRequest(&text[0], 0, nullptr);
    Parser parser(request, request->dict.get());
    // Every node is then allocated afresh, so each allocation can fail.
    ParseNode::ReleaseCache();
    zksql_test::allocationsBeforeFailure = allowed;
    parser.Parse();
    zksql_test::allocationsBeforeFailure = -1;
  }
  ~StarvedRun() { DestroyRequest(request); }
  std::string text;
  Request* request;
};

TEST(OutOfMemoryTest, EveryFailedAllocationFailsTheParseWithMessage4242) {
  const char* statements[] = {
      "SELECT DISTINCT A, SUM(B) FROM T X, U WHERE A IN (1, 2) AND NOT B LIKE 'x%' "
      "OR EXISTS (SELECT * FROM V) GROUP BY A HAVING A > 1 ORDER BY A DESC;",
      "INSERT INTO T (A, B) VALUES (1, 'b');",
      "UPDATE T SET A = (NULL), B = (2) WHERE C BETWEEN 1 AND 2;",
      "CREATE TABLE T (A CHAR(5) NOT NULL WITH DEFAULT 'a', B INTEGER PRIMARY KEY);",
      "CREATE UNIQUE INDEX I ON T (A, B);",
  };
  char outOfMemory[kMessageBufferSize];
  LoadMessage(kMsgOutOfMemory, outOfMemory, sizeof outOfMemory);
  for (const char* sql : statements) {
    ParseRun whole(sql);
    ASSERT_EQ(whole.error(), "") << sql;
    int failures = 0;
    for (int allowed = 0; allowed < 1000; ++allowed) {
      StarvedRun run(sql, allowed);
      if (run.request->parseRoot != nullptr) {
        EXPECT_EQ(TreeText(run.request->parseRoot.get()), whole.tree()) << sql;
        EXPECT_STREQ(run.request->errorText, "");
        break;
      }
      ++failures;
      EXPECT_STREQ(run.request->errorText, outOfMemory) << sql << " after " << allowed;
      EXPECT_STREQ(run.request->sqlState, "00123");
    }
    EXPECT_GT(failures, 5) << sql;
  }
}

TEST(CompileTest, ASyntaxErrorLeavesTheRequestUncompiledWithTheReport) {
  for (const char* sql : {"SELECT A FRM T;", "CREATE FOO;", ""}) {
    std::string text = sql;
    Request* request = CreateRequest(&text[0], 0, nullptr);
    ASSERT_NE(request, nullptr);
    CompileStatement(request);
    EXPECT_EQ(request->compiled, 0);
    EXPECT_EQ(request->parseRoot, nullptr);
    EXPECT_TRUE(HasError(request)) << sql;
    EXPECT_STREQ(request->sqlState, "00123");
    DestroyRequest(request);
  }
}

}  // namespace
}  // namespace zksql
