// The phases of one statement after the request exists: compiling (parse,
// dictionary load, analysis) and executing. ZKSQLExecReq drives them in
// order and tests the request's error text after each.
#ifndef ZKSQL_API_STATEMENT_RUNNER_H_
#define ZKSQL_API_STATEMENT_RUNNER_H_

#include "api/request.h"

namespace zksql {

// Compiles the request's working copy: parse, load the descriptions of the
// files it names (message 4243 for a file the engine does not describe),
// analyse. On success the request is compiled (parse tree, executor and
// evaluator held, `compiled` 1). On failure the compiled state is
// released and an error is always recorded (a syntax error framed with its
// item and position, SQLSTATE "00123"), so a request is never executed
// without a compiled statement. The two halves, ParseStatement then
// AnalyseStatement, may be run apart: parsing asks nothing of the engine.
void CompileStatement(Request* request);
void ParseStatement(Request* request);
void AnalyseStatement(Request* request);

// Opens the parsed statement's scope in the engine: a read scope for a
// SELECT (one snapshot of the last commit, taken without waiting for a
// writer), a write scope otherwise (all of its writes kept or undone
// together; inside a host transaction, a savepoint). False, with the
// engine's explanation recorded, when the engine refuses (busy, read-only,
// a transaction already rolled back). An engine without scopes runs the
// statement call by call: true.
bool OpenStatementScope(Request* request);

// Closes the scope: keeps the statement's writes when it `succeeded`,
// undoes them otherwise. Returns true when the engine lost the statement's
// work to a full map and enlarged the map, with no transaction around it:
// the statement may simply run again. Otherwise any failure of the engine
// (the scope's own, or one its calls met) is recorded as the request's
// error with the engine's explanation and an SQLSTATE, in place of the
// generic read/write message.
bool CloseStatementScope(Request* request, bool succeeded);

// Executes a compiled request, then releases its compiled state. Errors are
// recorded in the request; a SELECT leaves its result table in `result`.
void ExecuteStatement(Request* request);

// Writes the column description of the request's result table into the
// column-text buffer and returns the number of columns.
uint16_t DescribeResult(Request* request);

}  // namespace zksql

#endif  // ZKSQL_API_STATEMENT_RUNNER_H_
