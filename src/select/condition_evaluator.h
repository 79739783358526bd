// ConditionEvaluator: what a selection driver asks of the evaluator.
//
// The driver decides which combinations of records a SELECT keeps; whether
// one predicate holds for one combination is the evaluator's to say, in
// the execution layer above. The driver knows it through this interface
// only, given by whoever creates the driver, so that the selection layer
// does not reach up for it.
#ifndef ZKSQL_SELECT_CONDITION_EVALUATOR_H_
#define ZKSQL_SELECT_CONDITION_EVALUATOR_H_

#include <cstdint>

namespace zksql {

class ParseNode;
class RowBinding;
struct TypedValue;

class ConditionEvaluator {
 public:
  // Truth of the predicate `predicate` (a FON_EXPRESSION) for the row
  // binding (null: none), inverted when `negate` is set. `driverIndex` is
  // the driver whose condition this is (it runs the sub-selects).
  virtual bool EvaluateCondition(int16_t driverIndex, ParseNode* predicate,
                                 const RowBinding* binding, int16_t negate) = 0;
  // Whether `value` equals one of the values of the sub-select
  // `subSelectNode` (a FON_SOUS_SELECT of driver `driverIndex`'s
  // condition), as "value IN (sub-select)" decides it: into *in, true.
  // False when it cannot be decided from a hash of those values (they
  // depend on the row, were not read yet, need a comparison that is not
  // plain equality): the caller then evaluates the predicate.
  virtual bool ValueInSubSelect(int16_t driverIndex, const TypedValue& value,
                                const ParseNode* subSelectNode, bool* in) = 0;

 protected:
  ~ConditionEvaluator() = default;
};

}  // namespace zksql

#endif  // ZKSQL_SELECT_CONDITION_EVALUATOR_H_
