// Request: one submitted statement, from ZKSQLExecReq to ZKSQLFinRequete.
//
// A request is a zero-filled memory block handed to the host as an opaque
// pointer. It is the statement's context (base/statement_context.h: the
// error text and SQLSTATE, the dictionary context that owns every table,
// the result, the parse tree, the engine handle and the host's memo table),
// the only part the layers below the exports see, plus what only the
// exports use: the fetch counter and, while the statement is compiled, its
// executor and evaluator. Requests do not refer to the instance.
#ifndef ZKSQL_API_REQUEST_H_
#define ZKSQL_API_REQUEST_H_

#include <cstdint>

#include "base/statement_context.h"
#include "zksql.h"

namespace zksql {

class BaseObject;

struct Request : StatementContext {
  uint32_t magic;  // kLiveMagic while the request lives
  int32_t fetchRow;
  int16_t compiled;
  BaseObject* executor;
  BaseObject* evaluator;
  // The statement runs in a scope of the engine (one snapshot to read, its
  // writes kept or undone together) from after parsing to its end.
  bool engineScopeOpen;
};

// Creates a request with its dictionary context: error "" and SQLSTATE
// "-----", no result. Null when memory is short (nothing is left allocated).
Request* CreateRequest(char* sqlText, int32_t engineHandle, const ZKSQLMemoTable* memos);

// The request behind a pointer a host handed back, or null when it is not
// a live request (null, never made here, or already ended).
Request* LiveRequest(void* pointer);

// Releases the parse tree, executor and evaluator of a compiled statement.
void ReleaseCompiled(Request* request);

// Releases the request and everything it owns.
void DestroyRequest(Request* request);

}  // namespace zksql

#endif  // ZKSQL_API_REQUEST_H_
