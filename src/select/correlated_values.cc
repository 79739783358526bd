// The correlated sub-select's side: copying its candidate rows once
// (PrepareCorrelated) and finding its values for an enclosing row
// (CorrelatedSubSelectValues). See correlated_values.h.
#include "select/correlated_values.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "base/fast_paths.h"
#include "base/messages.h"
#include "base/statement_context.h"
#include "select/column_value.h"
#include "select/condition_evaluator.h"
#include "select/condition_tree.h"
#include "select/condition_truth.h"
#include "select/equi_join.h"
#include "select/grouping.h"
#include "select/row_set.h"
#include "select/selection_driver.h"
#include "select/tuple_table.h"
#include "sql/value_list.h"
#include "storage/column.h"
#include "storage/table.h"
#include "values/row_binding.h"
#include "values/value_converter.h"

namespace zksql {
namespace {

// Kept value lists are dropped all at once past this many values, so that
// an enclosing SELECT with many distinct outer values cannot grow the
// cache without bound; they are found again when asked.
constexpr size_t kMaxCachedValues = 1 << 20;

bool HoldsTable(const PtrArray& tables, const Table* table) {
  for (int16_t t = 0; t < tables.Count(); ++t) {
    if (tables.GetAs<Table>(t) == table) return true;
  }
  return false;
}

// Decides a leaf with the evaluator over a prepared binding.
class BoundLeaves : public LeafTruth {
 public:
  BoundLeaves(ConditionEvaluator* evaluator, int16_t driverIndex, const RowBinding* binding)
      : evaluator_(evaluator), driverIndex_(driverIndex), binding_(binding) {}
  bool Decide(const ParseNode*, RowSet* rows, bool* holds) override {
    if (rows == nullptr) return false;
    *holds = evaluator_->EvaluateCondition(driverIndex_, rows->condition, binding_, rows->negated);
    return true;
  }

