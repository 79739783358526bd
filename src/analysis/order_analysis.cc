// Analysis of the ORDER BY list: each name becomes a key on a column of the
// result (SelectionPlan::orderKeys).
//
// A name is, in this order: the alias of a select item ("X AS N"); a result
// column; any other column of the SELECT's FROM tables, which is then read
// with every row for the sort alone (a hidden column, appended to the
// driver's columns after the visible ones and dropped once the rows are
// sorted). A name that is none of them is an unknown column. The rows of a
// set operation are combined from two results, which have no hidden
// columns, so there only aliases and result columns of the first SELECT
// order them.
#include <cstring>
#include <new>

#include "analysis/analyser.h"
#include "base/messages.h"
#include "base/statement_context.h"
#include "select/selection_driver.h"
#include "select/selection_plan.h"
#include "sql/rule_codes.h"
#include "sql/token_codes.h"
#include "storage/column.h"
#include "storage/table.h"
#include "values/text_utils.h"

namespace zksql {
namespace {

// The select items of a SELECT (its FON_SOUS_SELECT node): the first
// FON_SELECTION_ITEM, or null for "*".
ParseNode* FirstSelectItem(const ParseNode* subSelect) {
  ParseNode* selected = subSelect == nullptr ? nullptr : subSelect->child;
  ParseNode* first = selected == nullptr ? nullptr : selected->child;
  if (first == nullptr || first->code == LEX_ETOILE) return nullptr;
  ParseNode* items = first->code == FON_SELECTION_ITEM_VIRGULE_LISTE ? first : first->next;
  return items == nullptr ? nullptr : items->child;
}

// Whether a SELECT's rows may carry hidden ORDER BY columns. A SELECT that
// groups (an aggregate in its select list, GROUP BY or HAVING) makes one row
// per group, for which a column outside the groups has no single value.
bool TakesHiddenColumns(const ParseNode* subSelect) {
  const ParseNode* selected = subSelect == nullptr ? nullptr : subSelect->child;
  const ParseNode* from = selected == nullptr ? nullptr : selected->next;
  if (from == nullptr) return false;
  // After the WHERE clause, the only clauses are GROUP BY and HAVING.
  const ParseNode* after = from->next;
  if (after != nullptr && after->code == FON_CONDITION_RECHERCHE) after = after->next;
  if (after != nullptr) return false;
  return selected->child == nullptr ||
         selected->child->FindNthByCode(FON_FONCTION_AGREGEE_REF, 1) == nullptr;
}

// Whether a column is the one a rewritten reference "FILE/COLUMN" names.
bool IsReferencedColumn(const Column* column, const char* reference) {
  const char* slash = std::strchr(reference, '/');
  if (column == nullptr || column->table() == nullptr || slash == nullptr) return false;
  const char* file = column->table()->fileName() == nullptr ? "" : column->table()->fileName();
  const char* name = column->name() == nullptr ? "" : column->name();
  size_t n = static_cast<size_t>(slash - reference);
  return std::strlen(file) == n && std::strncmp(file, reference, n) == 0 &&
         std::strcmp(name, slash + 1) == 0;
}

// The result column a select item shows: that of the first column its
// value reads (the analysis rewrote the reference). -1 when it reads none,
// as a literal: such an item orders nothing.
int16_t ItemColumn(const ParseNode* item, const PtrArray& columns, int16_t visible) {
  ParseNode* content = item->child == nullptr ? nullptr : item->child->child;
  ParseNode* reference =
      content == nullptr ? nullptr : content->FindNthByCode(LEX_IDENTIFICATEUR, 1);
  for (int16_t i = 0; reference != nullptr && i < visible; ++i) {
    if (IsReferencedColumn(columns.GetAs<Column>(i), reference->text)) return i;
  }
  return -1;
}

}  // namespace

bool Analyser::OrderList(ParseNode* list, const ParseNode* subSelect, int16_t driver,
                         bool combined) {
  SelectionDriver* d = plan_->Driver(driver);
  if (d == nullptr) {
    RecordMessage(request_, nullptr, kMsgInternalError, "ORDER BY");
    return false;
  }
  // A "*" list has its columns now, so that names are matched against them.
  if (!d->CollectColumns()) {
    RecordMessage(request_, nullptr, kMsgOutOfMemory);
    return false;
  }
  PtrArray& columns = *d->columns;
  const int16_t visible = columns.Count();
  const bool hidden = !combined && TakesHiddenColumns(subSelect);
  Column* last = nullptr;
  for (ParseNode* name = list->child; name != nullptr; name = name->next) {
    enum { kNone, kAlias, kColumn } found = kNone;
    int16_t at = -1;
    if (std::strchr(name->text, '.') == nullptr) {
      for (const ParseNode* item = FirstSelectItem(subSelect); item != nullptr && found == kNone;
           item = item->next) {
        const ParseNode* alias = item->child == nullptr ? nullptr : item->child->next;
        if (alias != nullptr && alias->code == LEX_IDENTIFICATEUR &&
            CompareNoCase(alias->text, name->text) == 0) {
          found = kAlias;
          at = ItemColumn(item, columns, visible);
        }
      }
    }
    for (int16_t i = 0; found == kNone && i < columns.Count(); ++i) {
      Column* column = columns.GetAs<Column>(i);
      if (column != nullptr && column->Compare(SearchKey{name->text, nullptr, 1}) == 0) {
        found = kColumn;
        at = i;
      }
    }
    if (found == kNone && hidden) {
      Column* column = d->FindColumn(name->text);
      // A composite key has no bytes of its own in a row, and a column
      // without a value form has no order.
      if (column != nullptr && column->IsComposite()) {
        ReportMessage(kMsgCompositeKeyColumn, column->name());
        return false;
      }
      if (column != nullptr && column->Kind() == kKindOther) {
        ReportMessage(kMsgTypeMismatch, name->text);
        return false;
      }
      for (int16_t i = 0; column != nullptr && at < 0 && i < columns.Count(); ++i) {
        if (columns.GetAs<Column>(i) == column) at = i;
      }
      if (column != nullptr && at < 0) {
        at = columns.Add(column);
        if (at < 0) {
          RecordMessage(request_, nullptr, kMsgOutOfMemory);
          return false;
        }
      }
      if (column != nullptr) found = kColumn;
    }
    if (found == kNone) {
      ReportMessage(kMsgUnknownColumn, name->text);
      return false;
    }
    last = at < 0 ? nullptr : columns.GetAs<Column>(at);
    try {
      if (at >= 0) plan_->orderKeys.push_back(OrderKey{at, name->value != 0});
    } catch (const std::bad_alloc&) {
      RecordMessage(request_, nullptr, kMsgOutOfMemory);
      return false;
    }
  }
  // The last key's column must have an order, as it always had to.
  if (last != nullptr && last->Kind() == kKindOther) {
    ReportMessage(kMsgTypeMismatch, last->name());
    return false;
  }
  if (columns.Count() > visible) d->visibleColumns = visible;
  return true;
}

}  // namespace zksql
