// INSERT, UPDATE and DELETE: the statements that change records.
//
// INSERT fills the table's row buffer value by value and appends it.
// UPDATE and DELETE without a WHERE clause walk the file by record number.
// With a WHERE clause they are rewritten into «SELECT * FROM table WHERE
// condition», analysed and selected like a query, and the records of the
// outer SELECT's row set are then changed (SelectionDriver::ApplyToRows).
//
// A write the engine refuses is reported with the table's error text; a
// duplicate key is an integrity violation (SQLSTATE "23000") on INSERT
// and UPDATE alike. Values that cannot be assigned are reported with
// "S1000".
#include <new>

#include "analysis/analyser.h"
#include "base/messages.h"
#include "base/statement_context.h"
#include "exec/statement_executor.h"
#include "exec/statement_kinds.h"
#include "jxengine.h"
#include "select/selection_driver.h"
#include "sql/parse_node.h"
#include "sql/rule_codes.h"
#include "sql/token_codes.h"
#include "storage/column.h"
#include "storage/dict_context.h"
#include "storage/table.h"

namespace zksql {
namespace {

const char kInsertValuesText[] =
    "Erreur pour INSERT: les valeurs sp\xE9"
    "cifi\xE9"
    "es sont incorrectes";
const char kUpdateValuesTextS1000[] =
    "Erreur pour UPDATE: les valeurs sp\xE9"
    "cifi\xE9"
    "es sont incorrectes";
const char kIntegrityViolation[] = "23000";
const char kGeneralError[] = "S1000";

// The file table a write statement names; null (4243 reported) when the
// dictionary does not hold it.
Table* StatementTable(StatementExecutor& executor, const ParseNode* name) {
  const char* text = name == nullptr ? nullptr : name->text;
  Table* table = executor.dictionary == nullptr || text == nullptr
                     ? nullptr
                     : executor.dictionary->FindTable(text, false);
  if (table == nullptr) {
    RecordMessage(executor.request, nullptr, kMsgUnknownTable, text == nullptr ? "" : text);
  }
  return table;
}

// Reports a write the table refused. A duplicate key is "23000"; any other
// refusal carries the table's text, or the file and engine code when the
// table has none, so that a failed write never reads as a success.
void ReportWriteFailure(StatementExecutor& executor, Table* table, int16_t w) {
  const char* text = table->errorText();
  if (text == nullptr || text[0] == '\0') {
    RecordMessage(executor.request, nullptr, kMsgReadWriteError,
                  table->fileName() == nullptr ? "" : table->fileName(),
                  static_cast<int>(table->lastError() != 0 ? table->lastError() : -1));
    return;
  }
  executor.Report(text, w == kWriteDuplicate ? kIntegrityViolation : nullptr);
}

// A read by number that failed (not one that reached the end) stops the
// walk with the file and engine code reported: ending silently would
// present a partly done UPDATE or DELETE as complete.
void ReportReadFailure(StatementExecutor& executor, Table* table, int32_t r) {
  // -1 is a call the engine did not complete, shown as -1; any other
  // result is the engine's error code, negated.
  int code = r == -1 ? -1 : static_cast<int>(-r);
  RecordMessage(executor.request, nullptr, kMsgReadWriteError,
                table->fileName() == nullptr ? "" : table->fileName(), code);
}

// Rewrites «UPDATE/DELETE table ... WHERE condition» into the tree of
// «SELECT * FROM table WHERE condition», which becomes the request's parse
// tree. The condition moves into the new tree; *assignments receives the
// UPDATE's assignment list (detached, owned by the caller) when asked
// for. False when memory is short (4242 reported, tree unchanged).
bool RewriteIntoSelect(StatementExecutor& executor, ParseNode* statement, ParseNode* where,
                       ParseNodePtr* assignments) {
  StatementContext* request = executor.request;
  ParseNodePtr root(ParseNode::Create("", FON_REQUETE, 0));
  ParseNodePtr select(ParseNode::Create("", FON_REQUETE_SELECTION, 0));
  ParseNodePtr sub(ParseNode::Create("", FON_SOUS_SELECT, 0));
  ParseNodePtr item(ParseNode::Create("", FON_ITEM_SELECTIONNE, 0));
  ParseNodePtr star(ParseNode::Create("*", LEX_ETOILE, 0));
  ParseNodePtr from(ParseNode::Create("", FON_TABLE_REF_VIRGULE_LISTE, 0));
  ParseNodePtr ref(ParseNode::Create("", FON_TABLE_REF, 0));
  ParseNodePtr name(ParseNode::Create(statement->child->text, LEX_IDENTIFICATEUR, 0));
  if (!root || !select || !sub || !item || !star || !from || !ref || !name) {
    RecordMessage(request, nullptr, kMsgOutOfMemory);
    return false;
  }
  // Each node now belongs to the one above it.
  ParseNode* fromNode = from.get();
  ref->child = name.release();
  from->child = ref.release();
  item->child = star.release();
  item->next = from.release();
  sub->child = item.release();
  select->child = sub.release();
  root->child = select.release();

  // Detach the condition (and the assignments) from the old statement
  // before the old tree goes.
  for (ParseNode* n = statement->child; n != nullptr; n = n->next) {
    if (n->next == where) {
      n->next = nullptr;
      break;
    }
  }
  if (assignments != nullptr) {
    ParseNode* list = statement->child->next;
    statement->child->next = nullptr;
    if (list != nullptr) list->next = nullptr;
    assignments->reset(list);
  }
  fromNode->next = where;
  // The old statement goes; the condition now belongs to the new tree.
  request->parseRoot = std::move(root);
  return true;
}

// UPDATE or DELETE with a WHERE clause: selects the rows like a query
// (mode `mode`, no result table) and changes the records of driver 0's row
// set.
void ChangeSelectedRows(StatementExecutor& executor, ParseNode* statement, ParseNode* where,
                        int32_t mode) {
  StatementContext* request = executor.request;
  ParseNodePtr assignments;
  if (!RewriteIntoSelect(executor, statement, where,
                         mode == kModeUpdate ? &assignments : nullptr)) {
    return;
  }
  executor.mode = mode;
  if (!Analyser(request).Analyse(&executor)) {
    if (!HasError(request)) RecordMessage(request, nullptr, kMsgInternalError, "analyse");
    return;
  }
  // Rows are changed only when the whole selection completed: after a
  // failure the row set may be partial, and changing part of the rows
  // behind a reported error would leave the file in a state nobody asked
  // for.
  SelectionDriver* outer = executor.Driver(0);
  if (!RunSelection(executor) || outer == nullptr) {
    if (!HasError(request)) RecordMessage(request, nullptr, kMsgInternalError, "driver");
    return;
  }
  // ApplyToRows takes the assignment list and reports its own failures; a
  // failure it could not name still fails the statement.
  if (!outer->ApplyToRows(assignments.release(), &executor) && !HasError(request)) {
    RecordMessage(request, nullptr, kMsgInternalError, mode == kModeUpdate ? "UPDATE" : "DELETE");
  }
}

}  // namespace

void ExecuteInsert(StatementExecutor& executor, ParseNode* statement) {
  ParseNode* name = statement->child;
  Table* table = StatementTable(executor, name);
  if (table == nullptr) return;
  ParseNode* names = name->next;
  ParseNode* values = names;
  if (names != nullptr && names->code == FON_COLONNE_REF_VIRGULE_LISTE) {
    values = names->next;
  } else {
    names = nullptr;
  }
  // Only a VALUES list gives values: «INSERT ... SELECT» has none to
  // assign, and is refused as a value error before anything is written.
  bool ok = values != nullptr && values->code == FON_ITEM_SIMPLE_VIRGULE_LISTE;
  ParseNode* value = ok ? values->child : nullptr;
  if (ok && names != nullptr) {
    for (ParseNode* n = names->child; ok && n != nullptr && value != nullptr;
         n = n->next, value = value->next) {
      // A name the table does not have is skipped with its value.
      Column* column = table->FindColumn(n->text);
      if (column != nullptr) ok = executor.AssignValue(value, column);
    }
  } else if (ok) {
    // Columns in order; extra values are ignored, and columns without a
    // value keep what the row buffer holds.
    for (int16_t i = 0; ok && i < table->ColumnCount() && value != nullptr;
         ++i, value = value->next) {
      Column* column = table->ColumnAt(i);
      if (column != nullptr) ok = executor.AssignValue(value, column);
    }
  }
  if (!ok) {
    executor.Report(kInsertValuesText, kGeneralError);
    return;
  }
  int16_t w = table->Write(JX_WRITE_APPEND);
  if (w != kWriteDone) ReportWriteFailure(executor, table, w);
}

void ExecuteUpdate(StatementExecutor& executor, ParseNode* statement) {
  ParseNode* name = statement->child;
  ParseNode* assignments = name == nullptr ? nullptr : name->next;
  if (assignments == nullptr) {
    RecordMessage(executor.request, nullptr, kMsgInternalError, "UPDATE");
    return;
  }
  if (assignments->next != nullptr) {
    ChangeSelectedRows(executor, statement, assignments->next, kModeUpdate);
    return;
  }
  Table* table = StatementTable(executor, name);
  if (table == nullptr) return;
  bool assigned = true;
  for (int32_t n = 1;;) {
    int32_t r = table->ReadByNumber(n);
    if (r < 0) ReportReadFailure(executor, table, r);
    if (r <= 0) break;
    if (!table->SetColumns(assignments, &executor)) {
      assigned = false;
      break;
    }
    // A refused rewrite is reported and the walk goes on with the next
    // record: the others are still rewritten.
    int16_t w = table->Write(r);
    if (w != kWriteDone) ReportWriteFailure(executor, table, w);
    if (r == INT32_MAX) break;
    n = r + 1;
  }
  if (!assigned) executor.Report(kUpdateValuesTextS1000, kGeneralError);
}

void ExecuteDelete(StatementExecutor& executor, ParseNode* statement) {
  ParseNode* name = statement->child;
  if (name != nullptr && name->next != nullptr) {
    ChangeSelectedRows(executor, statement, name->next, kModeDelete);
    return;
  }
  Table* table = StatementTable(executor, name);
  if (table == nullptr) return;
  for (int32_t n = 0;;) {
    if (n == INT32_MAX) break;
    int32_t r = table->ReadByNumber(n + 1);
    if (r < 0) ReportReadFailure(executor, table, r);
    if (r <= 0) break;
    int16_t w = table->Write(JX_WRITE_DELETE_LAST_READ);
    if (w != kWriteDone) ReportWriteFailure(executor, table, w);
    n = r;
  }
}

}  // namespace zksql
