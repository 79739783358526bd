// Row sort: index sort over row keys, then the permutation applied in place.
#include "storage/row_sort.h"

#include <cstring>

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

struct SortContext {
  int32_t* order;
  ResultTable* table;
  ParseNode* orderList;
  unsigned char* scratch;
  int32_t first;  // row number of position 0
};

// Compares rows a and b (row numbers) by the order list.
int CompareRows(SortContext& c, int32_t a, int32_t b) {
  for (ParseNode* key = c.orderList; key != nullptr; key = key->next) {
    Column* column = c.table->FindColumnQualified(key->text);
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
    if (result != 0) return key->value != 0 ? -result : result;
  }
  return 0;
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
  int32_t n = last - first + 1;
  if (n < 2) return true;
  // A row is exchanged through the scratch block, so it must fit there.
  if (table.rowSize() > kScratchSize) return false;
  unsigned char* scratch = static_cast<unsigned char*>(AllocLocked(kScratchSize));
  int32_t* order = static_cast<int32_t*>(AllocLocked(sizeof(int32_t) * static_cast<size_t>(n)));
  int32_t* position =
      static_cast<int32_t*>(AllocLocked(sizeof(int32_t) * static_cast<size_t>(n)));
  if (scratch == nullptr || order == nullptr || position == nullptr) {
    FreeLocked(scratch);
    FreeLocked(order);
    FreeLocked(position);
    return false;
  }
  for (int32_t i = 0; i < n; ++i) order[i] = position[i] = i;
  SortContext context{order, &table, orderList, scratch, first};
  // The callbacks are all given, so the sort cannot refuse.
  (void)IndexSort(
      &context, n,
      [](void* c, int32_t i, const void* p) {
        SortContext& s = *static_cast<SortContext*>(c);
        int32_t other = *static_cast<const int32_t*>(p);
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
