// Reduction tests: CombinePair's products, reductions that succeed by
// combination and by distribution, refusals reported as failures, the
// cycle that distribution can fall into, the bounds, and a randomized
// comparison of ReduceToRowSet with the boolean formula evaluated tuple by
// tuple.
#include "select/row_set_reduction.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "../allocation_failure.h"
#include "condition_builder.h"
#include "select/condition_tree.h"
#include "select/where_restructure.h"

namespace zksql {
namespace {

using testing::And;
using testing::ColumnsOf;
using testing::Leaf;
using testing::MakeConstant;
using testing::MakeRows;
using testing::Not;
using testing::Or;
using testing::Render;
using testing::Tuples;
using testing::TuplesOf;

using Tree = std::unique_ptr<ParseNode>;
using Rows = std::unique_ptr<RowSet>;
using Strings = std::vector<std::string>;

ParseNode* L(const char* label, const Strings& tables = {"T1"}, const Tuples& tuples = {}) {
  return Leaf(MakeRows(tables, tuples, label));
}

TEST(ReduceCombinePair, LeafOverListDistributesWithTheLeafFirst) {
  Tree x(L("x"));
  Tree list(Or({L("a"), L("b"), L("c")}));
  Tree result;
  ASSERT_EQ(CombinePair(kConditionAnd, x.get(), list.get(), &result), CombineStatus::kDone);
  EXPECT_EQ(Render(result.get()), "((x AND a) OR (x AND b) OR (x AND c))");
  ASSERT_EQ(CombinePair(kConditionAnd, list.get(), x.get(), &result), CombineStatus::kDone);
  EXPECT_EQ(Render(result.get()), "((x AND a) OR (x AND b) OR (x AND c))");
  // The operands were copied, not taken.
  EXPECT_EQ(Render(list.get()), "(a OR b OR c)");
  EXPECT_EQ(Render(x.get()), "x");
}

TEST(ReduceCombinePair, TwoListsMultiplyOutInOrder) {
  Tree x(And({L("a"), L("b")}));
  Tree y(And({L("c"), Or({L("d"), L("e")})}));
  Tree result;
  ASSERT_EQ(CombinePair(kConditionOr, x.get(), y.get(), &result), CombineStatus::kDone);
  EXPECT_EQ(Render(result.get()),
            "((a OR c) AND (a OR (d OR e)) AND (b OR c) AND (b OR (d OR e)))");
  EXPECT_TRUE(IsConditionTree(result.get()));
}

TEST(ReduceCombinePair, SameOperatorListIsOneTermNotDistributed) {
  // x AND (a AND b) is no OR of pairs: the list stays one term.
  Tree x(L("x"));
  Tree list(And({L("a"), L("b")}));
  Tree result;
  ASSERT_EQ(CombinePair(kConditionAnd, x.get(), list.get(), &result), CombineStatus::kDone);
  EXPECT_EQ(Render(result.get()), "(x AND (a AND b))");
}

TEST(ReduceCombinePair, TwoLeavesCombineOrAreRefused) {
  Tree a(L("a", {"T1", "T2"}, {{1, 2}, {3, 4}}));
  Tree b(L("b", {"T1"}, {{3}}));
  Tree c(L("c", {"T3"}, {{3}}));
  Tree result;
  ASSERT_EQ(CombinePair(kConditionAnd, a.get(), b.get(), &result), CombineStatus::kDone);
  ASSERT_EQ(ConditionKind(result.get()), kConditionLeaf);
  EXPECT_EQ(TuplesOf(*RowSetOf(result.get())), (Tuples{{3, 4}}));
  EXPECT_EQ(CombinePair(kConditionAnd, a.get(), c.get(), &result), CombineStatus::kRefused);
  EXPECT_EQ(result, nullptr);
  EXPECT_EQ(CombinePair(kConditionOr, a.get(), b.get(), &result), CombineStatus::kRefused);
  EXPECT_EQ(result, nullptr);
}

TEST(ReduceToRowSet, LeafGivesACopyAndTheTreeStaysAsItWas) {
  Tree tree(L("a", {"T1"}, {{1}, {2}}));
  Rows rows;
  ASSERT_EQ(ReduceToRowSet(tree.get(), &rows), CombineStatus::kDone);
  EXPECT_NE(rows.get(), RowSetOf(tree.get()));
  EXPECT_EQ(TuplesOf(*rows), (Tuples{{1}, {2}}));
  EXPECT_EQ(TuplesOf(*RowSetOf(tree.get())), (Tuples{{1}, {2}}));

  Tree list(And({L("a", {"T1", "T2"}, {{1, 5}, {2, 6}}), L("b", {"T1"}, {{2}})}));
  ASSERT_EQ(ReduceToRowSet(list.get(), &rows), CombineStatus::kDone);
  EXPECT_EQ(ColumnsOf(*rows), (Strings{"T1", "T2"}));
  EXPECT_EQ(TuplesOf(*rows), (Tuples{{2, 6}}));
  EXPECT_EQ(Render(list.get()), "(a AND b)");
}

TEST(ReduceToRowSet, UnrelatedTablesFailInsteadOfGivingNoRow) {
  // Neither a join without a common table nor a union over different
  // tables may pass for an empty result.
  Tree joined(And({L("a", {"T1"}, {{1}}), L("b", {"T2"}, {{1}})}));
  Tree united(Or({L("a", {"T1", "T2"}, {{1, 1}}), L("b", {"T2", "T1"}, {{1, 1}})}));
  Rows rows;
  EXPECT_EQ(ReduceToRowSet(joined.get(), &rows), CombineStatus::kRefused);
  EXPECT_EQ(rows, nullptr);
  EXPECT_EQ(ReduceToRowSet(united.get(), &rows), CombineStatus::kRefused);
  EXPECT_EQ(rows, nullptr);
}

TEST(ReduceToRowSet, RefusesWhatIsNotARestructuredTree) {
  Tree negated(Not(L("a")));
  Tree inner(And({L("a"), Not(L("b"))}));
  Tree bare(NewConditionLeaf(nullptr));
  Tree single(And({L("a")}));
  Rows rows;
  EXPECT_EQ(ReduceToRowSet(negated.get(), &rows), CombineStatus::kRefused);
  EXPECT_EQ(ReduceToRowSet(inner.get(), &rows), CombineStatus::kRefused);
  EXPECT_EQ(ReduceToRowSet(bare.get(), &rows), CombineStatus::kRefused);
  EXPECT_EQ(ReduceToRowSet(single.get(), &rows), CombineStatus::kRefused);
  EXPECT_EQ(ReduceToRowSet(nullptr, &rows), CombineStatus::kRefused);
}

TEST(ReduceToRowSet, DistributesAJoinOverAUnion) {
  // J over (T1, T2), A and B over T1 only: A OR B has one table, J two, so
  // J AND (A OR B) needs (J AND A) OR (J AND B).
  Tree tree(And({L("j", {"T1", "T2"}, {{1, 10}, {2, 20}, {3, 30}}),
                 Or({L("a", {"T1"}, {{1}}), L("b", {"T1"}, {{3}, {1}})})}));
  Rows rows;
  ASSERT_EQ(ReduceToRowSet(tree.get(), &rows), CombineStatus::kDone);
  EXPECT_EQ(ColumnsOf(*rows), (Strings{"T1", "T2"}));
  EXPECT_EQ(TuplesOf(*rows), (Tuples{{1, 10}, {3, 30}}));
}

TEST(ReduceToRowSet, ConstantsSettleWithoutTables) {
  Tree allTrue(Or({Leaf(MakeConstant(RS_NONE)), Leaf(MakeConstant(RS_ALL))}));
  Tree allFalse(Or({Leaf(MakeConstant(RS_NONE)), Leaf(MakeConstant(RS_NONE))}));
  Tree filtered(And({Leaf(MakeConstant(RS_ALL)), L("a", {"T1"}, {{2}, {2}})}));
  Rows rows;
  ASSERT_EQ(ReduceToRowSet(allTrue.get(), &rows), CombineStatus::kDone);
  EXPECT_EQ(rows->state, RS_ALL);
  ASSERT_EQ(ReduceToRowSet(allFalse.get(), &rows), CombineStatus::kDone);
  EXPECT_EQ(rows->state, RS_NONE);
  ASSERT_EQ(ReduceToRowSet(filtered.get(), &rows), CombineStatus::kDone);
  EXPECT_EQ(TuplesOf(*rows), (Tuples{{2}}));
}

// B AND (B2 OR T) with B, B2 over table B and T over T1: distributing gives
// (B AND B2) OR (B AND T), which combines and distributes back to the same
// shape. Nothing links T1 to B, so the reduction must end, and fail.
TEST(ReduceToRowSet, CycleOfDistributionsEndsAsNoProgress) {
  Tree tree(And({L("b", {"B"}, {{1}, {2}}), Or({L("b2", {"B"}, {{2}}), L("t", {"T1"}, {{7}})})}));
  Rows rows;
  EXPECT_EQ(ReduceToRowSet(tree.get(), &rows), CombineStatus::kNoProgress);
  EXPECT_EQ(rows, nullptr);
}

// J AND ((C AND D) OR E), J over (T1, B), C over T1, D and E over B: the
// inner OR cycles on its own, but distributing J over it resolves it.
TEST(ReduceToRowSet, InnerCycleIsResolvedByTheEnclosingList) {
  Tree tree(And({L("j", {"T1", "B"}, {{1, 1}, {1, 2}, {2, 1}, {2, 3}, {3, 3}}),
                 Or({And({L("c", {"T1"}, {{2}}), L("d", {"B"}, {{1}, {3}})}), L("e", {"B"}, {{2}})})}));
  Rows rows;
  ASSERT_EQ(ReduceToRowSet(tree.get(), &rows), CombineStatus::kDone);
  EXPECT_EQ(ColumnsOf(*rows), (Strings{"T1", "B"}));
  std::set<Tuples::value_type> got;
  for (const auto& tuple : TuplesOf(*rows)) EXPECT_TRUE(got.insert(tuple).second) << "duplicate";
  // J rows where (T1 = 2 and B in {1, 3}) or B = 2.
  EXPECT_EQ(got, (std::set<Tuples::value_type>{{1, 2}, {2, 1}, {2, 3}}));
}

// Alternating AND/OR nesting `levels` deep over leaves of one table: x
// holds record 1, every y record 2.
ParseNode* Alternating(int levels) {
  ParseNode* tree = L("x", {"T1"}, {{1}});
  for (int i = 0; i < levels; ++i) {
    ParseNode* y = L("y", {"T1"}, {{2}});
    tree = i % 2 ? And({y, tree}) : Or({y, tree});
  }
  return tree;
}

TEST(ReduceToRowSet, NestingUpToTheBoundReducesAndBeyondFailsCleanly) {
  Tree within(Alternating(kMaxReductionDepth));
  Rows rows;
  ASSERT_EQ(ReduceToRowSet(within.get(), &rows), CombineStatus::kDone);
  EXPECT_EQ(ColumnsOf(*rows), (Strings{"T1"}));
  Tree beyond(Alternating(kMaxReductionDepth + 1));
  EXPECT_EQ(ReduceToRowSet(beyond.get(), &rows), CombineStatus::kTooComplex);
  EXPECT_EQ(rows, nullptr);
}

TEST(ReduceToRowSet, ProductsThatWouldExplodeAreBounded) {
  // An AND of OR pairs over tables nothing links: multiplying out would
  // reach 2^16 terms. The reduction gives up with a failure status.
  std::vector<ParseNode*> factors;
  static const char* kTables[] = {"A", "B", "C", "D", "E", "F", "G", "H", "I", "J", "K", "L", "M", "N",
                                  "O", "P", "Q", "R", "S", "T", "U", "V", "W", "X", "Y", "Z", "AA",
                                  "AB", "AC", "AD", "AE", "AF"};
  for (int i = 0; i < 16; ++i) {
    factors.push_back(Or({L("p", {kTables[2 * i]}, {{1}}), L("q", {kTables[2 * i + 1]}, {{1}})}));
  }
  Tree tree(And(factors));
  Rows rows;
  CombineStatus status = ReduceToRowSet(tree.get(), &rows);
  EXPECT_TRUE(status == CombineStatus::kTooComplex || status == CombineStatus::kNoProgress ||
              status == CombineStatus::kRefused);
  EXPECT_EQ(rows, nullptr);
}

// Each allocation of a reduction failing in turn, on trees that take each
// way through it: a leaf distributed over a list, two lists multiplied out,
// a cycle stopped and then resolved by the list around it. Until it is
// allowed enough, the reduction ends with kNoMemory and no row set, and
// leaves nothing behind (the sanitizer build checks that); then it ends as
// it does unstarved.
TEST(ReduceToRowSet, EveryFailedAllocationEndsAsNoMemory) {
  struct Case {
    const char* what;
    std::function<ParseNode*()> tree;
  };
  const Case cases[] = {
      {"leaf over a list",
       [] {
         return And({L("j", {"T1", "T2"}, {{1, 10}, {2, 20}, {3, 30}}),
                     Or({L("a", {"T1"}, {{1}}), L("b", {"T2"}, {{30}, {10}})})});
       }},
      {"two lists",
       [] {
         return And({Or({L("a", {"T1"}, {{1}}), L("b", {"T2"}, {{10}})}),
                     Or({L("j", {"T1", "T2"}, {{1, 10}}), L("k", {"T2", "T1"}, {{20, 2}})})});
       }},
      {"inner cycle",
       [] {
         return And(
             {L("j", {"T1", "B"}, {{1, 1}, {1, 2}, {2, 1}, {2, 3}, {3, 3}}),
              Or({And({L("c", {"T1"}, {{2}}), L("d", {"B"}, {{1}, {3}})}), L("e", {"B"}, {{2}})})});
       }},
  };
  for (const Case& c : cases) {
    Tree tree(c.tree());
    Rows expected;
    CombineStatus status = ReduceToRowSet(tree.get(), &expected);
    ASSERT_NE(status, CombineStatus::kNoMemory) << c.what;
    int failures = 0;
    for (int allowed = 0; allowed < 100000; ++allowed) {
      Rows rows;
      CombineStatus starved;
      {
        zksql_test::StarveAllocations starve(allowed);
        starved = ReduceToRowSet(tree.get(), &rows);
      }
      if (starved == CombineStatus::kNoMemory) {
        EXPECT_EQ(rows, nullptr) << c.what << " after " << allowed;
        ++failures;
        continue;
      }
      EXPECT_EQ(starved, status) << c.what << " after " << allowed;
      ASSERT_EQ(rows == nullptr, expected == nullptr) << c.what << " after " << allowed;
      if (rows != nullptr) {
        EXPECT_EQ(rows->state, expected->state) << c.what;
        EXPECT_EQ(ColumnsOf(*rows), ColumnsOf(*expected)) << c.what;
        EXPECT_EQ(TuplesOf(*rows), TuplesOf(*expected)) << c.what;
      }
      break;
    }
    EXPECT_GT(failures, 10) << c.what;
  }
}

// Randomized comparison with the formula. Two tables of three records;
// each leaf is a random predicate over some of them (or a constant). The
// tree, with random NOTs and nesting, is restructured; each leaf's row set
// is then filled as the selection would fill it (the predicate negated
// when the leaf's flag says so), and the reduction must give exactly the
// tuples for which the original formula holds.
class RandomFormula {
 public:
  static constexpr int kRecords = 3;

