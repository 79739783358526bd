// Analysis of parsed statements against a dictionary made by hand: the
// drivers it creates, the annotations it leaves in the parse tree, the
// condition trees and their row sets, and every message it reports.
#include "analysis/analyser.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "../allocation_failure.h"
#include "../sql/parser_test_harness.h"
#include "exec/evaluator.h"
#include "exec/statement_executor.h"
#include "select/condition_tree.h"
#include "select/row_set.h"
#include "select/selection_driver.h"
#include "sql/rule_codes.h"
#include "storage/column.h"

namespace zksql {
namespace {

using testing_support::ParseRun;

struct ItemDef {
  const char* name;
  uint16_t type;
  uint8_t keyKind;
};

// The dictionary every case sees: T (A, B, K), U (B, C, D, K), T1 and T2
// (both with A), W (a composite key P and a raw item R).
const std::map<std::string, std::vector<ItemDef>> kSchema = {
    {"T", {{"A", kTypeReal, 0}, {"B", kTypeText, 0}, {"K", kTypeInt32, 1}}},
    {"U", {{"B", kTypeText, 0}, {"C", kTypeReal, 0}, {"D", kTypeText, 0}, {"K", kTypeInt32, 0}}},
    {"T1", {{"A", kTypeReal, 0}}},
    {"T2", {{"A", kTypeReal, 0}}},
    {"W", {{"P", kTypeText, kCompositeKey}, {"R", kTypeRaw, 0}}},
};

// Parses a statement, gives each registered table (and alias) the columns
// of its file, and analyses it.
class Analysis {
 public:
  // With `allowed` 0 or more, the analysis itself may allocate that many
  // objects and no more.
  explicit Analysis(const std::string& sql, int allowed = -1) : run_(sql) {
    Request* request = run_.request();
    executor_ = new StatementExecutor(request);
    request->executor.reset(executor_);
    auto* evaluator = new Evaluator(executor_);
    request->evaluator.reset(evaluator);
    executor_->AttachEvaluator(evaluator);
    if (request->parseRoot == nullptr) return;
    PtrArray& tables = request->dict->tables();
    for (int16_t i = 0; i < tables.Count(); ++i) {
      FileTable* t = tables.GetAs<Table>(i)->AsFile();
      const char* file = t->base() != nullptr ? t->base()->fileName() : t->fileName();
      auto found = kSchema.find(file);
      if (found == kSchema.end()) continue;
      uint16_t offset = 1;
      for (const ItemDef& item : found->second) {
        t->AddColumn(new Column(item.name, item.type, 8, item.keyKind, offset, t, t->fileName()));
        offset = static_cast<uint16_t>(offset + 8);
      }
      EXPECT_TRUE(t->SetRowSize(offset, true));
    }
    Analyser analyser(request);
    zksql_test::StarveAllocations starve(allowed);
    result_ = analyser.Analyse(executor_);
  }

  int16_t result() const { return result_; }
  std::string error() const { return run_.request()->errorText; }
  std::string state() const { return run_.request()->sqlState; }
  StatementExecutor& executor() { return *executor_; }
  SelectionDriver* driver(int16_t i) { return executor_->Driver(i); }
  ParseNode* root() const { return run_.root(); }
  std::string tree() const { return run_.tree(); }

