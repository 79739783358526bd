// Global memory blocks for POSIX.
//
// A handle names a small descriptor that stays put for the block's whole
// life; the bytes themselves may move when the block is resized, as they may
// under Windows. Every live handle and every block address is registered, so
// that a stale, foreign or NULL handle is answered with a failure instead of
// being dereferenced: blocks cross library boundaries and hosts hand them
// back, and a bad one must never bring the process down.
#include <stdlib.h>
#include <string.h>

#include <mutex>
#include <new>
#include <unordered_map>

#include "platform.h"

namespace {

struct Block {
  unsigned int locks;
  size_t size;
  unsigned char* data;
};

struct Registry {
  std::mutex mutex;
  std::unordered_map<const Block*, Block*> handles;
  std::unordered_map<const void*, Block*> addresses;
};

Registry& registry() {
  // Never destroyed: blocks may still be freed by other libraries' static
  // destructors while the process exits.
  static Registry* r = new Registry;
  return *r;
}

Block* Find(Registry& r, HGLOBAL handle) {
  if (handle == nullptr) return nullptr;
  auto it = r.handles.find(static_cast<const Block*>(handle));
  return it == r.handles.end() ? nullptr : it->second;
}

}  // namespace

extern "C" {

HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes) {
  Block* b = static_cast<Block*>(malloc(sizeof(Block)));
  if (b == nullptr) return nullptr;
  // One byte at least, so every block has a distinct address.
  size_t n = bytes == 0 ? 1 : bytes;
  b->data = static_cast<unsigned char*>((flags & GMEM_ZEROINIT) ? calloc(1, n) : malloc(n));
  if (b->data == nullptr) {
    free(b);
    return nullptr;
  }
  b->locks = 0;
  b->size = bytes;
  Registry& r = registry();
  std::lock_guard<std::mutex> guard(r.mutex);
  try {
    r.handles.emplace(b, b);
    r.addresses.emplace(b->data, b);
  } catch (const std::bad_alloc&) {
    r.handles.erase(b);
    free(b->data);
    free(b);
    return nullptr;
  }
  return b;
}

void* GlobalLock(HGLOBAL handle) {
  Registry& r = registry();
  std::lock_guard<std::mutex> guard(r.mutex);
  Block* b = Find(r, handle);
  if (b == nullptr) return nullptr;
  ++b->locks;
  return b->data;
}

BOOL GlobalUnlock(HGLOBAL handle) {
  Registry& r = registry();
  std::lock_guard<std::mutex> guard(r.mutex);
  Block* b = Find(r, handle);
  if (b == nullptr || b->locks == 0) return 0;
  --b->locks;
  return b->locks != 0;
}

HGLOBAL GlobalHandle(const void* address) {
  if (address == nullptr) return nullptr;
  Registry& r = registry();
  std::lock_guard<std::mutex> guard(r.mutex);
  auto it = r.addresses.find(address);
  return it == r.addresses.end() ? nullptr : it->second;
}

HGLOBAL GlobalReAlloc(HGLOBAL handle, SIZE_T bytes, UINT flags) {
  Registry& r = registry();
  std::lock_guard<std::mutex> guard(r.mutex);
  Block* b = Find(r, handle);
  if (b == nullptr) return nullptr;
  size_t n = bytes == 0 ? 1 : bytes;
  // The address registry must hold the new address before the old entry
  // goes, so that a failure leaves the block exactly as it was.
  unsigned char* moved = static_cast<unsigned char*>(malloc(n));
  if (moved == nullptr) return nullptr;
  try {
    r.addresses.emplace(moved, b);
  } catch (const std::bad_alloc&) {
    free(moved);
    return nullptr;
  }
  size_t keep = b->size < bytes ? b->size : bytes;
  if (keep > 0) memcpy(moved, b->data, keep);
  if (bytes > keep) {
    if (flags & GMEM_ZEROINIT) {
      memset(moved + keep, 0, bytes - keep);
    }
  }
  r.addresses.erase(b->data);
  free(b->data);
  b->data = moved;
  b->size = bytes;
  return b;
}

SIZE_T GlobalSize(HGLOBAL handle) {
  Registry& r = registry();
  std::lock_guard<std::mutex> guard(r.mutex);
  Block* b = Find(r, handle);
  return b == nullptr ? 0 : b->size;
}

HGLOBAL GlobalFree(HGLOBAL handle) {
  if (handle == nullptr) return nullptr;
  Registry& r = registry();
  std::lock_guard<std::mutex> guard(r.mutex);
  Block* b = Find(r, handle);
  if (b == nullptr) return handle;
  r.addresses.erase(b->data);
  r.handles.erase(b);
  free(b->data);
  free(b);
  return nullptr;
}

}  // extern "C"
