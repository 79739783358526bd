// Global memory blocks for POSIX.
//
// A handle names a small descriptor that stays put for the block's whole
// life; the bytes themselves may move when the block is resized, as they may
// under Windows. Every live handle and every block address is registered, so
// that a stale, foreign or NULL handle is answered with a failure instead of
// being dereferenced: blocks cross library boundaries and hosts hand them
// back, and a bad one must never bring the process down.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <mutex>

#include "platform.h"

namespace {

struct Block {
  unsigned int locks;
  size_t size;
  unsigned char* data;
};

// An open-addressing table from an address to its block: linear probing,
// deletion by shifting the following entries back, growth by doubling at
// half load. Blocks come and go at every statement, so registering one
// costs no allocation of its own; only growing the table allocates, and a
// table that cannot grow refuses the insertion instead of throwing.
class AddressTable {
 public:
  Block* Find(const void* key) const {
    if (slots_ == nullptr) return nullptr;
    for (size_t i = Home(key);; i = (i + 1) & mask_) {
      if (slots_[i].key == key) return slots_[i].block;
      if (slots_[i].key == nullptr) return nullptr;
    }
  }

  // False, the table unchanged, when it is full and cannot grow.
  bool Insert(const void* key, Block* block) {
    if ((count_ + 1) * 2 > Capacity() && !Grow()) return false;
    size_t i = Home(key);
    while (slots_[i].key != nullptr && slots_[i].key != key) i = (i + 1) & mask_;
    if (slots_[i].key == nullptr) ++count_;
    slots_[i] = Slot{key, block};
    return true;
  }

  void Erase(const void* key) {
    if (slots_ == nullptr) return;
    size_t i = Home(key);
    while (slots_[i].key != key) {
      if (slots_[i].key == nullptr) return;
      i = (i + 1) & mask_;
    }
    // Entries after the hole that could not sit at their home move back
    // into it, so that no search stops short of them.
    for (size_t j = (i + 1) & mask_; slots_[j].key != nullptr; j = (j + 1) & mask_) {
      size_t home = Home(slots_[j].key);
      bool between = i <= j ? (i < home && home <= j) : (i < home || home <= j);
      if (!between) {
        slots_[i] = slots_[j];
        i = j;
      }
    }
    slots_[i] = Slot{nullptr, nullptr};
    --count_;
  }

 private:
  struct Slot {
    const void* key;
    Block* block;
  };

  size_t Capacity() const { return slots_ == nullptr ? 0 : mask_ + 1; }
  size_t Home(const void* key) const {
    // Addresses share their low bits (alignment): the top bits of a
    // multiplication by the golden ratio mix all of them.
    uint64_t x = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(key));
    return static_cast<size_t>((x * 0x9E3779B97F4A7C15ull) >> shift_);
  }
  bool Grow() {
    size_t capacity = slots_ == nullptr ? 256 : 2 * Capacity();
    Slot* fresh = static_cast<Slot*>(calloc(capacity, sizeof(Slot)));
    if (fresh == nullptr) return false;
    Slot* old = slots_;
    size_t oldCapacity = Capacity();
    slots_ = fresh;
    mask_ = capacity - 1;
    shift_ = 64;
    for (size_t c = capacity; c > 1; c >>= 1) --shift_;
    count_ = 0;
    for (size_t i = 0; i < oldCapacity; ++i) {
      if (old[i].key != nullptr) Insert(old[i].key, old[i].block);
    }
    free(old);
    return true;
  }

  Slot* slots_ = nullptr;
  size_t mask_ = 0;
  int shift_ = 64;  // 64 - log2(capacity)
  size_t count_ = 0;
};

struct Registry {
  std::mutex mutex;
  AddressTable handles;    // a block's handle (its descriptor) -> itself
  AddressTable addresses;  // a block's first byte -> its descriptor
};

Registry& registry() {
  // Never destroyed: blocks may still be freed by other libraries' static
  // destructors while the process exits.
  static Registry* r = new Registry;
  return *r;
}

Block* Find(Registry& r, HGLOBAL handle) {
  if (handle == nullptr) return nullptr;
  return r.handles.Find(handle);
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
  if (!r.handles.Insert(b, b)) {
    free(b->data);
    free(b);
    return nullptr;
  }
  if (!r.addresses.Insert(b->data, b)) {
    r.handles.Erase(b);
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
  return r.addresses.Find(address);
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
  if (!r.addresses.Insert(moved, b)) {
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
  r.addresses.Erase(b->data);
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
  r.addresses.Erase(b->data);
  r.handles.Erase(b);
  free(b->data);
  free(b);
  return nullptr;
}

}  // extern "C"
