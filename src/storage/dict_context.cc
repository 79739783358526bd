// DictContext: the registry of a statement's tables and columns, filled
// from the engine's data dictionary once the statement is parsed.
#include "storage/dict_context.h"

#include <cstring>
#include <memory>
#include <new>

#include "base/fast_paths.h"
#include "base/memory_block.h"
#include "base/messages.h"
#include "base/statement_context.h"
#include "storage/column.h"
#include "storage/description_cache.h"
#include "storage/engine.h"
#include "storage/file_table.h"
#include "storage/result_table.h"
#include "values/text_utils.h"

namespace zksql {
namespace {

// The column description buffers: one request's buffer serves the next.
ReusableBlock g_columnTexts(DictContext::kColumnTextSize);

// Table i of the registry when it is a file (or an alias of one).
FileTable* FileAt(const PtrArray& tables, int16_t i) {
  Table* table = tables.GetAs<Table>(i);
  return table == nullptr ? nullptr : table->AsFile();
}

}  // namespace

DictContext::DictContext(StatementContext* request) : request_(request) {
  // Only the description written into it is ever read: an empty text
  // until then, whatever the reused buffer held before.
  columnText_ = static_cast<char*>(g_columnTexts.Take());
  if (columnText_ != nullptr) columnText_[0] = '\0';
}

DictContext::~DictContext() {
  g_columnTexts.Give(columnText_);
  columnText_ = nullptr;
  // Columns in allColumns belong to their tables: forget them first.
  allColumns_.ClearAll(true);
  qualifiedColumns_.DeleteAll();
  wantedNames_.Reset();
  tables_.DeleteAll();
}

NamedTable* DictContext::RegisterTable(const char* name, NamedTable* base) {
  // Every handle this registry gives out is one of its file tables.
  return FindOrCreateTable(name, static_cast<FileTable*>(base));
}

FileTable* DictContext::FindOrCreateTable(const char* name, FileTable* base) {
  if (name == nullptr) return nullptr;
  Table* registered = FindTable(name, false);
  FileTable* table = registered == nullptr ? nullptr : registered->AsFile();
  if (table == nullptr) {
    std::unique_ptr<FileTable> made(new (std::nothrow) FileTable(request_, name));
    // A table whose name could not be copied would be registered as a
    // nameless file and reported missing: memory is short instead.
    if (made == nullptr || strcmp(made->fileName(), name) != 0) return nullptr;
    table = made.get();
    if (tables_.Adopt(made) < 0) return nullptr;
  }
  // A table cannot stand for itself: an alias named like its own table
  // ("FROM T T"), or one closing a chain of aliases, would send every
  // column look-up round for ever. Such a table stays the file itself.
  for (FileTable* b = base; b != nullptr; b = b->base()) {
    if (b == table) {
      base = nullptr;
      break;
    }
  }
  table->set_base(base);
  return table;
}

ResultTable* DictContext::CreateResultTable() {
  std::unique_ptr<ResultTable> made(new (std::nothrow) ResultTable(request_));
  ResultTable* table = made.get();
  if (table == nullptr || tables_.Adopt(made) < 0) return nullptr;
  return table;
}

int16_t DictContext::AddWantedName(const char* name) {
  if (name == nullptr) return 0;
  const char* dot = strchr(name, '.');
  const char* item = dot != nullptr ? dot + 1 : name;
  if (strlen(item) > static_cast<size_t>(kMaxNameLength)) return 0;
  // A name that fits and still is not added was refused for want of
  // memory: the caller must fail the statement rather than lose the
  // column.
  return wantedNames_.Add(item) ? 1 : -1;
}

Table* DictContext::FindTable(const char* name, bool referencedOnly) const {
  int16_t at = tables_.Find(0, SearchKey{name, nullptr, static_cast<int16_t>(referencedOnly)});
  return at < 0 ? nullptr : tables_.GetAs<Table>(at);
}

Column* DictContext::FindColumn(const char* tableName, const char* columnName) const {
  if (columnName == nullptr) return nullptr;
  char tablePart[256];
  if (tableName == nullptr) {
    const char* dot = strchr(columnName, '.');
    if (dot != nullptr) {
      size_t n = static_cast<size_t>(dot - columnName);
      if (n >= sizeof tablePart) return nullptr;
      memcpy(tablePart, columnName, n);
      tablePart[n] = '\0';
      tableName = tablePart;
      columnName = dot + 1;
    }
  }
  if (tableName != nullptr) {
    Table* table = FindTable(tableName, false);
    return table == nullptr ? nullptr : table->FindColumn(columnName);
  }
  for (int16_t i = tables_.last(); i >= 0; --i) {
    Table* table = tables_.GetAs<Table>(i);
    Column* column = table == nullptr ? nullptr : table->FindColumn(columnName);
    if (column != nullptr) return column;
  }
  return nullptr;
}

bool DictContext::AddFileColumns(FileTable* t, const DescribedFile& file) {
  if (!t->SetRowSize(file.recordSize, true)) return false;
  t->set_found(true);
  t->keyName().Set("");

  uint32_t offset = 1;  // byte 0 of a record precedes the first item
  for (int16_t j = 0; j < file.itemCount; ++j) {
    const DescribedItem& item = file.items[j];
    const char* name = item.name;
    // A wanted column that cannot be made (or named) for want of memory
    // fails the statement: a table missing a column would have its values
    // passed over, and an INSERT would write an empty record.
    int16_t listed = t->allColumns() ? AddWantedName(name) : 0;
    if (listed < 0) return false;
    // A name just added is wanted without searching the list for it (a
    // dotted name added its last part only, and is searched as it is).
    bool wanted = (listed > 0 && strchr(name, '.') == nullptr) || wantedNames_.Contains(name) != 0;
    if (offset <= UINT16_MAX && wanted) {
      for (int16_t k = 0; k < tables_.Count(); ++k) {
        FileTable* s = FileAt(tables_, k);
        if (s == nullptr || (s != t && s->base() != t)) continue;
        std::unique_ptr<Column> column(
            new (std::nothrow) Column(name, item.type, item.size, item.keyKind,
                                      static_cast<uint16_t>(offset), s, s->fileName()));
        Column* added = column.get();
        if (added == nullptr || added->name() == nullptr || !s->AddColumn(added)) return false;
        column.release();  // the table holds it; allColumns_ only points at it
        if (allColumns_.Add(added) < 0) return false;
      }
    }
    // The qualified list serves to number a file's memo items (their
    // ordinal among its memos): only memo items go into it, which spares
    // a column object per item for every statement.
    if (offset <= UINT16_MAX && (item.type == kTypeTextMemo || item.type == kTypeBinaryMemo)) {
      std::unique_ptr<Column> column(
          new (std::nothrow) Column(item.qualified, item.type, item.size, item.keyKind,
                                    static_cast<uint16_t>(offset), nullptr, file.name));
      if (column == nullptr || column->name() == nullptr || qualifiedColumns_.Adopt(column) < 0) {
        return false;
      }
    }
    offset += static_cast<uint32_t>(item.size) * static_cast<uint32_t>(item.dimension);
  }
  return true;
}

bool DictContext::LoadDescriptions() {
  const EngineEntryPoints* engine = BoundEngine();
  if (engine == nullptr) {
    RecordMessage(request_, nullptr, kMsgNoEngine, EngineLibraryTried());
    return false;
  }
  int32_t handle = request_ != nullptr ? request_->engineHandle : 0;
  // Descriptions read by earlier statements serve while the dictionary
  // stamp stays; the stamp is asked for once, by the first file.
  bool stampAsked = false;
  uint64_t stamp = 0;
  int16_t n = tables_.Count();
  for (int16_t i = 0; i < n; ++i) {
    FileTable* t = FileAt(tables_, i);
    if (t == nullptr || t->base() != nullptr) continue;
    // A name the engine's dictionary cannot hold is not cut into another
    // file's name: the file is simply not found.
    if (strlen(t->fileName()) > static_cast<size_t>(kMaxNameLength)) continue;
    if (!stampAsked) {
      stampAsked = true;
      stamp = FastPathsOn() ? DictionaryStamp(engine, handle) : 0;
    }
    const DescribedFile* file =
        stamp != 0 ? FindDescription(handle, stamp, t->fileName()) : nullptr;
    std::unique_ptr<DescribedFile> read;
    if (file == nullptr) {
      DescriptionRead outcome = ReadDescription(engine, handle, t->fileName(), &read);
      if (outcome == DescriptionRead::kUnknownFile) continue;
      if (outcome == DescriptionRead::kNoMemory) {
        wantedNames_.Reset();
        RecordMessage(request_, nullptr, kMsgOutOfMemory);
        return false;
      }
      file = outcome == DescriptionRead::kComplete ? KeepDescription(handle, stamp, &read)
                                                   : read.get();
    }
    if (!AddFileColumns(t, *file)) {
      wantedNames_.Reset();
      RecordMessage(request_, nullptr, kMsgOutOfMemory);
      return false;
    }
  }
  wantedNames_.Reset();

  for (int16_t i = 0; i < tables_.Count(); ++i) {
    FileTable* t = FileAt(tables_, i);
    if (t == nullptr || t->base() == nullptr) continue;
    if (!t->SetRowSize(t->base()->rowSize(), true)) {
      RecordMessage(request_, nullptr, kMsgOutOfMemory);
      return false;
    }
  }
  for (int16_t i = 0; i < tables_.Count(); ++i) {
    FileTable* t = FileAt(tables_, i);
    if (t != nullptr && t->base() == nullptr && !t->found()) {
      RecordMessage(request_, nullptr, kMsgUnknownTable, t->fileName());
      return false;
    }
  }
  return true;
}

}  // namespace zksql
