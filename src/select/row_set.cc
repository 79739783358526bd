// RowSet: lifetime, copy, and the two combinations (join and union).
//
// Both combinations skip tuples already stored in their result. Finding
// them by scanning the result for every new tuple would make a join cubic
// in the number of tuples; a hash index over the result's tuples keeps each
// look-up constant. The tuples kept, and their order, are those of the
// scan.
#include "select/row_set.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "base/fast_paths.h"
#include "base/zeroed_alloc.h"
#include "storage/column.h"
#include "values/text_utils.h"

namespace zksql {
namespace {

// Hash index over the tuples of one TupleTable: open addressing, slots
// hold tuple numbers (0 = empty), the table grows at half load.
class TupleIndex {
 public:
  explicit TupleIndex(const TupleTable& table) : table_(table) {}
  ~TupleIndex() { free(slots_); }
  TupleIndex(const TupleIndex&) = delete;
  TupleIndex& operator=(const TupleIndex&) = delete;

  // True when a stored tuple holds exactly these values (one per column).
  bool Holds(const int32_t* values) const {
    if (size_ == 0) return false;
    uint32_t i = Hash(values) & (size_ - 1);
    while (slots_[i] != 0) {
      if (Equal(slots_[i], values)) return true;
      i = (i + 1) & (size_ - 1);
    }
    return false;
  }

  // Records stored tuple k; false when memory is short.
  bool Add(int32_t k) {
    if ((used_ + 1) * 2 > size_ && !Rehash(size_ == 0 ? 64 : size_ * 2)) return false;
    Place(k);
    ++used_;
    return true;
  }

 private:
  uint32_t Hash(const int32_t* values) const {
    uint32_t h = 2166136261u;
    for (int32_t i = 0; i < table_.ColumnCount(); ++i) {
      h = (h ^ static_cast<uint32_t>(values[i])) * 16777619u;
      h ^= h >> 15;
    }
    return h;
  }
  uint32_t HashOf(int32_t k) const {
    uint32_t h = 2166136261u;
    for (int32_t i = 0; i < table_.ColumnCount(); ++i) {
      h = (h ^ static_cast<uint32_t>(table_.At(k, i))) * 16777619u;
      h ^= h >> 15;
    }
    return h;
  }
  bool Equal(int32_t k, const int32_t* values) const {
    for (int32_t i = 0; i < table_.ColumnCount(); ++i) {
      if (table_.At(k, i) != values[i]) return false;
    }
    return true;
  }
  void Place(int32_t k) {
    uint32_t i = HashOf(k) & (size_ - 1);
    while (slots_[i] != 0) i = (i + 1) & (size_ - 1);
    slots_[i] = k;
  }
  bool Rehash(uint32_t newSize) {
    if (newSize == 0 || newSize > (1u << 30)) return false;
    int32_t* old = slots_;
    uint32_t oldSize = size_;
    slots_ = static_cast<int32_t*>(calloc(newSize, sizeof(int32_t)));
    if (slots_ == nullptr) {
      slots_ = old;
      return false;
    }
    size_ = newSize;
    for (uint32_t i = 0; i < oldSize; ++i) {
      if (old[i] != 0) Place(old[i]);
    }
    free(old);
    return true;
  }

  const TupleTable& table_;
  int32_t* slots_ = nullptr;
  uint32_t size_ = 0;
  uint32_t used_ = 0;
};

// Appends `values` to the result unless an equal tuple is stored;
// false when memory is short.
bool AppendDistinct(TupleTable* table, TupleIndex* index, const int32_t* values) {
  if (index->Holds(values)) return true;
  if (!table->AppendTuple(values, table->ColumnCount())) return false;
  return index->Add(table->TupleCount());
}

// Appends a tuple whatever the result holds, keeping the index current;
// false when memory is short.
bool AppendAlways(TupleTable* table, TupleIndex* index, const int32_t* values) {
  if (!table->AppendTuple(values, table->ColumnCount())) return false;
  return index->Add(table->TupleCount());
}

// A new, empty row set in the given state; null when memory is short.
std::unique_ptr<RowSet> NewResult(int16_t state) {
  std::unique_ptr<RowSet> result(RowSet::Create(nullptr, nullptr, nullptr));
  if (result != nullptr) result->state = state;
  return result;
}

// Adds the columns of `from` to `to`, skipping names `to` already has.
bool AddColumns(TupleTable* to, const TupleTable& from) {
  for (int32_t i = 0; i < from.ColumnCount(); ++i) {
    if (to->ColumnIndex(from.ColumnName(i)) >= 0) continue;
    if (!to->AddTupleColumn(from.ColumnName(i))) return false;
  }
  return true;
}

// Scratch array of one record number per column, freed on scope exit.
class TupleBuffer {
 public:
  explicit TupleBuffer(int32_t n)
      : values_(
            static_cast<int32_t*>(AllocZeroed(n > 0 ? static_cast<size_t>(n) : 1, sizeof(int32_t)))) {}
  ~TupleBuffer() { free(values_); }
  TupleBuffer(const TupleBuffer&) = delete;
  TupleBuffer& operator=(const TupleBuffer&) = delete;
  int32_t* get() const { return values_; }

