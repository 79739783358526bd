// Table: what every table of a statement offers its callers, whatever holds
// its rows.
//
// Two kinds of table derive from it: FileTable, a file of the database (or
// an alias of one) read and written one record at a time through the
// storage engine, and ResultTable, rows held in memory (the result of a
// SELECT or of a set operation). Both have a name, their columns and one
// row buffer holding the current row, in which the columns read and write
// their values; the selection engine and the statements read, browse and
// write either kind through this interface.
//
// Tables are created and owned by the request's dictionary context; a
// table owns its columns. Reads report by result only (row number, 0 at
// the end, -1 when the engine did not complete the call, minus the
// engine's error code); writes report by result and `errorText`.
#ifndef ZKSQL_STORAGE_TABLE_H_
#define ZKSQL_STORAGE_TABLE_H_

#include <cstdint>
#include <memory>

#include "base/base_object.h"
#include "base/dyn_string.h"
#include "base/ptr_array.h"
#include "jxengine.h"

namespace zksql {

struct StatementContext;
class Column;
class FileTable;
class ParseNode;

// Supplies the key item a keyed browse of a table follows (the engine
// filter of the selection does); null or "" when it has none for it.
class KeySource {
 public:
  virtual ~KeySource() = default;
  virtual const char* KeyFor(const class Table& table) const = 0;
  // True when the keyed browse of `table` reaches at most one record (an
  // equality on a unique key): once one was read, the next read ends the
  // browse without asking the engine.
  virtual bool AtMostOne(const class Table& table) const {
    (void)table;
    return false;
  }
};

// Evaluates one value of an assignment into a column of a table's row
// buffer (the statement executor does): false, with the error recorded,
// on failure.
class ValueAssigner {
 public:
  virtual ~ValueAssigner() = default;
  [[nodiscard]] virtual bool AssignValue(ParseNode* valueNode, Column* column) = 0;
};

// Results of Write.
enum WriteResult : int16_t {
  kWriteDone = 0,
  kWriteNoMemory = 1,
  kWriteEngineFailure = 2,
  kWriteDuplicate = 3,
};

class Table : public BaseObject {
 public:
  // Longest file or item name the engine takes.
  static constexpr int kMaxNameLength = JX_NAME_MAX_LENGTH;

  ~Table() override;

  // key.name compared case-insensitively with the table's name. With
  // key.flag set only a table the statement names matches, which a table
  // held in memory never is (FileTable answers for files).
  int16_t Compare(const SearchKey& key) const override;

  // Sets the row size and, with allocate, a new zero-filled row buffer.
  // False (row size 0) when the buffer cannot be allocated.
  [[nodiscard]] bool SetRowSize(uint16_t size, bool allocate);
  // Appends a column (the table owns it from then on); false on failure,
  // the caller keeping the column.
  bool AddColumn(Column* column);
  // The column of that name (unqualified), or also "TABLE.ITEM" forms.
  virtual Column* FindColumn(const char* name) const;
  virtual Column* FindColumnQualified(const char* name) const;

  // Reads row n (from 1; 0 reads the row after the current one) into the
  // row buffer.
  virtual int32_t ReadByNumber(int32_t n) = 0;
  // Browses the rows, in key order where `filter` (or the table) names a
  // key, else by number.
  virtual int32_t ReadFirst(const KeySource* filter) = 0;
  virtual int32_t ReadNext(const KeySource* filter) = 0;
  // Puts back in the row buffer a row image taken from it after row n was
  // read: the table is then as reading row n again would leave it.
  void RestoreRow(const unsigned char* image, int32_t n);
  // Writes the row buffer: n = 0 appends, n > 0 writes row n; a file also
  // deletes the record just read for -1. See WriteResult.
  virtual int16_t Write(int32_t n) = 0;
  // Applies assignment nodes (first child: the column name; its next
  // sibling: the value) to the row buffer through `assigner`, stopping at
  // the first failure; assignments to an unknown column are skipped.
  [[nodiscard]] bool SetColumns(ParseNode* assignments, ValueAssigner* assigner);

  // This table as a file of the database; null for a table held in memory.
  virtual FileTable* AsFile() { return nullptr; }
  virtual const FileTable* AsFile() const { return nullptr; }
  // The engine's code for the last failed read or write; 0 when there is
  // none (always, for a table held in memory).
  virtual int16_t lastError() const { return 0; }

  StatementContext* request() const { return request_; }
  const char* fileName() const { return fileName_.Get(); }
  int16_t ColumnCount() const { return columns_.Count(); }
  Column* ColumnAt(int16_t i) const;
  uint16_t rowSize() const { return rowSize_; }
  int32_t currentRow() const { return currentRow_; }
  unsigned char* rowBuffer() const { return rowBuffer_.get(); }
  const char* errorText() const { return errorText_.Get(); }

 protected:
  // A table named `name` (null: nameless).
  Table(StatementContext* request, const char* name);

  // Whether `name` is this table's name (case-insensitive); never for a
  // nameless table.
  bool NameMatches(const char* name) const;
  // The column matching `key` among this table's own.
  Column* FindOwnColumn(const SearchKey& key) const;
  // Deletes the columns from index n on; the row size stays. False (no
  // column deleted) when memory is short.
  [[nodiscard]] bool DeleteColumnsFrom(int16_t n);
  void set_currentRow(int32_t n) { currentRow_ = n; }
  void SetErrorText(const char* text) { errorText_.Set(text); }

 private:
  StatementContext* request_;
  DynString fileName_{DynString::kEmptyIfNull};
  PtrArray columns_{0, 4};
  uint16_t rowSize_ = 0;
  int32_t currentRow_ = 0;
  std::unique_ptr<unsigned char[]> rowBuffer_;
  DynString errorText_{DynString::kEmptyIfNull};
};

}  // namespace zksql

#endif  // ZKSQL_STORAGE_TABLE_H_
