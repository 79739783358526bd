// Row sort: ORDER BY over an in-memory result table.
//
// Rows are not moved while sorting: an array of row indexes is sorted by a
// general index sort through three callbacks, and the permutation is then
// applied to the stored rows in place, each row moving once through one
// scratch block.
#ifndef ZKSQL_STORAGE_ROW_SORT_H_
#define ZKSQL_STORAGE_ROW_SORT_H_

#include <cstdint>
#include <vector>

namespace zksql {

class Column;
class ParseNode;
class ResultTable;

// One key of a sort: a column of the sorted table and its direction.
struct SortKey {
  Column* column;
  bool descending;
};

// Callbacks of IndexSort: compare the element at position i with the
// element `p` addresses (negative, 0, positive); exchange two positions;
// give the address of the element at position i.
using SortCompare = int (*)(void* context, int32_t i, const void* p);
using SortSwap = void (*)(void* context, int32_t i, int32_t j);
using SortAddress = const void* (*)(void* context, int32_t i);

// Sorts positions 0 to n - 1 (an iterative quicksort with insertion sort
// for short ranges; not stable). False when a callback is missing.
[[nodiscard]] bool IndexSort(void* context, int32_t n, SortCompare compare, SortSwap swap,
                             SortAddress address);

// Sorts rows first..last of a result table by its keys, the first deciding
// first; a null column ends the keys (rows compare equal from there on).
// False when a work block cannot be allocated or a row is longer than the
// scratch block (rows unchanged).
[[nodiscard]] bool SortRows(ResultTable& table, const std::vector<SortKey>& keys, int32_t first,
                            int32_t last);
// The same by an order list (a chain of nodes: column name in the text,
// non-zero value for a descending key); the keys end at the first name the
// table lacks.
[[nodiscard]] bool SortRows(ResultTable& table, ParseNode* orderList, int32_t first, int32_t last);

}  // namespace zksql

#endif  // ZKSQL_STORAGE_ROW_SORT_H_
