// The plan the analysis builds: creating the selection drivers of a SELECT
// (one per SELECT level), linking each sub-select to the SELECT that
// contains it, resolving column names through the enclosing SELECTs, and
// collecting the outer references of sub-selects.
//
// A sub-select that reads a column of an enclosing SELECT ("outer
// reference") cannot be evaluated once for all: its values depend on the
// enclosing row. The link node of a sub-select (in its parent's
// `subSelects` chain: code = the sub-select's driver index, text = the
// enclosing tables it reads, child = a head node followed by one TABLE/COLUMN
// node per outer reference) records those columns, so that the evaluator
// can hand their current values to the sub-select and the enclosing
// condition is filed under the tables whose rows it depends on.
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

// Deepest chain of nested sub-selects walked when searching links. The
// parser bounds nesting far below it; the bound keeps the walks safe on
// any driver graph.
constexpr int kMaxLinkDepth = 1024;

// True when `name` (length n) equals a component of `list`, ignoring case.
bool HasComponentNoCase(const char* list, const char* name, size_t n) {
  if (list == nullptr) return false;
  const char* p = list;
  for (;;) {
    const char* end = std::strchr(p, '/');
    size_t len = end == nullptr ? std::strlen(p) : static_cast<size_t>(end - p);
    if (len == n && (n == 0 || strncasecmp(p, name, n) == 0)) return true;
    if (end == nullptr) return false;
    p = end + 1;
  }
}

// True when the group reads a table named in `names`, ignoring case. A
// group without tables depends on no outer row.
bool ReadsListedTable(const ConditionGroup& group, const char* names) {
  for (const Table* table : group.tables()) {
    const char* name = table->fileName();
    size_t n = std::strlen(name);
    if (n > 0 && HasComponentNoCase(names, name, n)) return true;
  }
  return false;
}

// Appends a "/"-separated component to a node's text unless one equals it
// (ignoring case). False when memory is short.
[[nodiscard]] bool AddComponentNoCase(ParseNode* node, const char* name, size_t n) {
  if (HasComponentNoCase(node->text, name, n) && node->text[0] != '\0') return true;
  size_t have = std::strlen(node->text);
  char* text = static_cast<char*>(std::malloc(have + n + 2));
  if (text == nullptr) return false;
  std::memcpy(text, node->text, have);
  size_t at = have;
  if (have > 0) text[at++] = '/';
  std::memcpy(text + at, name, n);
  text[at + n] = '\0';
  bool ok = node->SetText(text);
  std::free(text);
  return ok;
}

// True when `out` itself or a node of its sibling chain has exactly `text`.
bool ChainHasText(const ParseNode* out, const char* text) {
  for (const ParseNode* n = out; n != nullptr; n = n->next) {
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

Column* SelectionPlan::ResolveColumn(int16_t index, const char* name) const {
  // Each step moves to the parent; a driver graph with a cycle would loop,
  // so the walk is bounded by the number of drivers.
  for (int16_t steps = 0; index >= 0 && steps <= driverCount; ++steps) {
    SelectionDriver* driver = Driver(index);
    if (driver == nullptr) return nullptr;
    Column* column = driver->FindColumn(name);
    if (column != nullptr) return column;
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

bool SelectionPlan::CollectOuterReferences(const char* names, int16_t index, ParseNode* out) {
  return CollectOuterReferencesAt(names, index, out, 0);
}

bool SelectionPlan::CollectOuterReferencesAt(const char* names, int16_t index, ParseNode* out,
                                             int depth) {
  SelectionDriver* driver = Driver(index);
  if (driver == nullptr || out == nullptr || out->child == nullptr || depth > kMaxLinkDepth) {
    return true;
  }
  for (const ConditionGroup& group : driver->groups) {
    if (!ReadsListedTable(group, names)) continue;
    for (const RowSet* rows : group.rowSets()) {
      for (ParseNode* ref = rows->references.get(); ref != nullptr; ref = ref->next) {
        if (ref->text == nullptr) continue;
        const char* slash = std::strchr(ref->text, '/');
        if (slash == nullptr) continue;
        // Only what is already in the link is skipped; a column read by two
        // conditions of the sub-select is listed once per condition.
        if (ChainHasText(out, ref->text)) continue;
        size_t n = static_cast<size_t>(slash - ref->text);
        if (!HasComponentNoCase(names, ref->text, n) || n == 0) continue;
        if (!AddComponentNoCase(out, ref->text, n)) return false;
        ParseNode* node = ParseNode::Create(ref->text, 0, 0);
        if (node == nullptr) return false;
        out->child->AppendSibling(node, 0);
      }
    }
  }
  if (driver->subSelects != nullptr) {
    for (ParseNode* link = driver->subSelects->next; link != nullptr; link = link->next) {
      if (link->code == index) continue;
      if (!CollectOuterReferencesAt(names, static_cast<int16_t>(link->code), out, depth + 1)) {
        return false;
      }
    }
  }
  return true;
}

bool SelectionPlan::PropagateOuterReferences(int16_t index) {
  SelectionDriver* driver = Driver(index);
  if (driver == nullptr || driver->subSelects == nullptr) return true;
  for (ParseNode* link = driver->subSelects->next; link != nullptr; link = link->next) {
    int16_t steps = 0;
    for (int16_t a = index; a != -1 && steps <= driverCount; a = FindParent(a), ++steps) {
      SelectionDriver* enclosing = Driver(a);
      if (enclosing == nullptr || enclosing->tableNames == nullptr) break;
      if (!CollectOuterReferences(enclosing->tableNames->text, static_cast<int16_t>(link->code),
                                  link)) {
        RecordMessage(request, nullptr, kMsgOutOfMemory);
        return false;
      }
    }
  }
  return true;
}

}  // namespace zksql
