// The fuzz targets' entry functions.
//
// Each takes one input as libFuzzer hands it and drives one part of the
// library with it, checking what the interfaces promise on the way. The
// same functions are linked into the libFuzzer drivers (libfuzzer_driver.cc)
// and into the test suite, which replays every kept input (the seed corpus
// and the inputs of past crashes) without libFuzzer.
#ifndef ZKSQL_FUZZ_FUZZ_TARGETS_H_
#define ZKSQL_FUZZ_FUZZ_TARGETS_H_

#include <cstddef>
#include <cstdint>

#include "zksql.h"

namespace zksql_fuzz {

// What a target does when a promise is broken: the drivers abort (so that
// libFuzzer keeps the input), the test suite records a failure.
using FailureHandler = void (*)(const char* what, const char* file, int line);
void SetFailureHandler(FailureHandler handler);
void Fail(const char* what, const char* file, int line);

#define ZK_FUZZ_CHECK(condition)                                          \
  do {                                                                    \
    if (!(condition)) ::zksql_fuzz::Fail(#condition, __FILE__, __LINE__); \
  } while (0)

// The whole statement path through the exports, over a small database made
// by StatementSetUp (in a temporary folder, removed by StatementTearDown).
// Every input runs inside an engine transaction that is rolled back, so the
// database stays as it was made. StatementSetUp returns false, with a
// reason in *why, when the database could not be made.
bool StatementSetUp(const char** why);
void StatementTearDown();
int StatementInput(const uint8_t* data, size_t size);
// The engine handle of that database and the host memo table every
// statement is handed (memo values for every marker a statement can carry),
// for other tests over the same database; 0 and null before the set-up.
int32_t StatementEngineHandle();
const ZKSQLMemoTable* StatementMemoTable();

// The date escape rewriter, in place and into a new text.
int EscapeInput(const uint8_t* data, size_t size);

// The memo construct scanner and its replacement, through the exports and
// the request path's marker substitution.
int MemoInput(const uint8_t* data, size_t size);

// The lexer alone: every token of the text, and scans from every position.
int LexerInput(const uint8_t* data, size_t size);

}  // namespace zksql_fuzz

#endif  // ZKSQL_FUZZ_FUZZ_TARGETS_H_
