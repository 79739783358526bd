// TupleTable: the column store of a row set.
//
// A row set lists combinations of records, one record number per table it
// covers. The table keeps one column per table (named by the table's file
// name) and one array of 32-bit record numbers per column; tuple k is the
// k-th entry of every array. Index 0 is never used, so tuple numbers run
// from 1 to TupleCount(). The arrays are heap arrays of 64 slots at first
// that double up to 1024 slots, then grow by 1024 or by half, so appending
// one tuple rarely reallocates.
//
// Tuples are appended by position, and looked up and projected by name
// through tuple lists: ParseNode chains with one node per table, text = the
// table's file name, code = the record number. Names compare
// case-insensitively, as table names do everywhere in the system, so a
// column is never both present (for one lookup) and missing (for another).
//
// Every operation that allocates reports a lack of memory by its result
// and leaves the table as it was.
#ifndef ZKSQL_SELECT_TUPLE_TABLE_H_
#define ZKSQL_SELECT_TUPLE_TABLE_H_

#include <cstdint>

#include "base/base_object.h"
#include "sql/parse_node.h"

namespace zksql {

class TupleTable : public BaseObject {
 public:
  // Slots added to every column array at the first growths; later ones add
  // half the capacity.
  static constexpr int32_t kGrowth = 1024;
  static constexpr int32_t kFirstCapacity = 64;

  TupleTable() = default;
  ~TupleTable() override;

  // A new table with the same columns and tuples (in order); null when
  // memory is short.
  TupleTable* Copy() const;

  // Appends a column for a table. Refused (false) once a tuple is stored,
  // since every stored tuple must have a value in every column; false also
  // when memory is short. The first column sets `count` to 1 and `capacity`
  // to 1024.
  [[nodiscard]] bool AddTupleColumn(const char* tableName);

  // Appends one tuple: `values[i]` goes to column i; `n` must equal the
  // number of columns (a shorter or longer tuple would leave a column
  // without value or write past the columns), else false.
  [[nodiscard]] bool AppendTuple(const int32_t* values, int32_t n);

  // Record number of tuple k in the column named tableName; -1 when no
  // column has that name or k is not a stored tuple.
  int32_t ValueOf(int32_t k, const char* tableName) const;
  // True when a stored tuple equals the list: projected onto the columns first
  // unless asIs; record numbers compared position by position over the
  // list's length. An empty list, one longer than the columns, or one that
  // cannot be projected never matches.
  bool Contains(const ParseNode* list, int16_t asIs) const;
  // New tuple list in this table's column order, each value taken from the
  // list's node of the same name. Null when a column has no node in the
  // list (a wrong tuple is never made up) or memory is short.
  ParseNode* Project(const ParseNode* list) const;

  // The column store, for the set algebra of row sets.
  int32_t ColumnCount() const { return columnCount_; }
  // Name of column i (0-based); null outside the columns.
  const char* ColumnName(int32_t i) const;
  // Index of the column named tableName, or -1.
  int32_t ColumnIndex(const char* tableName) const;
  // Record number of tuple k (1..TupleCount()) in column i; -1 outside.
  int32_t At(int32_t k, int32_t i) const;
  // Number of stored tuples.
  int32_t TupleCount() const { return count > 0 ? count - 1 : 0; }

  // 0 while there is no column, 1 + the number of tuples afterwards.
  int32_t count = 0;
  // Slots in every column array: 0 without a column, then 1024, 2048...
  int32_t capacity = 0;

 private:
  struct Column {
    char* name;
    int32_t* slots;  // heap array of `capacity` record numbers
  };

  // Makes room for tuple number `count` (the next one); false on failure.
  [[nodiscard]] bool Reserve();

  Column* columns_ = nullptr;
  int32_t columnCount_ = 0;
};

}  // namespace zksql

#endif  // ZKSQL_SELECT_TUPLE_TABLE_H_
