// SelectionDriver: executes one SELECT level — the main SELECT of a
// statement or one sub-select nested in it.
//
// The analysis fills the driver: FROM tables (AddTable), the result
// columns, the quantifier, and one RowSet per WHERE predicate
// (RegisterCondition, filed in a condition group by the tables the
// predicate reads), plus the condition tree in `where`. At execution time
// the driver reduces its WHERE clause to one row set (`rows`): each group's
// predicates are evaluated over the cartesian product of the group's tables
// (the odometer), and the groups are joined by set algebra on record
// numbers. A SELECT over several tables that no condition ties together is
// refused, never answered with a cartesian product. BuildResult then
// materialises the selected rows into an in-memory result table; UPDATE and
// DELETE with a WHERE clause walk `rows` instead (ApplyToRows).
//
// The statement executor creates the drivers, runs SelectJoined (two or
// more FROM tables) or SelectSingle (at most one) from the highest driver
// index down to 0 so that sub-selects run first, then BuildResult or
// ApplyToRows. The evaluator reaches a sub-select's values through the
// executor, which calls SubSelectValues.
//
// selection_driver.cc holds the set-up, the groups and both selection
// paths; odometer.cc the stepping through table products; build_result.cc
// the result table, the sub-select values and UPDATE/DELETE.
#ifndef ZKSQL_SELECT_SELECTION_DRIVER_H_
#define ZKSQL_SELECT_SELECTION_DRIVER_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "base/base_object.h"
#include "base/ptr_array.h"
#include "select/condition_group.h"
#include "select/grouping.h"
#include "select/select_item.h"
#include "sql/parse_node.h"
#include "storage/table.h"

namespace zksql {

class RowBinding;

struct StatementContext;
class Column;
class DictContext;
class ConditionEvaluator;
class ResultTable;
class RowSet;
class TupleTable;
struct CorrelatedValues;

// The seam through which a selection narrows its table reads to key
// ranges. Build makes the filter for a driver before its groups are
// evaluated (and may restructure the driver's WHERE tree); the KeySource
// it returns is handed to every odometer read; Drop removes it from the
// engine and deletes it, on success and failure alike. Without a builder
// the tables are browsed whole.
class FilterBuilder {
 public:
  virtual ~FilterBuilder() = default;
  virtual KeySource* Build(class SelectionDriver& driver, int16_t driverIndex) = 0;
  virtual void Drop(KeySource* filter) = 0;
};

// An array of columns that belong to their tables: the array goes with its
// holder, the columns stay.
using ColumnArrayPtr = BorrowedPtrArray;

// The texts the driver reports as they are (not catalogue messages).
extern const char kMissingDataText[];
extern const char kUpdateValuesText[];

// Steps a list of tables through their cartesian product, the first table
// turning fastest. Reads go through the tables (Table::ReadFirst/ReadNext)
// with the selection's filter. A read error is reported into the request
// with message 4244 (file name, negated engine code), also when it happens
// while a lower table is set back to its first record.
class Odometer {
 public:
  // `tables` (n of them) must outlive the odometer. Null filter: plain
  // browse.
  Odometer(StatementContext* request, Table* const* tables, int16_t n, const KeySource* filter);
  ~Odometer();
  Odometer(const Odometer&) = delete;
  Odometer& operator=(const Odometer&) = delete;

  // Positions on the first combination: 1 when there is one, 0 when some
  // table is empty, -1 on a read error (reported) or lack of memory.
  int16_t Start();
  // Moves to the next combination: 1, 0 when the product is exhausted, -1
  // on a read error (reported).
  int16_t Step();
  // Record numbers of the current combination, one per table in order.
  const int32_t* numbers() const { return numbers_; }
  int16_t count() const { return n_; }

 private:
  int16_t Check(int16_t i, int32_t r);
  StatementContext* request_;
  Table* const* tables_;
  int16_t n_;
  const KeySource* filter_;
  int32_t* numbers_ = nullptr;
};

class SelectionDriver : public BaseObject {
 public:
  // Quantifier codes of `distinct`.
  static constexpr int16_t kDistinct = 20;

  explicit SelectionDriver(StatementContext* request);
  ~SelectionDriver() override;

