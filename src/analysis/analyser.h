// Analyser: checks a parsed SELECT against the dictionary and turns it into
// what the selection engine executes.
//
// For every SELECT level (the statement and each sub-select) it creates a
// selection driver in the statement's selection plan, adds the FROM
// tables, resolves the
// select list, and turns the WHERE (and HAVING) clause into a condition
// tree of AND, OR and NOT nodes over one row set per predicate, each row
// set filed under the tables the predicate reads. It types expressions
// (numeric, text, any) and rewrites every column reference in the parse
// tree to TABLE/COLUMN so that the evaluator finds it in a row binding.
// Other statement kinds pass unanalysed: the executor checks them as it
// runs them (UPDATE and DELETE with WHERE come back here rewritten into a
// SELECT).
//
// The first error stops the analysis and is recorded in the statement's
// context; a rejection never leaves it without an error text. The analyser
// owns nothing: what it builds belongs to the plan and the parse tree.
#ifndef ZKSQL_ANALYSIS_ANALYSER_H_
#define ZKSQL_ANALYSIS_ANALYSER_H_

#include <cstdint>
#include <vector>

#include "base/base_object.h"
#include "base/ptr_array.h"
#include "sql/parse_node.h"

namespace zksql {

struct StatementContext;
class DictContext;
class SelectionPlan;
class Table;

// What one predicate reads, gathered as its operands are analysed: the
// tables of its columns, each once in the order first read (the condition
// group its row set is filed under), and its column references, TABLE/COLUMN
// texts in the order met (which its row set takes over).
class PredicateReads {
 public:
  PredicateReads() = default;
  PredicateReads(const PredicateReads&) = delete;
  PredicateReads& operator=(const PredicateReads&) = delete;

  // Adds a reference to a column of `table`; a table without a name (an
  // in-memory result) is no table the predicate steps through. False when
  // memory is short.
  [[nodiscard]] bool Add(Table* table, const char* reference);
  // Adds a reference to a column of an enclosing SELECT: a value that the
  // enclosing row gives, which makes the predicate deferred. False when
  // memory is short.
  [[nodiscard]] bool AddOuter(const char* reference);
  bool readsOuter() const { return readsOuter_; }
  // Whether a reference with exactly this text was added.
  bool HasReference(const char* reference) const;
  const std::vector<Table*>& tables() const { return tables_; }
  // Hands the chain of references over; none are left.
  ParseNodePtr TakeReferences();

 private:
  std::vector<Table*> tables_;
  ParseNodePtr references_;
  ParseNode* last_ = nullptr;  // the last of the chain references_ holds
  bool readsOuter_ = false;
};

// Type classes of analysed expressions.
constexpr int16_t kClassNumeric = 104;
constexpr int16_t kClassText = 301;
constexpr int16_t kClassAny = -1;
constexpr int16_t kClassFailed = 0;

class Analyser : public BaseObject {
 public:
  explicit Analyser(StatementContext* request) : request_(request) {}

  // Analyses the context's statement into `plan`. False when it was
  // rejected (the reason recorded in the request).
  [[nodiscard]] bool Analyse(SelectionPlan* plan);

 private:
  // Deepest nesting of parenthesised conditions and values analysed, one
  // level per parenthesis. A guard on the analyser's own recursion for
  // whatever tree it is given, not a limit of the language: it lies above
  // the statement nesting the parser allows, so that no statement the
  // parser accepted is refused here for its depth.
  static constexpr int kMaxDepth = 256;
  static_assert(kMaxDepth >= kMaxStatementNesting, "the analyser must take every parsed statement");

  [[nodiscard]] bool SelectStatement(ParseNode* statement, int16_t orderDriver);
  int16_t SubSelect(ParseNode* subSelect, int16_t parent, int16_t operand, int16_t* indexOut);
  void RegisterTable(ParseNode* tableRef, int16_t driver);
  int16_t SelectList(ParseNode* list, int16_t driver, int16_t operand);
  [[nodiscard]] bool ColumnList(ParseNode* list, int16_t driver);
  // The ORDER BY list of a SELECT (`subSelect`, its FON_SOUS_SELECT node)
  // whose rows driver `driver` yields, into the plan's order keys; with
  // `combined`, the list orders a set operation's rows (order_analysis.cc).
  [[nodiscard]] bool OrderList(ParseNode* list, const ParseNode* subSelect, int16_t driver,
                               bool combined);
  int16_t ColumnReference(ParseNode* leaf, PtrArray* columns, PredicateReads* reads,
                          int16_t driver);
  [[nodiscard]] bool RegisterSubSelect(int16_t subIndex, int16_t driver, PredicateReads* reads,
                                       PtrArray* columns);

  // Condition analysis and typing (condition_analysis.cc).
  int16_t Condition(ParseNode* condition, int16_t arithmetic, int16_t* logical, ParseNodePtr* slot,
                    int16_t driver);
  int16_t ListLevel(ParseNode* list, int32_t op, int16_t arithmetic, int16_t* logical,
                    ParseNodePtr* slot, int16_t driver);
  int16_t AndLevel(ParseNode* term, int16_t arithmetic, int16_t* logical, ParseNodePtr* slot,
                   int16_t driver);
  int16_t NotLevel(ParseNode* factor, int16_t arithmetic, int16_t* logical, ParseNodePtr* slot,
                   int16_t driver);
  int16_t Predicate(ParseNode* predicate, int16_t arithmetic, ParseNodePtr* slot,
                    PredicateReads* reads, PtrArray* columns, int16_t driver);
  int16_t OperandChain(ParseNode* first, bool factors, bool sign, int16_t arithmetic,
                       int16_t* logical, ParseNodePtr* slot, PredicateReads* reads,
                       PtrArray* columns, int16_t driver);
  int16_t FirstMember(ParseNode* member, int16_t arithmetic, int16_t* logical, ParseNodePtr* slot,
                      PredicateReads* reads, PtrArray* columns, int16_t driver);
  int16_t Term(ParseNode* term, int16_t arithmetic, int16_t* logical, ParseNodePtr* slot,
               PredicateReads* reads, PtrArray* columns, int16_t driver);
  int16_t Factor(ParseNode* factor, int16_t arithmetic, int16_t* logical, ParseNodePtr* slot,
                 PredicateReads* reads, PtrArray* columns, int16_t driver);
  int16_t SecondMember(ParseNode* comparison, PredicateReads* reads, PtrArray* columns,
                       int16_t driver);
  int16_t OperandHolder(ParseNode* holder, PredicateReads* reads, PtrArray* columns,
                        int16_t driver);
  int16_t OperandSubSelect(ParseNode* subSelect, PredicateReads* reads, PtrArray* columns,
                           int16_t driver);
  int16_t Item(ParseNode* item, int16_t aggregate, PredicateReads* reads, PtrArray* columns,
               int16_t driver);

  // Loads message `id`, formats it with `argument` and records it.
  void ReportMessage(int32_t id, const char* argument);
  // Records a plain rejection when nothing more precise was reported.
  void ReportRejected(const char* what);

  StatementContext* request_;
  SelectionPlan* plan_ = nullptr;
  DictContext* dictionary_ = nullptr;
  int depth_ = 0;
};

}  // namespace zksql

#endif  // ZKSQL_ANALYSIS_ANALYSER_H_