 private:
  ConditionEvaluator* evaluator_;
  int16_t driverIndex_;
  const RowBinding* binding_;
};

// Appends the value's type, length and bytes to a cache key.
void AppendRaw(const TypedValue* value, std::string* key) {
  int16_t type = value == nullptr || value->bytes == nullptr ? -1 : value->type;
  uint16_t length = type < 0 ? 0 : value->length;
  key->append(reinterpret_cast<const char*>(&type), sizeof type);
  key->append(reinterpret_cast<const char*>(&length), sizeof length);
  if (length > 0) key->append(value->bytes, length);
}

}  // namespace

bool SelectionDriver::PrepareCorrelated(const ParseNode* references) {
  std::unique_ptr<CorrelatedValues> made(new (std::nothrow) CorrelatedValues);
  if (made == nullptr || !CollectColumns()) {
    ReportNoMemory();
    return false;
  }
  CorrelatedValues& c = *made;
  try {
    for (const ParseNode* ref = references; ref != nullptr; ref = ref->next) {
      const char* slash = ref->text == nullptr ? nullptr : std::strchr(ref->text, '/');
      if (slash == nullptr) continue;
      CorrelatedValues::Outer outer;
      outer.reference = ref->text;
      outer.table.assign(ref->text, static_cast<size_t>(slash - ref->text));
      outer.column.assign(slash + 1);
      c.outers.push_back(std::move(outer));
    }
    // The columns of this SELECT's own tables that its conditions and its
    // value read; outer columns come with the enclosing row.
    auto take = [&](Column* column) {
      if (column == nullptr || !HoldsTable(tables, column->table())) return;
      if (std::find(c.columns.begin(), c.columns.end(), column) == c.columns.end()) {
        c.columns.push_back(column);
      }
    };
    for (int16_t i = 0; i < columns->Count(); ++i) take(columns->GetAs<Column>(i));
    for (const ConditionGroup& group : groups) {
      for (const RowSet* rs : group.rowSets()) {
        const PtrArray* read = rs->conditionColumns.get();
        for (int16_t i = 0; read != nullptr && i < read->Count(); ++i) {
          take(read->GetAs<Column>(i));
        }
      }
    }
    // The candidates: the rows the selection kept with every deferred
    // condition counted as holding.
    const int32_t count =
        rows == nullptr || rows->tuples == nullptr ? 0 : rows->tuples->TupleCount();
    for (int32_t k = 1; k <= count; ++k) {
      int16_t skip = 0;
      if (!ReadTuple(k, &skip)) return false;
      if (skip) continue;
      if (Aggregating()) {
        for (int16_t t = 0; t < tables.Count(); ++t) {
          const Table* table = tables.GetAs<Table>(t);
          if (table->rowBuffer() != nullptr) {
            c.images.append(reinterpret_cast<const char*>(table->rowBuffer()), table->rowSize());
          } else {
            c.images.append(table->rowSize(), '\0');
          }
        }
      }
      for (Column* column : c.columns) {
        TypedValue v = CurrentValueOf(column);
        CorrelatedValues::Cell cell;
        if (v.bytes != nullptr) {
          cell.type = v.type;
          cell.length = v.length;
          cell.offset = static_cast<int64_t>(c.arena.size());
          c.arena.append(v.bytes, v.length);
        }
        c.cells.push_back(cell);
      }
      ++c.candidates;
    }
    for (int16_t t = 0; t < tables.Count(); ++t) c.imageWidth += tables.GetAs<Table>(t)->rowSize();
    // An equality between one of this SELECT's columns and an outer value,
    // as a top-level condition, not negated: only the candidates with an
    // equal value can pass.
    const ParseNode* conjunct = where;
    const bool list = where != nullptr && where->code == kConditionGroup &&
                      where->next != nullptr && where->next->code == kConditionAnd;
    for (; conjunct != nullptr && c.indexColumn < 0; conjunct = list ? conjunct->next : nullptr) {
      const ParseNode* leaf = list ? conjunct->child : conjunct;
      if (leaf == nullptr || leaf->code != kConditionLeaf) continue;
      const RowSet* rs = RowSetOf(leaf);
      Column* left = nullptr;
      Column* right = nullptr;
      if (rs == nullptr || !rs->deferred || !ColumnEquality(rs, &left, &right)) continue;
      Column* mine = HoldsTable(tables, left->table()) ? left : right;
      Column* theirs = mine == left ? right : left;
      if (HoldsTable(tables, theirs->table())) continue;
      auto at = std::find(c.columns.begin(), c.columns.end(), mine);
      if (at == c.columns.end()) continue;
      std::string reference = std::string(theirs->tableName()) + "/" + theirs->name();
      for (size_t o = 0; o < c.outers.size(); ++o) {
        if (reference == c.outers[o].reference) {
          c.indexOuter = static_cast<int32_t>(o);
          c.indexColumn = static_cast<int32_t>(at - c.columns.begin());
          break;
        }
      }
    }
    if (c.indexColumn >= 0) {
      const size_t width = c.columns.size();
      for (int32_t i = 0; i < c.candidates; ++i) {
        const CorrelatedValues::Cell& cell =
            c.cells[static_cast<size_t>(i) * width + c.indexColumn];
        if (cell.offset < 0) continue;  // no value: equal to nothing
        TypedValue v{cell.type, cell.length, &c.arena[static_cast<size_t>(cell.offset)]};
        ValueConverter::EqualityKey key;
        if (Converter().KeyForEquality(v, &key) != ValueConverter::Equality::kKeyed) continue;
        if (key.number) {
          c.numberBuckets[key.real].push_back(i);
        } else {
          c.textBuckets[std::string(key.text, key.length)].push_back(i);
        }
      }
    }
  } catch (const std::bad_alloc&) {
    ReportNoMemory();
    return false;
  }
  correlated = std::move(made);
  return true;
}

const ParseNode* SelectionDriver::CorrelatedSubSelectValues(int16_t driverIndex,
                                                            const RowBinding* outer) {
  if (correlated == nullptr) return nullptr;
  CorrelatedValues& c = *correlated;
  try {
    std::vector<const TypedValue*> given(c.outers.size(), nullptr);
    std::string key;
    for (size_t o = 0; o < c.outers.size(); ++o) {
      given[o] = outer == nullptr ? nullptr : outer->Find(c.outers[o].reference);
      AppendRaw(given[o], &key);
    }
    // With the fast paths off, every enclosing row is decided over every
    // candidate, which the differential tests compare with the cache and
    // the index.
    const bool fast = FastPathsOn();
    auto found = fast ? c.cache.find(key) : c.cache.end();
    if (found != c.cache.end()) return found->second.get();

    // The candidates an enclosing row with these values can keep: those of
    // its bucket when the equality index applies, else all of them.
    const std::vector<int32_t>* bucket = nullptr;
    bool none = false;
    if (fast && c.indexColumn >= 0) {
      const TypedValue* probe = given[static_cast<size_t>(c.indexOuter)];
      ValueConverter::EqualityKey k;
      ValueConverter::Equality e = probe == nullptr || probe->bytes == nullptr
                                       ? ValueConverter::Equality::kNeverEqual
                                       : Converter().KeyForEquality(*probe, &k);
      if (e == ValueConverter::Equality::kNeverEqual) {
        none = true;
      } else if (e == ValueConverter::Equality::kKeyed) {
        if (k.number) {
          auto b = c.numberBuckets.find(k.real);
          if (b == c.numberBuckets.end())
            none = true;
          else
            bucket = &b->second;
        } else {
          auto b = c.textBuckets.find(std::string(k.text, k.length));
          if (b == c.textBuckets.end())
            none = true;
          else
            bucket = &b->second;
        }
      }
    }

    ParseNodePtr list(NewValueListHead());
    if (list == nullptr) {
      ReportNoMemory();
      return nullptr;
    }
    ParseNode* last = list.get();
    Column* valueColumn = nullptr;
    for (int16_t i = 0; i < columns->Count() && valueColumn == nullptr; ++i) {
      Column* column = columns->GetAs<Column>(i);
      if (column != nullptr && !column->IsComposite()) valueColumn = column;
    }
    std::string valueReference =
        valueColumn == nullptr ? std::string()
                               : std::string(valueColumn->tableName()) + "/" + valueColumn->name();
    RowBinding binding;
    BoundLeaves leaves(evaluator, driverIndex, &binding);
    std::vector<int32_t> kept;  // an aggregating sub-select's rows
    const size_t width = c.columns.size();
    const int32_t total = none                ? 0
                          : bucket != nullptr ? static_cast<int32_t>(bucket->size())
                                              : c.candidates;
    for (int32_t n = 0; n < total; ++n) {
      const int32_t i = bucket != nullptr ? (*bucket)[static_cast<size_t>(n)] : n;
      binding.Clear();
      for (size_t col = 0; col < width; ++col) {
        const CorrelatedValues::Cell& cell = c.cells[static_cast<size_t>(i) * width + col];
        TypedValue v;
        if (cell.offset >= 0)
          v = TypedValue{cell.type, cell.length, &c.arena[static_cast<size_t>(cell.offset)]};
        if (!binding.Bind(c.columns[col]->tableName(), c.columns[col]->name(), v)) {
          ReportNoMemory();
          return nullptr;
        }
      }
      for (size_t o = 0; o < c.outers.size(); ++o) {
        TypedValue v;
        if (given[o] != nullptr) v = *given[o];
        if (!binding.Bind(c.outers[o].table.c_str(), c.outers[o].column.c_str(), v)) {
          ReportNoMemory();
          return nullptr;
        }
      }
      if (where != nullptr) {
        TreeTruth truth = TreeHolds(where, leaves);
        if (truth == TreeTruth::kFailed) {
          if (!HasError(request)) ReportNoMemory();
          return nullptr;
        }
        if (truth == TreeTruth::kFalse) continue;
      }
      if (Aggregating()) {
        kept.push_back(i);
        continue;
      }
      const TypedValue* shown =
          valueColumn == nullptr ? nullptr : binding.Find(valueReference.c_str());
      if (!ListShownValue(list.get(), &last, shown, distinct == kDistinct)) {
        ReportNoMemory();
        return nullptr;
      }
      ++c.cachedValues;
    }
    if (Aggregating()) {
      ParseNode* grouped = GroupCandidates(kept);
      if (grouped == nullptr) return nullptr;
      list.reset(grouped);
    }
    if (c.cachedValues > kMaxCachedValues) {
      c.cache.clear();
      c.cachedValues = 0;
    }
    ++c.cachedValues;  // an empty list still takes room
    ParseNodePtr& slot = c.cache[key];
    slot = std::move(list);
    return slot.get();
  } catch (const std::bad_alloc&) {
    ReportNoMemory();
    return nullptr;
  }
}

ParseNode* SelectionDriver::GroupCandidates(const std::vector<int32_t>& kept) {
  CorrelatedValues& c = *correlated;
  // What the tables' buffers hold now: the enclosing SELECT may be on a
  // row of the same tables.
  std::string saved;
  for (int16_t t = 0; t < tables.Count(); ++t) {
    const Table* table = tables.GetAs<Table>(t);
    if (table->rowBuffer() != nullptr) {
      saved.append(reinterpret_cast<const char*>(table->rowBuffer()), table->rowSize());
    } else {
      saved.append(table->rowSize(), '\0');
    }
  }
  auto put = [&](const char* images) {
    size_t at = 0;
    for (int16_t t = 0; t < tables.Count(); ++t) {
      Table* table = tables.GetAs<Table>(t);
      if (table->rowBuffer() != nullptr)
        std::memcpy(table->rowBuffer(), images + at, table->rowSize());
      at += table->rowSize();
    }
  };
  grouping_.reset(new (std::nothrow) Grouping(groupColumns, &aggregates, &tables));
  bool ok = grouping_ != nullptr;
  for (size_t n = 0; ok && n < kept.size(); ++n) {
    put(c.images.data() + static_cast<size_t>(kept[n]) * c.imageWidth);
    ok = grouping_->Take();
  }
  ParseNode* values = ok ? GroupValueList() : nullptr;
  if (!ok) ReportNoMemory();
  grouping_.reset();
  // The enclosing row back in the buffers, and in the values its columns
  // extracted from them, which its condition may still be reading.
  put(saved.data());
  for (int16_t t = 0; t < tables.Count(); ++t) {
    Table* table = tables.GetAs<Table>(t);
    for (int16_t i = 0; i < table->ColumnCount(); ++i) {
      Column* column = table->ColumnAt(i);
      if (column != nullptr) (void)column->GetValue();
    }
  }
  return values;
}

}  // namespace zksql
