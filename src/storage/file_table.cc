// FileTable: reads and writes through the engine's record block.
#include "storage/file_table.h"

#include <cstring>
#include <new>

#include "base/fast_paths.h"
#include "base/interrupt.h"
#include "base/messages.h"
#include "base/statement_context.h"
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
void ResetStatus() {
  BlockSet<int16_t>(JX_REC_STATUS, 0);
}
bool Completed() {
  return BlockGet<int16_t>(JX_REC_STATUS) == JX_CALL_COMPLETED;
}

// Counts the writes of the process: a run read before a write may hold
// records that the write changed, and is read again.
uint64_t g_writes = 0;

// A first run is short, since a walk may stop at its first records (an
// EXISTS, a sub-select per row); each next one is twice as long, up to
// 64 KiB: enough to make the calls few, small enough to stay in cache.
constexpr int32_t kFirstRun = 16;
constexpr size_t kRunBytes = 64 * 1024;

}  // namespace

FileTable::FileTable(StatementContext* request, const char* name) : Table(request, name) {}

int16_t FileTable::Compare(const SearchKey& key) const {
  if (key.flag && !referenced_) return 1;
  return NameMatches(key.name) ? 0 : 1;
}

const char* FileTable::EngineFileName() const {
  return base_ != nullptr ? base_->fileName() : fileName();
}

Column* FileTable::FindColumn(const char* name) const {
  if (ColumnCount() == 0) return base_ != nullptr ? base_->FindColumn(name) : nullptr;
  return Table::FindColumn(name);
}

Column* FileTable::FindColumnQualified(const char* name) const {
  if (ColumnCount() == 0) return base_ != nullptr ? base_->FindColumnQualified(name) : nullptr;
  return Table::FindColumnQualified(name);
}

void FileTable::AcceptImage(const unsigned char* data, size_t length) {
  unsigned char* row = rowBuffer();
  if (row != nullptr && data != nullptr && length > 0) {
    // A record longer than the row buffer is cut to it; a shorter one
    // leaves no stale bytes of the previous row behind.
    size_t n = length < rowSize() ? length : rowSize();
    memcpy(row, data, n);
    if (n < rowSize()) memset(row + n, 0, rowSize() - n);
  }
}

int32_t FileTable::AcceptRecord(int32_t number) {
  if (BlockGet<int16_t>(JX_REC_END) != 0) return 0;
  const unsigned char* data = BlockGet<const unsigned char*>(JX_REC_DATA);
  int32_t length = BlockGet<int16_t>(JX_REC_LENGTH);
  if (length > 0) AcceptImage(data, static_cast<size_t>(length));
  set_currentRow(number);
  return number;
}

int32_t FileTable::ReadFromRun(int32_t from) {
  // A stopped statement reads no further: the record-a-call read that the
  // caller falls back to reports it.
  if (!FastPathsOn() || request() == nullptr || from < 1 || StopRequested(request())) {
    return -1;
  }
  bool follows =
      runLast_ >= 0 && runWrites_ == g_writes && currentRow() == runLast_ && from == runLast_ + 1;
  if (!follows) {
    runNext_ = runUsed_ = 0;
    runEnd_ = false;
    runWanted_ = kFirstRun;
  }
  if (runNext_ >= runUsed_) {
    const EngineEntryPoints* engine = BoundEngine();
    if (engine == nullptr || engine->readRun == nullptr) return -1;
    // Past the last record the current row stays as it was, as a walk a
    // record a call leaves it.
    if (follows && runEnd_) {
      runLast_ = -1;
      return 0;
    }
    // The records from `from` on, in a run twice as long as the last.
    int32_t entry = static_cast<int32_t>(sizeof(int32_t) + rowSize());
    size_t bytes = static_cast<size_t>(entry) * static_cast<size_t>(runWanted_);
    if (bytes > kRunBytes) bytes = kRunBytes;
    if (bytes < static_cast<size_t>(entry)) bytes = static_cast<size_t>(entry);
    if (run_.size() < bytes) {
      try {
        run_.resize(bytes);
      } catch (const std::bad_alloc&) {
        runLast_ = -1;
        return -1;
      }
    }
    int32_t count = 0;
    int32_t recordSize = 0;
    int16_t end = 0;
    int16_t code =
        engine->readRun(request()->engineHandle, EngineFileName(), from, runWanted_, run_.data(),
                        static_cast<int32_t>(run_.size()), &count, &recordSize, &end);
    // A failure, or records of another size than the row: the walk goes a
    // record a call, which reports what went wrong as it always has.
    if (code != 0 || recordSize < 1 || static_cast<size_t>(recordSize) > rowSize() || count < 0) {
      runLast_ = -1;
      return -1;
    }
    if (runWanted_ < (1 << 20)) runWanted_ *= 2;
    runEntry_ = sizeof(int32_t) + static_cast<size_t>(recordSize);
    runUsed_ = static_cast<size_t>(count) * runEntry_;
    runNext_ = 0;
    runEnd_ = end != 0;
    runWrites_ = g_writes;
    if (count == 0) {
      runLast_ = -1;
      return 0;
    }
  }
  int32_t number = 0;
  memcpy(&number, run_.data() + runNext_, sizeof number);
  AcceptImage(run_.data() + runNext_ + sizeof number, runEntry_ - sizeof number);
  runNext_ += runEntry_;
  lastError_ = 0;
  set_currentRow(number);
  runLast_ = number;
  return number;
}

