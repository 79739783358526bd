// TreeHolds against a plain recursive reading of the same trees: random
// trees over four leaves, every assignment of truths, NOTs and negation
// marks included; plus the order in which leaves are asked and a tree too
// deep for a recursive walk.
#include "select/condition_truth.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "condition_builder.h"

namespace zksql {
namespace testing {
namespace {

// Leaf i's truth is bit i of `bits`, then its negation mark applied. Each
// leaf asked is logged, so that the walk's short-circuits can be checked.
class BitLeaves : public LeafTruth {
 public:
  explicit BitLeaves(unsigned bits) : bits_(bits) {}
  bool Decide(const ParseNode* leaf, RowSet* rows, bool* holds) override {
    int i = leaf->text[0] - 'a';
    if (i < 0 || i > 3) return false;
    asked.push_back(leaf->text[0]);
    *holds = (((bits_ >> i) & 1) != 0) != (rows != nullptr && rows->negated != 0);
    return true;
  }
  std::string asked;

 private:
  unsigned bits_;
};

// The reference: recursive, evaluating every operand.
bool Reference(const ParseNode* node, unsigned bits) {
  if (node->code == kConditionLeaf) {
    int i = node->text[0] - 'a';
    const RowSet* rows = RowSetOf(node);
    return (((bits >> i) & 1) != 0) != (rows != nullptr && rows->negated != 0);
  }
  if (node->code == kConditionNot) return !Reference(node->child, bits);
  if (node->code == kConditionGroup && node->next == nullptr) return Reference(node->child, bits);
  bool isAnd = node->next->code == kConditionAnd;
  bool value = isAnd;
  for (const ParseNode* n = node; n != nullptr; n = n->next) {
    if (n->code != kConditionGroup) continue;
    bool v = Reference(n->child, bits);
    value = isAnd ? (value && v) : (value || v);
  }
  return value;
}

ParseNode* RandomTree(std::mt19937& rng, int depth) {
  std::uniform_int_distribution<int> pick(0, 9);
  int kind = depth <= 0 ? 0 : pick(rng);
  if (kind < 4) {
    RowSet* rows =
        MakeConstant(RS_ALL, std::string(1, static_cast<char>('a' + pick(rng) % 4)).c_str());
    rows->negated = static_cast<int16_t>(pick(rng) < 3);
    return Leaf(rows);
  }
  if (kind == 4) return Not(RandomTree(rng, depth - 1));
  std::vector<ParseNode*> operands;
  int n = 2 + pick(rng) % 3;
  for (int i = 0; i < n; ++i) operands.push_back(RandomTree(rng, depth - 1));
  return kind < 7 ? And(operands) : Or(operands);
}

TEST(ConditionTruthTest, AgreesWithARecursiveReading) {
  std::mt19937 rng(2112);
  for (int round = 0; round < 400; ++round) {
    ParseNodePtr tree(RandomTree(rng, 4));
    ASSERT_TRUE(IsConditionTree(tree.get())) << Render(tree.get());
    for (unsigned bits = 0; bits < 16; ++bits) {
      BitLeaves leaves(bits);
      TreeTruth got = TreeHolds(tree.get(), leaves);
      ASSERT_NE(got, TreeTruth::kFailed) << Render(tree.get());
      EXPECT_EQ(got == TreeTruth::kTrue, Reference(tree.get(), bits))
          << Render(tree.get()) << " bits " << bits;
    }
  }
}

TEST(ConditionTruthTest, AsksLeavesLeftToRightAndStopsAtTheSettlingOperand) {
  // a AND (b OR c) AND NOT d; bit i is leaf i's truth.
  struct Case {
    unsigned bits;
    const char* asked;
    TreeTruth truth;
  } cases[] = {
      {0b0000, "a", TreeTruth::kFalse},   {0b0001, "abc", TreeTruth::kFalse},
      {0b0011, "abd", TreeTruth::kTrue},  {0b0101, "abcd", TreeTruth::kTrue},
      {0b1011, "abd", TreeTruth::kFalse},
  };
  auto leaf = [](const char* name) { return Leaf(MakeConstant(RS_ALL, name)); };
  for (const Case& c : cases) {
    ParseNodePtr tree(And({leaf("a"), Or({leaf("b"), leaf("c")}), Not(leaf("d"))}));
    BitLeaves leaves(c.bits);
    EXPECT_EQ(TreeHolds(tree.get(), leaves), c.truth) << c.bits;
    EXPECT_EQ(leaves.asked, c.asked) << c.bits;
  }
}

TEST(ConditionTruthTest, FailsOnAnUndecidedLeafAndWalksDeepTreesWithoutRecursion) {
  ParseNodePtr unknown(Leaf(MakeConstant(RS_ALL, "z")));
  BitLeaves leaves(0);
  EXPECT_EQ(TreeHolds(unknown.get(), leaves), TreeTruth::kFailed);

  // 100,000 nested lists (each "x AND (...)"), built without recursion.
  ParseNode* tree = Leaf(MakeConstant(RS_ALL, "a"));
  for (int i = 0; i < 100000; ++i) tree = And({Leaf(MakeConstant(RS_ALL, "b")), tree});
  ParseNodePtr owned(tree);
  BitLeaves all(0b11);
  EXPECT_EQ(TreeHolds(owned.get(), all), TreeTruth::kTrue);
  EXPECT_EQ(all.asked.size(), 100001u);
  owned.reset();
}

}  // namespace
}  // namespace testing
}  // namespace zksql
