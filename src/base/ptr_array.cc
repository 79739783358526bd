// PtrArray: owning pointer arrays in zero-filled heap arrays.
#include "base/ptr_array.h"

#include <cstdlib>
#include <cstring>

#include "base/out_of_memory.h"

namespace zksql {

PtrArray::PtrArray(int16_t initialCapacity, int16_t growBy) : growBy_(growBy > 0 ? growBy : 4) {
  if (initialCapacity > 0) Grow(initialCapacity);
}

PtrArray::~PtrArray() {
  DeleteAll();
  if (slots_ != inline_) free(slots_);
  slots_ = nullptr;
  capacity_ = 0;
}

bool PtrArray::Grow(int16_t n) {
  if (n <= 0) n = growBy_;
  int32_t wanted = static_cast<int32_t>(capacity_) + n;
  if (wanted > kMaxSlots) return false;
  size_t bytes = static_cast<size_t>(wanted) * sizeof(BaseObject*);
  // Slot arrays are the library's own: the object's few slots first, then
  // plain heap blocks, grown with the added slots cleared; they cost less
  // than handle-tracked global blocks in the many small arrays every
  // statement makes.
  bool inObject = slots_ == nullptr || slots_ == inline_;
  if (inObject && wanted <= kInlineSlots) {
    slots_ = inline_;
  } else {
    void* block = inObject ? malloc(bytes) : realloc(slots_, bytes);
    if (block == nullptr) {
      NoteOutOfMemory();
      return false;
    }
    if (inObject && capacity_ > 0) {
      memcpy(block, inline_, static_cast<size_t>(capacity_) * sizeof(BaseObject*));
    }
    slots_ = static_cast<BaseObject**>(block);
  }
  memset(slots_ + capacity_, 0, static_cast<size_t>(wanted - capacity_) * sizeof(BaseObject*));
  capacity_ = static_cast<int16_t>(wanted);
  return true;
}

int16_t PtrArray::Add(BaseObject* object) {
  if (last_ >= capacity_ - 1 && !Grow(growBy_)) return -1;
  slots_[++last_] = object;
  return last_;
}

BaseObject* PtrArray::Get(int16_t index) const {
  if (index < 0 || index > last_) return nullptr;
  return slots_[index];
}

void PtrArray::Set(int16_t index, BaseObject* object) {
  if (index >= 0 && index <= last_) slots_[index] = object;
}

int16_t PtrArray::Find(int16_t start, const SearchKey& key) const {
  for (int16_t i = start < 0 ? 0 : start; i <= last_; ++i) {
    if (slots_[i] != nullptr && slots_[i]->Compare(key) == 0) return i;
  }
  return -1;
}

void PtrArray::DeleteAll() {
  for (int16_t i = 0; i <= last_; ++i) {
    delete slots_[i];
    slots_[i] = nullptr;
  }
  last_ = -1;
}

void PtrArray::ClearAll(bool resetLast) {
  for (int16_t i = 0; i <= last_; ++i) slots_[i] = nullptr;
  if (resetLast) last_ = -1;
}

}  // namespace zksql
