// The statement kinds the executor carries out, each in a file of its own:
// the writes (INSERT, UPDATE, DELETE), the creations (CREATE TABLE, CREATE
// INDEX) and the set operations that combine two SELECT results. Execute
// dispatches to them; they report through the executor and leave the
// outcome in the request, as Execute itself does.
//
// Internal to the executor: nothing outside exec/ calls these.
#ifndef ZKSQL_EXEC_STATEMENT_KINDS_H_
#define ZKSQL_EXEC_STATEMENT_KINDS_H_

#include <cstdint>

namespace zksql {

struct StatementContext;
class DictContext;
class ParseNode;
class StatementExecutor;
class ResultTable;

// statement_executor.cc: runs every selection driver, sub-selects first,
// and (in SELECT mode) builds the result of each top-level SELECT. False,
// with the reason recorded in the request, unless every driver completed.
[[nodiscard]] bool RunSelection(StatementExecutor& executor);

// statement_writes.cc: `statement` is the statement node (the root's
// child).
void ExecuteInsert(StatementExecutor& executor, ParseNode* statement);
void ExecuteUpdate(StatementExecutor& executor, ParseNode* statement);
void ExecuteDelete(StatementExecutor& executor, ParseNode* statement);

// statement_creation.cc.
void ExecuteCreateTable(StatementExecutor& executor, ParseNode* statement);
void ExecuteCreateIndex(StatementExecutor& executor, ParseNode* statement);

// set_operation.cc: a new in-memory table (owned by `dict`) holding the
// combination of two SELECT results under the set operator `op` (token
// code of UNION, EXCEPT or INTERSECT; `all` keeps duplicates, UNION only).
// The columns are named after `left`'s. Null on failure, with the reason
// recorded in the request.
ResultTable* CombineResults(StatementContext* request, DictContext* dict, ResultTable* left,
                            ResultTable* right, int32_t op, bool all);

}  // namespace zksql

#endif  // ZKSQL_EXEC_STATEMENT_KINDS_H_
