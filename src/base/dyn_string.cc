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
  free(text_);
  text_ = nullptr;
  capacity_ = 0;
}

bool DynString::Assign(const char* source) {
  if (source == nullptr) return true;
  size_t n = strlen(source);
  char* copy = static_cast<char*>(malloc(n + 1));
  if (copy == nullptr) {
    NoteOutOfMemory();
    return false;
  }
  memcpy(copy, source, n + 1);
  free(text_);
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
    char* grown = static_cast<char*>(realloc(text_, size));
    if (grown == nullptr) {
      NoteOutOfMemory();
      return false;
    }
    text_ = grown;
    capacity_ = static_cast<uint32_t>(size);
  }
  strcpy(text_ + old, source);
  if (withLineBreak) strcat(text_ + old, "\r\n");
  return true;
}

bool DynString::Reserve(int32_t n) {
  if (n < 0) return false;
  size_t old = text_ == nullptr ? 0 : strlen(text_) + 1;
  char* block = static_cast<char*>(realloc(text_, static_cast<size_t>(n) + 1));
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
