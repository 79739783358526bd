// WorkStack: a growable stack of plain values for the iterative tree walks
// of the selection engine.
//
// A condition tree is as deep as the statement nests its parentheses, and
// a 16 KiB statement can nest them thousands of times; walking such a tree
// with the call stack would let the input decide how deep the host's stack
// goes. The walks keep their pending work here instead. Growth reports a
// lack of memory by its result (no exception), leaving the stack as it was.
// The first kInline entries live in the object itself: the walks of an
// everyday statement never reach the heap.
#ifndef ZKSQL_SELECT_WORK_STACK_H_
#define ZKSQL_SELECT_WORK_STACK_H_

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <type_traits>

#include "base/out_of_memory.h"

namespace zksql {

template <class T>
class WorkStack {
  static_assert(std::is_trivially_copyable<T>::value, "WorkStack holds plain values");

 public:
  static constexpr int32_t kInline = 16;

  WorkStack() = default;
  ~WorkStack() {
    if (items_ != inline_) free(items_);
  }
  WorkStack(const WorkStack&) = delete;
  WorkStack& operator=(const WorkStack&) = delete;

  // False when memory is short or the stack would pass 2^30 entries.
  bool Push(const T& item) {
    if (count_ == capacity_) {
      int32_t grown = capacity_ * 2;
      if (grown > (1 << 30)) return false;
      void* larger = items_ == inline_ ? malloc(static_cast<size_t>(grown) * sizeof(T))
                                       : realloc(items_, static_cast<size_t>(grown) * sizeof(T));
      if (larger == nullptr) {
        NoteOutOfMemory();
        return false;
      }
      if (items_ == inline_) memcpy(larger, inline_, sizeof inline_);
      items_ = static_cast<T*>(larger);
      capacity_ = grown;
    }
    items_[count_++] = item;
    return true;
  }
  // False when empty.
  bool Pop(T* item) {
    if (count_ == 0) return false;
    *item = items_[--count_];
    return true;
  }
  bool Empty() const { return count_ == 0; }
  int32_t Count() const { return count_; }
  // Entry i from the bottom (0 .. Count() - 1).
  T& At(int32_t i) { return items_[i]; }

 private:
  T inline_[kInline];
  T* items_ = inline_;
  int32_t count_ = 0;
  int32_t capacity_ = kInline;
};

}  // namespace zksql

#endif  // ZKSQL_SELECT_WORK_STACK_H_
