// Grouping: the groups of an aggregating SELECT, gathered as its rows are
// selected — one group per distinct combination of the GROUP BY columns'
// values, each with its aggregates' running state.
//
// Group keys meet under the equality of WHERE and of the join hash:
// numbers at six decimals (2.0000001 and 2.0000004 are one group, -0 and 0
// another), texts byte by byte (accented letters and their plain or
// capital forms are different keys), dates and times by their bytes. A
// group shows the values of its first row, and groups are kept in the
// order of their first rows; an ORDER BY sorts the rows made from them
// afterwards.
//
// Without a GROUP BY list the whole selection is one group, also when no
// row was selected: such a SELECT always yields one row, where COUNT gives
// 0 and the other aggregates the absent value, the zero-filled field
// (shown as 0 for a number and as an empty text for a text, date or
// time). With a GROUP BY list no row makes no group.
#ifndef ZKSQL_SELECT_GROUPING_H_
#define ZKSQL_SELECT_GROUPING_H_

#include <cstddef>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/ptr_array.h"
#include "select/aggregate_accumulator.h"
#include "select/select_item.h"
#include "values/row_binding.h"
#include "values/typed_value.h"

namespace zksql {

class Column;

class Grouping {
 public:
  // `keys`: the GROUP BY columns (none: one group). `aggregates` and
  // `tables` (the FROM tables, whose record images tell rows apart for
  // COUNT DISTINCT) must outlive the grouping.
  Grouping(std::vector<Column*> keys, const std::vector<AggregateSpec>* aggregates,
           const PtrArray* tables);

  // Takes the FROM tables' current row into its group. False when memory
  // is short.
  [[nodiscard]] bool Take();
  // Ends the gathering: without GROUP BY, makes the one group if no row
  // came. False when memory is short.
  [[nodiscard]] bool Finish();

  size_t GroupCount() const { return groups_.size(); }
  // The stored bytes of key column `k` in group `g`'s first row.
  const std::string& KeyField(size_t g, size_t k) const { return groups_[g].fields[k]; }
  // The value of key column `k` in group `g`'s first row (none: no value).
  const OwnedValue& KeyValue(size_t g, size_t k) const { return groups_[g].values[k]; }
  const AggregateAccumulator& Aggregate(size_t g, size_t a) const {
    return groups_[g].aggregates[a];
  }
  // Index of `column` among the keys, or -1.
  int KeyIndex(const Column* column) const;
  // Binds what a HAVING condition reads of group `g`: the key columns'
  // values by TABLE/COLUMN and each aggregate's value by its parse node.
  // `held` keeps the aggregates' values while the binding is used. False
  // when memory is short.
  [[nodiscard]] bool Bind(size_t g, RowBinding* binding, std::vector<OwnedValue>* held) const;

 private:
  struct Group {
    std::vector<std::string> fields;  // key columns' stored bytes, first row
    std::vector<OwnedValue> values;   // key columns' values, first row
    std::vector<AggregateAccumulator> aggregates;
  };
  [[nodiscard]] bool NewGroup();

  std::vector<Column*> keys_;
  const std::vector<AggregateSpec>* aggregates_;
  const PtrArray* tables_;
  bool rowKeys_ = false;  // some aggregate is COUNT DISTINCT alone
  std::vector<Group> groups_;
  std::unordered_map<std::string, size_t> index_;
};

}  // namespace zksql

#endif  // ZKSQL_SELECT_GROUPING_H_
