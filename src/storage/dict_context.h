// DictContext: the per-request registry of tables, columns and wanted item
// names, and the buffer receiving the column description text.
//
// The parser registers the tables and item names a statement mentions; the
// descriptions are then loaded from the engine's dictionary, and the later
// phases look tables and columns up here by name. The context owns every
// table of the request (file tables, aliases, result tables) and through
// them every column.
#ifndef ZKSQL_STORAGE_DICT_CONTEXT_H_
#define ZKSQL_STORAGE_DICT_CONTEXT_H_

#include "base/base_object.h"
#include "base/name_list.h"
#include "base/ptr_array.h"
#include "jxengine.h"
#include "sql/name_registry.h"

namespace zksql {

struct StatementContext;
class Column;
struct DescribedFile;
class FileTable;
class ResultTable;
class Table;

class DictContext : public BaseObject, public NameRegistry {
 public:
  // Size of the column description buffer.
  static constexpr int32_t kColumnTextSize = 65536;
  // Longest file or item name the dictionary takes.
  static constexpr int16_t kMaxNameLength = JX_NAME_MAX_LENGTH;

  explicit DictContext(StatementContext* request);
  ~DictContext() override;

  StatementContext* request() const { return request_; }
  // The column description buffer (kColumnTextSize bytes, holding ""
  // until a description is written); null when it could not be allocated.
  char* columnText() const { return columnText_; }

  // The file table registered under `name` (case-insensitive), or a new
  // one appended to the registry. `base` makes the table an alias of it;
  // without one the table is a file again. Null when memory is short or
  // the name is null.
  FileTable* FindOrCreateTable(const char* name, FileTable* base);
  // A new, empty result table appended to the registry; null when memory
  // is short.
  ResultTable* CreateResultTable();
  // Registers the item part of a name ("T.A" wants A); 1, 0 when the name
  // cannot be held (longer than an item name can be), -1 when memory is
  // short.
  int16_t AddWantedName(const char* name);

  // The parser's registrations (NameRegistry).
  NamedTable* RegisterTable(const char* name, NamedTable* base) override;
  bool RegisterItemName(const char* name) override { return AddWantedName(name) >= 0; }
  // The first table matching the name (only those the statement can name
  // when referencedOnly is set), or null.
  Table* FindTable(const char* name, bool referencedOnly) const;
  // A column by table and column name ("T.A" is split when tableName is
  // null); without a table, the tables from the last registered to the
  // first are tried.
  Column* FindColumn(const char* tableName, const char* columnName) const;
  // Loads the description of every registered file from the engine (or
  // from the descriptions kept while the dictionary has not changed, see
  // storage/description_cache.h): row buffers, the wanted items as columns
  // (also for aliases), and a qualified column for every memo item (what
  // numbers a file's memos, see qualifiedColumns). False, with
  // the error recorded in the request, unless every file was found.
  [[nodiscard]] bool LoadDescriptions();

  PtrArray& tables() { return tables_; }
  PtrArray& allColumns() { return allColumns_; }
  // "TABLE.ITEM" columns of the memo items of every loaded file, in item
  // order: a memo's ordinal among its file's memos is its place here.
  PtrArray& qualifiedColumns() { return qualifiedColumns_; }
  NameList& wantedNames() { return wantedNames_; }

 private:
  // Makes t's row buffer and columns from its file's description: the
  // wanted items as columns of t and of its aliases, and a qualified
  // column for every item. False when memory is short.
  [[nodiscard]] bool AddFileColumns(FileTable* t, const DescribedFile& file);

  StatementContext* request_;
  PtrArray tables_{0, 4};
  PtrArray allColumns_{0, 4};  // not owning: columns belong to their tables
  NameList wantedNames_{kMaxNameLength};
  char* columnText_ = nullptr;
  PtrArray qualifiedColumns_{0, 4};
};

}  // namespace zksql

#endif  // ZKSQL_STORAGE_DICT_CONTEXT_H_
