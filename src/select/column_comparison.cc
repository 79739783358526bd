// ColumnComparison: recognising "column op literal" and deciding it.
#include "select/column_comparison.h"

#include <cstring>

#include "base/fast_paths.h"

#include "select/column_value.h"
#include "select/condition_evaluator.h"
#include "select/key_condition.h"
#include "select/row_set.h"
#include "sql/rule_codes.h"
#include "sql/token_codes.h"
#include "storage/column.h"
#include "values/number_text.h"
#include "values/value_converter.h"

namespace zksql {

bool ColumnComparison::Compile(const RowSet& rows) {
  column_ = nullptr;
  literal_.Reset();
  subSelect_ = nullptr;
  notIn_ = false;
  wholeNumbers_ = false;
  if (rows.condition == nullptr) return false;
  const ParseNode* member = rows.condition->child;
  const char* reference = BareColumn(member);
  if (reference == nullptr) return false;
  const ParseNode* comparison = member->next;
  if (comparison == nullptr || comparison->code != FON_COMPARAISON) return false;
  const ParseNode* op = comparison->child;
  if (op != nullptr && op->code == LEX_NOT && op->next != nullptr && op->next->code == LEX_IN) {
    notIn_ = true;
    op = op->next;
  }
  if (op != nullptr && op->code == LEX_IN) {
    // The list holder's child is the sub-select; a list of values is left
    // to the evaluator.
    const ParseNode* holder = op->next;
    const ParseNode* sub = holder == nullptr ? nullptr : holder->child;
    if (sub == nullptr || sub->code != FON_SOUS_SELECT || !FastPathsOn()) return false;
    subSelect_ = sub;
    column_ = rows.ConditionColumn(reference);
    return column_ != nullptr;
  }
  if (op == nullptr || !IsComparisonOperator(op->code)) return false;
  const ParseNode* item = op->next;
  if (item == nullptr || item->code != FON_ITEM_SIMPLE || item->next != nullptr) return false;
  const ParseNode* literal = item->child;
  if (literal == nullptr || literal->next != nullptr) return false;
  // The literal as the evaluator reads it, once.
  const char* text = literal->text == nullptr ? "" : literal->text;
  switch (literal->code) {
    case LEX_ENTIER:
    case LEX_ENTIER_SIGNE:
    case LEX_NOMBRE_DECIMAL:
    case LEX_REEL:
      if (!MakeNumberValue(kValueReal, Converter().ParseNumber(text), literal_.Receive())) {
        return false;
      }
      break;
    case LEX_CHAINE:
      if (!MakeTextValue(kValueText, text, literal_.Receive())) return false;
      break;
    default:
      return false;
  }
  column_ = rows.ConditionColumn(reference);
  op_ = static_cast<int16_t>(op->code);
  if (column_ != nullptr && FastPathsOn() && literal_.view().type == kValueReal &&
      column_->HoldsWholeNumbers()) {
    double real = 0;
    memcpy(&real, literal_.view().bytes, sizeof real);
    // Within 2^52 every integer is exact and the six-decimal rule leaves it
    // as it is; -0 is 0.
    if (IsExactWholeNumber(real)) {
      wholeNumbers_ = true;
      wholeLiteral_ = static_cast<int64_t>(real);
    }
  }
  return column_ != nullptr;
}

namespace {

bool CompareWhole(int16_t op, int64_t a, int64_t b) {
  switch (op) {
    case LEX_EGAL: return a == b;
    case LEX_DIFFERENT: return a != b;
    case LEX_INFERIEUR: return a < b;
    case LEX_INFERIEUR_EGAL: return a <= b;
    case LEX_SUPERIEUR: return a > b;
    default: return a >= b;  // LEX_SUPERIEUR_EGAL: Compile takes no other
  }
}

}  // namespace

bool ColumnComparison::Decide(int16_t negate, ConditionEvaluator* evaluator,
                              int16_t driverIndex, bool* holds) const {
  if (subSelect_ == nullptr) {
    *holds = Holds(negate);
    return true;
  }
  bool in = false;
  if (evaluator == nullptr ||
      !evaluator->ValueInSubSelect(driverIndex, CurrentValueOf(column_), subSelect_, &in)) {
    return false;
  }
  *holds = in != ((negate != 0) != notIn_);
  return true;
}

bool ColumnComparison::Holds(int16_t negate) const {
  int64_t whole = 0;
  if (wholeNumbers_ && column_->CurrentWholeNumber(&whole)) {
    return CompareWhole(negate ? ComplementOperator(op_) : op_, whole, wholeLiteral_);
  }
  TypedValue value = CurrentValueOf(column_);
  if (value.bytes == nullptr) return negate != 0;
  return Converter().Compare(negate ? ComplementOperator(op_) : op_, value, literal_.view()) != 0;
}

}  // namespace zksql
