// SelectionDriver: what is done with `rows` once the selection computed
// it — the in-memory result table, the value list of a sub-select, and
// UPDATE or DELETE of the selected records. An aggregating driver's rows go
// into its grouping instead, and its result rows and values are made from
// the groups.
//
// All three read each tuple's records back by number. A read that comes
// back with another record than the one asked for (the engine steps over a
// record deleted meanwhile) is not that tuple's record: the tuple is
// skipped rather than showing, updating or deleting a different record.
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <utility>

#include "base/messages.h"
#include "base/statement_context.h"
#include "select/condition_evaluator.h"
#include "select/condition_truth.h"
#include "select/grouping.h"
#include "select/row_set.h"
#include "select/selection_driver.h"
#include "sql/token_codes.h"
#include "sql/value_list.h"
#include "storage/column.h"
#include "storage/dict_context.h"
#include "storage/result_table.h"
#include "values/value_converter.h"

namespace zksql {

// For a select list "*": every column of the FROM tables, in order, once
// per name.
bool SelectionDriver::CollectColumns() {
  if (columns != nullptr) return true;
  ColumnArrayPtr collected(new (std::nothrow) PtrArray(0, 4));
  if (collected == nullptr) return false;
  for (int16_t t = 0; t < tables.Count(); ++t) {
    Table* table = tables.GetAs<Table>(t);
    for (int16_t i = 0; table != nullptr && i < table->ColumnCount(); ++i) {
      Column* column = table->ColumnAt(i);
      if (column == nullptr) continue;
      SearchKey key;
      key.name = column->name();
      if (collected->Find(0, key) >= 0) continue;
      if (collected->Add(column) < 0) return false;
    }
  }
  columns = std::move(collected);
  return true;
}

// Reads the records of tuple k into the FROM tables' row buffers. False on
// failure (reported); *skip set when a record is no longer there.
bool SelectionDriver::ReadTuple(int32_t k, int16_t* skip) {
  *skip = 0;
  for (int16_t t = 0; t < tables.Count(); ++t) {
    Table* table = tables.GetAs<Table>(t);
    if (table == nullptr) continue;
    int32_t number =
        rows->tuples->ValueOf(k, table->fileName() == nullptr ? "" : table->fileName());
    if (number < 0) {
      Report(kMissingDataText);
      return false;
    }
    int32_t r = table->ReadByNumber(number);
    if (r < 0) {
      ReportReadError(table, r);
      return false;
    }
    if (r != number) *skip = 1;
  }
  return true;
}

ResultTable* SelectionDriver::PrepareResult(DictContext* dict) {
  if (dict == nullptr && request != nullptr) dict = request->dict.get();
  if (dict == nullptr || !CollectColumns()) {
    ReportNoMemory();
    return nullptr;
  }
  ResultTable* res = dict->CreateResultTable();
  if (res == nullptr) {
    ReportNoMemory();
    return nullptr;
  }
  if (Aggregating()) {
    // The rows go into groups; the table gets its columns when they are
    // made into rows, since SUM's type depends on the sums.
    grouping_.reset(new (std::nothrow) Grouping(groupColumns, &aggregates, &tables));
    if (grouping_ == nullptr) {
      ReportNoMemory();
      return nullptr;
    }
    result = res;
    return res;
  }
  // Result columns carry the source's storage type, size and key kind, so
  // that copying, extraction and the column description work as for the
  // source. A composite key has no bytes of its own: it takes the current
  // offset without advancing it, so every later column stays inside the
  // row.
  uint32_t offset = 1;
  for (int16_t i = 0; i < columns->Count(); ++i) {
    // DISTINCT compares the columns shown: the first row of each distinct
    // visible value keeps its ORDER BY keys.
    if (i == visibleColumns) res->SetDistinctBytes(static_cast<uint16_t>(offset));
    Column* source = columns->GetAs<Column>(i);
    if (source == nullptr) continue;
    std::unique_ptr<Column> column(
        new (std::nothrow) Column(source->name(), source->type(), source->size(), source->keyKind(),
                                  static_cast<uint16_t>(offset), res, source->tableName()));
    if (column == nullptr || !res->AddColumn(column.get())) {
      ReportNoMemory();
      return nullptr;
    }
    column.release();  // the result table holds it
    if (!source->IsComposite()) offset += source->size();
    if (offset > 65535) {
      // The row would not fit a row size.
      ReportNoMemory();
      return nullptr;
    }
  }
  // A select list that yields no column still makes rows: a one-byte row
  // (byte 0 precedes every item) per qualifying tuple, so that an
  // in-memory table never has a zero row size.
  if (!res->SetRowSize(static_cast<uint16_t>(offset), true)) {
    ReportNoMemory();
    return nullptr;
  }
  result = res;
  return res;
}

bool SelectionDriver::AddResultRow() {
  if (grouping_ != nullptr) {
    if (grouping_->Take()) return true;
    ReportNoMemory();
    return false;
  }
  ResultTable* res = result;
  std::memset(res->rowBuffer(), 0, res->rowSize());
  for (int16_t i = 0; i < columns->Count() && i < res->ColumnCount(); ++i) {
    Column* source = columns->GetAs<Column>(i);
    if (source != nullptr) res->ColumnAt(i)->CopyValue(*source);
  }
  if (distinct == kDistinct && res->ContainsRow()) return true;
  if (res->Write(0) != kWriteDone) {
    ReportNoMemory();
    return false;
  }
  return true;
}

bool SelectionDriver::StartStreaming() {
  streamed_ = false;
  if (streamInto_ == nullptr || tables.Count() != 1) return true;
  if (PrepareResult(streamInto_) == nullptr) return false;
  streamed_ = true;
  return true;
}

ResultTable* SelectionDriver::BuildResult(DictContext* dict) {
  // Rows added while they were selected are the result already.
  if (streamed_) return grouping_ != nullptr ? FinishGrouping() : result;
  if (rows == nullptr || rows->tuples == nullptr) return nullptr;
  ResultTable* res = PrepareResult(dict);
  if (res == nullptr) return nullptr;
  const int32_t count = rows->tuples->TupleCount();
  for (int32_t k = 1; k <= count; ++k) {
    int16_t skip = 0;
    if (!ReadTuple(k, &skip)) return nullptr;
    if (skip) continue;
    if (!AddResultRow()) {
      if (grouping_ != nullptr) return nullptr;
      break;
    }
  }
  if (grouping_ != nullptr) return FinishGrouping();
  return res;
}

namespace {

// A HAVING leaf decided over the binding of one group.
class GroupLeaves : public LeafTruth {
 public:
  GroupLeaves(ConditionEvaluator* evaluator, int16_t driverIndex, const RowBinding* binding)
      : evaluator_(evaluator), driverIndex_(driverIndex), binding_(binding) {}
  bool Decide(const ParseNode*, RowSet* rows, bool* holds) override {
    if (rows == nullptr || evaluator_ == nullptr) return false;
    *holds = evaluator_->EvaluateCondition(driverIndex_, rows->condition, binding_, rows->negated);
    return true;
  }

