// Compiling and executing a statement. Compiling parses the text (the tree
// goes to the request, the named files and items to its dictionary
// context), loads the descriptions of those files from the engine, then
// analyses the tree into the request's executor; executing runs it and
// releases the tree, the executor and the evaluator.
#include "api/statement_runner.h"

#include <cstring>
#include <memory>
#include <new>

#include "analysis/analyser.h"
#include "base/messages.h"
#include "exec/evaluator.h"
#include "exec/statement_executor.h"
#include "sql/parse_node.h"
#include "sql/parser.h"
#include "sql/rule_codes.h"
#include "storage/column.h"
#include "storage/dict_context.h"
#include "storage/engine.h"
#include "storage/result_table.h"
#include "values/number_text.h"

namespace zksql {
namespace {

// A failed compile must never look like a statement that ran and returned
// nothing: whatever stopped it is reported, and the compiled state goes.
void FailCompile(Request* request) {
  if (!HasError(request)) {
    RecordMessage(request, nullptr, kMsgInternalError,
                  "instruction non compil\xE9"
                  "e");
  }
  ReleaseCompiled(request);
}

// The failures that come from the engine's state rather than from the
// statement: they carry the engine's explanation.
bool IsEngineTrouble(int16_t code) {
  switch (code) {
    case JX_ERR_BUSY:
    case JX_ERR_READ_ONLY:
    case JX_ERR_ROLLED_BACK:
    case JX_ERR_MAP_FULL:
    case JX_ERR_DATABASE_FULL:
    case JX_ERR_STORAGE:
    case JX_ERR_DAMAGED:
    case JX_ERR_NO_MEMORY:
      return true;
    default:
      return false;
  }
}

// SQLSTATEs of the engine's failures, as ODBC hosts know them.
const char* EngineSqlState(int16_t code) {
  switch (code) {
    case JX_ERR_BUSY:
      return "HYT00";  // timeout expired
    case JX_ERR_ROLLED_BACK:
      return "25S03";  // transaction is rolled back
    case JX_ERR_READ_ONLY:
      return "25006";  // read-only transaction
    case JX_ERR_NO_MEMORY:
      return "HY001";  // memory allocation error
    default:
      return "HY000";  // general error
  }
}

// Records the engine's explanation of `code` as the request's error,
// replacing what the statement's own calls recorded.
void RecordEngineFailure(Request* request, int16_t code) {
  const EngineEntryPoints* engine = BoundEngine();
  char text[kMessageBufferSize - 8] = "";
  if (engine != nullptr && engine->lastError != nullptr)
    engine->lastError(request->engineHandle, text, static_cast<int32_t>(sizeof text));
  if (text[0] == '\0')
    ZkFormat(text, sizeof text, "Erreur du moteur de stockage (%i)", static_cast<int>(code));
  RecordMessage(request, EngineSqlState(code), kMsgEngineFailure, text);
}

}  // namespace

void ParseStatement(Request* request) {
  request->compiled = 0;
  request->executor.reset(new (std::nothrow) StatementExecutor(request));
  StatementExecutor* executor = request->executor.get();
  if (executor != nullptr) request->evaluator.reset(new (std::nothrow) Evaluator(executor));
  Evaluator* evaluator = request->evaluator.get();
  if (executor != nullptr) executor->AttachEvaluator(evaluator);
  if (evaluator == nullptr) {
    RecordMessage(request, nullptr, kMsgOutOfMemory);
  } else {
    Parser parser(request, request->dict.get());
    parser.Parse();
  }
  if (request->parseRoot == nullptr || HasError(request)) FailCompile(request);
}

void AnalyseStatement(Request* request) {
  if (request->parseRoot == nullptr || HasError(request)) return;
  // The dictionary is asked only through a bound engine; a statement
  // that names no file still needs one to run.
  StatementExecutor* executor = request->executor.get();
  if (executor != nullptr && RequireEngine(request) && request->dict->LoadDescriptions()) {
    Analyser analyser(request);
    if (analyser.Analyse(executor) && !HasError(request)) request->compiled = 1;
  }
  if (!request->compiled) FailCompile(request);
}

void CompileStatement(Request* request) {
  ParseStatement(request);
  AnalyseStatement(request);
}

bool OpenStatementScope(Request* request) {
  const EngineEntryPoints* engine = BoundEngine();
  if (engine == nullptr || engine->beginStatement == nullptr || request->parseRoot == nullptr)
    return true;
  const ParseNode* statement = request->parseRoot->child;
  bool reads = statement != nullptr && statement->code == FON_REQUETE_SELECTION;
  int16_t code =
      engine->beginStatement(request->engineHandle, reads ? JX_STATEMENT_READ : JX_STATEMENT_WRITE);
  if (code == JX_OK) {
    request->engineScopeOpen = true;
    return true;
  }
  RecordEngineFailure(request, code);
  ReleaseCompiled(request);
  return false;
}

bool CloseStatementScope(Request* request, bool succeeded) {
  const EngineEntryPoints* engine = BoundEngine();
  if (!request->engineScopeOpen || engine == nullptr || engine->endStatement == nullptr)
    return false;
  request->engineScopeOpen = false;
  int16_t code = engine->endStatement(request->engineHandle,
                                      succeeded ? JX_STATEMENT_KEEP : JX_STATEMENT_UNDO);
  if (code == JX_ERR_MAP_FULL) return true;
  if (code != JX_OK) {
    RecordEngineFailure(request, code);
  } else if (!succeeded && engine->lastError != nullptr) {
    // A call of the statement met the engine's own trouble (a busy or
    // read-only database): its explanation says more than "read/write
    // error" with a code.
    int16_t met = engine->lastError(request->engineHandle, nullptr, 0);
    if (IsEngineTrouble(met)) RecordEngineFailure(request, met);
  }
  return false;
}

void ExecuteStatement(Request* request) {
  StatementExecutor* executor = request->executor.get();
  if (request->compiled && executor != nullptr) {
    executor->Execute();
  } else if (!HasError(request)) {
    RecordMessage(request, nullptr, kMsgInternalError,
                  "instruction non compil\xE9"
                  "e");
  }
  request->compiled = 0;
  ReleaseCompiled(request);
}

uint16_t DescribeResult(Request* request) {
  Table* result = request->result;
  char* text = request->dict != nullptr ? request->dict->columnText() : nullptr;
  if (result == nullptr || text == nullptr) return 0;
  int32_t used = 0;
  text[0] = '\0';
  int16_t count = result->ColumnCount();
  for (int16_t i = 0; i < count; ++i) {
    Column* column = result->ColumnAt(i);
    if (column == nullptr) continue;
    const char* name = column->name() != nullptr ? column->name() : "";
    int32_t room = DictContext::kColumnTextSize - used;
    // "name\tletter\thosttype\twidth", put together by hand: every
    // statement describes its result, and formatting costs more than the
    // rest of a one-row lookup's description.
    char numbers[2][24];
    char letter[2] = {column->Letter(), '\0'};
    numbers[0][WholeDigits(column->HostType(), numbers[0])] = '\0';
    numbers[1][WholeDigits(column->Width(), numbers[1])] = '\0';
    const char* parts[] = {i > 0 ? "\r\n" : "", name, "\t", letter, "\t", numbers[0], "\t",
                           numbers[1]};
    int32_t n = 0;
    for (const char* part : parts) {
      size_t length = strlen(part);
      if (n + static_cast<int32_t>(length) < room) memcpy(text + used + n, part, length);
      n += static_cast<int32_t>(length);
    }
    if (n < room) text[used + n] = '\0';
    if (n >= room) {
      // A description the buffer cannot hold whole would leave the host
      // with fewer columns than the rows carry: the statement fails.
      text[0] = '\0';
      RecordMessage(request, nullptr, kMsgInternalError, "description des colonnes trop longue");
      return 0;
    }
    used += n;
  }
  return static_cast<uint16_t>(count);
}


}  // namespace zksql
