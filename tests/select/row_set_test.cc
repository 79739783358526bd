// RowSet tests: the state tables of AND and OR, joins on common tables and
// their refusal without one, union column order and duplicates, copies, and
// the leaves and slots that carry row sets in condition trees.
#include "select/row_set.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "condition_builder.h"
#include "select/condition_tree.h"

namespace zksql {
namespace {

using testing::ColumnsOf;
using testing::MakeConstant;
using testing::MakeRows;
using testing::Tuples;
using testing::TuplesOf;

using Rows = std::unique_ptr<RowSet>;
using Strings = std::vector<std::string>;

// A row set of each kind an operand can be.
Rows Operand(int16_t state) {
  if (state == RS_EXPLICIT) return Rows(MakeRows({"T1"}, {{1}, {2}, {2}}));
  return Rows(MakeConstant(state));
}

struct StateCase {
  int16_t a;
  int16_t b;
  int16_t and_state;
  int16_t or_state;
};

class RowSetStates : public ::testing::TestWithParam<StateCase> {};

TEST_P(RowSetStates, FollowTheTablesOfAndAndOr) {
  const StateCase& c = GetParam();
  Rows a = Operand(c.a);
  Rows b = Operand(c.b);
  Rows andResult;
  Rows orResult;
  ASSERT_EQ(Intersect(*a, *b, &andResult), CombineStatus::kDone);
  ASSERT_EQ(Unite(*a, *b, &orResult), CombineStatus::kDone);
  EXPECT_EQ(andResult->state, c.and_state);
  EXPECT_EQ(orResult->state, c.or_state);
  // A finished result has neither column nor tuple; a computed one is
  // explicit.
  for (const RowSet* result : {andResult.get(), orResult.get()}) {
    if (result->state != RS_EXPLICIT) {
      EXPECT_EQ(result->tuples->ColumnCount(), 0);
      EXPECT_EQ(result->tuples->TupleCount(), 0);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    RowSetStateTable, RowSetStates,
    ::testing::Values(StateCase{RS_NONE, RS_NONE, RS_NONE, RS_NONE},
                      StateCase{RS_NONE, RS_ALL, RS_NONE, RS_ALL},
                      StateCase{RS_ALL, RS_NONE, RS_NONE, RS_ALL},
                      StateCase{RS_ALL, RS_ALL, RS_ALL, RS_ALL},
                      StateCase{RS_NONE, RS_EXPLICIT, RS_NONE, RS_EXPLICIT},
                      StateCase{RS_EXPLICIT, RS_NONE, RS_NONE, RS_EXPLICIT},
                      StateCase{RS_ALL, RS_EXPLICIT, RS_EXPLICIT, RS_ALL},
                      StateCase{RS_EXPLICIT, RS_ALL, RS_EXPLICIT, RS_ALL},
                      StateCase{RS_EXPLICIT, RS_EXPLICIT, RS_EXPLICIT, RS_EXPLICIT}));

TEST(RowSetIntersect, TrueConstantKeepsTheExplicitTuplesOnce) {
  Rows all(MakeConstant(RS_ALL));
  Rows rows(MakeRows({"T1", "T2"}, {{1, 5}, {2, 6}, {1, 5}, {3, 7}}));
  for (bool allFirst : {true, false}) {
    Rows result;
    ASSERT_EQ(allFirst ? Intersect(*all, *rows, &result) : Intersect(*rows, *all, &result),
              CombineStatus::kDone);
    EXPECT_EQ(result->state, RS_EXPLICIT);
    EXPECT_EQ(ColumnsOf(*result), (Strings{"T1", "T2"}));
    EXPECT_EQ(TuplesOf(*result), (Tuples{{1, 5}, {2, 6}, {3, 7}}));
  }
}

TEST(RowSetIntersect, JoinsOnTheCommonTable) {
  Rows pairs(MakeRows({"T1", "T2"}, {{1, 10}, {2, 20}, {3, 30}, {1, 11}}));
  Rows firsts(MakeRows({"T1"}, {{3}, {1}}));
  Rows result;
  ASSERT_EQ(Intersect(*pairs, *firsts, &result), CombineStatus::kDone);
  EXPECT_EQ(ColumnsOf(*result), (Strings{"T1", "T2"}));
  EXPECT_EQ(TuplesOf(*result), (Tuples{{1, 10}, {3, 30}, {1, 11}}));
}

TEST(RowSetIntersect, JoinedTuplesTakeBsOtherTablesInOrderOfIThenJ) {
  Rows a(MakeRows({"T1", "T2"}, {{1, 10}, {2, 20}}));
  Rows b(MakeRows({"T3", "t2"}, {{300, 20}, {100, 10}, {200, 10}, {400, 99}}));
  Rows result;
  ASSERT_EQ(Intersect(*a, *b, &result), CombineStatus::kDone);
  EXPECT_EQ(ColumnsOf(*result), (Strings{"T1", "T2", "T3"}));
  EXPECT_EQ(TuplesOf(*result), (Tuples{{1, 10, 100}, {1, 10, 200}, {2, 20, 300}}));
}

TEST(RowSetIntersect, SkipsJoinedDuplicates) {
  Rows a(MakeRows({"T1"}, {{1}, {1}}));
  Rows b(MakeRows({"T1", "T2"}, {{1, 5}, {1, 5}, {1, 6}}));
  Rows result;
  ASSERT_EQ(Intersect(*a, *b, &result), CombineStatus::kDone);
  EXPECT_EQ(TuplesOf(*result), (Tuples{{1, 5}, {1, 6}}));
}

TEST(RowSetIntersect, RefusesSetsWithoutCommonTable) {
  Rows a(MakeRows({"T1"}, {{1}}));
  Rows b(MakeRows({"T2"}, {{1}}));
  // A refusal leaves no result, not even one held before.
  Rows out(MakeRows({"T1"}, {{1}}));
  EXPECT_EQ(Intersect(*a, *b, &out), CombineStatus::kRefused);
  EXPECT_EQ(out, nullptr);
  // An explicit set that never got a column joins nothing either.
  Rows bare(MakeRows({}, {}));
  EXPECT_EQ(Intersect(*a, *bare, &out), CombineStatus::kRefused);
  // Emptiness does not matter: the refusal is about the tables.
  Rows none(MakeRows({"T2"}, {}));
  EXPECT_EQ(Intersect(*a, *none, &out), CombineStatus::kRefused);
}

TEST(RowSetUnite, MergesSameTablesKeepingAsTuplesAndSkippingBsDuplicates) {
  Rows a(MakeRows({"T1"}, {{3}, {1}, {3}}));
  Rows b(MakeRows({"t1"}, {{2}, {1}, {2}, {4}}));
  Rows result;
  ASSERT_EQ(Unite(*a, *b, &result), CombineStatus::kDone);
  EXPECT_EQ(ColumnsOf(*result), (Strings{"T1"}));
  EXPECT_EQ(TuplesOf(*result), (Tuples{{3}, {1}, {3}, {2}, {4}}));
}

TEST(RowSetUnite, RefusesAnotherColumnOrderOrCount) {
  Rows a(MakeRows({"T1", "T2"}, {{1, 2}}));
  Rows swapped(MakeRows({"T2", "T1"}, {{2, 1}}));
  Rows shorter(MakeRows({"T1"}, {{1}}));
  Rows out;
  EXPECT_EQ(Unite(*a, *swapped, &out), CombineStatus::kRefused);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(Unite(*a, *shorter, &out), CombineStatus::kRefused);
  EXPECT_EQ(Unite(*shorter, *a, &out), CombineStatus::kRefused);
}

TEST(RowSetUnite, FalseConstantGivesTheOtherSidesTuples) {
  Rows none(MakeConstant(RS_NONE));
  Rows rows(MakeRows({"T1", "T2"}, {{1, 2}, {1, 2}, {3, 4}}));
  Rows right;
  ASSERT_EQ(Unite(*none, *rows, &right), CombineStatus::kDone);
  EXPECT_EQ(ColumnsOf(*right), (Strings{"T1", "T2"}));
  // Coming from b's side, duplicates go.
  EXPECT_EQ(TuplesOf(*right), (Tuples{{1, 2}, {3, 4}}));
  Rows left;
  ASSERT_EQ(Unite(*rows, *none, &left), CombineStatus::kDone);
  EXPECT_EQ(TuplesOf(*left), (Tuples{{1, 2}, {1, 2}, {3, 4}}));
}

TEST(RowSetCopy, CarriesStateAndTuplesOnly) {
  Rows rows(MakeRows({"T1"}, {{4}, {5}}, "label"));
  rows->negated = 1;
  rows->state = RS_EXPLICIT;
  Rows copy(rows->Copy());
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->state, RS_EXPLICIT);
  EXPECT_EQ(TuplesOf(*copy), (Tuples{{4}, {5}}));
  EXPECT_NE(copy->tuples, rows->tuples);
  EXPECT_EQ(copy->negated, 0);
  EXPECT_EQ(copy->references, nullptr);
  EXPECT_EQ(copy->condition, nullptr);
  EXPECT_EQ(copy->conditionColumns, nullptr);
}

TEST(RowSetTree, LeafOwnsItsRowSetUntilTaken) {
  RowSet* rows = MakeRows({"T1"}, {{1}});
  ParseNode* leaf = NewConditionLeaf(rows);
  ASSERT_NE(leaf, nullptr);
  EXPECT_EQ(leaf->code, kConditionLeaf);
  EXPECT_EQ(RowSetOf(leaf), rows);
  // The leaf takes its row set along (a leak would show under the
  // sanitizers).
  delete leaf;

  ParseNode* holder = NewConditionLeaf(MakeRows({"T1"}, {{2}}));
  Rows taken(TakeRowSet(holder));
  ASSERT_NE(taken, nullptr);
  EXPECT_EQ(RowSetOf(holder), nullptr);
  EXPECT_EQ(TakeRowSet(holder), nullptr);
  delete holder;
  EXPECT_EQ(TuplesOf(*taken), (Tuples{{2}}));
}

TEST(RowSetTree, ShapeCheckRejectsMalformedTrees) {
  using testing::And;
  using testing::Leaf;
  using testing::Not;
  std::unique_ptr<ParseNode> good(And({Leaf(MakeRows({"T1"}, {})), Not(Leaf(MakeRows({"T1"}, {})))}));
  EXPECT_TRUE(IsConditionTree(good.get()));
  EXPECT_EQ(ConditionKind(good.get()), kConditionAnd);

  // One operand is no list.
  std::unique_ptr<ParseNode> single(And({Leaf(MakeRows({"T1"}, {}))}));
  EXPECT_FALSE(IsConditionTree(single.get()));
  // Mixed operators.
  std::unique_ptr<ParseNode> mixed(
      And({Leaf(MakeRows({"T1"}, {})), Leaf(MakeRows({"T1"}, {})), Leaf(MakeRows({"T1"}, {}))}));
  ASSERT_TRUE(mixed->next->next->next->SetTextAndCode("OR", kConditionOr));
  EXPECT_FALSE(IsConditionTree(mixed.get()));
  // A chain ending with an operator, an empty group, a NOT without operand.
  std::unique_ptr<ParseNode> dangling(And({Leaf(MakeRows({"T1"}, {})), Leaf(MakeRows({"T1"}, {}))}));
  dangling->LastSibling()->next = NewConditionOperator(kConditionAnd);
  EXPECT_FALSE(IsConditionTree(dangling.get()));
  std::unique_ptr<ParseNode> empty(And({Leaf(MakeRows({"T1"}, {})), nullptr}));
  EXPECT_FALSE(IsConditionTree(empty.get()));
  std::unique_ptr<ParseNode> bareNot(Not(nullptr));
  EXPECT_FALSE(IsConditionTree(bareNot.get()));
  EXPECT_FALSE(IsConditionTree(nullptr));
}

TEST(RowSetTree, CopyIsDeepWithCopiesOfTheRowSets) {
  using testing::And;
  using testing::Leaf;
  using testing::Or;
  std::unique_ptr<ParseNode> tree(
      And({Leaf(MakeRows({"T1"}, {{1}})), Or({Leaf(MakeRows({"T1"}, {{2}})), Leaf(MakeRows({"T1"}, {{3}}))})}));
  tree->child->value = 1;
  std::unique_ptr<ParseNode> copy(CopyConditionTree(tree.get()));
  ASSERT_NE(copy, nullptr);
  EXPECT_TRUE(IsConditionTree(copy.get()));
  EXPECT_EQ(copy->child->value, 1) << "negation marks are kept";
  const ParseNode* inner = copy->next->next->child;
  ASSERT_EQ(ConditionKind(inner), kConditionOr);
  const RowSet* original = RowSetOf(tree->next->next->child->next->next->child);
  const RowSet* copied = RowSetOf(inner->next->next->child);
  ASSERT_NE(copied, nullptr);
  EXPECT_NE(copied, original);
  EXPECT_EQ(TuplesOf(*copied), (Tuples{{3}}));
}

}  // namespace
}  // namespace zksql
