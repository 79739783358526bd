// Grouping: rows into groups by the equality keys of their GROUP BY
// values, and the aggregates of each group.
#include "select/grouping.h"

#include <new>
#include <utility>

#include "select/column_value.h"
#include "sql/token_codes.h"
#include "storage/column.h"
#include "storage/table.h"

namespace zksql {

Grouping::Grouping(std::vector<Column*> keys, const std::vector<AggregateSpec>* aggregates,
                   const PtrArray* tables)
    : keys_(std::move(keys)), aggregates_(aggregates), tables_(tables) {
  for (const AggregateSpec& definition : *aggregates_) {
    if (definition.function == LEX_COUNT_DISTINCT) rowKeys_ = true;
  }
}

int Grouping::KeyIndex(const Column* column) const {
  for (size_t k = 0; k < keys_.size(); ++k) {
    if (keys_[k] == column) return static_cast<int>(k);
  }
  return -1;
}

bool Grouping::NewGroup() {
  try {
    Group group;
    group.fields.reserve(keys_.size());
    group.values.reserve(keys_.size());
    for (Column* key : keys_) {
      const unsigned char* field = key->FieldAddress();
      group.fields.emplace_back(field == nullptr ? "" : reinterpret_cast<const char*>(field),
                                field == nullptr ? 0 : key->size());
      OwnedValue value;
      TypedValue current = CurrentValueOf(key);
      if (current.bytes != nullptr && !CopyValue(current, &value)) return false;
      group.values.push_back(std::move(value));
    }
    group.aggregates.reserve(aggregates_->size());
    for (const AggregateSpec& definition : *aggregates_) group.aggregates.emplace_back(&definition);
    groups_.push_back(std::move(group));
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

bool Grouping::Take() {
  size_t g = 0;
  if (keys_.empty()) {
    if (groups_.empty() && !NewGroup()) return false;
  } else {
    std::string key;
    for (Column* column : keys_) {
      if (!AppendEqualityKey(CurrentValueOf(column), &key)) return false;
    }
    try {
      auto found = index_.find(key);
      if (found == index_.end()) {
        if (!NewGroup()) return false;
        index_.emplace(std::move(key), groups_.size() - 1);
        g = groups_.size() - 1;
      } else {
        g = found->second;
      }
    } catch (const std::bad_alloc&) {
      return false;
    }
  }
  std::string row;
  if (rowKeys_) {
    // The record images of the FROM tables, one after the other.
    try {
      for (int16_t t = 0; t < tables_->Count(); ++t) {
        Table* table = tables_->GetAs<Table>(t);
        if (table != nullptr && table->rowBuffer() != nullptr) {
          row.append(reinterpret_cast<const char*>(table->rowBuffer()), table->rowSize());
        }
      }
    } catch (const std::bad_alloc&) {
      return false;
    }
  }
  for (AggregateAccumulator& a : groups_[g].aggregates) {
    if (!a.Take(row)) return false;
  }
  return true;
}

bool Grouping::Finish() {
  if (keys_.empty() && groups_.empty()) return NewGroup();
  return true;
}

bool Grouping::Bind(size_t g, RowBinding* binding, std::vector<OwnedValue>* held) const {
  binding->Clear();
  held->clear();
  const Group& group = groups_[g];
  try {
    held->resize(group.aggregates.size());
  } catch (const std::bad_alloc&) {
    return false;
  }
  for (size_t k = 0; k < keys_.size(); ++k) {
    if (!binding->Bind(keys_[k]->tableName(), keys_[k]->name(), group.values[k].view())) {
      return false;
    }
  }
  for (size_t a = 0; a < group.aggregates.size(); ++a) {
    if (!group.aggregates[a].Value(&(*held)[a])) return false;
    if (!binding->BindNode(group.aggregates[a].definition().node, (*held)[a].view())) return false;
  }
  return true;
}

}  // namespace zksql
