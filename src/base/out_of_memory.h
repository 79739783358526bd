// Shortages of memory that the code meeting them cannot report itself.
//
// Helpers that hand out a value, a copy or a node answer a failed
// allocation with "nothing", which their callers cannot always tell from a
// genuine nothing (an empty value, a condition that does not hold, a name
// that is not wanted). Such helpers note the shortage here, and the request
// path fails the statement with the out-of-memory message when one was
// noted while it ran, rather than hand back rows or write records that the
// missing allocation may have changed.
//
// Process-wide, like the library's other shared state: the host calls the
// library from one thread at a time.
#ifndef ZKSQL_BASE_OUT_OF_MEMORY_H_
#define ZKSQL_BASE_OUT_OF_MEMORY_H_

namespace zksql {

// Notes that an allocation failed.
void NoteOutOfMemory();
// Whether a failure was noted since the last call; forgets it.
bool TakeOutOfMemory();

}  // namespace zksql

#endif  // ZKSQL_BASE_OUT_OF_MEMORY_H_
