// Broken promises: reported through the handler the host of the targets
// chose; by default printed, then the process aborts.
#include <cstdio>
#include <cstdlib>

#include "fuzz_targets.h"

namespace zksql_fuzz {
namespace {

void AbortOnFailure(const char* what, const char* file, int line) {
  fprintf(stderr, "%s:%d: check failed: %s\n", file, line, what);
  abort();
}

FailureHandler g_handler = AbortOnFailure;

}  // namespace

void SetFailureHandler(FailureHandler handler) {
  g_handler = handler != nullptr ? handler : AbortOnFailure;
}

void Fail(const char* what, const char* file, int line) {
  g_handler(what, file, line);
}

}  // namespace zksql_fuzz
