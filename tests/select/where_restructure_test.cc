// WHERE restructuring tests: NOT removal (De Morgan, double negation, the
// leaves' flags and marks), the flattening order, idempotence, refusal of
// malformed trees, and trees far deeper than a call stack would allow.
#include "select/where_restructure.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "condition_builder.h"
#include "select/condition_tree.h"

namespace zksql {
namespace {

using testing::And;
using testing::Leaf;
using testing::MakeRows;
using testing::Not;
using testing::Or;
using testing::Render;

ParseNode* L(const char* label) { return Leaf(MakeRows({"T1"}, {}, label)); }

// Restructures the tree and renders the result.
std::string Restructured(ParseNode* tree) {
  bool ok = RestructureWhere(&tree);
  std::string out = ok ? Render(tree) : "failed";
  delete tree;
  return out;
}

TEST(RestructureNot, DeMorganPushesNegationToTheLeaves) {
  // NOT (a AND NOT b) becomes (NOT a) OR b.
  EXPECT_EQ(Restructured(Not(And({L("a"), Not(L("b"))}))), "(!a OR b)");
  EXPECT_EQ(Restructured(Not(Or({And({L("a"), L("b")}), L("c")}))), "((!a OR !b) AND !c)");
  EXPECT_EQ(Restructured(And({L("a"), Not(Or({L("b"), Not(L("c"))}))})), "(a AND !b AND c)");
  EXPECT_EQ(Restructured(Not(Not(L("a")))), "a");
  EXPECT_EQ(Restructured(Not(Not(Not(L("a"))))), "!a");
}

TEST(RestructureNot, SetsFlagAndMarkTogether) {
  ParseNode* tree = Not(And({L("a"), Not(L("b"))}));
  ASSERT_TRUE(RemoveNot(&tree));
  std::unique_ptr<ParseNode> owned(tree);
  ASSERT_EQ(ConditionKind(tree), kConditionOr);
  EXPECT_STREQ(tree->next->text, "OR");
  const ParseNode* a = tree->child;
  const ParseNode* b = tree->next->next->child;
  EXPECT_EQ(a->value, 1);
  EXPECT_EQ(RowSetOf(a)->negated, 1);
  // b was negated twice: flag and mark back at 0.
  EXPECT_EQ(b->value, 0);
  EXPECT_EQ(RowSetOf(b)->negated, 0);
}

TEST(RestructureFlatten, MovedOperandsFollowTheOnesThatStayed) {
  EXPECT_EQ(Restructured(And({L("a"), And({L("b"), L("c")})})), "(a AND b AND c)");
  EXPECT_EQ(Restructured(And({And({L("b"), L("c")}), L("a")})), "(a AND b AND c)");
  EXPECT_EQ(Restructured(And({And({L("a"), L("b")}), And({L("c"), L("d")}), L("e")})),
            "(e AND a AND b AND c AND d)");
  // Inner lists are flat before they are merged.
  EXPECT_EQ(Restructured(Or({L("a"), Or({Or({L("b"), L("c")}), L("d")}), L("e")})),
            "(a OR e OR d OR b OR c)");
  // A list of the other operator stays a group of its own.
  EXPECT_EQ(Restructured(And({L("a"), Or({L("b"), And({L("c"), L("d")})})})), "(a AND (b OR (c AND d)))");
}

TEST(RestructureFlatten, NegatedListsMergeAfterTheirOperatorsSwap) {
  // NOT (b OR c) is an AND list once the NOT is gone.
  EXPECT_EQ(Restructured(And({L("a"), Not(Or({L("b"), L("c")}))})), "(a AND !b AND !c)");
  EXPECT_EQ(Restructured(Not(Or({L("a"), Or({L("b"), L("c")})}))), "(!a AND !b AND !c)");
}

TEST(RestructureWhere, SecondRunChangesNothing) {
  ParseNode* tree = Not(Or({And({L("a"), Not(L("b"))}), And({L("c"), Or({L("d"), L("e")})})}));
  ASSERT_TRUE(RestructureWhere(&tree));
  std::string once = Render(tree);
  ASSERT_TRUE(RestructureWhere(&tree));
  EXPECT_EQ(Render(tree), once);
  EXPECT_EQ(once, "((!a OR b) AND (!c OR (!d AND !e)))");
  delete tree;
}

TEST(RestructureWhere, RefusesMalformedTreesAndLeavesThemAlone) {
  ParseNode* single = And({L("a")});
  EXPECT_FALSE(RestructureWhere(&single));
  EXPECT_EQ(Render(single), "(a)");
  delete single;
  ParseNode* nested = Not(And({L("a"), Not(nullptr)}));
  EXPECT_FALSE(RestructureWhere(&nested));
  EXPECT_EQ(nested->code, kConditionNot);
  delete nested;
  ParseNode* nothing = nullptr;
  EXPECT_TRUE(RestructureWhere(&nothing));
  EXPECT_FALSE(RestructureWhere(nullptr));
}

// Far deeper than any call stack: a AND (b AND (c AND ...)) under a chain
// of NOTs. Both steps are iterative, so this neither overflows nor takes
// long, and the result is one flat list.
// Leaves without tables, so that building the big trees stays cheap.
ParseNode* C(const char* label) { return Leaf(testing::MakeConstant(RS_ALL, label)); }

TEST(RestructureWhere, HandlesTreesNestedTensOfThousandsDeep) {
  const int depth = 30000;
  ParseNode* tree = C("x");
  for (int i = 0; i < depth; ++i) tree = And({C("y"), tree});
  for (int i = 0; i < depth; ++i) tree = Not(tree);  // an even number: no net negation
  ASSERT_TRUE(RestructureWhere(&tree));
  ASSERT_EQ(ConditionKind(tree), kConditionAnd);
  int operands = 0;
  int negated = 0;
  for (const ParseNode* node = tree; node != nullptr; node = node->next) {
    if (node->code != kConditionGroup) continue;
    ++operands;
    ASSERT_EQ(node->child->code, kConditionLeaf);
    negated += RowSetOf(node->child)->negated;
  }
  EXPECT_EQ(operands, depth + 1);
  EXPECT_EQ(negated, 0);
  delete tree;

  // Alternating operators cannot merge, but NOT removal still reaches the
  // bottom: every leaf negated, every operator swapped.
  ParseNode* alternating = C("x");
  for (int i = 0; i < depth; ++i) alternating = (i % 2 ? And({C("y"), alternating}) : Or({C("y"), alternating}));
  alternating = Not(alternating);
  ASSERT_TRUE(RestructureWhere(&alternating));
  const ParseNode* list = alternating;
  int level = 0;
  while (list->code != kConditionLeaf) {
    ASSERT_EQ(RowSetOf(list->child)->negated, 1);
    ASSERT_EQ(list->next->code, (depth - 1 - level) % 2 ? kConditionOr : kConditionAnd);
    list = list->next->next->child;
    ++level;
  }
  EXPECT_EQ(level, depth);
  EXPECT_EQ(RowSetOf(list)->negated, 1);
  delete alternating;
}

}  // namespace
}  // namespace zksql
