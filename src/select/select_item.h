// SelectItem: what one entry of an aggregating SELECT's list shows, as the
// analysis found it — a column the rows are grouped by, an aggregate, or
// nothing (a literal, which has no column in the result).
//
// A SELECT aggregates when its list or its HAVING clause holds an
// aggregate, or when it has a GROUP BY list; its result rows are then made
// from its groups (select/grouping.h) instead of from the selected rows.
// The items keep pointers into the parse tree and to the FROM tables'
// columns, which outlive the statement's execution.
#ifndef ZKSQL_SELECT_SELECT_ITEM_H_
#define ZKSQL_SELECT_SELECT_ITEM_H_

#include <cstdint>
#include <string>

namespace zksql {

class Column;
class ParseNode;

// One aggregate of the select list or of the HAVING clause.
struct AggregateSpec {
  int32_t function = 0;             // LEX_COUNT_ETOILE, LEX_COUNT_DISTINCT, LEX_SUM, ...
  bool distinct = false;            // SUM(DISTINCT X) and the like
  Column* argument = nullptr;       // null for COUNT(*) and COUNT DISTINCT
  const ParseNode* node = nullptr;  // the FON_FONCTION_AGREGEE_REF node, the value's key
};

struct SelectItem {
  enum class Kind { kColumn, kAggregate, kNone };
  Kind kind = Kind::kNone;
  Column* column = nullptr;  // kColumn: the column shown
  int32_t aggregate = -1;    // kAggregate: index in the driver's `aggregates`
  // The result column's name: the alias when one is written, else the
  // column's name, or for an aggregate the function as written with the
  // argument's column name: "COUNT(*)", "COUNT DISTINCT", "SUM(X)",
  // "MAX(DISTINCT X)".
  std::string name;
};

}  // namespace zksql

#endif  // ZKSQL_SELECT_SELECT_ITEM_H_
