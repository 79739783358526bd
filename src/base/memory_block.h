// Memory blocks: zero-filled, zero-growing blocks from the global heap,
// handed out locked so that callers use plain pointers.
//
// Used for the blocks whose handle may be asked for (request records, memo
// parameter sets) and for growing arrays (slot arrays, sort and tuple
// arrays).
// Memo blocks exchanged with hosts and the engine are global blocks too,
// so the handle of any of these pointers can be found with GlobalHandle.
#ifndef ZKSQL_BASE_MEMORY_BLOCK_H_
#define ZKSQL_BASE_MEMORY_BLOCK_H_

#include <atomic>
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

// A heap block of one fixed size that is kept when given back, for buffers
// every statement needs whole and leaves behind (the working copy of its
// text, its column description): the next statement takes the kept block
// instead of asking the heap again. Blocks come from malloc, not from the
// global heap, and are not zero-filled. At most one block is kept; the
// block kept is still reachable at exit, never leaked.
class ReusableBlock {
 public:
  explicit constexpr ReusableBlock(size_t bytes) : bytes_(bytes) {}
  ReusableBlock(const ReusableBlock&) = delete;
  ReusableBlock& operator=(const ReusableBlock&) = delete;

  // The kept block, or a new one; null when memory is short.
  void* Take();
  // Keeps the block (taken from this object) for the next Take, or frees
  // it when one is kept already; null is ignored.
  void Give(void* block);

 private:
  size_t bytes_;
  std::atomic<void*> kept_{nullptr};
};

}  // namespace zksql

#endif  // ZKSQL_BASE_MEMORY_BLOCK_H_
