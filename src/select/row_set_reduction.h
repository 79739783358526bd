// Reduction of a restructured WHERE tree to a single row set.
//
// Once every predicate's row set is filled, the selection driver turns the
// NOT-free, flattened condition tree into one row set. Within a list, pairs
// of leaves are combined (AND: Intersect, OR: Unite) until one leaf is left.
// When leaves cannot be paired (a join of sets without a common table, a
// union over different tables), the reduction distributes: x AND (y OR z)
// becomes (x AND y) OR (x AND z), whose pairs may combine where the
// original ones could not, as in J AND (A OR B) with J over two tables and
// A, B over one of them.
//
// Distribution can also undo itself: B AND (B OR T) distributes into
// (B AND B) OR (B AND T), which combines and distributes back to the same
// shape, for ever. Whether two leaves combine depends only on their states
// and column lists, never on the tuples, so a list that comes back to a
// shape (operators, nesting, leaf states and columns) it already had would
// cycle. Such a list stops where it is, as a pair the algebra refuses
// does: the list around it may still resolve it by distributing over it
// (J AND ((C AND D) OR E) resolves that way); when nothing does, the
// reduction fails with kNoProgress. A budget of distribution steps, a bound
// on nesting depth and one on the size of a distributed tree back this up,
// so the reduction always ends, and a failure is a status the driver
// reports like a refused combination (disjoint tables), never a silent
// empty result.
//
// The input tree is never changed: the reduction works on a deep copy whose
// leaves hold copies of the row sets.
#ifndef ZKSQL_SELECT_ROW_SET_REDUCTION_H_
#define ZKSQL_SELECT_ROW_SET_REDUCTION_H_

#include <cstdint>
#include <memory>

#include "select/row_set.h"
#include "sql/parse_node.h"

namespace zksql {

// Nesting depth of lists the reduction accepts (its recursion is one call
// per level); deeper trees fail with kTooComplex. The lists of a WHERE
// clause nest no deeper than its parentheses, so every clause the parser
// accepts is within it.
constexpr int32_t kMaxReductionDepth = kMaxStatementNesting;
// Levels that distribution may add to the input's nesting. Reductions that
// succeed stay within a level or two of their input; one that keeps
// nesting deeper is not converging and fails with kNoProgress.
constexpr int32_t kReductionDepthMargin = 16;
// Distributions allowed in one reduction; past it, kNoProgress.
constexpr int32_t kMaxDistributions = 10000;
// Nodes a distributed tree may have; larger products fail with kTooComplex.
constexpr int32_t kMaxDistributedNodes = 200000;

// Combines two operand contents x and y (each a leaf or a list) under the
// operator op (2 AND, 45 OR):
// - two leaves: Intersect (AND) or Unite (OR) of their row sets; on kDone
//   *result is a new leaf holding the result; kRefused when the algebra
//   refuses the pair;
// - otherwise x op y multiplied out: the operands of a list of the dual
//   operator are its terms, a leaf or a list of the same operator is a
//   single term; every term of x is paired with every term of y (a leaf
//   term always first, then in list order), each pair a list
//   [group(copy of one term), op, group(copy of the other)], the pairs
//   joined in groups by the dual operator:
//     x AND (y1 OR y2)             -> (x AND y1) OR (x AND y2)
//     (x1 OR x2) AND (y1 OR y2)    -> (x1 AND y1) OR (x1 AND y2)
//                                       OR (x2 AND y1) OR (x2 AND y2)
//   so that the next round can combine the pairs. A single pair is the
//   list [group(x), op, group(y)] itself.
// *result is empty unless kDone; x and y are not changed.
CombineStatus CombinePair(int32_t op, const ParseNode* x, const ParseNode* y, ParseNodePtr* result);

// What the selection driver calls: kDone with *rows holding a new row set
// when the tree reduces to a single leaf (*rows is empty otherwise). A
// tree that stays a list gives kRefused, or kNoProgress when a list
// stopped on a shape it had already had. On kRefused, kNoProgress and
// kTooComplex the driver decides the clause one combination at a time when
// its single predicates link every table, and reports disjoint tables
// (4287) otherwise; kNoMemory is a lack of memory.
CombineStatus ReduceToRowSet(const ParseNode* tree, std::unique_ptr<RowSet>* rows);

}  // namespace zksql

#endif  // ZKSQL_SELECT_ROW_SET_REDUCTION_H_
