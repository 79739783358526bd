// FileTable: a file of the database, read and written one record at a time
// through the storage engine's record block.
//
// An alias ("FROM CLIENTS C") is a FileTable too: a second cursor over the
// same file, with a row buffer and columns of its own, whose engine calls
// name its base file. A table can become an alias (or stop being one) when
// the parser registers the name again, so the base is a link the
// dictionary sets rather than a kind of its own.
//
// Besides reads and writes, a file table keeps what the parser and the
// dictionary learn about it: whether the statement names it, whether it
// wants all its columns, whether the dictionary found it, and the key item
// a browse follows when no filter gives one. Written memo columns go to the
// engine with the record they belong to.
#ifndef ZKSQL_STORAGE_FILE_TABLE_H_
#define ZKSQL_STORAGE_FILE_TABLE_H_

#include <cstdint>
#include <vector>

#include "sql/name_registry.h"
#include "storage/table.h"

namespace zksql {

class FileTable : public Table, public NamedTable {
 public:
  FileTable(StatementContext* request, const char* name);

  // As Table::Compare, a referenced-only search matching only a file the
  // statement names itself.
  int16_t Compare(const SearchKey& key) const override;

  // An alias without columns of its own searches its base's.
  Column* FindColumn(const char* name) const override;
  Column* FindColumnQualified(const char* name) const override;

  // Deleted records are stepped over: the next valid record is read.
  int32_t ReadByNumber(int32_t n) override;
  // A keyed browse follows the filter's key for this table, else the
  // table's key name; without either, records go by number.
  int32_t ReadFirst(const KeySource* filter) override;
  int32_t ReadNext(const KeySource* filter) override;
  // 0 appends, n > 0 rewrites record n, -1 deletes the record just read.
  int16_t Write(int32_t n) override;

  FileTable* AsFile() override { return this; }
  const FileTable* AsFile() const override { return this; }
  int16_t lastError() const override { return lastError_; }

  // The name engine calls use: the base's file for an alias.
  const char* EngineFileName() const;
  DynString& keyName() { return keyName_; }
  FileTable* base() const { return base_; }
  void set_base(FileTable* base) { base_ = base; }
  bool referenced() const { return referenced_; }
  void set_referenced(bool on) { referenced_ = on; }
  bool allColumns() const { return allColumns_; }
  void set_allColumns(bool on) { allColumns_ = on; }
  bool found() const { return found_; }
  void set_found(bool on) { found_ = on; }

  // The parser's marks (NamedTable).
  void MarkReferenced() override { set_referenced(true); }
  void MarkAllColumns() override { set_allColumns(true); }

 private:
  int32_t ReadByKey(char mode, const KeySource* filter);
  int32_t AcceptRecord(int32_t number);
  void AcceptImage(const unsigned char* data, size_t length);
  // A walk by number from `from`, served from runs of records the engine
  // reads many at a time: the record read, 0 past the last, or -1 when no
  // run can be read (the caller then reads a record a call).
  int32_t ReadFromRun(int32_t from);
  int16_t WriteMemos();
  int16_t MemoOrdinal(const Column& column) const;
  int16_t EngineFailure(int16_t code);

  DynString keyName_{DynString::kEmptyIfNull};
  FileTable* base_ = nullptr;
  bool referenced_ = false;
  bool allColumns_ = false;
  bool found_ = false;
  int16_t lastError_ = 0;
  // The filter whose one-record browse already handed out its record: the
  // next keyed read under it ends without an engine call.
  const KeySource* oneReadUnder_ = nullptr;

  // The run being walked: entries of a record number and an image, the
  // next one at runNext_. It stands for the walk only while the table's
  // current row is the last record it handed out and nothing was written
  // since it was read.
  std::vector<unsigned char> run_;
  size_t runNext_ = 0;
  size_t runUsed_ = 0;
  size_t runEntry_ = 0;
  bool runEnd_ = false;
  int32_t runLast_ = -1;
  uint64_t runWrites_ = 0;
  int32_t runWanted_ = 0;
};

}  // namespace zksql

#endif  // ZKSQL_STORAGE_FILE_TABLE_H_