 private:
  ConditionEvaluator* evaluator_;
  int16_t driverIndex_;
  const RowBinding* binding_;
};

bool IsCount(int32_t function) {
  return function == LEX_COUNT_ETOILE || function == LEX_COUNT_DISTINCT;
}

}  // namespace

bool SelectionDriver::GroupPasses(size_t g, bool* keep) {
  if (having == nullptr) {
    *keep = true;
    return true;
  }
  RowBinding binding;
  std::vector<OwnedValue> held;
  if (!grouping_->Bind(g, &binding, &held)) {
    ReportNoMemory();
    return false;
  }
  GroupLeaves leaves(evaluator, selfIndex, &binding);
  TreeTruth truth = TreeHolds(having.get(), leaves);
  if (truth == TreeTruth::kFailed) {
    if (!HasError(request)) RecordMessage(request, nullptr, kMsgInternalError, "HAVING");
    return false;
  }
  *keep = truth == TreeTruth::kTrue;
  return true;
}

ResultTable* SelectionDriver::FinishGrouping() {
  ResultTable* res = result;
  if (res == nullptr || !grouping_->Finish()) {
    ReportNoMemory();
    return nullptr;
  }
  const size_t groupCount = grouping_->GroupCount();
  std::vector<bool> kept(groupCount, false);
  for (size_t g = 0; g < groupCount; ++g) {
    bool keep = false;
    if (!GroupPasses(g, &keep)) return nullptr;
    kept[g] = keep;
  }
  // One column per item that shows something. A group column and MIN and
  // MAX keep the source column's type and stored bytes; COUNT is a 32-bit
  // integer, AVG a real, and SUM an integer when it sums whole numbers and
  // every kept group's sum fits one, else a real.
  uint32_t offset = 1;
  std::vector<int16_t> columnOf(outputs.size(), -1);
  for (size_t i = 0; i < outputs.size(); ++i) {
    const SelectItem& item = outputs[i];
    if (item.kind == SelectItem::Kind::kNone) continue;
    uint16_t type = kTypeReal;
    uint16_t size = 8;
    uint8_t keyKind = 0;
    const char* tableName = "";
    Column* source = item.kind == SelectItem::Kind::kColumn ? item.column : nullptr;
    if (item.kind == SelectItem::Kind::kAggregate) {
      const AggregateSpec& definition = aggregates[static_cast<size_t>(item.aggregate)];
      if (IsCount(definition.function)) {
        type = kTypeInt32;
        size = 4;
      } else if (definition.function == LEX_SUM) {
        bool whole = true;
        for (size_t g = 0; g < groupCount && whole; ++g) {
          if (kept[g])
            whole = grouping_->Aggregate(g, static_cast<size_t>(item.aggregate)).SumIsWhole();
        }
        if (whole) {
          type = kTypeInt32;
          size = 4;
        }
      } else if (definition.function != LEX_AVG) {
        source = definition.argument;
      }
    }
    if (source != nullptr) {
      type = source->type();
      size = source->size();
      keyKind = item.kind == SelectItem::Kind::kColumn ? source->keyKind() : 0;
      tableName = source->tableName();
    }
    std::unique_ptr<Column> column(new (std::nothrow) Column(
        item.name.c_str(), type, size, keyKind, static_cast<uint16_t>(offset), res, tableName));
    if (column == nullptr || !res->AddColumn(column.get())) {
      ReportNoMemory();
      return nullptr;
    }
    column.release();  // the result table holds it
    columnOf[i] = static_cast<int16_t>(res->ColumnCount() - 1);
    offset += size;
    if (offset > 65535) {
      ReportNoMemory();
      return nullptr;
    }
  }
  if (!res->SetRowSize(static_cast<uint16_t>(offset), true)) {
    ReportNoMemory();
    return nullptr;
  }
  for (size_t g = 0; g < groupCount; ++g) {
    if (!kept[g]) continue;
    std::memset(res->rowBuffer(), 0, res->rowSize());
    for (size_t i = 0; i < outputs.size(); ++i) {
      if (columnOf[i] < 0) continue;
      const SelectItem& item = outputs[i];
      Column* column = res->ColumnAt(columnOf[i]);
      const std::string* field = nullptr;
      if (item.kind == SelectItem::Kind::kColumn) {
        int k = grouping_->KeyIndex(item.column);
        if (k >= 0) field = &grouping_->KeyField(g, static_cast<size_t>(k));
      } else {
        const AggregateAccumulator& a =
            grouping_->Aggregate(g, static_cast<size_t>(item.aggregate));
        int32_t function = a.definition().function;
        if (function == LEX_MIN || function == LEX_MAX) {
          field = &a.keptField();
        } else {
          double x = IsCount(function) ? static_cast<double>(a.count()) : a.sum();
          if (function == LEX_AVG)
            x = a.count() == 0 ? 0 : a.sum() / static_cast<double>(a.count());
          column->SetValue(&x);
        }
      }
      unsigned char* to = column->FieldAddress();
      if (field != nullptr && to != nullptr) {
        std::memcpy(to, field->data(),
                    field->size() < column->size() ? field->size() : column->size());
      }
    }
    if (distinct == kDistinct && res->ContainsRow()) continue;
    if (res->Write(0) != kWriteDone) {
      ReportNoMemory();
      return nullptr;
    }
  }
  grouping_.reset();
  return res;
}

// The values are taken from each selected tuple's own records rather than
// from result row i: DISTINCT drops result rows, after which row i no
// longer belongs to tuple i. Under DISTINCT equal values are listed once.
ParseNode* SelectionDriver::SubSelectValues() {
  if (Aggregating()) return GroupedValues();
  ParseNodePtr list(NewValueListHead());
  ParseNode* head = list.get();
  if (head == nullptr) {
    ReportNoMemory();
    return nullptr;
  }
  if (rows == nullptr || rows->tuples == nullptr) return list.release();
  if (!CollectColumns()) {
    ReportNoMemory();
    return nullptr;
  }
  Column* valueColumn = nullptr;
  for (int16_t i = 0; i < columns->Count() && valueColumn == nullptr; ++i) {
    Column* c = columns->GetAs<Column>(i);
    if (c != nullptr && !c->IsComposite()) valueColumn = c;
  }
  ParseNode* last = head;
  const int32_t count = rows->tuples->TupleCount();
  for (int32_t k = 1; k <= count; ++k) {
    int16_t skip = 0;
    if (!ReadTuple(k, &skip)) return nullptr;
    if (skip) continue;
    // A row whose first column has no value of its own (a composite key
    // only) still counts for EXISTS and UNIQUE: it is listed as an empty text.
    TypedValue shown;
    if (valueColumn != nullptr) {
      shown.bytes = static_cast<char*>(valueColumn->GetValue());
      int32_t length = shown.bytes == nullptr ? 0 : valueColumn->ValueLength();
      shown.type = valueColumn->ValueType();
      shown.length = static_cast<uint16_t>(length > 0 && length <= 65535 ? length : 0);
    }
    if (!ListShownValue(head, &last, &shown, distinct == kDistinct)) {
      ReportNoMemory();
      return nullptr;
    }
  }
  return list.release();
}

// Under DISTINCT equal values are listed once. An aggregate without rows
// (MIN, MAX, SUM or AVG of no row) is left out, so that no value compares
// with it, where its absent value would; under EXISTS or UNIQUE, which
// count rows, its row is listed with an empty text.
ParseNode* SelectionDriver::GroupedValues() {
  ParseNodePtr list(NewValueListHead());
  ParseNode* head = list.get();
  if (head == nullptr) {
    ReportNoMemory();
    return nullptr;
  }
  if (rows == nullptr || rows->tuples == nullptr) return list.release();
  grouping_.reset(new (std::nothrow) Grouping(groupColumns, &aggregates, &tables));
  if (grouping_ == nullptr) {
    ReportNoMemory();
    return nullptr;
  }
  const int32_t count = rows->tuples->TupleCount();
  for (int32_t k = 1; k <= count; ++k) {
    int16_t skip = 0;
    if (!ReadTuple(k, &skip)) return nullptr;
    if (skip) continue;
    if (!AddResultRow()) return nullptr;
  }
  return GroupValueList();
}

ParseNode* SelectionDriver::GroupValueList() {
  ParseNodePtr list(NewValueListHead());
  ParseNode* head = list.get();
  if (head == nullptr || grouping_ == nullptr) {
    ReportNoMemory();
    return nullptr;
  }
  if (!grouping_->Finish()) {
    ReportNoMemory();
    return nullptr;
  }
  const SelectItem* first = outputs.empty() ? nullptr : &outputs.front();
  ParseNode* last = head;
  for (size_t g = 0; g < grouping_->GroupCount(); ++g) {
    bool keep = false;
    if (!GroupPasses(g, &keep)) return nullptr;
    if (!keep) continue;
    OwnedValue value;
    bool made = false;
    if (first != nullptr && first->kind == SelectItem::Kind::kAggregate) {
      const AggregateAccumulator& a =
          grouping_->Aggregate(g, static_cast<size_t>(first->aggregate));
      if (a.count() == 0 && !IsCount(a.definition().function)) {
        if (!countsRows) continue;
        made = MakeTextValue(kValueText, "", value.Receive());
      } else {
        made = a.Value(&value);
      }
    } else if (first != nullptr && first->kind == SelectItem::Kind::kColumn &&
               grouping_->KeyIndex(first->column) >= 0) {
      const OwnedValue& key =
          grouping_->KeyValue(g, static_cast<size_t>(grouping_->KeyIndex(first->column)));
      made = key.has_value() ? CopyValue(key.view(), &value)
                             : MakeTextValue(kValueText, "", value.Receive());
    } else {
      // A literal shows nothing: the group still counts for EXISTS.
      made = MakeTextValue(kValueText, "", value.Receive());
    }
    if (!made) {
      ReportNoMemory();
      return nullptr;
    }
    if (distinct == kDistinct && ListHoldsValue(head, value.view())) continue;
    TypedValue raw = value.Release();
    ValueNode* added = AppendOwnedValue(last, &raw);
    if (added == nullptr) {
      ReportNoMemory();
      return nullptr;
    }
    last = added;
  }
  grouping_.reset();
  return list.release();
}

bool SelectionDriver::ApplyToRows(ParseNode* assignments, ValueAssigner* assigner) {
  ParseNodePtr owned(assignments);  // the list goes when this returns
  if (rows == nullptr || rows->tuples == nullptr) return true;
  Table* table = tables.Count() > 0 ? tables.GetAs<Table>(0) : nullptr;
  if (table == nullptr) return false;
  const char* name = table->fileName() == nullptr ? "" : table->fileName();
  const int32_t count = rows->tuples->TupleCount();
  for (int32_t k = 1; k <= count; ++k) {
    int32_t number = rows->tuples->ValueOf(k, name);
    if (number < 0) {
      Report(kMissingDataText);
      return false;
    }
    int32_t r = table->ReadByNumber(number);
    if (r < 0) {
      ReportReadError(table, r);
      return false;
    }
    if (r != number) continue;  // gone: never touch another record
    int16_t w;
    if (assignments != nullptr) {
      if (!table->SetColumns(assignments, assigner)) {
        Report(kUpdateValuesText);
        return false;
      }
      w = table->Write(r);
    } else {
      w = table->Write(-1);
    }
    if (w != kWriteDone) {
      // A duplicate key is an integrity violation ("23000") on UPDATE as on
      // INSERT; a refusal without text still fails, with the file named.
      const char* text = table->errorText();
      if (text == nullptr || text[0] == '\0') {
        ReportReadError(table, table->lastError() != 0 ? -table->lastError() : 1);
      } else {
        RecordError(request, text, w == kWriteDuplicate ? "23000" : nullptr);
      }
      return false;
    }
  }
  return true;
}

}  // namespace zksql
