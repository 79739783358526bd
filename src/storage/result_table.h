// ResultTable: rows held in memory — the result of a SELECT, the combined
// rows of a set operation.
//
// The rows live in one block that grows as rows are written: a million
// bytes' worth of rows at first, then by half its size at each step (at
// least a hundred thousand bytes' worth), so that the copies made while
// growing stay in proportion to the rows. A row is written from the row
// buffer and read back into it, so columns work on a result row as on a
// record of a file. Failing to grow the block drops every row, so that a
// partial result is never taken for a whole one.
#ifndef ZKSQL_STORAGE_RESULT_TABLE_H_
#define ZKSQL_STORAGE_RESULT_TABLE_H_

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "storage/row_sort.h"
#include "storage/table.h"

namespace zksql {

class ResultTable : public Table {
 public:
  // A result has no name; a named one is found by name in the dictionary
  // like a file, so that a selection can run over rows held in memory.
  explicit ResultTable(StatementContext* request, const char* name = nullptr);

  // Past the last row a read returns 0 and leaves the current row as it
  // was.
  int32_t ReadByNumber(int32_t n) override;
  // Rows go by number: a result has no key.
  int32_t ReadFirst(const KeySource* filter) override;
  int32_t ReadNext(const KeySource* filter) override;
  // Rows skipped by writing past the end read as zeros.
  int16_t Write(int32_t n) override;

  // True when a row equal to the row buffer is held. Answered through an
  // index of the rows by their bytes, built as it is asked and kept while
  // rows are only appended (a linear search when the fast paths are off or
  // memory for the index is short).
  bool ContainsRow() const;
  // Makes ContainsRow compare only the first n bytes of a row (0: the whole
  // row), so that columns kept past them for the sort alone do not make
  // rows that show the same values distinct. Set before rows are written.
  void SetDistinctBytes(uint16_t n);
  // Sorts the rows by an order list or by keys (see row_sort.h). False
  // when the sort could not be done (rows unchanged); nothing to sort is a
  // success.
  [[nodiscard]] bool Sort(ParseNode* orderList);
  [[nodiscard]] bool Sort(const std::vector<SortKey>& keys);
  // Deletes the columns from index n on, which only the sort needed: the
  // result then describes the columns before them. The rows keep their
  // bytes, unread. False (columns unchanged) when memory is short.
  [[nodiscard]] bool DropColumnsFrom(int16_t n) { return DeleteColumnsFrom(n); }
  // Address of row n (from 1), or null outside the block.
  unsigned char* RowPointer(int32_t n) const;

  int32_t rowCount() const { return rowCount_; }
  int32_t rowCapacity() const { return rowCapacity_; }

 private:
  bool Grow(int32_t n);
  // The bytes of row n; row 0 stands for the row buffer, so that the index
  // can be asked about the buffer without storing it.
  std::string_view RowBytes(int32_t n) const;
  bool ContainsRowLinear() const;
  void DropIndex() const;

  struct RowHash {
    const ResultTable* table;
    size_t operator()(int32_t n) const;
  };
  struct RowEqual {
    const ResultTable* table;
    bool operator()(int32_t a, int32_t b) const;
  };
  using RowIndex = std::unordered_set<int32_t, RowHash, RowEqual>;

  struct FreeRows {
    void operator()(unsigned char* rows) const { free(rows); }
  };
  // From malloc: a larger block is had with realloc, which moves a large
  // block's pages instead of copying them, so that growing never holds the
  // rows twice.
  std::unique_ptr<unsigned char, FreeRows> rows_;
  // Rows 1 to indexed_ are in index_ (null until ContainsRow is asked).
  mutable std::unique_ptr<RowIndex> index_;
  mutable int32_t indexed_ = 0;
  int32_t rowCount_ = 0;
  int32_t rowCapacity_ = 0;
  uint16_t distinctBytes_ = 0;
};

}  // namespace zksql

#endif  // ZKSQL_STORAGE_RESULT_TABLE_H_
