// WHERE restructuring: removes NOT from a condition tree and flattens
// nested lists of the same operator, so that the reduction can combine
// row sets pairwise.
//
// NOT removal pushes every negation down to the leaves (De Morgan: the
// operators of a negated list swap, AND for OR, and each operand is
// negated; two NOTs cancel). Afterwards negation lives only in the leaves:
// each leaf's row set has `negated` set and its `value` mark toggled, and
// the join path evaluates each predicate negated accordingly. The parse
// tree itself keeps its NOT tokens: a path that evaluates the parse tree's
// own NOTs must use each predicate's own truth and ignore `negated`, or
// every NOT would count twice.
//
// Flattening merges an operand that is a list of the same operator into
// the enclosing list: a AND (b AND c) becomes a AND b AND c. The operands
// that stay keep their order and the merged ones follow them, in the order
// they were merged: (a AND b) AND (c AND d) AND e becomes
// e AND a AND b AND c AND d.
//
// Both work in place, iteratively, and are idempotent. They take the
// tree's root by address because the root itself may be replaced.
#ifndef ZKSQL_SELECT_WHERE_RESTRUCTURE_H_
#define ZKSQL_SELECT_WHERE_RESTRUCTURE_H_

#include <cstdint>

#include "sql/parse_node.h"

namespace zksql {

// NOT removal. True on success (also for a null tree); false when *tree is
// not a condition tree (left unchanged) or memory is short (the tree is
// then partly rewritten but whole: it can still be deleted).
[[nodiscard]] bool RemoveNot(ParseNode** tree);

// Flattening; the same results as RemoveNot. A NOT node's operand is
// flattened in turn but never merged into the list around the NOT.
[[nodiscard]] bool FlattenConditions(ParseNode** tree);

// NOT removal, then flattening: the form the selection driver keeps in its
// `where` and hands to ReduceToRowSet. Running it again changes nothing.
[[nodiscard]] bool RestructureWhere(ParseNode** tree);

}  // namespace zksql

#endif  // ZKSQL_SELECT_WHERE_RESTRUCTURE_H_
