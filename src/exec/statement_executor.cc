// Statement execution: the dispatch on the statement kind, the SELECT run
// through the selection drivers (also the selection half of UPDATE and
// DELETE with a WHERE clause), the set operations between two SELECTs, the
// values of sub-selects for the evaluator, and error reporting.
//
// The drivers run from the highest index down to 0, so that every
// sub-select has its rows before the SELECT that contains it evaluates
// its conditions. The other statement kinds live in their own files
// (statement_kinds.h).
#include "exec/statement_executor.h"

#include <new>
#include <vector>

#include "base/fast_paths.h"
#include "base/messages.h"
#include "base/statement_context.h"
#include "exec/statement_kinds.h"
#include "select/selection_driver.h"
#include "sql/rule_codes.h"
#include "sql/token_codes.h"
#include "sql/value_list.h"
#include "storage/dict_context.h"
#include "storage/result_table.h"

namespace zksql {
namespace {

// Longest row the row sort exchanges (its scratch block).
constexpr uint32_t kLongestSortedRow = 65500;

// The set operator written after the first SELECT of a statement, if any.
struct SetOperation {
  int32_t op = 0;  // LEX_UNION, LEX_EXCEPT or LEX_INTERSECT; 0: none
  bool all = false;
};

SetOperation FindSetOperation(const ParseNode* select) {
  SetOperation found;
  const ParseNode* op = select == nullptr ? nullptr : select->next;
  if (op == nullptr) return found;
  if (op->code != LEX_UNION && op->code != LEX_EXCEPT && op->code != LEX_INTERSECT) return found;
  found.op = op->code;
  found.all = op->code == LEX_UNION && op->next != nullptr && op->next->code == LEX_ALL;
  return found;
}

// The driver of the SELECT after a set operator: the first top-level
// driver after driver 0 (every other driver after 0 is a sub-select).
int16_t SecondSelectDriver(const StatementExecutor& executor) {
  for (int16_t i = 1; i < executor.driverCount; ++i) {
    SelectionDriver* d = executor.drivers.GetAs<SelectionDriver>(i);
    if (d != nullptr && d->parentIndex == -1) return i;
  }
  return -1;
}

}  // namespace

StatementExecutor::StatementExecutor(StatementContext* context) : SelectionPlan(context) {}

// The drivers array deletes every driver it holds.
StatementExecutor::~StatementExecutor() = default;

bool RunSelection(StatementExecutor& executor) {
  StatementContext* request = executor.request;
  for (int16_t i = static_cast<int16_t>(executor.driverCount - 1); i >= 0; --i) {
    SelectionDriver* driver = executor.drivers.GetAs<SelectionDriver>(i);
    if (driver == nullptr) {
      RecordMessage(request, nullptr, kMsgInternalError, "driver");
      return false;
    }
    // A top-level SELECT over one table fills its result as it reads
    // instead of reading every selected record a second time.
    const bool topLevel = executor.mode == kModeSelect && driver->parentIndex == -1;
    driver->StreamResultInto(topLevel && FastPathsOn() ? executor.dictionary : nullptr);
    int16_t ok = driver->tables.Count() >= 2 ? driver->SelectJoined(i) : driver->SelectSingle(i);
    if (!ok) {
      // A selection that stops always says why; never a silent success.
      if (!HasError(request)) RecordMessage(request, nullptr, kMsgInternalError, "s\xE9lection");
      return false;
    }
    // A sub-select's values are read from its row set now, before the
    // SELECT that contains it steps through its files (see valueCache); a
    // correlated one copies its candidate rows instead, to be decided for
    // each enclosing row (see select/correlated_values.h).
    const ParseNode* outer = driver->parentIndex == -1
                                 ? nullptr
                                 : executor.CorrelationReferences(driver->parentIndex, i);
    if (outer != nullptr) {
      if (!driver->PrepareCorrelated(outer)) {
        if (!HasError(request)) RecordMessage(request, nullptr, kMsgOutOfMemory);
        return false;
      }
    } else if (driver->parentIndex != -1) {
      driver->valueCache.reset(driver->SubSelectValues());
      if (driver->valueCache == nullptr) {
        if (!HasError(request)) RecordMessage(request, nullptr, kMsgOutOfMemory);
        return false;
      }
    }
    // Only top-level SELECTs make result tables: a sub-select's table would
    // be built for nothing.
    if (executor.mode != kModeSelect || driver->parentIndex != -1) continue;
    ResultTable* result = driver->BuildResult(executor.dictionary);
    if (i == 0) request->result = result;
    if (result == nullptr) {
      if (!HasError(request)) RecordMessage(request, nullptr, kMsgInternalError, "r\xE9sultat");
      return false;
    }
  }
  return true;
}

void StatementExecutor::Execute() {
  dictionary = request->dict.get();
  ParseNode* statement = request->parseRoot == nullptr ? nullptr : request->parseRoot->child;
  switch (statement == nullptr ? 0 : statement->code) {
    case FON_REQUETE_CREATION_INDEX:
      ExecuteCreateIndex(*this, statement);
      return;
    case FON_REQUETE_SUPPRESSION_ENREG:
      ExecuteDelete(*this, statement);
      return;
    case FON_REQUETE_MIS_A_JOUR_ENREG:
      ExecuteUpdate(*this, statement);
      return;
    case FON_REQUETE_INSERT_ENREG:
      ExecuteInsert(*this, statement);
      return;
    case FON_REQUETE_CREATION_TABLE:
      ExecuteCreateTable(*this, statement);
      return;
    case FON_REQUETE_SELECTION:
      break;
    default: {
      char text[kMessageBufferSize];
      LoadMessage(kMsgUnsupportedCommand, text, sizeof text);
      Report(text, nullptr);
      return;
    }
  }

  mode = kModeSelect;
  if (!RunSelection(*this)) return;
  SetOperation set = FindSetOperation(statement);
  if (set.op != 0) {
    // Both SELECTs ran; the statement's result is their combination, not
    // the first one alone.
    int16_t second = SecondSelectDriver(*this);
    SelectionDriver* first = Driver(0);
    SelectionDriver* other = Driver(second);
    if (first == nullptr || other == nullptr || first->result == nullptr ||
        other->result == nullptr) {
      request->result = nullptr;
      RecordMessage(request, nullptr, kMsgInternalError, "op\xE9ration ensembliste");
      return;
    }
    request->result =
        CombineResults(request, dictionary, first->result, other->result, set.op, set.all);
    if (request->result == nullptr) return;
  }
  // An ORDER BY that could not be applied fails the statement: the host
  // must not take unsorted rows for sorted ones.
  ResultTable* result = request->result;
  if (result == nullptr) return;
  std::vector<SortKey> keys;
  bool sorted = false;
  try {
    for (const OrderKey& key : orderKeys) {
      keys.push_back(SortKey{result->ColumnAt(key.column), key.descending});
    }
    sorted = result->Sort(keys);
  } catch (const std::bad_alloc&) {
  }
  if (!sorted) {
    if (result->rowSize() > kLongestSortedRow) {
      RecordMessage(request, nullptr, kMsgInternalError, "ligne trop longue pour ORDER BY");
    } else {
      RecordMessage(request, nullptr, kMsgOutOfMemory);
    }
    return;
  }
  // Columns read for the sort alone are not part of what the host sees.
  SelectionDriver* top = Driver(0);
  if (set.op == 0 && top != nullptr && top->visibleColumns >= 0 &&
      !result->DropColumnsFrom(top->visibleColumns)) {
    RecordMessage(request, nullptr, kMsgOutOfMemory);
  }
}

const ParseNode* StatementExecutor::StableSubSelectValues(int16_t parentIndex, int16_t subIndex) {
  SelectionDriver* sub = Driver(subIndex);
  if (sub == nullptr || sub->valueCache == nullptr) return nullptr;
  return Correlated(parentIndex, subIndex) ? nullptr : sub->valueCache.get();
}

const ParseNode* StatementExecutor::CorrelationReferences(int16_t parentIndex, int16_t subIndex) {
  SelectionDriver* parent = Driver(parentIndex);
  if (parent == nullptr || parent->subSelects == nullptr) return nullptr;
  for (const ParseNode* link = parent->subSelects->next; link != nullptr; link = link->next) {
    if (link->code == subIndex) return link->child == nullptr ? nullptr : link->child->next;
  }
  return nullptr;
}

bool StatementExecutor::Correlated(int16_t parentIndex, int16_t subIndex) {
  return CorrelationReferences(parentIndex, subIndex) != nullptr;
}

ParseNode* StatementExecutor::EvaluateSubSelect(int16_t /*parentIndex*/, int16_t subIndex,
                                                const RowBinding* binding) {
  SelectionDriver* sub = Driver(subIndex);
  if (sub == nullptr) return nullptr;
  if (sub->correlated != nullptr) {
    const ParseNode* values = sub->CorrelatedSubSelectValues(subIndex, binding);
    return values == nullptr ? nullptr : CopyValueList(values);
  }
  if (sub->valueCache == nullptr) return sub->SubSelectValues();
  return CopyValueList(sub->valueCache.get());
}

void StatementExecutor::Report(const char* text, const char* sqlState) {
  RecordError(request, text, sqlState);
}

}  // namespace zksql
