// ColumnComparison: a predicate "column op literal" taken apart once per
// statement, so that deciding it for a row is one comparison of the
// column's current value with a literal read once.
//
// The evaluator decides such a predicate, row after row, by walking its
// parse tree, binding and copying the column's value, and reading the
// literal's text into a fresh value. For the shape below the outcome
// depends only on the column's value, the operator and the literal, and
// the same rules decide it: no value in the column satisfies no
// comparison, a negated comparison is the complement comparison, and the
// comparison itself is the converter's (numbers at six decimals, texts
// byte for byte, dates and times by their digits).
//
// The shape: the first member is a bare column of the row set's condition
// columns; the second member is one of = <> < > <= >= followed by a simple
// item holding a number or text literal alone, or IN (or NOT IN) followed
// by a sub-select, which the evaluator answers from a hash of the
// sub-select's values without walking the predicate. Any other predicate
// is left to the evaluator.
#ifndef ZKSQL_SELECT_COLUMN_COMPARISON_H_
#define ZKSQL_SELECT_COLUMN_COMPARISON_H_

#include <cstdint>

#include "values/typed_value.h"

namespace zksql {

class Column;
class ConditionEvaluator;
class ParseNode;
class RowSet;

class ColumnComparison {
 public:
  // Takes the row set's predicate apart; false when it has another shape
  // or the literal cannot be held (memory), leaving it to the evaluator.
  [[nodiscard]] bool Compile(const RowSet& rows);
  // The predicate's truth for the column's current value, inverted when
  // `negate` is set, as the evaluator gives it, into *holds; false when it
  // must be left to the evaluator for this row after all (an IN whose
  // sub-select values are not hashed).
  bool Decide(int16_t negate, ConditionEvaluator* evaluator, int16_t driverIndex,
              bool* holds) const;
  // Whether Decide may need the evaluator (an IN over a sub-select); when
  // not, Holds gives every row's answer by itself.
  bool NeedsEvaluator() const { return subSelect_ != nullptr; }
  // The comparison's truth for the column's current value (not an IN).
  bool Holds(int16_t negate) const;

 private:
  // "column IN (sub-select)": the sub-select, and whether NOT was written.
  const ParseNode* subSelect_ = nullptr;
  bool notIn_ = false;
  Column* column_ = nullptr;
  int16_t op_ = 0;
  OwnedValue literal_;
  // An integer column against a whole-number literal: both are exact, so
  // the six-decimal comparison is the integers' own, decided without
  // making a value of the column.
  bool wholeNumbers_ = false;
  int64_t wholeLiteral_ = 0;
};

}  // namespace zksql

#endif  // ZKSQL_SELECT_COLUMN_COMPARISON_H_
