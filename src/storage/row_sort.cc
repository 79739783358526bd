// Row sort: index sort over row keys, then the permutation applied in place.
#include "storage/row_sort.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "base/fast_paths.h"
#include "base/memory_block.h"
#include "sql/parse_node.h"
#include "storage/column.h"
#include "storage/result_table.h"
#include "values/value_converter.h"

namespace zksql {
namespace {

constexpr size_t kScratchSize = 65500;
// Ranges shorter than this are left to insertion sort.
constexpr int32_t kShortRange = 7;
// Pending ranges. The larger part is always the one pushed, so the depth
// stays below log2 of the row count: 64 entries hold any 32-bit count.
constexpr int kStackSize = 64;

// The sort keys of every row, extracted once before the sort: for each key
// of the order list (up to the first whose column is missing, where rows
// compare equal), a byte that says whether the row gave a value, then the
// value's bytes.
struct ExtractedKeys {
  struct Key {
    int16_t kind;  // order kind of OrderCompare, 0 when the column orders nothing
    bool descending;
    size_t offset;  // of the key's flag byte within a row's keys
  };
  std::vector<Key> keys;
  size_t stride = 0;
  std::unique_ptr<unsigned char[]> bytes;
  // The first key of each row as a number that orders as the key does
  // (see PrefixOf), compared before the key itself; empty when the first
  // key has no such form or some row gives it no value.
  std::vector<uint64_t> prefixes;
  // Equal prefixes mean equal first keys (numbers): the key need not be
  // compared again.
  bool prefixDecides = false;
};

// A real as an unsigned number in the same order: -0 as 0 (they compare
// equal), NaN after every number and equal to any other NaN.
uint64_t OrderedReal(const unsigned char* bytes) {
  double x;
  memcpy(&x, bytes, sizeof x);
  if (std::isnan(x)) return UINT64_MAX;
  if (x == 0) x = 0;
  uint64_t u;
  memcpy(&u, &x, sizeof u);
  return (u & (uint64_t{1} << 63)) != 0 ? ~u : u | (uint64_t{1} << 63);
}

// The first eight bytes of a text up to its terminator, big-endian and
// zero-padded: texts whose prefixes differ compare as their prefixes (a
// text that ends sorts before one that goes on, as a zero byte does).
uint64_t TextPrefix(const unsigned char* text) {
  uint64_t p = 0;
  int i = 0;
  for (; i < 8 && text[i] != 0; ++i) p = (p << 8) | text[i];
  return i == 0 ? 0 : p << (8 * (8 - i));
}

struct SortContext {
  int32_t* order;
  ResultTable* table;
  const std::vector<SortKey>* keys;
  unsigned char* scratch;
  int32_t first;                   // row number of position 0
  const ExtractedKeys* extracted;  // null: keys are read on every comparison
};

// Compares rows a and b (row numbers) by the sort keys.
int CompareRows(SortContext& c, int32_t a, int32_t b) {
  for (const SortKey& key : *c.keys) {
    Column* column = key.column;
    if (column == nullptr) return 0;
    const void* left = column->GetValue(c.table->RowPointer(a));
    if (left == nullptr) return 0;
    size_t size = column->ValueBufferSize();
    if (size > kScratchSize) size = kScratchSize;
    memcpy(c.scratch, left, size);
    const void* right = column->GetValue(c.table->RowPointer(b));
    if (right == nullptr) return 0;
    int16_t kind = column->Kind();
    int result = 0;
    if (kind == kKindNumber) {
      result = Converter().OrderCompare(ValueConverter::kOrderReal, c.scratch, right);
    } else if (kind == kKindText || kind == kKindDate || kind == kKindTime) {
      result = Converter().OrderCompare(kind, c.scratch, right);
    }
    if (result != 0) return key.descending ? -result : result;
  }
  return 0;
}

// Compares positions a and b by their extracted keys: the same answers as
// CompareRows gives for their rows.
int CompareExtracted(const ExtractedKeys& e, int32_t a, int32_t b) {
  size_t from = 0;
  if (!e.prefixes.empty()) {
    uint64_t pa = e.prefixes[static_cast<size_t>(a)];
    uint64_t pb = e.prefixes[static_cast<size_t>(b)];
    if (pa != pb) {
      int result = pa < pb ? -1 : 1;
      return e.keys[0].descending ? -result : result;
    }
    if (e.prefixDecides) from = 1;
  }
  const unsigned char* ra = e.bytes.get() + static_cast<size_t>(a) * e.stride;
  const unsigned char* rb = e.bytes.get() + static_cast<size_t>(b) * e.stride;
  for (size_t k = from; k < e.keys.size(); ++k) {
    const ExtractedKeys::Key& key = e.keys[k];
    if (ra[key.offset] == 0 || rb[key.offset] == 0) return 0;
    int result = key.kind == 0
                     ? 0
                     : Converter().OrderCompare(key.kind, ra + key.offset + 1, rb + key.offset + 1);
    if (result != 0) return key.descending ? -result : result;
  }
  return 0;
}

// Extracts the keys of rows first..first + n - 1; false (nothing kept) when
// memory is short or a key is longer than the scratch block, in which case
// the keys are read as the rows are compared.
bool ExtractKeys(ResultTable& table, const std::vector<SortKey>& sortKeys, int32_t first, int32_t n,
                 ExtractedKeys* e) {
  std::vector<Column*> columns;
  try {
    for (const SortKey& key : sortKeys) {
      Column* column = key.column;
      if (column == nullptr) break;
      size_t size = column->ValueBufferSize();
      if (size > kScratchSize) return false;
      int16_t kind = column->Kind();
      int16_t order = kind == kKindNumber ? ValueConverter::kOrderReal
                      : (kind == kKindText || kind == kKindDate || kind == kKindTime) ? kind
                                                                                      : 0;
      e->keys.push_back(ExtractedKeys::Key{order, key.descending, e->stride});
      columns.push_back(column);
      e->stride += 1 + size;
    }
  } catch (const std::bad_alloc&) {
    return false;
  }
  if (e->stride == 0) return false;
  size_t total = e->stride * static_cast<size_t>(n);
  if (total / e->stride != static_cast<size_t>(n)) return false;
  e->bytes.reset(new (std::nothrow) unsigned char[total]);
  if (e->bytes == nullptr) return false;
  for (int32_t i = 0; i < n; ++i) {
    unsigned char* keys = e->bytes.get() + static_cast<size_t>(i) * e->stride;
    for (size_t k = 0; k < columns.size(); ++k) {
      unsigned char* slot = keys + e->keys[k].offset;
      const void* value = columns[k]->GetValue(table.RowPointer(first + i));
      slot[0] = value != nullptr;
      if (value != nullptr) memcpy(slot + 1, value, columns[k]->ValueBufferSize());
    }
  }
  // Prefixes of the first key, when every row has it: real keys fit whole,
  // texts (dates and times are digit texts) by their first eight bytes.
  const int16_t kind = e->keys.empty() ? 0 : e->keys[0].kind;
  if (kind == 0) return true;
  try {
    e->prefixes.resize(static_cast<size_t>(n));
  } catch (const std::bad_alloc&) {
    return true;  // compared without prefixes
  }
  for (int32_t i = 0; i < n; ++i) {
    const unsigned char* slot = e->bytes.get() + static_cast<size_t>(i) * e->stride;
    if (slot[0] == 0) {
      e->prefixes.clear();
      return true;
    }
    e->prefixes[static_cast<size_t>(i)] =
        kind == ValueConverter::kOrderReal ? OrderedReal(slot + 1) : TextPrefix(slot + 1);
  }
  e->prefixDecides = kind == ValueConverter::kOrderReal;
  return true;
}

}  // namespace

bool IndexSort(void* context, int32_t n, SortCompare compare, SortSwap swap, SortAddress address) {
  if (compare == nullptr || swap == nullptr || address == nullptr) return false;
  struct Range {
    int32_t lo, hi;
  } stack[kStackSize];
  int depth = 0;
  int32_t lo = 0, hi = n;
  for (;;) {
    while (hi - lo > kShortRange) {
      swap(context, lo + (hi - lo) / 2, lo);
      if (compare(context, lo, address(context, hi - 1)) > 0) swap(context, lo, hi - 1);
      int32_t i = lo, j = hi - 1;
      for (;;) {
        do ++i;
        while (i < hi - 1 && compare(context, i, address(context, lo)) < 0);
        do --j;
        while (j > lo && compare(context, j, address(context, lo)) > 0);
        if (j < i) break;
        swap(context, i, j);
      }
      swap(context, lo, j);
      if (hi - i < j - lo) {
        stack[depth++] = Range{lo, j};
        lo = i;
      } else {
        stack[depth++] = Range{i, hi};
        hi = j;
      }
    }
    for (int32_t k = lo; k < hi; ++k) {
      for (int32_t m = k; m > lo && compare(context, m - 1, address(context, m)) > 0; --m) {
        swap(context, m - 1, m);
      }
    }
    if (depth == 0) return true;
    --depth;
    lo = stack[depth].lo;
    hi = stack[depth].hi;
  }
}

bool SortRows(ResultTable& table, ParseNode* orderList, int32_t first, int32_t last) {
  // Rows compare equal from the first name the table lacks on, so the keys
  // stop there.
  std::vector<SortKey> keys;
  try {
    for (ParseNode* key = orderList; key != nullptr; key = key->next) {
      Column* column = table.FindColumnQualified(key->text);
      if (column == nullptr) break;
      keys.push_back(SortKey{column, key->value != 0});
    }
  } catch (const std::bad_alloc&) {
    return false;
  }
  return SortRows(table, keys, first, last);
}

bool SortRows(ResultTable& table, const std::vector<SortKey>& keys, int32_t first, int32_t last) {
  int32_t n = last - first + 1;
  if (n < 2) return true;
  // A row is exchanged through the scratch block, so it must fit there.
  if (table.rowSize() > kScratchSize) return false;
  unsigned char* scratch = static_cast<unsigned char*>(AllocLocked(kScratchSize));
  int32_t* order = static_cast<int32_t*>(AllocLocked(sizeof(int32_t) * static_cast<size_t>(n)));
  int32_t* position = static_cast<int32_t*>(AllocLocked(sizeof(int32_t) * static_cast<size_t>(n)));
  if (scratch == nullptr || order == nullptr || position == nullptr) {
    FreeLocked(scratch);
    FreeLocked(order);
    FreeLocked(position);
    return false;
  }
  for (int32_t i = 0; i < n; ++i) order[i] = position[i] = i;
  ExtractedKeys extracted;
  bool haveKeys = FastPathsOn() && ExtractKeys(table, keys, first, n, &extracted);
  SortContext context{order, &table, &keys, scratch, first, haveKeys ? &extracted : nullptr};
  // The callbacks are all given, so the sort cannot refuse.
  (void)IndexSort(
      &context, n,
      [](void* c, int32_t i, const void* p) {
        SortContext& s = *static_cast<SortContext*>(c);
        int32_t other = *static_cast<const int32_t*>(p);
        if (s.extracted != nullptr) return CompareExtracted(*s.extracted, s.order[i], other);
        return CompareRows(s, s.order[i] + s.first, other + s.first);
      },
      [](void* c, int32_t i, int32_t j) {
        SortContext& s = *static_cast<SortContext*>(c);
        int32_t t = s.order[i];
        s.order[i] = s.order[j];
        s.order[j] = t;
      },
      [](void* c, int32_t i) -> const void* { return &static_cast<SortContext*>(c)->order[i]; });

  // Apply the permutation: position[k] is where the row first stored at k
  // lies now; each exchange puts one row in its final place.
  size_t rowSize = table.rowSize();
  for (int32_t i = 0; i < n - 1; ++i) {
    int32_t j = order[i];
    while (j < i) j = position[j];
    if (j > i) {
      unsigned char* a = table.RowPointer(first + i);
      unsigned char* b = table.RowPointer(first + j);
      memcpy(scratch, a, rowSize);
      memcpy(a, b, rowSize);
      memcpy(b, scratch, rowSize);
      position[i] = j;
    }
  }
  FreeLocked(scratch);
  FreeLocked(order);
  FreeLocked(position);
  return true;
}

}  // namespace zksql
