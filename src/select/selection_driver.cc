// SelectionDriver: set-up by the analysis, condition groups, and the two
// selection paths that compute `rows`.
//
// The join path (SelectJoined) evaluates every predicate over the product
// of its group's tables with the negation that NOT removal left in its row
// set, then reduces the NOT-free tree by set algebra. The single-table path
// (SelectSingle) instead evaluates the parse tree's own WHERE clause per
// combination from the predicates' results; since that clause still holds
// its NOT tokens, the results it uses are each predicate's own truth (never
// negated by the row set's flag), so that every NOT counts exactly once.
#include "select/selection_driver.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <utility>

#include "base/fast_paths.h"
#include "base/messages.h"
#include "base/statement_context.h"
#include "select/column_comparison.h"
#include "select/column_value.h"
#include "select/condition_evaluator.h"
#include "select/condition_tree.h"
#include "select/correlated_values.h"
#include "select/equi_join.h"
#include "select/row_set.h"
#include "select/row_set_reduction.h"
#include "select/where_restructure.h"
#include "select/work_stack.h"
#include "sql/rule_codes.h"
#include "sql/token_codes.h"
#include "sql/value_list.h"
#include "storage/column.h"
#include "storage/table.h"
#include "values/row_binding.h"

namespace zksql {

namespace {

// How deep the WHERE visitor follows the parse tree, counted in parse
// nodes rather than levels of nesting (a parenthesised condition is seven
// nodes deep). The parser bounds the nesting of a statement; this bound
// keeps the visitor's own recursion safe whatever tree it is given, and lies
// far above what a parsed statement reaches (a deeper clause counts as
// malformed).
constexpr int kMaxVisitDepth = 4096;

}  // namespace

const char kMissingDataText[] =
    "SQL/ZK: Il manque des donn\xE9"
    "es pour compl\xE9"
    "ter l'ex\xE9"
    "cution de la requete SQL. "
    "Elle est probablement incompl\xE8"
    "te. (Par exemple, il y a plusieurs tables pr\xE9"
    "sentes "
    "dans la clause FROM, mais elles ne sont pas toutes li\xE9"
    "es par des crit\xE8"
    "res dans la "
    "clause WHERE)";
const char kUpdateValuesText[] = "Valeurs pour UPDATE incorrectes";

// One predicate's result, for the single-table WHERE visitor.
struct SelectionDriver::Outcome {
  const ParseNode* predicate;
  bool result;
};

namespace {

using Outcomes = WorkStack<SelectionDriver::Outcome>;

}  // namespace

namespace {

// The predicates of a group that ColumnComparison can decide, taken apart
// once for the whole selection; the others stay with the evaluator. Empty
// when the fast paths are off.
class CompiledPredicates {
 public:
  // False when memory is short.
  bool Compile(const std::vector<RowSet*>& rowSets) {
    if (!FastPathsOn()) return true;
    try {
      compiled_.resize(rowSets.size());
      usable_.resize(rowSets.size());
      for (size_t p = 0; p < rowSets.size(); ++p) usable_[p] = compiled_[p].Compile(*rowSets[p]);
    } catch (const std::bad_alloc&) {
      return false;
    }
    return true;
  }
  // Predicate p when it is compiled and decided on its own for every row
  // (Holds), else null.
  const ColumnComparison* SelfContained(size_t p) const {
    return p < usable_.size() && usable_[p] && !compiled_[p].NeedsEvaluator() ? &compiled_[p]
                                                                              : nullptr;
  }
  // Predicate p's truth into *holds; false when the evaluator must say.
  bool Decide(size_t p, int16_t negate, ConditionEvaluator* evaluator, int16_t driverIndex,
              bool* holds) const {
    return p < usable_.size() && usable_[p] &&
           compiled_[p].Decide(negate, evaluator, driverIndex, holds);
  }

