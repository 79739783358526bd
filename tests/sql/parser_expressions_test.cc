// Parser tests below the clause level: conditions with OR, AND and NOT,
// every predicate and comparison form, arithmetic, the sign rules of simple
// items, the function forms, their syntax errors, and how abandoned
// alternatives move the recorded position. Conditions are written as the
// WHERE clause of «SELECT A FROM T WHERE ...;», whose text before the
// condition is 22 characters long.
#include <gtest/gtest.h>

#include <string>

#include "parser_test_harness.h"

namespace zksql {
namespace {

using testing_support::Framed;
using testing_support::ParseRun;
using testing_support::TreeText;

const char kPrefix[] = "SELECT A FROM T WHERE ";
constexpr int kPrefixLength = 22;

// The WHERE condition node of a parsed «SELECT A FROM T WHERE ...».
const ParseNode* Condition(const ParseRun& run) {
  if (run.root() == nullptr) return nullptr;
  const ParseNode* sub = run.root()->child->child;  // -26, then -24
  return sub->child->next->next;                    // -25, -6, then -15
}

// Shorthands: a value that is one simple item, and a predicate of it.
std::string Value(const std::string& token) { return "-19(-20(-21(-1(" + token + "))))"; }
std::string Predicate(const std::string& value, const std::string& comparison = "") {
  return "-17(-18(" + value + (comparison.empty() ? "" : "," + comparison) + "))";
}
std::string Alone(const std::string& predicate) { return "-15(-16(" + predicate + "))"; }
const std::string kSubSelectB = "-24(-25(-9(-10(-1(B)))),-6(-8(U)))";

struct ConditionCase {
  const char* condition;
  std::string tree;
};

const ConditionCase kConditions[] = {
    {"A = 1 OR B = 2 AND NOT D = 3",
     "-15(-16(" + Predicate(Value("A"), "-22(=,-1(1#101))") + "),-16(" +
         Predicate(Value("B"), "-22(=,-1(2#101))") + ",-17(NOT," +
         Predicate(Value("D"), "-22(=,-1(3#101))") + ")))"},
    {"(A = 1 OR B = 2) AND D = 3",
     "-15(-16(-17(-18(-19(-20(-21(-15(-16(" + Predicate(Value("A"), "-22(=,-1(1#101))") +
         "),-16(" + Predicate(Value("B"), "-22(=,-1(2#101))") + ")))))))," +
         Predicate(Value("D"), "-22(=,-1(3#101))") + "))"},
    {"A + B * 2 > 3",
     Alone(Predicate("-19(-20(-21(-1(A))),+,-20(-21(-1(B)),*,-21(-1(2#101))))",
                     "-22(>,-1(3#101))"))},
    // A parenthesised value inside arithmetic is a factor holding a search
    // condition; its outer comparison stays with the predicate.
    {"(A + 1) * 2 = 8",
     Alone(Predicate("-19(-20(-21(-15(-16(-17(-18(-19(-20(-21(-1(A))),+,-20(-21(-1(1#101)))))"
                     ")))),*,-21(-1(2#101))))",
                     "-22(=,-1(8#101))"))},
    {"- A / B < 2",
     Alone(Predicate("-19(-,-20(-21(-1(A)),/,-21(-1(B))))", "-22(<,-1(2#101))"))},
    // Sign rules: arithmetic reads no signed number, a simple item does.
    {"A -1 >= 0", Alone(Predicate("-19(-20(-21(-1(A))),-,-20(-21(-1(1#101))))",
                                  "-22(>=,-1(0#101))"))},
    {"A = -1", Alone(Predicate(Value("A"), "-22(=,-1(-1#104))"))},
    {"A <= +2.5", Alone(Predicate(Value("A"), "-22(<=,-1(+2.5#103))"))},
    {"A <> 1e5", Alone(Predicate(Value("A"), "-22(<>,-1(1e5#104))"))},
    {"A = 1.5", Alone(Predicate(Value("A"), "-22(=,-1(1.5#103))"))},
    {"A = 'x'", Alone(Predicate(Value("A"), "-22(=,-1('x'))"))},
    {"T.DATE = B", Alone(Predicate(Value("T.DATE"), "-22(=,-1(B))"))},
    // A value alone is a predicate without comparison.
    {"A", Alone(Predicate(Value("A")))},
    {"A BETWEEN 1 AND 10",
     Alone(Predicate(Value("A"), "-22(BETWEEN,-1(1#101),-1(10#101))"))},
    {"A NOT BETWEEN -1 AND B",
     Alone(Predicate(Value("A"), "-22(NOT,BETWEEN,-1(-1#104),-1(B))"))},
    {"A IN (1, 2, 3)",
     Alone(Predicate(Value("A"), "-22(IN,-23(-5(-1(1#101),-1(2#101),-1(3#101))))"))},
    {"A NOT IN (SELECT B FROM U)",
     Alone(Predicate(Value("A"), "-22(NOT,IN,-23(" + kSubSelectB + "))"))},
    {"A LIKE 'x%'", Alone(Predicate(Value("A"), "-22(LIKE,'x%')"))},
    {"A NOT LIKE ''", Alone(Predicate(Value("A"), "-22(NOT,LIKE,'')"))},
    {"A IS NULL", Alone(Predicate(Value("A"), "-22(IS)"))},
    {"A IS NOT NULL", Alone(Predicate(Value("A"), "-22(IS,NOT)"))},
    {"A MATCH (SELECT B FROM U)", Alone(Predicate(Value("A"), "-22(MATCH,-23(" + kSubSelectB +
                                                                  "))"))},
    {"A MATCH UNIQUE (1, 'b')",
     Alone(Predicate(Value("A"), "-22(MATCH,UNIQUE,-23(-5(-1(1#101),-1('b'))))"))},
    {"A = ANY (SELECT B FROM U)",
     Alone(Predicate(Value("A"), "-22(=,ANY,-23(" + kSubSelectB + "))"))},
    {"A > ALL (1, 2)", Alone(Predicate(Value("A"), "-22(>,ALL,-23(-5(-1(1#101),-1(2#101))))"))},
    {"A < SOME (B)", Alone(Predicate(Value("A"), "-22(<,SOME,-23(-5(-1(B))))"))},
    {"A = (SELECT B FROM U)", Alone(Predicate(Value("A"), "-22(=," + kSubSelectB + ")"))},
    {"EXISTS (SELECT B FROM U)", Alone("-17(-18(EXISTS," + kSubSelectB + "))")},
    {"NOT EXISTS (SELECT B FROM U)", Alone("-17(NOT,-17(-18(EXISTS," + kSubSelectB + ")))")},
    {"EXISTS NOT (SELECT B FROM U)", Alone("-17(-18(EXISTS,NOT," + kSubSelectB + "))")},
    {"UNIQUE (SELECT B FROM U)", Alone("-17(-18(UNIQUE," + kSubSelectB + "))")},
    {"NOT NOT A = 1",
     Alone("-17(NOT,-17(NOT," + Predicate(Value("A"), "-22(=,-1(1#101))") + "))")},
    // Functions as simple items.
    {"A = LENGTH(B)", Alone(Predicate(Value("A"), "-22(=,-1(-2(LENGTH,-1(B))))"))},
    {"DIGITS(A) = HEX(-2)",
     Alone(Predicate(Value("-2(DIGITS,-1(A))"), "-22(=,-1(-2(HEX,-1(-2#104))))"))},
    {"FLOAT(A) > INTEGER('3')",
     Alone(Predicate(Value("-2(FLOAT,-1(A))"), "-22(>,-1(-2(INTEGER,-1('3'))))"))},
    {"A = SUM(ALL B)", Alone(Predicate(Value("A"), "-22(=,-1(-3(SUM,ALL,-1(B))))"))},
    {"AVG(A) = MIN(B)", Alone(Predicate(Value("-3(AVG,-1(A))"), "-22(=,-1(-3(MIN,-1(B))))"))},
    {"A = COUNT(*)", Alone(Predicate(Value("A"), "-22(=,-1(-3(COUNT(*))))"))},
    {"A = TIME('10:00')", Alone(Predicate(Value("A"), "-22(=,-1(-4(TIME,'10:00')))"))},
    {"A = MINUTE(CURRENT TIME)",
     Alone(Predicate(Value("A"), "-22(=,-1(-4(MINUTE,CURRENT TIME)))"))},
    {"DAY('2001-02-03') = SECOND('10:00:05')",
     Alone(Predicate(Value("-4(DAY,'2001-02-03')"), "-22(=,-1(-4(SECOND,'10:00:05')))"))},
    {"A = HOUR(CURRENT DATE) OR A = YEAR(CURRENT DATE)",
     "-15(-16(" + Predicate(Value("A"), "-22(=,-1(-4(HOUR,CURRENT DATE)))") + "),-16(" +
         Predicate(Value("A"), "-22(=,-1(-4(YEAR,CURRENT DATE)))") + "))"},
};

class ConditionTreeTest : public ::testing::TestWithParam<ConditionCase> {};

TEST_P(ConditionTreeTest, ParsesIntoTheConditionTree) {
  const ConditionCase& c = GetParam();
  ParseRun run(std::string(kPrefix) + c.condition + ";");
  EXPECT_EQ(run.error(), "");
  EXPECT_EQ(TreeText(Condition(run)), c.tree);
}

INSTANTIATE_TEST_SUITE_P(EveryPredicateForm, ConditionTreeTest, ::testing::ValuesIn(kConditions));

struct ConditionErrorCase {
  const char* condition;  // the statement ends with it: no ";" is added
  int32_t message;
  const char* item;
  // The shown position minus the prefix length; the condition's own rules
  // start at the blank after WHERE, which shows as offset 0.
  int offset;
};

const ConditionErrorCase kConditionErrors[] = {
    {"A > B + 1;", 4262, "+", 6},
    {"A ** 2 = 4;", 4262, "**", 2},
    {"A = B % 2;", 4262, "%", 6},
    {"A NOT = 1;", 4262, "NOT", 2},
    {"A = - 1;", 4273, "-", 4},
    {"A = NULL;", 4273, "NULL", 4},
    {"A = 'abc;", 4273, "", 4},
    {"A =", 4273, "", 4},
    {"A = 1 AND;", 4268, ";", 10},
    {"A = 1 OR", 4276, "", 9},
    {";", 4268, ";", 0},
    {"", 4276, "", 0},
    {"(A = 1;", 4250, ";", 7},
    {"();", 4268, ")", 2},
    {"A BETWEEN 1 10;", 4260, "10", 12},
    {"A BETWEEN AND 1;", 4268, "AND", 10},
    {"A BETWEEN 1 AND;", 4268, ";", 16},
    {"A BETWEEN 'x;", 4247, "", 10},
    {"A IN ();", 4268, ")", 7},
    {"A IN (", 4275, "", 7},
    {"A IN 1;", 4251, "1", 5},
    {"A IN (1, );", 4268, ")", 9},
    {"A IN (1;", 4250, ";", 8},
    {"A NOT IN 1;", 4251, "1", 9},
    {"A NOT", 4273, "", 6},
    {"A LIKE B;", 4261, "B", 7},
    {"A LIKE 'abc;", 4261, "", 7},
    {"A IS 1;", 4264, "1", 5},
    {"A IS NOT 1;", 4264, "1", 9},
    {"A IS NOT", 4264, "", 9},
    // Nothing after IS ends the comparison; the statement then lacks ";".
    {"A IS", 4262, "", 5},
    {"A MATCH 1;", 4251, "1", 8},
    {"A MATCH UNIQUE 1;", 4251, "1", 15},
    {"A MATCH (1;", 4250, ";", 11},
    {"A MATCH", 4262, "", 8},
    {"A = SOME 1;", 4251, "1", 9},
    {"A = ANY (SELECT B FROM U;", 4250, ";", 25},
    {"A = (1);", 4266, "1", 6},
    {"A = (SELECT B FROM U;", 4250, ";", 21},
    {"EXISTS SELECT B FROM U;", 4251, "SELECT", 7},
    {"EXISTS NOT SELECT B FROM U;", 4251, "SELECT", 11},
    {"EXISTS", 4251, "", 7},
    {"EXISTS (SELECT B FROM U;", 4250, ";", 24},
    {"EXISTS (B);", 4266, "B", 9},
    // Function errors keep their own message in a condition.
    {"A = HOUR(A);", 4269, "A", 10},
    {"A = DAY(", 4245, "", 9},
    {"A = DATE(CURRENT DATE);", 4261, "CURRENT DATE", 10},
    {"A = DATE('x';", 4250, ";", 13},
    {"A = TIME(1);", 4261, "1", 10},
    {"A = LENGTH 1;", 4251, "1", 11},
    {"A = LENGTH(NULL);", 4268, "NULL", 12},
    {"A = LENGTH(B;", 4250, ";", 13},
    {"A = SUM(ALL);", 4268, ")", 12},
    {"A = MAX(B;", 4250, ";", 10},
    {"A = AVG B;", 4251, "B", 8},
    {"A = COUNT DISTINCT(B);", 4262, "(", 19},
};

class ConditionErrorTest : public ::testing::TestWithParam<ConditionErrorCase> {};

TEST_P(ConditionErrorTest, IsReportedFramedWithItemAndPosition) {
  const ConditionErrorCase& c = GetParam();
  ParseRun run(std::string(kPrefix) + c.condition);
  EXPECT_EQ(run.root(), nullptr);
  EXPECT_EQ(run.error(), Framed(c.message, c.item, kPrefixLength + c.offset));
  EXPECT_EQ(run.state(), "00123");
}

INSTANTIATE_TEST_SUITE_P(ConditionRules, ConditionErrorTest, ::testing::ValuesIn(kConditionErrors));

TEST(SelectListFunctionTest, AggregatesScalarAndDateFunctionsParseInTheSelectList) {
  ParseRun run(
      "SELECT SUM(DISTINCT A), COUNT(*), COUNT DISTINCT, MAX(B), LENGTH(C), "
      "YEAR(CURRENT DATE), DATE('1999-01-31'), -5 FROM T;");
  EXPECT_EQ(run.error(), "");
  EXPECT_EQ(TreeText(run.root()->child->child->child),
            "-25(-9(-10(-1(-3(SUM,DISTINCT,-1(A)))),-10(-1(-3(COUNT(*)))),"
            "-10(-1(-3(COUNT DISTINCT))),-10(-1(-3(MAX,-1(B)))),-10(-1(-2(LENGTH,-1(C)))),"
            "-10(-1(-4(YEAR,CURRENT DATE))),-10(-1(-4(DATE,'1999-01-31'))),-10(-1(-5#104))))");
  EXPECT_EQ(run.wanted(), "A B C");
}

TEST(SelectListFunctionTest, AFailingItemIsAWrongSelectItemAtTheListStart) {
  ParseRun date("SELECT DATE(CURRENT DATE) FROM T;");
  EXPECT_EQ(date.error(), Framed(4272, "DATE", 7));
  ParseRun star("SELECT A, * FROM T;");
  EXPECT_EQ(star.error(), Framed(4268, "*", 10));
}

TEST(AbandonedAlternativeTest, APredicateWithoutComparisonLeavesTheComparisonsPosition) {
  ParseRun run("SELECT A FROM T WHERE A;");
  EXPECT_EQ(run.error(), "");
  EXPECT_EQ(run.errorPosition(), 23);  // the comparison's start, after A
}

TEST(AbandonedAlternativeTest, TheFunctionRulesTriedBeforeTheRightOneMoveThePosition) {
  ParseRun run("SELECT A FROM T WHERE A = COUNT(*);");
  EXPECT_EQ(run.error(), "");
  // The scalar function rule answered "not mine" at the item's start.
  EXPECT_EQ(run.errorPosition(), 25);
}

TEST(AbandonedAlternativeTest, AFailureWithoutPositionShowsTheLastAbandonedOne) {
  // The factor after "*" meets the end of the text and records no
  // position; the report shows where the comparison after A gave up.
  ParseRun run("SELECT A FROM T WHERE A AND B *");
  EXPECT_EQ(run.error(), Framed(4245, "AND", 24));
}

TEST(AbandonedAlternativeTest, WithoutAnyRecordedPositionTheItemIsUnknown) {
  ParseRun run("SELECT A FROM T WHERE B *");
  EXPECT_EQ(run.error(), Framed(4245, "<?>", 0));
}

}  // namespace
}  // namespace zksql
