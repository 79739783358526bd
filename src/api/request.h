// Request: one submitted statement, from ZKSQLExecReq to ZKSQLFinRequete.
//
// A request lives in a memory block of its own (constructed there, so that
// its owning members release what they hold) handed to the host as an
// opaque pointer. It is the statement's context (base/statement_context.h: the
// error text and SQLSTATE, the dictionary context that owns every table,
// the result, the parse tree, the engine handle and the host's memo table),
// the only part the layers below the exports see, plus what only the
// exports use: the fetch counter and, while the statement is compiled, its
// executor and evaluator, which it owns. Requests do not refer to the instance.
#ifndef ZKSQL_API_REQUEST_H_
#define ZKSQL_API_REQUEST_H_

#include <cstdint>
#include <memory>
#include <string>

#include "base/statement_context.h"
#include "zksql.h"

namespace zksql {

class Evaluator;
class StatementExecutor;

struct Request : StatementContext {
  Request();
  ~Request();
  Request(const Request&) = delete;
  Request& operator=(const Request&) = delete;

  uint32_t magic = 0;  // kLiveMagic while the request lives
  int32_t fetchRow = 0;
  int16_t compiled = 0;
  std::unique_ptr<StatementExecutor> executor;
  std::unique_ptr<Evaluator> evaluator;
  // The statement runs in a scope of the engine (one snapshot to read, its
  // writes kept or undone together) from after parsing to its end.
  bool engineScopeOpen = false;
  // The text of the current row as the exports give it, kept so that its
  // room serves every row fetched.
  std::string rowText;
};

// Creates a request with its dictionary context: error "" and SQLSTATE
// "-----", no result. Null when memory is short (nothing is left allocated).
Request* CreateRequest(char* sqlText, int32_t engineHandle, const ZKSQLMemoTable* memos);

// The request behind a pointer a host handed back, or null when it is not
// a live request (null, never made here, or already ended).
Request* LiveRequest(void* pointer);

// Releases the parse tree, executor and evaluator of a compiled statement.
void ReleaseCompiled(Request* request);

// Releases the request and everything it owns. Its memory block is kept
// for the next request (see ReleaseSpareRequest).
void DestroyRequest(Request* request);

// Frees the memory block kept from the last destroyed request (an
// instance's end does it).
void ReleaseSpareRequest();

}  // namespace zksql

#endif  // ZKSQL_API_REQUEST_H_
