// StatementExecutor: carries out one analysed statement.
//
// The request runner creates it while compiling, with the evaluator that
// is attached to it. The analysis uses it to create and hold the selection
// drivers of a SELECT (one per SELECT level, index 0 the outer one) and to
// resolve column names through enclosing SELECTs; `Execute` then
// dispatches on the statement: SELECT runs the drivers and leaves the
// result table in the request; INSERT, UPDATE and DELETE change records
// through the table objects (UPDATE and DELETE with a WHERE clause are
// first rewritten into «SELECT * FROM table WHERE ...» and selected like a
// query); CREATE TABLE and CREATE INDEX describe a file or an index to the
// storage engine. Every other statement is refused with message 4298.
//
// Errors are recorded in the request (Report); nothing is thrown. The
// executor owns its drivers; the parse-tree nodes it keeps (orderBy) stay
// the tree's. statement_executor.cc holds the dispatch and SELECT; the
// other statement kinds have a file each (see statement_kinds.h), value
// assignment is in value_assignment.cc, and statement_drivers.cc holds the
// operations the analysis uses.
#ifndef ZKSQL_EXEC_STATEMENT_EXECUTOR_H_
#define ZKSQL_EXEC_STATEMENT_EXECUTOR_H_

#include <cstdint>

#include "base/base_object.h"
#include "base/ptr_array.h"
#include "exec/evaluator.h"
#include "sql/parse_node.h"
#include "storage/table.h"

namespace zksql {

struct StatementContext;
class Column;
class DictContext;
class SelectionDriver;

// Modes of a selection run by the executor.
constexpr int32_t kModeSelect = 0;
constexpr int32_t kModeDelete = 1;
constexpr int32_t kModeUpdate = 2;

class StatementExecutor : public BaseObject, public SubSelectSource, public ValueAssigner {
 public:
  explicit StatementExecutor(StatementContext* request);
  ~StatementExecutor() override;
  StatementExecutor(const StatementExecutor&) = delete;
  StatementExecutor& operator=(const StatementExecutor&) = delete;

  // Runs the statement of the request's parse tree. The outcome is the
  // request's error text (empty: success) and, for a SELECT, its result.
  void Execute();

  // --- Used by the analysis -------------------------------------------
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
  // its enclosing SELECTs, nearest first. Null when none has it.
  Column* ResolveColumn(int16_t index, const char* name) const;
  // The driver whose sub-select chain links `index`, searched depth-first
  // from driver 0; -1 when none does.
  int16_t FindParent(int16_t index) const;
  // Appends to `out` (a link node: text = "/"-joined table names, child =
  // head of TABLE/COLUMN nodes) the references read by the conditions of
  // driver `index` and of its nested sub-selects that belong to the tables
  // listed in `names` (a "/"-joined list). 1, or 0 when memory is short.
  int16_t CollectOuterReferences(const char* names, int16_t index, ParseNode* out);
  // Fills the link nodes of driver `index`'s sub-selects with the outer
  // references each reads. 1, or 0 when memory is short.
  int16_t PropagateOuterReferences(int16_t index);
  // The driver of an index, or null.
  SelectionDriver* Driver(int16_t index) const;

  // --- Used by the evaluator and the tables -----------------------------
  // The values sub-select `subIndex` yields for the current outer row of
  // driver `parentIndex`.
  ParseNode* EvaluateSubSelect(int16_t parentIndex, int16_t subIndex) override;
  // Evaluates one value (a FON_ITEM_SIMPLE) into a column of its table's
  // row buffer. 1 on success, 0 when the value cannot be stored.
  int16_t AssignValue(ParseNode* valueNode, Column* column) override;

  // Records the error in the request; a later report replaces an earlier
  // one. A null SQLSTATE records the default one.
  void Report(const char* text, const char* sqlState);

  StatementContext* request;
  // Evaluates values and conditions for the drivers (not owned; the
  // request holds it).
  Evaluator* evaluator = nullptr;
  DictContext* dictionary = nullptr;
  PtrArray drivers{0, 4};  // owned; element i is driver i
  ParseNode* orderBy = nullptr;  // the parse tree's
  int16_t driverCount = 0;
  int32_t mode = kModeSelect;

 private:
  int16_t CollectOuterReferencesAt(const char* names, int16_t index, ParseNode* out, int depth);
};

}  // namespace zksql

#endif  // ZKSQL_EXEC_STATEMENT_EXECUTOR_H_
