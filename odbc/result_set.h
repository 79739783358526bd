// The rows a statement hands out, whatever made them: a library request
// (a query's result, read column by column through ZKSQLColumnText and
// ZKSQLGetLongData) or rows the driver built itself (catalogue functions,
// SQLGetTypeInfo). SQLFetch, SQLGetData and SQLBindCol read both the same
// way.
#ifndef ZKODBC_RESULT_SET_H
#define ZKODBC_RESULT_SET_H

#include <sql.h>

#include <memory>
#include <string>
#include <vector>

#include "columns.h"

namespace zkodbc {

// One value of the current row: Windows-1252 text as the library writes
// it, or a memo's bytes. The library has no NULL; driver-built rows do.
struct Cell {
  bool null = false;
  std::string bytes;
};

class ResultSet {
 public:
  virtual ~ResultSet() = default;
  const std::vector<ColumnInfo>& columns() const { return columns_; }
  // Moves to the next row; false past the last one.
  virtual bool Next() = 0;
  // The value of column (0-based) of the current row.
  virtual Cell Value(size_t column) = 0;
  // Rows in the result, or -1 when not known.
  virtual SQLLEN RowCount() const = 0;

 protected:
  std::vector<ColumnInfo> columns_;
};

// Rows built by the driver, their texts in Windows-1252 as the library's
// are, so that one conversion serves both.
class RowsResult : public ResultSet {
 public:
  RowsResult(std::vector<ColumnInfo> columns, std::vector<std::vector<Cell>> rows);
  bool Next() override;
  Cell Value(size_t column) override;
  SQLLEN RowCount() const override { return static_cast<SQLLEN>(rows_.size()); }

 private:
  std::vector<std::vector<Cell>> rows_;
  size_t next_ = 0;
};

// A query's result held by the library: the request is ended with the
// result. The library serves one request at a time: when another
// statement runs, the rows still to be read are copied out first
// (DetachLive), and the request ended.
class LibraryResult : public ResultSet {
 public:
  // Takes the request; columnText and rowCount as ZKSQLExecReq gave them.
  LibraryResult(void* request, const std::string& columnText, SQLLEN rowCount);
  ~LibraryResult() override;
  LibraryResult(const LibraryResult&) = delete;
  LibraryResult& operator=(const LibraryResult&) = delete;

  bool Next() override;
  Cell Value(size_t column) override;
  SQLLEN RowCount() const override { return rowCount_; }

  // Copies out and ends the result whose request is still live, if any.
  static void DetachLive();

 private:
  Cell Read(size_t column);
  void Detach();
  void End();

  void* request_;
  SQLLEN rowCount_;
  bool pending_ = false;   // the first row was read ahead to tell memos apart
  bool pendingRow_ = false;
  bool onRow_ = false;
  // After Detach: the current row (when on one) and those still to come.
  bool detached_ = false;
  std::vector<std::vector<Cell>> rest_;
  size_t restNext_ = 0;
  std::vector<Cell> current_;
};

}  // namespace zkodbc

#endif