  RandomFormula(uint32_t seed, bool sameTables) : random_(seed), sameTables_(sameTables) {}

  ParseNode* Build(int depth) {
    int pick = static_cast<int>(random_() % 10);
    if (depth == 0 || pick < 3) return NewLeaf();
    if (pick < 5) return Not(Build(depth - 1));
    int n = 2 + static_cast<int>(random_() % 3);
    std::vector<ParseNode*> operands;
    for (int i = 0; i < n; ++i) operands.push_back(Build(depth - 1));
    return pick < 8 ? And(operands) : Or(operands);
  }

  // Truth of the formula for records (t1, t2), NOTs as written.
  bool Evaluate(const ParseNode* tree, int t1, int t2) const {
    if (tree->code == kConditionLeaf) return Holds(RowSetOf(tree), t1, t2);
    if (tree->code == kConditionNot) return !Evaluate(tree->child, t1, t2);
    bool isAnd = ConditionKind(tree) == kConditionAnd;
    bool value = isAnd;
    for (const ParseNode* node = tree; node != nullptr; node = node->next) {
      if (node->code != kConditionGroup) continue;
      bool operand = Evaluate(node->child, t1, t2);
      value = isAnd ? (value && operand) : (value || operand);
    }
    return value;
  }

  // Fills every leaf's row set as the selection would, first table fastest.
  void Fill(const ParseNode* tree) {
    if (tree->code == kConditionLeaf) {
      RowSet* rows = RowSetOf(tree);
      const Predicate& p = predicates_.at(rows);
      bool flip = rows->negated != 0;
      if (p.tables.empty()) {
        rows->state = (p.constant != flip) ? RS_ALL : RS_NONE;
        return;
      }
      for (const std::string& table : p.tables) {
        EXPECT_TRUE(rows->tuples->AddTupleColumn(table.c_str()));
      }
      int n = static_cast<int>(p.tables.size());
      for (int second = 1; second <= (n > 1 ? kRecords : 1); ++second) {
        for (int first = 1; first <= kRecords; ++first) {
          Tuples::value_type tuple = n > 1 ? Tuples::value_type{first, second} : Tuples::value_type{first};
          if ((p.truth.count(tuple) != 0) != flip) {
            EXPECT_TRUE(rows->tuples->AppendTuple(tuple.data(), n));
          }
        }
      }
      return;
    }
    if (tree->code == kConditionNot) return Fill(tree->child);
    for (const ParseNode* node = tree; node != nullptr; node = node->next) {
      if (node->code == kConditionGroup) Fill(node->child);
    }
  }

