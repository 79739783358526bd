// EquiJoin: answers the join predicates of a two-table condition group by
// a hash of one table instead of walking the product of both.
//
// The plain path evaluates every predicate of a group on every combination
// of the group's records, the first table turning fastest: for each record
// of the second table in its read order, each record of the first in its
// read order. For a predicate "column of one table = column of the other"
// the same tuples, in the same order, come from reading the first table
// once into a hash of its column's equality keys (each key listing its
// records in read order) and then reading the second table once, looking
// each of its records up. The key is the evaluator's own equality
// (ValueConverter::KeyForEquality: numbers at six decimals with -0 equal to
// 0, texts byte for byte), and a missing value decides as the evaluator
// decides it, so every predicate holds for exactly the tuples it holds for
// on the plain path. The cost is one read of each table instead of one
// read of the first per record of the second.
//
// A group qualifies when it has two tables and every row set in it is such
// an equality, not negated, between columns whose values are numbers or
// texts (dates and times compare by their digits, which no key captures).
// Anything else keeps the plain path.
#ifndef ZKSQL_SELECT_EQUI_JOIN_H_
#define ZKSQL_SELECT_EQUI_JOIN_H_

#include <cstdint>

#include "select/condition_group.h"

namespace zksql {

struct StatementContext;
class KeySource;

class Column;
class RowSet;

// Whether a row set's predicate is "column = column", not negated, between
// columns whose values are numbers or texts: the equality that
// ValueConverter::KeyForEquality captures. The two columns in *left and
// *right, in the order written.
bool ColumnEquality(const RowSet* rows, Column** left, Column** right);

enum class EquiJoinOutcome {
  kNotApplicable,  // nothing read, nothing written: use the plain path
  kDone,           // every row set of the group holds its tuples
  kFailed,         // a read error or a lack of memory, recorded in the request
};

// Takes the tuples of a join, in order, instead of its row set: for each,
// the records of both tables are in their row buffers. False stops the
// join (the failure recorded by the sink).
class JoinSink {
 public:
  virtual bool Take(const int32_t* tuple) = 0;

 protected:
  ~JoinSink() = default;
};

// Fills the row sets of `group` when it qualifies, reading its tables
// through `filter` (may be null) as the odometer does. A read error is
// recorded as the odometer records it (message 4244 with the file name).
// With a sink (for a group of one predicate) the tuples go to the sink
// instead, and table 0's rows are kept in memory to be put back for them;
// when they would take too much room, nothing is done (kNotApplicable).
EquiJoinOutcome EvaluateEquiJoin(StatementContext* request, const ConditionGroup& group,
                                 const KeySource* filter, JoinSink* sink = nullptr);

}  // namespace zksql

#endif  // ZKSQL_SELECT_EQUI_JOIN_H_
