// SelectionPlan: the selection drivers of one statement, as the analysis
// builds them.
//
// A SELECT has one driver per SELECT level (index 0 the outer one; a
// sub-select's driver is linked from its parent's `subSelects` chain). The
// analysis creates and links them, resolves column names through the
// enclosing SELECTs and records the outer references of sub-selects; the
// executor then runs them, sub-selects first. The plan owns its drivers.
// Errors are recorded in the statement's context.
#ifndef ZKSQL_SELECT_SELECTION_PLAN_H_
#define ZKSQL_SELECT_SELECTION_PLAN_H_

#include <cstdint>
#include <vector>

#include "base/ptr_array.h"
#include "base/statement_context.h"
#include "sql/parse_node.h"

namespace zksql {

class Column;
class ConditionEvaluator;
class SelectionDriver;

// One key of the statement's ORDER BY: the result column it sorts by (an
// index into the columns of driver 0's result, which for a set operation
// are those of the combined rows) and its direction.
struct OrderKey {
  int16_t column;
  bool descending;
};

class SelectionPlan {
 public:
  explicit SelectionPlan(StatementContext* context) : request(context) {}
  SelectionPlan(const SelectionPlan&) = delete;
  SelectionPlan& operator=(const SelectionPlan&) = delete;

  // A new driver whose parent is `parentIndex` (-1: a top-level SELECT);
  // with a parent, a link node for it is appended to the parent's
  // sub-select chain. The new index, or -1 when memory is short (4242
  // reported).
  int16_t CreateDriver(int16_t parentIndex);
  void SetParent(int16_t index, int16_t parentIndex);
  void SetQuantifier(int16_t index, int16_t code);
  // Takes ownership of the array (not of the columns in it); null: "*".
  void SetSelectColumns(int16_t index, PtrArray* columns);
  // A column by name ("TABLE.COLUMN" or bare) in driver `index`, then in
  // its enclosing SELECTs, nearest first, with the index of the driver
  // that has it in `*owner` (when given). Null when none has it.
  Column* ResolveColumn(int16_t index, const char* name, int16_t* owner = nullptr) const;
  // The driver whose sub-select chain links `index`, searched depth-first
  // from driver 0; -1 when none does.
  int16_t FindParent(int16_t index) const;
  // Records that driver `index` reads `reference` (a TABLE/COLUMN text) of
  // a table of the enclosing driver `owner`: the link of `index` and of
  // every driver between it and `owner` lists the reference once. False
  // when memory is short (4242 reported).
  [[nodiscard]] bool AddOuterReference(int16_t index, int16_t owner, const char* reference);
  // The driver of an index, or null.
  SelectionDriver* Driver(int16_t index) const;

  StatementContext* request;
  // What decides the drivers' conditions (not owned), given to each new
  // driver.
  ConditionEvaluator* conditionEvaluator = nullptr;
  PtrArray drivers{0, 4};  // owned; element i is driver i
  // The ORDER BY keys, first deciding first; empty: rows in selection order.
  std::vector<OrderKey> orderKeys;
  int16_t driverCount = 0;
};

}  // namespace zksql

#endif  // ZKSQL_SELECT_SELECTION_PLAN_H_
