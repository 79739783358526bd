// BlockCache: freed blocks of one size, kept for the next allocation of
// that size.
//
// A statement makes and drops dozens of small objects of a few sizes (parse
// nodes, token texts), more of one size than the allocator's own per-size
// caches hold, so most would go back through its slower paths. A cache is
// shared by every thread behind a lock held for a few instructions, holds
// at most kCapacity blocks, and owns nothing: the caller allocates what
// Take cannot give and frees what Keep refuses, with the same functions.
// Under the address sanitizer it keeps nothing, so that a block used after
// it was given back is still caught.
#ifndef ZKSQL_BASE_BLOCK_CACHE_H_
#define ZKSQL_BASE_BLOCK_CACHE_H_

#include <atomic>

namespace zksql {

class BlockCache {
 public:
  static constexpr int kCapacity = 512;

  BlockCache() = default;
  BlockCache(const BlockCache&) = delete;
  BlockCache& operator=(const BlockCache&) = delete;

  // A kept block, or null when there is none.
  void* Take();
  // Keeps `block`; false when the cache is full (or kept nothing), the
  // block then still the caller's to free.
  bool Keep(void* block);
  // Keeps as many of the n blocks as there is room for, under one lock;
  // returns how many, the first ones of the array (the rest stay the
  // caller's).
  int KeepMany(void* const* blocks, int n);
  // Hands every kept block to `release` (the function that frees it),
  // giving their memory back.
  void ReleaseAll(void (*release)(void*));

 private:
  void Lock();
  void Unlock() { busy_.clear(std::memory_order_release); }

  std::atomic_flag busy_ = ATOMIC_FLAG_INIT;
  int count_ = 0;
  void* blocks_[kCapacity];
};

}  // namespace zksql

#endif  // ZKSQL_BASE_BLOCK_CACHE_H_