int32_t FileTable::ReadByNumber(int32_t n) {
  if (n == 0) n = currentRow() + 1;
  const EngineEntryPoints* engine = BoundEngine();
  if (engine == nullptr || request() == nullptr) return -1;
  if (n < 1) return 0;
  for (;;) {
    // Every record read and write asks first whether the host stopped the
    // statement: a stopped read is a call the engine did not complete.
    if (StopRequested(request())) return -1;
    BlockSet<char>(JX_REC_MODE, JX_MODE_BY_NUMBER);
    ResetStatus();
    engine->readRecord(request()->engineHandle, EngineFileName(), n, RecordBlock());
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

int32_t FileTable::ReadByKey(char mode, const KeySource* filter) {
  const char* key = filter != nullptr ? filter->KeyFor(*this) : nullptr;
  if (key == nullptr || *key == '\0') key = keyName_.Get();
  if (key == nullptr || *key == '\0') {
    int32_t from = mode == JX_MODE_FIRST_BY_KEY ? 1 : currentRow() + 1;
    if (mode == JX_MODE_FIRST_BY_KEY) runLast_ = -1;
    int32_t r = ReadFromRun(from);
    if (r >= 0) return r;
    return ReadByNumber(mode == JX_MODE_FIRST_BY_KEY ? 1 : 0);
  }
  const KeySource* oneReadUnder = oneReadUnder_;
  oneReadUnder_ = nullptr;
  if (mode == JX_MODE_NEXT_BY_KEY && filter != nullptr && filter == oneReadUnder && FastPathsOn()) {
    // An equality on a unique key reaches one record, handed out already:
    // the engine would only answer that none is left.
    lastError_ = 0;
    return 0;
  }
  const EngineEntryPoints* engine = BoundEngine();
  if (engine == nullptr || request() == nullptr || StopRequested(request())) return -1;
  BlockSet<char>(JX_REC_MODE, mode);
  char* keyField = reinterpret_cast<char*>(RecordBlock() + JX_REC_KEY_NAME);
  memset(keyField, 0, JX_NAME_FIELD_SIZE);
  (void)BoundedCopy(keyField, key, JX_NAME_FIELD_SIZE);  // cut to the engine's name field
  ResetStatus();
  engine->readRecord(request()->engineHandle, EngineFileName(), 0, RecordBlock());
  if (!Completed()) return -1;
  lastError_ = BlockGet<int16_t>(JX_REC_ERROR);
  if (lastError_ > 2) return -lastError_;
  int32_t r = AcceptRecord(BlockGet<int32_t>(JX_REC_NUMBER));
  if (r > 0 && mode == JX_MODE_FIRST_BY_KEY && filter != nullptr && filter->AtMostOne(*this)) {
    oneReadUnder_ = filter;
  }
  return r;
}

int32_t FileTable::ReadFirst(const KeySource* filter) {
  return ReadByKey(JX_MODE_FIRST_BY_KEY, filter);
}

int32_t FileTable::ReadNext(const KeySource* filter) {
  return ReadByKey(JX_MODE_NEXT_BY_KEY, filter);
}

int16_t FileTable::EngineFailure(int16_t code) {
  lastError_ = code;
  char text[kMessageBufferSize];
  FormatMessage(text, sizeof text, kMsgReadWriteError, fileName(), static_cast<int>(code));
  SetErrorText(text);
  return kWriteEngineFailure;
}

int16_t FileTable::Write(int32_t n) {
  ++g_writes;
  const EngineEntryPoints* engine = BoundEngine();
  if (engine == nullptr || request() == nullptr) {
    char text[kMessageBufferSize];
    FormatMessage(text, sizeof text, kMsgNoEngine, EngineLibraryTried());
    SetErrorText(text);
    return kWriteEngineFailure;
  }
  if (StopRequested(request())) return kWriteEngineFailure;
  BlockSet<const void*>(JX_REC_MEMO_DATA, nullptr);
  BlockSet<const void*>(JX_REC_DATA, rowBuffer());
  BlockSet<int16_t>(JX_REC_LENGTH, static_cast<int16_t>(rowSize()));
  BlockSet<int16_t>(JX_REC_DUPLICATE, 0);
  BlockSet<int16_t>(JX_REC_ERROR, 0);
  ResetStatus();
  engine->writeRecord(request()->engineHandle, EngineFileName(), n, RecordBlock());
  // A call the engine did not complete is a failure, reported with the
  // file name like any other engine failure.
  if (!Completed()) return EngineFailure(-1);
  lastError_ = BlockGet<int16_t>(JX_REC_ERROR);
  // A refused duplicate is reported as such even when the engine also sets
  // an error code for it: the host must learn which key was the cause.
  if (BlockGet<int16_t>(JX_REC_DUPLICATE) != 0) {
    char text[kMessageBufferSize];
    FormatMessage(text, sizeof text, kMsgDuplicateKey, fileName());
    SetErrorText(text);
    return kWriteDuplicate;
  }
  if (lastError_ != 0) return EngineFailure(lastError_);
  // Memos belong to the record just written, so only a written record gets
  // them; a deletion has none.
  int16_t result = n >= 0 ? WriteMemos() : static_cast<int16_t>(kWriteDone);
  if (result == kWriteDone) ++request()->changedRows;
  return result;
}

int16_t FileTable::MemoOrdinal(const Column& column) const {
  if (request() == nullptr || request()->dict == nullptr) return -1;
  PtrArray& all = request()->dict->qualifiedColumns();
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

int16_t FileTable::WriteMemos() {
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
      const ZKSQLMemoTable* memos = request()->memoParams;
      const unsigned char* block = nullptr;
      if (memos != nullptr && number <= request()->memoMarkerCount) {
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
    engine->writeMemo(request()->engineHandle, length, RecordBlock());
    if (!Completed()) return EngineFailure(-1);
    int16_t code = BlockGet<int16_t>(JX_REC_ERROR);
    if (code != 0) return EngineFailure(code);
  }
  BlockSet<const void*>(JX_REC_MEMO_DATA, nullptr);
  return kWriteDone;
}

}  // namespace zksql
