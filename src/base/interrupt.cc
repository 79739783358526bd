// The process-wide stop request of the running statement.
#include "base/interrupt.h"

#include <atomic>

#include "base/messages.h"

namespace zksql {
namespace {

enum StopState : int { kIdle = 0, kRunning = 1, kStopAsked = 2 };

// Lock-free, so that a signal handler may set it.
std::atomic<int> g_state{kIdle};
static_assert(std::atomic<int>::is_always_lock_free, "the stop request must be lock-free");

}  // namespace

void StatementStarts() {
  g_state.store(kRunning);
}

bool StatementEnds(StatementContext* context) {
  bool asked = g_state.exchange(kIdle) == kStopAsked;
  if (asked && context != nullptr && !context->interrupted) RecordInterruption(context);
  return asked;
}

bool RequestInterrupt() {
  int expected = kRunning;
  if (g_state.compare_exchange_strong(expected, kStopAsked)) return true;
  return expected == kStopAsked;
}

bool StopRequested(StatementContext* context) {
  if (g_state.load(std::memory_order_relaxed) != kStopAsked) return false;
  if (context != nullptr && !context->interrupted) RecordInterruption(context);
  return true;
}

void RecordInterruption(StatementContext* context) {
  RecordMessage(context, kInterruptedSqlState, kMsgInterrupted);
  context->interrupted = true;
}

}  // namespace zksql
