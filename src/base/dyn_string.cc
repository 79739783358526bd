// DynString: heap texts that report shortage of memory by result.
#include "base/dyn_string.h"

#include <cstdlib>
#include <cstring>

#include "base/out_of_memory.h"

namespace zksql {
namespace {

// The smallest block Append makes.
constexpr size_t kMinAppendCapacity = 128;

}  // namespace

void DynString::Free() {
  if (OnHeap()) free(text_);
  text_ = nullptr;
  capacity_ = 0;
}

bool DynString::MoveToHeap(size_t size, size_t keep) {
  char* block = static_cast<char*>(malloc(size));
  if (block == nullptr) {
    NoteOutOfMemory();
    return false;
  }
  if (keep > 0) memcpy(block, text_, keep);
  text_ = block;
  capacity_ = static_cast<uint32_t>(size);
  return true;
}

bool DynString::Assign(const char* source) {
  if (source == nullptr) return true;
  size_t n = strlen(source);
  if (n + 1 <= kInlineSize) {
    // The source may be this very text: moved, not copied over itself.
    memmove(inline_, source, n + 1);
    if (OnHeap()) free(text_);
    text_ = inline_;
    capacity_ = kInlineSize;
    return true;
  }
  char* copy = static_cast<char*>(malloc(n + 1));
  if (copy == nullptr) {
    NoteOutOfMemory();
    return false;
  }
  memcpy(copy, source, n + 1);
  if (OnHeap()) free(text_);
  text_ = copy;
  capacity_ = static_cast<uint32_t>(n + 1);
  return true;
}

bool DynString::Set(const char* source) {
  Free();
  return Assign(source);
}

bool DynString::Append(const char* source, bool withLineBreak) {
  if (source == nullptr) return true;
  size_t add = strlen(source) + (withLineBreak ? 2 : 0);
  if (text_ != nullptr && add == 0) return true;
  size_t old = text_ == nullptr ? 0 : strlen(text_);
  size_t needed = old + add + 1;
  if (text_ == nullptr || needed > capacity_) {
    // Doubling, from room for a few names on: a list built name by name
    // is seldom copied, and a short one never.
    size_t size = 2 * static_cast<size_t>(capacity_);
    if (size < kMinAppendCapacity) size = kMinAppendCapacity;
    if (size < needed || size > UINT32_MAX) size = needed;
    if (OnHeap()) {
      char* grown = static_cast<char*>(realloc(text_, size));
      if (grown == nullptr) {
        NoteOutOfMemory();
        return false;
      }
      text_ = grown;
      capacity_ = static_cast<uint32_t>(size);
    } else if (!MoveToHeap(size, text_ == nullptr ? 0 : old + 1)) {
      return false;
    }
  }
  strcpy(text_ + old, source);
  if (withLineBreak) strcat(text_ + old, "\r\n");
  return true;
}

bool DynString::Reserve(int32_t n) {
  if (n < 0) return false;
  size_t old = text_ == nullptr ? 0 : strlen(text_) + 1;
  char* block;
  if (OnHeap()) {
    block = static_cast<char*>(realloc(text_, static_cast<size_t>(n) + 1));
  } else {
    block = static_cast<char*>(malloc(static_cast<size_t>(n) + 1));
    if (block != nullptr && old > 0) {
      memcpy(block, text_, old < static_cast<size_t>(n) + 1 ? old : static_cast<size_t>(n) + 1);
    }
  }
  if (block == nullptr) {
    NoteOutOfMemory();
    return false;
  }
  if (old < static_cast<size_t>(n) + 1) memset(block + old, 0, static_cast<size_t>(n) + 1 - old);
  block[n] = '\0';
  text_ = block;
  capacity_ = static_cast<uint32_t>(n) + 1;
  return true;
}

}  // namespace zksql
