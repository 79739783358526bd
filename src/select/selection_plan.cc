// The plan the analysis builds: creating the selection drivers of a SELECT
// (one per SELECT level), linking each sub-select to the SELECT that
// contains it, resolving column names through the enclosing SELECTs, and
// collecting the outer references of sub-selects.
//
// A name resolves in the nearest SELECT whose FROM tables have it: a
// sub-select's own tables shadow those of the enclosing SELECTs, also when
// they read the same file. A sub-select that reads a column of an
// enclosing SELECT ("outer reference", found by that resolution, never by
// table name) cannot be evaluated once for all: its values depend on the
// enclosing row. The link node of a sub-select (in its parent's
// `subSelects` chain: code = the sub-select's driver index, child = a head
// node followed by one TABLE/COLUMN node per outer reference, whose
// `value` is the index of the driver that owns the column) records those
// columns, for the sub-select itself and for every sub-select nested in
// it, so that the enclosing SELECT knows which of its sub-selects depend on
// its rows.
#include "select/selection_plan.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <utility>

#include "base/messages.h"
#include "base/statement_context.h"
#include "select/condition_group.h"
#include "select/engine_filter_builder.h"
#include "select/row_set.h"
#include "select/selection_driver.h"
#include "storage/table.h"
#include "values/text_utils.h"

namespace zksql {

namespace {

// True when a node of the chain after `head` has exactly `text`.
bool ChainHasText(const ParseNode* head, const char* text) {
  for (const ParseNode* n = head->next; n != nullptr; n = n->next) {
    if (n->text != nullptr && std::strcmp(n->text, text) == 0) return true;
  }
  return false;
}

}  // namespace

SelectionDriver* SelectionPlan::Driver(int16_t index) const {
  if (index < 0 || index >= driverCount) return nullptr;
  return drivers.GetAs<SelectionDriver>(index);
}

int16_t SelectionPlan::CreateDriver(int16_t parentIndex) {
  SelectionDriver* parent = Driver(parentIndex);
  std::unique_ptr<SelectionDriver> made(new (std::nothrow) SelectionDriver(request));
  ParseNodePtr head(ParseNode::Create("", 0, 0));
  ParseNodePtr link;
  if (parent != nullptr) {
    ParseNodePtr linkHead(ParseNode::Create("", 0, 0));
    if (linkHead != nullptr) {
      link.reset(ParseNode::Create("", driverCount, 0, linkHead.get(), nullptr));
    }
    if (link != nullptr) linkHead.release();  // the link holds it
  }
  // Whatever is not handed over below goes with its holder.
  SelectionDriver* driver = made.get();
  bool ok = driver != nullptr && driver->tableNames != nullptr && head != nullptr &&
            (parent == nullptr || (link != nullptr && parent->subSelects != nullptr)) &&
            driverCount < PtrArray::kMaxSlots && drivers.Adopt(made) == driverCount;
  if (!ok) {
    RecordMessage(request, nullptr, kMsgOutOfMemory);
    return -1;
  }
  driver->subSelects = std::move(head);
  driver->parentIndex = parentIndex;
  driver->evaluator = conditionEvaluator;
  // Its selection narrows the table reads to the key ranges of its WHERE.
  driver->filterBuilder = &EngineFilterBuilder::Shared();
  if (parent != nullptr) parent->subSelects->AppendSibling(link.release(), 0);
  return driverCount++;
}

void SelectionPlan::SetParent(int16_t index, int16_t parentIndex) {
  SelectionDriver* driver = Driver(index);
  if (driver != nullptr) driver->parentIndex = parentIndex;
}

void SelectionPlan::SetQuantifier(int16_t index, int16_t code) {
  SelectionDriver* driver = Driver(index);
  if (driver != nullptr) driver->distinct = code;
}

void SelectionPlan::SetSelectColumns(int16_t index, PtrArray* columns) {
  SelectionDriver* driver = Driver(index);
  if (driver == nullptr) {
    ColumnArrayPtr unused(columns);  // no driver takes it
    return;
  }
  if (driver->columns.get() != columns) driver->columns.reset(columns);
}

Column* SelectionPlan::ResolveColumn(int16_t index, const char* name, int16_t* owner) const {
  // Each step moves to the parent; a driver graph with a cycle would loop,
  // so the walk is bounded by the number of drivers.
  for (int16_t steps = 0; index >= 0 && steps <= driverCount; ++steps) {
    SelectionDriver* driver = Driver(index);
    if (driver == nullptr) return nullptr;
    Column* column = driver->FindColumn(name);
    if (column != nullptr) {
      if (owner != nullptr) *owner = index;
      return column;
    }
    index = driver->parentIndex;
  }
  return nullptr;
}

int16_t SelectionPlan::FindParent(int16_t index) const {
  // A driver is linked from exactly one sub-select chain, so scanning every
  // driver's chain finds the same parent as a depth-first search from the
  // top-level SELECTs, without recursion.
  for (int16_t d = 0; d < driverCount; ++d) {
    SelectionDriver* driver = Driver(d);
    if (driver == nullptr || driver->subSelects == nullptr) continue;
    for (const ParseNode* link = driver->subSelects->next; link != nullptr; link = link->next) {
      if (link->code == index) return d;
    }
  }
  return -1;
}

bool SelectionPlan::AddOuterReference(int16_t index, int16_t owner, const char* reference) {
  // Every SELECT between the reader and the owner depends on the owner's
  // row through the reader: each one's link carries the reference.
  int16_t steps = 0;
  for (int16_t d = index; d != owner && d >= 0 && steps <= driverCount; ++steps) {
    SelectionDriver* driver = Driver(d);
    SelectionDriver* parent = driver == nullptr ? nullptr : Driver(driver->parentIndex);
    if (parent == nullptr || parent->subSelects == nullptr) return true;
    ParseNode* link = parent->subSelects->next;
    while (link != nullptr && link->code != d) link = link->next;
    if (link == nullptr || link->child == nullptr) return true;
    if (!ChainHasText(link->child, reference)) {
      ParseNode* node = ParseNode::Create(reference, 0, owner);
      if (node == nullptr) {
        RecordMessage(request, nullptr, kMsgOutOfMemory);
        return false;
      }
      link->child->AppendSibling(node, 0);
    }
    d = driver->parentIndex;
  }
  return true;
}

}  // namespace zksql
