// Request: one submitted statement, from ZKSQLExecReq to ZKSQLFinRequete.
//
// A request is a zero-filled memory block handed to the host as an opaque
// pointer. It holds the error text and SQLSTATE, the dictionary context
// (which owns every table, the result table included), the fetch counter,
// and, while the statement is compiled, its parse tree, executor and
// evaluator. The engine handle and the host's memo table travel with it:
// requests do not refer to the instance.
#ifndef ZKSQL_API_REQUEST_H_
#define ZKSQL_API_REQUEST_H_

#include <cstdint>

#include "zksql.h"

namespace zksql {

class BaseObject;
class DictContext;
class Table;
class ParseNode;

struct Request {
  uint32_t magic;  // kLiveMagic while the request lives
  char* sqlText;   // working copy, valid only during ZKSQLExecReq
  char errorText[255];
  char sqlState[6];
  DictContext* dict;
  Table* result;  // owned by dict
  int32_t fetchRow;
  int16_t compiled;
  ParseNode* parseRoot;
  BaseObject* executor;
  BaseObject* evaluator;
  int32_t engineHandle;
  const ZKSQLMemoTable* memoParams;
  // Memo markers the statement carried: the host memo numbers it may use
  // (1 to this count) when writing memo columns.
  int32_t memoMarkerCount;
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

// Records an error in the request and returns the error text now held
// (null when there is none). A null text records nothing: it only asks.
// A text is cut to 254 characters; the SQLSTATE is the first five
// characters of sqlState when given, else "00123" for a non-empty text and
// "00000" for an empty one.
const char* RecordError(Request* request, const char* text, const char* sqlState = nullptr);

// Loads message `id`, formats it with the arguments and records it.
void RecordMessage(Request* request, const char* sqlState, int32_t id, ...);

// True when an error is recorded.
inline bool HasError(const Request* request) { return request->errorText[0] != '\0'; }

}  // namespace zksql

#endif  // ZKSQL_API_REQUEST_H_