  // Appends a FROM table (not owned) and its file name to `tableNames`
  // unless already there. True when the table got an index.
  [[nodiscard]] bool AddTable(Table* table);
  // A column by name, plain or "TABLE.COLUMN": with a table part, that FROM
  // table's column; without, the column of the last FROM table that has
  // one. Null when none.
  Column* FindColumn(const char* name) const;
  // Files a predicate's row set under the condition group of the tables it
  // reads (each once, in the order first read; none for a predicate that
  // reads no table), created on first use, and gives the row set one tuple
  // column per table of the group. The row set stays owned by the `where`
  // tree. False when memory is short.
  [[nodiscard]] bool RegisterCondition(const std::vector<Table*>& tables, RowSet* rowSet);
  // Deletes a condition tree with the row sets of its leaves.
  static void DropConditionTree(ParseNode* tree);
  // Replaces `where` by its NOT-free, flattened form. True on success.
  [[nodiscard]] bool RestructureWhere();

  // Compute `rows` for a driver with two or more FROM tables / with at
  // most one. False on failure, with the reason recorded in the request.
  [[nodiscard]] bool SelectJoined(int16_t driverIndex);
  [[nodiscard]] bool SelectSingle(int16_t driverIndex);

  // Asks a top-level SELECT to add its rows to its result table (owned by
  // `dict`) as it selects them, instead of listing them in `rows` and
  // reading them all again in BuildResult. Taken up by a selection over one
  // table without a correlated sub-select (whose refusal the plain path
  // reports); other selections ignore it. Null: no streaming.
  void StreamResultInto(DictContext* dict) { streamInto_ = dict; }
  // Builds the in-memory result table from `rows` (owned by `dict`); null
  // on failure (recorded) or without `rows`. After a streamed selection,
  // the result it filled.
  ResultTable* BuildResult(DictContext* dict);
  // The values this sub-select yields: a new value list, one value of the
  // first result column per selected row. Null when memory is short or on
  // a read error.
  ParseNode* SubSelectValues();
  // Readies a correlated sub-select, whose outer references are
  // `references` (TABLE/COLUMN nodes, borrowed for the driver's life),
  // after its selection ran with its deferred conditions counted as
  // holding: copies what its candidate rows hold into `correlated`. False
  // on failure (reported).
  [[nodiscard]] bool PrepareCorrelated(const ParseNode* references);
  // The values a correlated sub-select yields for the enclosing row whose
  // values `outer` binds under the outer references' texts: a value list
  // as SubSelectValues makes, owned by `correlated` and valid until the
  // next call. Reads no table. Null on failure (reported).
  const ParseNode* CorrelatedSubSelectValues(int16_t driverIndex, const RowBinding* outer);
  // UPDATE (assignments given, applied through `assigner`) or DELETE (null
  // assignments) of every row of `rows`, stopping at the first failure;
  // rows written before it stay written. Deletes the assignment list.
  // True on success.
  [[nodiscard]] bool ApplyToRows(ParseNode* assignments, ValueAssigner* assigner);
  // Records a text as the request's error.
  void Report(const char* text);
  // Fills `columns` for a select list "*": every column of the FROM tables,
  // in order, once per name. False when memory is short.
  [[nodiscard]] bool CollectColumns();

  StatementContext* request;
  int16_t parentIndex = -1;
  int16_t distinct = 0;
  PtrArray tables{0, 4};   // FROM tables, not owned
  ColumnArrayPtr columns;  // result columns; null for "*" until collected
  // How many of `columns` the result shows; those after them are read with
  // the row only for ORDER BY and dropped once the rows are sorted. -1: all.
  int16_t visibleColumns = -1;
  ResultTable* result = nullptr;  // owned by the dictionary context
  std::unique_ptr<RowSet> rows;   // the selected tuples
  // An empty head node, then one link node per sub-select of this SELECT
  // (see SelectionPlan).
  ParseNodePtr subSelects;
  // The condition tree, whose leaves own the predicates' row sets. The
  // driver owns it and deletes it with itself; a plain pointer, since the
  // analysis hands it over by assignment and the restructuring rewrites it
  // in place through its address.
  ParseNode* where = nullptr;
  // The WHERE clause of the parse tree `where` was built from (not owned),
  // given by the analysis.
  ParseNode* whereClause = nullptr;
  // The condition groups, the one without tables (when there is one)
  // first: predicates that read no table are settled before the others,
  // whose decisions on the single-table path use their outcomes.
  std::vector<ConditionGroup> groups;
  // The FROM tables' file names as a slash list.
  ParseNodePtr tableNames;
  // The engine filter's builder; null: no filter.
  FilterBuilder* filterBuilder = nullptr;
  // What decides the conditions (not owned; set by the driver's creator).
  ConditionEvaluator* evaluator = nullptr;
  // The values of a sub-select, taken once right after its selection and
  // copied out for every row of the SELECT that contains it. Taken later,
  // their records would be read while the enclosing SELECT steps through
  // the same file, moving its cursor and overwriting its current row.
  ParseNodePtr valueCache;
  // A correlated sub-select's candidate rows (see correlated_values.h);
  // null for any other driver.
  std::unique_ptr<CorrelatedValues> correlated;