 private:
  int32_t* values_;
};

// The tuples of one TupleTable by their record numbers in some of its
// columns (the columns a join has in common with the other side): each key
// lists its tuples in increasing order, so a join that looks its partners
// up meets them in the order a scan of the table would. Open addressing
// over the distinct keys; the table grows at half load.
class CommonColumnsIndex {
 public:
  CommonColumnsIndex(const TupleTable& table, std::vector<int32_t> columns)
      : table_(table), columns_(std::move(columns)) {}

  // Files every tuple; false when memory is short. Throws nothing.
  bool Build() {
    try {
      next_.assign(static_cast<size_t>(table_.TupleCount()) + 1, 0);
      size_t size = 64;
      while (size < static_cast<size_t>(table_.TupleCount()) * 2) size *= 2;
      heads_.assign(size, 0);
      tails_.assign(size, 0);
      for (int32_t k = 1; k <= table_.TupleCount(); ++k) {
        uint32_t h = Hash([&](size_t c) { return table_.At(k, columns_[c]); });
        size_t i = h & (heads_.size() - 1);
        while (heads_[i] != 0 && !SameKey(heads_[i], k)) i = (i + 1) & (heads_.size() - 1);
        if (heads_[i] == 0) {
          heads_[i] = k;
        } else {
          next_[static_cast<size_t>(tails_[i])] = k;
        }
        tails_[i] = k;
      }
    } catch (const std::bad_alloc&) {
      return false;
    }
    return true;
  }

  // The first tuple whose key columns hold `key` (one value per key
  // column), or 0; Next follows the list.
  int32_t First(const int32_t* key) const {
    uint32_t h = Hash([&](size_t c) { return key[c]; });
    size_t i = h & (heads_.size() - 1);
    while (heads_[i] != 0) {
      bool same = true;
      for (size_t c = 0; same && c < columns_.size(); ++c) {
        same = table_.At(heads_[i], columns_[c]) == key[c];
      }
      if (same) return heads_[i];
      i = (i + 1) & (heads_.size() - 1);
    }
    return 0;
  }
  int32_t Next(int32_t k) const { return next_[static_cast<size_t>(k)]; }

 private:
  template <typename Value>
  uint32_t Hash(Value value) const {
    uint32_t h = 2166136261u;
    for (size_t c = 0; c < columns_.size(); ++c) {
      h = (h ^ static_cast<uint32_t>(value(c))) * 16777619u;
      h ^= h >> 15;
    }
    return h;
  }
  bool SameKey(int32_t a, int32_t b) const {
    for (int32_t column : columns_) {
      if (table_.At(a, column) != table_.At(b, column)) return false;
    }
    return true;
  }

