// ResultTable: rows in one growing block of memory.
#include "storage/result_table.h"

#include <cstring>
#include <new>

#include "base/fast_paths.h"
#include "base/messages.h"
#include "storage/row_sort.h"

namespace zksql {

ResultTable::ResultTable(StatementContext* request, const char* name) : Table(request, name) {}

unsigned char* ResultTable::RowPointer(int32_t n) const {
  if (rows_ == nullptr || n < 1 || n > rowCapacity_) return nullptr;
  return rows_.get() + static_cast<size_t>(n - 1) * rowSize();
}

int32_t ResultTable::ReadByNumber(int32_t n) {
  if (n == 0) n = currentRow() + 1;
  if (n < 1 || n > rowCount_) return 0;
  if (rowBuffer() != nullptr) memcpy(rowBuffer(), RowPointer(n), rowSize());
  set_currentRow(n);
  return n;
}

int32_t ResultTable::ReadFirst(const KeySource*) {
  return ReadByNumber(1);
}
int32_t ResultTable::ReadNext(const KeySource*) {
  return ReadByNumber(0);
}

// Makes room for row n; false (every row dropped) when memory is short.
bool ResultTable::Grow(int32_t n) {
  const uint16_t size = rowSize();
  // A first block of 1 KiB of rows, doubled up to a million bytes, then
  // grown by half: most results are a few rows (and blocks that small are
  // the heap's cheapest), and realloc moves a large block's pages instead
  // of copying them.
  const int64_t million = 1000000 / size > 0 ? 1000000 / size : 1;
  int64_t capacity = 1024 / size > 0 ? 1024 / size : 1;
  if (rows_ != nullptr && rowCapacity_ < million) {
    capacity = rowCapacity_ * 2 < million ? rowCapacity_ * 2 : million;
  } else if (rows_ != nullptr) {
    int64_t step = rowCapacity_ / 2 > 100000 / size ? rowCapacity_ / 2 : 100000 / size;
    capacity = rowCapacity_ + step;
  }
  if (capacity < n) capacity = n;
  size_t bytes = static_cast<size_t>(capacity) * size;
  unsigned char* block = nullptr;
  if (capacity <= INT32_MAX && bytes / size == static_cast<size_t>(capacity)) {
    // Not zero-filled: rows are read only up to rowCount_, and the rows a
    // write past the end skips are zeroed by Write.
    block = static_cast<unsigned char*>(realloc(rows_.get(), bytes));
  }
  if (block == nullptr) {
    rows_.reset();
    rowCapacity_ = 0;
    rowCount_ = 0;
    DropIndex();
    return false;
  }
  (void)rows_.release();  // realloc took it over
  rows_.reset(block);
  rowCapacity_ = static_cast<int32_t>(capacity);
  return true;
}

int16_t ResultTable::Write(int32_t n) {
  if (rowSize() == 0 || rowBuffer() == nullptr) {
    // A row of no bytes cannot be stored (and would divide by zero below).
    char text[kMessageBufferSize];
    FormatMessage(text, sizeof text, kMsgInternalError, "table sans colonne");
    SetErrorText(text);
    return kWriteEngineFailure;
  }
  if (n == 0) n = rowCount_ + 1;
  if (n < 0) return kWriteEngineFailure;
  // The index follows appended rows; a row rewritten (or rows skipped)
  // leaves it to be built again.
  if (n != rowCount_ + 1) DropIndex();
  if (n > rowCapacity_ && !Grow(n)) {
    char text[kMessageBufferSize];
    LoadMessage(kMsgOutOfMemory, text, sizeof text);
    SetErrorText(text);
    return kWriteNoMemory;
  }
  if (n > rowCount_ + 1) {
    memset(RowPointer(rowCount_ + 1), 0, static_cast<size_t>(n - rowCount_ - 1) * rowSize());
  }
  if (n > rowCount_) rowCount_ = n;
  memcpy(RowPointer(n), rowBuffer(), rowSize());
  return kWriteDone;
}

std::string_view ResultTable::RowBytes(int32_t n) const {
  const unsigned char* row = n == 0 ? rowBuffer() : RowPointer(n);
  uint16_t size = distinctBytes_ > 0 && distinctBytes_ < rowSize() ? distinctBytes_ : rowSize();
  return std::string_view(reinterpret_cast<const char*>(row), size);
}

void ResultTable::SetDistinctBytes(uint16_t n) {
  distinctBytes_ = n;
  DropIndex();
}

size_t ResultTable::RowHash::operator()(int32_t n) const {
  return std::hash<std::string_view>()(table->RowBytes(n));
}

bool ResultTable::RowEqual::operator()(int32_t a, int32_t b) const {
  return table->RowBytes(a) == table->RowBytes(b);
}

void ResultTable::DropIndex() const {
  index_.reset();
  indexed_ = 0;
}

bool ResultTable::ContainsRow() const {
  if (rowBuffer() == nullptr) return false;
  if (!FastPathsOn()) return ContainsRowLinear();
  try {
    if (index_ == nullptr) {
      index_.reset(new RowIndex(16, RowHash{this}, RowEqual{this}));
      indexed_ = 0;
    }
    for (; indexed_ < rowCount_; ++indexed_) index_->insert(indexed_ + 1);
    return index_->count(0) != 0;
  } catch (const std::bad_alloc&) {
    DropIndex();
    return ContainsRowLinear();
  }
}

bool ResultTable::ContainsRowLinear() const {
  std::string_view wanted = RowBytes(0);
  for (int32_t i = 1; i <= rowCount_; ++i) {
    if (RowBytes(i) == wanted) return true;
  }
  return false;
}

bool ResultTable::Sort(ParseNode* orderList) {
  if (orderList == nullptr || rowCount_ < 2) return true;
  DropIndex();
  return SortRows(*this, orderList, 1, rowCount_);
}

bool ResultTable::Sort(const std::vector<SortKey>& keys) {
  if (keys.empty() || rowCount_ < 2) return true;
  DropIndex();
  return SortRows(*this, keys, 1, rowCount_);
}

}  // namespace zksql
