// Table: the name, columns and row buffer every table has.
#include "storage/table.h"

#include <cstring>
#include <new>
#include <vector>

#include "sql/parse_node.h"
#include "storage/column.h"
#include "values/text_utils.h"

namespace zksql {

Table::Table(StatementContext* request, const char* name) : request_(request) {
  fileName_.Assign(name);
}

Table::~Table() = default;

bool Table::NameMatches(const char* name) const {
  if (name == nullptr || fileName_.IsNull()) return false;
  return CompareNoCase(name, fileName_.Get()) == 0;
}

int16_t Table::Compare(const SearchKey& key) const {
  if (key.flag) return 1;
  return NameMatches(key.name) ? 0 : 1;
}

void Table::RestoreRow(const unsigned char* image, int32_t n) {
  if (rowBuffer_ != nullptr && image != nullptr) memcpy(rowBuffer_.get(), image, rowSize_);
  currentRow_ = n;
}

bool Table::SetRowSize(uint16_t size, bool allocate) {
  rowSize_ = size;
  if (!allocate) return true;
  rowBuffer_.reset();
  if (size == 0) return true;
  rowBuffer_.reset(new (std::nothrow) unsigned char[size]());
  if (rowBuffer_ == nullptr) {
    rowSize_ = 0;
    return false;
  }
  return true;
}

bool Table::AddColumn(Column* column) {
  if (column == nullptr) return false;
  return columns_.Add(column) >= 0;
}

Column* Table::ColumnAt(int16_t i) const {
  return columns_.GetAs<Column>(i);
}

Column* Table::FindOwnColumn(const SearchKey& key) const {
  int16_t at = columns_.Find(0, key);
  return at < 0 ? nullptr : columns_.GetAs<Column>(at);
}

bool Table::DeleteColumnsFrom(int16_t n) {
  const int16_t count = columns_.Count();
  if (n < 0 || n >= count) return true;
  // The array only shrinks by emptying it, so the kept columns are set
  // aside and added back into the slots they had.
  std::vector<BaseObject*> kept;
  try {
    kept.reserve(static_cast<size_t>(n));
  } catch (const std::bad_alloc&) {
    return false;
  }
  for (int16_t i = 0; i < n; ++i) kept.push_back(columns_.Get(i));
  for (int16_t i = n; i < count; ++i) delete columns_.GetAs<Column>(i);
  columns_.ClearAll();
  for (BaseObject* column : kept) (void)columns_.Add(column);
  return true;
}

Column* Table::FindColumn(const char* name) const {
  return FindOwnColumn(SearchKey{name, nullptr, 0});
}

Column* Table::FindColumnQualified(const char* name) const {
  return FindOwnColumn(SearchKey{name, nullptr, 1});
}

bool Table::SetColumns(ParseNode* assignments, ValueAssigner* assigner) {
  if (assignments == nullptr) return true;
  if (assigner == nullptr) return false;
  for (ParseNode* a = assignments->child; a != nullptr; a = a->next) {
    ParseNode* name = a->child;
    if (name == nullptr) continue;
    Column* column = FindColumn(name->text);
    if (column == nullptr) continue;
    if (!assigner->AssignValue(name->next, column)) return false;
  }
  return true;
}

}  // namespace zksql
