// RowSet: the set of record combinations that satisfy one condition, and
// the set algebra that combines two of them.
//
// The analysis creates one row set per predicate of a WHERE clause; the
// selection driver gives it one column per table the predicate reads and
// fills it with the combinations for which the predicate holds. A predicate
// that reads no table is settled at once: every row (RS_ALL) or none
// (RS_NONE), without columns. The WHERE clause is then reduced to a single
// row set by combining these pairwise: AND is a join on the tables two
// sets have in common (Intersect), OR a union of sets over the same tables
// (Unite). A join of sets without a common table would be a cartesian
// product of unrelated tables, and a union of sets over different tables
// has no meaning as a set of tuples: both are refused, and the caller must
// treat a refusal as a failure, never as an empty result.
#ifndef ZKSQL_SELECT_ROW_SET_H_
#define ZKSQL_SELECT_ROW_SET_H_

#include <cstdint>
#include <memory>

#include "base/base_object.h"
#include "base/ptr_array.h"
#include "select/tuple_table.h"
#include "sql/parse_node.h"

namespace zksql {

class Column;

// States of a row set.
constexpr int16_t RS_EXPLICIT = 0;   // exactly the tuples listed
constexpr int16_t RS_ALL = 1;        // every row of the tables concerned
constexpr int16_t RS_NONE = -1;      // no row
constexpr int16_t RS_COMPUTE = 999;  // inside a combination: tuples to compute

// Outcome of combining row sets (and of reducing a condition tree).
enum class CombineStatus : int16_t {
  kDone = 1,
  // The algebra refuses the pair: a join without a common table, a union of
  // different column lists. The selection reports it as disjoint tables.
  kRefused = 0,
  kNoMemory = -1,
  // The reduction of a tree stopped making progress: it came back to a
  // shape it had already produced, or used up its step budget. Reported
  // like a refusal.
  kNoProgress = -2,
  // The tree nests deeper, or a distribution would build a larger tree,
  // than the reduction's bounds allow.
  kTooComplex = -3,
};

class RowSet : public BaseObject {
 public:
  // Takes ownership of `references` and of the `conditionColumns` array
  // (not of the columns in it); `condition` stays the parse tree's. Use
  // Create to be told when the tuple table cannot be allocated.
  RowSet(ParseNode* condition, ParseNode* references, PtrArray* conditionColumns);
  ~RowSet() override;

  // Allocating form; null when memory is short, in which case the caller
  // keeps `references` and `conditionColumns`.
  static RowSet* Create(ParseNode* condition, ParseNode* references, PtrArray* conditionColumns);

  // A new row set with this one's state and a copy of its tuples; its other
  // fields are empty. Null when memory is short.
  RowSet* Copy() const;

  // The column a reference "TABLE/COLUMN" of the condition reads: the first
  // of `conditionColumns` bound under it, as the row binding finds it.
  // Null when none is.
  Column* ConditionColumn(const char* reference) const;

  // 1 when the condition is to be evaluated negated. NOT removal sets it;
  // the join path hands it to the evaluator with every evaluation.
  int16_t negated = 0;
  // The condition reads a value of an enclosing SELECT's row (directly or
  // through a sub-select): it can only be decided for a given enclosing
  // row, so the selection of this SELECT on its own counts it as holding
  // (see correlated_values.h).
  bool deferred = false;
  // Column references of the condition (TABLE/COLUMN texts).
  ParseNodePtr references;
  // The tuples. Never null in a row set made by Create or Copy.
  std::unique_ptr<TupleTable> tuples;
  // The predicate node the evaluator evaluates; not owned.
  ParseNode* condition = nullptr;
  int16_t state = RS_EXPLICIT;
  // Columns the condition reads. The array is owned and goes with the row
  // set, the columns are their tables'.
  BorrowedPtrArray conditionColumns;
};

// AND of two row sets: a join on their common tables. RS_NONE on either
// side gives RS_NONE, RS_ALL on both sides RS_ALL (both without tuples);
// RS_ALL with an explicit set gives that set's tuples without duplicates.
// Two explicit sets must share a table, else kRefused. The result's
// columns are a's, then b's that a lacks; tuple i of a joins tuple j of b
// when they agree on every common table, in order of i then j, duplicates
// skipped. On kDone *result holds a new row set; otherwise it is empty.
CombineStatus Intersect(const RowSet& a, const RowSet& b, std::unique_ptr<RowSet>* result);

// OR of two row sets. RS_ALL on either side gives RS_ALL, RS_NONE on both
// RS_NONE. Two explicit sets must have the same columns in the same order,
// else kRefused. The result holds a's tuples as they are, then b's tuples
// not already stored; its columns are a's (b's when a has none). *result
// as for Intersect.
CombineStatus Unite(const RowSet& a, const RowSet& b, std::unique_ptr<RowSet>* result);

}  // namespace zksql

#endif  // ZKSQL_SELECT_ROW_SET_H_
