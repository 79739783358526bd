// CorrelatedValues: the values of a correlated sub-select, for any row of
// the SELECT that encloses it.
//
// A correlated sub-select reads a value of the enclosing row (an outer
// reference), so its values cannot be taken once for all. Selecting it
// again for every enclosing row would cost a read of its tables per row,
// and would move the cursor and overwrite the current row of a table that
// the enclosing SELECT is stepping through (the same file, or the same
// table seen from both levels). Instead the sub-select runs once, before
// the enclosing SELECT, with every deferred condition (one that reads an
// outer value) counted as holding: since the condition tree is free of NOT
// by then, this selects a superset of the rows any enclosing row can keep.
// The values its conditions and its result read are copied out of those
// candidate rows into memory. For an enclosing row, the candidates are
// then decided by the whole condition tree over the copied values and the
// enclosing row's values, without a read of any table.
//
// A sub-select that aggregates also keeps its candidates' records, which
// are put back in its tables' row buffers to be taken into its groups; the
// buffers' contents are restored afterwards, for the enclosing SELECT may
// be reading the same tables.
//
// Two things keep that cheap: the values found are kept per distinct set
// of outer values (the cache), and when a top-level condition is an
// equality between a column of the sub-select and an outer value, the
// candidates are hashed by that column, so an enclosing row looks at the
// candidates with its value only (a semi-join).
//
// Owned by the sub-select's driver; it borrows the driver's condition tree
// and the link's references, which live as long as the driver.
#ifndef ZKSQL_SELECT_CORRELATED_VALUES_H_
#define ZKSQL_SELECT_CORRELATED_VALUES_H_

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "sql/parse_node.h"

namespace zksql {

class Column;

struct CorrelatedValues {
  // One copied value: its type and length, and where its bytes start in
  // `arena` (-1: the column had no value).
  struct Cell {
    int16_t type = 0;
    uint16_t length = 0;
    int64_t offset = -1;
  };
  // An outer reference, split for the row binding.
  struct Outer {
    const char* reference = nullptr;  // "TABLE/COLUMN"
    std::string table;
    std::string column;
  };

  std::vector<Outer> outers;
  std::vector<Column*> columns;  // the sub-select's own columns it reads
  int32_t candidates = 0;
  std::vector<Cell> cells;  // candidate-major: candidates x columns
  std::string arena;

  // The equality index: the position in `columns` of the sub-select's side
  // and the index in `outers` of the outer side; -1 without one.
  int32_t indexColumn = -1;
  int32_t indexOuter = -1;
  std::unordered_map<double, std::vector<int32_t>> numberBuckets;
  std::unordered_map<std::string, std::vector<int32_t>> textBuckets;

  // For a sub-select that aggregates: each candidate's records, the row
  // buffers of its FROM tables one after the other, put back in the
  // buffers to be taken into the groups (aggregates read whole rows).
  std::string images;
  size_t imageWidth = 0;

  // Value lists found, by the raw bytes of the outer values.
  std::unordered_map<std::string, ParseNodePtr> cache;
  size_t cachedValues = 0;
};

}  // namespace zksql

#endif  // ZKSQL_SELECT_CORRELATED_VALUES_H_
