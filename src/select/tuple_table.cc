// TupleTable: columns, growth of the record-number arrays, tuple lists in
// and out, lookup and projection.
#include "select/tuple_table.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "values/text_utils.h"

namespace zksql {
namespace {

// The largest capacity whose array size in bytes fits a signed 32-bit
// count (and so a 32-bit size_t), rounded to the growth step: past it an
// append fails instead of computing a wrapped-around size.
constexpr int32_t kMaxCapacity =
    static_cast<int32_t>((INT32_MAX / sizeof(int32_t)) / TupleTable::kGrowth * TupleTable::kGrowth);

int32_t ListLength(const ParseNode* list) {
  int32_t n = 0;
  for (const ParseNode* node = list; node != nullptr; node = node->next) ++n;
  return n;
}

}  // namespace

TupleTable::~TupleTable() {
  for (int32_t i = 0; i < columnCount_; ++i) {
    free(columns_[i].name);
    free(columns_[i].slots);
  }
  free(columns_);
}

const char* TupleTable::ColumnName(int32_t i) const {
  if (i < 0 || i >= columnCount_) return nullptr;
  return columns_[i].name;
}

int32_t TupleTable::ColumnIndex(const char* tableName) const {
  if (tableName == nullptr) return -1;
  for (int32_t i = 0; i < columnCount_; ++i) {
    if (CompareNoCase(columns_[i].name, tableName) == 0) return i;
  }
  return -1;
}

int32_t TupleTable::At(int32_t k, int32_t i) const {
  if (k < 1 || k >= count || i < 0 || i >= columnCount_) return -1;
  return columns_[i].slots[k];
}

bool TupleTable::AddTupleColumn(const char* tableName) {
  if (count > 1) return false;
  if (tableName == nullptr) tableName = "";
  char* name = DuplicateText(tableName);
  if (name == nullptr) return false;
  int32_t slots = capacity == 0 ? kFirstCapacity : capacity;
  // Slots are read only below `count`, each written first: plain heap
  // arrays, not cleared.
  int32_t* array = static_cast<int32_t*>(malloc(static_cast<size_t>(slots) * sizeof(int32_t)));
  Column* grown = static_cast<Column*>(
      realloc(columns_, static_cast<size_t>(columnCount_ + 1) * sizeof(Column)));
  if (array == nullptr || grown == nullptr) {
    // A successful realloc only moved the existing columns: keep it.
    if (grown != nullptr) columns_ = grown;
    free(array);
    free(name);
    return false;
  }
  columns_ = grown;
  columns_[columnCount_].name = name;
  columns_[columnCount_].slots = array;
  ++columnCount_;
  if (count == 0) count = 1;
  capacity = slots;
  return true;
}

bool TupleTable::Reserve() {
  if (columnCount_ == 0) return false;
  if (count + 1 < capacity) return true;
  if (capacity > kMaxCapacity - kGrowth) return false;
  // By half the capacity once that is more than a step: every growth copies
  // the arrays, so fixed steps would copy in proportion to the square of the
  // tuples.
  // Below a step the arrays double: most row sets hold a few tuples, and
  // small blocks are the cheapest to make and free.
  int32_t step = capacity / 2 > kGrowth ? capacity / 2 : capacity < kGrowth ? capacity : kGrowth;
  int32_t grown = capacity > kMaxCapacity - step ? kMaxCapacity : capacity + step;
  for (int32_t i = 0; i < columnCount_; ++i) {
    void* larger = realloc(columns_[i].slots, static_cast<size_t>(grown) * sizeof(int32_t));
    // Arrays already grown keep their larger block; `capacity` only moves
    // once every one of them has the room.
    if (larger == nullptr) return false;
    columns_[i].slots = static_cast<int32_t*>(larger);
  }
  capacity = grown;
  return true;
}

bool TupleTable::AppendTuple(const int32_t* values, int32_t n) {
  if (values == nullptr || n != columnCount_ || !Reserve()) return false;
  for (int32_t i = 0; i < columnCount_; ++i) columns_[i].slots[count] = values[i];
  ++count;
  return true;
}

int32_t TupleTable::ValueOf(int32_t k, const char* tableName) const {
  return At(k, ColumnIndex(tableName));
}

bool TupleTable::Contains(const ParseNode* list, int16_t asIs) const {
  const ParseNode* probe = list;
  ParseNodePtr projected;
  if (asIs == 0) {
    projected.reset(Project(list));
    if (projected == nullptr) return false;
    probe = projected.get();
  }
  int32_t length = ListLength(probe);
  if (length == 0 || length > columnCount_) return false;
  for (int32_t k = 1; k < count; ++k) {
    int32_t i = 0;
    const ParseNode* node = probe;
    while (node != nullptr && node->code == columns_[i].slots[k]) {
      node = node->next;
      ++i;
    }
    if (node == nullptr) return true;
  }
  return false;
}

ParseNode* TupleTable::Project(const ParseNode* list) const {
  if (columnCount_ == 0) return nullptr;
  ParseNodePtr head;
  ParseNode* last = nullptr;
  for (int32_t i = 0; i < columnCount_; ++i) {
    const ParseNode* match = list;
    while (match != nullptr && CompareNoCase(match->text, columns_[i].name) != 0)
      match = match->next;
    ParseNode* node =
        match != nullptr ? ParseNode::Create(columns_[i].name, match->code, 0) : nullptr;
    if (node == nullptr) return nullptr;
    if (last == nullptr) {
      head.reset(node);
    } else {
      last->next = node;  // the chain holds it
    }
    last = node;
  }
  return head.release();
}

TupleTable* TupleTable::Copy() const {
  std::unique_ptr<TupleTable> copy(new (std::nothrow) TupleTable());
  if (copy == nullptr) return nullptr;
  for (int32_t i = 0; i < columnCount_; ++i) {
    if (!copy->AddTupleColumn(columns_[i].name)) return nullptr;
  }
  if (columnCount_ == 0) return copy.release();
  // Same capacity as the source, so the copy grows exactly as the source
  // would have; then the arrays are taken over slot for slot.
  for (int32_t i = 0; i < columnCount_; ++i) {
    void* resized = realloc(copy->columns_[i].slots, static_cast<size_t>(capacity) * sizeof(int32_t));
    if (resized == nullptr) return nullptr;
    copy->columns_[i].slots = static_cast<int32_t*>(resized);
    memcpy(copy->columns_[i].slots, columns_[i].slots,
           static_cast<size_t>(count) * sizeof(int32_t));
  }
  copy->capacity = capacity;
  copy->count = count;
  return copy.release();
}

}  // namespace zksql
