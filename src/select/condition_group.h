// ConditionGroup: the WHERE predicates of one SELECT level that read the
// same tables, evaluated together over the product of those tables.
//
// A group is keyed by its tables in the order its predicates first read
// them: that order is the odometer's (the first table turns fastest) and
// that of the tuple columns of the group's row sets, so two predicates
// share a group only when they read the same tables in the same order. The
// tables are the dictionary's; the row sets belong to the leaves of the
// driver's condition tree, and a group merely lists them.
#ifndef ZKSQL_SELECT_CONDITION_GROUP_H_
#define ZKSQL_SELECT_CONDITION_GROUP_H_

#include <utility>
#include <vector>

namespace zksql {

class RowSet;
class Table;

class ConditionGroup {
 public:
  explicit ConditionGroup(std::vector<Table*> tables) : tables_(std::move(tables)) {}

  const std::vector<Table*>& tables() const { return tables_; }
  // The row sets filed here, in the order they were filed.
  const std::vector<RowSet*>& rowSets() const { return rowSets_; }
  bool Spans(const std::vector<Table*>& tables) const { return tables_ == tables; }
  // Lists a row set (not owned). Throws std::bad_alloc when memory is
  // short, the group then unchanged.
  void Add(RowSet* rows) { rowSets_.push_back(rows); }

 private:
  std::vector<Table*> tables_;
  std::vector<RowSet*> rowSets_;
};

}  // namespace zksql

#endif  // ZKSQL_SELECT_CONDITION_GROUP_H_
