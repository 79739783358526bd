// Compiling and executing a statement. Compiling parses the text (the tree
// goes to the request, the named files and items to its dictionary
// context), loads the descriptions of those files from the engine, then
// analyses the tree into the request's executor; executing runs it and
// releases the tree, the executor and the evaluator.
#include "api/statement_runner.h"

#include <cstring>
#include <new>

#include "analysis/analyser.h"
#include "api/messages.h"
#include "exec/evaluator.h"
#include "exec/statement_executor.h"
#include "sql/parser.h"
#include "storage/column.h"
#include "storage/dict_context.h"
#include "storage/engine.h"
#include "storage/table.h"

namespace zksql {

void CompileStatement(Request* request) {
  request->compiled = 0;
  StatementExecutor* executor = new (std::nothrow) StatementExecutor(request);
  Evaluator* evaluator = executor == nullptr ? nullptr : new (std::nothrow) Evaluator(executor);
  request->executor = executor;
  request->evaluator = evaluator;
  Parser* parser = evaluator == nullptr ? nullptr : new (std::nothrow) Parser(request);
  if (parser == nullptr) {
    RecordMessage(request, nullptr, kMsgOutOfMemory);
  } else {
    parser->Parse();
    delete parser;
  }
  if (request->parseRoot != nullptr && !HasError(request)) {
    // The dictionary is asked only through a bound engine; a statement
    // that names no file still needs one to run.
    if (RequireEngine(request) && request->dict->LoadDescriptions() != 0) {
      Analyser analyser(request);
      if (analyser.Analyse(executor) && !HasError(request)) request->compiled = 1;
    }
  }
  if (!request->compiled) {
    // A failed compile must never look like a statement that ran and
    // returned nothing: whatever stopped it is reported.
    if (!HasError(request)) {
      RecordMessage(request, nullptr, kMsgInternalError, "instruction non compil\xE9" "e");
    }
    ReleaseCompiled(request);
  }
}

void ExecuteStatement(Request* request) {
  StatementExecutor* executor = dynamic_cast<StatementExecutor*>(request->executor);
  if (request->compiled && executor != nullptr) {
    executor->Execute();
  } else if (!HasError(request)) {
    RecordMessage(request, nullptr, kMsgInternalError, "instruction non compil\xE9" "e");
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
    int32_t n = ZkFormat(text + used, room, "%s%s\t%c\t%u\t%u", i > 0 ? "\r\n" : "", name,
                         column->Letter(), static_cast<unsigned>(column->HostType()),
                         static_cast<unsigned>(column->Width()));
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

bool RequireEngine(Request* request) {
  if (BoundEngine() != nullptr) return true;
  RecordMessage(request, nullptr, kMsgNoEngine, kEngineLibraryName);
  return false;
}

}  // namespace zksql
