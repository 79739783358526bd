// EngineFilter: which tables a selection may narrow, the collection of
// bounds over the WHERE tree, and the engine calls.
#include "select/engine_filter.h"

#include <cstdlib>
#include <new>

#include "base/statement_context.h"
#include "base/zeroed_alloc.h"
#include "select/condition_tree.h"
#include "select/key_condition.h"
#include "select/selection_driver.h"
#include "storage/engine.h"
#include "storage/file_table.h"
#include "values/text_utils.h"

namespace zksql {
namespace {

class EngineCalls : public FilterEngineCalls {
 public:
  int16_t Install(int32_t handle, const char* file, const char* column, const void* low,
                  const void* high, int16_t size, uint8_t typeCode) override {
    const EngineEntryPoints* engine = BoundEngine();
    if (engine == nullptr || engine->filter == nullptr) return -1;
    return engine->filter(handle, file, column, low, high, size, typeCode);
  }
  int16_t Remove(int32_t handle, const char* file) override {
    const EngineEntryPoints* engine = BoundEngine();
    if (engine == nullptr || engine->dropFilter == nullptr) return -1;
    return engine->dropFilter(handle, file);
  }
};

// Every table the selection's reads may browse: its FROM tables (a table
// named twice in FROM is there twice), then the other tables its condition
// groups name (a correlated condition also steps through a table of the
// enclosing SELECT).
[[nodiscard]] bool BrowsedTables(const SelectionDriver& driver, Table*** out, int16_t* n) {
  *out = nullptr;
  *n = 0;
  int32_t count = driver.tables.Count();
  for (const ConditionGroup& g : driver.groups) count += static_cast<int32_t>(g.tables().size());
  if (count == 0) return true;
  if (count > INT16_MAX) return false;
  Table** list = static_cast<Table**>(AllocZeroed(static_cast<size_t>(count), sizeof(Table*)));
  if (list == nullptr) return false;
  int16_t k = 0;
  for (int16_t i = 0; i < driver.tables.Count(); ++i) list[k++] = driver.tables.GetAs<Table>(i);
  for (const ConditionGroup& g : driver.groups) {
    for (Table* t : g.tables()) {
      bool listed = false;
      for (int16_t j = 0; j < k && !listed; ++j) listed = list[j] == t;
      if (!listed) list[k++] = t;
    }
  }
  *out = list;
  *n = k;
  return true;
}

bool SameFile(const FileTable* a, const Table* b) {
  if (a == b) return true;
  const char* x = a->EngineFileName();
  const char* y = b->AsFile() == nullptr ? nullptr : b->AsFile()->EngineFileName();
  return x != nullptr && y != nullptr && CompareNoCase(x, y) == 0;
}

}  // namespace

FilterEngineCalls& BoundFilterCalls() {
  static EngineCalls calls;
  return calls;
}

EngineFilter* EngineFilter::Create(const SelectionDriver& driver, FilterEngineCalls* calls) {
  // A range narrows a table only when no other table of the selection
  // reads the same file: the engine keeps one keyed browse and one range
  // per file, so a table and its alias (or two aliases) stepping through
  // it together would share them. Such files are browsed by record number.
  Table** browsed = nullptr;
  int16_t browsedCount = 0;
  if (!BrowsedTables(driver, &browsed, &browsedCount)) return nullptr;
  int16_t from = static_cast<int16_t>(driver.tables.Count());
  Table** eligible = static_cast<Table**>(AllocZeroed(from > 0 ? from : 1, sizeof(Table*)));
  if (eligible == nullptr) {
    free(browsed);
    return nullptr;
  }
  int16_t n = 0;
  for (int16_t i = 0; i < from; ++i) {
    FileTable* t = browsed[i] == nullptr ? nullptr : browsed[i]->AsFile();
    if (t == nullptr) continue;
    int uses = 0;
    for (int16_t j = 0; j < browsedCount; ++j) {
      if (browsed[j] != nullptr && SameFile(t, browsed[j])) ++uses;
    }
    if (uses == 1) eligible[n++] = t;
  }
  free(browsed);
  int32_t handle = driver.request == nullptr ? 0 : driver.request->engineHandle;
  EngineFilter* filter = new (std::nothrow) EngineFilter(driver.where, eligible, n, calls, handle);
  if (filter == nullptr) free(eligible);
  return filter;
}

EngineFilter::EngineFilter(const ParseNode* where, Table** eligible, int16_t eligibleCount,
                           FilterEngineCalls* calls, int32_t handle)
    : where_(where),
      eligible_(eligible),
      eligibleCount_(eligibleCount),
      calls_(calls != nullptr ? calls : &BoundFilterCalls()),
      handle_(handle) {}

EngineFilter::~EngineFilter() {
  free(eligible_);
}

// Bounds are taken only from leaves reached from the root through AND
// lists alone: such a leaf holds for every row the whole WHERE clause
// accepts, so a range drawn from it loses none of them. A leaf under an OR
// holds only for the rows of its own branch; it narrows nothing (a range
// would be sound only if every branch bounded the same table, which is not
// looked for). The tree is NOT-free here, negation living in the leaves; a
// NOT node still met (a restructuring that did not complete) is not
// entered.
void EngineFilter::Collect(const ParseNode* tree, int depth) {
  if (tree == nullptr || depth > kMaxDepth || contradiction_ || error_ != 0) return;
  if (tree->code == kConditionLeaf) {
    Offer(tree);
    return;
  }
  if (tree->code != kConditionGroup) return;
  for (const ParseNode* node = tree; node != nullptr; node = node->next) {
    if (node->code != kConditionGroup && node->code != kConditionAnd) return;
  }
  for (const ParseNode* node = tree; node != nullptr; node = node->next) {
    if (node->code != kConditionGroup) continue;
    Collect(node->child, depth + 1);
    if (contradiction_ || error_ != 0) return;
  }
}

void EngineFilter::Offer(const ParseNode* leaf) {
  FilterBound* bound = nullptr;
  switch (ReadKeyCondition(leaf, eligible_, eligibleCount_, &bound)) {
    case KeyConditionResult::kNone:
      return;
    case KeyConditionResult::kNoMemory:
      error_ = 2;
      return;
    case KeyConditionResult::kBound:
      break;
  }
  switch (OfferBound(&candidates_, bound)) {
    case OfferResult::kTaken:
      break;
    case OfferResult::kContradiction:
      contradiction_ = true;
      break;
    case OfferResult::kNoMemory:
      error_ = 2;
      break;
  }
}

bool EngineFilter::Analyse() {
  Collect(where_, 0);
  if (contradiction_ || error_ != 0) {
    // No range at all: the conditions are still evaluated on every row.
    candidates_.Clear();
    return true;
  }
  if (candidates_.count() == 0) return false;
  if (!CompleteRanges(&candidates_)) return false;
  return SelectFinalRanges(candidates_, &ranges_);
}

void EngineFilter::Install() {
  for (int32_t i = 0; i < ranges_.count(); ++i) {
    FilterRange& range = ranges_.at(i);
    EngineRangeForm form;
    range.installed = false;
    if (!EngineForm(range, &form)) continue;
    range.installed = calls_->Install(handle_, range.low->table, range.low->column, form.low,
                                      form.high, form.size, form.typeCode) == 0;
    range.single = range.installed && AtMostOneRecord(range, form);
  }
}

void EngineFilter::Remove() {
  for (int32_t i = 0; i < ranges_.count(); ++i) {
    FilterRange& range = ranges_.at(i);
    calls_->Remove(handle_, range.low->table);
    range.installed = false;
    range.single = false;
  }
}

const char* EngineFilter::KeyFor(const Table& table) const {
  for (int32_t i = 0; i < ranges_.count(); ++i) {
    const FilterRange& range = ranges_.at(i);
    if (range.installed && range.low->from == &table) return range.low->column;
  }
  return nullptr;
}

bool EngineFilter::AtMostOne(const Table& table) const {
  for (int32_t i = 0; i < ranges_.count(); ++i) {
    const FilterRange& range = ranges_.at(i);
    if (range.installed && range.low->from == &table) return range.single;
  }
  return false;
}

}  // namespace zksql