  const TupleTable& table_;
  std::vector<int32_t> columns_;
  std::vector<int32_t> heads_;  // first tuple of each key's list, 0 = free
  std::vector<int32_t> tails_;  // last tuple of each key's list
  std::vector<int32_t> next_;   // next tuple with the same key, 0 = none
};

// The result of combining an explicit set with a neutral one (RS_ALL for
// AND, RS_NONE for OR): the explicit set's tuples in order, each once.
CombineStatus CopyDistinct(const RowSet& source, std::unique_ptr<RowSet>* result) {
  std::unique_ptr<RowSet> out = NewResult(RS_EXPLICIT);
  if (out == nullptr) return CombineStatus::kNoMemory;
  const TupleTable& from = *source.tuples;
  TupleTable* to = out->tuples.get();
  TupleIndex index(*to);
  TupleBuffer values(from.ColumnCount());
  bool ok = values.get() != nullptr && AddColumns(to, from);
  for (int32_t k = 1; ok && k <= from.TupleCount(); ++k) {
    for (int32_t i = 0; i < from.ColumnCount(); ++i) values.get()[i] = from.At(k, i);
    ok = AppendDistinct(to, &index, values.get());
  }
  if (!ok) return CombineStatus::kNoMemory;
  *result = std::move(out);
  return CombineStatus::kDone;
}

}  // namespace

RowSet::RowSet(ParseNode* condition, ParseNode* references, PtrArray* conditionColumns)
    : references(references),
      tuples(new (std::nothrow) TupleTable()),
      condition(condition),
      conditionColumns(conditionColumns) {}

RowSet::~RowSet() = default;

RowSet* RowSet::Create(ParseNode* condition, ParseNode* references, PtrArray* conditionColumns) {
  std::unique_ptr<RowSet> rows(new (std::nothrow) RowSet(condition, references, conditionColumns));
  if (rows == nullptr) return nullptr;
  if (rows->tuples == nullptr) {
    // The caller keeps what it passed.
    rows->references.release();
    (void)rows->conditionColumns.release();
    return nullptr;
  }
  return rows.release();
}

RowSet* RowSet::Copy() const {
  std::unique_ptr<RowSet> copy(new (std::nothrow) RowSet(nullptr, nullptr, nullptr));
  if (copy == nullptr) return nullptr;
  copy->tuples.reset(tuples != nullptr ? tuples->Copy() : new (std::nothrow) TupleTable());
  if (copy->tuples == nullptr) return nullptr;
  copy->state = state;
  return copy.release();
}

Column* RowSet::ConditionColumn(const char* reference) const {
  const PtrArray* columns = conditionColumns.get();
  for (int16_t i = 0; reference != nullptr && columns != nullptr && i < columns->Count(); ++i) {
    Column* column = columns->GetAs<Column>(i);
    if (column == nullptr) continue;
    const char* table = column->tableName() == nullptr ? "" : column->tableName();
    const char* name = column->name() == nullptr ? "" : column->name();
    size_t tl = std::strlen(table);
    if (std::strncmp(reference, table, tl) == 0 && reference[tl] == '/' &&
        std::strcmp(reference + tl + 1, name) == 0) {
      return column;
    }
  }
  return nullptr;
}

CombineStatus Intersect(const RowSet& a, const RowSet& b, std::unique_ptr<RowSet>* result) {
  result->reset();
  if (a.tuples == nullptr || b.tuples == nullptr) return CombineStatus::kRefused;
  if (a.state == RS_NONE || b.state == RS_NONE || (a.state == RS_ALL && b.state == RS_ALL)) {
    *result = NewResult(a.state == RS_ALL && b.state == RS_ALL ? RS_ALL : RS_NONE);
    return *result != nullptr ? CombineStatus::kDone : CombineStatus::kNoMemory;
  }
  if (a.state == RS_ALL) return CopyDistinct(b, result);
  if (b.state == RS_ALL) return CopyDistinct(a, result);

  const TupleTable& ta = *a.tuples;
  const TupleTable& tb = *b.tuples;
  // For each column of b, the column of a with the same table, or -1.
  TupleBuffer inA(tb.ColumnCount());
  if (inA.get() == nullptr) return CombineStatus::kNoMemory;
  bool common = false;
  for (int32_t j = 0; j < tb.ColumnCount(); ++j) {
    inA.get()[j] = ta.ColumnIndex(tb.ColumnName(j));
    if (inA.get()[j] >= 0) common = true;
  }
  // Sets that share no table are never joined: their join would be the
  // cartesian product of tables no condition links.
  if (!common) return CombineStatus::kRefused;

  std::unique_ptr<RowSet> out = NewResult(RS_EXPLICIT);
  if (out == nullptr) return CombineStatus::kNoMemory;
  TupleTable* to = out->tuples.get();
  bool ok = AddColumns(to, ta) && AddColumns(to, tb);
  TupleBuffer values(to->ColumnCount());
  TupleIndex index(*to);
  ok = ok && values.get() != nullptr;
  // Tuple j of b joins tuple i of a when they agree on the common tables;
  // its other columns extend a's tuple.
  auto join = [&](int32_t i, int32_t j) {
    int32_t extra = ta.ColumnCount();
    for (int32_t c = 0; c < tb.ColumnCount(); ++c) {
      int32_t value = tb.At(j, c);
      if (inA.get()[c] >= 0) {
        if (ta.At(i, inA.get()[c]) != value) return true;
      } else {
        values.get()[extra++] = value;
      }
    }
    return AppendDistinct(to, &index, values.get());
  };
  if (FastPathsOn()) {
    // b's tuples looked up by the common tables instead of scanned: the
    // same partners, met in the same order.
    std::vector<int32_t> keyColumns;
    std::vector<int32_t> key;
    try {
      for (int32_t c = 0; c < tb.ColumnCount(); ++c) {
        if (inA.get()[c] >= 0) keyColumns.push_back(c);
      }
      key.resize(keyColumns.size());
    } catch (const std::bad_alloc&) {
      return CombineStatus::kNoMemory;
    }
    CommonColumnsIndex partners(tb, keyColumns);
    ok = ok && partners.Build();
    for (int32_t i = 1; ok && i <= ta.TupleCount(); ++i) {
      for (int32_t c = 0; c < ta.ColumnCount(); ++c) values.get()[c] = ta.At(i, c);
      for (size_t c = 0; c < keyColumns.size(); ++c) key[c] = ta.At(i, inA.get()[keyColumns[c]]);
      for (int32_t j = partners.First(key.data()); ok && j != 0; j = partners.Next(j)) {
        ok = join(i, j);
      }
    }
  } else {
    for (int32_t i = 1; ok && i <= ta.TupleCount(); ++i) {
      for (int32_t c = 0; c < ta.ColumnCount(); ++c) values.get()[c] = ta.At(i, c);
      for (int32_t j = 1; ok && j <= tb.TupleCount(); ++j) ok = join(i, j);
    }
  }
  if (!ok) return CombineStatus::kNoMemory;
  *result = std::move(out);
  return CombineStatus::kDone;
}

CombineStatus Unite(const RowSet& a, const RowSet& b, std::unique_ptr<RowSet>* result) {
  result->reset();
  if (a.tuples == nullptr || b.tuples == nullptr) return CombineStatus::kRefused;
  if (a.state == RS_ALL || b.state == RS_ALL || (a.state == RS_NONE && b.state == RS_NONE)) {
    *result = NewResult(a.state == RS_ALL || b.state == RS_ALL ? RS_ALL : RS_NONE);
    return *result != nullptr ? CombineStatus::kDone : CombineStatus::kNoMemory;
  }
  const TupleTable& ta = *a.tuples;
  const TupleTable& tb = *b.tuples;
  if (a.state != RS_NONE && b.state != RS_NONE) {
    // A union is a set of tuples over one list of tables: the two lists
    // must agree column for column (the tuples are merged by position).
    if (ta.ColumnCount() != tb.ColumnCount()) return CombineStatus::kRefused;
    for (int32_t i = 0; i < ta.ColumnCount(); ++i) {
      if (CompareNoCase(ta.ColumnName(i), tb.ColumnName(i)) != 0) return CombineStatus::kRefused;
    }
  }
  const RowSet* first = a.state == RS_NONE ? nullptr : &a;
  const RowSet* second = b.state == RS_NONE ? nullptr : &b;

  std::unique_ptr<RowSet> out = NewResult(RS_EXPLICIT);
  if (out == nullptr) return CombineStatus::kNoMemory;
  TupleTable* to = out->tuples.get();
  bool ok = AddColumns(to, first != nullptr ? ta : tb);
  TupleBuffer values(to->ColumnCount());
  TupleIndex index(*to);
  ok = ok && values.get() != nullptr;
  // a's tuples go in as they are, duplicates included; b's only when not
  // stored yet.
  for (int32_t k = 1; ok && first != nullptr && k <= ta.TupleCount(); ++k) {
    for (int32_t i = 0; i < ta.ColumnCount(); ++i) values.get()[i] = ta.At(k, i);
    ok = AppendAlways(to, &index, values.get());
  }
  for (int32_t k = 1; ok && second != nullptr && k <= tb.TupleCount(); ++k) {
    for (int32_t i = 0; i < to->ColumnCount(); ++i) {
      values.get()[i] = tb.ValueOf(k, to->ColumnName(i));
    }
    ok = AppendDistinct(to, &index, values.get());
  }
  if (!ok) return CombineStatus::kNoMemory;
  *result = std::move(out);
  return CombineStatus::kDone;
}

}  // namespace zksql
