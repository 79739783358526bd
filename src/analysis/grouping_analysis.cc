// Analysis of aggregation: aggregate functions, the GROUP BY list, the
// HAVING clause, and the rule that an aggregating SELECT shows only what
// its groups have one value of.
//
// An aggregate stands only in the select list or the HAVING clause of its
// own SELECT, and never inside a function or another aggregate (4278
// names its keyword). Its argument is a column of the SELECT's tables; it
// is read by the grouping, never shown as a column of its own, and belongs
// to the SELECT's own tables. COUNT gives
// a number; SUM and AVG need a numeric column and give a number; MIN and
// MAX take any column with a value form and give its class. A column shown
// by an aggregating SELECT, or read by its HAVING clause outside an
// aggregate, must be in the GROUP BY list (4306 names it; "*" for a "*"
// list).
#include <algorithm>
#include <cstring>
#include <new>
#include <string>

#include "analysis/analyser.h"
#include "base/messages.h"
#include "base/statement_context.h"
#include "select/selection_driver.h"
#include "select/selection_plan.h"
#include "sql/rule_codes.h"
#include "sql/token_codes.h"
#include "storage/column.h"
#include "storage/file_table.h"
#include "values/text_utils.h"

namespace zksql {

namespace {

const char* FunctionName(int32_t code) {
  switch (code) {
    case LEX_AVG:
      return "AVG";
    case LEX_MAX:
      return "MAX";
    case LEX_MIN:
      return "MIN";
    case LEX_SUM:
      return "SUM";
    case LEX_COUNT_DISTINCT:
      return "COUNT DISTINCT";
    default:
      return "COUNT(*)";
  }
}

bool IsLiteral(int32_t code) {
  return code == LEX_ENTIER || code == LEX_ENTIER_SIGNE || code == LEX_NOMBRE_DECIMAL ||
         code == LEX_REEL || code == LEX_CHAINE;
}

// Whether `column` belongs to one of the driver's FROM tables (an alias
// reads its base table's columns). An aggregate over a column of an
// enclosing SELECT would be read from whatever row that SELECT is on.
bool OwnColumn(const SelectionDriver& d, const Column* column) {
  for (int16_t t = 0; t < d.tables.Count(); ++t) {
    const Table* table = d.tables.GetAs<Table>(t);
    const FileTable* file = table == nullptr ? nullptr : table->AsFile();
    if (table == column->table() || (file != nullptr && file->base() == column->table())) {
      return true;
    }
  }
  return false;
}

bool Grouped(const SelectionDriver& d, const Column* column) {
  for (const Column* c : d.groupColumns) {
    if (c == column) return true;
  }
  return false;
}

}  // namespace

int16_t Analyser::Aggregate(ParseNode* function, int16_t nested, int16_t driver) {
  ParseNode* keyword = function->child;
  SelectionDriver* d = plan_->Driver(driver);
  if (keyword == nullptr || d == nullptr) {
    ReportRejected(function->text);
    return kClassFailed;
  }
  if (nested || functionDepth_ > 0 || aggregateDriver_ != driver) {
    ReportMessage(kMsgAggregateMisplaced, keyword->text);
    return kClassFailed;
  }
  AggregateSpec definition;
  definition.function = keyword->code;
  definition.node = function;
  int16_t type = kClassNumeric;
  switch (keyword->code) {
    case LEX_COUNT_ETOILE:
    case LEX_COUNT_DISTINCT:
      break;
    case LEX_AVG:
    case LEX_MAX:
    case LEX_MIN:
    case LEX_SUM: {
      ParseNode* argument = keyword->next;
      int32_t quantifier = LEX_ALL;
      if (argument != nullptr && (argument->code == LEX_DISTINCT || argument->code == LEX_ALL)) {
        quantifier = argument->code;
        argument = argument->next;
      }
      ParseNode* content = argument == nullptr ? nullptr : argument->child;
      if (content == nullptr) {
        ReportRejected(keyword->text);
        return kClassFailed;
      }
      argument->value = quantifier;
      if (IsLiteral(content->code)) {
        ReportMessage(kMsgColumnExpected, content->text);
        return kClassFailed;
      }
      if (content->code != LEX_IDENTIFICATEUR) {
        // The argument is read from the rows as a column; a computed or
        // aggregated argument has no column to read.
        ReportMessage(kMsgAggregateMisplaced, keyword->text);
        return kClassFailed;
      }
      Column* column = plan_->ResolveColumn(driver, content->text);
      if (column == nullptr) {
        ReportMessage(kMsgUnknownColumn, content->text);
        return kClassFailed;
      }
      if (column->IsComposite()) {
        ReportMessage(kMsgCompositeKeyColumn, column->name());
        return kClassFailed;
      }
      if (!OwnColumn(*d, column)) {
        ReportMessage(kMsgAggregateMisplaced, keyword->text);
        return kClassFailed;
      }
      int16_t kind = column->Kind();
      if (kind < kKindNumber || kind > kKindTime) {
        ReportMessage(kMsgTypeMismatch, content->text);
        return kClassFailed;
      }
      bool numeric = kind == kKindNumber;
      if ((keyword->code == LEX_SUM || keyword->code == LEX_AVG) && !numeric) {
        ReportMessage(kMsgTypeMismatch, argument->text);
        return kClassFailed;
      }
      if (keyword->code == LEX_MIN || keyword->code == LEX_MAX) {
        type = numeric ? kClassNumeric : kClassText;
      }
      definition.argument = column;
      definition.distinct = quantifier == LEX_DISTINCT;
      break;
    }
    default:
      ReportRejected(keyword->text);
      return kClassFailed;
  }
  try {
    d->aggregates.push_back(definition);
  } catch (const std::bad_alloc&) {
    RecordMessage(request_, nullptr, kMsgOutOfMemory);
    return kClassFailed;
  }
  return type;
}

bool Analyser::AddOutput(ParseNode* item, int16_t driver, const PtrArray* columns,
                         int16_t firstColumn, size_t firstAggregate) {
  SelectionDriver* d = plan_->Driver(driver);
  if (d == nullptr) return false;
  const ParseNode* value = item->child;
  const ParseNode* content = value == nullptr ? nullptr : value->child;
  const ParseNode* alias = value == nullptr ? nullptr : value->next;
  if (alias != nullptr && alias->code != LEX_IDENTIFICATEUR) alias = nullptr;
  try {
    if (content != nullptr && content->code == FON_FONCTION_AGREGEE_REF &&
        d->aggregates.size() > firstAggregate) {
      SelectItem out;
      out.kind = SelectItem::Kind::kAggregate;
      out.aggregate = static_cast<int32_t>(firstAggregate);
      const AggregateSpec& definition = d->aggregates[firstAggregate];
      if (alias != nullptr) {
        out.name = alias->text;
      } else if (definition.argument == nullptr) {
        out.name = FunctionName(definition.function);
      } else {
        out.name = std::string(FunctionName(definition.function)) + "(" +
                   (definition.distinct ? "DISTINCT " : "") + definition.argument->name() + ")";
      }
      d->outputs.push_back(std::move(out));
      return true;
    }
    int16_t added = static_cast<int16_t>(columns->Count() - firstColumn);
    if (added <= 0) {
      d->outputs.push_back(SelectItem{});
      return true;
    }
    for (int16_t i = firstColumn; i < columns->Count(); ++i) {
      SelectItem out;
      out.kind = SelectItem::Kind::kColumn;
      out.column = columns->GetAs<Column>(i);
      const char* name = out.column == nullptr ? nullptr : out.column->name();
      out.name = alias != nullptr && added == 1 ? alias->text : (name == nullptr ? "" : name);
      d->outputs.push_back(std::move(out));
    }
  } catch (const std::bad_alloc&) {
    RecordMessage(request_, nullptr, kMsgOutOfMemory);
    return false;
  }
  return true;
}

bool Analyser::Grouping(ParseNode* group, ParseNode* having, int16_t driver) {
  SelectionDriver* d = plan_->Driver(driver);
  if (d == nullptr) return false;
  if (group != nullptr) {
    if (!ColumnList(group, driver)) return false;
    d->grouped = true;
    for (ParseNode* name = group->child; name != nullptr; name = name->next) {
      Column* column = plan_->ResolveColumn(driver, name->text);
      if (column == nullptr || column->IsComposite()) {
        ReportMessage(column == nullptr ? kMsgUnknownColumn : kMsgCompositeKeyColumn, name->text);
        return false;
      }
      try {
        if (!Grouped(*d, column)) d->groupColumns.push_back(column);
      } catch (const std::bad_alloc&) {
        RecordMessage(request_, nullptr, kMsgOutOfMemory);
        return false;
      }
    }
  }
  size_t firstHavingColumn = havingColumns_.size();
  if (having != nullptr) {
    int16_t savedAggregate = aggregateDriver_;
    int16_t savedHaving = havingDriver_;
    aggregateDriver_ = driver;
    havingDriver_ = driver;
    ParseNodePtr tree;
    int16_t logical = 0;
    int16_t type = Condition(having, 0, &logical, &tree, driver);
    aggregateDriver_ = savedAggregate;
    havingDriver_ = savedHaving;
    if (type == kClassFailed) {
      SelectionDriver::DropConditionTree(tree.release());
      return false;
    }
    d->having.reset(tree.release());
  }
  if (!d->Aggregating()) return true;
  if (d->columns == nullptr) {
    ReportMessage(kMsgNotGrouped, "*");
    return false;
  }
  for (const SelectItem& item : d->outputs) {
    if (item.kind == SelectItem::Kind::kColumn && !Grouped(*d, item.column)) {
      ReportMessage(kMsgNotGrouped, item.column == nullptr ? "" : item.column->name());
      return false;
    }
  }
  for (size_t i = firstHavingColumn; i < havingColumns_.size(); ++i) {
    if (havingColumns_[i].first == driver && !Grouped(*d, havingColumns_[i].second)) {
      ReportMessage(kMsgNotGrouped, havingColumns_[i].second->name());
      return false;
    }
  }
  return true;
}

bool Analyser::GroupedOrderList(ParseNode* list, int16_t driver) {
  // The rows are the groups' output rows, one column per shown item: a key
  // names one of them by its alias or its name.
  SelectionDriver* d = plan_->Driver(driver);
  if (d == nullptr) return false;
  for (ParseNode* name = list->child; name != nullptr; name = name->next) {
    // A name with a table part ("T.X") names a shown column of that table.
    const Column* named = name->text != nullptr && std::strchr(name->text, '.') != nullptr
                              ? plan_->ResolveColumn(driver, name->text)
                              : nullptr;
    int16_t at = -1;
    int16_t position = 0;
    for (const SelectItem& item : d->outputs) {
      if (item.kind == SelectItem::Kind::kNone) continue;
      const bool matches =
          named != nullptr
              ? item.kind == SelectItem::Kind::kColumn && item.column == named
              : name->text != nullptr && CompareNoCase(item.name.c_str(), name->text) == 0;
      if (at < 0 && matches) at = position;
      ++position;
    }
    // A GROUP BY column that is not shown is read with each group for the
    // sort alone, and dropped once the rows are sorted; not under DISTINCT,
    // which compares whole rows.
    int16_t owner = -1;
    Column* grouped = at >= 0 || name->text == nullptr || d->distinct == SelectionDriver::kDistinct
                          ? nullptr
                          : plan_->ResolveColumn(driver, name->text, &owner);
    if (grouped != nullptr && owner == driver &&
        std::find(d->groupColumns.begin(), d->groupColumns.end(), grouped) !=
            d->groupColumns.end()) {
      try {
        if (d->visibleColumns < 0) d->visibleColumns = position;
        SelectItem hidden;
        hidden.kind = SelectItem::Kind::kColumn;
        hidden.column = grouped;
        hidden.name = grouped->name() == nullptr ? "" : grouped->name();
        d->outputs.push_back(std::move(hidden));
      } catch (const std::bad_alloc&) {
        RecordMessage(request_, nullptr, kMsgOutOfMemory);
        return false;
      }
      at = position;
    }
    if (at < 0) {
      ReportMessage(kMsgUnknownColumn, name->text);
      return false;
    }
    try {
      plan_->orderKeys.push_back(OrderKey{at, name->value != 0});
    } catch (const std::bad_alloc&) {
      RecordMessage(request_, nullptr, kMsgOutOfMemory);
      return false;
    }
  }
  return true;
}

}  // namespace zksql
