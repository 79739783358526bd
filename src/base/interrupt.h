// Stopping a running statement at the host's request.
//
// The host may ask from a signal handler or from another thread, while the
// statement runs on its own thread, so the request is one lock-free atomic
// word and nothing else: idle (no statement), running, or asked to stop.
// The statement runner marks its statement's start and end; the record
// reads and writes ask StopRequested, which records the failure on the
// statement's context the first time it answers true. An interruption is
// the statement's error from then on: the failures that follow from it
// (a read that did not happen, a scope closed without keeping) do not
// replace it.
#ifndef ZKSQL_BASE_INTERRUPT_H_
#define ZKSQL_BASE_INTERRUPT_H_

#include "base/statement_context.h"

namespace zksql {

// SQLSTATE of a statement stopped at the host's request.
constexpr const char kInterruptedSqlState[] = "HY008";

// A statement starts: an earlier, unanswered request to stop is dropped.
void StatementStarts();
// The statement is over as far as stopping goes. True when the host asked
// it to stop while it ran (also after its last record): it then fails with
// the interruption, recorded on `context` if nothing recorded it yet.
bool StatementEnds(StatementContext* context);

// Asks the running statement to stop. Async-signal-safe and thread-safe.
// True when a statement was running; a request while none runs is dropped.
bool RequestInterrupt();

// True when the running statement is asked to stop; the first time, the
// interruption is recorded on `context` (null: not recorded). Called before
// every record read and write.
bool StopRequested(StatementContext* context);

// Records the interruption as the context's error.
void RecordInterruption(StatementContext* context);

}  // namespace zksql

#endif  // ZKSQL_BASE_INTERRUPT_H_
