// Evaluator: the truth of one predicate of a WHERE or HAVING condition, and
// the value of an expression, for one combination of records.
//
// The selection driver calls EvaluateCondition for every condition leaf and
// every combination of the records the condition reads, handing over a row
// binding (values/row_binding.h) with the current column values; the statement
// executor calls EvaluateItem without binding for INSERT and UPDATE values.
// The evaluator works on the parse tree as the analysis annotated it:
// column leaves carry TABLE/COLUMN, sub-select nodes their driver index in
// `value`. Comparison, arithmetic and conversions are the value
// converter's.
//
// It reports no errors: missing values decide instead (see the .cc for the
// rules). Every value an operation returns is a fresh OwnedValue of the
// caller's; nothing else survives a call.
#ifndef ZKSQL_EXEC_EVALUATOR_H_
#define ZKSQL_EXEC_EVALUATOR_H_

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>

#include "base/base_object.h"
#include "select/condition_evaluator.h"
#include "sql/parse_node.h"
#include "values/row_binding.h"
#include "values/typed_value.h"

namespace zksql {

// Runs a sub-select for the evaluator: the value list (see value_list.h)
// that driver `subIndex` yields for the outer row of driver `parentIndex`,
// whose values `binding` holds (a correlated sub-select finds the values
// of its outer references there), or null when there is none. The
// statement executor implements it.
class SubSelectSource {
 public:
  virtual ~SubSelectSource() = default;
  virtual ParseNode* EvaluateSubSelect(int16_t parentIndex, int16_t subIndex,
                                       const RowBinding* binding) = 0;
  // The values the sub-select yields whatever the outer row, kept for the
  // whole statement (the source keeps owning them); null when they depend
  // on the outer row or were not kept.
  virtual const ParseNode* StableSubSelectValues(int16_t parentIndex, int16_t subIndex) {
    (void)parentIndex;
    (void)subIndex;
    return nullptr;
  }
};

class Evaluator : public BaseObject, public ConditionEvaluator {
 public:
  // Deepest nesting of parentheses and function calls evaluated; a deeper
  // expression has no value (the parse tree's depth is the statement's to
  // choose, the call stack is not). Counted in the evaluator's own calls,
  // not in levels of the statement: a parenthesised value costs three
  // (expression, term, factor), so this is a bound of its own and not
  // kMaxStatementNesting, although both are 200.
  static constexpr int kMaxDepth = 200;

  explicit Evaluator(SubSelectSource* executor) : executor_(executor) {}

  // Truth (1/0) of the predicate `predicate` (a FON_EXPRESSION) for the
  // binding (null: none), inverted when `negate` is set. `driverIndex` is
  // the driver whose condition this is (it runs the sub-selects).
  bool EvaluateCondition(int16_t driverIndex, ParseNode* predicate, const RowBinding* binding,
                         int16_t negate) override;
  bool ValueInSubSelect(int16_t driverIndex, const TypedValue& value,
                        const ParseNode* subSelectNode, bool* in) override;

  // Value of a FON_ITEM_SIMPLE; *out is emptied first and stays empty
  // when the item has no value. True when a value results: having no value
  // is an answer (a missing value), not a failure, so callers may look at
  // out->has_value() instead.
  bool EvaluateItem(ParseNode* item, const RowBinding* binding, OwnedValue* out);

  // Value of a FON_ITEM_COMPARE (a sum of terms), as EvaluateItem.
  bool EvaluateExpression(ParseNode* expression, const RowBinding* binding, OwnedValue* out);

  SubSelectSource* executor() const { return executor_; }
  void set_executor(SubSelectSource* executor) { executor_ = executor; }

 private:
  int16_t Comparison(int16_t driverIndex, const TypedValue& left, ParseNode* second,
                     const RowBinding* binding, int16_t negate);
  bool Expression(ParseNode* expression, const RowBinding* binding, int depth, OwnedValue* out);
  bool Term(ParseNode* term, const RowBinding* binding, int depth, OwnedValue* out);
  bool Factor(ParseNode* factor, const RowBinding* binding, int depth, OwnedValue* out);
  bool Item(ParseNode* item, const RowBinding* binding, int depth, OwnedValue* out);
  bool ScalarFunction(ParseNode* function, const RowBinding* binding, int depth, OwnedValue* out);
  bool DateTimeFunction(ParseNode* function, OwnedValue* out);
  // The value list of a list operand or a sub-select (null when there is
  // none), held for the comparison that counts over it.
  std::unique_ptr<ParseNode> List(int16_t driverIndex, ParseNode* holder,
                                  const RowBinding* binding);
  std::unique_ptr<ParseNode> SubSelect(int16_t driverIndex, const ParseNode* subSelectNode,
                                       const RowBinding* binding);
  // Counts the values of sub-select `subSelectNode` equal to `left` through
  // a hash of them built once per statement, as CountList does over the
  // list. False when that cannot be done (the values depend on the row,
  // dates or times take part, the fast paths are off, memory is short):
  // the caller then counts over the list.
  bool CountEqualHashed(int16_t driverIndex, const TypedValue& left, const ParseNode* subSelectNode,
                        int32_t* count, int32_t* total);

  // The values of an uncorrelated sub-select, by their equality keys.
  struct ValueSet {
    const ParseNode* source = nullptr;  // the kept list it was built from
    bool plain = true;                  // no value needs Compare
    int32_t total = 0;
    std::unordered_map<double, int32_t> numbers;
    std::unordered_map<std::string, int32_t> texts;
  };

  SubSelectSource* executor_;
  std::unordered_map<int32_t, std::unique_ptr<ValueSet>> valueSets_;  // by sub-select index
  // The set asked for last, which a predicate asks for again row after row.
  int32_t lastSetIndex_ = -1;
  ValueSet* lastSet_ = nullptr;
};

}  // namespace zksql

#endif  // ZKSQL_EXEC_EVALUATOR_H_