 private:
  struct Predicate {
    std::vector<std::string> tables;  // empty: a constant
    bool constant = false;
    std::set<Tuples::value_type> truth;  // records in table order
  };

  ParseNode* NewLeaf() {
    Predicate p;
    int kind = static_cast<int>(random_() % (sameTables_ ? 5 : 8));
    if (kind == 0) {
      p.constant = random_() % 2 == 0;
    } else if (sameTables_ || kind < 4) {
      p.tables = {"T1", "T2"};
    } else {
      p.tables = {kind < 6 ? "T1" : "T2"};
    }
    int n = static_cast<int>(p.tables.size());
    for (int a = 1; a <= kRecords; ++a) {
      for (int b = 1; b <= (n > 1 ? kRecords : 1); ++b) {
        if (random_() % 2 == 0) p.truth.insert(n > 1 ? Tuples::value_type{a, b} : Tuples::value_type{a});
      }
    }
    RowSet* rows = RowSet::Create(nullptr, nullptr, nullptr);
    predicates_[rows] = p;
    return Leaf(rows);
  }

  bool Holds(const RowSet* rows, int t1, int t2) const {
    const Predicate& p = predicates_.at(rows);
    if (p.tables.empty()) return p.constant;
    Tuples::value_type key;
    for (const std::string& table : p.tables) key.push_back(table == "T1" ? t1 : t2);
    return p.truth.count(key) != 0;
  }

