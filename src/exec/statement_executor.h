// StatementExecutor: carries out one analysed statement.
//
// The request runner creates it while compiling, with the evaluator that
// is attached to it. It is the statement's selection plan
// (select/selection_plan.h), which the analysis fills with the drivers of
// a SELECT (one per SELECT level, index 0 the outer one); `Execute` then
// dispatches on the statement: SELECT runs the drivers and leaves the
// result table in the request; INSERT, UPDATE and DELETE change records
// through the table objects (UPDATE and DELETE with a WHERE clause are
// first rewritten into «SELECT * FROM table WHERE ...» and selected like a
// query); CREATE TABLE and CREATE INDEX describe a file or an index to the
// storage engine. Every other statement is refused with message 4298.
//
// Errors are recorded in the context (Report); nothing is thrown.
// statement_executor.cc holds the dispatch and SELECT; the other statement
// kinds have a file each (see statement_kinds.h), and value assignment is
// in value_assignment.cc.
#ifndef ZKSQL_EXEC_STATEMENT_EXECUTOR_H_
#define ZKSQL_EXEC_STATEMENT_EXECUTOR_H_

#include <cstdint>

#include "base/base_object.h"
#include "base/ptr_array.h"
#include "exec/evaluator.h"
#include "select/selection_plan.h"
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

class StatementExecutor : public BaseObject,
                          public SelectionPlan,
                          public SubSelectSource,
                          public ValueAssigner {
 public:
  explicit StatementExecutor(StatementContext* context);
  ~StatementExecutor() override;
  StatementExecutor(const StatementExecutor&) = delete;
  StatementExecutor& operator=(const StatementExecutor&) = delete;

  // The evaluator of values and conditions (not owned: the request holds
  // it), given to the drivers too.
  void AttachEvaluator(Evaluator* e) {
    evaluator = e;
    conditionEvaluator = e;
  }

  // Runs the statement of the context's parse tree. The outcome is the
  // context's error text (empty: success) and, for a SELECT, its result.
  void Execute();

  // --- Used by the evaluator and the tables -----------------------------
  // The values sub-select `subIndex` yields for the outer row of driver
  // `parentIndex` whose values `binding` holds.
  ParseNode* EvaluateSubSelect(int16_t parentIndex, int16_t subIndex,
                               const RowBinding* binding) override;
  // The kept values of an uncorrelated sub-select (its valueCache).
  const ParseNode* StableSubSelectValues(int16_t parentIndex, int16_t subIndex) override;
  // Evaluates one value (a FON_ITEM_SIMPLE) into a column of its table's
  // row buffer. False, with the error recorded, when the value cannot be
  // stored.
  [[nodiscard]] bool AssignValue(ParseNode* valueNode, Column* column) override;

  // Records the error in the context; a later report replaces an earlier
  // one. A null SQLSTATE records the default one.
  void Report(const char* text, const char* sqlState);
  // The outer references of sub-select `subIndex` under driver
  // `parentIndex` (null: none), and whether it has any.
  const ParseNode* CorrelationReferences(int16_t parentIndex, int16_t subIndex);
  bool Correlated(int16_t parentIndex, int16_t subIndex);

  Evaluator* evaluator = nullptr;
  DictContext* dictionary = nullptr;
  int32_t mode = kModeSelect;
};

}  // namespace zksql

#endif  // ZKSQL_EXEC_STATEMENT_EXECUTOR_H_
