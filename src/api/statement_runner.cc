// Compiling and executing a statement. The language, analysis and
// execution phases plug in here as they are built; until a phase exists a
// statement compiles to nothing and runs nothing, leaving the request
// without a result.
#include "api/statement_runner.h"

#include "api/messages.h"
#include "storage/engine.h"

namespace zksql {

void CompileStatement(Request* request) {
  request->compiled = 0;
  // No parser yet: there is no tree, hence nothing to analyse or run.
  if (!request->compiled) ReleaseCompiled(request);
}

void ExecuteStatement(Request* request) { ReleaseCompiled(request); }

uint16_t DescribeResult(Request* request) {
  // Result tables arrive with the execution phase.
  if (request->result == nullptr) return 0;
  return 0;
}

bool RequireEngine(Request* request) {
  if (BoundEngine() != nullptr) return true;
  RecordMessage(request, nullptr, kMsgNoEngine, kEngineLibraryName);
  return false;
}

}  // namespace zksql