 private:
  std::vector<ColumnComparison> compiled_;
  std::vector<bool> usable_;
};

}  // namespace

SelectionDriver::SelectionDriver(StatementContext* req)
    : request(req), tableNames(ParseNode::Create("", 0, 0)) {}

SelectionDriver::~SelectionDriver() {
  // The groups list the row sets the tree owns: they go first.
  groups.clear();
  DropConditionTree(where);
  where = nullptr;
  tables.ClearAll();
  result = nullptr;
}

bool SelectionDriver::AddTable(Table* table) {
  if (table == nullptr) return false;
  if (tables.Add(table) < 0) return false;
  if (tableNames != nullptr && table->fileName() != nullptr) {
    // Not checked yet: a name that cannot be added for want of memory
    // leaves the table out of the names that outer references are looked
    // up in, and the statement goes on.
    (void)tableNames->AddPathElement(table->fileName());
  }
  return true;
}

Column* SelectionDriver::FindColumn(const char* name) const {
  if (name == nullptr) return nullptr;
  const char* dot = std::strchr(name, '.');
  if (dot != nullptr) {
    char tablePart[256];
    size_t n = static_cast<size_t>(dot - name);
    if (n >= sizeof tablePart) return nullptr;
    std::memcpy(tablePart, name, n);
    tablePart[n] = '\0';
    SearchKey key;
    key.name = tablePart;
    int16_t i = tables.Find(0, key);
    Table* table = i < 0 ? nullptr : tables.GetAs<Table>(i);
    return table == nullptr ? nullptr : table->FindColumn(dot + 1);
  }
  for (int16_t i = tables.last(); i >= 0; --i) {
    Table* table = tables.GetAs<Table>(i);
    Column* column = table == nullptr ? nullptr : table->FindColumn(name);
    if (column != nullptr) return column;
  }
  return nullptr;
}

bool SelectionDriver::RegisterCondition(const std::vector<Table*>& spanned, RowSet* rowSet) {
  if (rowSet == nullptr || rowSet->tuples == nullptr) return false;
  try {
    auto group = groups.begin();
    while (group != groups.end() && !group->Spans(spanned)) ++group;
    if (group == groups.end()) {
      group = groups.emplace(spanned.empty() ? groups.begin() : groups.end(), spanned);
    }
    for (const Table* table : group->tables()) {
      if (!rowSet->tuples->AddTupleColumn(table->fileName())) return false;
    }
    group->Add(rowSet);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

void SelectionDriver::DropConditionTree(ParseNode* tree) {
  // Leaves own their row sets; the node destructor walks the tree without
  // recursing along sibling chains.
  delete tree;
}

bool SelectionDriver::RestructureWhere() {
  return zksql::RestructureWhere(&where);
}

void SelectionDriver::Report(const char* text) {
  RecordError(request, text);
}

void SelectionDriver::ReportReadError(const Table* table, int32_t code) {
  const char* name = table == nullptr ? nullptr : table->fileName();
  RecordMessage(request, nullptr, kMsgReadWriteError, name == nullptr ? "" : name,
                static_cast<int>(-code));
}

void SelectionDriver::ReportDisjoint() {
  RecordMessage(request, nullptr, kMsgDisjointTables);
}

void SelectionDriver::ReportNoMemory() {
  RecordMessage(request, nullptr, kMsgOutOfMemory);
}

bool SelectionDriver::BindRow(const RowSet& rowSet, RowBinding* binding) const {
  binding->Clear();
  const PtrArray* cols = rowSet.conditionColumns.get();
  for (int16_t i = 0; cols != nullptr && i < cols->Count(); ++i) {
    Column* column = cols->GetAs<Column>(i);
    if (column == nullptr) continue;
    TypedValue value = CurrentValueOf(column);
    if (!binding->Bind(column->tableName(), column->name(), value)) return false;
  }
  return true;
}

// Evaluates a condition without table once and settles its row set.
bool SelectionDriver::EvaluateOnce(int16_t driverIndex, RowSet* rs, int16_t useNegation,
                                   bool* resultOut) {
  ConditionEvaluator* ev = evaluator;
  if (ev == nullptr) return false;
  bool r;
  if (rs->deferred) {
    // Counted as holding (see correlated_values.h): with the negation
    // applied, or before it when the caller applies it.
    r = useNegation ? true : rs->negated == 0;
    rs->state = RS_ALL;
    *resultOut = r;
    return true;
  }
  r = ev->EvaluateCondition(driverIndex, rs->condition, nullptr, useNegation ? rs->negated : 0);
  rs->state = r ? RS_ALL : RS_NONE;
  *resultOut = r;
  return true;
}

// Steps the odometer through every combination of its tables and calls
// visit() on each, the odometer positioned on it. `visit` answers false
// after reporting a failure, which ends the walk. True when every
// combination was visited; false after a failure or a read error
// (reported by the odometer).
template <typename Visit>
bool SelectionDriver::ForEachCombination(Odometer& odometer, Visit visit) {
  int16_t step = odometer.Start();
  while (step == 1) {
    if (!visit()) return false;
    step = odometer.Step();
  }
  return step >= 0;
}

bool SelectionDriver::EvaluateGroupJoined(int16_t driverIndex, const ConditionGroup& group,
                                          const KeySource* filter) {
  // A group's tables are distinct tables of the dictionary, which holds at
  // most PtrArray::kMaxSlots of them.
  int16_t n = static_cast<int16_t>(group.tables().size());
  if (n == 0) {
    for (RowSet* rs : group.rowSets()) {
      bool r;
      if (!EvaluateOnce(driverIndex, rs, 1, &r)) return false;
    }
    return true;
  }
  ConditionEvaluator* ev = evaluator;
  if (ev == nullptr) return false;
  // Join predicates are answered by a hash of the first table when the
  // group holds nothing else.
  if (FastPathsOn() && n == 2) {
    if (streamJoin_) {
      // The join's tuples are the selection's rows: they go to the result
      // as they are found.
      struct ResultSink : JoinSink {
        SelectionDriver* driver;
        bool Take(const int32_t*) override { return driver->AddResultRow(); }
      } sink;
      sink.driver = this;
      if (PrepareResult(streamInto_) == nullptr) return false;
      streamed_ = true;
      EquiJoinOutcome outcome = EvaluateEquiJoin(request, group, filter, &sink);
      if (outcome != EquiJoinOutcome::kNotApplicable) return outcome == EquiJoinOutcome::kDone;
      // Nothing was added: the result is built from the row set after all.
      streamed_ = false;
      result = nullptr;
    }
    EquiJoinOutcome outcome = EvaluateEquiJoin(request, group, filter);
    if (outcome != EquiJoinOutcome::kNotApplicable) return outcome == EquiJoinOutcome::kDone;
  }
  Odometer odo(request, group.tables().data(), n, filter);
  CompiledPredicates compiled;
  if (!compiled.Compile(group.rowSets())) {
    ReportNoMemory();
    return false;
  }
  // Each predicate, with the negation left in its row set, over the
  // combination; the combinations it holds for are added to its row set.
  RowBinding binding;
  auto evaluate = [&]() {
    for (size_t p = 0; p < group.rowSets().size(); ++p) {
      RowSet* rs = group.rowSets()[p];
      bool r = true;  // a deferred condition counts as holding
      if (!rs->deferred && !compiled.Decide(p, rs->negated, ev, driverIndex, &r)) {
        if (!BindRow(*rs, &binding)) {
          ReportNoMemory();
          return false;
        }
        r = ev->EvaluateCondition(driverIndex, rs->condition, &binding, rs->negated);
      }
      if (r) {
        rs->state = RS_EXPLICIT;
        if (!rs->tuples->AppendTuple(odo.numbers(), n)) {
          ReportNoMemory();
          return false;
        }
      }
    }
    return true;
  };
  return ForEachCombination(odo, evaluate);
}

bool SelectionDriver::Select(TupleTable* target, const int32_t* numbers, int16_t n) {
  if (streamed_) return AddResultRow();
  if (target->AppendTuple(numbers, n)) return true;
  ReportNoMemory();
  return false;
}

bool SelectionDriver::FullScan() {
  std::unique_ptr<RowSet> scan(RowSet::Create(nullptr, nullptr, nullptr));
  if (scan == nullptr) {
    ReportNoMemory();
    return false;
  }
  Table* table = tables.Count() > 0 ? tables.GetAs<Table>(0) : nullptr;
  if (table != nullptr) {
    if (!scan->tuples->AddTupleColumn(table->fileName() == nullptr ? "" : table->fileName())) {
      ReportNoMemory();
      return false;
    }
    int32_t r = table->ReadFirst(nullptr);
    while (r > 0) {
      if (!Select(scan->tuples.get(), &r, 1)) return false;
      r = table->ReadNext(nullptr);
    }
    if (r < 0) {
      ReportReadError(table, r);
      return false;
    }
  }
  rows = std::move(scan);
  return true;
}

bool SelectionDriver::SelectJoined(int16_t driverIndex) {
  rows.reset();
  streamed_ = false;  // a join's tuples are combined before they are rows
  if (where != nullptr) {
    KeySource* filter =
        filterBuilder == nullptr ? nullptr : filterBuilder->Build(*this, driverIndex);
    bool ok = RestructureWhere();
    if (!ok) ReportNoMemory();
    // A WHERE that is one join predicate over the two FROM tables selects
    // the join's tuples as they come: a top-level SELECT may take them
    // straight into its result.
    streamJoin_ = ok && streamInto_ != nullptr && tables.Count() == 2 && groups.size() == 1 &&
                  groups.front().tables().size() == 2 && groups.front().rowSets().size() == 1 &&
                  where != nullptr && where->code == kConditionLeaf && where->next == nullptr &&
                  RowSetOf(where) == groups.front().rowSets().front();
    for (auto g = groups.begin(); ok && g != groups.end(); ++g) {
      ok = EvaluateGroupJoined(driverIndex, *g, filter);
    }
    bool combine = false;
    if (ok) {
      std::unique_ptr<RowSet> reduced;
      CombineStatus st = ReduceToRowSet(where, &reduced);
      if (st == CombineStatus::kDone && reduced != nullptr) {
        // A set of every row is left out: the selection goes on as if there
        // were no WHERE clause.
        if (reduced->state != RS_ALL) rows = std::move(reduced);
      } else if (st == CombineStatus::kNoMemory) {
        ReportNoMemory();
        ok = false;
      } else {
        // A tree that does not reduce to one row set (a refused join or
        // union, a reduction that makes no progress) is decided one
        // combination at a time when its single predicates link the
        // tables; otherwise it is a failure of its own, never an empty
        // result. The combinations are read once the filter is gone.
        combine = true;
      }
    }
    if (filterBuilder != nullptr) filterBuilder->Drop(filter);
    if (ok && combine) ok = SelectCombinations(driverIndex);
    if (!ok) return false;
    if (rows != nullptr) return true;
  }
  if (tables.Count() >= 2) {
    // A cartesian product of unrelated tables is never produced.
    ReportDisjoint();
    return false;
  }
  return FullScan();
}

namespace {

// The truth of the parse tree's WHERE clause from the predicates' results
// (the current combination's, then the constant ones). A malformed tree
// raises the flag, which makes the clause false.
class WhereVisitor {
 public:
  WhereVisitor(const Outcomes* row, int32_t rowCount, Outcomes* constants)
      : row_(row), rowCount_(rowCount), constants_(constants) {}

  bool Clause(const ParseNode* clause) {
    flag_ = false;
    bool v = clause == nullptr || clause->child == nullptr || Visit(clause->child, 0);
    return v && !flag_;
  }

 private:
  bool Member(const ParseNode* m, int depth) {
    if (m->child == nullptr) {
      flag_ = true;
      return true;
    }
    return Visit(m->child, depth + 1);
  }
  bool Lookup(const ParseNode* node, bool* r) {
    for (int32_t i = 0; row_ != nullptr && i < rowCount_; ++i) {
      if (const_cast<Outcomes*>(row_)->At(i).predicate == node) {
        *r = const_cast<Outcomes*>(row_)->At(i).result;
        return true;
      }
    }
    for (int32_t i = 0; constants_ != nullptr && i < constants_->Count(); ++i) {
      if (constants_->At(i).predicate == node) {
        *r = constants_->At(i).result;
        return true;
      }
    }
    return false;
  }
  bool Visit(const ParseNode* node, int depth) {
    if (depth > kMaxVisitDepth) {
      flag_ = true;
      return true;
    }
    switch (node->code) {
      case LEX_NOT:
        if (node->next == nullptr) {
          flag_ = true;
          return true;
        }
        return !Visit(node->next, depth + 1);
      case FON_TERME_LOGIQUE:
      case FON_TERME: {
        bool r = false;
        for (const ParseNode* m = node; m != nullptr; m = m->next) r |= Member(m, depth);
        return r;
      }
      case FON_FACTEUR_LOGIQUE:
      case FON_FACTEUR: {
        bool r = true;
        for (const ParseNode* m = node; m != nullptr; m = m->next) r &= Member(m, depth);
        return r;
      }
      case FON_EXPRESSION: {
        bool r;
        if (Lookup(node, &r)) return r;
        return node->child == nullptr || Visit(node->child, depth + 1);
      }
      default:
        return node->child == nullptr || Visit(node->child, depth + 1);
    }
  }

  const Outcomes* row_;
  int32_t rowCount_;
  Outcomes* constants_;
  bool flag_ = false;
};

}  // namespace

bool SelectionDriver::SelectSingle(int16_t driverIndex) {
  rows.reset();
  if (!StartStreaming()) return false;
  if (where != nullptr) {
    ParseNode* clause = whereClause;
    if (clause == nullptr) {
      // Without the clause the rows cannot be told apart; selecting them
      // all would make a DELETE or UPDATE touch every row.
      RecordMessage(request, nullptr, kMsgInternalError, "WHERE");
      return false;
    }
    ConditionEvaluator* ev = evaluator;
    if (ev == nullptr) {
      RecordMessage(request, nullptr, kMsgInternalError, "Evaluator");
      return false;
    }
    KeySource* filter =
        filterBuilder == nullptr ? nullptr : filterBuilder->Build(*this, driverIndex);
    Outcomes constants;
    Outcomes row;
    RowSet* target = nullptr;
    bool sawTables = false;
    bool ok = RestructureWhere();
    if (!ok) ReportNoMemory();
    WhereVisitor visitor(&row, 0, &constants);
    for (auto g = groups.begin(); ok && g != groups.end(); ++g) {
      const std::vector<RowSet*>& rowSets = g->rowSets();
      int16_t n = static_cast<int16_t>(g->tables().size());
      if (n == 0) {
        for (auto e = rowSets.begin(); ok && e != rowSets.end(); ++e) {
          bool r = false;
          // The predicate's own truth: the visitor applies the NOTs.
          if (!EvaluateOnce(driverIndex, *e, 0, &r)) continue;
          if (!constants.Push(Outcome{(*e)->condition, r})) {
            ReportNoMemory();
            ok = false;
          }
          if (target == nullptr) target = *e;
        }
        continue;
      }
      sawTables = true;
      target = rowSets.empty() ? nullptr : rowSets.front();
      Odometer odo(request, g->tables().data(), n, filter);
      CompiledPredicates compiled;
      if (!compiled.Compile(rowSets)) {
        ReportNoMemory();
        ok = false;
        break;
      }
      RowBinding binding;
      // A clause whose NOT-free form is this one predicate, not negated,
      // holds exactly when the predicate does: the clause need not be
      // walked for every combination.
      const bool soleLeaf = FastPathsOn() && rowSets.size() == 1 && where != nullptr &&
                            where->code == kConditionLeaf && where->next == nullptr &&
                            RowSetOf(where) == rowSets.front() && rowSets.front()->negated == 0 &&
                            !rowSets.front()->deferred;
      // Each predicate's own truth over the combination, then the WHERE
      // clause from them; the combinations it holds for are added to the
      // target row set.
      auto decide = [&]() {
        Outcome discard;
        while (row.Pop(&discard)) {
        }
        bool evaluated = true;
        for (size_t p = 0; p < rowSets.size(); ++p) {
          RowSet* rs = rowSets[p];
          // A deferred condition counts as holding once the clause's NOTs
          // are applied to it: its own truth is the opposite of its parity.
          bool r = rs->negated == 0;
          if (!rs->deferred && !compiled.Decide(p, 0, ev, driverIndex, &r)) {
            if (!BindRow(*rs, &binding)) {
              ReportNoMemory();
              evaluated = false;
              break;
            }
            r = ev->EvaluateCondition(driverIndex, rs->condition, &binding, 0);
          }
          if (!row.Push(Outcome{rs->condition, r})) {
            ReportNoMemory();
            evaluated = false;
            break;
          }
        }
        if (!evaluated) return false;
        if (target != nullptr) {
          bool holds;
          if (soleLeaf && evaluated) {
            holds = row.At(0).result;
          } else {
            WhereVisitor rowVisitor(&row, row.Count(), &constants);
            holds = rowVisitor.Clause(clause);
          }
          if (holds && !Select(target->tuples.get(), odo.numbers(), n)) return false;
        }
        return evaluated;
      };
      // One compiled comparison that decides every row by itself, with no
      // sub-select to refuse: the rows are walked without the per-row
      // bookkeeping of outcomes, with the same rows selected in the same
      // order.
      const ColumnComparison* sole = soleLeaf ? compiled.SelfContained(0) : nullptr;
      if (sole != nullptr && target != nullptr) {
        int16_t step = odo.Start();
        while (step == 1) {
          if (sole->Holds(0) && !Select(target->tuples.get(), odo.numbers(), n)) break;
          step = odo.Step();
        }
        if (step != 0) ok = false;
        continue;
      }
      if (!ForEachCombination(odo, decide)) ok = false;
    }
    if (ok && !sawTables && target != nullptr) {
      target->state = visitor.Clause(clause) ? RS_ALL : RS_NONE;
    }
    if (ok && target != nullptr) {
      // A set of every row is left out, as on the join path.
      std::unique_ptr<RowSet> copy(target->Copy());
      if (copy == nullptr) {
        ReportNoMemory();
        ok = false;
      } else if (copy->state != RS_ALL) {
        rows = std::move(copy);
      }
    }
    if (filterBuilder != nullptr) filterBuilder->Drop(filter);
    if (!ok) return false;
    if (rows != nullptr) return true;
  }
  if (tables.Count() >= 2) {
    ReportDisjoint();
    return false;
  }
  return FullScan();
}

}  // namespace zksql
