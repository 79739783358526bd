// Memory blocks: zero-filled, zero-growing blocks from the global heap,
// handed out locked so that callers use plain pointers.
//
// Used for every large or growing block (request records, slot arrays,
// in-memory rows, the column-description buffer, sort and tuple arrays).
// Memo blocks exchanged with hosts and the engine are global blocks too,
// so the handle of any of these pointers can be found with GlobalHandle.
#ifndef ZKSQL_BASE_MEMORY_BLOCK_H_
#define ZKSQL_BASE_MEMORY_BLOCK_H_

#include <cstddef>

#include "platform.h"

namespace zksql {

constexpr unsigned kBlockFlags = GMEM_MOVEABLE | GMEM_ZEROINIT;

// Allocates and locks a block; null when memory is short.
void* AllocLocked(size_t bytes, unsigned flags = kBlockFlags);

// Resizes a block made by AllocLocked, keeping its contents up to the
// smaller size (added bytes read as zeros with GMEM_ZEROINIT). Returns the
// new address, or null with the old block still allocated and valid.
void* ReAllocLocked(void* pointer, size_t bytes, unsigned flags = GMEM_ZEROINIT);

// Releases a block made by AllocLocked; null is ignored.
void FreeLocked(void* pointer);

}  // namespace zksql

#endif  // ZKSQL_BASE_MEMORY_BLOCK_H_