  // Aggregation, set by the analysis. A driver aggregates when it has a
  // GROUP BY list or an aggregate in its select list or HAVING clause: its
  // selected rows then go into groups (select/grouping.h) as they come
  // through AddResultRow, and its result rows, or its sub-select values,
  // are made from the groups that HAVING keeps, one item of `outputs` per
  // result column.
  bool Aggregating() const { return grouped || !aggregates.empty(); }
  std::vector<SelectItem> outputs;        // the select list, item by item
  std::vector<AggregateSpec> aggregates;  // of the select list, then of HAVING
  std::vector<Column*> groupColumns;      // the GROUP BY list
  bool grouped = false;                   // a GROUP BY list was written
  // The HAVING condition tree, decided group by group; its leaves' row sets
  // are filed in no condition group. Owned.
  std::unique_ptr<ParseNode, void (*)(ParseNode*)> having{nullptr, &DropConditionTree};
  // This driver's index in its plan, for the sub-selects of HAVING.
  int16_t selfIndex = -1;
  // The sub-select stands under EXISTS or UNIQUE, which count its rows: a
  // row whose aggregate has no value still counts.
  bool countsRows = false;

  // One predicate's result (used by the single-table path).
  struct Outcome;

 private:
  // Binds the current value of each column the row set's predicate reads;
  // false when memory is short.
  [[nodiscard]] bool BindRow(const RowSet& rowSet, RowBinding* binding) const;
  [[nodiscard]] bool EvaluateOnce(int16_t driverIndex, RowSet* rowSet, int16_t useNegation,
                                  bool* result);
  [[nodiscard]] bool EvaluateGroupJoined(int16_t driverIndex, const ConditionGroup& group,
                                         const KeySource* filter);
  template <typename Visit>
  [[nodiscard]] bool ForEachCombination(Odometer& odometer, Visit visit);
  [[nodiscard]] bool FullScan();
  // The empty result table with one column per result column; null on
  // failure (reported). For an aggregating driver the table gets its
  // columns from FinishGrouping, and the grouping starts empty here.
  ResultTable* PrepareResult(DictContext* dict);
  // Appends the FROM tables' current row to `result` (unless DISTINCT finds
  // it there), or to its group when the driver aggregates; false when it
  // cannot be written (reported).
  [[nodiscard]] bool AddResultRow();
  // Prepares the result of a selection that streams; false on failure
  // (reported). Sets `streamed_` when this selection streams.
  [[nodiscard]] bool StartStreaming();
  // Lists a selected combination: in `target`, or in the result when the
  // selection streams. False on failure (reported).
  [[nodiscard]] bool Select(TupleTable* target, const int32_t* numbers, int16_t n);
  [[nodiscard]] bool ReadTuple(int32_t k, int16_t* skip);
  void ReportReadError(const Table* table, int32_t code);
  void ReportDisjoint();
  void ReportNoMemory();

  // The result rows of an aggregating driver, from its groups: the result
  // table's columns, then one row per group HAVING keeps. Null on failure
  // (reported).
  ResultTable* FinishGrouping();
  // Whether group `g` passes the HAVING clause; false on failure (reported)
  // with *keep unset.
  [[nodiscard]] bool GroupPasses(size_t g, bool* keep);
  // An aggregating sub-select's values: the first item of each kept group.
  ParseNode* GroupedValues();
  // The value list of the rows `grouping_` took: finishes it, lists the
  // first item of each group HAVING keeps, and drops it. Null on failure
  // (reported).
  ParseNode* GroupValueList();
  // A correlated aggregating sub-select's values over its candidates
  // `kept` (correlated_values.cc). Null on failure (reported).
  ParseNode* GroupCandidates(const std::vector<int32_t>& kept);

  std::unique_ptr<Grouping> grouping_;  // while an aggregating driver selects

  // The rows of a WHERE clause over several tables that does not reduce to
  // one row set (combination_filter.cc): the combinations its single
  // predicates select, kept where its other conjuncts hold. Refused with
  // 4287 when those predicates do not link every FROM table. Needs the
  // groups evaluated; false on failure (reported).
  [[nodiscard]] bool SelectCombinations(int16_t driverIndex);

  DictContext* streamInto_ = nullptr;
  bool streamed_ = false;
  bool streamJoin_ = false;  // set by SelectJoined for EvaluateGroupJoined
};

}  // namespace zksql

#endif  // ZKSQL_SELECT_SELECTION_DRIVER_H_
