// Shortages of memory that the code meeting them cannot report itself.
//
// Helpers that hand out a value, a copy or a node answer a failed
// allocation with "nothing", which their callers cannot always tell from a
// genuine nothing (an empty value, a condition that does not hold, a name
// that is not wanted). Such helpers note the shortage, and it lands in the
// context of the statement under way (its `outOfMemory`): the request path
// then fails the statement with the out-of-memory message rather than hand
// back rows or write records that the missing allocation may have changed.
//
// Which statement is under way is set by a ShortageWatch for the length of
// an export's work on it; the host calls the library from one thread at a
// time, and the watch is per thread.
#ifndef ZKSQL_BASE_OUT_OF_MEMORY_H_
#define ZKSQL_BASE_OUT_OF_MEMORY_H_

#include "base/statement_context.h"

namespace zksql {

// Notes that an allocation failed, in the statement under way (nowhere
// when none is: nothing then depends on it).
void NoteOutOfMemory();

// Makes `context` the statement under way for its lifetime (null: none).
class ShortageWatch {
 public:
  explicit ShortageWatch(StatementContext* context);
  ~ShortageWatch();
  ShortageWatch(const ShortageWatch&) = delete;
  ShortageWatch& operator=(const ShortageWatch&) = delete;

 private:
  StatementContext* previous_;
};

// Whether a shortage was noted in `context` since the last call; forgets it.
bool TakeOutOfMemory(StatementContext* context);

}  // namespace zksql

#endif  // ZKSQL_BASE_OUT_OF_MEMORY_H_
