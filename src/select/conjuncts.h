// Conjuncts: the top-level AND operands of a restructured condition tree.
//
// A WHERE clause over several tables whose tree does not reduce to one row
// set (an OR between predicates on different tables) can still be answered
// when its conjuncts that are single predicates link every table: their
// row sets reduce by set algebra to the combinations worth trying, and the
// other conjuncts are decided on each of those combinations. This splits
// the tree for that, and builds the AND of the single predicates.
//
// The tree is the NOT-free, flattened form the driver keeps in its
// `where`: a leaf, or a list whose operands are leaves or lists of the
// other operator. A root that is an OR list is a single conjunct, and a
// compound one.
#ifndef ZKSQL_SELECT_CONJUNCTS_H_
#define ZKSQL_SELECT_CONJUNCTS_H_

#include <vector>

#include "sql/parse_node.h"

namespace zksql {

struct Conjuncts {
  // Conjuncts that are one predicate: leaf nodes of the tree.
  std::vector<const ParseNode*> leaves;
  // The others (lists, or a NOT left in the tree), each the content of its
  // group; decided as a whole.
  std::vector<const ParseNode*> compound;
};

// Fills *out with the conjuncts of `tree`, in the tree's order; both lists
// point into the tree. A null tree has none. False when memory is short.
[[nodiscard]] bool SplitConjuncts(const ParseNode* tree, Conjuncts* out);

// A new condition tree, the AND of copies of `leaves` made as
// CopyConditionTree makes them (state and tuples of the row sets, which is
// all a reduction reads): a lone leaf's copy when there is one, an AND list
// of them otherwise. Null when `leaves` is empty or memory is short.
ParseNode* AndOfLeaves(const std::vector<const ParseNode*>& leaves);

}  // namespace zksql

#endif  // ZKSQL_SELECT_CONJUNCTS_H_
