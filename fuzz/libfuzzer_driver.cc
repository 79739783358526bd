// The libFuzzer side of a fuzz target: compiled once per target with
// ZK_FUZZ_ENTRY naming its entry function, and ZK_FUZZ_WITH_DATABASE for
// the statement target, whose database is made once before the first input
// and removed when the process exits.
#include <cstdio>
#include <cstdlib>

#include "fuzz_targets.h"

#ifndef ZK_FUZZ_ENTRY
#error "ZK_FUZZ_ENTRY names the target's entry function"
#endif

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
#ifdef ZK_FUZZ_WITH_DATABASE
  const char* why = "";
  if (!zksql_fuzz::StatementSetUp(&why)) {
    fprintf(stderr, "statement target: %s\n", why);
    zksql_fuzz::StatementTearDown();
    exit(1);
  }
  atexit(zksql_fuzz::StatementTearDown);
#endif
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return ZK_FUZZ_ENTRY(data, size);
}
