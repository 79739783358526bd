// SelectionDriver: a WHERE clause over several tables that does not reduce
// to one row set, decided one combination at a time.
//
// The set algebra refuses an OR between predicates on different tables: the
// union of sets over different tables has no meaning as a set of tuples.
// Such a clause is still answered when its conjuncts that are single
// predicates link every FROM table: their row sets (filled like any other,
// so the equi-join paths answer the links) reduce to the combinations that
// can satisfy the clause, in the order the reduction gives them. Each of
// those is read, and the remaining (compound) conjuncts are decided on it
// by the evaluator; the combinations for which they all hold are the rows.
//
// A link written inside an OR links nothing: when the single predicates
// leave some table unreached, the clause would need the product of tables
// that no condition links, and it stays refused (4287), as when the root of
// the clause is itself an OR.
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "base/messages.h"
#include "base/statement_context.h"
#include "select/condition_evaluator.h"
#include "select/condition_tree.h"
#include "select/condition_truth.h"
#include "select/conjuncts.h"
#include "select/row_set.h"
#include "select/row_set_reduction.h"
#include "select/selection_driver.h"
#include "storage/table.h"
#include "values/row_binding.h"

namespace zksql {

namespace {

// True when every FROM table has a column in one of the row sets.
bool CoversEveryTable(const std::vector<const RowSet*>& sets, const PtrArray& tables) {
  for (int16_t t = 0; t < tables.Count(); ++t) {
    const Table* table = tables.GetAs<Table>(t);
    if (table == nullptr) continue;
    const char* name = table->fileName() == nullptr ? "" : table->fileName();
    bool found = false;
    for (const RowSet* set : sets) {
      if (set != nullptr && set->tuples != nullptr && set->tuples->ColumnIndex(name) >= 0) {
        found = true;
        break;
      }
    }
    if (!found) return false;
  }
  return true;
}

}  // namespace

bool SelectionDriver::SelectCombinations(int16_t driverIndex) {
  Conjuncts parts;
  if (!SplitConjuncts(where, &parts)) {
    ReportNoMemory();
    return false;
  }
  if (!IsConditionTree(where) || parts.leaves.empty() || parts.compound.empty()) {
    ReportDisjoint();
    return false;
  }
  std::unique_ptr<RowSet> candidates;
  {
    ParseNodePtr linked(AndOfLeaves(parts.leaves));
    if (linked == nullptr) {
      ReportNoMemory();
      return false;
    }
    CombineStatus st = ReduceToRowSet(linked.get(), &candidates);
    if (st == CombineStatus::kNoMemory) {
      ReportNoMemory();
      return false;
    }
    if (st != CombineStatus::kDone || candidates == nullptr || candidates->state == RS_ALL) {
      ReportDisjoint();
      return false;
    }
    // A set that nothing satisfies (a conjunct false for every row) has no
    // columns left: the tables count as linked when the single predicates
    // reach them all, and the answer is no row.
    std::vector<const RowSet*> reach;
    try {
      if (candidates->state == RS_NONE) {
        for (const ParseNode* leaf : parts.leaves) reach.push_back(RowSetOf(leaf));
      } else {
        reach.push_back(candidates.get());
      }
    } catch (const std::bad_alloc&) {
      ReportNoMemory();
      return false;
    }
    if (!CoversEveryTable(reach, tables)) {
      ReportDisjoint();
      return false;
    }
    if (candidates->state == RS_NONE) {
      rows = std::move(candidates);
      return true;
    }
  }
  std::unique_ptr<RowSet> kept(RowSet::Create(nullptr, nullptr, nullptr));
  if (kept == nullptr) {
    ReportNoMemory();
    return false;
  }
  const TupleTable& from = *candidates->tuples;
  const int32_t width = from.ColumnCount();
  std::vector<int32_t> tuple;
  try {
    tuple.resize(static_cast<size_t>(width));
  } catch (const std::bad_alloc&) {
    ReportNoMemory();
    return false;
  }
  for (int32_t i = 0; i < width; ++i) {
    if (!kept->tuples->AddTupleColumn(from.ColumnName(i))) {
      ReportNoMemory();
      return false;
    }
  }
  ConditionEvaluator* ev = evaluator;
  if (ev == nullptr) {
    RecordMessage(request, nullptr, kMsgInternalError, "Evaluator");
    return false;
  }

  // Each predicate of a compound conjunct, with the negation that NOT
  // removal left in its row set, over the records just read. A deferred
  // one (it reads the enclosing SELECT's row) counts as holding, as on the
  // join path: the tree is NOT-free, so this keeps a superset that the
  // enclosing rows decide later.
  struct CurrentRows : LeafTruth {
    SelectionDriver* driver;
    ConditionEvaluator* evaluator;
    int16_t driverIndex;
    RowBinding binding;
    bool reported = false;
    bool Decide(const ParseNode*, RowSet* rs, bool* holds) override {
      if (rs == nullptr) return false;
      if (rs->deferred) {
        *holds = true;
        return true;
      }
      if (!driver->BindRow(*rs, &binding)) {
        driver->ReportNoMemory();
        reported = true;
        return false;
      }
      *holds = evaluator->EvaluateCondition(driverIndex, rs->condition, &binding, rs->negated);
      return true;
    }
  } leaves;
  leaves.driver = this;
  leaves.evaluator = ev;
  leaves.driverIndex = driverIndex;

  // The combination's conjuncts in order, each stopping the others once
  // false. False on failure (reported).
  auto decide = [&](bool* holds) {
    *holds = true;
    for (const ParseNode* conjunct : parts.compound) {
      TreeTruth truth = TreeHolds(conjunct, leaves);
      if (truth == TreeTruth::kFailed) {
        if (!leaves.reported) ReportNoMemory();
        return false;
      }
      if (truth == TreeTruth::kFalse) {
        *holds = false;
        break;
      }
    }
    return true;
  };
  // ReadTuple reads the records of `rows`: the candidates, while they are
  // walked.
  rows = std::move(candidates);
  const int32_t count = from.TupleCount();
  for (int32_t k = 1; k <= count; ++k) {
    int16_t skip = 0;
    bool holds = false;
    if (!ReadTuple(k, &skip) || (!skip && !decide(&holds))) {
      rows.reset();
      return false;
    }
    // A record gone meanwhile (skip) leaves another one in the buffers,
    // which is not this combination.
    if (skip || !holds) continue;
    for (int32_t i = 0; i < width; ++i) tuple[static_cast<size_t>(i)] = from.At(k, i);
    if (!kept->tuples->AppendTuple(tuple.data(), width)) {
      ReportNoMemory();
      rows.reset();
      return false;
    }
  }
  rows = std::move(kept);
  return true;
}

}  // namespace zksql