 private:
  ParseRun run_;
  StatementExecutor* executor_ = nullptr;
  int16_t result_ = -99;
};

// A message as the catalogue formats it with one text argument.
std::string Message(int32_t id, const char* argument) {
  char format[kMessageBufferSize];
  char out[kMessageBufferSize];
  LoadMessage(id, format, sizeof format);
  ZkFormat(out, sizeof out, format, argument);
  return out;
}

// A condition tree in short form: leaf = its row set's references (or
// "()"), NOT(x), [a AND b], [a OR b].
std::string Shape(const ParseNode* tree) {
  if (tree == nullptr) return "null";
  switch (tree->code) {
    case kConditionLeaf: {
      RowSet* rows = RowSetOf(tree);
      std::string refs;
      for (const ParseNode* r = rows == nullptr ? nullptr : rows->references.get(); r != nullptr;
           r = r->next) {
        if (!refs.empty()) refs += ",";
        refs += r->text;
      }
      return "(" + refs + ")";
    }
    case kConditionNot:
      return "NOT" + Shape(tree->child);
    case kConditionGroup: {
      std::string out = "[";
      for (const ParseNode* n = tree; n != nullptr; n = n->next) {
        if (n->code == kConditionGroup) {
          out += Shape(n->child);
        } else {
          out += std::string(" ") + n->text + " ";
        }
      }
      return out + "]";
    }
    default:
      return "?";
  }
}

// The condition groups of a driver: "T1/T2{n}" per group, its tables
// in order, with n row sets.
std::string Groups(const SelectionDriver* d) {
  std::string out;
  for (const ConditionGroup& g : d->groups) {
    if (!out.empty()) out += " ";
    for (const Table* t : g.tables()) {
      if (t != g.tables().front()) out += "/";
      out += t->fileName();
    }
    out += "{" + std::to_string(g.rowSets().size()) + "}";
  }
  return out;
}

// The link nodes of a driver's sub-selects: "code:text<refs>".
std::string Links(const SelectionDriver* d) {
  std::string out;
  for (const ParseNode* l = d->subSelects->next; l != nullptr; l = l->next) {
    if (!out.empty()) out += " ";
    out += std::to_string(l->code) + ":" + l->text + "<";
    for (const ParseNode* r = l->child->next; r != nullptr; r = r->next) {
      if (r != l->child->next) out += ",";
      out += r->text;
    }
    out += ">";
  }
  return out;
}

TEST(SelectListTest, StarQuantifiersAndItemValues) {
  Analysis star("SELECT * FROM T;");
  ASSERT_EQ(star.result(), 1) << star.error();
  EXPECT_EQ(star.executor().driverCount, 1);
  EXPECT_EQ(star.driver(0)->columns, nullptr);
  EXPECT_EQ(star.driver(0)->distinct, 0);
  EXPECT_EQ(star.driver(0)->parentIndex, -1);

  Analysis distinct("SELECT DISTINCT A FROM T;");
  ASSERT_EQ(distinct.result(), 1) << distinct.error();
  EXPECT_EQ(distinct.driver(0)->distinct, 20);
  ParseNode* item = distinct.root()->FindNthByCode(FON_SELECTION_ITEM, 1)->child;
  EXPECT_EQ(item->value, 20);
  EXPECT_STREQ(item->child->text, "T/A");

  Analysis all("SELECT ALL A FROM T;");
  ASSERT_EQ(all.result(), 1);
  EXPECT_EQ(all.driver(0)->distinct, 1);
  EXPECT_EQ(all.root()->FindNthByCode(FON_SELECTION_ITEM, 1)->child->value, 1);

  Analysis plain("SELECT A, B FROM T;");
  ASSERT_EQ(plain.result(), 1);
  EXPECT_EQ(plain.driver(0)->distinct, 0);
  EXPECT_EQ(plain.root()->FindNthByCode(FON_SELECTION_ITEM, 1)->child->value, 1);
  ASSERT_NE(plain.driver(0)->columns, nullptr);
  EXPECT_EQ(plain.driver(0)->columns->Count(), 2);
}

TEST(ColumnResolutionTest, LastFromTableWinsAliasesAndQualifiedNames) {
  Analysis both("SELECT A FROM T1, T2;");
  ASSERT_EQ(both.result(), 1) << both.error();
  EXPECT_STREQ(both.root()->FindNthByCode(FON_SELECTION_ITEM, 1)->child->child->text, "T2/A");
  EXPECT_STREQ(both.driver(0)->tableNames->text, "T1/T2");

  Analysis alias("SELECT X.A FROM T X;");
  ASSERT_EQ(alias.result(), 1) << alias.error();
  EXPECT_STREQ(alias.root()->FindNthByCode(FON_SELECTION_ITEM, 1)->child->child->text, "X/A");

  Analysis qualified("SELECT T1.A FROM T1, T2;");
  ASSERT_EQ(qualified.result(), 1);
  EXPECT_STREQ(qualified.root()->FindNthByCode(FON_SELECTION_ITEM, 1)->child->child->text, "T1/A");
}

struct ErrorCase {
  const char* sql;
  int32_t id;
  const char* argument;
};

const ErrorCase kErrors[] = {
    {"SELECT Z FROM T;", kMsgUnknownColumn, "Z"},
    {"SELECT * FROM T ORDER BY Z;", kMsgUnknownColumn, "Z"},
    // An ORDER BY name that is no alias, result column or FROM column.
    {"SELECT A FROM T ORDER BY Z;", kMsgUnknownColumn, "Z"},
    {"SELECT A AS X FROM T ORDER BY T.X;", kMsgUnknownColumn, "T.X"},
    {"SELECT A FROM T ORDER BY R;", kMsgUnknownColumn, "R"},
    // Grouped rows have no value of a column outside the groups.
    {"SELECT MAX(A) FROM T ORDER BY B;", kMsgUnknownColumn, "B"},
    {"SELECT A FROM T GROUP BY A ORDER BY B;", kMsgUnknownColumn, "B"},
    // A set operation orders by the first SELECT's columns only.
    {"SELECT A FROM T UNION SELECT C FROM U ORDER BY B;", kMsgUnknownColumn, "B"},
    {"SELECT A FROM T UNION SELECT C FROM U ORDER BY C;", kMsgUnknownColumn, "C"},
    {"SELECT * FROM W ORDER BY R;", kMsgTypeMismatch, "R"},
    {"SELECT A FROM T, W ORDER BY R;", kMsgTypeMismatch, "R"},
    {"SELECT A FROM T, W ORDER BY W.P;", kMsgCompositeKeyColumn, "P"},
    {"SELECT A FROM T GROUP BY Z;", kMsgUnknownColumn, "Z"},
    {"SELECT A FROM T WHERE A = (SELECT B, D FROM U);", kMsgTypeMismatch, ""},
    {"SELECT A FROM T WHERE A IN (SELECT * FROM U);", kMsgTypeMismatch, "*"},
    {"SELECT A FROM T WHERE A = 'x';", kMsgTypeMismatch, ""},
    {"SELECT A FROM T WHERE A IN (1, 'x');", kMsgTypeMismatch, ""},
    {"SELECT A FROM T WHERE A BETWEEN 1 AND 'x';", kMsgTypeMismatch, ""},
    {"SELECT SUM(5) FROM T;", kMsgColumnExpected, "5"},
    {"SELECT SUM(B) FROM T;", kMsgTypeMismatch, ""},
    {"SELECT A FROM T WHERE 1 + (A = B) = 2;", kMsgLogicalInArithmetic, ""},
    {"SELECT A FROM T WHERE (A = 1 OR A = 2) + 1 = 2;", kMsgLogicalInArithmetic, ""},
    {"SELECT A FROM T WHERE - (NOT A = 1) = 2;", kMsgLogicalInArithmetic, "NOT"},
    {"SELECT A FROM T WHERE A + B = 1;", kMsgTypeMismatch, ""},
    {"SELECT A FROM T WHERE DIGITS(B) = 'x';", kMsgTypeMismatch, ""},
    {"SELECT A FROM T WHERE HEX(A) = 'x';", kMsgTypeMismatch, ""},
    {"SELECT P FROM W;", kMsgCompositeKeyColumn, "P"},
    {"SELECT R FROM W;", kMsgTypeMismatch, "R"},
    {"SELECT A FROM T WHERE EXISTS (SELECT * FROM U WHERE Q = 1);", kMsgUnknownColumn, "Q"},
    // A condition compared with a value has no value to compare.
    {"SELECT A FROM T WHERE (A = 1) = 1;", kMsgTypeMismatch, ""},
    // COUNT(*) as a first member is "any": only a second member may be.
    {"SELECT A FROM T WHERE COUNT(*) > 1;", kMsgTypeMismatch, ""},
    {"SELECT A FROM T WHERE SUM(A) = MAX(YEAR(CURRENT DATE));", kMsgTypeMismatch, "YEAR"},
};

class AnalysisErrorTest : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(AnalysisErrorTest, StopsWithTheMessage) {
  const ErrorCase& c = GetParam();
  Analysis a(c.sql);
  EXPECT_EQ(a.result(), 0);
  EXPECT_EQ(a.error(), Message(c.id, c.argument)) << c.sql;
  EXPECT_EQ(a.state(), "00123");
}

INSTANTIATE_TEST_SUITE_P(Messages, AnalysisErrorTest, ::testing::ValuesIn(kErrors));

TEST(AnalysisErrorTest, HavingIsAnalysedThenRefused) {
  Analysis counted("SELECT A FROM T GROUP BY A HAVING COUNT(*) > 1;");
  EXPECT_EQ(counted.error(), Message(kMsgTypeMismatch, ""));
  Analysis plain("SELECT A FROM T WHERE A = 1 GROUP BY A HAVING A > 1;");
  EXPECT_EQ(plain.result(), 0);
  EXPECT_EQ(plain.error(), Message(kMsgUnsupportedCommand, ""));
}

TEST(AnalysisErrorTest, OtherStatementsPassUnanalysed) {
  for (const char* sql :
       {"UPDATE T SET A = (1) WHERE B = 2;", "DELETE FROM T WHERE Z = 1;",
        "INSERT INTO T VALUES (1);", "CREATE TABLE N (A INTEGER);", "DROP TABLE T;"}) {
    Analysis a(sql);
    EXPECT_EQ(a.result(), 1) << sql;
    EXPECT_EQ(a.executor().driverCount, 0) << sql;
    EXPECT_EQ(a.error(), "") << sql;
  }
}

struct ShapeCase {
  const char* where;
  const char* shape;
  const char* groups;
};

const ShapeCase kShapes[] = {
    {"A = 1", "(T/A)", "T{1}"},
    {"1 = 1", "()", "{1}"},
    {"A = 1 OR B = 'x'", "[(T/A) OR (T/B)]", "T{2}"},
    {"(A = 1 OR B = 'x')", "[(T/A) OR (T/B)]", "T{2}"},
    {"A = 1 AND NOT B = 'x'", "[(T/A) AND NOT(T/B)]", "T{2}"},
    {"(A = 1 OR A = 2) AND K = 3", "[[(T/A) OR (T/A)] AND (T/K)]", "T{3}"},
    {"A + 1 = 2 AND B = 'y'", "[(T/A) AND (T/B)]", "T{2}"},
    // A parenthesised value is read by the predicate it belongs to.
    {"(A + 1) * 2 = 8", "(T/A)", "T{1}"},
    {"((A)) = K", "(T/A,T/K)", "T{1}"},
    {"A IS NULL", "(T/A)", "T{1}"},
    {"B IS NOT NULL", "(T/B)", "T{1}"},
    {"A BETWEEN K AND 3", "(T/A,T/K)", "T{1}"},
    {"B LIKE 'x%'", "(T/B)", "T{1}"},
    {"LENGTH(B) > 2", "(T/B)", "T{1}"},
    {"A IN (1, 2, K)", "(T/A,T/K)", "T{1}"},
    {"NOT NOT A = 1", "NOTNOT(T/A)", "T{1}"},
};

class ConditionShapeTest : public ::testing::TestWithParam<ShapeCase> {};

TEST_P(ConditionShapeTest, BuildsTheTreeAndFilesTheRowSets) {
  const ShapeCase& c = GetParam();
  Analysis a(std::string("SELECT A FROM T WHERE ") + c.where + ";");
  ASSERT_EQ(a.result(), 1) << a.error();
  EXPECT_EQ(Shape(a.driver(0)->where), c.shape) << c.where;
  EXPECT_EQ(Groups(a.driver(0)), c.groups) << c.where;
  EXPECT_EQ(IsConditionTree(a.driver(0)->where), 1) << c.where;
}

INSTANTIATE_TEST_SUITE_P(Predicates, ConditionShapeTest, ::testing::ValuesIn(kShapes));

TEST(ConditionShapeTest, RowSetsKeepThePredicateAndTheColumnsRead) {
  Analysis a("SELECT A FROM T WHERE A = K;");
  ASSERT_EQ(a.result(), 1);
  RowSet* rows = RowSetOf(a.driver(0)->where);
  ASSERT_NE(rows, nullptr);
  EXPECT_EQ(rows->condition->code, FON_EXPRESSION);
  ASSERT_NE(rows->conditionColumns, nullptr);
  EXPECT_EQ(rows->conditionColumns->Count(), 2);
  EXPECT_EQ(rows->negated, 0);
  EXPECT_EQ(rows->tuples->ColumnCount(), 1);
}

struct GroupCase {
  const char* sql;
  const char* groups;
};

// Predicates share a group when they read the same tables in the same
// order; the group of predicates without tables comes first, whenever it
// was made; an alias is a table of its own.
const GroupCase kGroupCases[] = {
    {"SELECT * FROM T1, T2 WHERE T1.A = T2.A OR T2.A > T1.A AND T1.A = T2.A;", "T1/T2{2} T2/T1{1}"},
    {"SELECT * FROM T1, T2 WHERE T1.A = T2.A AND T1.A > 1 AND 1 = 1;", "{1} T1/T2{1} T1{1}"},
    {"SELECT * FROM T X, T Y WHERE X.A = Y.A AND Y.A = 2 AND X.K = X.A;", "X/Y{1} Y{1} X{1}"},
    {"SELECT * FROM T1 WHERE EXISTS (SELECT * FROM T2 WHERE T2.A = T1.A) AND T1.A = 1;", "T1{2}"},
};

class ConditionGroupTest : public ::testing::TestWithParam<GroupCase> {};

TEST_P(ConditionGroupTest, FilesEachRowSetUnderTheTablesItReads) {
  const GroupCase& c = GetParam();
  Analysis a(c.sql);
  ASSERT_EQ(a.result(), 1) << a.error();
  EXPECT_EQ(Groups(a.driver(0)), c.groups) << c.sql;
  // Each row set has one tuple column per table of its group, in order.
  for (const ConditionGroup& g : a.driver(0)->groups) {
    for (const RowSet* rows : g.rowSets()) {
      ASSERT_EQ(static_cast<size_t>(rows->tuples->ColumnCount()), g.tables().size()) << c.sql;
      for (size_t i = 0; i < g.tables().size(); ++i) {
        EXPECT_STREQ(rows->tuples->ColumnName(static_cast<int32_t>(i)), g.tables()[i]->fileName());
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Groups, ConditionGroupTest, ::testing::ValuesIn(kGroupCases));

TEST(SubSelectTest, DriversAreNumberedInTheOrderTheyAreMet) {
  Analysis a(
      "SELECT A FROM T WHERE K IN (SELECT K FROM U WHERE C IN (SELECT A FROM T1)) "
      "AND EXISTS (SELECT * FROM T2);");
  ASSERT_EQ(a.result(), 1) << a.error();
  ASSERT_EQ(a.executor().driverCount, 4);
  EXPECT_EQ(a.driver(1)->parentIndex, 0);
  EXPECT_EQ(a.driver(2)->parentIndex, 1);
  EXPECT_EQ(a.driver(3)->parentIndex, 0);
  EXPECT_EQ(a.executor().FindParent(2), 1);
  EXPECT_EQ(a.executor().FindParent(3), 0);
  EXPECT_EQ(a.executor().FindParent(0), -1);
  EXPECT_EQ(a.root()->FindNthByCode(FON_SOUS_SELECT, 2)->value, 1);
  EXPECT_EQ(a.root()->FindNthByCode(FON_SOUS_SELECT, 3)->value, 2);
  ParseNode* exists = a.root()->FindNthByCode(LEX_EXISTS, 1);
  EXPECT_EQ(exists->value, 3);
  EXPECT_EQ(Links(a.driver(0)), "1:<> 3:<>");
}

TEST(SubSelectTest, OuterReferencesReachTheLinkAndTheEnclosingCondition) {
  Analysis a("SELECT A FROM T WHERE EXISTS (SELECT * FROM U WHERE U.K = T.K);");
  ASSERT_EQ(a.result(), 1) << a.error();
  // The EXISTS predicate depends on T's rows through T/K.
  EXPECT_EQ(Shape(a.driver(0)->where), "(T/K)");
  EXPECT_EQ(Groups(a.driver(0)), "T{1}");
  EXPECT_EQ(Links(a.driver(0)), "1:<T/K>");
  // The sub-select's own leaf steps through U only: T/K is a value the
  // enclosing row gives.
  EXPECT_EQ(Groups(a.driver(1)), "U{1}");
  EXPECT_EQ(Shape(a.driver(1)->where), "(U/K,T/K)");
}

TEST(SubSelectTest, OnlyNamesResolvedInAnEnclosingSelectAreOuterReferences) {
  struct Case {
    const char* sql;
    const char* links0;  // the links of driver 0
    const char* links1;  // the links of driver 1
  } cases[] = {
      // The inner T shadows the outer one, qualified or not.
      {"SELECT A FROM T WHERE K IN (SELECT K FROM T WHERE A = 1);", "1:<>", ""},
      {"SELECT A FROM T WHERE K IN (SELECT T.K FROM T WHERE T.A = 1);", "1:<>", ""},
      // A reference two levels out is carried by the level between.
      {"SELECT A FROM T WHERE EXISTS (SELECT * FROM U WHERE EXISTS "
       "(SELECT * FROM T1 WHERE T1.A = T.K));",
       "1:<T/K>", "2:<T/K>"},
      // A reference to the middle level stops there.
      {"SELECT A FROM T WHERE EXISTS (SELECT * FROM U WHERE EXISTS "
       "(SELECT * FROM T1 WHERE T1.A = U.K));",
       "1:<>", "2:<U/K>"},
  };
  for (const Case& c : cases) {
    Analysis a(c.sql);
    ASSERT_EQ(a.result(), 1) << c.sql << ": " << a.error();
    EXPECT_EQ(Links(a.driver(0)), c.links0) << c.sql;
    EXPECT_EQ(Links(a.driver(1)), c.links1) << c.sql;
  }
}

TEST(SubSelectTest, AColumnMissingInTheSubSelectResolvesInTheNearestEnclosingSelect) {
  Analysis a("SELECT A FROM T WHERE K IN (SELECT K FROM U WHERE C = A);");
  ASSERT_EQ(a.result(), 1) << a.error();
  EXPECT_EQ(Shape(a.driver(1)->where), "(U/C,T/A)");
  EXPECT_EQ(Links(a.driver(0)), "1:<T/A>");
  EXPECT_EQ(Shape(a.driver(0)->where), "(T/K,T/A)");
}

TEST(SubSelectTest, ExistsNotMarksBothNodes) {
  Analysis a("SELECT A FROM T WHERE EXISTS NOT (SELECT * FROM U);");
  ASSERT_EQ(a.result(), 1) << a.error();
  EXPECT_EQ(a.root()->FindNthByCode(LEX_EXISTS, 1)->value, 1);
  EXPECT_EQ(a.root()->FindNthByCode(LEX_NOT, 1)->value, 1);
}

TEST(SetOperationTest, EachSelectGetsATopLevelDriverAndOrderByUsesTheFirst) {
  Analysis a("SELECT A FROM T UNION ALL SELECT C FROM U ORDER BY A;");
  ASSERT_EQ(a.result(), 1) << a.error();
  ASSERT_EQ(a.executor().driverCount, 2);
  EXPECT_EQ(a.driver(0)->parentIndex, -1);
  EXPECT_EQ(a.driver(1)->parentIndex, -1);
  ASSERT_EQ(a.executor().orderKeys.size(), 1u);
  EXPECT_EQ(a.executor().orderKeys[0].column, 0);

  Analysis wrong("SELECT A FROM T EXCEPT SELECT C FROM U ORDER BY Z;");
  EXPECT_EQ(wrong.error(), Message(kMsgUnknownColumn, "Z"));
}

// Each ORDER BY name becomes a key on a result column: an alias, a result
// column, or else a FROM column appended after the visible ones.
TEST(OrderByTest, NamesResolveToResultColumns) {
  struct Case {
    const char* sql;
    const char* keys;  // column index per key, "-" after a descending one
    int visible;       // driver 0's visibleColumns
    int columns;       // driver 0's columns, hidden ones included
  };
  const Case cases[] = {
      {"SELECT A, B FROM T ORDER BY B DESC, A;", "1- 0", -1, 2},
      {"SELECT T.A FROM T ORDER BY T.A;", "0", -1, 1},
      {"SELECT A FROM T WHERE B = 'x' ORDER BY B;", "1", 1, 2},
      {"SELECT A FROM T ORDER BY K DESC, B, K;", "1- 2 1", 1, 3},
      // An alias comes before a column of the same name.
      {"SELECT A AS B, B AS A FROM T ORDER BY B, A;", "0 1", -1, 2},
      {"SELECT B, DIGITS(A) AS X FROM T ORDER BY X DESC;", "1-", -1, 2},
      // A literal's alias orders nothing.
      {"SELECT 1 AS N, A FROM T ORDER BY N, A;", "0", -1, 1},
      // "*" keeps one column per name: the other table's is hidden.
      {"SELECT * FROM T1, T2 ORDER BY T2.A, A;", "1 0", 1, 2},
      // Grouped SELECTs and set operations take no hidden column.
      {"SELECT MAX(A) AS M FROM T ORDER BY M, A;", "0 0", -1, 1},
      {"SELECT A AS X FROM T UNION SELECT C FROM U ORDER BY X, A;", "0 0", -1, 1},
  };
  for (const Case& c : cases) {
    Analysis a(c.sql);
    ASSERT_EQ(a.result(), 1) << c.sql << ": " << a.error();
    std::string keys;
    for (const OrderKey& key : a.executor().orderKeys) {
      keys += (keys.empty() ? "" : " ") + std::to_string(key.column) + (key.descending ? "-" : "");
    }
    EXPECT_EQ(keys, c.keys) << c.sql;
    EXPECT_EQ(a.driver(0)->visibleColumns, c.visible) << c.sql;
    EXPECT_EQ(a.driver(0)->columns->Count(), c.columns) << c.sql;
  }
}

TEST(OutOfMemoryTest, EveryFailedAllocationStopsTheAnalysisWith4242) {
  const char* statements[] = {
      "SELECT DISTINCT A, B FROM T X, U WHERE X.A IN (1, 2) AND NOT U.B LIKE 'x%' "
      "OR EXISTS (SELECT * FROM T2 WHERE T2.A = X.K) ORDER BY A DESC;",
      "SELECT A FROM T WHERE K IN (SELECT K FROM U WHERE C = A) AND (A + 1) * 2 = 8;",
      "SELECT A FROM T UNION SELECT C FROM U;",
  };
  const std::string outOfMemory = Message(kMsgOutOfMemory, "");
  for (const char* sql : statements) {
    Analysis whole(sql);
    ASSERT_EQ(whole.result(), 1) << sql << whole.error();
    int failures = 0;
    for (int allowed = 0; allowed < 2000; ++allowed) {
      Analysis starved(sql, allowed);
      if (starved.result() == 1) {
        EXPECT_EQ(starved.error(), "") << sql;
        EXPECT_EQ(Shape(starved.driver(0)->where), Shape(whole.driver(0)->where)) << sql;
        break;
      }
      ++failures;
      EXPECT_EQ(starved.error(), outOfMemory) << sql << " after " << allowed;
    }
    EXPECT_GT(failures, 3) << sql;
  }
}

}  // namespace
}  // namespace zksql
