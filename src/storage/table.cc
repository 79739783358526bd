// Table: reads and writes through the engine's record block, and the
// in-memory rows of result tables.
#include "storage/table.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "base/messages.h"
#include "base/statement_context.h"
#include "base/memory_block.h"
#include "sql/parse_node.h"
#include "storage/block_field.h"
#include "storage/column.h"
#include "storage/dict_context.h"
#include "storage/engine.h"
#include "values/text_utils.h"

namespace zksql {
namespace {

template <class T>
T BlockGet(int offset) {
  return ReadField<T>(RecordBlock(), offset);
}

template <class T>
void BlockSet(int offset, T v) {
  WriteField<T>(RecordBlock(), offset, v);
}

// Clears the completion status, so that a call that does not complete is
// never mistaken for the previous one.
void ResetStatus() { BlockSet<int16_t>(JX_REC_STATUS, 0); }
bool Completed() { return BlockGet<int16_t>(JX_REC_STATUS) == JX_CALL_COMPLETED; }

}  // namespace

Table::Table(StatementContext* request, const char* name, Table* base) : request_(request), base_(base) {
  fileName_.Assign(name);
}

Table::~Table() {
  delete columns_;
  columns_ = nullptr;
  free(rowBuffer_);
  rowBuffer_ = nullptr;
  FreeLocked(rows_);
  rows_ = nullptr;
}

int16_t Table::Compare(const SearchKey& key) const {
  if (key.flag && !referenced_) return 1;
  if (key.name == nullptr || fileName_.IsNull()) return 1;
  return CompareNoCase(key.name, fileName_.Get()) == 0 ? 0 : 1;
}

const char* Table::EngineFileName() const {
  return base_ != nullptr ? base_->fileName() : fileName();
}

int16_t Table::SetRowSize(uint16_t size, bool allocate) {
  rowSize_ = size;
  if (!allocate) return 1;
  free(rowBuffer_);
  rowBuffer_ = nullptr;
  if (size == 0) return 1;
  rowBuffer_ = static_cast<unsigned char*>(calloc(1, size));
  if (rowBuffer_ == nullptr) {
    rowSize_ = 0;
    return 0;
  }
  return 1;
}

bool Table::AddColumn(Column* column) {
  if (column == nullptr) return false;
  if (columns_ == nullptr) {
    columns_ = new (std::nothrow) PtrArray(0, 4);
    if (columns_ == nullptr) return false;
  }
  return columns_->Add(column) >= 0;
}

Column* Table::ColumnAt(int16_t i) const {
  return columns_ == nullptr ? nullptr : columns_->GetAs<Column>(i);
}

Column* Table::FindColumn(const char* name) const {
  if (columns_ == nullptr) return base_ != nullptr ? base_->FindColumn(name) : nullptr;
  int16_t at = columns_->Find(0, SearchKey{name, nullptr, 0});
  return at < 0 ? nullptr : columns_->GetAs<Column>(at);
}

Column* Table::FindColumnQualified(const char* name) const {
  if (columns_ == nullptr) return base_ != nullptr ? base_->FindColumnQualified(name) : nullptr;
  int16_t at = columns_->Find(0, SearchKey{name, nullptr, 1});
  return at < 0 ? nullptr : columns_->GetAs<Column>(at);
}

unsigned char* Table::RowPointer(int32_t n) const {
  if (!inMemory_ || rows_ == nullptr || n < 1 || n > rowCapacity_) return nullptr;
  return rows_ + static_cast<size_t>(n - 1) * rowSize_;
}

int32_t Table::AcceptRecord(int32_t number) {
  if (BlockGet<int16_t>(JX_REC_END) != 0) return 0;
  const unsigned char* data = BlockGet<const unsigned char*>(JX_REC_DATA);
  int32_t length = BlockGet<int16_t>(JX_REC_LENGTH);
  if (rowBuffer_ != nullptr && data != nullptr && length > 0) {
    // A record longer than the row buffer is cut to it; a shorter one
    // leaves no stale bytes of the previous row behind.
    size_t n = static_cast<size_t>(length) < rowSize_ ? static_cast<size_t>(length) : rowSize_;
    memcpy(rowBuffer_, data, n);
    if (n < rowSize_) memset(rowBuffer_ + n, 0, rowSize_ - n);
  }
  currentRow_ = number;
  return number;
}

int32_t Table::ReadByNumber(int32_t n) {
  if (n == 0) n = currentRow_ + 1;
  if (inMemory_) {
    if (n < 1 || n > rowCount_) return 0;
    if (rowBuffer_ != nullptr) memcpy(rowBuffer_, RowPointer(n), rowSize_);
    currentRow_ = n;
    return n;
  }
  const EngineEntryPoints* engine = BoundEngine();
  if (engine == nullptr || request_ == nullptr) return -1;
  if (n < 1) return 0;
  for (;;) {
    BlockSet<char>(JX_REC_MODE, JX_MODE_BY_NUMBER);
    ResetStatus();
    engine->readRecord(request_->engineHandle, EngineFileName(), n, RecordBlock());
    if (!Completed()) return -1;
    // Deleted records (no valid record at that number) are skipped.
    if (BlockGet<int16_t>(JX_REC_ERROR) == 0 && BlockGet<int16_t>(JX_REC_END) == 0 &&
        BlockGet<int16_t>(JX_REC_VALID) == 0) {
      if (n == INT32_MAX) return 0;
      ++n;
      continue;
    }
    break;
  }
  lastError_ = BlockGet<int16_t>(JX_REC_ERROR);
  if (lastError_ > 2) return -lastError_;
  return AcceptRecord(n);
}

int32_t Table::ReadByKey(char mode, const KeySource* filter) {
  const char* key = filter != nullptr ? filter->KeyFor(*this) : nullptr;
  if (key == nullptr || *key == '\0') key = keyName_.Get();
  if (key == nullptr || *key == '\0') {
    return ReadByNumber(mode == JX_MODE_FIRST_BY_KEY ? 1 : 0);
  }
  if (inMemory_) return ReadByNumber(mode == JX_MODE_FIRST_BY_KEY ? 1 : 0);
  const EngineEntryPoints* engine = BoundEngine();
  if (engine == nullptr || request_ == nullptr) return -1;
  BlockSet<char>(JX_REC_MODE, mode);
  char* keyField = reinterpret_cast<char*>(RecordBlock() + JX_REC_KEY_NAME);
  memset(keyField, 0, JX_NAME_FIELD_SIZE);
  BoundedCopy(keyField, key, JX_NAME_FIELD_SIZE);
  ResetStatus();
  engine->readRecord(request_->engineHandle, EngineFileName(), 0, RecordBlock());
  if (!Completed()) return -1;
  lastError_ = BlockGet<int16_t>(JX_REC_ERROR);
  if (lastError_ > 2) return -lastError_;
  return AcceptRecord(BlockGet<int32_t>(JX_REC_NUMBER));
}

int32_t Table::ReadFirst(const KeySource* filter) { return ReadByKey(JX_MODE_FIRST_BY_KEY, filter); }
int32_t Table::ReadNext(const KeySource* filter) { return ReadByKey(JX_MODE_NEXT_BY_KEY, filter); }

int16_t Table::Write(int32_t n) {
  if (inMemory_) return WriteInMemory(n);
  return WriteFile(n);
}

int16_t Table::WriteInMemory(int32_t n) {
  if (rowSize_ == 0 || rowBuffer_ == nullptr) {
    // A row of no bytes cannot be stored (and would divide by zero below).
    char text[kMessageBufferSize];
    FormatMessage(text, sizeof text, kMsgInternalError, "table sans colonne");
    errorText_.Set(text);
    return kWriteEngineFailure;
  }
  if (n == 0) n = rowCount_ + 1;
  if (n < 0) return kWriteEngineFailure;
  if (n > rowCapacity_) {
    int64_t capacity = rows_ != nullptr ? rowCapacity_ + 100000 / rowSize_ : 1000000 / rowSize_;
    if (capacity < n) capacity = n;
    size_t bytes = static_cast<size_t>(capacity) * rowSize_;
    void* block = nullptr;
    if (capacity <= INT32_MAX && bytes / rowSize_ == static_cast<size_t>(capacity)) {
      block = rows_ == nullptr ? AllocLocked(bytes) : ReAllocLocked(rows_, bytes);
    }
    if (block == nullptr) {
      FreeLocked(rows_);
      rows_ = nullptr;
      rowCapacity_ = 0;
      rowCount_ = 0;
      char text[kMessageBufferSize];
      LoadMessage(kMsgOutOfMemory, text, sizeof text);
      errorText_.Set(text);
      return kWriteNoMemory;
    }
    rows_ = static_cast<unsigned char*>(block);
    rowCapacity_ = static_cast<int32_t>(capacity);
  }
  if (n > rowCount_) rowCount_ = n;
  memcpy(RowPointer(n), rowBuffer_, rowSize_);
  return kWriteDone;
}

int16_t Table::EngineFailure(int16_t code) {
  lastError_ = code;
  char text[kMessageBufferSize];
  FormatMessage(text, sizeof text, kMsgReadWriteError, fileName(), static_cast<int>(code));
  errorText_.Set(text);
  return kWriteEngineFailure;
}

int16_t Table::WriteFile(int32_t n) {
  const EngineEntryPoints* engine = BoundEngine();
  if (engine == nullptr || request_ == nullptr) {
    char text[kMessageBufferSize];
    FormatMessage(text, sizeof text, kMsgNoEngine, EngineLibraryTried());
    errorText_.Set(text);
    return kWriteEngineFailure;
  }
  BlockSet<const void*>(JX_REC_MEMO_DATA, nullptr);
  BlockSet<const void*>(JX_REC_DATA, rowBuffer_);
  BlockSet<int16_t>(JX_REC_LENGTH, static_cast<int16_t>(rowSize_));
  BlockSet<int16_t>(JX_REC_DUPLICATE, 0);
  BlockSet<int16_t>(JX_REC_ERROR, 0);
  ResetStatus();
  engine->writeRecord(request_->engineHandle, EngineFileName(), n, RecordBlock());
  // A call the engine did not complete is a failure, reported with the
  // file name like any other engine failure.
  if (!Completed()) return EngineFailure(-1);
  lastError_ = BlockGet<int16_t>(JX_REC_ERROR);
  // A refused duplicate is reported as such even when the engine also sets
  // an error code for it: the host must learn which key was the cause.
  if (BlockGet<int16_t>(JX_REC_DUPLICATE) != 0) {
    char text[kMessageBufferSize];
    FormatMessage(text, sizeof text, kMsgDuplicateKey, fileName());
    errorText_.Set(text);
    return kWriteDuplicate;
  }
  if (lastError_ != 0) return EngineFailure(lastError_);
  // Memos belong to the record just written, so only a written record gets
  // them; a deletion has none.
  if (n >= 0) return WriteMemos();
  return kWriteDone;
}

int16_t Table::MemoOrdinal(const Column& column) const {
  if (request_ == nullptr || request_->dict == nullptr) return -1;
  PtrArray& all = request_->dict->qualifiedColumns();
  int16_t ordinal = 0;
  char item[128];
  for (int16_t i = 0; i < all.Count(); ++i) {
    Column* c = all.GetAs<Column>(i);
    // Only the items of this file count: the dictionary may describe
    // several files, whose memo items are numbered separately.
    if (c == nullptr || !c->IsMemo() || CompareNoCase(c->tableName(), EngineFileName()) != 0) {
      continue;
    }
    if (FieldOf(2, c->name(), ".", item, sizeof item, true) > 0 &&
        CompareNoCase(item, column.name()) == 0) {
      return ordinal;
    }
    ++ordinal;
  }
  return -1;
}

int16_t Table::WriteMemos() {
  const EngineEntryPoints* engine = BoundEngine();
  for (int16_t i = 0; i < ColumnCount(); ++i) {
    Column* column = ColumnAt(i);
    // Only memos the statement assigned are written: a memo column that was
    // merely read holds the engine's reference, which keeps its memo.
    if (column == nullptr || !column->IsMemo() || !column->memoAssigned()) continue;
    int16_t ordinal = MemoOrdinal(*column);
    if (ordinal < 0) {
      column->ClearMemoAssignment();
      continue;
    }
    const void* data = nullptr;
    int32_t length = 0;
    int32_t number = column->hostMemoNumber();
    if (number >= 1) {
      // A host memo number is used only within the markers the statement
      // carried, so the host's table is never read past its end.
      const ZKSQLMemoTable* memos = request_->memoParams;
      const unsigned char* block = nullptr;
      if (memos != nullptr && number <= request_->memoMarkerCount) {
        block = static_cast<const unsigned char*>(memos->blocks[number - 1]);
      }
      if (block != nullptr) {
        int16_t header = ReadField<int16_t>(block, JX_MEMO_HEADER_SIZE);
        int32_t dataLength = ReadField<int32_t>(block, JX_MEMO_DATA_LENGTH);
        if (header < 0) header = 0;
        if (dataLength < 0) dataLength = 0;
        // When the block is one of ours its size is known: stay inside it.
        HGLOBAL handle = GlobalHandle(block);
        if (handle != nullptr) {
          size_t size = GlobalSize(handle);
          if (static_cast<size_t>(header) > size) header = 0, dataLength = 0;
          if (static_cast<size_t>(header) + dataLength > size) {
            dataLength = static_cast<int32_t>(size - header);
          }
        }
        if (column->type() == kTypeTextMemo) {
          data = block + header;
          length = dataLength > kMemoWriteLimit ? kMemoWriteLimit : dataLength;
        } else {
          data = block;
          length = header + dataLength;
        }
      }
    } else if (column->type() == kTypeTextMemo && column->memoCopy() != nullptr) {
      data = column->memoCopy();
      length = static_cast<int32_t>(strlen(column->memoCopy()));
      if (length > kMemoWriteLimit) length = kMemoWriteLimit;
    }
    column->ClearMemoAssignment();
    BlockSet<int16_t>(JX_REC_MEMO_NUMBER, static_cast<int16_t>(ordinal + 1));
    BlockSet<const void*>(JX_REC_MEMO_DATA, data);
    BlockSet<int16_t>(JX_REC_ERROR, 0);
    ResetStatus();
    engine->writeMemo(request_->engineHandle, length, RecordBlock());
    if (!Completed()) return EngineFailure(-1);
    int16_t code = BlockGet<int16_t>(JX_REC_ERROR);
    if (code != 0) return EngineFailure(code);
  }
  BlockSet<const void*>(JX_REC_MEMO_DATA, nullptr);
  return kWriteDone;
}

int16_t Table::ContainsRow() const {
  if (!inMemory_ || rowBuffer_ == nullptr) return 0;
  for (int32_t i = 1; i <= rowCount_; ++i) {
    if (memcmp(RowPointer(i), rowBuffer_, rowSize_) == 0) return 1;
  }
  return 0;
}

int16_t Table::SetColumns(ParseNode* assignments, ValueAssigner* assigner) {
  if (assignments == nullptr) return 1;
  if (assigner == nullptr) return 0;
  for (ParseNode* a = assignments->child; a != nullptr; a = a->next) {
    ParseNode* name = a->child;
    if (name == nullptr) continue;
    Column* column = FindColumn(name->text);
    if (column == nullptr) continue;
    if (!assigner->AssignValue(name->next, column)) return 0;
  }
  return 1;
}

}  // namespace zksql
