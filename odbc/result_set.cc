// A text memo and a four-character text read alike in the column
// description: the first row is read ahead when such a column is there,
// and ZKSQLGetLongData, which answers only for memos, tells them apart.
// Values are read one column at a time (ZKSQLColumnText, retried with the
// full length when the first buffer is short), memos whole.
#include "result_set.h"

#include "diagnostics.h"
#include "memo_data.h"
#include "zksql.h"

namespace zkodbc {
namespace {

// The result whose request is live in this process.
LibraryResult* g_live = nullptr;

}  // namespace

RowsResult::RowsResult(std::vector<ColumnInfo> columns, std::vector<std::vector<Cell>> rows)
    : rows_(std::move(rows)) {
  columns_ = std::move(columns);
}

bool RowsResult::Next() {
  if (next_ >= rows_.size()) {
    next_ = rows_.size() + 1;
    return false;
  }
  ++next_;
  return true;
}

Cell RowsResult::Value(size_t column) {
  if (next_ == 0 || next_ > rows_.size() || column >= rows_[next_ - 1].size()) {
    throw DriverError("24000", DriverMessage("no current row"));
  }
  return rows_[next_ - 1][column];
}

LibraryResult::LibraryResult(void* request, const std::string& columnText, SQLLEN rowCount)
    : request_(request), rowCount_(rowCount) {
  columns_ = ColumnsFromDescription(columnText);
  if (g_live != nullptr && g_live != this) g_live->Detach();
  g_live = this;
  bool ambiguous = false;
  for (const ColumnInfo& c : columns_) ambiguous = ambiguous || MayBeTextMemo(c);
  if (!ambiguous) return;
  pending_ = true;
  pendingRow_ = ZKSQLFetchNext(request_) == 0;
  if (!pendingRow_) return;
  for (size_t i = 0; i < columns_.size(); ++i) {
    if (!MayBeTextMemo(columns_[i])) continue;
    void* block = nullptr;
    int16_t answer = ZKSQLGetLongData(request_, static_cast<int16_t>(i + 1), &block);
    zkhost::TakeMemoData(block);  // only its presence matters here
    if (answer == 0 || answer == 100) MakeTextMemo(&columns_[i]);
  }
}

LibraryResult::~LibraryResult() {
  End();
}

void LibraryResult::End() {
  if (request_ != nullptr) ZKSQLFinRequete(request_);
  request_ = nullptr;
  if (g_live == this) g_live = nullptr;
}

void LibraryResult::DetachLive() {
  if (g_live != nullptr) g_live->Detach();
}

void LibraryResult::Detach() {
  if (request_ == nullptr) return;
  detached_ = true;
  if (onRow_) {
    current_.clear();
    for (size_t c = 0; c < columns_.size(); ++c) current_.push_back(Read(c));
  }
  if (pending_ && pendingRow_) {
    std::vector<Cell> row;
    for (size_t c = 0; c < columns_.size(); ++c) row.push_back(Read(c));
    rest_.push_back(std::move(row));
  }
  bool more = !pending_ || pendingRow_;
  pending_ = false;
  while (more && ZKSQLFetchNext(request_) == 0) {
    std::vector<Cell> row;
    for (size_t c = 0; c < columns_.size(); ++c) row.push_back(Read(c));
    rest_.push_back(std::move(row));
  }
  End();
}

bool LibraryResult::Next() {
  if (detached_) {
    onRow_ = restNext_ < rest_.size();
    if (onRow_) current_ = std::move(rest_[restNext_++]);
    return onRow_;
  }
  if (request_ == nullptr) return onRow_ = false;
  if (pending_) {
    pending_ = false;
    return onRow_ = pendingRow_;
  }
  return onRow_ = ZKSQLFetchNext(request_) == 0;
}

Cell LibraryResult::Value(size_t column) {
  if (!onRow_ || column >= columns_.size()) {
    throw DriverError("24000", DriverMessage("no current row"));
  }
  if (detached_) return current_[column];
  return Read(column);
}

Cell LibraryResult::Read(size_t column) {
  Cell cell;
  int16_t number = static_cast<int16_t>(column + 1);
  if (columns_[column].memo) {
    void* block = nullptr;
    int16_t answer = ZKSQLGetLongData(request_, number, &block);
    if (answer == 0) cell.bytes = zkhost::TakeMemoData(block);
    if (answer != 0 && answer != 100) {
      throw DriverError("HY000", DriverMessage("the library gave no memo for column " +
                                               std::to_string(number)));
    }
    // A text memo ends at its first zero byte.
    if (columns_[column].sqlType == SQL_LONGVARCHAR) {
      size_t end = cell.bytes.find('\0');
      if (end != std::string::npos) cell.bytes.resize(end);
    }
    return cell;
  }
  char small[256];
  int32_t length = ZKSQLColumnText(request_, number, small, static_cast<int32_t>(sizeof small));
  if (length < 0) {
    throw DriverError("HY000", DriverMessage("the library gave no value for column " +
                                             std::to_string(number)));
  }
  if (static_cast<size_t>(length) < sizeof small) {
    cell.bytes.assign(small, static_cast<size_t>(length));
    return cell;
  }
  std::string big(static_cast<size_t>(length) + 1, '\0');
  int32_t again = ZKSQLColumnText(request_, number, &big[0], length + 1);
  if (again < 0) {
    throw DriverError("HY000", DriverMessage("the library gave no value for column " +
                                             std::to_string(number)));
  }
  big.resize(static_cast<size_t>(again < length ? again : length));
  cell.bytes = std::move(big);
  return cell;
}

}  // namespace zkodbc
