// Analysis of SELECT statements: one selection driver per SELECT level,
// the FROM tables, the select list, the GROUP BY list, and
// column references resolved through the enclosing SELECTs and rewritten to
// TABLE/COLUMN. Conditions are analysed in condition_analysis.cc, which
// calls back here for every sub-select it meets; the ORDER BY list in
// order_analysis.cc.
//
// Drivers are numbered in the order the analysis meets them: the statement
// gets 0, then every sub-select, select list before WHERE, left to right,
// each sub-select's own sub-selects before the next one. Each driver is
// given the WHERE clause its condition tree comes from.
#include "analysis/analyser.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "base/messages.h"
#include "base/owned_text.h"
#include "base/statement_context.h"
#include "select/selection_driver.h"
#include "select/selection_plan.h"
#include "sql/rule_codes.h"
#include "sql/token_codes.h"
#include "storage/column.h"
#include "storage/dict_context.h"
#include "storage/table.h"

namespace zksql {

void Analyser::ReportMessage(int32_t id, const char* argument) {
  RecordMessage(request_, nullptr, id, argument == nullptr ? "" : argument);
}

void Analyser::ReportRejected(const char* what) {
  // Rejections that name no message of their own still leave a text, so
  // the request fails visibly instead of running a half-analysed tree.
  if (!HasError(request_)) ReportMessage(kMsgTypeMismatch, what);
}

bool Analyser::Analyse(SelectionPlan* plan) {
  plan_ = plan;
  dictionary_ = request_ == nullptr ? nullptr : request_->dict.get();
  if (plan_ == nullptr || dictionary_ == nullptr || request_->parseRoot == nullptr) {
    if (request_ != nullptr) RecordMessage(request_, nullptr, kMsgInternalError, "analyse");
    return false;
  }
  ParseNode* statement = request_->parseRoot->child;
  int32_t code = statement == nullptr ? 0 : statement->code;
  if (code >= FON_REQUETE_CREATION_INDEX && code <= FON_REQUETE_CREATION_TABLE) return true;
  if (code != FON_REQUETE_SELECTION) {
    RecordMessage(request_, nullptr, kMsgUnsupportedCommand);
    return false;
  }
  bool ok = SelectStatement(statement, -1);
  if (ok && statement->next != nullptr) {
    // A set operation: the second SELECT follows the operator (and the ALL
    // of UNION ALL). An ORDER BY at the end of the statement orders the
    // combined rows, whose columns are named after the first SELECT's.
    ParseNode* second = statement->next->next;
    if (second != nullptr && second->code == LEX_ALL) second = second->next;
    if (second == nullptr || second->code != FON_REQUETE_SELECTION) {
      RecordMessage(request_, nullptr, kMsgInternalError, "SELECT");
      return false;
    }
    ok = SelectStatement(second, 0);
  }
  if (!ok) ReportRejected("");
  return ok;
}

bool Analyser::SelectStatement(ParseNode* statement, int16_t orderDriver) {
  ParseNode* subSelect = statement->child;
  if (subSelect == nullptr || subSelect->code != FON_SOUS_SELECT) {
    RecordMessage(request_, nullptr, kMsgInternalError, "SELECT");
    return false;
  }
  int16_t index = -1;
  if (!SubSelect(subSelect, -1, 0, &index)) return false;
  ParseNode* order = subSelect->next;
  if (order != nullptr && order->code == FON_COLONNE_REF_VIRGULE_LISTE) {
    // After a set operator the list orders the combined rows, named after
    // the first SELECT's.
    const bool combined = orderDriver >= 0;
    const ParseNode* named = combined ? request_->parseRoot->child->child : subSelect;
    if (!OrderList(order, named, combined ? orderDriver : index, combined)) return false;
  }
  return true;
}

int16_t Analyser::SubSelect(ParseNode* subSelect, int16_t parent, int16_t operand,
                            int16_t* indexOut) {
  int16_t index = plan_->CreateDriver(parent);
  *indexOut = index;
  if (index < 0) return 0;
  plan_->SetParent(index, parent);
  SelectionDriver* driver = plan_->Driver(index);
  ParseNode* selected = subSelect->child;
  ParseNode* from = selected == nullptr ? nullptr : selected->next;
  if (selected == nullptr || from == nullptr || from->code != FON_TABLE_REF_VIRGULE_LISTE) {
    RecordMessage(request_, nullptr, kMsgInternalError, "SELECT");
    return 0;
  }
  for (ParseNode* ref = from->child; ref != nullptr; ref = ref->next) {
    if (ref->code == FON_TABLE_REF) RegisterTable(ref, index);
  }
  int16_t type = SelectList(selected, index, operand);
  if (type == kClassFailed) {
    driver->where = nullptr;
    return 0;
  }
  // Each SELECT level keeps its own condition structure: a sub-select's
  // WHERE clause never lands in the structure of the predicate that
  // contains it.
  ParseNodePtr structure;
  ParseNode* x = from->next;
  ParseNode* having = nullptr;
  if (x != nullptr) {
    ParseNode* group = nullptr;
    if (x->code == FON_CONDITION_RECHERCHE) {
      int16_t logical = 0;
      if (!Condition(x, 0, &logical, &structure, index)) return 0;
      group = x->next;
    } else {
      group = x;
    }
    if (group != nullptr && group->code == FON_COLONNE_REF_VIRGULE_LISTE) {
      if (!ColumnList(group, index)) return 0;
      having = group->next;
    } else if (group != nullptr) {
      having = group;
    }
    // The HAVING keyword stands as a node of its own before its condition.
    if (having != nullptr && having->child == nullptr) having = having->next;
  }
  if (having != nullptr) {
    ParseNodePtr havingStructure;
    int16_t logical = 0;
    if (!Condition(having, 0, &logical, &havingStructure, index)) return 0;
    // Rows are never grouped, so a HAVING clause cannot be applied as
    // written; running the statement without it would return rows the
    // clause excludes.
    RecordMessage(request_, nullptr, kMsgUnsupportedCommand);
    return 0;
  }
  // The clause the structure came from: the driver evaluates its
  // predicates through it.
  driver->whereClause = structure != nullptr ? x : nullptr;
  driver->where = structure.release();
  return type;
}

void Analyser::RegisterTable(ParseNode* tableRef, int16_t driver) {
  ParseNode* name = tableRef->child;
  if (name == nullptr) return;
  ParseNode* alias = name->next;
  const char* lookup = name->text;
  if (alias != nullptr && alias->code == FON_COLONNE_REF_VIRGULE_LISTE) alias = nullptr;
  if (alias != nullptr) {
    if (alias->next != nullptr) return;  // alias with a column list: not registered
    lookup = alias->text;
  }
  Table* table = dictionary_->FindTable(lookup, false);
  SelectionDriver* d = plan_->Driver(driver);
  // A table left out of the driver would be stepped over: its rows never
  // read. Only a shortage of memory refuses it.
  if (table != nullptr && d != nullptr && !d->AddTable(table)) {
    RecordMessage(request_, nullptr, kMsgOutOfMemory);
  }
}

int16_t Analyser::SelectList(ParseNode* list, int16_t driver, int16_t operand) {
  ParseNode* first = list->child;
  if (first == nullptr) {
    ReportRejected("");
    return 0;
  }
  if (first->code == LEX_ETOILE) {
    if (operand) {
      ReportMessage(kMsgTypeMismatch, first->text);
      return 0;
    }
    plan_->SetSelectColumns(driver, nullptr);
    return kClassAny;
  }
  int16_t quantifier = LEX_ALL;
  ParseNode* items = first;
  if (first->code != FON_SELECTION_ITEM_VIRGULE_LISTE) {
    quantifier = static_cast<int16_t>(first->code);
    plan_->SetQuantifier(driver, quantifier);
    items = first->next;
  }
  if (items == nullptr || items->child == nullptr) {
    ReportRejected("");
    return 0;
  }
  PtrArray* columns = new (std::nothrow) PtrArray(0, 4);
  if (columns == nullptr) {
    RecordMessage(request_, nullptr, kMsgOutOfMemory);
    return 0;
  }
  int16_t firstType = kClassFailed;
  int16_t count = 0;
  for (ParseNode* item = items->child; item != nullptr; item = item->next, ++count) {
    if (count == 1 && operand) {
      ReportMessage(kMsgTypeMismatch, items->child->text);
      return 0;
    }
    ParseNode* value = item->child;
    int16_t type = kClassFailed;
    if (value != nullptr) {
      value->value = quantifier;
      type = Item(value, 0, nullptr, columns, driver);
    } else {
      ReportRejected(item->text);
    }
    if (count == 0) {
      firstType = type;
      plan_->SetSelectColumns(driver, columns);
    }
    if (type == kClassFailed) return 0;
  }
  return count == 1 ? firstType : kClassAny;
}

bool Analyser::ColumnList(ParseNode* list, int16_t driver) {
  Column* last = nullptr;
  for (ParseNode* name = list->child; name != nullptr; name = name->next) {
    last = plan_->ResolveColumn(driver, name->text);
    if (last == nullptr) {
      ReportMessage(kMsgUnknownColumn, name->text);
      return false;
    }
  }
  if (last != nullptr && last->Kind() == kKindOther) {
    ReportMessage(kMsgTypeMismatch, last->name());
    return false;
  }
  return true;
}

int16_t Analyser::ColumnReference(ParseNode* leaf, PtrArray* columns, PredicateReads* reads,
                                  int16_t driver) {
  int16_t owner = driver;
  Column* column = plan_->ResolveColumn(driver, leaf->text, &owner);
  if (column == nullptr) {
    ReportMessage(kMsgUnknownColumn, leaf->text);
    return kClassFailed;
  }
  if (column->IsComposite()) {
    ReportMessage(kMsgCompositeKeyColumn, column->name());
    return kClassFailed;
  }
  int16_t kind = column->Kind();
  if (kind < kKindNumber || kind > kKindTime) {
    // A column without a value form can be neither compared nor shown.
    ReportMessage(kMsgTypeMismatch, leaf->text);
    return kClassFailed;
  }
  if (columns != nullptr && columns->Add(column) < 0) {
    RecordMessage(request_, nullptr, kMsgOutOfMemory);
    return kClassFailed;
  }
  const char* table = column->table() == nullptr || column->table()->fileName() == nullptr
                          ? ""
                          : column->table()->fileName();
  const char* name = column->name() == nullptr ? "" : column->name();
  size_t tl = std::strlen(table), nl = std::strlen(name);
  OwnedText text(static_cast<char*>(std::malloc(tl + nl + 2)));
  if (text == nullptr) {
    RecordMessage(request_, nullptr, kMsgOutOfMemory);
    return kClassFailed;
  }
  std::memcpy(text.get(), table, tl);
  text.get()[tl] = '/';
  std::memcpy(text.get() + tl + 1, name, nl + 1);
  bool ok = leaf->SetText(text.get());
  if (ok && owner != driver) {
    // A column of an enclosing SELECT: a value given by the enclosing row,
    // not a table this predicate steps through.
    if (!plan_->AddOuterReference(driver, owner, leaf->text)) return kClassFailed;
    if (reads != nullptr) ok = reads->AddOuter(leaf->text);
  } else if (ok && reads != nullptr) {
    ok = reads->Add(column->table(), leaf->text);
  }
  if (!ok) {
    RecordMessage(request_, nullptr, kMsgOutOfMemory);
    return kClassFailed;
  }
  return kind == kKindNumber ? kClassNumeric : kClassText;
}

bool Analyser::RegisterSubSelect(int16_t subIndex, int16_t driver, PredicateReads* reads,
                                 PtrArray* columns) {
  // The sub-select's outer references were recorded on its link as they
  // were resolved. Those owned by this SELECT make the predicate depend on
  // this SELECT's rows: it steps through their tables, and reads their
  // columns, whose values the evaluation hands to the sub-select. Those
  // owned further out are values given by an enclosing row, for this
  // SELECT as well: the predicate is deferred.
  SelectionDriver* parent = plan_->Driver(driver);
  if (parent == nullptr || parent->subSelects == nullptr || reads == nullptr) return true;
  const ParseNode* link = parent->subSelects->next;
  while (link != nullptr && link->code != subIndex) link = link->next;
  if (link == nullptr || link->child == nullptr) return true;
  for (const ParseNode* ref = link->child->next; ref != nullptr; ref = ref->next) {
    if (reads->HasReference(ref->text)) continue;
    if (ref->value != driver) {
      if (!reads->AddOuter(ref->text)) {
        RecordMessage(request_, nullptr, kMsgOutOfMemory);
        return false;
      }
      continue;
    }
    Table* table = nullptr;
    Column* column = nullptr;
    {
      const char* slash = std::strchr(ref->text, '/');
      size_t n = slash == nullptr ? std::strlen(ref->text) : static_cast<size_t>(slash - ref->text);
      char name[256];
      if (n < sizeof name) {
        std::memcpy(name, ref->text, n);
        name[n] = '\0';
        table = dictionary_->FindTable(name, false);
        column = dictionary_->FindColumn(name, slash == nullptr ? "" : slash + 1);
      }
      if (table == nullptr || column == nullptr) {
        RecordMessage(request_, nullptr, kMsgUnknownTable, n < sizeof name ? name : "");
        return false;
      }
    }
    if (!reads->Add(table, ref->text) || (columns != nullptr && columns->Add(column) < 0)) {
      RecordMessage(request_, nullptr, kMsgOutOfMemory);
      return false;
    }
  }
  return true;
}

bool PredicateReads::Add(Table* table, const char* reference) {
  ParseNodePtr node(ParseNode::Create(reference, 0, 0));
  if (node == nullptr) return false;
  const char* name = table == nullptr ? nullptr : table->fileName();
  if (name != nullptr && name[0] != '\0' &&
      std::find(tables_.begin(), tables_.end(), table) == tables_.end()) {
    try {
      tables_.push_back(table);
    } catch (const std::bad_alloc&) {
      return false;
    }
  }
  ParseNode* added = node.get();
  if (references_ == nullptr) {
    references_ = std::move(node);
  } else {
    last_->next = node.release();
  }
  last_ = added;
  return true;
}

bool PredicateReads::AddOuter(const char* reference) {
  readsOuter_ = true;
  return Add(nullptr, reference);
}

bool PredicateReads::HasReference(const char* reference) const {
  for (const ParseNode* n = references_.get(); n != nullptr; n = n->next) {
    if (std::strcmp(n->text, reference) == 0) return true;
  }
  return false;
}

ParseNodePtr PredicateReads::TakeReferences() {
  last_ = nullptr;
  return std::move(references_);
}

}  // namespace zksql
