// StatementContext: what every phase of one statement shares, from parsing
// to the result.
//
// The layers below the exports take it by pointer: the error sink (the
// first failure's text and SQLSTATE, messages loaded from the catalogue
// and formatted), the shortages of memory met on the way, the engine
// handle the host passed, the host's memo
// values and how many the statement may use, the working copy of the
// text, the dictionary context that owns the statement's tables, the parse
// tree while the statement is compiled, and the result a SELECT leaves.
// The request the exports hand to the host is one (it derives from it);
// nothing below the exports knows more of the request than this.
//
// The context owns the dictionary context and the parse tree: whoever
// replaces the tree (the parser, a statement rewritten into a selection)
// hands the old one back by resetting it. Both are held through pointers to
// types of higher layers, so whoever destroys a context (the request, a
// test) includes their headers; this layer never does.
#ifndef ZKSQL_BASE_STATEMENT_CONTEXT_H_
#define ZKSQL_BASE_STATEMENT_CONTEXT_H_

#include <cstdint>
#include <memory>

#include "zksql.h"

namespace zksql {

class DictContext;
class ParseNode;
class ResultTable;

struct StatementContext {
  char errorText[255] = "";
  char sqlState[6] = "";
  char* sqlText = nullptr;  // working copy, valid only during ZKSQLExecReq
  std::unique_ptr<DictContext> dict;
  ResultTable* result = nullptr;  // owned by dict
  std::unique_ptr<ParseNode> parseRoot;
  int32_t engineHandle = 0;
  const ZKSQLMemoTable* memoParams = nullptr;
  // Memo markers the statement carried: the host memo numbers it may use
  // (1 to this count) when writing memo columns.
  int32_t memoMarkerCount = 0;
  // An allocation failed where the code could only answer "nothing" (see
  // base/out_of_memory.h): the statement cannot be trusted.
  bool outOfMemory = false;
  // The host asked the statement to stop and the interruption is recorded
  // (base/interrupt.h): no later error replaces it.
  bool interrupted = false;
  // Records the statement wrote or removed in files of the database.
  int32_t changedRows = 0;
};

// Records an error and returns the error text now held (null when there is
// none). A null text records nothing: it only asks. A text is cut to 254
// characters; the SQLSTATE is the first five characters of sqlState when
// given, else "00123" for a non-empty text and "00000" for an empty one.
// Once an interruption is recorded, texts are no longer recorded: what
// fails after it fails because of it.
const char* RecordError(StatementContext* context, const char* text,
                        const char* sqlState = nullptr);

// Loads message `id` from the catalogue, formats it with the arguments and
// records it.
void RecordMessage(StatementContext* context, const char* sqlState, int32_t id, ...);

// True when an error is recorded.
inline bool HasError(const StatementContext* context) { return context->errorText[0] != '\0'; }

}  // namespace zksql

#endif  // ZKSQL_BASE_STATEMENT_CONTEXT_H_
