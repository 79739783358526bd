// Memory blocks over the platform's global heap.
#include "base/memory_block.h"

#include <cstdlib>

namespace zksql {

void* AllocLocked(size_t bytes, unsigned flags) {
  HGLOBAL handle = GlobalAlloc(flags, bytes);
  if (handle == nullptr) return nullptr;
  void* pointer = GlobalLock(handle);
  if (pointer == nullptr) GlobalFree(handle);
  return pointer;
}

void* ReAllocLocked(void* pointer, size_t bytes, unsigned flags) {
  HGLOBAL handle = GlobalHandle(pointer);
  if (handle == nullptr) return nullptr;
  GlobalUnlock(handle);
  HGLOBAL resized = GlobalReAlloc(handle, bytes, flags);
  if (resized == nullptr) {
    // The old block stays the caller's, locked as before.
    GlobalLock(handle);
    return nullptr;
  }
  return GlobalLock(resized);
}

void FreeLocked(void* pointer) {
  if (pointer == nullptr) return;
  HGLOBAL handle = GlobalHandle(pointer);
  if (handle == nullptr) return;
  while (GlobalUnlock(handle)) {
  }
  GlobalFree(handle);
}

void* ReusableBlock::Take() {
  void* block = kept_.exchange(nullptr);
  return block != nullptr ? block : malloc(bytes_);
}

void ReusableBlock::Give(void* block) {
  if (block == nullptr) return;
  void* none = nullptr;
  if (!kept_.compare_exchange_strong(none, block)) free(block);
}

}  // namespace zksql
