// Table: the one class through which rows are read and written.
//
// Three roles: a file of the database (rows read and written one at a time
// through the storage engine), an alias of a file (a second cursor over the
// same file, reading under the base file's name), and an in-memory table
// (the result of a SELECT and the selection engine's temporary tables, rows
// held in one growable memory block). In every role the row buffer holds
// the current row and the columns read and write their values in it.
//
// Tables are created and owned by the request's dictionary context; a
// table owns its columns. Reads report by result only (row number, 0 at
// the end, -1 when the engine did not complete the call, minus the
// engine's error code); writes report by result and `errorText`.
#ifndef ZKSQL_STORAGE_TABLE_H_
#define ZKSQL_STORAGE_TABLE_H_

#include <cstdint>

#include "base/base_object.h"
#include "base/dyn_string.h"
#include "base/ptr_array.h"
#include "jxengine.h"
#include "sql/name_registry.h"

namespace zksql {

struct StatementContext;
class Column;
class ParseNode;

// Supplies the key item a keyed browse of a table follows (the engine
// filter of the selection does); null or "" when it has none for it.
class KeySource {
 public:
  virtual ~KeySource() = default;
  virtual const char* KeyFor(const class Table& table) const = 0;
};

// Evaluates one value of an assignment into a column of a table's row
// buffer (the statement executor does): 1 on success, 0 on failure.
class ValueAssigner {
 public:
  virtual ~ValueAssigner() = default;
  virtual int16_t AssignValue(ParseNode* valueNode, Column* column) = 0;
};

// Results of Write.
enum WriteResult : int16_t {
  kWriteDone = 0,
  kWriteNoMemory = 1,
  kWriteEngineFailure = 2,
  kWriteDuplicate = 3,
};

class Table : public BaseObject, public NamedTable {
 public:
  // Longest file or item name the engine takes.
  static constexpr int kMaxNameLength = JX_NAME_MAX_LENGTH;

  // A table named `name` (null: an in-memory table), an alias when `base`
  // is given.
  Table(StatementContext* request, const char* name, Table* base);
  ~Table() override;

  // key.name compared case-insensitively with the file name; with key.flag
  // set, only a table the statement can name matches.
  int16_t Compare(const SearchKey& key) const override;

  // Sets the row size and, with allocate, a new zero-filled row buffer.
  // 0 (row size 0) when the buffer cannot be allocated.
  int16_t SetRowSize(uint16_t size, bool allocate);
  // Appends a column (the table owns it from then on); false on failure,
  // the caller keeping the column.
  bool AddColumn(Column* column);
  // The column of that name (unqualified), or also "TABLE.ITEM" forms; a
  // table without columns searches its base.
  Column* FindColumn(const char* name) const;
  Column* FindColumnQualified(const char* name) const;
  // Address of row n (from 1) of an in-memory table; null otherwise.
  unsigned char* RowPointer(int32_t n) const;

  int32_t ReadByNumber(int32_t n);
  int32_t ReadFirst(const KeySource* filter);
  int32_t ReadNext(const KeySource* filter);
  // In memory: n = 0 appends, n > 0 writes row n. File: 0 appends, n > 0
  // rewrites record n, -1 deletes the record just read. See WriteResult.
  int16_t Write(int32_t n);
  // 1 when an in-memory table holds a row equal to the row buffer.
  int16_t ContainsRow() const;
  // Applies assignment nodes (first child: the column name; its next
  // sibling: the value) to the row buffer through `assigner`, stopping at
  // the first failure; assignments to an unknown column are skipped.
  int16_t SetColumns(ParseNode* assignments, ValueAssigner* assigner);
  // Sorts the rows of an in-memory table by an order list (see
  // row_sort.h): 0 for a file table, 1 when sorted or nothing to sort.
  int16_t Sort(ParseNode* orderList);

  StatementContext* request() const { return request_; }
  const char* fileName() const { return fileName_.Get(); }
  // The name engine calls use: the base's file for an alias.
  const char* EngineFileName() const;
  DynString& keyName() { return keyName_; }
  Table* base() const { return base_; }
  void set_base(Table* base) { base_ = base; }
  bool inMemory() const { return inMemory_ != 0; }
  void set_inMemory(bool on) { inMemory_ = on ? 1 : 0; }
  bool referenced() const { return referenced_ != 0; }
  void set_referenced(bool on) { referenced_ = on ? 1 : 0; }
  void MarkReferenced() override { set_referenced(true); }
  void MarkAllColumns() override { set_allColumns(true); }
  bool allColumns() const { return allColumns_ != 0; }
  void set_allColumns(bool on) { allColumns_ = on ? 1 : 0; }
  bool found() const { return found_ != 0; }
  void set_found(bool on) { found_ = on ? 1 : 0; }
  PtrArray* columns() const { return columns_; }
  int16_t ColumnCount() const { return columns_ == nullptr ? 0 : columns_->Count(); }
  Column* ColumnAt(int16_t i) const;
  uint16_t rowSize() const { return rowSize_; }
  int32_t currentRow() const { return currentRow_; }
  unsigned char* rowBuffer() const { return rowBuffer_; }
  int16_t lastError() const { return lastError_; }
  const char* errorText() const { return errorText_.Get(); }
  int32_t rowCount() const { return rowCount_; }
  int32_t rowCapacity() const { return rowCapacity_; }

 private:
  int32_t ReadByKey(char mode, const KeySource* filter);
  int32_t AcceptRecord(int32_t number);
  int16_t WriteInMemory(int32_t n);
  int16_t WriteFile(int32_t n);
  int16_t WriteMemos();
  int16_t MemoOrdinal(const Column& column) const;
  int16_t EngineFailure(int16_t code);

  StatementContext* request_;
  DynString fileName_{DynString::kEmptyIfNull};
  DynString keyName_{DynString::kEmptyIfNull};
  Table* base_;
  int16_t inMemory_ = 0;
  int16_t referenced_ = 0;
  int16_t allColumns_ = 0;
  int16_t found_ = 0;
  PtrArray* columns_ = nullptr;
  uint16_t rowSize_ = 0;
  int32_t currentRow_ = 0;
  unsigned char* rowBuffer_ = nullptr;
  int16_t lastError_ = 0;
  DynString errorText_{DynString::kEmptyIfNull};
  unsigned char* rows_ = nullptr;
  int32_t rowCount_ = 0;
  int32_t rowCapacity_ = 0;
};

}  // namespace zksql

#endif  // ZKSQL_STORAGE_TABLE_H_
