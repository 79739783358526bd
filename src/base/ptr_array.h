// PtrArray: the growable, owning array of object pointers.
//
// Every collection of the library is one. The array owns what it holds and
// deletes it when destroyed, unless the owner empties it first with
// ClearAll (for arrays that only point at objects owned elsewhere). Slots
// live in a zero-filled heap array that grows by a fixed step; the 16-bit
// counters limit an array to 32767 elements. Find asks each element to
// compare itself with a key (BaseObject::Compare).
#ifndef ZKSQL_BASE_PTR_ARRAY_H_
#define ZKSQL_BASE_PTR_ARRAY_H_

#include <cstdint>
#include <memory>

#include "base/base_object.h"

namespace zksql {

class PtrArray : public BaseObject {
 public:
  static constexpr int16_t kMaxSlots = 32767;

  explicit PtrArray(int16_t initialCapacity = 0, int16_t growBy = 4);
  ~PtrArray() override;

  // Adds n slots (growBy when n is 0); false when memory is short or the
  // array would pass kMaxSlots.
  bool Grow(int16_t n = 0);
  // Appends an object; its index, or -1 (array unchanged) on failure.
  int16_t Add(BaseObject* object);
  // Appends an object the caller holds: the array takes it over on success
  // (the holder is left empty); on failure (-1) the holder keeps it.
  template <class T>
  int16_t Adopt(std::unique_ptr<T>& object) {
    int16_t at = Add(object.get());
    if (at >= 0) object.release();
    return at;
  }
  // The object at index, or null outside 0..last.
  BaseObject* Get(int16_t index) const;
  template <class T>
  T* GetAs(int16_t index) const {
    return static_cast<T*>(Get(index));
  }
  // Replaces the object at index (0..last only); the old one is not deleted.
  void Set(int16_t index, BaseObject* object);
  // First index from start whose element matches the key, or -1.
  int16_t Find(int16_t start, const SearchKey& key) const;
  // Deletes every element; the array is empty afterwards.
  void DeleteAll();
  // Forgets every element without deleting it.
  void ClearAll(bool resetLast = true);

  int16_t Count() const { return static_cast<int16_t>(last_ + 1); }
  int16_t last() const { return last_; }
  int16_t capacity() const { return capacity_; }
  int16_t growBy() const { return growBy_; }

 private:
  // Arrays of up to kInlineSlots slots keep them in the object itself:
  // a statement makes many small ones (a table's columns, a name's
  // matches) and each would otherwise be an allocation.
  static constexpr int16_t kInlineSlots = 4;

  int16_t capacity_ = 0;
  int16_t last_ = -1;
  int16_t growBy_;
  BaseObject** slots_ = nullptr;
  BaseObject* inline_[kInlineSlots];
};

// Deletes an array that only points at objects owned elsewhere (columns
// their tables own, say): the array goes, its elements stay.
struct BorrowedArrayDeleter {
  void operator()(PtrArray* array) const {
    array->ClearAll();
    delete array;
  }
};
using BorrowedPtrArray = std::unique_ptr<PtrArray, BorrowedArrayDeleter>;

}  // namespace zksql

#endif  // ZKSQL_BASE_PTR_ARRAY_H_
