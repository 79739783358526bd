// SplitConjuncts over the shapes a WHERE tree takes, and AndOfLeaves,
// whose copies must reduce like the leaves they come from.
#include "select/conjuncts.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "condition_builder.h"
#include "select/condition_tree.h"
#include "select/row_set_reduction.h"

namespace zksql {
namespace {

using testing::And;
using testing::Leaf;
using testing::MakeRows;
using testing::Not;
using testing::Or;
using testing::Render;
using testing::Tuples;
using testing::TuplesOf;

ParseNode* L(const char* label, bool negated = false) {
  RowSet* rows = MakeRows({"T"}, {}, label);
  rows->negated = negated ? 1 : 0;
  return Leaf(rows);
}

std::string Joined(const std::vector<const ParseNode*>& parts) {
  std::string out;
  for (const ParseNode* part : parts) out += (out.empty() ? "" : " ") + Render(part);
  return out;
}

TEST(ConjunctsTest, SplitsAtTheTopLevelAndOnly) {
  struct Case {
    std::function<ParseNode*()> tree;
    const char* leaves;
    const char* compound;
  } cases[] = {
      {[] { return nullptr; }, "", ""},
      {[] { return L("a"); }, "a", ""},
      {[] {
         return And({L("a"), L("b"), L("c")});
       },
       "a b c", ""},
      {[] {
         return And({L("a"), Or({L("b"), L("c")}), L("d", true)});
       },
       "a !d", "(b OR c)"},
      // An OR at the root is one conjunct, however many leaves it has.
      {[] {
         return Or({L("a"), L("b")});
       },
       "", "(a OR b)"},
      {[] {
         return And(
             {Or({And({L("a"), L("b")}), L("c")}), L("d"), Or({L("e"), And({L("f"), L("g")})})});
       },
       "d", "((a AND b) OR c) (e OR (f AND g))"},
      // A NOT the restructuring would have removed stays whole.
      {[] {
         return And({Not(And({L("a"), L("b")})), L("c")});
       },
       "c", "NOT (a AND b)"},
  };
  for (const Case& c : cases) {
    std::unique_ptr<ParseNode> tree(c.tree());
    Conjuncts parts;
    ASSERT_TRUE(SplitConjuncts(tree.get(), &parts));
    EXPECT_EQ(Joined(parts.leaves), c.leaves) << Render(tree.get());
    EXPECT_EQ(Joined(parts.compound), c.compound) << Render(tree.get());
  }
}

TEST(ConjunctsTest, AndOfLeavesReducesLikeTheLeavesThemselves) {
  // j links T and U; a is on T, b on U; the OR between them stays out.
  RowSet* j = MakeRows({"T", "U"}, {{1, 10}, {2, 20}, {3, 30}, {2, 40}}, "j");
  RowSet* a = MakeRows({"T"}, {{2}, {3}}, "a");
  RowSet* b = MakeRows({"U"}, {{20}, {30}, {40}}, "b");
  std::unique_ptr<ParseNode> tree(And({Leaf(j), Or({L("x"), L("y")}), Leaf(a), Leaf(b)}));
  Conjuncts parts;
  ASSERT_TRUE(SplitConjuncts(tree.get(), &parts));
  std::unique_ptr<ParseNode> linked(AndOfLeaves(parts.leaves));
  ASSERT_NE(linked, nullptr);
  EXPECT_EQ(Render(linked.get()), "(j AND a AND b)");
  std::unique_ptr<RowSet> reduced;
  ASSERT_EQ(ReduceToRowSet(linked.get(), &reduced), CombineStatus::kDone);
  EXPECT_EQ(TuplesOf(*reduced), (Tuples{{2, 20}, {3, 30}, {2, 40}}));
  EXPECT_EQ(AndOfLeaves({}), nullptr);
}

}  // namespace
}  // namespace zksql
