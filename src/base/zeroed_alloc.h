// AllocZeroed: calloc's contract (count elements of size bytes, zero
// filled, null on overflow or lack of memory; released with free) through
// malloc.
//
// The C library's calloc never serves from its per-thread cache of small
// freed blocks, so each call takes the allocator's slow path: several
// hundred instructions for the few small zeroed arrays that every
// statement makes. malloc and a memset of the same bytes cost a tenth.
#ifndef ZKSQL_BASE_ZEROED_ALLOC_H_
#define ZKSQL_BASE_ZEROED_ALLOC_H_

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace zksql {

inline void* AllocZeroed(size_t count, size_t size) {
  if (size != 0 && count > SIZE_MAX / size) return nullptr;
  size_t bytes = count * size;
  void* block = malloc(bytes == 0 ? 1 : bytes);
  if (block != nullptr) memset(block, 0, bytes);
  return block;
}

}  // namespace zksql

#endif  // ZKSQL_BASE_ZEROED_ALLOC_H_