  std::mt19937 random_;
  bool sameTables_;
  std::map<const RowSet*, Predicate> predicates_;
};

// Runs one random case; returns the reduction's status.
CombineStatus CheckRandomCase(uint32_t seed, bool sameTables) {
  RandomFormula formula(seed, sameTables);
  ParseNode* tree = formula.Build(4);
  Tree owned(tree);
  bool expected[RandomFormula::kRecords + 1][RandomFormula::kRecords + 1] = {};
  for (int t1 = 1; t1 <= RandomFormula::kRecords; ++t1) {
    for (int t2 = 1; t2 <= RandomFormula::kRecords; ++t2) expected[t1][t2] = formula.Evaluate(tree, t1, t2);
  }
  EXPECT_TRUE(RestructureWhere(&tree));
  owned.release();
  owned.reset(tree);
  formula.Fill(tree);
  Rows rows;
  CombineStatus status = ReduceToRowSet(tree, &rows);
  if (status != CombineStatus::kDone) return status;

  std::vector<std::string> columns = ColumnsOf(*rows);
  std::set<Tuples::value_type> stored;
  for (const auto& tuple : TuplesOf(*rows)) {
    EXPECT_TRUE(stored.insert(tuple).second) << "duplicate tuple, seed " << seed;
  }
  for (int t1 = 1; t1 <= RandomFormula::kRecords; ++t1) {
    for (int t2 = 1; t2 <= RandomFormula::kRecords; ++t2) {
      bool got;
      if (rows->state == RS_ALL) {
        got = true;
      } else if (rows->state == RS_NONE) {
        got = false;
      } else {
        Tuples::value_type key;
        for (const std::string& column : columns) key.push_back(column == "T1" ? t1 : t2);
        got = stored.count(key) != 0;
      }
      EXPECT_EQ(got, expected[t1][t2]) << "seed " << seed << " at (" << t1 << ", " << t2 << ")";
    }
  }
  return status;
}

TEST(ReduceToRowSet, RandomTreesOverOneTableListMatchTheFormula) {
  for (uint32_t seed = 1; seed <= 400; ++seed) {
    CombineStatus status = CheckRandomCase(seed, true);
    ASSERT_EQ(status, CombineStatus::kDone) << "seed " << seed;
    if (HasFailure()) return;
  }
}

TEST(ReduceToRowSet, RandomTreesOverMixedTablesMatchTheFormulaWhenTheyReduce) {
  int reduced = 0;
  for (uint32_t seed = 1000; seed < 1600; ++seed) {
    CombineStatus status = CheckRandomCase(seed, false);
    // Every failure is one of the statuses the driver reports as disjoint
    // tables; never a lack of memory, never a crash or a hang.
    ASSERT_TRUE(status == CombineStatus::kDone || status == CombineStatus::kRefused ||
                status == CombineStatus::kNoProgress || status == CombineStatus::kTooComplex)
        << "seed " << seed << " status " << static_cast<int>(status);
    if (status == CombineStatus::kDone) ++reduced;
    if (HasFailure()) return;
  }
  // Most mixed trees still reduce: the comparison is not vacuous.
  EXPECT_GT(reduced, 300);
}

}  // namespace
}  // namespace zksql
