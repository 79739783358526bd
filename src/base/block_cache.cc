// BlockCache: a bounded stack of freed blocks behind a spin lock.
#include "base/block_cache.h"

// Keeping nothing under the address sanitizer leaves every block to it.
#if defined(__SANITIZE_ADDRESS__)
#define ZKSQL_BLOCK_CACHE 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZKSQL_BLOCK_CACHE 0
#endif
#endif
#ifndef ZKSQL_BLOCK_CACHE
#define ZKSQL_BLOCK_CACHE 1
#endif

namespace zksql {

void BlockCache::Lock() {
  while (busy_.test_and_set(std::memory_order_acquire)) {
  }
}

void* BlockCache::Take() {
  if (!ZKSQL_BLOCK_CACHE) return nullptr;
  Lock();
  void* block = count_ > 0 ? blocks_[--count_] : nullptr;
  Unlock();
  return block;
}

bool BlockCache::Keep(void* block) {
  if (!ZKSQL_BLOCK_CACHE || block == nullptr) return false;
  Lock();
  bool kept = count_ < kCapacity;
  if (kept) blocks_[count_++] = block;
  Unlock();
  return kept;
}

int BlockCache::KeepMany(void* const* blocks, int n) {
  if (!ZKSQL_BLOCK_CACHE || n <= 0) return 0;
  Lock();
  int kept = 0;
  while (kept < n && count_ < kCapacity) blocks_[count_++] = blocks[kept++];
  Unlock();
  return kept;
}

void BlockCache::ReleaseAll(void (*release)(void*)) {
  void* taken[kCapacity];
  Lock();
  int n = count_;
  for (int i = 0; i < n; ++i) taken[i] = blocks_[i];
  count_ = 0;
  Unlock();
  for (int i = 0; i < n; ++i) release(taken[i]);
}

}  // namespace zksql
