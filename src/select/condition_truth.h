// Condition truth: whether a condition tree holds, given the truth of each
// of its leaves.
//
// The set paths (row_set_reduction) answer a WHERE clause with sets of
// record numbers. Some conditions cannot be answered that way and are
// decided one combination (or one group of rows) at a time instead: an OR
// between predicates on different tables, a HAVING clause, the conditions
// of a correlated sub-select. TreeHolds walks the tree for them, asking the
// caller for each leaf it needs, left to right, and stops at the first
// operand that settles an AND (false) or an OR (true), so a leaf past that
// point is never evaluated.
//
// The tree is one the analysis built (condition_tree.h), restructured or
// not: NOT nodes are honoured where they are left. The leaf's own negation
// mark (RowSet::negated, set by the restructuring) is the LeafTruth's
// business, since the evaluator applies it with the predicate. The walk is
// iterative: the input decides how deep a tree goes, never the host's
// stack.
#ifndef ZKSQL_SELECT_CONDITION_TRUTH_H_
#define ZKSQL_SELECT_CONDITION_TRUTH_H_

#include "select/row_set.h"
#include "sql/parse_node.h"

namespace zksql {

// Decides one leaf of a condition tree.
class LeafTruth {
 public:
  virtual ~LeafTruth() = default;
  // The truth of the leaf's predicate (its negation mark applied) in
  // `*holds`. False when it could not be decided (the reason recorded by
  // the implementation); the walk then stops.
  virtual bool Decide(const ParseNode* leaf, RowSet* rows, bool* holds) = 0;
};

enum class TreeTruth { kFalse, kTrue, kFailed };

// The truth of `tree`. kFailed when a leaf could not be decided, when the
// tree is malformed (a null operand, an unknown code) or when memory is
// short for the walk; a failed walk records nothing itself.
TreeTruth TreeHolds(const ParseNode* tree, LeafTruth& leaves);

}  // namespace zksql

#endif  // ZKSQL_SELECT_CONDITION_TRUTH_H_
